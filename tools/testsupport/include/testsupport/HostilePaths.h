#pragma once
// For tests: paths a file dialog can return that are not regular files. A
// reader must refuse each of them at once: a FIFO nobody writes (an open that
// waits for a writer would block for good), a link to /dev/zero (a read that
// never ends) and a directory.
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

// A FIFO that nobody writes. Should a reader block on it past `patience`, a
// watchdog opens the FIFO's other end and closes it again, which ends the
// reader's wait without a byte written; the test then sees Released().
class UnwrittenFifo {
 public:
  explicit UnwrittenFifo(std::string path, std::chrono::milliseconds patience = std::chrono::seconds(3))
      : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0644) != 0) throw std::runtime_error("no FIFO at " + path_);
    watchdog_ = std::thread([this, patience] {
      const auto due = std::chrono::steady_clock::now() + patience;
      while (!stop_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (std::chrono::steady_clock::now() < due) continue;
        // Succeeds only while a reader has the FIFO open (or waits to).
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          ::close(fd);
          released_ = true;
        }
      }
    });
  }
  ~UnwrittenFifo() {
    stop_ = true;
    watchdog_.join();
  }
  UnwrittenFifo(const UnwrittenFifo&) = delete;
  UnwrittenFifo& operator=(const UnwrittenFifo&) = delete;

  const std::string& path() const { return path_; }
  // Whether a reader had to be set free.
  bool Released() const { return released_; }

 private:
  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{false};
  std::thread watchdog_;
};

// The kinds of path every reader is tried on.
enum class HostileKind { kFifo, kDevZeroLink, kDirectory };

inline const char* HostileKindName(HostileKind kind) {
  switch (kind) {
    case HostileKind::kFifo: return "a FIFO nobody writes";
    case HostileKind::kDevZeroLink: return "a link to /dev/zero";
    case HostileKind::kDirectory: return "a directory";
  }
  return "?";
}

inline std::vector<HostileKind> AllHostileKinds() {
  return {HostileKind::kFifo, HostileKind::kDevZeroLink, HostileKind::kDirectory};
}

// Makes `path` a hostile path of `kind`; the FIFO case needs the returned
// watchdog kept alive while the reader runs (null for the other kinds).
inline std::unique_ptr<UnwrittenFifo> MakeHostilePath(HostileKind kind, const std::string& path) {
  switch (kind) {
    case HostileKind::kFifo: return std::make_unique<UnwrittenFifo>(path);
    case HostileKind::kDevZeroLink:
      if (::symlink("/dev/zero", path.c_str()) != 0) throw std::runtime_error("no link at " + path);
      break;
    case HostileKind::kDirectory:
      if (::mkdir(path.c_str(), 0755) != 0) throw std::runtime_error("no directory at " + path);
      break;
  }
  return nullptr;
}

}  // namespace testsupport
