#include "sender/ReplyBuffer.h"

namespace sender {

void ReplyBuffer::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  {
    std::lock_guard lock(mutex_);
    if (!receiving_ || text_.size() >= kCapacity) return;
    text_.append(bytes.substr(0, kCapacity - text_.size()));
  }
  changed_.notify_all();
}

void ReplyBuffer::SetReceiving(bool receiving) {
  std::lock_guard lock(mutex_);
  receiving_ = receiving;
  if (!receiving) text_.clear();
}

void ReplyBuffer::Clear() {
  std::lock_guard lock(mutex_);
  text_.clear();
}

std::string ReplyBuffer::Copy() const {
  std::lock_guard lock(mutex_);
  return text_;
}

std::string ReplyBuffer::WaitForText(std::chrono::steady_clock::time_point deadline, StopFlag& stop) {
  ScopedWaker waker(stop, [this] {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  changed_.wait_until(lock, deadline, [&] { return !text_.empty() || stop.Requested(); });
  return text_;
}

}  // namespace sender
