#pragma once
// The editor's link to the sign: the serial port component with its modem,
// the serial set-up in its fixed order, and the sender on that port (which
// takes the port's data-available event into its reply buffer).
#include <memory>

#include "editor/EditorSettings.h"

class QWidget;

namespace comm {
class TVnkComPort;
class TVnkCustomComPort;
class TVnkModem;
}  // namespace comm
namespace settings {
class ComPortSetup;
}  // namespace settings
namespace editor {
class EditorSender;
}  // namespace editor

namespace editorapp {

class EditorLink {
 public:
  // The sending window is shown over `windowParent`.
  explicit EditorLink(QWidget* windowParent);
  ~EditorLink();
  EditorLink(const EditorLink&) = delete;
  EditorLink& operator=(const EditorLink&) = delete;

  // COM number, baud and open, then the modem started; a failure shows
  // "Serial port setup error!" and gives false (editing goes on).
  bool SetUp(const editor::EditorSettings& settings);

  comm::TVnkComPort& Port() { return *port_; }
  comm::TVnkModem& Modem() { return *modem_; }
  editor::EditorSender& Sender() { return *sender_; }

 private:
  std::unique_ptr<comm::TVnkComPort> port_;
  std::unique_ptr<comm::TVnkModem> modem_;
  std::unique_ptr<settings::ComPortSetup> setup_;
  // Declared after the port: it goes first, and gives the port's event back.
  std::unique_ptr<editor::EditorSender> sender_;
};

}  // namespace editorapp
