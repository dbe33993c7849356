#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sys/file.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/BinaryFile.h"
#include "platform/InOutError.h"
#include "platform/ProfileFile.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/FileSizeLimit.h"
#include "testsupport/HostilePaths.h"

namespace fs = std::filesystem;
using platform::ReadProfileString;
using platform::ProfileEntry;
using platform::WriteProfileString;
using platform::WriteProfileStrings;

namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("profile-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "SML_WIN.INI").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteRaw(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadRaw() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesNothing) {
  EXPECT_FALSE(ReadProfileString(path_, "Communication", "PORT"));
  WriteRaw("[Communication]\nPORT=2\n");
  EXPECT_FALSE(ReadProfileString(path_, "System", "PORT"));
  EXPECT_FALSE(ReadProfileString(path_, "Communication", "SPEED"));
  EXPECT_EQ(ReadProfileString(path_, "Communication", "PORT"), "2");
}

TEST_F(ProfileFileTest, ReadsWindowsFileWithCrlfAndMixedCase) {
  WriteRaw("; written elsewhere\r\n[communication]\r\nport = 3\r\nIs Tcp=0\r\n\r\n[SIGN 1]\r\nName= Front door \r\nIP=\r\n");
  EXPECT_EQ(ReadProfileString(path_, "Communication", "PORT"), "3");
  EXPECT_EQ(ReadProfileString(path_, "COMMUNICATION", "IS TCP"), "0");
  EXPECT_EQ(ReadProfileString(path_, "sign 1", "name"), "Front door");
  EXPECT_EQ(ReadProfileString(path_, "SIGN 1", "IP"), "");
}

TEST_F(ProfileFileTest, QuotedValueLosesItsQuotes) {
  WriteRaw("[S]\nA=\"  padded  \"\nB='x'\nC=\"unbalanced\n");
  EXPECT_EQ(ReadProfileString(path_, "S", "A"), "  padded  ");
  EXPECT_EQ(ReadProfileString(path_, "S", "B"), "x");
  EXPECT_EQ(ReadProfileString(path_, "S", "C"), "\"unbalanced");
}

TEST_F(ProfileFileTest, WriteCreatesFileAndAddsSectionsAndKeys) {
  ASSERT_TRUE(WriteProfileString(path_, "Communication", "PORT", "1"));
  ASSERT_TRUE(WriteProfileString(path_, "System", "Sign Width", "160"));
  ASSERT_TRUE(WriteProfileString(path_, "Communication", "SPEED", "6"));
  EXPECT_EQ(ReadRaw(), "[Communication]\r\nPORT=1\r\nSPEED=6\r\n\r\n[System]\r\nSign Width=160\r\n");
}

TEST_F(ProfileFileTest, WriteReplacesInPlaceAndKeepsEverythingElse) {
  WriteRaw("; note\n[System]\nSign Width=160\nExtra=keep me\n[communication]\nport=0\nspeed=6\n[Other]\nx=y\n");
  ASSERT_TRUE(WriteProfileString(path_, "Communication", "PORT", "3"));
  ASSERT_TRUE(WriteProfileString(path_, "Communication", "Sign ID", "7"));
  EXPECT_EQ(ReadRaw(),
            "; note\n[System]\nSign Width=160\nExtra=keep me\n[communication]\nPORT=3\nspeed=6\nSign ID=7\n"
            "[Other]\nx=y\n");
}

TEST_F(ProfileFileTest, EmptyValueIsWrittenAsBareKey) {
  ASSERT_TRUE(WriteProfileString(path_, "SIGN 1", "Name", ""));
  EXPECT_EQ(ReadRaw(), "[SIGN 1]\r\nName=\r\n");
  EXPECT_EQ(ReadProfileString(path_, "SIGN 1", "Name"), "");
}

