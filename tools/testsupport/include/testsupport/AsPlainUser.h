#pragma once
// For tests: runs a piece of a test as a user without root's rights, who is
// refused files the way a user is. Root writes any file, so a test of a file
// made read-only or unreadable would prove nothing as root.
#include <cerrno>
#include <exception>
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
// root) and gives back its result (0 to 98); `folder`, unless "", is opened to
// everyone first so the child may still write there. -1 when the child did not
// end normally.
inline int RunAsUser(unsigned id, const std::string& folder, const std::function<int()>& fn) {
  const bool root = ::geteuid() == 0;
  if (root && !folder.empty() && ::chmod(folder.c_str(), 0777) != 0) return kCouldNotDropRights;
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

// Runs `fn` as user and group `id`, as RunAsUser does without opening any
// folder, and gives back the text it returns; a text that says so when the
// child could not give its rights up or did not end normally.
inline std::string AskAsUser(unsigned id, const std::function<std::string()>& fn) {
  int pipe[2];
  if (::pipe(pipe) != 0) return "(no pipe)";
  const pid_t child = ::fork();
  if (child < 0) return "(no child)";
  if (child == 0) {
    ::close(pipe[0]);
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(id, id, id) != 0 || ::setresuid(id, id, id) != 0)) {
      ::_exit(kCouldNotDropRights);
    }
    std::string text;
    try {
      text = fn();
    } catch (const std::exception& e) {
      text = std::string("(threw: ") + e.what() + ")";  // never back into the test in the child
    }
    for (std::size_t at = 0; at < text.size();) {
      const ssize_t n = ::write(pipe[1], text.data() + at, text.size() - at);
      if (n <= 0) ::_exit(1);
      at += static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(pipe[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; (n = ::read(pipe[0], buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(pipe[0]);
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return "(the child did not end)";
  if (WEXITSTATUS(status) == kCouldNotDropRights) return "(the child could not give its rights up)";
  return WEXITSTATUS(status) == 0 ? text : "(the child failed)";
}

// The same as user and group "nobody".
inline int RunAsPlainUser(const std::string& folder, const std::function<int()>& fn) {
  return RunAsUser(65534, folder, fn);
}

}  // namespace testsupport
