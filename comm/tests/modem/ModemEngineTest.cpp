// The modem information record and the modem engine, over the real POSIX
// device layer: against the simulated Hayes modem, against a bare
// pseudo-terminal whose far end the test plays, and (for DTR) on the fake
// layer.
#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <cstring>

#include "ModemTestSupport.h"
#include "PeerIo.h"
#include "comm/CommExcept.h"
#include "comm/CommMisc.h"
#include "comm/FakeLayer.h"
#include "comm/ModemEngine.h"
#include "comm/ModemInfo.h"
#include "comm/PortDispatch.h"
#include "comm/PosixLayer.h"
#include "modemsim/ModemSim.h"
#include "platform/MainThreadExecutor.h"
#include "signsim/Pty.h"

namespace {

using namespace modemtest;
using namespace comm;
using modemsim::ModemSim;
using std::chrono::milliseconds;

constexpr int kTickMs = 55;

// Opens a port on `path` as the serial port component leaves it: counted reads.
std::uint16_t OpenPort(const std::string& path, std::uint32_t baud = 19200) {
  InstallPosixLayer();
  std::uint16_t handle = 0;
  if (OpenPortRecord(handle, path, 4096, 4096, baud, 0, 8, 1) != 0) return 0;
  ClearDispatchOption(handle, kOptDirectReads);
  RegisterTriggerWindow(handle, nullptr, ReadAllHandler, true);
  return handle;
}

// A started engine on a port, as the modem component starts it.
struct Engine {
  std::uint16_t port = 0;
  ModemRecordRef rec;
  Recorder heard;

