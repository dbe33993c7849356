#pragma once
// The far end of a fake device read at a line's rate, so that the device's
// own output queue (what the far end has not read yet) empties slowly; it can
// hang up once it has read a given number of bytes, with the rest still in
// the queue.
#include <cstdint>

#include "SlowLine.h"
#include "comm/FakeLayer.h"

namespace comm_test {

class SlowFakeLine : public SlowLine {
 public:
  // `bytesPerSecond` of 0: the far end reads nothing.
  SlowFakeLine(std::int32_t device, int bytesPerSecond, std::size_t hangUpAfter = kNever)
      : SlowLine(comm::fake::PeerFd(device), bytesPerSecond, hangUpAfter, [device] { comm::fake::HangUp(device); }) {}
};

}  // namespace comm_test
