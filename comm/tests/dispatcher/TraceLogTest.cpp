// The trace and the dispatch log, dumped to text files and compared with
// text written out by hand from the dump layout.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "DispatchTestSupport.h"
#include "comm/CommExcept.h"
#include "comm/CommMisc.h"

namespace {
using namespace dispatch_test;

std::atomic<std::uint32_t> g_now{1000};
std::uint32_t FakeMs() { return g_now.load(); }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

class TraceLog : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/dispatch-dump-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    folder = dir;
    ASSERT_EQ(OpenPty(pty, port), 0);
  }
  void TearDown() override {
    comm::SetTickSourceForTests(nullptr);
    EXPECT_EQ(comm::ClosePortRecord(port), 0);
    std::system(("rm -rf '" + folder + "'").c_str());
  }
  std::string File(const char* name) const { return folder + "/" + name; }
  void Receive(const std::string& bytes) {
    ASSERT_TRUE(pty.Write(bytes));
    ASSERT_TRUE(PumpUntil([&] {
      return comm::CharsAvailable(port) == static_cast<std::int32_t>(bytes.size());
    }));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      std::uint8_t b = 0;
      ASSERT_EQ(comm::ReadChar(port, b), 0);
    }
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               static_cast<std::uint16_t>(bytes.size())),
              0);
  }
  Pty pty;
  std::uint16_t port = 0;
  std::string folder;
};

const std::string kLogHeader =
    "Time      Type      SubType       Data  OtherData\n"
    "----      ----      -------       ----  ---------\n";

TEST_F(TraceLog, ASmallTraceKeepsTheNewestEntries) {
  ASSERT_EQ(comm::StartTrace(port, 4), 0);
  for (char c = 'a'; c <= 'f'; ++c) ASSERT_EQ(comm::WriteChar(port, static_cast<std::uint8_t>(c)), 0);
  ASSERT_EQ(comm::DumpTraceFile(port, File("t.txt"), false, false), 0);
  EXPECT_EQ(Slurp(File("t.txt")), "Transmit: \ncdef\n");
  // The dump freed the trace: nothing more is recorded.
  ASSERT_EQ(comm::WriteChar(port, 'g'), 0);
  EXPECT_EQ(comm::DumpTraceFile(port, File("u.txt"), false, false), 0);
  EXPECT_FALSE(Exists(File("u.txt")));
}

TEST_F(TraceLog, BytesOutsideThePrintableRangeAreBracketed) {
  const std::string bytes = std::string(" \x07") + static_cast<char>(200);
  ASSERT_EQ(comm::StartTrace(port, 100), 0);
  Receive(bytes);
  ASSERT_EQ(comm::DumpTraceFile(port, File("dec.txt"), false, false), 0);
  EXPECT_EQ(Slurp(File("dec.txt")), "Receive: \n [7][200]\n");
  ASSERT_EQ(comm::StartTrace(port, 100), 0);
  Receive(bytes);
  ASSERT_EQ(comm::DumpTraceFile(port, File("hex.txt"), false, true), 0);
  EXPECT_EQ(Slurp(File("hex.txt")), "Receive: \n[20][07][C8]\n");
}

TEST_F(TraceLog, LongLinesBreakAfterSeventyEightColumnsAndTypesGetHeaders) {
  ASSERT_EQ(comm::StartTrace(port, 1000), 0);
  const std::string line(100, 'w');
  Receive(line);
  Send("AB");
  ASSERT_EQ(comm::DumpTraceFile(port, File("t.txt"), false, false), 0);
  EXPECT_EQ(Slurp(File("t.txt")), "Receive: \n" + std::string(78, 'w') + "\n" +
                                      std::string(22, 'w') + "\n\nTransmit: \nAB\n");
}

TEST_F(TraceLog, AppendingAddsToTheFile) {
  ASSERT_EQ(comm::StartTrace(port, 10), 0);
  Send("x");
  ASSERT_EQ(comm::DumpTraceFile(port, File("t.txt"), true, false), 0);
  ASSERT_EQ(comm::StartTrace(port, 10), 0);
  Send("y");
  ASSERT_EQ(comm::DumpTraceFile(port, File("t.txt"), true, false), 0);
  EXPECT_EQ(Slurp(File("t.txt")), "Transmit: \nx\nTransmit: \ny\n");
}

TEST_F(TraceLog, TraceSizesAndFileErrors) {
  EXPECT_EQ(comm::StartTrace(port, 32761), comm::kErrBadArgument);
  EXPECT_EQ(comm::StartTrace(port, 0), comm::kErrBadArgument);
  EXPECT_EQ(comm::DumpTraceFile(port, File("none.txt"), false, false), 0);
  EXPECT_FALSE(Exists(File("none.txt")));  // no trace: no file
  ASSERT_EQ(comm::StartTrace(port, 32760), 0);
  EXPECT_EQ(comm::DumpTraceFile(port, File("empty.txt"), false, false), 0);
  EXPECT_FALSE(Exists(File("empty.txt")));  // empty trace: no file
  ASSERT_EQ(comm::StartTrace(port, 10), 0);
  Send("z");
  EXPECT_EQ(comm::DumpTraceFile(port, File("no/such/dir.txt"), false, false), comm::kErrPathNotFound);
  EXPECT_EQ(comm::DumpTraceFile(port, File("later.txt"), false, false), 0);
  EXPECT_FALSE(Exists(File("later.txt")));  // the failed dump freed the trace
}

