#include "editorapp/EditorLink.h"

#include "comm/ModemComp.h"
#include "comm/SerialPort.h"
#include "common/ComPortSetup.h"
#include "common/LinkSettings.h"
#include "editorapp/StartUp.h"
#include "platform/ExceptionReport.h"
#include "sender/SerialLink.h"

namespace editorapp {

EditorLink::EditorLink() {
  port_ = std::make_unique<comm::TVnkComPort>();
  port_->SetInSize(20000);
  port_->SetOutSize(20000);
  port_->SetBaud(9600);
  port_->SetTraceName("VNK.TRC");
  port_->SetLogName("VNK.LOG");
  port_->SetTracing(comm::TTraceLogState::tlOff);
  port_->SetLogging(comm::TTraceLogState::tlOff);
  port_->OnTriggerAvail = [this](comm::TVnkCustomComPort& p, std::uint16_t n) {
    platform::Guarded([&] { TriggerAvail(p, n); });
  };
  // The modem's command and answer strings are the component's defaults.
  modem_ = std::make_unique<comm::TVnkModem>(port_.get());
  comm::TVnkModem* modem = modem_.get();
  setup_ = std::make_unique<settings::ComPortSetup>(*port_, [modem](bool on) { modem->SetModemStarted(on); });
  link_ = std::make_unique<sender::SerialLink>(*port_, reply_);
}

EditorLink::~EditorLink() {
  port_->OnTriggerAvail = nullptr;
  link_.reset();
  modem_.reset();
  port_.reset();
}

bool EditorLink::SetUp(const editor::EditorSettings& s) {
  return settings::ApplySerialSettings(*setup_, s.portIndex, s.speedIndex, kSerialSetupErrorText);
}

void EditorLink::TriggerAvail(comm::TVnkCustomComPort& port, std::uint16_t count) { link_->TriggerAvail(port, count); }

}  // namespace editorapp
