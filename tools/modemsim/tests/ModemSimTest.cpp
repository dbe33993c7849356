// The simulated Hayes modem, driven over a real pseudo-terminal with plain
// POSIX reads and writes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "PeerIo.h"
#include "modemsim/ModemSim.h"

namespace {

using namespace peerio;
using modemsim::DialOutcome;
using modemsim::ModemOptions;
using modemsim::ModemSim;
using Mode = modemsim::ModemSim::Mode;

class ModemOnPty : public ::testing::Test {
 protected:
  void Open(ModemOptions o = Fast()) {
    o.logFile = (dir.path / "modem.log").string();
    modem = std::make_unique<ModemSim>(o);
    link = (dir.path / "COM2").string();
    modem->Start(link);
    fd = OpenTty(link);
  }
  static ModemOptions Fast() {
    ModemOptions o;
    o.guard = milliseconds{200};
    o.sign.silence = milliseconds{60};
    return o;
  }
  void TearDown() override {
    if (fd >= 0) close(fd);
  }
  // Writes and reads exactly as many bytes as expected.
  std::string Say(const std::string& bytes, std::size_t replyLen) {
    WriteAll(fd, bytes);
    return ReadSome(fd, replyLen, milliseconds{3000}).bytes;
  }
  void Connect(const std::string& result = "CONNECT 9600") {
    modem->SetDialScript({DialOutcome::Result(result, milliseconds{20})});
    std::string want = "ATDT5551234\r\r\n" + result + "\r\n";
    ASSERT_EQ(Say("ATDT5551234\r", want.size()), want);
    ASSERT_TRUE(modem->WaitForMode(Mode::Online, milliseconds{1000}));
  }

