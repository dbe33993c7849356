#pragma once
// The serial link: the records go out through the serial port component's
// WriteText, the one operation of the component made for other threads; the
// component's data-available event (on the main thread) reads what came in
// and appends it to the reply buffer.
#include <cstdint>
#include <string>
#include <string_view>

#include "comm/SerialPort.h"

namespace comm {
class TVnkCustomModem;
}
#include "sender/Link.h"
#include "sender/ReplyBuffer.h"

namespace sender {

class SerialLink : public Link {
 public:
  // Neither is owned; both outlive the link.
  SerialLink(comm::TVnkCustomComPort& port, ReplyBuffer& reply) : port_(port), reply_(reply) {}

  // Queues the bytes on the port; false when the port refuses them (closed,
  // dead) or `stop` is requested. When the output buffer has no room yet it
  // waits for the line to make some, for as long as the line needs to send
  // a full buffer plus a margin.
  bool Write(std::string_view bytes, StopFlag& stop) override;

  // Reopens a port whose device hung up or failed, and a port such a reopen
  // left closed; a port the user closed stays closed. A failure leaves the
  // port closed and is tried again at the next job.
  void Prepare() override { Revive(); }
  // Prepare for the modem's own commands (Dial, Hang Up) too: the reason a
  // reopen failed, empty when the port was usable or was reopened.
  std::string Revive();

  // Waits until everything queued has left the machine: the port's buffer
  // and then the device's own queue are empty (for as long as the bytes
  // take at the line's rate plus a margin). False when the device hung up
  // or failed before that, the line did not drain, or `stop` is requested;
  // a stop ends the wait at once.
  bool Drain(StopFlag& stop) override;

  // The modem component on the port, started again after a reopen (the
  // close stopped it); null: none. Not owned; it outlives the link.
  void SetModem(comm::TVnkCustomModem* modem) { modem_ = modem; }

  // The main window's data-available handler: reads the `count` bytes in one
  // block and appends them to the reply buffer. Main thread only.
  void TriggerAvail(comm::TVnkCustomComPort& port, std::uint16_t count);

 private:
  bool WaitForRoom(std::size_t length, StopFlag& stop);

  comm::TVnkCustomComPort& port_;
  ReplyBuffer& reply_;
  comm::TVnkCustomModem* modem_ = nullptr;
  bool reopenFailed_ = false;
};

}  // namespace sender
