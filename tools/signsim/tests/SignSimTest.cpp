// The simulated sign, driven over a real pseudo-terminal and a real loopback
// socket with plain POSIX reads and writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "PeerIo.h"
#include "signsim/SignSim.h"

extern char** environ;

namespace {

using namespace peerio;
using signsim::Answer;
using signsim::SignEntry;
using signsim::SignOptions;
using signsim::SignSim;

TEST(SignCrc, WorkedCommandValues) {
  struct Case {
    std::string text;
    std::uint16_t crc;
  };
  const Case cases[] = {
      {"{E}", 0x1861}, {"{CA}", 0x007A}, {"{Z}", 0xFBBF}, {"{123456789}", 0x31C3},
      {"xEy", 0x1861}, {"abc", 0x4CE4},  {"ab", 0},       {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(signsim::CommandCrc(c.text), c.crc) << c.text;
  EXPECT_EQ(signsim::Crc16("123456789"), 0x31C3);
}

TEST(SignScript, ParsesEachForm) {
  using K = Answer::Kind;
  using std::chrono::milliseconds;
  struct Case {
    std::string script;
    std::vector<Answer> want;
  };
  const Case cases[] = {
      {"", {}},
      {"0", {Answer::Text("0")}},
      {"1*3", {Answer::Text("1"), Answer::Text("1"), Answer::Text("1")}},
      {"-", {Answer::Silent()}},
      {"auto", {Answer::Auto()}},
      {"0@300", {Answer::Text("0", milliseconds{300})}},
      {"0|K~50", {{K::Text, {"0", "K"}, milliseconds{0}, milliseconds{50}}}},
      {"\\x35\\r", {Answer::Text("5\r")}},
      {"\\-", {Answer::Text("-")}},
      {"a\\,b", {Answer::Text("a,b")}},
      {"0,-,auto", {Answer::Text("0"), Answer::Silent(), Answer::Auto()}},
      {"-@10*2", {{K::Silent, {}, milliseconds{10}, milliseconds{20}}, {K::Silent, {}, milliseconds{10}, milliseconds{20}}}},
  };
  for (const auto& c : cases) EXPECT_EQ(signsim::ParseScript(c.script), c.want) << c.script;
}

TEST(SignScript, RefusesMalformedScripts) {
  for (const char* bad : {"0@", "0@x", "1*0", ",", "0,", "0||1", "\\q", "0@1@2", "\\x3", "0@5x", "|"})
    EXPECT_THROW(signsim::ParseScript(bad), std::invalid_argument) << bad;
}

class SignOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    SignOptions o;
    o.silence = milliseconds{60};
    o.logFile = (dir.path / "sign.log").string();
    sign = std::make_unique<SignSim>(o);
    link = (dir.path / "COM1").string();
    slave = sign->StartPty(link);
    fd = OpenTty(link);
  }
  void TearDown() override {
    if (fd >= 0) close(fd);
  }
  std::string Exchange(const std::string& bytes, std::size_t answerLen = 1) {
    WriteAll(fd, bytes);
    return ReadSome(fd, answerLen, milliseconds{2000}).bytes;
  }

  TempDir dir;
  std::unique_ptr<SignSim> sign;
  std::string link, slave;
  int fd = -1;
};

TEST_F(SignOnPty, LinkPointsAtTheSlave) {
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);
}

TEST_F(SignOnPty, AnswersZeroForARightCrcAndOneForAWrongOne) {
  const std::string good = "{E}\x18\x61";
  const std::string bad = LinkRecordWithCrc("{CA}", 0x007B);
  EXPECT_EQ(Exchange(good), "0");
  EXPECT_EQ(Exchange(bad), "1");
  ASSERT_TRUE(sign->WaitForRecords(2, milliseconds{1000}));
  auto r = sign->Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].text, "{E}");
  EXPECT_EQ(r[0].raw, good);
  EXPECT_TRUE(r[0].crcOk);
  EXPECT_EQ(r[0].crcReceived, 0x1861);
  EXPECT_EQ(r[0].answer, "0");
  EXPECT_EQ(r[0].source, "pty");
  EXPECT_EQ(r[1].text, "{CA}");
  EXPECT_FALSE(r[1].crcOk);
  EXPECT_EQ(r[1].crcReceived, 0x007B);
  EXPECT_EQ(r[1].crcComputed, 0x007A);
  EXPECT_EQ(r[1].answer, "1");
}