  TempDir dir;
  std::unique_ptr<ModemSim> modem;
  std::string link;
  int fd = -1;
};

TEST(ModemDialScript, ParsesOutcomes) {
  auto v = modemsim::ParseDialScript("BUSY,CONNECT 14400/ARQ/V42BIS@300,-,connect 2400");
  std::vector<DialOutcome> want = {DialOutcome::Result("BUSY"),
                                   DialOutcome::Result("CONNECT 14400/ARQ/V42BIS", milliseconds{300}),
                                   DialOutcome::Silence(), DialOutcome::Result("connect 2400")};
  EXPECT_EQ(v, want);
  EXPECT_TRUE(want[1].Connects());
  EXPECT_TRUE(want[3].Connects());
  EXPECT_FALSE(want[0].Connects());
  EXPECT_FALSE(want[2].Connects());
  for (const char* bad : {",", "BUSY,", "BUSY@x", "@5", "OK@5s"})
    EXPECT_THROW(modemsim::ParseDialScript(bad), std::invalid_argument) << bad;
}

TEST_F(ModemOnPty, CommandModeEchoesAndAnswersVerbosely) {
  Open();
  struct Step {
    std::string line;
    std::string want;
  };
  const Step steps[] = {
      {"AT", "AT\r\r\nOK\r\n"},
      {"ATZ", "ATZ\r\r\nOK\r\n"},
      {"ATE1Q0X1V1", "ATE1Q0X1V1\r\r\nOK\r\n"},
      {"at&c1 s0=0", "at&c1 s0=0\r\r\nOK\r\n"},
      {"ATS12?", "ATS12?\r\r\n010\r\n\r\nOK\r\n"},
      {"ATJ", "ATJ\r\r\nERROR\r\n"},
      {"ATO", "ATO\r\r\nERROR\r\n"},
      {"ATD", "ATD\r\r\nERROR\r\n"},
      {"ATE0", "ATE0\r\r\nOK\r\n"},
      {"AT", "\r\nOK\r\n"},
      {"ATV0", "0\r"},
      {"ATJ", "4\r"},
      {"ATZ", "\r\nOK\r\n"},
      {"AT", "AT\r\r\nOK\r\n"},
  };
  std::vector<std::string> lines;
  for (const auto& s : steps) {
    EXPECT_EQ(Say(s.line + "\r", s.want.size()), s.want) << s.line;
    lines.push_back(s.line);
  }
  EXPECT_EQ(ReadFor(fd, milliseconds{50}), "");
  EXPECT_EQ(modem->Commands(), lines);
  auto replies = modem->Replies();
  ASSERT_EQ(replies.size(), std::size(steps));
  EXPECT_EQ(replies[5], "ERROR");
  EXPECT_EQ(replies.back(), "OK");
}

TEST_F(ModemOnPty, EachDialEndsAsScripted) {
  Open();
  struct Case {
    std::string result;
    Mode after;
  };
  const Case cases[] = {
      {"CONNECT 9600", Mode::Online},   {"CONNECT", Mode::Online},       {"connect 2400", Mode::Online},
      {"CONNECT 14400/ARQ/V42BIS", Mode::Online}, {"BUSY", Mode::Command}, {"NO CARRIER", Mode::Command},
      {"NO DIALTONE", Mode::Command},   {"ERROR", Mode::Command},        {"VOICE", Mode::Command},
  };
  for (const auto& c : cases) {
    modem->SetDialScript({DialOutcome::Result(c.result, milliseconds{30})});
    std::string want = "ATDT5551234\r\r\n" + c.result + "\r\n";
    EXPECT_EQ(Say("ATDT5551234\r", want.size()), want) << c.result;
    EXPECT_TRUE(modem->WaitForMode(c.after, milliseconds{1000})) << c.result;
    EXPECT_EQ(modem->Commands().back(), "ATDT5551234");
    EXPECT_EQ(modem->Replies().back(), c.result);
    if (c.after == Mode::Online) {
      modem->DropCarrier();
      EXPECT_EQ(ReadSome(fd, 14, milliseconds{2000}).bytes, "\r\nNO CARRIER\r\n");
    }
    ASSERT_TRUE(modem->WaitForMode(Mode::Command, milliseconds{1000}));
  }
}

TEST_F(ModemOnPty, ADialResultComesAfterItsDelay) {
  Open();
  modem->SetDialScript("BUSY@300");
  auto start = Clock::now();
  WriteAll(fd, "ATDT1\r");
  EXPECT_EQ(ReadSome(fd, 6, milliseconds{1000}).bytes, "ATDT1\r");
  auto r = ReadSome(fd, 8, milliseconds{2000});
  EXPECT_EQ(r.bytes, "\r\nBUSY\r\n");
  EXPECT_GE(r.first - start, milliseconds{290});
}

TEST_F(ModemOnPty, AnyCharacterAbortsADial) {
  Open();
  // A dial that never ends by itself, ended by the CR of a dial cancel.
  modem->SetDialScript({DialOutcome::Silence(), DialOutcome::Result("CONNECT 9600", milliseconds{800})});
  EXPECT_EQ(Say("ATDT5551234\r", 12), "ATDT5551234\r");
  EXPECT_EQ(ReadFor(fd, milliseconds{300}), "");
  EXPECT_EQ(modem->CurrentMode(), Mode::Dialing);
  EXPECT_EQ(Say("\r", 14), "\r\nNO CARRIER\r\n");
  EXPECT_EQ(modem->CurrentMode(), Mode::Command);
  EXPECT_EQ(Say("AT\r", 9), "AT\r\r\nOK\r\n");
  // A letter during a dial that would have connected: no CONNECT later.
  EXPECT_EQ(Say("ATDT2\r", 6), "ATDT2\r");
  std::this_thread::sleep_for(milliseconds{100});
  EXPECT_EQ(Say("x", 14), "\r\nNO CARRIER\r\n");
  EXPECT_EQ(ReadFor(fd, milliseconds{1000}), "");
  EXPECT_EQ(modem->CurrentMode(), Mode::Command);
}

TEST_F(ModemOnPty, DataModePassesRecordsToTheSignAndItsAnswersBack) {
  Open();
  Connect();
  EXPECT_EQ(Say(LinkRecord("{E}"), 1), "0");
  EXPECT_EQ(Say(LinkRecordWithCrc("{Z}", 0x1234), 1), "1");
  // No echo and no command in data mode: this goes to the sign too.
  WriteAll(fd, "AT\r");
  EXPECT_EQ(ReadFor(fd, milliseconds{300}), "");
  auto r = modem->Sign().Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].text, "{E}");
  EXPECT_TRUE(r[0].crcOk);
  EXPECT_EQ(r[0].source, "modem");
  EXPECT_FALSE(r[1].crcOk);
  ASSERT_TRUE(modem->Sign().WaitFor([](const auto& log) { return log.size() == 3; }, milliseconds{1000}));
  EXPECT_EQ(modem->Sign().Log()[2].raw, "AT\r");
  EXPECT_EQ(modem->Commands().size(), 1u);
}

