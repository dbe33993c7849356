// The dial-up window on the controller's modem pointed at the simulated Hayes
// modem: its texts, the status bar through a failed and retried call, the
// main window told on CONNECT, and a Reset sent over the dialled line to the
// sign behind the modem, then the hang-up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "PeerIo.h"
#include "SimModemCom.h"
#include "comm/CommExcept.h"
#include "comm/ModemComp.h"
#include "comm/SerialPort.h"
#include "common/CommandRecord.h"
#include "common/ControllerCommandFiles.h"
#include "controllerdialup/DialUp.h"
#include "modemsim/ModemSim.h"
#include "platform/BinaryFile.h"
#include "platform/MessageBoxes.h"

namespace {

using namespace comm;
using dialup::TfrmDialUp;
using modemsim::ModemSim;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

QApplication& App() {
  static int argc = 1;
  static char name[] = "dialup_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

bool PumpUntil(const std::function<bool()>& done, milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}
void PumpFor(milliseconds span) { PumpUntil([] { return false; }, span); }

class DialUp : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    sim = comm_test::StartSimModemOnCom(12, dir.path, link, port);
    port.OnTriggerAvail = [this](TVnkCustomComPort& p, std::uint16_t count) {
      for (std::uint16_t i = 0; i < count; ++i) replies += p.ReadChar();
    };
    port.SetOpen(true);
    modem->SetModemStarted(true);
    form = std::make_unique<TfrmDialUp>(*modem);
    form->hooks.selectedTelephone = [this] { return telephone; };
    form->hooks.connected = [this] { ++connectedCalls; };
    form->Status().changed = [this](int panel, const QString& text) {
      if (panel == 1) panel1.push_back(text.toStdString());
      if (panel == 2) panel2.push_back(text.toStdString());
      onMainThread = onMainThread && QThread::currentThread() == App().thread();
    };
  }
  void TearDown() override {
    form.reset();
    modem.reset();
    // Let the last deliveries of the port run before it closes: the dispatcher
    // can still be handing a trigger to the port's window while it closes.
    PumpFor(milliseconds(150));
    port.SetOpen(false);
    ::unsetenv("LEDSIGN_COM12");
  }
  bool Shown(const std::string& text, milliseconds limit = milliseconds(8000)) {
    return PumpUntil([&] { return std::find(panel1.begin(), panel1.end(), text) != panel1.end(); }, limit);
  }
  std::string Panel(int i) const { return form->panels[static_cast<std::size_t>(i)]->text().toStdString(); }

  peerio::TempDir dir;
  std::unique_ptr<ModemSim> sim;
  std::string link;
  TVnkComPort port;
  std::unique_ptr<TVnkModem> modem = std::make_unique<TVnkModem>(&port);
  std::unique_ptr<TfrmDialUp> form;
  std::string telephone = "5551234";
  std::string replies;
  int connectedCalls = 0;
  bool onMainThread = true;
  std::vector<std::string> panel1, panel2;
};

TEST_F(DialUp, TheWindowsTextsAndDialerSettings) {
  EXPECT_EQ(form->windowTitle(), "Dialing...");
  EXPECT_EQ(form->Label1->text(), "Phone Number");
  EXPECT_EQ(form->btnOk->text(), "&Dial");
  EXPECT_TRUE(form->btnOk->isDefault());
  EXPECT_EQ(form->btnAbort->text(), "&Break");
  EXPECT_EQ(form->Button1->text(), "&Cancel");
  EXPECT_EQ(Panel(0), "Status");
  EXPECT_EQ(form->panels[1]->width(), 270);
  EXPECT_EQ(form->Dialer().MaxDialTries(), 15);
  EXPECT_EQ(form->Dialer().RetrySecs(), 2);
  EXPECT_EQ(form->Dialer().DialerOptions(),
            (TDialerOptions{TDialerOption::mdAbortOnNoDialtone, TDialerOption::mdAbortOnError}));
  EXPECT_EQ(form->Dialer().Modem(), modem.get());
}

TEST_F(DialUp, OpeningFillsInTheSelectedSignsNumberAndClearsThePanels) {
  form->panels[1]->setText("old");
  form->panels[2]->setText("9");
  form->show();
  PumpFor(milliseconds(20));
  EXPECT_EQ(form->edtPhoneNumber->text(), "5551234");
  EXPECT_EQ(Panel(1), "");
  EXPECT_EQ(Panel(2), "");
  form->hide();
  telephone = "";  // the selection names no sign
  form->show();
  PumpFor(milliseconds(20));
  EXPECT_EQ(form->edtPhoneNumber->text(), "");
  platform::ScopedRecordingBoxes boxes;
  form->btnOk->click();
  EXPECT_FALSE(form->Dialer().Dialing());
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(boxes->Shown().size(), 1u);
}

