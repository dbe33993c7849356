// The modem component on a serial port component whose COM number points at
// the simulated Hayes modem: events on the main thread, in order, with the
// values of their moment; busy and not-dialing errors; stopping with the port.
#include <gtest/gtest.h>

#include <QThread>

#include <cstdlib>

#include "ModemTestSupport.h"
#include "PeerIo.h"
#include "SimModemCom.h"
#include "comm/CommExcept.h"
#include "comm/ModemComp.h"
#include "comm/ModemEngine.h"
#include "comm/SerialPort.h"
#include "modemsim/ModemSim.h"
#include "platform/MessageBoxes.h"

namespace {

using namespace modemtest;
using namespace comm;
using modemsim::ModemSim;
using std::chrono::milliseconds;

constexpr int kCom = 8;

class ModemComponent : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    sim = comm_test::StartSimModemOnCom(kCom, dir.path, link, port);
    // As the programs do: the data-available handler reads what it is offered.
    port.OnTriggerAvail = comm_test::ReadAllOffered;
    port.SetOpen(true);
    Listen();
  }
  void TearDown() override {
    modem.reset();
    PumpFor(milliseconds(150));  // let the modem's last answers be delivered
    port.SetOpen(false);
    ::unsetenv("LEDSIGN_COM8");
  }

  void Record(const std::string& name, std::int32_t value = 0) {
    events.push_back({name, value, Clock::now(), QThread::currentThread() == App().thread()});
  }
  void Listen() {
    auto& m = *modem;
    m.OnModemOk = [this](TComponent&) { Record("Ok"); };
    m.OnModemConnect = [this](TComponent&) { Record("Connect"); };
    m.OnModemBusy = [this](TComponent&) { Record("Busy"); };
    m.OnModemNoDialTone = [this](TComponent&) { Record("NoDialTone"); };
    m.OnGotLineSpeed = [this](TComponent&, std::int32_t s) { Record("Speed", s); };
    m.OnDialCount = [this](TComponent&, std::uint16_t n) { Record("Count", n); };
    m.OnDialTimedOut = [this](TComponent&) { Record("TimedOut"); };
    m.OnModemIsConnected = [this](TComponent&) { Record("IsConnected"); };
    m.OnConnectFailed = [this](TComponent&) { Record("Failed"); };
    m.OnCommandProcessed = [this](TComponent&, TModemStatus what, std::int32_t) {
      Record("Processed", what);
    };
    m.OnModemEvent = [this](TComponent&, TModemStatus what, std::int32_t data) {
      modemEvents.push_back({what, data});
    };
  }
  bool WaitForEvent(const std::string& name, milliseconds limit = milliseconds(4000)) {
    return WaitForSeen(events, name, limit);
  }

  peerio::TempDir dir;
  std::unique_ptr<ModemSim> sim;
  std::string link;
  TVnkComPort port;
  std::unique_ptr<TVnkModem> modem = std::make_unique<TVnkModem>(&port);
  std::vector<Seen> events;
  std::vector<std::pair<TModemStatus, std::int32_t>> modemEvents;
};

TEST(ModemComponentProperties, DefaultsAndLimits) {
  TVnkModem modem;
  EXPECT_EQ(modem.ComPort(), nullptr);
  EXPECT_EQ(modem.InitCmd(), "ATZ^M");
  EXPECT_EQ(modem.DialCmd(), "ATDT");
  EXPECT_EQ(modem.DialTerm(), "^M");
  EXPECT_EQ(modem.DialCancel(), "^M");
  EXPECT_EQ(modem.HangupCmd(), "+++~~~ATH0^M");
  EXPECT_EQ(modem.ConfigCmd(), "ATE1Q0X1V1^M");
  EXPECT_EQ(modem.AnswerCmd(), "ATA^M");
  EXPECT_EQ(modem.NoDialToneMsg(), "NO DIALTONE");
  EXPECT_TRUE(modem.LockDTE());
  EXPECT_TRUE(modem.AutoStart());
  EXPECT_FALSE(modem.ModemStarted());
  EXPECT_EQ(modem.DialTimeout(), 60u);
  EXPECT_EQ(modem.AnswerTimeout(), 60u);
  EXPECT_EQ(modem.DelayFactor(), 2u);
  EXPECT_EQ(modem.CmdTimeout(), 182u);
  EXPECT_EQ(modem.DTRDropHold(), 8u);
  EXPECT_EQ(modem.CharDelay(), 0u);
  EXPECT_EQ(modem.TildeDelay(), 9u);
  EXPECT_EQ(modem.RingWaitTimeout(), 182u);
  modem.SetDialCmd(std::string(50, 'D'));
  EXPECT_EQ(modem.DialCmd(), std::string(41, 'D'));
  modem.SetConfigCmd(std::string(300, 'C'));
  EXPECT_EQ(modem.ConfigCmd().size(), 255u);
  modem.SetOkMsg(std::string(30, 'K'));
  EXPECT_EQ(modem.OkMsg(), std::string(21, 'K'));
  TTagSet tags;
  tags.SetString3(std::string(25, 'T'));
  EXPECT_EQ(tags.String3(), std::string(21, 'T'));
  try {
    modem.Dial("1");
    FAIL() << "no port";
  } catch (const EPortNotAssigned& e) {
    EXPECT_EQ(e.ErrorCode(), -1005);
  }
}

