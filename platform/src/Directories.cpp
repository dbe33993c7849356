#include "platform/Directories.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/PathWalk.h"

namespace platform {
namespace {

std::string FromEnv(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string();
}

// Only an absolute path is taken from the environment: a relative one would
// name a folder that moves with the current directory.
std::string AbsoluteFromEnv(const char* name) {
  std::string v = FromEnv(name);
  return !v.empty() && v[0] == '/' ? v : std::string();
}

std::atomic<const ScopedExecutableDirectory*> standIn{nullptr};

std::string ExecutableDirectory() {
  if (const ScopedExecutableDirectory* d = standIn.load()) return d->path();
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return std::filesystem::path(buf).parent_path().string();
}

// HOME, else the home the password database gives this user; "" with none.
std::string HomeFolder() {
  if (std::string home = AbsoluteFromEnv("HOME"); !home.empty()) return home;
  const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(hint > 0 ? hint : 16384));
  for (;;) {
    passwd entry {};
    passwd* found = nullptr;
    const int rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < (std::size_t{1} << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc == 0 && found != nullptr && entry.pw_dir != nullptr && entry.pw_dir[0] == '/') return entry.pw_dir;
    return {};
  }
}

// Makes each missing folder of `path` with mode 0700, as a user's own data
// folders are made; "" or the reason it cannot be.
std::string MakeFolders(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    struct stat st {};
    if (::stat(part.c_str(), &st) == 0) continue;
    if (errno != ENOENT) return std::strerror(errno);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
  }
  return {};
}

// Whether another user left anything in `folder`: a folder its owner lets
// others write may hold their links, which would write through to this
// user's files.
bool HoldsAnotherUsersEntry(int folder) {
  const int copy = ::dup(folder);
  if (copy < 0) return true;
  DIR* entries = ::fdopendir(copy);
  if (entries == nullptr) {
    ::close(copy);
    return true;
  }
  bool found = false;
  while (const dirent* e = ::readdir(entries)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    struct stat st {};
    if (::fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || (st.st_uid != ::geteuid() && st.st_uid != 0)) {
      found = true;
      break;
    }
  }
  ::closedir(entries);
  return found;
}

// A folder of this user's that others may write, as the previous release
// made them under a umask of 002, loses that right: the per-user folder
// itself becomes 0700, the folders above it that lie below the home keep
// their other rights. Opened without following a link, so what is changed is
// the folder itself. One of another user's, or a link, is left as it is for
// the walk to judge.
void MendOwnFolder(const std::string& path, bool last) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & S_ISVTX) == 0 &&
      (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !(last && HoldsAnotherUsersEntry(fd))) {
    (void)::fchmod(fd, last ? 0700 : (st.st_mode & 07777 & ~mode_t{S_IWGRP | S_IWOTH}));
  }
  ::close(fd);
}

// A home of "/" would put every folder of the machine below it: there only
// the per-user folder itself is closed.
void MendOwnFolders(const std::string& perUser, const std::string& home) {
  const std::string below = home + "/";
  if (!home.empty() && home != "/" && perUser.rfind(below, 0) == 0) {
    for (std::size_t at = perUser.find('/', below.size()); at != std::string::npos; at = perUser.find('/', at + 1)) {
      MendOwnFolder(perUser.substr(0, at), false);
    }
  }
  MendOwnFolder(perUser, true);
}

}  // namespace

PerUserFolder FindPerUserDirectory() {
  PerUserFolder folder;
  std::string base = AbsoluteFromEnv("XDG_DATA_HOME");
  const std::string home = HomeFolder();
  if (base.empty()) {
    if (home.empty()) {
      folder.problem = "HOME is not set and the password database has no home folder for user " +
                       std::to_string(::geteuid());
      return folder;
    }
    base = (home == "/" ? std::string() : home) + "/.local/share";
  }
  folder.path = base + "/ledsigns";
  if (const std::string why = MakeFolders(folder.path); !why.empty()) {
    folder.problem = folder.path + " cannot be made (" + why + ")";
    return folder;
  }
  MendOwnFolders(folder.path, home);
  // Another user who may change the folder, or any folder on its way, could
  // plant links where the programs write, and have them write through to
  // this user's files.
  const WalkedPath walked = WalkPath(folder.path, StepRule::kOwnStepsOnly);
  struct stat st {};
  if (!walked.step.empty()) {
    folder.problem = walked.Problem();
  } else if (::stat(walked.path.c_str(), &st) != 0) {
    folder.problem = folder.path + " cannot be used (" + std::strerror(errno) + ")";
  } else if (!S_ISDIR(st.st_mode)) {
    folder.problem = folder.path + " is not a folder";
  } else if (st.st_uid != ::geteuid()) {
    folder.problem = folder.path + " belongs to another user";
  }
  return folder;
}

namespace {

// A folder in which nothing can be read or made, by any user: the program
// directory when no sound one is found.
constexpr char kNowhere[] = "/dev/null/ledsigns";

// The program directory and, when the per-user one is refused or the
// executable's folder is refused for what others may do to it, why.
PerUserFolder FindProgramDirectory() {
  if (std::string d = FromEnv("LEDSIGN_PROGRAM_DIR"); !d.empty()) return {d, {}};
  const std::string exe = ExecutableDirectory();
  const ScopedExecutableDirectory* given = standIn.load();
  const bool writable = !exe.empty() && (given ? given->writable() : ::access(exe.c_str(), W_OK) == 0);
  const std::string exeProblem =
      exe.empty() ? std::string("it is not known") : WalkPath(exe, StepRule::kOwnStepsOnly).Problem();
  if (writable && exeProblem.empty()) return {exe, {}};
  // Where this user could write it, the folder would have been taken: say
  // why it is not.
  const std::string notUsed = writable ? "The program's folder " + exe + " is not used: " + exeProblem + "." : "";
  PerUserFolder perUser = FindPerUserDirectory();
  if (perUser.problem.empty()) return {perUser.path, notUsed};
  const std::string cannot = "The program's files cannot be kept: " + perUser.problem + ".";
  // Where nothing may be written, the executable's folder may still be read.
  if (!writable && exeProblem.empty()) return {exe, cannot};
  return {kNowhere, notUsed.empty() ? cannot : notUsed + " " + cannot};
}

}  // namespace

std::string ProgramDirectory() { return FindProgramDirectory().path; }

std::string ProgramDirectoryWarning() { return FindProgramDirectory().problem; }

std::string SystemDirectory() {
  if (std::string d = FromEnv("LEDSIGN_SYSTEM_DIR"); !d.empty()) return d;
  return ProgramDirectory();
}

ScopedExecutableDirectory::ScopedExecutableDirectory(std::string path, bool writable)
    : path_(std::move(path)), writable_(writable), previous_(standIn.exchange(this)) {}

ScopedExecutableDirectory::~ScopedExecutableDirectory() { standIn.store(previous_); }

std::string CurrentDirectory() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::string(".") : p.string();
}

bool SetCurrentDirectory(const std::string& path) { return !path.empty() && ::chdir(path.c_str()) == 0; }

}  // namespace platform