  explicit Engine(std::uint16_t p, TModemInfo info = DefaultModemInfo()) : port(p) {
    TModemInfoZ z;
    ConvertModemInfo(info, z);
    EXPECT_EQ(BuildComponentModemRecord(rec, port, z), 0);
    EXPECT_EQ(AddModemUserProc(*rec, nullptr, heard.Proc()), 0);
    EXPECT_EQ(RegisterModemHandler(*rec, true), 0);
  }
  ~Engine() {
    FreeModemRecord(rec);
    if (port != 0) ClosePortRecord(port);
  }
};

// --- information record ---

TEST(ModemInfo, ConversionCopiesTheUsedTagsOnly) {
  TModemInfo info = DefaultModemInfo();
  info.ErrorTagCount = 2;
  info.ErrorTags = {"ARQ", "LAPM", "MNP", "V42", "X"};
  info.CompressTagCount = 9;  // beyond the five entries
  info.CompressTags = {"V42BIS", "MNP5", "", "", ""};
  info.DialCmd = std::string(50, 'D');
  TModemInfoZ z;
  std::memset(&z, 0x55, sizeof z);
  ConvertModemInfo(info, z);
  EXPECT_EQ(z.ErrorTagCount, 2);
  EXPECT_STREQ(z.ErrorTags[0], "ARQ");
  EXPECT_STREQ(z.ErrorTags[1], "LAPM");
  EXPECT_STREQ(z.ErrorTags[2], "");
  EXPECT_EQ(z.CompressTagCount, 5);
  EXPECT_EQ(std::string(z.DialCmd), std::string(41, 'D'));
  EXPECT_STREQ(z.HangupCmd, "+++~~~ATH0^M");
  EXPECT_STREQ(z.ConfigCmd, "ATE1Q0X1V1^M");
  EXPECT_STREQ(z.NoDialToneMsg, "NO DIALTONE");
  EXPECT_EQ(z.LockDTE, -1);
  EXPECT_EQ(z.DefBaud, 19200);
  info.LockDTE = false;
  ConvertModemInfo(info, z);
  EXPECT_EQ(z.LockDTE, 0);
}

TEST(ModemInfo, BuildTakesCopiesAndDefaults) {
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  TModemInfo info = DefaultModemInfo();
  info.ErrorTagCount = 2;
  info.ErrorTags = {"ARQ", "LAPM", "MNP", "V42", "X"};
  info.AnswerCmd = "";
  TModemInfoZ z;
  ConvertModemInfo(info, z);
  ModemRecordRef rec;
  ASSERT_EQ(BuildModemRecord(rec, port, z), 0);
  EXPECT_EQ(rec->ErrorTagCount, 2);
  EXPECT_EQ(rec->ErrorTags[1].Text, "LAPM");
  EXPECT_EQ(rec->ErrorTags[2].Text, "");
  EXPECT_EQ(rec->AnswerCmd, "");
  EXPECT_EQ(rec->Responses[kRspNoCarrier].Text, "NO CARRIER");
  EXPECT_EQ(rec->DialTimeout, 60u);
  EXPECT_EQ(rec->AnswerTimeout, 60u);
  EXPECT_EQ(rec->DelayFactor, 2u);
  EXPECT_EQ(rec->CmdTimeout, 182u);
  EXPECT_EQ(rec->DTRDropHold, 8u);
  EXPECT_EQ(rec->CharDelay, 0u);
  EXPECT_EQ(rec->TildeDelay, 9u);
  EXPECT_EQ(rec->RingWaitTimeout, 182u);
  EXPECT_EQ(rec->TagWaitTicks, 9u);
  EXPECT_EQ(rec->SpeedWaitTicks, 36u);
  EXPECT_EQ(rec->State, 0);
  EXPECT_EQ(rec->TimerTrigger, 0);
  EXPECT_FALSE(rec->PassRecord);
  EXPECT_TRUE(rec->LockDTE);
  EXPECT_EQ(FindModemRecord(GetPortUserWord(port, 4)), rec);
  FreeModemRecord(rec);
  EXPECT_EQ(rec, nullptr);
  EXPECT_EQ(GetPortUserWord(port, 4), 0);
  ClosePortRecord(port);
}

TEST(ModemInfo, BuildOnABadPortIsRefused) {
  TModemInfoZ z;
  ConvertModemInfo(DefaultModemInfo(), z);
  ModemRecordRef rec;
  EXPECT_EQ(BuildModemRecord(rec, 0, z), kErrBadHandle);
  EXPECT_EQ(BuildModemRecord(rec, 49, z), kErrBadHandle);
  EXPECT_EQ(rec, nullptr);
}

// --- sending command strings ---

struct SendCase {
  const char* text;
  std::string bytes;
};

TEST(ModemEngine, SendModemCommandBytesOnThePty) {
  const SendCase cases[] = {
      {"ATZ^M", std::string("\x41\x54\x5A\x0D", 4)},
      {"AT^", "AT^"},                             // a trailing "^" is itself
      {"^1", "^1"},                               // "^" and a digit: both as they are
      {"at^j^[", std::string("at\x0A\x1B", 4)},  // lower-case letters and "[" too
      {"^@x", std::string("\0x", 2)},
      {"^`", "^`"},  // 96 - 64 is outside 0..31
      {"", ""},
  };
  for (const auto& c : cases) {
    signsim::Pty pty;
    const std::uint16_t port = OpenPort(pty.SlavePath());
    ASSERT_NE(port, 0);
    {
      Engine e(port);
      e.port = 0;
      EXPECT_EQ(SendModemCommand(*e.rec, c.text), 0) << c.text;
      const std::string got =
          peerio::ReadSome(pty.Master(), c.bytes.size() + 1, milliseconds(c.bytes.empty() ? 150 : 400)).bytes;
      EXPECT_EQ(got, c.bytes) << "text " << c.text;
    }
    ClosePortRecord(port);
  }
}

TEST(ModemEngine, TildesPauseThreeTimesTildeDelay) {
  App();
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  Engine e(port);
  std::thread reader;
  peerio::ReadResult first, second;
  reader = std::thread([&] {
    first = peerio::ReadSome(pty.Master(), 3, milliseconds(3000));
    second = peerio::ReadSome(pty.Master(), 5, milliseconds(4000));
  });
  const auto start = Clock::now();
  EXPECT_EQ(SendModemCommand(*e.rec, "+++~~~ATH0^M"), 0);
  const auto took = MsBetween(start, Clock::now());
  reader.join();
  EXPECT_EQ(first.bytes, "+++");
  EXPECT_EQ(second.bytes, "ATH0\r");
  const auto gap = MsBetween(first.last, second.first);
  EXPECT_GE(gap, 27 * kTickMs - 60);
  EXPECT_LT(gap, 30 * kTickMs + 250);
  EXPECT_GE(took, 27 * kTickMs - 30);
}

TEST(ModemEngine, CharDelayFollowsEveryCharacterButTheLast) {
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  Engine e(port);
  SetModemCharDelay(*e.rec, 4);
  const auto start = Clock::now();
  EXPECT_EQ(SendModemCommand(*e.rec, "AT^M"), 0);
  const auto took = MsBetween(start, Clock::now());
  // Two pauses (after "A" and "T"), none after the carriage return.
  EXPECT_GE(took, 2 * 4 * kTickMs - 20);
  EXPECT_LT(took, 3 * 4 * kTickMs + 40);
  EXPECT_EQ(peerio::ReadSome(pty.Master(), 3, milliseconds(1000)).bytes, "AT\r");
}

// --- dial scripts against the simulated modem ---

struct DialCase {
  const char* name;
  const char* script;
  bool split = false;
  std::uint32_t dialTimeout = 60;
  std::vector<std::uint32_t> notices;
  std::string written;
  std::int32_t speed = 0;
  std::vector<std::string> errorTags = {}, compressTags = {};
};

class DialScript : public ::testing::TestWithParam<DialCase> {};

TEST_P(DialScript, NoticesBytesAndLineSpeed) {
  const DialCase& c = GetParam();
  peerio::TempDir dir;
  modemsim::ModemOptions options;
  options.guard = milliseconds(200);
  ModemSim sim(options);
  const std::string link = (dir.path / "COM3").string();
  sim.Start(link);
  sim.SetDialScript(c.script);
  sim.SetSplitReplies(c.split);
  const std::uint16_t port = OpenPort(link);
  ASSERT_NE(port, 0);

  TModemInfo info = DefaultModemInfo();
  info.ErrorTagCount = static_cast<std::uint16_t>(c.errorTags.size());
  for (std::size_t i = 0; i < c.errorTags.size(); ++i) info.ErrorTags[i] = c.errorTags[i];
  info.CompressTagCount = static_cast<std::uint16_t>(c.compressTags.size());
  for (std::size_t i = 0; i < c.compressTags.size(); ++i) info.CompressTags[i] = c.compressTags[i];
  Engine e(port, info);
  SetModemDialTimeout(*e.rec, c.dialTimeout);

  const auto dialed = Clock::now();
  ASSERT_EQ(ModemDial(*e.rec, "5551234"), 0);
  EXPECT_TRUE(ModemIsDialing(*e.rec));
  ASSERT_TRUE(e.heard.WaitFor(c.notices.back(), milliseconds(c.dialTimeout * 1000 + 4000)))
      << c.name << ": " << Describe(e.heard.List());
  std::this_thread::sleep_for(milliseconds(300));  // nothing more may come
  const auto list = e.heard.List();
  EXPECT_EQ(e.heard.Msgs(), c.notices) << c.name << ": " << Describe(list);
  EXPECT_EQ(sim.ReceivedBytes(), c.written) << c.name;
  EXPECT_EQ(ModemLineSpeed(*e.rec), c.speed) << c.name;
  EXPECT_FALSE(ModemIsDialing(*e.rec));
  EXPECT_EQ(ModemState(*e.rec), 0);
  for (const auto& h : list) {
    EXPECT_NE(h.thread, std::this_thread::get_id());
  }

  const Heard* connect = e.heard.Find(list, MsgModemConnect);
  const Heard* speed = e.heard.Find(list, MsgGotLineSpeed);
  const Heard* done = e.heard.Find(list, MsgModemIsConnected);
  if (speed != nullptr) {
    EXPECT_EQ(speed->second, c.speed);
    EXPECT_EQ(speed->lineSpeed, c.speed);
  }
  if (connect != nullptr) {
    EXPECT_EQ(connect->lineSpeed, 0);
  }
  if (speed != nullptr && done != nullptr && c.compressTags.empty()) {
    // The tag wait: 9 ticks after the speed.
    EXPECT_GE(MsBetween(speed->at, done->at), 9 * kTickMs - 20) << c.name;
    EXPECT_LT(MsBetween(speed->at, done->at), 11 * kTickMs + 200) << c.name;
  }
  if (std::string(c.script) == "CONNECT") {
    // No digits: 300 once the speed wait of 36 ticks ran out.
    ASSERT_NE(connect, nullptr);
    EXPECT_GE(MsBetween(connect->at, speed->at), 36 * kTickMs - 20);
    EXPECT_LT(MsBetween(connect->at, speed->at), 38 * kTickMs + 250);
  }
  if (c.dialTimeout == 3) {
    // One count per second, then the time-out at the third.
    const Heard* timedOut = e.heard.Find(list, MsgDialTimedOut);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].first, 2);
    EXPECT_EQ(list[1].first, 1);
    EXPECT_GE(MsBetween(dialed, timedOut->at), 3 * 18 * kTickMs - 50);
  }
  FreeModemRecord(e.rec);
}

