#pragma once
// Where the programs keep their files. The program directory holds
// "SML_WIN.INI" and the sign fonts; the system directory stands in for the
// directory in which the controller writes its command files.
//
// The program directory is the executable's own directory when this user may
// write it and no other user can change it (it and every folder above it
// belong to this user or root, none of them writable by another user, a
// sticky one only above a step of this user's or root's), otherwise a
// per-user directory shared by the three programs ($XDG_DATA_HOME/ledsigns,
// else ~/.local/share/ledsigns, the home taken from the password database when
// HOME is not set; a relative XDG_DATA_HOME or HOME is ignored), held to the
// same rule. LEDSIGN_PROGRAM_DIR overrides it. The system directory is
// LEDSIGN_SYSTEM_DIR when set, otherwise the program directory.
#include <string>

namespace platform {

// The per-user directory, made with mode 0700 (its missing parents too) where
// it is missing, and why it may not be used: no home folder, a folder that
// cannot be made, one of another user, a link of another user, or a folder on
// its way that another user may change. This user's own folder that others
// may write (a previous release made it under a umask of 002) is made 0700
// and used, unless another user already left something in it; the folders of
// this user's between the home and it lose the write rights of others.
struct PerUserFolder {
  std::string path;     // where it is, or would be ("" without a home)
  std::string problem;  // a sentence for the user; "" when it may be used
};
PerUserFolder FindPerUserDirectory();

// The per-user directory where it may be used. Where it may not, nothing is
// kept there: the executable's own directory stands in when no other user can
// change it (this user cannot write it), else a folder that cannot exist, and
// ProgramDirectoryWarning() says why.
std::string ProgramDirectory();
// "" when the program directory is the one expected; otherwise the warning
// each program shows at start: why the executable's folder, which this user
// may write, is not used, or why the per-user one is refused.
std::string ProgramDirectoryWarning();
std::string SystemDirectory();
std::string CurrentDirectory();
// Makes `path` (its bytes as they are, any name the file system holds) the
// current directory; false when it cannot be entered.
bool SetCurrentDirectory(const std::string& path);

// For tests, which run as root and so may write any folder: while it lives,
// the executable's directory is `path`, which counts as writable or not by
// `writable`, as it would for a user. Who may change it is judged from the
// folders themselves.
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
