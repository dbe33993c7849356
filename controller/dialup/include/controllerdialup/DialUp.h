#pragma once
// The dial-up window: the number of the selected sign, Dial, Break and
// Cancel, and the progress of the call in a status bar of three panels. It
// dials through the main window's modem with a modem dialer and closes itself
// with the OK result on the modem's CONNECT.
#include <QDialog>
#include <QString>

#include <array>
#include <functional>
#include <string>

#include "comm/ModemComp.h"
#include "comm/ModemDialer.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace dialup {

// The three panels' texts, apart from the widgets: panel 0 the caption
// "Status", 1 the progress text, 2 the dial count-down.
class DialUpStatus {
 public:
  DialUpStatus();
  const QString& Text(int panel) const { return texts_.at(static_cast<std::size_t>(panel)); }
  void SetText(int panel, const QString& text);
  // Told of every change (the window redraws; tests record).
  std::function<void(int panel, const QString& text)> changed;

 private:
  std::array<QString, 3> texts_;
};

// What the window needs of the main window.
struct MainWindowHooks {
  // The telephone number (TEL) of the sign selected in the main window; empty
  // when the selection names no entry of the sign table.
  std::function<std::string()> selectedTelephone;
  // The modem connected: the main window's Dial disabled, Hang Up enabled.
  std::function<void()> connected;
  // Before each dial: the port behind the modem made usable again after its
  // line went away; raises, naming the port, when it cannot be.
  std::function<void()> preparePort;
};

class TfrmDialUp : public QDialog {
 public:
  // `modem`: the main window's modem component; it outlives the window.
  explicit TfrmDialUp(comm::TVnkCustomModem& modem, QWidget* parent = nullptr);
  ~TfrmDialUp() override;

  MainWindowHooks hooks;

  // --- handlers ---
  void FormActivate();
  void btnOkClick();
  void btnAbortClick();
  void btnCancelClick();
  void VnkModemDialerRetryStart(comm::TComponent& sender);
  void VnkModemDialerRetryCount(comm::TComponent& sender, std::uint16_t remaining);
  void VnkModemDialerRetryEnd(comm::TComponent& sender);
  void VnkModemDialerCycleDial(comm::TComponent& sender);
  void VnkModemDialerDialStart(comm::TComponent& sender);
  void VnkModemDialerConnect(comm::TComponent& sender);
  void VnkModemDialerDialCount(comm::TComponent& sender, std::uint16_t remaining);
  void VnkModemDialerGotLineSpeed(comm::TComponent& sender, std::int32_t speed);
  void VnkModemDialerBusy(comm::TComponent& sender);
  void VnkModemDialerVoice(comm::TComponent& sender);
  void VnkModemDialerError(comm::TComponent& sender);
  void VnkModemDialerNoCarrier(comm::TComponent& sender);
  void VnkModemDialerNoDialTone(comm::TComponent& sender);
  void VnkModemDialerTooManyTries(comm::TComponent& sender);
  void VnkModemDialerConnectionEstablished(comm::TComponent& sender);

  // Esc and the window's close button act as "&Cancel".
  void reject() override;

  DialUpStatus& Status() { return status_; }
  comm::TVnkModemDialer& Dialer() { return VnkModemDialer; }

  QLabel* Label1 = nullptr;
  QLineEdit* edtPhoneNumber = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnAbort = nullptr;
  QPushButton* Button1 = nullptr;
  QStatusBar* StatusBar = nullptr;
  std::array<QLabel*, 3> panels{};

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Cancels the dial; an error of the port behind the modem names it.
  void CancelNamingThePort();
  // Runs `fn` on the window's thread: at once there, else queued to it.
  void OnWindowThread(std::function<void()> fn);
  void SetPanel(int panel, const QString& text);

  comm::TVnkModemDialer VnkModemDialer;
  DialUpStatus status_;
  std::string shownNumber_;  // the number the field was given, as stored
};

// Opens the window modally (FormActivate fills in the number); true when it
// closed on the modem's CONNECT.
bool RunDialUp(TfrmDialUp& form);

}  // namespace dialup
