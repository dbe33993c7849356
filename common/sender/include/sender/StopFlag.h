#pragma once
// A stop request for one send: the sender's pauses and waits end as soon as it
// is made. Waits on other condition variables register a waker for as long as
// they last, so a stop never has to wait for a time-out.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

namespace sender {

class StopFlag {
 public:
  // Sets the flag and wakes every wait on it.
  void Request();
  bool Requested() const;
  // Sleeps `duration` unless stopped first; false when stopped.
  bool SleepFor(std::chrono::milliseconds duration);

  // A wake-up for a wait on another condition variable; the waker must take
  // that wait's mutex before notifying so no wake-up is lost.
  int AddWaker(std::function<void()> waker);
  void RemoveWaker(int id);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool requested_ = false;
  std::map<int, std::function<void()>> wakers_;
  int nextWaker_ = 1;
};

// Keeps a waker registered for one scope.
class ScopedWaker {
 public:
  ScopedWaker(StopFlag& stop, std::function<void()> waker) : stop_(stop), id_(stop.AddWaker(std::move(waker))) {}
  ~ScopedWaker() { stop_.RemoveWaker(id_); }
  ScopedWaker(const ScopedWaker&) = delete;
  ScopedWaker& operator=(const ScopedWaker&) = delete;

 private:
  StopFlag& stop_;
  int id_;
};

}  // namespace sender
