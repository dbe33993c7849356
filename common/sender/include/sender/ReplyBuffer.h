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
  void Append(std::string_view bytes);
  void Clear();
  std::string Copy() const;
  // Waits until the buffer holds text, the deadline passes or `stop` is
  // requested, and returns a copy of what it then holds (possibly empty).
  std::string WaitForText(std::chrono::steady_clock::time_point deadline, StopFlag& stop);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
};

}  // namespace sender