TEST_F(ModemComponent, DialsConnectsAndHangsUpWithEventsOnTheMainThread) {
  sim->SetDialScript("CONNECT 9600");
  modem->SetModemStarted(true);
  ASSERT_TRUE(modem->ModemStarted());
  modem->Dial("5551234");
  EXPECT_TRUE(modem->IsDialing());
  EXPECT_THROW(modem->Dial("5551234"), EModemBusy);
  ASSERT_TRUE(WaitForEvent("IsConnected")) << Describe(events);
  EXPECT_EQ(events, (std::vector<Seen>{{"Connect"}, {"Speed", 9600}, {"IsConnected"}}))
      << Describe(events);
  EXPECT_EQ(modemEvents, (std::vector<std::pair<TModemStatus, std::int32_t>>{
                             {msModemConnect, 0}, {msGotLineSpeed, 9600}, {msModemIsConnected, 0}}));
  EXPECT_EQ(ModemLineSpeed(*modem->EngineRecord()), 9600);
  EXPECT_FALSE(modem->IsDialing());
  EXPECT_THROW(modem->CancelDial(), EModemNotDialing);

  std::this_thread::sleep_for(milliseconds(400));  // the guard time before "+++"
  events.clear();
  modem->HangUp();
  ASSERT_TRUE(WaitForEvent("Processed")) << Describe(events);
  PumpFor(milliseconds(150));
  EXPECT_EQ(events, (std::vector<Seen>{{"Ok"}, {"Processed", msModemOk}})) << Describe(events);
  EXPECT_EQ(sim->CurrentMode(), ModemSim::Mode::Command);
  EXPECT_EQ(sim->ReceivedBytes(), "ATDT5551234\r+++ATH0\r");
  for (const auto& e : events) EXPECT_TRUE(e.onMainThread) << e.name;
}

TEST_F(ModemComponent, BusyAndTimeOut) {
  sim->SetDialScript("BUSY,-");
  modem->SetDialTimeout(2);
  modem->Dial("5551234");
  ASSERT_TRUE(WaitForEvent("Busy")) << Describe(events);
  EXPECT_EQ(events, (std::vector<Seen>{{"Failed"}, {"Busy"}}));
  events.clear();
  modem->Dial("5551234");
  ASSERT_TRUE(WaitForEvent("TimedOut")) << Describe(events);
  EXPECT_EQ(events, (std::vector<Seen>{{"Count", 1}, {"Failed"}, {"TimedOut"}}));
  // The dial-cancel CR after BUSY and after the time-out.
  EXPECT_EQ(sim->ReceivedBytes(), "ATDT5551234\r\rATDT5551234\r\r");
}

TEST_F(ModemComponent, SettingOkMsgWhileDialingIsRefused) {
  sim->SetDialScript("-");
  modem->Dial("5551234");
  try {
    modem->SetOkMsg("FINE");
    FAIL() << "no EModemBusy";
  } catch (const EModemBusy& e) {
    EXPECT_EQ(e.ErrorCode(), -4002);
    EXPECT_STREQ(e.what(), "Modem is busy elsewhere");
  }
  EXPECT_EQ(modem->OkMsg(), "OK");
  EXPECT_EQ(modem->EngineRecord()->Responses[kRspOk].Text, "OK");
  TTagSet tags;
  tags.SetString1("ARQ");
  EXPECT_THROW(modem->SetErrorCorrectionTags(tags), EModemBusy);
  modem->CancelDial();
  EXPECT_FALSE(modem->IsDialing());
  try {
    modem->CancelDial();
    FAIL() << "no EModemNotDialing";
  } catch (const EModemNotDialing& e) {
    EXPECT_EQ(e.ErrorCode(), -4003);
    EXPECT_STREQ(e.what(), "Modem is not currently dialing");
  }
  modem->SetOkMsg("FINE");
  EXPECT_EQ(modem->EngineRecord()->Responses[kRspOk].Text, "FINE");
  EXPECT_EQ(sim->ReceivedBytes(), "ATDT5551234\r\r");
}

