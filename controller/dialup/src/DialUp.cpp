#include "controllerdialup/DialUp.h"
#include "controllerdialup/PortErrors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>

#include <exception>

#include "platform/ExceptionReport.h"
#include "platform/QtText.h"
#include "platform/ScreenCentre.h"

namespace dialup {

using platform::Guarded;

DialUpStatus::DialUpStatus() { texts_[0] = "Status"; }

void DialUpStatus::SetText(int panel, const QString& text) {
  texts_.at(static_cast<std::size_t>(panel)) = text;
  if (changed) changed(panel, text);
}

TfrmDialUp::TfrmDialUp(comm::TVnkCustomModem& modem, QWidget* parent)
    : QDialog(parent), VnkModemDialer(&modem) {
  setObjectName("frmDialUp");
  setWindowTitle("Dialing...");

  Label1 = new QLabel("Phone Number", this);
  edtPhoneNumber = new QLineEdit(this);
  edtPhoneNumber->setObjectName("edtPhoneNumber");
  Label1->setBuddy(edtPhoneNumber);
  btnOk = new QPushButton("&Dial", this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnAbort = new QPushButton("&Break", this);
  btnAbort->setObjectName("btnAbort");
  btnAbort->setAutoDefault(false);
  Button1 = new QPushButton("&Cancel", this);
  Button1->setObjectName("Button1");
  Button1->setAutoDefault(false);

  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(false);
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(status_.Text(i), StatusBar);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    if (i == 1) {
      label->setFixedWidth(270);
    } else {
      label->setAlignment(Qt::AlignCenter);
      label->setMinimumWidth(60);
    }
    StatusBar->addWidget(label, i == 2 ? 1 : 0);
    panels[static_cast<std::size_t>(i)] = label;
  }

  auto* numberRow = new QHBoxLayout;
  numberRow->addWidget(Label1);
  numberRow->addWidget(edtPhoneNumber, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnAbort);
  buttons->addWidget(Button1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(numberRow);
  layout->addLayout(buttons);
  layout->addWidget(StatusBar);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(btnOk, &QPushButton::clicked, this, [this] { Guarded([this] { btnOkClick(); }); });
  connect(btnAbort, &QPushButton::clicked, this, [this] { Guarded([this] { btnAbortClick(); }); });
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { btnCancelClick(); }); });

  auto& d = VnkModemDialer;
  d.SetMaxDialTries(15);
  d.SetRetrySecs(2);
  d.SetDialerOptions({comm::TDialerOption::mdAbortOnNoDialtone, comm::TDialerOption::mdAbortOnError});
  using F = TfrmDialUp;
  d.OnRetryStart = comm::TNotifyEvent::Method(this, &F::VnkModemDialerRetryStart);
  d.OnRetryCount = comm::TConnectCountEvent::Method(this, &F::VnkModemDialerRetryCount);
  d.OnRetryEnd = comm::TNotifyEvent::Method(this, &F::VnkModemDialerRetryEnd);
  d.OnCycleDial = comm::TNotifyEvent::Method(this, &F::VnkModemDialerCycleDial);
  d.OnDialStart = comm::TNotifyEvent::Method(this, &F::VnkModemDialerDialStart);
  d.OnConnect = comm::TNotifyEvent::Method(this, &F::VnkModemDialerConnect);
  d.OnDialCount = comm::TConnectCountEvent::Method(this, &F::VnkModemDialerDialCount);
  d.OnGotLineSpeed = comm::TLineSpeedEvent::Method(this, &F::VnkModemDialerGotLineSpeed);
  d.OnBusy = comm::TNotifyEvent::Method(this, &F::VnkModemDialerBusy);
  d.OnVoice = comm::TNotifyEvent::Method(this, &F::VnkModemDialerVoice);
  d.OnError = comm::TNotifyEvent::Method(this, &F::VnkModemDialerError);
  d.OnNoCarrier = comm::TNotifyEvent::Method(this, &F::VnkModemDialerNoCarrier);
  d.OnNoDialTone = comm::TNotifyEvent::Method(this, &F::VnkModemDialerNoDialTone);
  d.OnTooManyTries = comm::TNotifyEvent::Method(this, &F::VnkModemDialerTooManyTries);
  // OnConnectionEstablished stays unbound.
}

TfrmDialUp::~TfrmDialUp() { VnkModemDialer.StopDialing(); }

void TfrmDialUp::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  platform::CentreOnScreen(*this);
  Guarded([this] { FormActivate(); });
}