TEST_F(ProfileFileTest, ValueWrittenByOneProcessIsReadByAnother) {
  std::string cmd = "/bin/sh -c 'printf \"[Communication]\\nPORT=2\\n\" > \"" + path_ + "\"'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(ReadProfileString(path_, "Communication", "PORT"), "2");
  ASSERT_TRUE(WriteProfileString(path_, "Communication", "PORT", "3"));
  std::string check = "grep -qx 'PORT=3' \"" + path_ + "\"";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

TEST_F(ProfileFileTest, FailedWriteReportsFalseAndKeepsFile) {
  EXPECT_FALSE(WriteProfileString((dir_ / "missing-dir" / "x.ini").string(), "S", "K", "V"));
  WriteRaw("[S]\nK=old\n");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  bool writable = ::access(dir_.c_str(), W_OK) == 0;  // root writes anyway
  bool ok = WriteProfileString(path_, "S", "K", "new");
  fs::permissions(dir_, fs::perms::owner_all);
  if (!writable) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadProfileString(path_, "S", "K"), "old");
  }
}

// An existing file the process may not read is never replaced: the write
// fails with the system's reason and the file stays whole.
TEST_F(ProfileFileTest, WriteNeverReplacesAFileItCannotRead) {
  std::string table;
  for (int n = 1; n <= 50; ++n) table += "[SIGN " + std::to_string(n) + "]\r\nName=Sign " + std::to_string(n) + "\r\n";
  WriteRaw(table + "[Communication]\r\nCRC Check=0\r\n");
  ASSERT_EQ(::chmod(path_.c_str(), 0), 0);
  // Root reads any file: the write then runs in a child that gave its rights up.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  }
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
    std::string reason;
    const bool ok = WriteProfileString(path_, "Communication", "CRC Check", "1", &reason);
    ::_exit(ok ? 1 : reason.find("ermission") != std::string::npos ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported success, 2: no reason, 3: could not drop rights";
  ASSERT_EQ(::chmod(path_.c_str(), 0644), 0);
  EXPECT_EQ(ReadRaw(), table + "[Communication]\r\nCRC Check=0\r\n");
}

// A value reads back as it was written, blanks at its ends and quotes of its
// own included: such a value is written inside one pair of quotes.
TEST_F(ProfileFileTest, EveryValueReadsBackAsWritten) {
  WriteRaw("[SIGN 1]\r\nIP=10.0.0.7\r\n");
  for (const std::string value : {"Front door ", " Front door", "  ", "\"quoted\"", "'single'", "\" a \"", "\"",
                                  "it's", "plain", "\"open", ""}) {
    SCOPED_TRACE("[" + value + "]");
    ASSERT_TRUE(WriteProfileString(path_, "SIGN 1", "Name", value));
    EXPECT_EQ(ReadProfileString(path_, "SIGN 1", "Name"), value);
    EXPECT_EQ(ReadProfileString(path_, "SIGN 1", "IP"), "10.0.0.7");
  }
  // Only what needs them gets quotes.
  ASSERT_TRUE(WriteProfileString(path_, "SIGN 1", "Name", "Front door "));
  ASSERT_TRUE(WriteProfileString(path_, "SIGN 1", "TEL", "555 0100"));
  EXPECT_EQ(ReadRaw(), "[SIGN 1]\r\nIP=10.0.0.7\r\nName=\"Front door \"\r\nTEL=555 0100\r\n");
}

// A settings file its owner made read-only is not replaced: the write fails
// with the system's reason, though the folder may be written.
TEST_F(ProfileFileTest, WriteNeverReplacesAReadOnlyFile) {
  WriteRaw("[Communication]\r\nCRC Check=0\r\n");
  ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
  const int result = testsupport::RunAsPlainUser(dir_.string(), [&] {
    std::string reason;
    const bool ok = WriteProfileString(path_, "Communication", "CRC Check", "1", &reason);
    return ok ? 1 : reason == "Permission denied" ? 0 : 2;
  });
  EXPECT_EQ(result, 0) << "1: reported success, 2: another reason";
  EXPECT_EQ(ReadRaw(), "[Communication]\r\nCRC Check=0\r\n");
}

// A settings path that is no regular file reads as missing at once and is not
// written over: the write names the reason.
TEST_F(ProfileFileTest, PathThatIsNoRegularFileIsNeitherWaitedOnNorReplaced) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    fs::remove_all(path_);
    const auto fifo = testsupport::MakeHostilePath(kind, path_);
    EXPECT_EQ(ReadProfileString(path_, "System", "Sign Width"), std::nullopt);
    std::string reason;
    EXPECT_FALSE(WriteProfileString(path_, "System", "Sign Width", "160", &reason));
    EXPECT_EQ(reason, "is not a regular file");
    if (fifo) {
      EXPECT_FALSE(fifo->Released()) << "a read waited for a writer";
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  }
  EXPECT_TRUE(fs::is_directory(path_));
}

