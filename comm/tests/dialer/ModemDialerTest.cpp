// The modem dialer on a modem component whose port points at the simulated
// Hayes modem: the event sequence of retries and connection, the abort
// options, the tries limit, cancel in each phase, and the events and timer
// triggers given back afterwards.
#include <gtest/gtest.h>

#include <QThread>

#include <cstdlib>

#include "ModemTestSupport.h"
#include "PeerIo.h"
#include "SimModemCom.h"
#include "comm/CommExcept.h"
#include "comm/ModemComp.h"
#include "comm/ModemDialer.h"
#include "comm/SerialPort.h"
#include "modemsim/ModemSim.h"
#include "platform/MessageBoxes.h"

namespace {

using namespace modemtest;
using namespace comm;
using modemsim::ModemSim;
using std::chrono::milliseconds;

constexpr int kCom = 11;

// Timer triggers the port can still give: takes them all, then gives them back.
int FreeTimerTriggers(TVnkCustomComPort& port) {
  std::vector<std::uint16_t> taken;
  for (;;) {
    try {
      taken.push_back(port.CreateTimerTrigger());
    } catch (const EVnkException&) {
      break;
    }
    if (taken.size() > 64) break;
  }
  for (auto t : taken) port.ReleaseTrigger(t);
  return static_cast<int>(taken.size());
}

class ModemDialer : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    sim = comm_test::StartSimModemOnCom(kCom, dir.path, link, port);
    port.OnTriggerAvail = comm_test::ReadAllOffered;
    port.SetOpen(true);
    modem->SetModemStarted(true);
    // Handlers of the owner, which the dialer must hand back untouched.
    port.OnTriggerTimer = [this](TVnkCustomComPort&, std::uint16_t) { ++ownerTimer; };
    modem->OnModemBusy = [this](TComponent&) { ++ownerBusy; };
    modem->OnModemIsConnected = [this](TComponent&) { ++ownerConnected; };
    modem->OnGotLineSpeed = [this](TComponent&, std::int32_t) { ++ownerSpeed; };
    SaveHandlers();
    dialer.SetPhoneNumber("5551234");
    Listen();
  }
  void TearDown() override {
    dialer.StopDialing();
    modem.reset();
    // Let the last deliveries of the port run before it closes: the dispatcher
    // can still be handing a trigger to the port's window while it closes.
    PumpFor(milliseconds(150));
    port.SetOpen(false);
    ::unsetenv("LEDSIGN_COM11");
  }

  void SaveHandlers() {
    savedTimer = port.OnTriggerTimer;
    saved = {modem->OnModemConnect, modem->OnModemBusy,    modem->OnModemVoice,
             modem->OnModemError,   modem->OnModemNoCarrier, modem->OnModemNoDialTone,
             modem->OnDialTimedOut, modem->OnModemDestroy,  modem->OnModemIsConnected};
    savedCount = modem->OnDialCount;
    savedSpeed = modem->OnGotLineSpeed;
  }
  bool HandlersAsBefore() const {
    std::vector<TNotifyEvent> now{modem->OnModemConnect, modem->OnModemBusy,    modem->OnModemVoice,
                                  modem->OnModemError,   modem->OnModemNoCarrier, modem->OnModemNoDialTone,
                                  modem->OnDialTimedOut, modem->OnModemDestroy,  modem->OnModemIsConnected};
    return savedTimer == port.OnTriggerTimer && now == saved && savedCount == modem->OnDialCount &&
           savedSpeed == modem->OnGotLineSpeed;
  }

  void Record(const std::string& name, std::int32_t value = 0) {
    events.push_back({name, value, Clock::now(), QThread::currentThread() == App().thread()});
  }
  void Listen() {
    auto& d = dialer;
    d.OnRetryStart = [this](TComponent&) { Record("RetryStart"); };
    d.OnRetryCount = [this](TComponent&, std::uint16_t n) { Record("RetryCount", n); };
    d.OnRetryEnd = [this](TComponent&) { Record("RetryEnd"); };
    d.OnDialStart = [this](TComponent&) { Record("DialStart"); };
    d.OnConnect = [this](TComponent&) { Record("Connect"); };
    d.OnDialCount = [this](TComponent&, std::uint16_t n) { dialCounts.push_back(n); };
    d.OnGotLineSpeed = [this](TComponent&, std::int32_t s) { Record("Speed", s); };
    d.OnBusy = [this](TComponent&) { Record("Busy"); };
    d.OnVoice = [this](TComponent&) { Record("Voice"); };
    d.OnError = [this](TComponent&) { Record("Error"); };
    d.OnNoCarrier = [this](TComponent&) { Record("NoCarrier"); };
    d.OnNoDialTone = [this](TComponent&) { Record("NoDialTone"); };
    d.OnDialTimedOut = [this](TComponent&) { Record("TimedOut"); };
    d.OnConnectionEstablished = [this](TComponent&) { Record("Established"); };
    d.OnTooManyTries = [this](TComponent&) { Record("TooMany"); };
  }
  bool WaitForEvent(const std::string& name, milliseconds limit = milliseconds(8000)) {
    return WaitForSeen(events, name, limit);
  }
  const Seen* Find(const std::string& name, int nth = 0) const {
    for (const auto& e : events)
      if (e.name == name && nth-- == 0) return &e;
    return nullptr;
  }

  peerio::TempDir dir;
  std::unique_ptr<ModemSim> sim;
  std::string link;
  TVnkComPort port;
  std::unique_ptr<TVnkModem> modem = std::make_unique<TVnkModem>(&port);
  TVnkModemDialer dialer{modem.get()};
  std::vector<Seen> events;
  std::vector<std::uint16_t> dialCounts;
  int ownerTimer = 0, ownerBusy = 0, ownerConnected = 0, ownerSpeed = 0;
  TTriggerTimerEvent savedTimer;
  std::vector<TNotifyEvent> saved;
  TConnectCountEvent savedCount;
  TLineSpeedEvent savedSpeed;
};