TEST_F(SignOnPty, FramesBackToBackRecordsWithWakeUpPreamble) {
  const std::string wake = std::string(22, '@') + LinkRecord("{N00,M=AML,D=24 12 09 03 10 05}");
  const std::string all = wake + LinkRecord("{CA}") + LinkRecord("{E}");
  EXPECT_EQ(Exchange(all, 3), "000");
  auto r = sign->Records();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].wakeAts, 22);
  EXPECT_EQ(r[0].text, "{N00,M=AML,D=24 12 09 03 10 05}");
  EXPECT_EQ(r[0].raw, wake);
  EXPECT_TRUE(r[0].crcOk);
  EXPECT_EQ(r[1].text, "{CA}");
  EXPECT_EQ(r[1].wakeAts, 0);
  EXPECT_EQ(r[2].text, "{E}");
  for (const auto& e : r) EXPECT_FALSE(e.framedBySilence);
}

TEST_F(SignOnPty, EscapedBracesAndCrcBytesThatLookLikeBracesStayInTheirRecord) {
  // Editor text with escaped '{', '}' and '/', and logo data with escaped bytes.
  const std::string text = "{T,~s,^FL^RH^T5A/{B/}C//}";
  const std::string logo = std::string("{LA,05,016,C,#") + "/}" + "/{" + "\x01\x80" + "/#" + "/@" + "#}";
  // A command whose CRC's high byte is '}' and one whose low byte is '{'.
  std::string hiBrace, loBrace;
  for (int k = 0; k < 200000 && (hiBrace.empty() || loBrace.empty()); ++k) {
    std::string t = "{RX,M" + std::to_string(k) + "}";
    std::uint16_t c = testbytes::BitwiseCrc(t.substr(1, t.size() - 2));
    if (hiBrace.empty() && (c >> 8) == '}') hiBrace = t;
    if (loBrace.empty() && (c & 0xFF) == '{') loBrace = t;
  }
  ASSERT_FALSE(hiBrace.empty());
  ASSERT_FALSE(loBrace.empty());
  const std::string all = LinkRecord(text) + LinkRecord(logo) + LinkRecord(hiBrace) + LinkRecord(loBrace);
  EXPECT_EQ(Exchange(all, 4), "0000");
  auto r = sign->Records();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].text, text);
  EXPECT_EQ(r[1].text, logo);
  EXPECT_EQ(r[2].text, hiBrace);
  EXPECT_EQ(r[3].text, loBrace);
  for (const auto& e : r) EXPECT_TRUE(e.crcOk) << e.text;
  for (const auto& e : sign->Core().Log()) EXPECT_EQ(e.kind, SignEntry::Kind::Record) << signsim::Printable(e.raw);
}

TEST_F(SignOnPty, HardwareClearIsLoggedAndNeverAnswered) {
  WriteAll(fd, "@@C");
  EXPECT_EQ(ReadFor(fd, milliseconds{300}), "");
  auto log = sign->Core().Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, SignEntry::Kind::HardwareClear);
  EXPECT_EQ(log[0].raw, "@@C");
  EXPECT_TRUE(sign->Records().empty());
  EXPECT_EQ(Exchange(LinkRecord("{E}")), "0");
}

TEST_F(SignOnPty, AnswersFromTheScriptThenAutomatically) {
  struct Case {
    std::string item;
    std::string record;
    std::string want;
    int minFirstMs;   // earliest first byte after the write
    int minSpreadMs;  // least time from the first piece to the last
  };
  const Case cases[] = {
      {"1", LinkRecord("{E}"), "1", 0, 0},
      {"5", LinkRecord("{E}"), "5", 0, 0},
      {"0@300", LinkRecord("{E}"), "0", 290, 0},
      {"0|K~150", LinkRecord("{E}"), "0K", 0, 140},
      {"auto", LinkRecordWithCrc("{E}", 1), "1", 0, 0},
      {"-", LinkRecord("{E}"), "", 0, 0},
  };
  for (const auto& c : cases) {
    sign->SetScript(c.item);
    auto start = Clock::now();
    WriteAll(fd, c.record);
    auto got = ReadSome(fd, c.want.empty() ? SIZE_MAX : c.want.size(), milliseconds{c.want.empty() ? 300 : 2000});
    EXPECT_EQ(got.bytes, c.want) << c.item;
    if (!c.want.empty()) {
      EXPECT_GE(got.first - start, milliseconds{c.minFirstMs}) << c.item;
      EXPECT_GE(got.last - start, milliseconds{c.minFirstMs + c.minSpreadMs}) << c.item;
    }
    if (c.minSpreadMs > 0) {
      EXPECT_GE(got.reads, 2) << c.item;
    }
    EXPECT_EQ(sign->Core().ScriptLeft(), 0u);
  }
  auto r = sign->Records();
  ASSERT_EQ(r.size(), std::size(cases));
  EXPECT_EQ(r.back().answer, "");
  // The script is used up: automatic answers again.
  EXPECT_EQ(Exchange(LinkRecord("{Z}")), "0");
}