// Many keys in one write: the bytes are those of one write per key, as laid
// out by hand here, comments, unknown keys and line ends kept.
TEST_F(ProfileFileTest, ManyKeysInOneWriteLeaveTheBytesOfOneWriteEach) {
  struct Case {
    const char* what;
    const char* before;  // nullptr: no file
    const char* after;
  };
  const std::vector<ProfileEntry> entries = {{"SIGN 1", "Name", "Front door "}, {"SIGN 1", "IP", ""},
                                             {"Communication", "PORT", "2"},    {"SIGN 2", "Name", "Yard"},
                                             {"communication", "SPEED", "6"}};
  const Case cases[] = {
      {"no file", nullptr,
       "[SIGN 1]\r\nName=\"Front door \"\r\nIP=\r\n\r\n[Communication]\r\nPORT=2\r\nSPEED=6\r\n\r\n[SIGN 2]\r\n"
       "Name=Yard\r\n"},
      {"LF lines, a comment and a key of another program",
       "; ours\n[Communication]\nport=0\nSign ID=4\n[System]\nSign Width=96\n",
       "; ours\n[Communication]\nPORT=2\nSign ID=4\nSPEED=6\n[System]\nSign Width=96\n\n[SIGN 1]\n"
       "Name=\"Front door \"\nIP=\n\n[SIGN 2]\nName=Yard\n"},
      {"CRLF lines, blank lines between sections, no line end on the last key",
       "[SIGN 2]\r\nName=Old\r\nTEL=5\r\n\r\n\r\n[SIGN 1]\r\nIP=1.2.3.4",
       "[SIGN 2]\r\nName=Yard\r\nTEL=5\r\n\r\n\r\n[SIGN 1]\r\nIP=\r\nName=\"Front door \"\r\n\r\n[Communication]\r\n"
       "PORT=2\r\nSPEED=6\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(path_);
    if (c.before) WriteRaw(c.before);
    std::string reason = "stale";
    ASSERT_TRUE(WriteProfileStrings(path_, entries, &reason));
    EXPECT_EQ(reason, "");
    EXPECT_EQ(ReadRaw(), c.after);
    // The same keys written one at a time leave the same bytes.
    fs::remove(path_);
    if (c.before) WriteRaw(c.before);
    for (const ProfileEntry& e : entries) ASSERT_TRUE(WriteProfileString(path_, e.section, e.key, e.value));
    EXPECT_EQ(ReadRaw(), c.after);
  }
}

// A write of many keys is one replacement: a disk that fills up part-way
// through it leaves the old file, byte for byte.
TEST_F(ProfileFileTest, AWriteOfManyKeysThatFailsPartWayChangesNothing) {
  const std::string before = "[SIGN 1]\r\nName=\r\n[Communication]\r\nPORT=0\r\n";
  WriteRaw(before);
  std::vector<ProfileEntry> entries;
  for (int n = 1; n <= 20; ++n) entries.push_back({"SIGN " + std::to_string(n), "Name", "Sign " + std::to_string(n)});
  std::string reason;
  bool ok = true;
  {
    testsupport::FileSizeLimit disk(before.size() + 100);  // room for some of the keys
    ok = WriteProfileStrings(path_, entries, &reason);
  }
  EXPECT_FALSE(ok);
  EXPECT_EQ(reason, "File too large");
  EXPECT_EQ(ReadRaw(), before);
  // Beside the file only its lock file, which stays for the saves to come.
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_)) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"SML_WIN.INI", "SML_WIN.INI.lock"})) << "a temporary file stayed";
}

