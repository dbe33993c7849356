#include "sender/SerialLink.h"

#include <exception>
#include <string>

#include "comm/CommExcept.h"
#include "comm/ModemComp.h"
#include "comm/PortDispatch.h"

namespace sender {

bool SerialLink::Write(std::string_view bytes, StopFlag& stop) {
  const std::string text(bytes);
  for (;;) {
    if (stop.Requested()) return false;
    try {
      port_.WriteText(text);
      return true;
    } catch (const comm::EOutputBufferTooSmall&) {
      // The records come faster than a slow line sends them: wait for room
      // as long as the line needs to drain its buffer, unless stopped.
      if (!WaitForRoom(text.size(), stop)) return false;
    } catch (const std::exception&) {
      // The component's exception (a closed port, a dead line): the record fails.
      return false;
    }
  }
}

std::string SerialLink::Revive() {
  const bool dead = port_.Open() && port_.DeviceFailed();
  if (!dead && !(reopenFailed_ && !port_.Open())) return {};
  try {
    port_.SetOpen(true);
    reopenFailed_ = false;
  } catch (const std::exception& e) {
    // Still unplugged: a job fails at its first write.
    reopenFailed_ = true;
    return e.what();
  }
  // The close stopped the modem component on the port; it runs again on
  // the reopened port, as after the serial set-up.
  if (modem_ == nullptr) return {};
  try {
    modem_->SetModemStarted(true);
  } catch (const std::exception&) {
    // The port itself is open again: the job goes on without the modem.
  }
  return {};
}

bool SerialLink::Drain(StopFlag& stop) {
  const std::uint16_t handle = port_.DispatcherHandle();
  ScopedWaker waker(stop, [handle] { comm::WakeOutputWaiters(handle); });
  return comm::WaitOutputSent(handle, [&stop] { return stop.Requested(); }) == 0 && !stop.Requested();
}

bool SerialLink::WaitForRoom(std::size_t length, StopFlag& stop) {
  if (length > 0xFFFF) return false;
  const std::uint16_t handle = port_.DispatcherHandle();
  ScopedWaker waker(stop, [handle] { comm::WakeOutputWaiters(handle); });
  return comm::WaitOutputRoom(handle, static_cast<std::uint16_t>(length), [&stop] { return stop.Requested(); }) == 0;
}

void SerialLink::TriggerAvail(comm::TVnkCustomComPort& port, std::uint16_t count) {
  // Every offered byte is taken (the port counts them read), even the ones
  // the reply buffer has no room or no use for.
  std::string received(count, '\0');
  std::uint16_t got = 0;
  try {
    got = port.GetBlock(received.data(), count);
  } catch (const std::exception&) {
    // The port closed meanwhile: nothing came.
  }
  received.resize(got);
  reply_.Append(received);
}

}  // namespace sender