const std::string kDialBytes = "ATDT5551234\r";

INSTANTIATE_TEST_SUITE_P(
    Simulator, DialScript,
    ::testing::Values(
        DialCase{"connect9600", "CONNECT 9600", false, 60,
                 {MsgModemConnect, MsgGotLineSpeed, MsgModemIsConnected}, kDialBytes, 9600},
        DialCase{"connect9600split", "CONNECT 9600", true, 60,
                 {MsgModemConnect, MsgGotLineSpeed, MsgModemIsConnected}, kDialBytes, 9600},
        DialCase{"connectNoDigits", "CONNECT", false, 60,
                 {MsgModemConnect, MsgGotLineSpeed, MsgModemIsConnected}, kDialBytes, 300},
        DialCase{"lowerCase", "connect 2400", false, 60,
                 {MsgModemConnect, MsgGotLineSpeed, MsgModemIsConnected}, kDialBytes, 2400},
        DialCase{"tags", "CONNECT 14400/ARQ/V42BIS", false, 60,
                 {MsgModemConnect, MsgGotLineSpeed, MsgGotErrCorrection, MsgGotDataCompression,
                  MsgModemIsConnected},
                 kDialBytes, 14400, {"ARQ"}, {"V42BIS"}},
        DialCase{"tagsExactCase", "CONNECT 14400/arq", false, 60,
                 {MsgModemConnect, MsgGotLineSpeed, MsgModemIsConnected}, kDialBytes, 14400,
                 {"ARQ"}, {}},
        DialCase{"busy", "BUSY", false, 60, {MsgConnectFailed, MsgModemBusy}, kDialBytes + "\r", 0},
        DialCase{"noDialTone", "NO DIALTONE", false, 60, {MsgConnectFailed, MsgModemNoDialTone},
                 kDialBytes, 0},
        DialCase{"noCarrier", "NO CARRIER", false, 60, {MsgConnectFailed, MsgModemNoCarrier},
                 kDialBytes, 0},
        DialCase{"voice", "VOICE", false, 60, {MsgConnectFailed, MsgModemVoice}, kDialBytes, 0},
        DialCase{"error", "ERROR", false, 60, {MsgConnectFailed, MsgModemError}, kDialBytes, 0},
        DialCase{"timeout", "-", false, 3,
                 {MsgDialCount, MsgDialCount, MsgConnectFailed, MsgDialTimedOut},
                 kDialBytes + "\r", 0}),
    [](const ::testing::TestParamInfo<DialCase>& info) { return std::string(info.param.name); });

