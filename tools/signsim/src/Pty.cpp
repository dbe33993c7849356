#include "signsim/Pty.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace signsim {
namespace {

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return;
  cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &t);
}

void SetCloexec(int fd) {
  int flags = fcntl(fd, F_GETFD);
  if (flags >= 0) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

}  // namespace

Pty::Pty(const std::string& linkPath) {
  if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) ThrowErrno("openpty");
  SetCloexec(master_);
  SetCloexec(slave_);
  MakeRaw(slave_);
  MakeRaw(master_);
  int flags = fcntl(master_, F_GETFL);
  if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    int e = errno;
    close(master_);
    close(slave_);
    throw std::system_error(e, std::generic_category(), "fcntl");
  }
  char name[PATH_MAX];
  if (ttyname_r(slave_, name, sizeof name) != 0) {
    int e = errno;
    close(master_);
    close(slave_);
    throw std::system_error(e, std::generic_category(), "ttyname_r");
  }
  slavePath_ = name;
  if (!linkPath.empty()) {
    // Link to a temporary name, then rename over the old link in one step.
    std::string tmp = linkPath + ".new" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(slavePath_.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), linkPath.c_str()) != 0) {
      int e = errno;
      unlink(tmp.c_str());
      close(master_);
      close(slave_);
      throw std::system_error(e, std::generic_category(), "symlink " + linkPath);
    }
    linkPath_ = linkPath;
  }
}

Pty::~Pty() {
  if (!linkPath_.empty()) {
    // Remove the link only while it still points at our slave.
    char target[PATH_MAX];
    ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n >= 0) {
      target[n] = '\0';
      if (slavePath_ == target) unlink(linkPath_.c_str());
    }
  }
  if (master_ >= 0) close(master_);
  if (slave_ >= 0) close(slave_);
}

}  // namespace signsim