TEST(ModemDialerProperties, Defaults) {
  TVnkModemDialer dialer;
  EXPECT_EQ(dialer.Modem(), nullptr);
  EXPECT_EQ(dialer.PhoneNumber(), "");
  EXPECT_EQ(dialer.MaxDialTries(), 10);
  EXPECT_EQ(dialer.RetrySecs(), 60);
  EXPECT_EQ(dialer.DialerOptions(),
            (TDialerOptions{TDialerOption::mdAbortOnNoDialtone, TDialerOption::mdAbortOnError}));
  EXPECT_EQ(dialer.DialerOptions().Bits(), 0x18);
  EXPECT_EQ(dialer.DialerStatus(), dsIdle);
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_FALSE(dialer.WaitingForRetry());
  EXPECT_THROW(dialer.CancelDial(), ENotDialing);
  dialer.SetPhoneNumber("1");
  EXPECT_THROW(dialer.StartDial(), EModemNotAssigned);
  TVnkModem modem;  // no port
  dialer.SetModem(&modem);
  EXPECT_THROW(dialer.StartDial(), EPortNotAssigned);
  EXPECT_FALSE(dialer.Dialing());
  dialer.Notification(modem, TOperation::opRemove);
  EXPECT_EQ(dialer.Modem(), nullptr);
  dialer.Notification(modem, TOperation::opInsert);
  EXPECT_EQ(dialer.Modem(), &modem);
}