// --- the line speed from a bare pseudo-terminal ---

TEST(ModemEngine, TooManySpeedDigitsAreNoSpeed) {
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  Engine e(port);
  ASSERT_EQ(ModemDial(*e.rec, "1"), 0);
  peerio::ReadSome(pty.Master(), kDialBytes.size() - 6, milliseconds(1000));
  peerio::WriteAll(pty.Master(), "\r\nCONNECT 12345678901234567890\r\n");
  ASSERT_TRUE(e.heard.WaitFor(MsgModemIsConnected, milliseconds(2000))) << Describe(e.heard.List());
  const auto list = e.heard.List();
  ASSERT_EQ(e.heard.Msgs(),
            (std::vector<std::uint32_t>{MsgModemConnect, MsgGotLineSpeed, MsgModemIsConnected}))
      << Describe(list);
  EXPECT_EQ(list[1].second, 300);
  EXPECT_EQ(ModemLineSpeed(*e.rec), 300);
}

TEST(ModemEngine, SpeedFollowsToThePortUnlessLocked) {
  peerio::TempDir dir;
  ModemSim sim;
  const std::string link = (dir.path / "COM4").string();
  sim.Start(link);
  sim.SetDialScript("CONNECT 2400");
  const std::uint16_t port = OpenPort(link, 19200);
  ASSERT_NE(port, 0);
  TModemInfo info = DefaultModemInfo();
  info.LockDTE = false;
  Engine e(port, info);
  ASSERT_EQ(ModemDial(*e.rec, "5551234"), 0);
  ASSERT_TRUE(e.heard.WaitFor(MsgModemIsConnected, milliseconds(3000)));
  std::uint32_t baud = 0;
  std::uint16_t parity = 9;
  std::uint8_t stop = 0, bits = 0;
  ASSERT_EQ(GetLineParams(port, baud, parity, stop, bits), 0);
  EXPECT_EQ(baud, 2400u);
  EXPECT_EQ(bits, 8);
  EXPECT_EQ(parity, 0);
}

