#include "platform/Directories.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

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

}  // namespace

PerUserFolder FindPerUserDirectory() {
  PerUserFolder folder;
  std::string base = AbsoluteFromEnv("XDG_DATA_HOME");
  if (base.empty()) {
    const std::string home = HomeFolder();
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
  // Another user who may change the folder could plant links where the
  // programs write, and have them write through to this user's files.
  struct stat st {};
  if (::stat(folder.path.c_str(), &st) != 0) {
    folder.problem = folder.path + " cannot be used (" + std::strerror(errno) + ")";
  } else if (!S_ISDIR(st.st_mode)) {
    folder.problem = folder.path + " is not a folder";
  } else if (st.st_uid != ::geteuid()) {
    folder.problem = folder.path + " belongs to another user";
  } else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    folder.problem = folder.path + " may be written by other users";
  }
  return folder;
}

namespace {

// The program directory and, when the per-user one is refused, why.
PerUserFolder FindProgramDirectory() {
  if (std::string d = FromEnv("LEDSIGN_PROGRAM_DIR"); !d.empty()) return {d, {}};
  std::string exe = ExecutableDirectory();
  const ScopedExecutableDirectory* given = standIn.load();
  const bool writable = given ? given->writable() : ::access(exe.c_str(), W_OK) == 0;
  if (!exe.empty() && writable) return {exe, {}};
  PerUserFolder perUser = FindPerUserDirectory();
  if (perUser.problem.empty()) return perUser;
  return {exe, "The program's files cannot be kept: " + perUser.problem + "."};
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