// A dump that cannot be written fails with the library's file error, whose
// text says what went wrong, for the trace and for the log alike.
TEST_F(TraceLog, FailedDumpsGiveTheTextOfTheirCause) {
  ASSERT_EQ(::mkdir(File("folder").c_str(), 0755), 0);
  std::ofstream(File("plain")) << "x";
  struct Case {
    const char* what;
    std::string path;
    std::int32_t code;
    const char* text;
  };
  const Case cases[] = {
      {"a folder", File("folder"), comm::kErrAccessDenied, "File access denied"},
      {"a missing folder", File("no/such/dir.txt"), comm::kErrPathNotFound, "Path not found"},
      {"below a plain file", File("plain/dump.txt"), comm::kErrPathNotFound, "Path not found"},
      {"a full disk", "/dev/full", -101, "Disk is full"},
  };
  for (const Case& c : cases) {
    for (bool log : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (log ? ", log" : ", trace"));
      ASSERT_EQ(log ? comm::StartLog(port, 1000) : comm::StartTrace(port, 100), 0);
      Send("z");
      const std::int32_t code = log ? comm::DumpLogFile(port, c.path, false, false)
                                    : comm::DumpTraceFile(port, c.path, false, false);
      EXPECT_EQ(code, c.code);
      try {
        comm::RaiseForErrorCode(code);
        ADD_FAILURE() << "nothing raised";
      } catch (const comm::EInOutError& e) {
        EXPECT_STREQ(e.what(), c.text);
      }
      comm::FreeLog(port);
    }
  }
}

TEST_F(TraceLog, AWriteIsLoggedWithItsTimeAndBytes) {
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
  comm::SetTickSourceForTests(FakeMs);
  g_now = 1000;
  ASSERT_EQ(OpenPty(pty, port), 0);
  ASSERT_EQ(comm::StartLog(port, 2000), 0);
  g_now = 2234;
  Send("ABC");
  g_now = 1000 + 123456789;
  ASSERT_EQ(comm::AddLogEntry(port, comm::kLogTrigger, comm::kSubAvail, 0, nullptr, 0x1F), 0);
  ASSERT_EQ(comm::DumpLogFile(port, File("log.txt"), false, false), 0);
  EXPECT_EQ(Slurp(File("log.txt")),
            kLogHeader +
                "00001234  dispatch  writecom      0003  ABC\n"
                "123456789  trigger   avail         001F  \n");
}

TEST_F(TraceLog, LogEntriesAreStoredWholeOrNotAtAll) {
  ASSERT_EQ(comm::StartLog(port, 40), 0);
  const std::string a(20, 'a'), b(20, 'b'), c(30, 'c');
  auto add = [&](const std::string& data, std::uint16_t word) {
    return comm::AddLogEntry(port, comm::kLogDispatch, comm::kSubReadCom,
                             static_cast<std::uint16_t>(data.size()),
                             reinterpret_cast<const std::uint8_t*>(data.data()), word);
  };
  ASSERT_EQ(add(a, 1), 0);
  ASSERT_EQ(add(b, 2), 0);  // drops the first entry whole
  ASSERT_EQ(add(c, 3), 0);  // 42 bytes never fit in 40: not stored, nothing dropped
  ASSERT_EQ(comm::DumpLogFile(port, File("log.txt"), false, false), 0);
  const std::string text = Slurp(File("log.txt"));
  ASSERT_EQ(text.substr(0, kLogHeader.size()), kLogHeader);
  const std::string body = text.substr(kLogHeader.size());
  EXPECT_EQ(body.substr(8), "  dispatch  readcom       0002  " + b + "\n");
}

TEST_F(TraceLog, LongDataWrapsUnderItsColumnAndModemBitsAreNamed) {
  comm::SetTickSourceForTests(FakeMs);
  ASSERT_EQ(comm::StartLog(port, 2000), 0);
  std::string data(40, 'd');
  data[0] = ' ';
  data[1] = '\x07';
  ASSERT_EQ(comm::AddLogEntry(port, comm::kLogDispatch, comm::kSubReadCom, 40,
                              reinterpret_cast<const std::uint8_t*>(data.data()), 40),
            0);
  ASSERT_EQ(comm::AddLogEntry(port, comm::kLogDispatch, comm::kSubModemStatus, 0, nullptr, 0x91), 0);
  ASSERT_EQ(comm::DumpLogFile(port, File("log.txt"), true, true), 0);
  const std::string text = Slurp(File("log.txt"));
  std::istringstream lines(text.substr(kLogHeader.size()));
  std::string first, second, third, fourth;
  std::getline(lines, first);
  std::getline(lines, second);
  std::getline(lines, third);
  std::getline(lines, fourth);
  // Data starts at column 41; an item that would reach column 79 goes on
  // the next line under the first: after "[20][07]", 29 of the d's fit.
  EXPECT_EQ(first.substr(first.find("  ")), "  dispatch  readcom       0028  [20][07]" + std::string(29, 'd'));
  EXPECT_EQ(second, std::string(40, ' ') + std::string(9, 'd'));
  EXPECT_EQ(third.substr(third.find("  ")), "  dispatch  modem status  0091  ");
  EXPECT_EQ(fourth, std::string(40, ' ') + "DCTS CTS DCD ");
}

TEST_F(TraceLog, AFailedLogDumpKeepsTheRingWithLoggingOff) {
  ASSERT_EQ(comm::StartLog(port, 500), 0);
  Send("q");
  EXPECT_EQ(comm::DumpLogFile(port, File("no/dir/log.txt"), false, false), comm::kErrPathNotFound);
  Send("r");  // not logged: logging is off
  ASSERT_EQ(comm::ResumeLog(port), 0);
  ASSERT_EQ(comm::DumpLogFile(port, File("log.txt"), false, false), 0);
  const std::string text = Slurp(File("log.txt"));
  EXPECT_NE(text.find("0001  q\n"), std::string::npos);
  EXPECT_EQ(text.find("0001  r\n"), std::string::npos);
}

}  // namespace