// --- commands and hang-up ---

TEST(ModemEngine, HangUpByCommandAgainstTheSimulator) {
  App();
  peerio::TempDir dir;
  modemsim::ModemOptions options;
  options.guard = milliseconds(300);
  ModemSim sim(options);
  const std::string link = (dir.path / "COM5").string();
  sim.Start(link);
  sim.SetDialScript("CONNECT 9600");
  const std::uint16_t port = OpenPort(link);
  ASSERT_NE(port, 0);
  Engine e(port);
  ASSERT_EQ(ModemDial(*e.rec, "5551234"), 0);
  ASSERT_TRUE(e.heard.WaitFor(MsgModemIsConnected, milliseconds(3000)));
  ASSERT_TRUE(sim.WaitForMode(ModemSim::Mode::Online, milliseconds(1000)));
  std::this_thread::sleep_for(milliseconds(400));  // the guard time before "+++"

  ASSERT_EQ(ModemHangUp(*e.rec), 0);
  EXPECT_EQ(ModemState(*e.rec), kModemCommand);
  EXPECT_EQ(ModemHangUp(*e.rec), kErrModemBusy);
  ASSERT_TRUE(e.heard.WaitFor(MsgCommandProcessed, milliseconds(3000))) << Describe(e.heard.List());
  std::this_thread::sleep_for(milliseconds(200));
  const auto list = e.heard.List();
  // The OK of the escape comes during the pauses and is not the command's.
  ASSERT_EQ(e.heard.Msgs(), (std::vector<std::uint32_t>{MsgModemConnect, MsgGotLineSpeed,
                                                        MsgModemIsConnected, MsgModemOk,
                                                        MsgCommandProcessed}))
      << Describe(list);
  EXPECT_EQ(list.back().first, kCmdOk);
  EXPECT_EQ(sim.CurrentMode(), ModemSim::Mode::Command);
  EXPECT_EQ(sim.ReceivedBytes(), kDialBytes + "+++ATH0\r");
  const auto commands = sim.Commands();
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back(), "ATH0");
  EXPECT_EQ(ModemLineSpeed(*e.rec), 0);
}

