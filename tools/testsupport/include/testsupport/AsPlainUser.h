#pragma once
// For tests: runs a piece of a test as a user without root's rights, who is
// refused files the way a user is. Root writes any file, so a test of a file
// made read-only or unreadable would prove nothing as root.
#include <functional>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// The exit code of a child that could not give its rights up.
inline constexpr int kCouldNotDropRights = 99;

// Runs `fn` in a child process as user and group `id` (when the tests run as
// root) and gives back its result (0 to 98); `folder` is opened to everyone
// first so the child may still write there. -1 when the child did not end
// normally.
inline int RunAsUser(unsigned id, const std::string& folder, const std::function<int()>& fn) {
  const bool root = ::geteuid() == 0;
  if (root && ::chmod(folder.c_str(), 0777) != 0) return kCouldNotDropRights;
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(id)) != 0 ||
                 ::setuid(static_cast<uid_t>(id)) != 0)) {
      ::_exit(kCouldNotDropRights);
    }
    ::_exit(fn());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The same as user and group "nobody".
inline int RunAsPlainUser(const std::string& folder, const std::function<int()>& fn) {
  return RunAsUser(65534, folder, fn);
}

}  // namespace testsupport