void TfrmDialUp::OnWindowThread(std::function<void()> fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  QPointer<TfrmDialUp> self(this);
  QMetaObject::invokeMethod(
      this, [self, fn = std::move(fn)] { if (self) Guarded(fn); }, Qt::QueuedConnection);
}

void TfrmDialUp::SetPanel(int panel, const QString& text) {
  OnWindowThread([this, panel, text] {
    status_.SetText(panel, text);
    panels[static_cast<std::size_t>(panel)]->setText(text);
  });
}

void TfrmDialUp::FormActivate() {
  SetPanel(1, QString());
  SetPanel(2, QString());
  shownNumber_ = hooks.selectedTelephone ? hooks.selectedTelephone() : std::string();
  edtPhoneNumber->setText(platform::ToQt(shownNumber_));
  edtPhoneNumber->setFocus();
}

void TfrmDialUp::btnOkClick() {
  // Dialled as stored while it stands as shown; as typed once changed.
  VnkModemDialer.SetPhoneNumber(platform::FromQt(edtPhoneNumber->text(), shownNumber_));
  if (hooks.preparePort) hooks.preparePort();
  const comm::TVnkCustomModem* modem = VnkModemDialer.Modem();
  NamingThePort(modem ? modem->ComPort() : nullptr, [this] { VnkModemDialer.StartDial(); });
}

void TfrmDialUp::btnAbortClick() {
  if (VnkModemDialer.Dialing()) CancelNamingThePort();
}

void TfrmDialUp::btnCancelClick() {
  if (VnkModemDialer.Dialing()) CancelNamingThePort();
  done(QDialog::Rejected);
}

void TfrmDialUp::CancelNamingThePort() {
  const comm::TVnkCustomModem* modem = VnkModemDialer.Modem();
  NamingThePort(modem ? modem->ComPort() : nullptr, [this] { VnkModemDialer.CancelDial(); });
}

void TfrmDialUp::reject() {
  Guarded([this] { btnCancelClick(); });
}

void TfrmDialUp::VnkModemDialerRetryStart(comm::TComponent&) {
  SetPanel(1, "Dial failed.  Will wait before retrying...");
}

void TfrmDialUp::VnkModemDialerRetryCount(comm::TComponent&, std::uint16_t remaining) {
  SetPanel(1, QString::number(remaining) + " seconds before new dial attempt");
}

void TfrmDialUp::VnkModemDialerRetryEnd(comm::TComponent&) {
  SetPanel(1, "Retry finished.  Will attempt to dial again.");
}

void TfrmDialUp::VnkModemDialerCycleDial(comm::TComponent&) {
  SetPanel(1, VnkModemDialer.WaitingForRetry() ? "Cancelling retry..." : "Cycling dial attempt...");
}

void TfrmDialUp::VnkModemDialerDialStart(comm::TComponent&) {
  SetPanel(1, "Starting a new dial attempt!");
}

void TfrmDialUp::VnkModemDialerConnect(comm::TComponent&) {
  SetPanel(1, "Modem connected!");
  OnWindowThread([this] {
    if (hooks.connected) hooks.connected();
    done(QDialog::Accepted);
  });
}

void TfrmDialUp::VnkModemDialerDialCount(comm::TComponent&, std::uint16_t remaining) {
  SetPanel(2, QString::number(remaining));
}

void TfrmDialUp::VnkModemDialerGotLineSpeed(comm::TComponent&, std::int32_t speed) {
  SetPanel(1, "Connected at " + QString::number(speed) + " baud!");
}

void TfrmDialUp::VnkModemDialerBusy(comm::TComponent&) { SetPanel(1, "Remote is busy!"); }
void TfrmDialUp::VnkModemDialerVoice(comm::TComponent&) { SetPanel(1, "Remote answered with voice!"); }
void TfrmDialUp::VnkModemDialerError(comm::TComponent&) { SetPanel(1, "Error!"); }
void TfrmDialUp::VnkModemDialerNoCarrier(comm::TComponent&) { SetPanel(1, "No Carrier!"); }
void TfrmDialUp::VnkModemDialerNoDialTone(comm::TComponent&) { SetPanel(1, "No Dial Tone!"); }
void TfrmDialUp::VnkModemDialerTooManyTries(comm::TComponent&) { SetPanel(1, "Too many tries!"); }
void TfrmDialUp::VnkModemDialerConnectionEstablished(comm::TComponent&) {
  SetPanel(1, "Connection established!");
}

bool RunDialUp(TfrmDialUp& form) { return form.exec() == QDialog::Accepted; }

}  // namespace dialup