TEST(ModemEngine, CommandTimesOutWithoutAnswer) {
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  Engine e(port);
  SetModemCmdTimeout(*e.rec, 5);
  ASSERT_EQ(ModemPutCommand(*e.rec, "AT^M"), 0);
  EXPECT_EQ(ModemDial(*e.rec, "5551234"), kErrModemBusy);
  EXPECT_EQ(ModemCancelDial(*e.rec), kErrModemNotDialing);
  ASSERT_TRUE(e.heard.WaitFor(MsgCommandProcessed, milliseconds(2000)));
  EXPECT_EQ(e.heard.Msgs(), (std::vector<std::uint32_t>{MsgCmdTimedOut, MsgCommandProcessed}));
  EXPECT_EQ(e.heard.List().back().first, kCmdTimedOut);
  EXPECT_EQ(ModemState(*e.rec), 0);
}

TEST(ModemEngine, ErrorAnswersACommand) {
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  Engine e(port);
  ASSERT_EQ(ModemPutCommand(*e.rec, "ATX^M"), 0);
  peerio::ReadSome(pty.Master(), 4, milliseconds(1000));
  peerio::WriteAll(pty.Master(), "\r\nerror\r\n");
  ASSERT_TRUE(e.heard.WaitFor(MsgCommandProcessed, milliseconds(2000)));
  EXPECT_EQ(e.heard.Msgs(), (std::vector<std::uint32_t>{MsgModemError, MsgCommandProcessed}));
  EXPECT_EQ(e.heard.List().back().first, kCmdError);
}

TEST(ModemEngine, CancelSendsDialCancelAndEndsQuietly) {
  peerio::TempDir dir;
  ModemSim sim;
  const std::string link = (dir.path / "COM6").string();
  sim.Start(link);
  sim.SetDialScript("-");
  const std::uint16_t port = OpenPort(link);
  ASSERT_NE(port, 0);
  Engine e(port);
  ASSERT_EQ(ModemDial(*e.rec, "5551234"), 0);
  ASSERT_TRUE(sim.WaitForMode(ModemSim::Mode::Dialing, milliseconds(1000)));
  ASSERT_EQ(ModemCancelDial(*e.rec), 0);
  EXPECT_FALSE(ModemIsDialing(*e.rec));
  EXPECT_EQ(ModemCancelDial(*e.rec), kErrModemNotDialing);
  std::this_thread::sleep_for(milliseconds(400));  // the modem's NO CARRIER is not heard
  EXPECT_TRUE(e.heard.Msgs().empty()) << Describe(e.heard.List());
  EXPECT_EQ(sim.ReceivedBytes(), kDialBytes + "\r");
  EXPECT_EQ(sim.CurrentMode(), ModemSim::Mode::Command);
}

