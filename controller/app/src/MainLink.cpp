#include "controllerapp/MainLink.h"

#include <QComboBox>
#include <QListWidget>

#include <stdexcept>

#include "comm/ModemComp.h"
#include "comm/PosixLayer.h"
#include "comm/SerialPort.h"
#include "common/Util.h"
#include "common/ComPortSetup.h"
#include "controller/Param.h"
#include "controller/Sending.h"
#include "controllerapp/Main.h"
#include "controllerdialup/PortErrors.h"
#include "platform/Directories.h"
#include "platform/QtText.h"
#include "sender/SerialLink.h"

namespace ctlapp {

MainLink::MainLink(TfrmMain& main) : main_(main) {
  port_ = std::make_unique<comm::TVnkComPort>();
  port_->SetInSize(20000);
  port_->SetOutSize(20000);
  port_->SetBaud(9600);
  port_->SetTracing(comm::TTraceLogState::tlOff);
  port_->SetLogging(comm::TTraceLogState::tlOff);
  port_->OnTriggerAvail = [this](comm::TVnkCustomComPort& p, std::uint16_t n) {
    Guarded([&] { VnkComPortSTriggerAvail(p, n); });
  };
  // The modem's command and answer strings are the component's defaults.
  modem_ = std::make_unique<comm::TVnkModem>(port_.get());
  comm::TVnkModem* modem = modem_.get();
  serialSetup_ = std::make_unique<settings::ComPortSetup>(*port_, [modem](bool on) { modem->SetModemStarted(on); });
}

MainLink::~MainLink() {
  // The runner's sends use the serial link: they end before the port goes.
  runner_.reset();
  serialLink_.reset();
  port_->OnTriggerAvail = nullptr;
  modem_.reset();
  port_.reset();
}

void MainLink::CreateForms() {
  frmParam = new controller::TfrmParam(&main_);
  frmSending = new controller::TfrmSending(&main_);
}

void MainLink::StartUp() {
  windowsDir_ = platform::SystemDirectory();
  programDir_ = platform::ProgramDirectory();
  if (const std::string why = platform::ProgramDirectoryWarning(); !why.empty()) util::ShowWarning(why);
  runner_ = std::make_unique<controller::JobRunner>(settings_, table_, windowsDir_, *frmSending);
  serialLink_ = std::make_unique<sender::SerialLink>(*port_, runner_->Reply());
  serialLink_->SetModem(modem_.get());
  runner_->SetSerialLink(serialLink_.get());
  controller::LoadSettings(programDir_, settings_, table_, &settingsRead_);
  controller::FillSignCombo(*main_.cboSigns, table_);
}

void MainLink::SetUpSerial() {
  if (settings_.IsTcp()) return;
  controller::ApplySerialSettings(*serialSetup_, settings_);
}

void MainLink::VnkComPortSTriggerAvail(comm::TVnkCustomComPort& port, std::uint16_t count) {
  if (serialLink_) serialLink_->TriggerAvail(port, count);
}

void MainLink::ReviveModemPort() {
  if (!serialLink_) return;
  if (const std::string why = serialLink_->Revive(); !why.empty()) {
    throw std::runtime_error(comm::ComPortErrorText(port_->ComNumber(), why));
  }
}

void MainLink::HangUp() {
  ReviveModemPort();
  dialup::NamingThePort(port_.get(), [this] { modem_->HangUp(); });
}

bool MainLink::Request(int jobType) {
  if (!runner_) return false;
  controller::JobRequest r;
  r.signIndex = main_.cboSigns->currentIndex();
  r.signId = platform::FromQt(main_.cboID->currentText());
  r.sequence = main_.Sequence().Entries();
  r.schedule = main_.Schedule().Rows();
  r.interruptFile = main_.SelectedSourcePath();
  r.interruptEntry = main_.SelectedSourceName();
  r.playingTimes = playingTimes_;
  return runner_->RequestJob(jobType, r);
}

void MainLink::ParameterSetup1Click() {
  controller::ParameterSetup(*frmParam, settings_, table_, programDir_, settingsRead_, main_.cboSigns, serialSetup_.get());
}

}  // namespace ctlapp