TEST_F(SignOnPty, ARecordCutOffByTheSilenceIsClosedThere) {
  WriteAll(fd, "{T,~s,^FL");
  EXPECT_EQ(ReadSome(fd, 1, milliseconds{1000}).bytes, "1");
  auto r = sign->Records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].framedBySilence);
  EXPECT_EQ(r[0].text, "{T,~s,^");
  EXPECT_EQ(r[0].crcReceived, ('F' << 8) | 'L');
  EXPECT_FALSE(r[0].crcOk);
  EXPECT_EQ(Exchange(LinkRecord("{E}")), "0");
  r = sign->Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_FALSE(r[1].framedBySilence);
  EXPECT_EQ(r[1].text, "{E}");
}

TEST_F(SignOnPty, StampsEachRecordWithItsTime) {
  WriteAll(fd, LinkRecord("{E}"));
  ASSERT_TRUE(sign->WaitForRecords(1, milliseconds{1000}));
  std::this_thread::sleep_for(milliseconds{200});
  WriteAll(fd, LinkRecord("{Z}"));
  ASSERT_TRUE(sign->WaitForRecords(2, milliseconds{1000}));
  auto r = sign->Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_GE(r[1].firstByte - r[0].lastByte, milliseconds{190});
  EXPECT_LE(r[0].firstByte, r[0].lastByte);
  EXPECT_LE(r[0].wallTime, r[1].wallTime);
  EXPECT_EQ(r[0].index, 0u);
  EXPECT_EQ(r[1].index, 1u);
}

TEST_F(SignOnPty, WaitingForRecordsEndsAtItsTimeOut) {
  auto start = Clock::now();
  EXPECT_FALSE(sign->WaitForRecords(1, milliseconds{150}));
  EXPECT_GE(Clock::now() - start, milliseconds{150});
}

TEST_F(SignOnPty, LogFileHoldsEveryRecordAndStopRemovesTheLink) {
  EXPECT_EQ(Exchange(LinkRecord("{E}")), "0");
  EXPECT_EQ(Exchange(LinkRecordWithCrc("{Z}", 0)), "1");
  WriteAll(fd, "@@C");
  ASSERT_TRUE(sign->Core().WaitFor([](const auto& log) { return log.size() == 3; }, milliseconds{1000}));
  close(fd);
  fd = -1;
  sign->Stop();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::ifstream in(dir.path / "sign.log");
  std::stringstream ss;
  ss << in.rdbuf();
  std::string log = ss.str();
  EXPECT_NE(log.find("pty record #0 ats=0 text=\"{E}\" crc=1861/1861 ok answer=\"0\""), std::string::npos) << log;
  EXPECT_NE(log.find("pty record #1 ats=0 text=\"{Z}\" crc=0000/FBBF BAD answer=\"1\""), std::string::npos) << log;
  EXPECT_NE(log.find("pty hardware-clear #2 raw=\"@@C\""), std::string::npos) << log;
}

TEST(SignSilenceFraming, TakesEachBurstAsOneRecord) {
  SignOptions o;
  o.framing = signsim::Framing::Silence;
  o.silence = milliseconds{60};
  SignSim sign(o);
  int fd = OpenTty(sign.StartPty());
  // An unescaped brace inside: only the silence can frame this one.
  WriteAll(fd, std::string(3, '@') + LinkRecord("{RX,A}B}"));
  EXPECT_EQ(ReadSome(fd, 1, milliseconds{1000}).bytes, "0");
  WriteAll(fd, "@@C");
  EXPECT_EQ(ReadFor(fd, milliseconds{250}), "");
  auto log = sign.Core().Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].kind, SignEntry::Kind::Record);
  EXPECT_EQ(log[0].text, "{RX,A}B}");
  EXPECT_EQ(log[0].wakeAts, 3);
  EXPECT_TRUE(log[0].crcOk);
  EXPECT_EQ(log[1].kind, SignEntry::Kind::HardwareClear);
  close(fd);
}