// The reader of the whole file: a missing file is empty, one over the bound
// is refused with EFBIG, before anything of it is taken.
TEST_F(ProfileFileTest, LoadTellsAMissingFileFromOneThatCannotBeRead) {
  EXPECT_EQ(platform::LoadProfile(path_).Text(), "");
  WriteRaw("[S]\nK=V\n; " + std::string(platform::kMaxProfileFileBytes, 'x') + "\n");
  try {
    platform::LoadProfile(path_);
    ADD_FAILURE() << "a file over the bound was read";
  } catch (const platform::InOutError& e) {
    EXPECT_EQ(e.error(), EFBIG);
  }
  EXPECT_EQ(ReadProfileString(path_, "S", "K"), std::nullopt);
  std::string reason;
  EXPECT_FALSE(WriteProfileString(path_, "S", "K", "W", &reason));
  EXPECT_EQ(reason, "File too large");
  WriteRaw("[S]\nK=V\n");
  const platform::ProfileText text = platform::LoadProfile(path_);
  EXPECT_EQ(text.Get("s", "k"), "V");
  EXPECT_EQ(text.Text(), "[S]\nK=V\n");
}

// A settings file saved by a Windows editor starts with a UTF-8 byte-order
// mark: it is no part of the first section's name, and a write keeps it.
TEST_F(ProfileFileTest, AByteOrderMarkIsSkippedOnReadingAndKeptOnWriting) {
  const std::string bom = "\xEF\xBB\xBF";
  WriteRaw(bom + "[SIGN 1]\r\nName=Front\r\n[Communication]\r\nPORT=1\r\n");
  EXPECT_EQ(ReadProfileString(path_, "SIGN 1", "Name"), "Front");
  EXPECT_EQ(ReadProfileString(path_, "Communication", "PORT"), "1");
  ASSERT_TRUE(WriteProfileString(path_, "SIGN 1", "Name", "Gate"));
  EXPECT_EQ(ReadRaw(), bom + "[SIGN 1]\r\nName=Gate\r\n[Communication]\r\nPORT=1\r\n");
  // A key before any section, after the mark, is still no key of a section.
  WriteRaw(bom + "PORT=3\n[Communication]\nSPEED=2\n");
  EXPECT_EQ(ReadProfileString(path_, "Communication", "PORT"), std::nullopt);
  EXPECT_EQ(ReadProfileString(path_, "Communication", "SPEED"), "2");
  // Only those three bytes at the very start are the mark: the same bytes
  // elsewhere, or a part of them, stay part of the text.
  WriteRaw("\xEF\xBB[S]\nK=V\n");
  EXPECT_EQ(ReadProfileString(path_, "S", "K"), std::nullopt);
  WriteRaw("[S]\nK=" + bom + "V\n");
  EXPECT_EQ(ReadProfileString(path_, "S", "K"), bom + "V");
  ASSERT_TRUE(WriteProfileString(path_, "S", "L", "W"));
  EXPECT_EQ(ReadRaw(), "[S]\nK=" + bom + "V\nL=W\n");
}