TEST(ModemEngine, StateAndRegistrationErrors) {
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  TModemInfoZ z;
  ConvertModemInfo(DefaultModemInfo(), z);
  ModemRecordRef rec;
  ASSERT_EQ(BuildModemRecord(rec, port, z), 0);
  EXPECT_EQ(ModemDial(*rec, "1"), kErrModemNotStarted);
  EXPECT_EQ(ModemPutCommand(*rec, "AT^M"), kErrModemNotStarted);
  EXPECT_EQ(ModemHangUp(*rec), kErrModemNotStarted);
  EXPECT_EQ(ModemCancelDial(*rec), kErrModemNotDialing);
  ASSERT_EQ(RegisterModemHandler(*rec, true), 0);
  EXPECT_EQ(RegisterModemHandler(*rec, true), kErrModemBusy);
  EXPECT_EQ(ModemDial(*rec, ""), 0);  // an empty number does nothing
  EXPECT_EQ(ModemState(*rec), 0);
  EXPECT_EQ(peerio::ReadFor(pty.Master(), milliseconds(100)), "");
  // A response word too long for a trigger.
  rec->Responses[kRspOk].Text = std::string(22, 'K');
  EXPECT_EQ(ModemPutCommand(*rec, "AT^M"), kErrTriggerTooLong);
  FreeModemRecord(rec);
  ClosePortRecord(port);
}

TEST(ModemEngine, HangUpByDtrOnTheFakeLayer) {
  App();
  fake::InstallFakeLayer();
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPortRecord(port, "COM1", 4096, 4096, 9600, 0, 8, 1), 0);
  ClearDispatchOption(port, kOptDirectReads);
  const std::int32_t device = PortDevice(port);
  TModemInfo info = DefaultModemInfo();
  info.HangupCmd = "dtr";
  {
    Engine e(port, info);
    e.port = 0;
    fake::FakeDeviceState before;
    ASSERT_TRUE(fake::GetState(device, before));
    std::atomic<bool> sawDtrOff{false}, done{false};
    std::thread watch([&] {
      while (!done) {
        fake::FakeDeviceState s;
        if (fake::GetState(device, s) && !s.dtr) sawDtrOff = true;
        std::this_thread::sleep_for(milliseconds(10));
      }
    });
    const auto start = Clock::now();
    EXPECT_EQ(ModemHangUp(*e.rec), 0);
    const auto took = MsBetween(start, Clock::now());
    done = true;
    watch.join();
    fake::FakeDeviceState after;
    ASSERT_TRUE(fake::GetState(device, after));
    ASSERT_EQ(after.escapes.size(), before.escapes.size() + 2);
    EXPECT_EQ(after.escapes[before.escapes.size()], kClrDtr);
    EXPECT_EQ(after.escapes[before.escapes.size() + 1], kSetDtr);
    EXPECT_TRUE(sawDtrOff);
    EXPECT_TRUE(after.dtr);
    EXPECT_GE(took, 8 * kTickMs - 10);
    EXPECT_LT(took, 10 * kTickMs + 200);
    EXPECT_EQ(peerio::ReadFor(fake::PeerFd(device), milliseconds(100)), "");  // no bytes
    EXPECT_TRUE(e.heard.Msgs().empty());
  }
  ClosePortRecord(port);
  InstallPosixLayer();
}

TEST(ModemEngine, RingsAreCountedThenAnswered) {
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  Engine e(port);
  ASSERT_EQ(ModemWaitForRings(*e.rec, 2), 0);
  EXPECT_FALSE(ModemIsDialing(*e.rec));
  peerio::WriteAll(pty.Master(), "\r\nRING\r\n");
  ASSERT_TRUE(e.heard.WaitFor(MsgModemRing, milliseconds(1000)));
  EXPECT_EQ(peerio::ReadFor(pty.Master(), milliseconds(100)), "");
  peerio::WriteAll(pty.Master(), "\r\nRING\r\n");
  EXPECT_EQ(peerio::ReadSome(pty.Master(), 4, milliseconds(1000)).bytes, "ATA\r");
  // The state follows once the whole command is queued.
  const auto end = Clock::now() + milliseconds(1000);
  while (ModemState(*e.rec) != kModemAnswering && Clock::now() < end)
    std::this_thread::sleep_for(milliseconds(2));
  EXPECT_EQ(ModemState(*e.rec), kModemAnswering);
  peerio::WriteAll(pty.Master(), "\r\nCONNECT 1200\r\n");
  ASSERT_TRUE(e.heard.WaitFor(MsgModemIsConnected, milliseconds(2000)));
  EXPECT_EQ(e.heard.Msgs(), (std::vector<std::uint32_t>{MsgModemRing, MsgModemRing, MsgModemConnect,
                                                        MsgGotLineSpeed, MsgModemIsConnected}));
  EXPECT_EQ(ModemLineSpeed(*e.rec), 1200);
}

