#pragma once
// The main window's side of the link to the sign: the settings and sign
// table, the serial port and modem components, the parameter and sending
// windows, and the job runner. The handlers of TfrmMain hand it what a job
// needs as plain values.
#include <cstdint>
#include <memory>
#include <string>

#include "controller/Job.h"
#include "controller/Settings.h"

namespace comm {
class TVnkComPort;
class TVnkCustomComPort;
class TVnkModem;
}  // namespace comm
namespace settings {
class ComPortSetup;
}  // namespace settings
namespace controller {
class TfrmParam;
class TfrmSending;
}  // namespace controller
namespace sender {
class SerialLink;
}  // namespace sender

namespace ctlapp {

class TfrmMain;

class MainLink {
 public:
  explicit MainLink(TfrmMain& main);
  ~MainLink();

  // The dialogs of the link, created with the main window.
  void CreateForms();
  // Start-up steps 2 to 5: the directories, the settings, the sign list.
  void StartUp();
  // Start-up step 8: the serial set-up in RS-232 mode.
  void SetUpSerial();

  bool IsTcp() const { return settings_.IsTcp(); }
  // A request handler: the job of `jobType` with what the window holds now.
  bool Request(int jobType);
  void SetPlayingTimes(int times) { playingTimes_ = times; }
  void ParameterSetup1Click();

  // The serial port's data-available event: `count` bytes are read from the
  // port and appended to the reply buffer.
  void VnkComPortSTriggerAvail(comm::TVnkCustomComPort& port, std::uint16_t count);
  // Before the modem's own commands: a port whose line went away is opened
  // again and the modem component started on it, as before a job; raises,
  // naming the port, when the reopen fails.
  void ReviveModemPort();
  // Hangs the modem up on a revived port; an error of the port names it.
  void HangUp();

  comm::TVnkComPort& VnkComPortS() { return *port_; }
  comm::TVnkModem& VnkModemS() { return *modem_; }

  // Null before start-up.
  controller::JobRunner* Runner() { return runner_.get(); }
  controller::TSettings& Settings() { return settings_; }
  controller::SignTable& Table() { return table_; }
  const std::string& WindowsDir() const { return windowsDir_; }
  const std::string& ProgramDir() const { return programDir_; }
  controller::TfrmParam* frmParam = nullptr;
  controller::TfrmSending* frmSending = nullptr;

 private:
  TfrmMain& main_;
  controller::TSettings settings_;
  controller::SignTable table_;
  platform::ProfileKeysRead settingsRead_;  // the keys as read at the start or last saved
  std::string windowsDir_;
  std::string programDir_;
  int playingTimes_ = 0;
  std::unique_ptr<comm::TVnkComPort> port_;
  std::unique_ptr<comm::TVnkModem> modem_;
  std::unique_ptr<settings::ComPortSetup> serialSetup_;
  std::unique_ptr<controller::JobRunner> runner_;
  std::unique_ptr<sender::SerialLink> serialLink_;
};

}  // namespace ctlapp