// Lines end in CRLF, LF or a lone CR, as the program that saved the file had
// it; each line keeps its own end, and a new line takes the end of the line
// before it.
TEST_F(ProfileFileTest, EveryKindOfLineEndReadsAndIsKept) {
  struct Case {
    const char* what;
    std::string before;
    std::string after;  // with PORT=2 and [System] Sign Width=96 written
  };
  const Case cases[] = {
      {"lone CR", "[Communication]\rPORT=0\rCRC Check=1\r",
       "[Communication]\rPORT=2\rCRC Check=1\r\r[System]\rSign Width=96\r"},
      {"LF", "[Communication]\nPORT=0\nCRC Check=1\n",
       "[Communication]\nPORT=2\nCRC Check=1\n\n[System]\nSign Width=96\n"},
      {"CRLF", "[Communication]\r\nPORT=0\r\nCRC Check=1\r\n",
       "[Communication]\r\nPORT=2\r\nCRC Check=1\r\n\r\n[System]\r\nSign Width=96\r\n"},
      {"mixed, the last line without an end", "[Communication]\r\nPORT=0\nCRC Check=1\r[Other]\nx=y",
       "[Communication]\r\nPORT=2\nCRC Check=1\r[Other]\nx=y\r\n\r\n[System]\r\nSign Width=96\r\n"},
      {"lone CR, blank lines", "[Communication]\r\rPORT=0\r\r\rCRC Check=1\r",
       "[Communication]\r\rPORT=2\r\r\rCRC Check=1\r\r[System]\rSign Width=96\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteRaw(c.before);
    EXPECT_EQ(ReadProfileString(path_, "Communication", "PORT"), "0");
    EXPECT_EQ(ReadProfileString(path_, "Communication", "CRC Check"), "1");
    ASSERT_TRUE(WriteProfileStrings(path_, {{"Communication", "PORT", "2"}, {"System", "Sign Width", "96"}}));
    EXPECT_EQ(ReadRaw(), c.after);
    EXPECT_EQ(ReadProfileString(path_, "Communication", "CRC Check"), "1");
  }
  // Nothing changed in memory: the text is the file's, byte for byte.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::ProfileText(c.before).Text(), c.before);
    EXPECT_EQ(platform::ProfileText("\xEF\xBB\xBF" + c.before).Text(), "\xEF\xBB\xBF" + c.before);
  }
}

// Two processes saving at once, each one key per save: every save reads the
// file, changes it and renames it into place under the lock, so no save
// starts from a file the other is about to replace and none of the keys is lost.
TEST_F(ProfileFileTest, TwoProcessesSavingAtOnceLoseNoKey) {
  constexpr int kKeys = 200;
  WriteRaw("[Communication]\r\nPORT=0\r\n");
  int go[2];
  ASSERT_EQ(::pipe(go), 0);
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      ::close(go[1]);
      char start;
      if (::read(go[0], &start, 1) != 0) ::_exit(3);  // both start when the pipe closes
      const std::string section = c == 0 ? "Controller" : "Editor";
      for (int k = 0; k < kKeys; ++k) {
        if (!WriteProfileString(path_, section, "Key " + std::to_string(k), std::to_string(k))) ::_exit(1);
      }
      ::_exit(0);
    }
  }
  ::close(go[0]);
  ::close(go[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a save failed";
  }
  const platform::ProfileText file = platform::LoadProfile(path_);
  int missing = 0;
  for (const char* section : {"Controller", "Editor"}) {
    for (int k = 0; k < kKeys; ++k) missing += file.Get(section, "Key " + std::to_string(k)) != std::to_string(k);
  }
  EXPECT_EQ(missing, 0) << "of " << 2 * kKeys;
  EXPECT_EQ(file.Get("Communication", "PORT"), "0");
}

// A lock another process keeps for longer than the save waits: the save says
// so and writes nothing. Once the lock is free, the same save goes through.
TEST_F(ProfileFileTest, ASaveThatCannotHaveTheLockWritesNothing) {
  const std::string before = "[Communication]\r\nPORT=0\r\n";
  WriteRaw(before);
  const std::string lock = path_ + ".lock";
  EXPECT_EQ(platform::ProfileLockPath(path_), lock);
  int held[2], done[2];
  ASSERT_EQ(::pipe(held), 0);
  ASSERT_EQ(::pipe(done), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
    (void)!::write(held[1], "x", 1);
    char end;
    (void)!::read(done[0], &end, 1);  // until the test is done with it
    ::_exit(0);
  }
  char x;
  ASSERT_EQ(::read(held[0], &x, 1), 1);
  std::string reason;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WriteProfileString(path_, "Communication", "PORT", "2", &reason));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(reason, "another program has held " + lock + " for more than 3 seconds");
  EXPECT_GE(waited, std::chrono::milliseconds(platform::kProfileLockWaitMs));
  EXPECT_LT(waited, std::chrono::milliseconds(platform::kProfileLockWaitMs + 2000));
  EXPECT_EQ(ReadRaw(), before);
  (void)!::write(done[1], "x", 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(WriteProfileString(path_, "Communication", "PORT", "2", &reason)) << reason;
  EXPECT_EQ(ReadRaw(), "[Communication]\r\nPORT=2\r\n");
}