TEST_F(ModemDialer, BusyTwiceThenConnectRetriesAndGivesEverythingBack) {
  sim->SetDialScript("BUSY,BUSY,CONNECT 9600");
  dialer.SetMaxDialTries(3);
  dialer.SetRetrySecs(1);
  const int freeBefore = FreeTimerTriggers(port);
  const auto start = Clock::now();
  dialer.StartDial();
  EXPECT_TRUE(dialer.Dialing());
  EXPECT_EQ(dialer.DialerStatus(), dsDialing);
  EXPECT_FALSE(HandlersAsBefore());
  EXPECT_THROW(dialer.StartDial(), EAlreadyDialing);

  ASSERT_TRUE(WaitForEvent("Established")) << Describe(events);
  PumpFor(milliseconds(100));
  EXPECT_EQ(events, (std::vector<Seen>{{"DialStart"}, {"Busy"}, {"RetryStart"}, {"RetryEnd"},
                                       {"DialStart"}, {"Busy"}, {"RetryStart"}, {"RetryEnd"},
                                       {"DialStart"}, {"Connect"}, {"Speed", 9600}, {"Established"}}))
      << Describe(events);
  for (const auto& e : events) EXPECT_TRUE(e.onMainThread) << e.name;
  // 4 ticks before the first dial; each pause of one second is 18 ticks.
  const auto firstDial = MsBetween(start, Find("DialStart")->at);
  EXPECT_GE(firstDial, 180);
  EXPECT_LT(firstDial, 600);
  const auto pause = MsBetween(Find("RetryStart")->at, Find("RetryEnd")->at);
  EXPECT_GE(pause, 900);
  EXPECT_LT(pause, 1500);

  EXPECT_EQ(dialer.DialerStatus(), dsConnected);
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_FALSE(dialer.WaitingForRetry());
  EXPECT_TRUE(HandlersAsBefore());
  // The owner's handlers were called all along.
  EXPECT_EQ(ownerBusy, 2);
  EXPECT_EQ(ownerSpeed, 1);
  EXPECT_EQ(ownerConnected, 1);
  EXPECT_GT(ownerTimer, 0);
  EXPECT_EQ(FreeTimerTriggers(port), freeBefore);
  EXPECT_EQ(sim->Commands(), (std::vector<std::string>{"ATDT5551234", "ATDT5551234", "ATDT5551234"}));
  EXPECT_EQ(sim->CurrentMode(), ModemSim::Mode::Online);
}

TEST_F(ModemDialer, RetryPauseCountsDownTheSecondsLeft) {
  sim->SetDialScript("NO CARRIER,CONNECT 2400");
  dialer.SetRetrySecs(3);
  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("Established")) << Describe(events);
  EXPECT_EQ(events, (std::vector<Seen>{{"DialStart"}, {"NoCarrier"}, {"RetryStart"}, {"RetryCount", 2},
                                       {"RetryCount", 1}, {"RetryEnd"}, {"DialStart"}, {"Connect"},
                                       {"Speed", 2400}, {"Established"}}))
      << Describe(events);
  const auto step = MsBetween(Find("RetryCount", 0)->at, Find("RetryCount", 1)->at);
  EXPECT_GE(step, 850);
  EXPECT_LT(step, 1400);
  EXPECT_EQ(dialer.DialerStatus(), dsConnected);
}

// A failure result with the options of the dialer: the event, then an end
// (status failed, no retry) or a retry.
struct FailureCase {
  const char* result;
  const char* event;
  TDialerOptions options;
  bool ends;
};

