#include "platform/Directories.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

std::string FromEnv(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string();
}

std::string ExecutableDirectory() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = '\0';
  return std::filesystem::path(buf).parent_path().string();
}

std::string PerUserDirectory() {
  std::string base = FromEnv("XDG_DATA_HOME");
  if (base.empty()) {
    std::string home = FromEnv("HOME");
    base = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
  }
  std::string dir = base + "/ledsigns";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

}  // namespace

std::string ProgramDirectory() {
  if (std::string d = FromEnv("LEDSIGN_PROGRAM_DIR"); !d.empty()) return d;
  std::string exe = ExecutableDirectory();
  if (!exe.empty() && ::access(exe.c_str(), W_OK) == 0) return exe;
  return PerUserDirectory();
}

std::string SystemDirectory() {
  if (std::string d = FromEnv("LEDSIGN_SYSTEM_DIR"); !d.empty()) return d;
  return ProgramDirectory();
}

std::string CurrentDirectory() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::string(".") : p.string();
}

bool SetCurrentDirectory(const std::string& path) { return !path.empty() && ::chdir(path.c_str()) == 0; }

}  // namespace platform