// A number from an old settings file (Latin-1) shows as its letters and is
// dialled as it is stored; one the user types is dialled as typed (UTF-8).
TEST_F(DialUp, TheNumberIsShownAsItsLettersAndDialledAsStored) {
  sim->SetDialScript("-");
  struct Case {
    std::string stored;
    QString shown;
    QString typed;  // nothing typed: the number as shown
    std::string dialled;
  };
  const Case cases[] = {
      {"0\xB7" "30 555", QString::fromUtf16(u"0\u00B730 555"), QString(), "0\xB7" "30 555"},
      {"0\xB7" "30 555", QString::fromUtf16(u"0\u00B730 555"), QString::fromUtf16(u"0\u00B730 556"),
       "0\xC2\xB7" "30 556"},
      {"5551234", "5551234", QString(), "5551234"},
  };
  for (const Case& c : cases) {
    telephone = c.stored;
    form->show();
    PumpFor(milliseconds(20));
    EXPECT_EQ(form->edtPhoneNumber->text().toStdString(), c.shown.toStdString());
    if (!c.typed.isEmpty()) form->edtPhoneNumber->setText(c.typed);
    form->btnOk->click();
    EXPECT_EQ(form->Dialer().PhoneNumber(), c.dialled);
    form->btnAbort->click();
    form->hide();
  }
}

TEST_F(DialUp, EveryHandlerText) {
  TComponent& s = form->Dialer();
  struct Case {
    std::function<void()> fire;
    int panel;
    const char* text;
  };
  const Case cases[] = {
      {[&] { form->VnkModemDialerRetryStart(s); }, 1, "Dial failed.  Will wait before retrying..."},
      {[&] { form->VnkModemDialerRetryCount(s, 7); }, 1, "7 seconds before new dial attempt"},
      {[&] { form->VnkModemDialerRetryEnd(s); }, 1, "Retry finished.  Will attempt to dial again."},
      {[&] { form->VnkModemDialerCycleDial(s); }, 1, "Cycling dial attempt..."},
      {[&] { form->VnkModemDialerDialStart(s); }, 1, "Starting a new dial attempt!"},
      {[&] { form->VnkModemDialerDialCount(s, 42); }, 2, "42"},
      {[&] { form->VnkModemDialerGotLineSpeed(s, 14400); }, 1, "Connected at 14400 baud!"},
      {[&] { form->VnkModemDialerBusy(s); }, 1, "Remote is busy!"},
      {[&] { form->VnkModemDialerVoice(s); }, 1, "Remote answered with voice!"},
      {[&] { form->VnkModemDialerError(s); }, 1, "Error!"},
      {[&] { form->VnkModemDialerNoCarrier(s); }, 1, "No Carrier!"},
      {[&] { form->VnkModemDialerNoDialTone(s); }, 1, "No Dial Tone!"},
      {[&] { form->VnkModemDialerTooManyTries(s); }, 1, "Too many tries!"},
      {[&] { form->VnkModemDialerConnectionEstablished(s); }, 1, "Connection established!"},
  };
  for (const auto& c : cases) {
    c.fire();
    EXPECT_EQ(Panel(c.panel), c.text);
    EXPECT_EQ(form->Status().Text(c.panel).toStdString(), c.text);
  }
}

TEST_F(DialUp, AHandlerCalledOffTheMainThreadUpdatesTheWindowOnIt) {
  std::thread other([&] { form->VnkModemDialerBusy(form->Dialer()); });
  other.join();
  EXPECT_EQ(Panel(1), "");  // not yet: queued to the window's thread
  ASSERT_TRUE(Shown("Remote is busy!", milliseconds(2000)));
  EXPECT_EQ(Panel(1), "Remote is busy!");
  EXPECT_TRUE(onMainThread);
}

TEST_F(DialUp, NoDialToneEndsAtOnceAndDialTwiceShowsTheError) {
  sim->SetDialScript("-");
  form->show();
  PumpFor(milliseconds(20));
  platform::ScopedRecordingBoxes boxes;
  form->btnOk->click();
  form->btnOk->click();
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(boxes->Texts()[0], EAlreadyDialing(kErrAlreadyDialing).what());
  EXPECT_TRUE(form->isVisible());
  ASSERT_TRUE(Shown("Starting a new dial attempt!"));
  form->btnAbort->click();  // Break: stops, the window stays
  EXPECT_FALSE(form->Dialer().Dialing());
  EXPECT_TRUE(form->isVisible());

  panel1.clear();
  sim->SetDialScript("NO DIALTONE");
  form->btnOk->click();
  ASSERT_TRUE(Shown("No Dial Tone!"));
  PumpFor(milliseconds(200));
  EXPECT_EQ(panel1, (std::vector<std::string>{"Starting a new dial attempt!", "No Dial Tone!"}));
  EXPECT_EQ(form->Dialer().DialerStatus(), dsFailed);
  EXPECT_TRUE(form->isVisible());
}