TEST_F(ModemDialer, FailureResultsFollowTheAbortOptions) {
  const TDialerOptions defaults{TDialerOption::mdAbortOnNoDialtone, TDialerOption::mdAbortOnError};
  const FailureCase cases[] = {
      {"NO DIALTONE", "NoDialTone", defaults, true},
      {"ERROR", "Error", defaults, true},
      {"BUSY", "Busy", defaults, false},
      {"VOICE", "Voice", defaults, false},
      {"NO CARRIER", "NoCarrier", defaults, false},
      {"BUSY", "Busy", {TDialerOption::mdAbortOnBusy}, true},
      {"VOICE", "Voice", {TDialerOption::mdAbortOnVoice}, true},
      {"NO CARRIER", "NoCarrier", {TDialerOption::mdAbortOnNoCarrier}, true},
      {"NO DIALTONE", "NoDialTone", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.result) + (c.ends ? " ends" : " retries"));
    events.clear();
    sim->SetDialScript(c.result);
    dialer.SetDialerOptions(c.options);
    dialer.SetRetrySecs(5);
    dialer.StartDial();
    ASSERT_TRUE(WaitForEvent(c.event)) << Describe(events);
    PumpFor(milliseconds(60));
    if (c.ends) {
      EXPECT_EQ(events, (std::vector<Seen>{{"DialStart"}, {c.event}})) << Describe(events);
      EXPECT_EQ(dialer.DialerStatus(), dsFailed);
      EXPECT_FALSE(dialer.Dialing());
      EXPECT_TRUE(HandlersAsBefore());
    } else {
      EXPECT_EQ(events, (std::vector<Seen>{{"DialStart"}, {c.event}, {"RetryStart"}})) << Describe(events);
      EXPECT_TRUE(dialer.WaitingForRetry());
      EXPECT_EQ(dialer.DialerStatus(), dsDialing);
      dialer.CancelDial();
      EXPECT_TRUE(HandlersAsBefore());
    }
  }
}

TEST_F(ModemDialer, TheLastAllowedFailureGivesTooManyTries) {
  sim->SetDialScript("BUSY,BUSY,CONNECT 9600");
  dialer.SetMaxDialTries(2);
  dialer.SetRetrySecs(1);
  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("TooMany")) << Describe(events);
  PumpFor(milliseconds(300));
  EXPECT_EQ(events, (std::vector<Seen>{{"DialStart"}, {"Busy"}, {"RetryStart"}, {"RetryEnd"},
                                       {"DialStart"}, {"Busy"}, {"TooMany"}}))
      << Describe(events);
  EXPECT_EQ(dialer.DialerStatus(), dsFailed);
  EXPECT_EQ(dialer.Tries(), 2);
  EXPECT_TRUE(HandlersAsBefore());

  events.clear();
  dialer.SetMaxDialTries(1);
  sim->SetDialScript("VOICE");
  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("TooMany")) << Describe(events);
  EXPECT_EQ(events, (std::vector<Seen>{{"DialStart"}, {"Voice"}, {"TooMany"}})) << Describe(events);
}

TEST_F(ModemDialer, CancelInEachPhaseGivesEverythingBack) {
  const int freeBefore = FreeTimerTriggers(port);
  dialer.SetRetrySecs(5);
  enum Phase { DialDelay, DuringDial, RetryPause };
  for (Phase phase : {DialDelay, DuringDial, RetryPause}) {
    SCOPED_TRACE(phase);
    events.clear();
    sim->SetDialScript(phase == RetryPause ? "BUSY" : "-");
    dialer.StartDial();
    if (phase == DuringDial) {
      ASSERT_TRUE(WaitForEvent("DialStart"));
      ASSERT_TRUE(sim->WaitForMode(ModemSim::Mode::Dialing, milliseconds(2000)));
    } else if (phase == RetryPause) {
      ASSERT_TRUE(WaitForEvent("RetryStart"));
      EXPECT_TRUE(dialer.WaitingForRetry());
    }
    dialer.CancelDial();
    EXPECT_FALSE(dialer.Dialing());
    EXPECT_FALSE(dialer.WaitingForRetry());
    EXPECT_EQ(dialer.DialerStatus(), dsDialing);  // keeps its value
    EXPECT_TRUE(HandlersAsBefore());
    PumpFor(milliseconds(400));
    EXPECT_EQ(FreeTimerTriggers(port), freeBefore);
    if (phase == DialDelay) {
      EXPECT_EQ(events, std::vector<Seen>{}) << Describe(events);
    }
    if (phase == DuringDial) {
      EXPECT_EQ(sim->CurrentMode(), ModemSim::Mode::Command);
    }
    EXPECT_THROW(dialer.CancelDial(), ENotDialing);
  }
}

