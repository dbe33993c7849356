#pragma once
// Where the programs keep their files. The program directory holds
// "SML_WIN.INI" and the sign fonts; the system directory stands in for the
// directory in which the controller writes its command files.
//
// The program directory is the executable's own directory when it is writable,
// otherwise a per-user directory shared by the three programs
// ($XDG_DATA_HOME/ledsigns, else ~/.local/share/ledsigns, the home taken from
// the password database when HOME is not set). LEDSIGN_PROGRAM_DIR overrides
// it. The system directory is LEDSIGN_SYSTEM_DIR when set, otherwise the
// program directory.
#include <string>

namespace platform {

// The per-user directory, made with mode 0700 (its missing parents too) where
// it is missing, and why it may not be used: no home folder, a folder that
// cannot be made, one of another user, one other users may write.
struct PerUserFolder {
  std::string path;     // where it is, or would be ("" without a home)
  std::string problem;  // a sentence for the user; "" when it may be used
};
PerUserFolder FindPerUserDirectory();

// The per-user directory where it may be used. Where it may not, nothing is
// kept there: the executable's own directory stands in, which this user
// cannot write, and ProgramDirectoryWarning() says why.
std::string ProgramDirectory();
// "" when the program directory is sound; otherwise the warning each
// program shows at start.
std::string ProgramDirectoryWarning();
std::string SystemDirectory();
std::string CurrentDirectory();
// Makes `path` (its bytes as they are, any name the file system holds) the
// current directory; false when it cannot be entered.
bool SetCurrentDirectory(const std::string& path);

// For tests, which run as root and so may write any folder: while it lives,
// the executable's directory is `path`, which counts as writable or not by
// `writable`, as it would for a user.
class ScopedExecutableDirectory {
 public:
  ScopedExecutableDirectory(std::string path, bool writable);
  ~ScopedExecutableDirectory();
  ScopedExecutableDirectory(const ScopedExecutableDirectory&) = delete;
  ScopedExecutableDirectory& operator=(const ScopedExecutableDirectory&) = delete;
  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }

 private:
  std::string path_;
  bool writable_;
  const ScopedExecutableDirectory* previous_;
};

}  // namespace platform
