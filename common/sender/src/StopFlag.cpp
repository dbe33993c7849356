#include "sender/StopFlag.h"

#include <vector>

namespace sender {

void StopFlag::Request() {
  std::vector<std::function<void()>> wakers;
  {
    std::lock_guard lock(mutex_);
    requested_ = true;
    for (auto& [id, w] : wakers_) wakers.push_back(w);
  }
  changed_.notify_all();
  // Called without our lock: a waker takes its own wait's mutex.
  for (auto& w : wakers) w();
}

bool StopFlag::Requested() const {
  std::lock_guard lock(mutex_);
  return requested_;
}

bool StopFlag::SleepFor(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, duration, [this] { return requested_; });
}

int StopFlag::AddWaker(std::function<void()> waker) {
  std::lock_guard lock(mutex_);
  int id = nextWaker_++;
  wakers_.emplace(id, std::move(waker));
  return id;
}

void StopFlag::RemoveWaker(int id) {
  std::lock_guard lock(mutex_);
  wakers_.erase(id);
}

}  // namespace sender
