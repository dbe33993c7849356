#pragma once
// For window tests: the programs run by a user who may not write their own
// folder (`programDir` stands in for it) and whose per-user folder, under
// `home`, any user may write, so the programs must refuse it and say so.
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
      : path_(home + "/.local/share/ledsigns"), home_("HOME", home), executable_(programDir, false) {
    std::filesystem::create_directories(path_);
    ::chmod(path_.c_str(), 0777);
  }
  OpenPerUserFolder(const OpenPerUserFolder&) = delete;
  OpenPerUserFolder& operator=(const OpenPerUserFolder&) = delete;
  // The refused folder.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  ScopedEnv program_{"LEDSIGN_PROGRAM_DIR", std::nullopt};
  ScopedEnv data_{"XDG_DATA_HOME", std::nullopt};
  ScopedEnv home_;
  platform::ScopedExecutableDirectory executable_;
};

}  // namespace testsupport