// The lock file is never followed as a link: one planted in its place is
// refused with the reason, and the file it points at stays as it was.
TEST_F(ProfileFileTest, ALinkInPlaceOfTheLockFileIsRefused) {
  WriteRaw("[Communication]\r\nPORT=0\r\n");
  const std::string victim = (dir_ / "victim").string();
  std::ofstream(victim) << "keep";
  ASSERT_EQ(::symlink(victim.c_str(), platform::ProfileLockPath(path_).c_str()), 0);
  std::string reason;
  EXPECT_FALSE(WriteProfileString(path_, "Communication", "PORT", "2", &reason));
  EXPECT_NE(reason.find(platform::ProfileLockPath(path_)), std::string::npos) << reason;
  EXPECT_EQ(ReadRaw(), "[Communication]\r\nPORT=0\r\n");
  std::ifstream in(victim);
  std::string kept;
  in >> kept;
  EXPECT_EQ(kept, "keep");
}

// The defaults of a program that found no file go in only where the file,
// made meanwhile by another program, holds no such key.
TEST_F(ProfileFileTest, AKeyWrittenOnlyWhereMissingLeavesOneTheFileHolds) {
  WriteRaw("[Communication]\nPORT=2\n");
  ASSERT_TRUE(WriteProfileStrings(path_, {{"Communication", "PORT", "0", true},
                                          {"Communication", "SPEED", "6", true},
                                          {"System", "Sign Width", "160", true}}));
  EXPECT_EQ(ReadRaw(), "[Communication]\nPORT=2\nSPEED=6\n\n[System]\nSign Width=160\n");
  // An empty value is a value the file holds too.
  WriteRaw("[SIGN 1]\nName=\n");
  ASSERT_TRUE(WriteProfileStrings(path_, {{"SIGN 1", "Name", "Front", true}, {"SIGN 1", "IP", "", false}}));
  EXPECT_EQ(ReadRaw(), "[SIGN 1]\nName=\nIP=\n");
}

// What a program read, or last saved, is what a later save compares with:
// only keys whose value differs (by their names, in any case) are changed.
TEST(ProfileKeysRead, OnlyValuesChangedSinceTheyWereTakenAreChanged) {
  platform::ProfileKeysRead read;
  const std::vector<ProfileEntry> start = {{"Communication", "PORT", "0"}, {"Communication", "SPEED", "6"},
                                           {"SIGN 1", "Name", ""}};
  EXPECT_EQ(read.Changed(start).size(), 3u) << "nothing taken yet: every key is changed";
  read.Take(start);
  EXPECT_TRUE(read.Changed(start).empty());
  const std::vector<ProfileEntry> now = {{"communication", "port", "0"}, {"Communication", "SPEED", "7"},
                                         {"SIGN 1", "Name", " "}, {"SIGN 2", "Name", ""}};
  const std::vector<ProfileEntry> changed = read.Changed(now);
  ASSERT_EQ(changed.size(), 3u);
  EXPECT_EQ(changed[0].key + "=" + changed[0].value, "SPEED=7");
  EXPECT_EQ(changed[1].section + "/" + changed[1].value, "SIGN 1/ ");
  EXPECT_EQ(changed[2].section, "SIGN 2");
  read.Take({changed[0]});
  EXPECT_EQ(read.Changed(now).size(), 2u) << "a saved key counts as the file's";
}

TEST_F(ProfileFileTest, FailedWriteGivesTheReason) {
  std::string reason;
  EXPECT_FALSE(WriteProfileString((dir_ / "missing-dir" / "x.ini").string(), "S", "K", "V", &reason));
  EXPECT_NE(reason.find("No such file or directory"), std::string::npos) << reason;
  // A missing file is simply created, with no reason left behind.
  reason = "stale";
  EXPECT_TRUE(WriteProfileString(path_, "S", "K", "V", &reason));
  EXPECT_EQ(reason, "");
}

}  // namespace