// Freeing the record while the modem answers: no late notice, nothing touched
// after the free (the sanitizers watch).
TEST(ModemEngine, FreeWhileResponsesArrive) {
  peerio::TempDir dir;
  ModemSim sim;
  const std::string link = (dir.path / "COM7").string();
  sim.Start(link);
  const std::uint16_t port = OpenPort(link);
  ASSERT_NE(port, 0);
  for (int round = 0; round < 12; ++round) {
    sim.SetDialScript(round % 2 == 0 ? "CONNECT 9600@" + std::to_string(round) : "BUSY@" + std::to_string(round));
    TModemInfoZ z;
    ConvertModemInfo(DefaultModemInfo(), z);
    ModemRecordRef rec;
    ASSERT_EQ(BuildComponentModemRecord(rec, port, z), 0);
    std::atomic<int> heard{0};
    AddModemUserProc(*rec, nullptr, [&heard](const TModemNotice&) { ++heard; });
    ASSERT_EQ(RegisterModemHandler(*rec, true), 0);
    ASSERT_EQ(ModemDial(*rec, "5551234"), 0);
    std::this_thread::sleep_for(milliseconds(round * 3));
    FreeModemRecord(rec);
    const int atFree = heard.load();
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(heard.load(), atFree);
    // The modem may be left on line: hang it up the plain way for the next round.
    sim.DropCarrier();
    std::this_thread::sleep_for(milliseconds(30));
  }
  ClosePortRecord(port);
}

// A window receiver hears each notice on its own (the main) thread; once
// removed it hears nothing more, while the other receivers go on.
class NoticeWindow : public TriggerWindow {
 public:
  using TriggerWindow::TriggerWindow;
  std::int32_t WindowProc(std::uint32_t message, std::uint32_t wParam,
                          std::uint32_t lParam) override {
    got.push_back({message, wParam, lParam});
    onMain = onMain && QThread::currentThread() == App().thread();
    return 0;
  }
  std::vector<std::array<std::uint32_t, 3>> got;
  bool onMain = true;
};

TEST(ModemEngine, WindowReceiversHearNoticesOnTheirThread) {
  App();
  platform::MainThreadExecutor executor;
  NoticeWindow window(executor);
  signsim::Pty pty;
  const std::uint16_t port = OpenPort(pty.SlavePath());
  ASSERT_NE(port, 0);
  Engine e(port);
  ASSERT_EQ(AddModemUserProc(*e.rec, &window, nullptr), 0);
  std::atomic<bool> sent{false};
  std::thread notifier([&] {
    ModemNotify(*e.rec, MsgDialCount, 7, 5);
    sent = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return sent.load(); }, milliseconds(3000)));
  notifier.join();
  ASSERT_EQ(window.got.size(), 1u);
  EXPECT_EQ(window.got[0], (std::array<std::uint32_t, 3>{MsgDialCount, 7, 5}));
  EXPECT_TRUE(window.onMain);
  EXPECT_EQ(e.rec->LastMessage, MsgDialCount);

  ASSERT_EQ(RemoveModemUserWindow(*e.rec, &window), 0);
  std::thread again([&] { ModemNotify(*e.rec, MsgDialCount, 6, 0); });
  again.join();
  EXPECT_EQ(window.got.size(), 1u);
  const auto heard = e.heard.List();
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1].first, 6);
  EXPECT_EQ(e.rec->UserProcs.size(), 1u);  // the removed one was unlinked
}

}  // namespace
