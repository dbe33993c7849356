#pragma once
// The far end of a line that reads what comes at the line's rate, from the
// far side of a non-blocking descriptor (a pseudo-terminal's master, a fake
// device's peer); it can hang up once it has read a given number of bytes.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace comm_test {

class SlowLine {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kNever = ~std::size_t{0};

  // `bytesPerSecond` of 0: the far end reads nothing. Once `hangUpAfter`
  // bytes were read, `hangUp` runs and the reading ends.
  SlowLine(int fd, int bytesPerSecond, std::size_t hangUpAfter = kNever, std::function<void()> hangUp = {})
      : fd_(fd), rate_(bytesPerSecond), hangUpAfter_(hangUpAfter), hangUp_(std::move(hangUp)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~SlowLine() { Stop(); }
  SlowLine(const SlowLine&) = delete;
  SlowLine& operator=(const SlowLine&) = delete;

  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }
  std::string Got() const {
    std::lock_guard lock(mutex_);
    return got_;
  }
  // When the last byte was read (the queue emptied, or the hang-up's moment).
  Clock::time_point LastRead() const {
    std::lock_guard lock(mutex_);
    return lastRead_;
  }
  bool HungUp() const { return hungUp_.load(); }

 private:
  void Run() {
    constexpr auto kSlice = std::chrono::milliseconds(20);
    // Thousandths of a byte owed from earlier slices, so that a rate that is
    // no whole number of bytes a slice still holds on average.
    std::size_t owed = 0;
    auto next = Clock::now();
    while (!stop_.load() && !hungUp_.load()) {
      next += kSlice;
      std::this_thread::sleep_until(next);
      if (rate_ <= 0) continue;
      owed += static_cast<std::size_t>(rate_) * static_cast<std::size_t>(kSlice.count());
      std::size_t want = owed / 1000;
      owed %= 1000;
      if (want == 0) want = 1;
      {
        std::lock_guard lock(mutex_);
        if (hangUpAfter_ != kNever) want = std::min(want, hangUpAfter_ - got_.size());
      }
      std::vector<char> buffer(want);
      const ssize_t n = want > 0 ? ::read(fd_, buffer.data(), want) : 0;
      std::lock_guard lock(mutex_);
      if (n > 0) {
        got_.append(buffer.data(), static_cast<std::size_t>(n));
        lastRead_ = Clock::now();
      }
      if (hangUpAfter_ != kNever && got_.size() >= hangUpAfter_) {
        if (hangUp_) hangUp_();
        lastRead_ = Clock::now();
        hungUp_.store(true);
      }
    }
  }

  int fd_;
  int rate_;
  std::size_t hangUpAfter_;
  std::function<void()> hangUp_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hungUp_{false};
  mutable std::mutex mutex_;
  std::string got_;
  Clock::time_point lastRead_{};
  std::thread thread_;
};

}  // namespace comm_test
