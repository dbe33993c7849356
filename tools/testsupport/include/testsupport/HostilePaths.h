#pragma once
// For tests: paths a file dialog can return that are not regular files. A
// reader must refuse each of them at once, and by what stat says, without
// opening them: a FIFO nobody writes (an open that waits for a writer would
// block for good), a link to /dev/zero (a read that never ends), a directory,
// and a link to a terminal device (opening a serial port raises its lines).
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <sys/inotify.h>
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
enum class HostileKind { kFifo, kDevZeroLink, kTerminalLink, kDirectory };

inline const char* HostileKindName(HostileKind kind) {
  switch (kind) {
    case HostileKind::kFifo: return "a FIFO nobody writes";
    case HostileKind::kDevZeroLink: return "a link to /dev/zero";
    case HostileKind::kDirectory: return "a directory";
    case HostileKind::kTerminalLink: return "a link to a terminal device";
  }
  return "?";
}

inline std::vector<HostileKind> AllHostileKinds() {
  // The directory last: a test may look at what is left of it after the loop.
  return {HostileKind::kFifo, HostileKind::kDevZeroLink, HostileKind::kTerminalLink, HostileKind::kDirectory};
}

// A hostile path while a test runs: it keeps what the path needs alive (the
// FIFO's watchdog, the terminal's other side) and watches every open of it.
class HostilePath {
 public:
  HostilePath(HostileKind kind, const std::string& path) {
    switch (kind) {
      case HostileKind::kFifo: fifo_ = std::make_unique<UnwrittenFifo>(path); break;
      case HostileKind::kDevZeroLink:
        if (::symlink("/dev/zero", path.c_str()) != 0) throw std::runtime_error("no link at " + path);
        break;
      case HostileKind::kDirectory:
        if (::mkdir(path.c_str(), 0755) != 0) throw std::runtime_error("no directory at " + path);
        break;
      case HostileKind::kTerminalLink: {
        // A pseudo-terminal's slave stands for a serial device: nobody has it open.
        terminal_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char slave[128];
        if (terminal_ < 0 || ::grantpt(terminal_) != 0 || ::unlockpt(terminal_) != 0 ||
            ::ptsname_r(terminal_, slave, sizeof slave) != 0 || ::symlink(slave, path.c_str()) != 0) {
          Close();
          throw std::runtime_error("no terminal link at " + path);
        }
        break;
      }
    }
    // /dev/zero is opened by any process at any time: its opens say nothing.
    if (kind != HostileKind::kDevZeroLink) {
      watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
      if (watch_ < 0 || ::inotify_add_watch(watch_, path.c_str(), IN_OPEN) < 0) {
        Close();
        throw std::runtime_error("no watch on " + path);
      }
    }
  }
  ~HostilePath() { Close(); }
  HostilePath(const HostilePath&) = delete;
  HostilePath& operator=(const HostilePath&) = delete;

  // Whether a reader blocked on the FIFO had to be set free.
  bool Released() const { return fifo_ && fifo_->Released(); }
  // Whether anything opened the path (for a directory: it or a file in it)
  // since it was made. Never for the link to /dev/zero, which is not watched.
  bool Opened() {
    alignas(inotify_event) char events[4096];
    for (;;) {
      const ssize_t n = watch_ < 0 ? -1 : ::read(watch_, events, sizeof events);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(events + at);
        if (e->mask & IN_OPEN) opened_ = true;
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    return opened_;
  }

 private:
  void Close() {
    if (watch_ >= 0) ::close(watch_);
    if (terminal_ >= 0) ::close(terminal_);
    watch_ = terminal_ = -1;
  }
  std::unique_ptr<UnwrittenFifo> fifo_;
  int terminal_ = -1;
  int watch_ = -1;
  bool opened_ = false;
};

// Makes `path` a hostile path of `kind`, kept so while the result lives.
inline std::unique_ptr<HostilePath> MakeHostilePath(HostileKind kind, const std::string& path) {
  return std::make_unique<HostilePath>(kind, path);
}

}  // namespace testsupport
