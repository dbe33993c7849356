#pragma once
// The far end of a fake device read at a line's rate, so that the device's
// own output queue (what the far end has not read yet) empties slowly; it can
// hang up once it has read a given number of bytes, with the rest still in
// the queue.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/FakeLayer.h"

namespace comm_test {

class SlowFakeLine {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kNever = ~std::size_t{0};

  // `bytesPerSecond` of 0: the far end reads nothing.
  SlowFakeLine(std::int32_t device, int bytesPerSecond, std::size_t hangUpAfter = kNever)
      : device_(device), peer_(comm::fake::PeerFd(device)), rate_(bytesPerSecond), hangUpAfter_(hangUpAfter) {
    thread_ = std::thread([this] { Run(); });
  }
  ~SlowFakeLine() { Stop(); }
  SlowFakeLine(const SlowFakeLine&) = delete;
  SlowFakeLine& operator=(const SlowFakeLine&) = delete;

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
    auto next = Clock::now();
    while (!stop_.load() && !hungUp_.load()) {
      next += kSlice;
      std::this_thread::sleep_until(next);
      if (rate_ <= 0) continue;
      std::size_t want = static_cast<std::size_t>(rate_) * kSlice.count() / 1000;
      if (want == 0) want = 1;
      {
        std::lock_guard lock(mutex_);
        if (hangUpAfter_ != kNever) want = std::min(want, hangUpAfter_ - got_.size());
      }
      std::vector<char> buffer(want);
      const ssize_t n = want > 0 ? ::read(peer_, buffer.data(), want) : 0;
      std::lock_guard lock(mutex_);
      if (n > 0) {
        got_.append(buffer.data(), static_cast<std::size_t>(n));
        lastRead_ = Clock::now();
      }
      if (hangUpAfter_ != kNever && got_.size() >= hangUpAfter_) {
        comm::fake::HangUp(device_);
        lastRead_ = Clock::now();
        hungUp_.store(true);
      }
    }
  }

  std::int32_t device_;
  int peer_;
  int rate_;
  std::size_t hangUpAfter_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hungUp_{false};
  mutable std::mutex mutex_;
  std::string got_;
  Clock::time_point lastRead_{};
  std::thread thread_;
};

}  // namespace comm_test
