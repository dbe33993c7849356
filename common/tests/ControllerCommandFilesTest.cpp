#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <csignal>
#include <functional>

#include "TestBytes.h"
#include "common/CommandRecord.h"
#include "common/ControllerCommandFiles.h"
#include "common/SignName.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"
#include "testsupport/AsPlainUser.h"

namespace fs = std::filesystem;
using namespace cmdfile;
using testbytes::BitwiseCrc;
using testbytes::Concat;
using testbytes::Record;

namespace {

// Wednesday 9 December 2026, 10:05:41.
const platform::LocalTime kWednesday{2026, 12, 9, 3, 10, 5, 41, 0};

// A record whose CRC covers the text between its first and last character.
std::vector<std::uint8_t> Cmd(const std::string& text) {
  return Record(text, BitwiseCrc(text.substr(1, text.size() - 2)));
}

// The wake-up record: 22 at-signs, then the command; the CRC of the command alone.
std::vector<std::uint8_t> WakeUp(const std::string& command) {
  return Record(std::string(22, '@') + command, BitwiseCrc(command.substr(1, command.size() - 2)));
}

class CommandFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("cmdfiles-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    context_.systemDirectory = dir_.string();
    context_.clock = &clock_;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::vector<std::uint8_t> Read(const std::string& path) { return platform::ReadWholeFile(path); }

  platform::FixedClock clock_{kWednesday};
  ControllerContext context_;
  fs::path dir_;
};

TEST_F(CommandFilesTest, WakeUpRecordOfTheWorkedExample) {
  std::string path = WriteWakeUpFile(context_);
  EXPECT_EQ(path, (dir_ / "WAKEUP.MSG").string());
  const std::string command = "{N00,M=AML,D=24 12 09 03 10 05}";
  ASSERT_EQ(command.size(), 31u);
  auto bytes = Read(path);
  EXPECT_EQ(bytes, WakeUp(command));
  EXPECT_EQ(bytes[0], 55);
  EXPECT_EQ(bytes[1], 0);
}

TEST_F(CommandFilesTest, WakeUpVariants) {
  struct Case {
    std::string id;
    int timeFormat;
    bool crc;
    platform::LocalTime at;
    std::string command;
  };
  const platform::LocalTime sundayMorning{2027, 1, 3, 0, 7, 9, 0, 0};
  const std::vector<Case> cases = {
      {"00", 1, true, kWednesday, "{N00,M=AML,D=24 12 09 03 10 05}"},  // ID 00: no answer, no ",S"
      {"07", 1, true, kWednesday, "{N07,M=AML,D=24 12 09 03 10 05,S}"},
      {"07", 1, false, kWednesday, "{N07,M=AML,D=24 12 09 03 10 05}"},  // CRC off: no ",S"
      {"99", 0, true, sundayMorning, "{N99,M=AML,D=12 01 03 00 07 09,S}"},  // 12H; hour stays 24-hour
      {"42", 0, false, {2027, 6, 30, 3, 23, 59, 0, 0}, "{N42,M=AML,D=12 06 30 03 23 59}"},
  };
  for (const Case& c : cases) {
    context_.signId = c.id;
    context_.timeFormat = c.timeFormat;
    context_.crcCheck = c.crc;
    clock_.Set(c.at);
    EXPECT_EQ(WakeUpCommand(context_), c.command);
    EXPECT_EQ(Read(WriteWakeUpFile(context_)), WakeUp(c.command)) << c.command;
  }
}

TEST_F(CommandFilesTest, OverFile) {
  EXPECT_EQ(Read(WriteOverFile(context_)), testbytes::Bytes({0x05, 0x00, 0x7B, 0x45, 0x7D, 0x18, 0x61}));
}

// A command file its owner made read-only is not replaced: the send stops
// with the system's reason instead of sending a file it did not write.
TEST_F(CommandFilesTest, AReadOnlyCommandFileIsNotReplaced) {
  const std::string path = WriteOverFile(context_);
  const std::vector<std::uint8_t> old = Read(path);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int result = testsupport::RunAsPlainUser(dir_.string(), [&] {
    try {
      WriteSequenceFile(context_, {"/work/A.MSG"});
      WriteOverFile(context_);
    } catch (const platform::InOutError& e) {
      return std::string(e.what()) == path + ": Permission denied" ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(result, 0) << "1: replaced, 2: another reason";
  EXPECT_EQ(Read(path), old);
}

TEST_F(CommandFilesTest, SequenceFileNamesUpperCasedAndCut) {
  std::string path = WriteSequenceFile(context_, {"/work/msgs/hello.msg", "/work/msgs/longername2.msg"});
  EXPECT_EQ(path, (dir_ / "SEQ.MSG").string());
  EXPECT_EQ(Read(path), Cmd("{RX,HELLO LONGERNA}"));
  // Two names alike in their first 8 upper-cased characters appear alike.
  EXPECT_EQ(SequenceCommand({"a/LongName1.msg", "b/longname2.MSG", "c/x.y.msg"}), "{RX,LONGNAME LONGNAME X.Y}");
  EXPECT_EQ(SequenceCommand({}), "{RX,}");
}

TEST_F(CommandFilesTest, ScheduleFileJoinsUndatedRowsToTheEntryAbove) {
  std::vector<ScheduleRow> rows = {
      {"/w/hello.msg", "12/25", "10:30"}, {"/w/world.msg", "", ""}, {"/w/third.msg", "DLY", "08:00"}};
  EXPECT_EQ(Read(WriteScheduleFile(context_, rows)), Cmd("{RJ,12/25 10:30 HELLO WORLD; DLY 08:00 THIRD}"));
  std::vector<ScheduleRow> allDated = {{"/w/a.msg", "MON", "09:00"}, {"/w/b.msg", "  ", "x"},
                                       {"/w/c.msg", "M-F", "17:45"}};
  EXPECT_EQ(ScheduleCommand(allDated), "{RJ,MON 09:00 A B; M-F 17:45 C}");
}

TEST_F(CommandFilesTest, InterruptNameKeepsCaseAndLength) {
  EXPECT_EQ(Read(WriteInterruptFile(context_, "Longer_Name.msg", 3)), Cmd("{RI,Longer_Name,03}"));
  EXPECT_EQ(InterruptCommand("dotted.name.msg", 0), "{RI,dotted.name,00}");
}

// A blank beyond the 8 bytes the list records carry, and a blank anywhere in
// the interrupt's name, break no record: the files are those such names
// always gave.
TEST_F(CommandFilesTest, NamesAreJudgedByTheBytesTheirRecordCarries) {
  EXPECT_EQ(Read(WriteSequenceFile(context_, {"/w/Specials for June.MSG", "/w/b.MSG"})), Cmd("{RX,SPECIALS B}"));
  EXPECT_EQ(Read(WriteScheduleFile(context_, {{"/w/Openings 2024.MSG", "12/25", "10:30"}})),
            Cmd("{RJ,12/25 10:30 OPENINGS}"));
  EXPECT_EQ(Read(WriteInterruptFile(context_, "Openings 2024.MSG", 2)), Cmd("{RI,Openings 2024,02}"));
}

// A name the sign cannot take never reaches a record: the writer refuses it
// with the reason before its file is touched, whatever the file held.
TEST_F(CommandFilesTest, NamesTheSignCannotTakeAreRefusedBeforeTheFileIsWritten) {
  const std::vector<std::string> broken = {"/w/A}{CA}.MSG", "/w/two words.MSG", "/w/b.MSG"};
  const std::string braces = "The sign cannot take the name \"A}{CA}\": a name may not hold { } , ; or blanks.";
  const std::string blank = "The sign cannot take the name \"two words\": a name may not hold { } , ; or blanks.";
  const std::string seq = WriteSequenceFile(context_, {"/w/first.msg"});
  const std::string sch = WriteScheduleFile(context_, {{"/w/first.msg", "DLY", "08:00"}});
  const std::string in = WriteInterruptFile(context_, "first.msg", 1);
  const auto seqBefore = Read(seq), schBefore = Read(sch), intBefore = Read(in);
  struct Case {
    const char* what;
    std::function<void()> write;
    std::string reason;
  };
  const Case cases[] = {
      {"sequence", [&] { WriteSequenceFile(context_, broken); }, braces},
      {"sequence, blank only", [&] { WriteSequenceFile(context_, {"/w/b.MSG", "/w/two words.MSG"}); }, blank},
      {"schedule, undated row",
       [&] { WriteScheduleFile(context_, {{"/w/b.msg", "DLY", "08:00"}, {"/w/two words.MSG", "", "  :  "}}); }, blank},
      {"schedule, first row", [&] { WriteScheduleFile(context_, {{"/w/A}{CA}.MSG", "MON", "09:00"}}); }, braces},
      {"interrupt", [&] { WriteInterruptFile(context_, "A}{CA}.MSG", 2); },
       "The sign cannot take the name \"A}{CA}\": a name may not hold { } or commas."},
      {"interrupt, beyond 8 bytes", [&] { WriteInterruptFile(context_, "longername,x.msg", 2); },
       "The sign cannot take the name \"longername,x\": a name may not hold { } or commas."},
      {"sequence, the eighth byte a blank", [&] { WriteSequenceFile(context_, {"/w/longern x.msg"}); },
       "The sign cannot take the name \"longern x\": a name may not hold { } , ; or blanks."},
      {"sequence, beyond ASCII with a blank", [&] { WriteSequenceFile(context_, {"/w/caf\xC3\xA9 x.msg"}); },
       "The sign cannot take the name \"caf\xC3\xA9 x\": a name may not hold { } , ; or blanks."},
  };
  for (const Case& c : cases) {
    try {
      c.write();
      ADD_FAILURE() << c.what << ": written";
    } catch (const signname::NameRefused& e) {
      EXPECT_EQ(e.what(), c.reason) << c.what;
    }
  }
  EXPECT_EQ(Read(seq), seqBefore);
  EXPECT_EQ(Read(sch), schBefore);
  EXPECT_EQ(Read(in), intBefore);
  EXPECT_THROW(SequenceCommand(broken), signname::NameRefused);
  EXPECT_THROW(ScheduleCommand({{"/w/x;y.MSG", "DLY", "08:00"}}), signname::NameRefused);
  EXPECT_THROW(InterruptCommand("tab\there.msg", 0), signname::NameRefused);
}

TEST_F(CommandFilesTest, ResetCommandFileHoldsWakeUpCommandAndEnd) {
  context_.signId = "05";
  context_.crcCheck = true;
  std::string path = WriteCommandFile(context_, ControlCode::ResetSign);
  EXPECT_EQ(path, (dir_ / "Marvanex.MSG").string());
  EXPECT_EQ(Read(path), Concat({WakeUp("{N05,M=AML,D=24 12 09 03 10 05,S}"),
                                testbytes::Bytes({0x05, 0x00, 0x7B, 0x5A, 0x7D, 0xFB, 0xBF}),
                                testbytes::Bytes({0x05, 0x00, 0x7B, 0x45, 0x7D, 0x18, 0x61})}));
}

TEST_F(CommandFilesTest, EveryControlCode) {
  const std::vector<std::pair<ControlCode, std::string>> codes = {
      {ControlCode::ResetSign, "{Z}"},       {ControlCode::ClearAll, "{CA}"},
      {ControlCode::RunAll, "{RA}"},         {ControlCode::RunOldMode, "{RZ}"},
      {ControlCode::AutoDimming, "{S,DM=S}"}, {ControlCode::DayDimming, "{S,DM=F}"},
      {ControlCode::NightDimming, "{S,DM=D}"}};
  for (const auto& [code, text] : codes) {
    auto records = ReadCommandRecords(Read(WriteCommandFile(context_, code)));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].text, text);
    EXPECT_EQ(records[1].crc, BitwiseCrc(text.substr(1, text.size() - 2)));
    EXPECT_EQ(records[2].text, "{E}");
  }
}

TEST_F(CommandFilesTest, EachSendOverwritesThePreviousCopy) {
  WriteSequenceFile(context_, {"a.msg", "b.msg", "c.msg"});
  EXPECT_EQ(Read(WriteSequenceFile(context_, {"z.msg"})), Cmd("{RX,Z}"));
}

TEST_F(CommandFilesTest, FailedWriteRaisesAndKeepsThePreviousFile) {
  std::string path = WriteSequenceFile(context_, {"first.msg"});
  auto before = Read(path);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = old;
  tiny.rlim_cur = 4;  // the disk fills after four bytes
  ::setrlimit(RLIMIT_FSIZE, &tiny);
  EXPECT_THROW(WriteSequenceFile(context_, {"second.msg", "third.msg"}), platform::InOutError);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(Read(path), before);
  context_.systemDirectory = (dir_ / "no-such-dir").string();
  EXPECT_THROW(WriteOverFile(context_), platform::InOutError);
}

}  // namespace