TEST_F(ModemComponent, TagSetsReachTheEngineAtTheNextStart) {
  TTagSet tags;
  tags.SetString2("ARQ");
  tags.SetString4("LAPM");
  modem->SetErrorCorrectionTags(tags);
  modem->SetModemStarted(true);
  auto rec = modem->EngineRecord();
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->ErrorTagCount, 2);
  EXPECT_EQ(rec->ErrorTags[0].Text, "ARQ");
  EXPECT_EQ(rec->ErrorTags[1].Text, "LAPM");
  EXPECT_EQ(rec->CompressTagCount, 0);
  EXPECT_TRUE(rec->PassRecord);
  EXPECT_EQ(rec->Owner, modem.get());
}

TEST_F(ModemComponent, ClosingThePortStopsTheModemAndDialStartsItAgain) {
  sim->SetDialScript("NO DIALTONE,NO DIALTONE");
  modem->SetModemStarted(true);
  ASSERT_EQ(port.PortUserCount(), 1u);
  port.SetOpen(false);
  EXPECT_FALSE(modem->ModemStarted());
  EXPECT_EQ(modem->EngineRecord(), nullptr);
  EXPECT_EQ(port.PortUserCount(), 0u);
  modem->Dial("5551234");  // opens the port and starts the engine
  EXPECT_TRUE(port.Open());
  EXPECT_TRUE(modem->ModemStarted());
  ASSERT_TRUE(WaitForEvent("NoDialTone")) << Describe(events);
  EXPECT_EQ(events, (std::vector<Seen>{{"Failed"}, {"NoDialTone"}}));
}

TEST_F(ModemComponent, StoppingWhileDialingCancelsAndNeverRaises) {
  sim->SetDialScript("-");
  modem->Dial("5551234");
  ASSERT_TRUE(sim->WaitForMode(ModemSim::Mode::Dialing, milliseconds(1000)));
  modem->SetModemStarted(false);
  EXPECT_FALSE(modem->ModemStarted());
  PumpFor(milliseconds(300));
  EXPECT_TRUE(events.empty()) << Describe(events);
  EXPECT_EQ(sim->ReceivedBytes(), "ATDT5551234\r\r");
  modem.reset();  // destroying a stopped modem is quiet too
  SUCCEED();
}

TEST_F(ModemComponent, AnExceptionOfAnEventIsReportedAndLaterEventsStillCome) {
  platform::ScopedRecordingBoxes boxes;
  sim->SetDialScript("CONNECT 2400");
  modem->OnModemConnect = [](TComponent&) { throw EModemBusy(kErrModemBusy); };
  modem->Dial("5551234");
  ASSERT_TRUE(WaitForEvent("IsConnected")) << Describe(events);
  PumpFor(milliseconds(100));
  EXPECT_EQ(events, (std::vector<Seen>{{"Speed", 2400}, {"IsConnected"}}));
  ASSERT_EQ(boxes->Texts().size(), 1u);
  EXPECT_EQ(boxes->Texts()[0], "Modem is busy elsewhere");
}

TEST_F(ModemComponent, ANumberIsCutTo255Characters) {
  sim->SetDialScript("NO CARRIER");
  modem->Dial(std::string(300, '5'));
  ASSERT_TRUE(WaitForEvent("Failed")) << Describe(events);
  EXPECT_EQ(sim->ReceivedBytes(), "ATDT" + std::string(255, '5') + "\r");
}

TEST_F(ModemComponent, NotificationAssignsAndForgetsThePort) {
  TVnkModem other;
  other.Notification(port, TOperation::opInsert);
  EXPECT_EQ(other.ComPort(), &port);
  TVnkComPort second;
  other.Notification(second, TOperation::opInsert);  // has one already
  EXPECT_EQ(other.ComPort(), &port);
  other.Notification(second, TOperation::opRemove);  // not its port
  EXPECT_EQ(other.ComPort(), &port);
  other.Notification(port, TOperation::opRemove);
  EXPECT_EQ(other.ComPort(), nullptr);
}

}  // namespace
