#pragma once
// The text received from the sign since the last transmission. The receive
// handlers on the GUI thread append to it; the sender clears it before each
// transmission and waits on it for the answer, without polling.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>

#include "sender/StopFlag.h"

namespace sender {

class ReplyBuffer {
 public:
  // Only the first character of an answer is ever read: a chattering line
  // fills no more than this.
  static constexpr std::size_t kCapacity = 4096;

  // `receiving` false: what arrives is dropped until a send starts.
  explicit ReplyBuffer(bool receiving = true) : receiving_(receiving) {}

  // Appends what fits below kCapacity; nothing while not receiving.
  void Append(std::string_view bytes);
  // A send starts (true) or has ended (false, which also empties the buffer):
  // bytes between sends are nobody's answer.
  void SetReceiving(bool receiving);
  void Clear();
  std::string Copy() const;
  // Waits until the buffer holds text, the deadline passes or `stop` is
  // requested, and returns a copy of what it then holds (possibly empty).
  std::string WaitForText(std::chrono::steady_clock::time_point deadline, StopFlag& stop);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  bool receiving_;
};

}  // namespace sender