TEST_F(DialUp, BusyRetriesAfterTwoSecondsThenConnectsAndClosesWithOk) {
  sim->SetDialScript("BUSY,CONNECT 9600");
  form->open();
  PumpFor(milliseconds(20));
  panel1.clear();
  form->btnOk->click();
  ASSERT_TRUE(PumpUntil([&] { return !form->isVisible(); }, milliseconds(8000)));
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(connectedCalls, 1);
  // The dialer goes on while the window is hidden, to the connection's end.
  ASSERT_TRUE(PumpUntil([&] { return form->Dialer().DialerStatus() == dsConnected; }, milliseconds(4000)));
  EXPECT_EQ(panel1, (std::vector<std::string>{"Starting a new dial attempt!", "Remote is busy!",
                                              "Dial failed.  Will wait before retrying...",
                                              "1 seconds before new dial attempt",
                                              "Retry finished.  Will attempt to dial again.",
                                              "Starting a new dial attempt!", "Modem connected!",
                                              "Connected at 9600 baud!"}));
  EXPECT_EQ(Panel(1), "Connected at 9600 baud!");
  EXPECT_TRUE(onMainThread);
}

TEST_F(DialUp, CancelStopsTheDialAndClosesWithTheCancelResult) {
  sim->SetDialScript("-");
  form->open();
  PumpFor(milliseconds(20));
  form->btnOk->click();
  ASSERT_TRUE(Shown("Starting a new dial attempt!"));
  form->Button1->click();
  EXPECT_FALSE(form->Dialer().Dialing());
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Rejected);
  EXPECT_EQ(connectedCalls, 0);
  EXPECT_TRUE(PumpUntil([&] { return sim->CurrentMode() == ModemSim::Mode::Command; }, milliseconds(2000)));
}

// A dial on a line that went away fails, and the error says which port.
TEST_F(DialUp, ADialOnALineThatWentAwayNamesThePort) {
  PumpFor(milliseconds(150));
  port.SetOpen(false);
  const std::string missing = (dir.path / "gone").string();
  ::setenv("LEDSIGN_COM12", missing.c_str(), 1);
  form->show();
  PumpFor(milliseconds(20));
  platform::ScopedRecordingBoxes boxes;
  form->btnOk->click();
  ASSERT_TRUE(PumpUntil([&] { return !boxes->Texts().empty(); }, milliseconds(3000)));
  EXPECT_EQ(boxes->Texts(),
            std::vector<std::string>{"COM12: " + missing + " does not exist (is the device plugged in?)"});
  if (form->Dialer().Dialing()) form->btnAbort->click();
}

TEST_F(DialUp, EndToEndDialSendAResetOverTheLineAndHangUp) {
  sim->SetDialScript("CONNECT 9600");
  form->open();
  PumpFor(milliseconds(20));
  form->btnOk->click();
  ASSERT_TRUE(PumpUntil([&] { return form->Dialer().DialerStatus() == dsConnected; }, milliseconds(8000)));
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(sim->CurrentMode(), ModemSim::Mode::Online);

  // The Reset command file and the end record, as the controller writes them.
  cmdfile::ControllerContext context;
  context.systemDirectory = dir.path.string();
  std::vector<cmdfile::CommandRecord> records =
      cmdfile::ReadCommandRecords(platform::ReadWholeFile(cmdfile::WriteCommandFile(context, cmdfile::ControlCode::ResetSign)));
  for (const auto& r : cmdfile::ReadCommandRecords(platform::ReadWholeFile(cmdfile::WriteOverFile(context))))
    records.push_back(r);
  ASSERT_GE(records.size(), 3u);
  for (const auto& r : records) {
    port.WriteText(r.Payload());
    PumpFor(milliseconds(150));  // the sender's pause before each record
  }
  ASSERT_TRUE(sim->Sign().WaitForRecords(records.size(), milliseconds(3000)));
  const auto got = sim->Sign().Records();
  ASSERT_EQ(got.size(), records.size());
  EXPECT_EQ(got[0].wakeAts, cmdfile::kWakeUpAtSigns);
  bool reset = false;
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_TRUE(got[i].crcOk) << got[i].text;
    EXPECT_EQ(got[i].source, "modem");
    EXPECT_EQ(got[i].raw.substr(got[i].raw.size() - records[i].Payload().size()), records[i].Payload());
    reset = reset || got[i].text == "{Z}";
  }
  EXPECT_TRUE(reset);
  EXPECT_EQ(got.back().text, "{E}");
  // The sign's answers come back through the modem.
  EXPECT_TRUE(PumpUntil([&] { return replies.size() >= 3; }, milliseconds(2000))) << replies;

  std::this_thread::sleep_for(milliseconds(400));  // the guard time before "+++"
  modem->HangUp();
  ASSERT_TRUE(PumpUntil([&] { return sim->CurrentMode() == ModemSim::Mode::Command; }, milliseconds(4000)));
  const std::string sent = sim->ReceivedBytes();
  EXPECT_EQ(sent.substr(0, 12), "ATDT5551234\r");
  EXPECT_EQ(sent.substr(sent.size() - 8), "+++ATH0\r");
  EXPECT_EQ(sim->Commands().back(), "ATH0");
}

}  // namespace
