#pragma once
// The editor's link to the sign: the serial port component with its modem,
// the serial set-up in its fixed order, and the reply buffer that the port's
// data-available event fills for the sender.
#include <cstdint>
#include <memory>

#include "editor/EditorSettings.h"
#include "sender/ReplyBuffer.h"

namespace comm {
class TVnkComPort;
class TVnkCustomComPort;
class TVnkModem;
}  // namespace comm
namespace settings {
class ComPortSetup;
}  // namespace settings
namespace sender {
class SerialLink;
}  // namespace sender

namespace editorapp {

class EditorLink {
 public:
  EditorLink();
  ~EditorLink();
  EditorLink(const EditorLink&) = delete;
  EditorLink& operator=(const EditorLink&) = delete;

  // COM number, baud and open, then the modem started; a failure shows
  // "Serial port setup error!" and gives false (editing goes on).
  bool SetUp(const editor::EditorSettings& settings);

  // The port's data-available event: the announced bytes are read and
  // appended to the reply buffer as one block.
  void TriggerAvail(comm::TVnkCustomComPort& port, std::uint16_t count);

  comm::TVnkComPort& Port() { return *port_; }
  comm::TVnkModem& Modem() { return *modem_; }
  sender::ReplyBuffer& Reply() { return reply_; }
  sender::SerialLink& Link() { return *link_; }

 private:
  sender::ReplyBuffer reply_;
  std::unique_ptr<comm::TVnkComPort> port_;
  std::unique_ptr<comm::TVnkModem> modem_;
  std::unique_ptr<settings::ComPortSetup> setup_;
  std::unique_ptr<sender::SerialLink> link_;
};

}  // namespace editorapp