TEST(SignTcp, AnswersOnAFreePortAndDropsAfterNRecords) {
  SignSim sign;
  auto port = sign.StartTcp(0);
  ASSERT_NE(port, 0);
  sign.SetDropAfter(2);
  int fd = ConnectTcp(port);
  // Two records in one segment, the second with a wrong CRC.
  WriteAll(fd, LinkRecord("{E}") + LinkRecordWithCrc("{E}", 0x1862));
  auto got = ReadSome(fd, 3, milliseconds{2000});
  EXPECT_EQ(got.bytes, "01");
  EXPECT_TRUE(got.eof) << "the connection should be dropped after 2 records";
  close(fd);
  auto r = sign.Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].source, "tcp#1");

  // A new connection is served again, and dropped after its own two records.
  fd = ConnectTcp(port);
  EXPECT_EQ((WriteAll(fd, LinkRecord("{CA}")), ReadSome(fd, 1, milliseconds{2000}).bytes), "0");
  EXPECT_EQ((WriteAll(fd, LinkRecord("{Z}")), ReadSome(fd, 1, milliseconds{2000}).bytes), "0");
  EXPECT_TRUE(ReadSome(fd, 1, milliseconds{2000}).eof);
  close(fd);
  r = sign.Records();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[2].source, "tcp#2");
  EXPECT_EQ(r[3].text, "{Z}");
}

TEST(SignTcp, ADroppedConnectionWaitsForALateAnswer) {
  SignSim sign;
  auto port = sign.StartTcp(0);
  sign.SetDropAfter(1);
  sign.SetScript("3@200");
  int fd = ConnectTcp(port);
  auto start = Clock::now();
  WriteAll(fd, LinkRecord("{RZ}"));
  auto got = ReadSome(fd, 2, milliseconds{2000});
  EXPECT_EQ(got.bytes, "3");
  EXPECT_GE(got.first - start, milliseconds{190});
  EXPECT_TRUE(got.eof);
  close(fd);
}

TEST(SignTcp, PtyAndTcpTogether) {
  SignSim sign;
  int tty = OpenTty(sign.StartPty());
  int sock = ConnectTcp(sign.StartTcp(0));
  WriteAll(tty, LinkRecord("{RA}"));
  WriteAll(sock, LinkRecordWithCrc("{RA}", 7));
  EXPECT_EQ(ReadSome(tty, 1, milliseconds{2000}).bytes, "0");
  EXPECT_EQ(ReadSome(sock, 1, milliseconds{2000}).bytes, "1");
  close(tty);
  close(sock);
}

TEST(SignProgram, RunsFromTheCommandLineUntilTerminated) {
  TempDir dir;
  std::string link = (dir.path / "COM1").string();
  std::string logFile = (dir.path / "sign.log").string();
  std::vector<std::string> args = {SIGNSIM_EXE, "--pty-link", link, "--tcp", "0", "--log", logFile, "--script", "2"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, SIGNSIM_EXE, nullptr, nullptr, argv.data(), environ), 0);
  for (int i = 0; i < 100 && !std::filesystem::exists(link); ++i) std::this_thread::sleep_for(milliseconds{50});
  ASSERT_TRUE(std::filesystem::exists(link));
  int fd = OpenTty(link);
  WriteAll(fd, LinkRecord("{E}"));
  EXPECT_EQ(ReadSome(fd, 1, milliseconds{2000}).bytes, "2");
  WriteAll(fd, LinkRecord("{E}"));
  EXPECT_EQ(ReadSome(fd, 1, milliseconds{2000}).bytes, "0");
  close(fd);
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  std::ifstream in(logFile);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_NE(ss.str().find("answer=\"2\""), std::string::npos) << ss.str();
  EXPECT_NE(ss.str().find("record #1 ats=0 text=\"{E}\" crc=1861/1861 ok answer=\"0\""), std::string::npos);
}

}  // namespace

namespace {

// A second sign on a port already taken ends with an error and leaves the
// first sign's link pointing at the first sign.
TEST(SignProgram, ASignThatCannotListenLeavesAnotherSignsLink) {
  TempDir dir;
  const std::string link = (dir.path / "COM1").string();
  SignSim first;
  const std::string slave = first.StartPty(link);
  const std::uint16_t port = first.StartTcp(0);
  std::vector<std::string> args = {SIGNSIM_EXE, "--pty-link", link, "--tcp", std::to_string(port)};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, SIGNSIM_EXE, nullptr, nullptr, argv.data(), environ), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  ASSERT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);
  // And the first sign still answers on it.
  int fd = OpenTty(link);
  WriteAll(fd, LinkRecord("{E}"));
  EXPECT_EQ(ReadSome(fd, 1, std::chrono::milliseconds{2000}).bytes, "0");
  close(fd);
}

}  // namespace