TEST_F(ModemDialer, RepeatedDialAndCancelNeverExhaustTheTimers) {
  for (int i = 0; i < 3 * kTimerTriggers; ++i) {
    dialer.StartDial();
    dialer.CancelDial();
  }
  sim->SetDialScript("CONNECT 9600");
  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("Established")) << Describe(events);
  EXPECT_EQ(sim->Commands(), std::vector<std::string>{"ATDT5551234"});
}

TEST_F(ModemDialer, CancelInTheTagWaitEndsTheDialerAndTheConnectionCompletes) {
  sim->SetDialScript("CONNECT 9600");
  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("Speed")) << Describe(events);
  ASSERT_FALSE(Find("Established"));
  ASSERT_TRUE(modem->IsDialing());  // the tag wait
  EXPECT_NO_THROW(dialer.CancelDial());
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_TRUE(HandlersAsBefore());
  // The connection completes at the modem, heard by the owner only.
  ASSERT_TRUE(PumpUntil([&] { return ownerConnected == 1; }, milliseconds(4000)));
  EXPECT_FALSE(Find("Established"));
  EXPECT_EQ(sim->CurrentMode(), ModemSim::Mode::Online);
}

TEST_F(ModemDialer, AnEmptyNumberIsRefusedAndTheDialerStaysIdle) {
  dialer.SetPhoneNumber("");
  try {
    dialer.StartDial();
    FAIL() << "no refusal";
  } catch (const EVnkException& e) {
    EXPECT_STREQ(e.what(), "No telephone number to dial.");
  }
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_EQ(dialer.DialerStatus(), dsIdle);
  EXPECT_TRUE(HandlersAsBefore());
  PumpFor(milliseconds(400));
  EXPECT_TRUE(sim->Commands().empty());
}

TEST_F(ModemDialer, StoppingAndDestroyingTheModemWhileDialingNeverRaise) {
  sim->SetDialScript("-");
  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("DialStart"));
  EXPECT_NO_THROW(dialer.StopDialing());
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_TRUE(HandlersAsBefore());

  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("DialStart"));
  bool ownerHeardDestroy = false;
  dialer.Notification(*modem, TOperation::opRemove);  // the owner tells first
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_EQ(dialer.Modem(), nullptr);
  modem->OnModemDestroy = [&](TComponent&) { ownerHeardDestroy = true; };
  modem.reset();
  EXPECT_TRUE(ownerHeardDestroy);
}

TEST_F(ModemDialer, TheModemDestroyedWhileDialingEndsTheDialing) {
  sim->SetDialScript("-");
  bool ownerHeardDestroy = false;
  modem->OnModemDestroy = [&](TComponent&) { ownerHeardDestroy = true; };
  dialer.StartDial();
  ASSERT_TRUE(WaitForEvent("DialStart"));
  modem.reset();
  EXPECT_TRUE(ownerHeardDestroy);
  EXPECT_FALSE(dialer.Dialing());
  EXPECT_EQ(dialer.Modem(), nullptr);
  EXPECT_TRUE(port.OnTriggerTimer == savedTimer);
  EXPECT_THROW(dialer.StartDial(), EModemNotAssigned);
}

TEST_F(ModemDialer, AFailingDialEndsTheDialingAndIsReported) {
  platform::ScopedRecordingBoxes boxes;
  dialer.StartDial();
  modem->HangUp();  // the modem is busy with the hang-up when the dial is due
  ASSERT_TRUE(PumpUntil([&] { return !dialer.Dialing(); }, milliseconds(2000)));
  EXPECT_EQ(dialer.DialerStatus(), dsFailed);
  EXPECT_TRUE(HandlersAsBefore());
  EXPECT_GT(ownerTimer, 0);  // the owner's timer handler still heard the tick
  ASSERT_FALSE(boxes->Texts().empty());
  EXPECT_EQ(boxes->Texts()[0], EModemBusy(kErrModemBusy).what());
  EXPECT_TRUE(events.empty()) << Describe(events);
}

}  // namespace
