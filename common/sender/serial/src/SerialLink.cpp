#include "sender/SerialLink.h"

#include <exception>
#include <string>

namespace sender {

bool SerialLink::Write(std::string_view bytes, StopFlag& stop) {
  if (stop.Requested()) return false;
  try {
    port_.WriteText(std::string(bytes));
    return true;
  } catch (const std::exception&) {
    // The component's exception (a closed port, a full output buffer): the record fails.
    return false;
  }
}

void SerialLink::TriggerAvail(comm::TVnkCustomComPort& port, std::uint16_t count) {
  std::string received;
  received.reserve(count);
  try {
    for (std::uint16_t i = 0; i < count; ++i) received.push_back(port.ReadChar());
  } catch (const std::exception&) {
    // Fewer bytes than announced: keep what came.
  }
  reply_.Append(received);
}

}  // namespace sender
