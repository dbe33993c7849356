#pragma once
// For window tests: the programs run by a user who may not write their own
// folder (`programDir` stands in for it) and whose home, which holds the
// per-user folder, any user may write, so the programs must refuse the
// per-user folder and say so.
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "platform/Directories.h"
#include "testsupport/ScopedEnv.h"

namespace testsupport {

class OpenPerUserFolder {
 public:
  OpenPerUserFolder(const std::string& programDir, const std::string& home)
      : path_(home), home_("HOME", home), executable_(programDir, false) {
    std::filesystem::create_directories(home + "/.local/share/ledsigns");
    ::chmod(path_.c_str(), 0777);
  }
  OpenPerUserFolder(const OpenPerUserFolder&) = delete;
  OpenPerUserFolder& operator=(const OpenPerUserFolder&) = delete;
  // The folder the refusal names: the home any user may write.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  ScopedEnv program_{"LEDSIGN_PROGRAM_DIR", std::nullopt};
  ScopedEnv data_{"XDG_DATA_HOME", std::nullopt};
  ScopedEnv home_;
  platform::ScopedExecutableDirectory executable_;
};

}  // namespace testsupport
