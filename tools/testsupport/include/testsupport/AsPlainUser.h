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

// Runs `fn` in a child process and gives back its result (0 to 98). When the
// tests run as root the child first becomes user and group "nobody", and
// `folder` is opened to everyone so the child may still write there. -1 when
// the child did not end normally.
inline int RunAsPlainUser(const std::string& folder, const std::function<int()>& fn) {
  const bool root = ::geteuid() == 0;
  if (root && ::chmod(folder.c_str(), 0777) != 0) return kCouldNotDropRights;
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(kCouldNotDropRights);
    }
    ::_exit(fn());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace testsupport