TEST_F(ModemOnPty, LateAndScriptedSignAnswersComeThroughTheModem) {
  Open();
  Connect("CONNECT 14400/ARQ/V42BIS");
  modem->Sign().SetScript("3@200,0|K~100");
  auto start = Clock::now();
  WriteAll(fd, LinkRecord("{RA}"));
  auto r = ReadSome(fd, 1, milliseconds{2000});
  EXPECT_EQ(r.bytes, "3");
  EXPECT_GE(r.first - start, milliseconds{190});
  WriteAll(fd, LinkRecord("{RA}"));
  r = ReadSome(fd, 2, milliseconds{2000});
  EXPECT_EQ(r.bytes, "0K");
  EXPECT_GE(r.reads, 2);
}

TEST_F(ModemOnPty, EscapeNeedsTheGuardTimeBeforeAndAfter) {
  Open();
  Connect();
  std::this_thread::sleep_for(milliseconds{300});
  auto start = Clock::now();
  WriteAll(fd, "+++");
  auto r = ReadSome(fd, 6, milliseconds{2000});
  EXPECT_EQ(r.bytes, "\r\nOK\r\n");
  EXPECT_GE(r.first - start, milliseconds{190});
  EXPECT_EQ(modem->CurrentMode(), Mode::OnlineCommand);
  EXPECT_TRUE(modem->Sign().Log().empty()) << "the pluses of an escape are not passed on";
  // Back on line and out again, then hung up.
  EXPECT_EQ(Say("ATO\r", 20), "ATO\r\r\nCONNECT 9600\r\n");
  EXPECT_EQ(Say(LinkRecord("{E}"), 1), "0");
  std::this_thread::sleep_for(milliseconds{300});
  EXPECT_EQ(Say("+++", 6), "\r\nOK\r\n");
  EXPECT_EQ(Say("ATH0\r", 11), "ATH0\r\r\nOK\r\n");
  EXPECT_EQ(modem->CurrentMode(), Mode::Command);
  EXPECT_EQ(Say("ATO\r", 11), "ATO\r\r\nERROR\r\n");
}

TEST_F(ModemOnPty, PlusesWithoutTheirGuardTimesAreData) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, int>> writes;  // bytes, then a pause in ms
    std::string signGets;
  };
  const Case cases[] = {
      {"no guard before", {{"x+++", 500}}, "x+++"},
      {"data within the guard after", {{"", 300}, {"+++", 20}, {"y", 500}}, "+++y"},
      {"pluses too far apart", {{"", 300}, {"+", 300}, {"++", 500}}, "+++"},
      {"four pluses", {{"", 300}, {"++++", 500}}, "++++"},
  };
  for (const auto& c : cases) {
    Open();
    Connect();
    for (const auto& [bytes, pause] : c.writes) {
      if (!bytes.empty()) WriteAll(fd, bytes);
      std::this_thread::sleep_for(milliseconds{pause});
    }
    EXPECT_EQ(ReadFor(fd, milliseconds{100}), "") << c.name;
    EXPECT_EQ(modem->CurrentMode(), Mode::Online) << c.name;
    ASSERT_TRUE(modem->Sign().WaitFor([](const auto& log) { return !log.empty(); }, milliseconds{1000})) << c.name;
    std::string got;
    for (const auto& e : modem->Sign().Log()) got += e.raw;
    EXPECT_EQ(got, c.signGets) << c.name;
    close(fd);
    fd = -1;
    modem.reset();
  }
}

