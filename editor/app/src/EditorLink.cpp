#include "editorapp/EditorLink.h"

#include "comm/ModemComp.h"
#include "comm/SerialPort.h"
#include "common/ComPortSetup.h"
#include "common/LinkSettings.h"
#include "editorapp/StartUp.h"
#include "editor/Sending.h"

namespace editorapp {

EditorLink::EditorLink(QWidget* windowParent) {
  port_ = std::make_unique<comm::TVnkComPort>();
  port_->SetInSize(20000);
  port_->SetOutSize(20000);
  port_->SetBaud(9600);
  port_->SetTraceName("VNK.TRC");
  port_->SetLogName("VNK.LOG");
  port_->SetTracing(comm::TTraceLogState::tlOff);
  port_->SetLogging(comm::TTraceLogState::tlOff);
  // The modem's command and answer strings are the component's defaults.
  modem_ = std::make_unique<comm::TVnkModem>(port_.get());
  comm::TVnkModem* modem = modem_.get();
  setup_ = std::make_unique<settings::ComPortSetup>(*port_, [modem](bool on) { modem->SetModemStarted(on); });
  // The reply bytes are read in one block per event into the sender's guarded buffer.
  sender_ = std::make_unique<editor::EditorSender>(*port_, windowParent);
  sender_->SetPortSetUp([this](const editor::EditorSettings& s) { return SetUp(s); });
  // A dead line reopened for a send gets its modem component back.
  sender_->Link().SetModem(modem_.get());
}

EditorLink::~EditorLink() {
  sender_.reset();
  modem_.reset();
  port_.reset();
}

bool EditorLink::SetUp(const editor::EditorSettings& s) {
  return settings::ApplySerialSettings(*setup_, s.portIndex, s.speedIndex, kSerialSetupErrorText);
}

}  // namespace editorapp
