#include "platform/FileLock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace platform {

namespace {

// Open for writing where we may: a lock over a network file system needs it.
// O_NOFOLLOW: a link planted in its place is refused, never made or opened
// through; O_NONBLOCK: a FIFO there does not hold the open up.
int OpenLockFile(const std::string& lockPath) {
  constexpr int kFlags = O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  int fd = ::open(lockPath.c_str(), O_RDWR | kFlags, 0666);
  if (fd < 0 && errno == EACCES) fd = ::open(lockPath.c_str(), O_RDONLY | kFlags, 0666);
  if (fd < 0) {
    const int e = errno;
    throw InOutError(lockPath, "its lock file " + lockPath + " cannot be opened: " + InOutError(lockPath, e).reason());
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw InOutError(lockPath, "its lock file " + lockPath + " " + kNotARegularFile);
  }
  return fd;
}

}  // namespace

FileLock::FileLock(const std::string& lockPath, int waitMs) : fd_(OpenLockFile(lockPath)) {
  // flock has no time limit of its own: it is tried again after a pause that
  // grows to 50 ms, until the wait is over. Saves hold it for milliseconds.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    const int e = errno;
    if (e == EINTR) continue;
    if (e != EWOULDBLOCK) {
      ::close(fd_);
      throw InOutError(lockPath, "its lock file " + lockPath + " cannot be locked: " + InOutError(lockPath, e).reason());
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  ::close(fd_);
  throw InOutError(lockPath, "another program has held " + lockPath + " for more than " +
                                 std::to_string(waitMs / 1000) + " seconds");
}

FileLock::~FileLock() {
  // Closing the only descriptor of its open file lets the lock go.
  ::close(fd_);
}

}  // namespace platform