TEST_F(ModemOnPty, HangsUpWithTheDefaultGuardTimeLikeTheHangUpCommand) {
  ModemOptions o;
  o.sign.silence = milliseconds{60};
  Open(o);
  Connect();
  EXPECT_EQ(Say(LinkRecord("{E}"), 1), "0");
  // "+++~~~ATH0^M": the pluses after a second of quiet, three tilde pauses of 9 ticks, ATH0.
  std::this_thread::sleep_for(milliseconds{1100});
  WriteAll(fd, "+++");
  std::this_thread::sleep_for(milliseconds{27 * 55});
  WriteAll(fd, "ATH0\r");
  EXPECT_EQ(ReadSome(fd, 17, milliseconds{3000}).bytes, "\r\nOK\r\nATH0\r\r\nOK\r\n");
  EXPECT_EQ(modem->CurrentMode(), Mode::Command);
  EXPECT_EQ(modem->Commands().back(), "ATH0");
  // Off line the same command string is one line: the pluses are passed over.
  WriteAll(fd, "+++");
  std::this_thread::sleep_for(milliseconds{100});
  EXPECT_EQ(Say("ATH0\r", 14), "+++ATH0\r\r\nOK\r\n");
  EXPECT_EQ(modem->Commands().back(), "+++ATH0");
  EXPECT_EQ(modem->Replies().back(), "OK");
  // Every byte the program wrote, whatever the mode.
  EXPECT_EQ(modem->ReceivedBytes(), "ATDT5551234\r" + LinkRecord("{E}") + "+++ATH0\r+++ATH0\r");
}

TEST_F(ModemOnPty, S12SetsTheGuardTime) {
  Open();
  EXPECT_EQ(Say("ATS12=25\r", 15), "ATS12=25\r\r\nOK\r\n");  // 25 x 20 ms
  Connect();
  std::this_thread::sleep_for(milliseconds{600});
  auto start = Clock::now();
  WriteAll(fd, "+++");
  auto r = ReadSome(fd, 6, milliseconds{2000});
  EXPECT_EQ(r.bytes, "\r\nOK\r\n");
  EXPECT_GE(r.first - start, milliseconds{490});
}

TEST_F(ModemOnPty, SplitModeWritesRepliesInPieces) {
  ModemOptions o = Fast();
  o.splitReplies = true;
  o.splitGap = milliseconds{30};
  Open(o);
  auto start = Clock::now();
  WriteAll(fd, "AT\r");
  auto r = ReadSome(fd, 9, milliseconds{3000});
  EXPECT_EQ(r.bytes, "AT\r\r\nOK\r\n");
  EXPECT_GE(r.reads, 2);
  EXPECT_GE(r.last - start, milliseconds{5 * 30});  // six pieces of the reply, 30 ms apart
  modem->SetDialScript("CONNECT 14400/ARQ/V42BIS@10");
  std::string want = "ATDT9\r\r\nCONNECT 14400/ARQ/V42BIS\r\n";
  WriteAll(fd, "ATDT9\r");
  r = ReadSome(fd, want.size(), milliseconds{5000});
  EXPECT_EQ(r.bytes, want);
  EXPECT_GE(r.reads, 5);
}

TEST_F(ModemOnPty, LogFileHoldsCommandsAndReplies) {
  Open();
  Connect();
  modem->DropCarrier();
  EXPECT_EQ(ReadSome(fd, 14, milliseconds{2000}).bytes, "\r\nNO CARRIER\r\n");
  modem->Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::ifstream in(dir.path / "modem.log");
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string log = ss.str();
  auto cmd = log.find("> ATDT5551234");
  auto connect = log.find("< CONNECT 9600");
  auto nocarrier = log.find("< NO CARRIER");
  ASSERT_NE(cmd, std::string::npos) << log;
  ASSERT_NE(connect, std::string::npos) << log;
  ASSERT_NE(nocarrier, std::string::npos) << log;
  EXPECT_LT(cmd, connect);
  EXPECT_LT(connect, nocarrier);
}

}  // namespace
