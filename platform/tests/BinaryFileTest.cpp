#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/BinaryFile.h"
#include "platform/InOutError.h"
#include "testsupport/AsPlainUser.h"
#include "testsupport/FileSizeLimit.h"
#include "testsupport/HostilePaths.h"
#include "testsupport/TempDir.h"

namespace fs = std::filesystem;

namespace {

fs::path TempDir(const std::string& name) {
  fs::path d = fs::temp_directory_path() / ("binfile-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

TEST(AtomicFileWriter, CommitReplacesTheFileWithExactBytes) {
  fs::path d = TempDir("commit");
  std::string path = (d / "OUT.MSG").string();
  {
    platform::AtomicFileWriter w(path);
    w.WriteU16LE(0x0105);
    w.WriteByte(0xFF);
    w.Write("ab");
    w.WriteU32LE(0x01020304);
    w.Commit();
  }
  std::vector<std::uint8_t> expect = {0x05, 0x01, 0xFF, 'a', 'b', 0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(platform::ReadWholeFile(path), expect);
  EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 1);
  fs::remove_all(d);
}

// A finished file waits beside its target: the target changes only at the
// commit, and a writer dropped before it takes its temporary file with it.
TEST(AtomicFileWriter, AFinishedFileReplacesNothingUntilItsCommit) {
  fs::path d = TempDir("finish");
  std::string path = (d / "OUT.SML").string();
  {
    platform::AtomicFileWriter w(path);
    w.Write("old");
    w.Commit();
  }
  {
    platform::AtomicFileWriter dropped(path);
    dropped.Write("dropped");
    dropped.Finish();
    EXPECT_EQ(platform::ReadWholeFile(path), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 2);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 1);
  {
    platform::AtomicFileWriter w(path);
    w.Write("new");
    w.Finish();
    w.Finish();  // a second finish changes nothing
    EXPECT_EQ(platform::ReadWholeFile(path), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    w.Commit();
    EXPECT_THROW(w.Commit(), platform::InOutError);
  }
  EXPECT_EQ(platform::ReadWholeFile(path), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 1);
  fs::remove_all(d);
}

TEST(AtomicFileWriter, FullDiskRaisesAndLeavesOldFileWhole) {
  fs::path d = TempDir("full");
  std::string path = (d / "OLD.MSG").string();
  {
    platform::AtomicFileWriter w(path);
    w.Write("previous contents");
    w.Commit();
  }
  {
    testsupport::FileSizeLimit limit(16);
    platform::AtomicFileWriter w(path);
    std::string big(64, 'x');
    try {
      w.Write(big);
      FAIL() << "a write past the limit must raise";
    } catch (const platform::InOutError& e) {
      EXPECT_EQ(e.path(), path);
      EXPECT_NE(e.error(), 0);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    EXPECT_THROW(w.Commit(), platform::InOutError);
  }
  auto bytes = platform::ReadWholeFile(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "previous contents");
  EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 1) << "no temporary left";
  fs::remove_all(d);
}

TEST(AtomicFileWriter, UncommittedWriterLeavesNothing) {
  fs::path d = TempDir("abandon");
  { platform::AtomicFileWriter w((d / "X").string()); w.Write("abc"); }
  EXPECT_TRUE(fs::is_empty(d));
  fs::remove_all(d);
}

std::string Slurp(const fs::path& p) {
  std::vector<std::uint8_t> b = platform::ReadWholeFile(p.string());
  return {b.begin(), b.end()};
}

void WriteWhole(const std::string& path, std::string_view bytes) {
  platform::AtomicFileWriter w(path);
  w.Write(bytes);
  w.Commit();
}

// A rewritten file keeps the mode it had, whatever the umask.
TEST(AtomicFileWriter, KeepsTheModeOfTheFileItReplaces) {
  fs::path d = TempDir("mode");
  for (mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0660}, mode_t{0755}}) {
    SCOPED_TRACE(mode);
    const std::string path = (d / "SML_WIN.INI").string();
    fs::remove(path);
    WriteWhole(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    WriteWhole(path, "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    EXPECT_EQ(Slurp(path), "new");
  }
  fs::remove_all(d);
}

// Root may give the file back to its owner: a file of another user stays theirs.
TEST(AtomicFileWriter, KeepsTheOwnerWhereItMay) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can write a file of another user";
  fs::path d = TempDir("owner");
  const std::string path = (d / "signs.LOG").string();
  WriteWhole(path, "old");
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  WriteWhole(path, "new");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  fs::remove_all(d);
}

// Writing through a symbolic link replaces the link's target and keeps the link.
TEST(AtomicFileWriter, WritesThroughASymbolicLinkToItsTarget) {
  fs::path d = TempDir("link");
  fs::create_directories(d / "shared");
  fs::create_directories(d / "program");
  const fs::path target = d / "shared" / "SML_WIN.INI";
  const fs::path link = d / "program" / "SML_WIN.INI";
  WriteWhole(target.string(), "old");
  fs::create_symlink("../shared/SML_WIN.INI", link);
  WriteWhole(link.string(), "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(target), "new");
  // The temporary file was made beside the target and is gone.
  EXPECT_EQ(std::distance(fs::directory_iterator(d / "shared"), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(d / "program"), fs::directory_iterator()), 1);
  // A link to a link is followed to the end.
  fs::create_symlink("SML_WIN.INI", d / "program" / "again.INI");
  WriteWhole((d / "program" / "again.INI").string(), "newer");
  EXPECT_EQ(Slurp(target), "newer");
  EXPECT_TRUE(fs::is_symlink(d / "program" / "again.INI"));
  fs::remove_all(d);
}

TEST(ReadWholeFile, MissingFileRaisesWithPath) {
  try {
    platform::ReadWholeFile("/nonexistent/file.bin");
    FAIL();
  } catch (const platform::InOutError& e) {
    EXPECT_EQ(e.error(), ENOENT);
  }
}

// A path that is no regular file is refused at once, with the reason in plain
// words, by what stat says: it is never opened (an open of a serial device
// raises its lines), so a FIFO nobody writes is never waited on either.
TEST(ReadWholeFile, RefusesWhatIsNotARegularFileWithoutOpeningIt) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    testsupport::TempDir dir;
    const std::string path = dir.File("SML_WIN.INI");
    const auto hostile = testsupport::MakeHostilePath(kind, path);
    try {
      platform::ReadWholeFile(path, 4096);
      ADD_FAILURE() << "read as a file";
    } catch (const platform::InOutError& e) {
      EXPECT_EQ(e.path(), path);
      EXPECT_EQ(std::string(e.what()), path + ": is not a regular file");
    }
    EXPECT_THROW(platform::OpenRegularFile(path), platform::InOutError);
    EXPECT_FALSE(hostile->Released()) << "the read waited for a writer";
    EXPECT_FALSE(hostile->Opened()) << "opened before it was refused";
  }
}

// The watch the test above relies on sees an open of each path it watches.
TEST(ReadWholeFile, AnOpenOfAHostilePathIsSeen) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    if (kind == testsupport::HostileKind::kDevZeroLink) continue;  // not watched
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    testsupport::TempDir dir;
    const std::string path = dir.File("SIGN.LOG");
    const auto hostile = testsupport::MakeHostilePath(kind, path);
    EXPECT_FALSE(hostile->Opened());
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(hostile->Opened());
  }
}

// A regular file behind a link is read as ever: only what is no file is refused.
TEST(ReadWholeFile, ReadsARegularFileThroughALink) {
  testsupport::TempDir dir;
  dir.Write("REAL.LOG", {1, 2, 3});
  ASSERT_EQ(::symlink("REAL.LOG", dir.File("LINK.LOG").c_str()), 0);
  EXPECT_EQ(platform::ReadWholeFile(dir.File("LINK.LOG")), (std::vector<std::uint8_t>{1, 2, 3}));
  std::uintmax_t size = 0;
  const int fd = platform::OpenRegularFile(dir.File("LINK.LOG"), &size);
  EXPECT_EQ(size, 3u);
  ::close(fd);
}

// A file longer than its reader's bound is refused before it is read; one at
// the bound reads whole.
TEST(ReadWholeFile, RefusesAFileLongerThanItsBound) {
  testsupport::TempDir dir;
  const std::string path = dir.Write("BIG.LOG", std::vector<std::uint8_t>(100, 7));
  EXPECT_EQ(platform::ReadWholeFile(path, 100).size(), 100u);
  try {
    platform::ReadWholeFile(path, 99);
    FAIL() << "a file past its bound was read";
  } catch (const platform::InOutError& e) {
    EXPECT_EQ(e.error(), EFBIG);
    EXPECT_EQ(std::string(e.what()), path + ": File too large");
  }
  // A sparse file of four gigabytes is refused without its bytes being had.
  const std::string huge = dir.File("HUGE.SML");
  ASSERT_EQ(::truncate(dir.Write("HUGE.SML", {}).c_str(), off_t{4} << 30), 0);
  EXPECT_THROW(platform::ReadWholeFile(huge), platform::InOutError);
}

// A file its owner made read-only is not replaced, though the folder may be
// written: the write fails with the system's reason and the file stays whole.
TEST(AtomicFileWriter, NeverReplacesAFileItMayNotWrite) {
  testsupport::TempDir dir;
  const std::string path = dir.File("SIGNS.seq");
  WriteWhole(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const int result = testsupport::RunAsPlainUser(dir.path(), [&] {
    if (::access(dir.path().c_str(), W_OK) != 0) return 4;
    try {
      WriteWhole(path, "new");
    } catch (const platform::InOutError& e) {
      return e.error() == EACCES && std::string(e.what()) == path + ": Permission denied" ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(result, 0) << "1: replaced, 2: another reason, 4: the folder cannot be written";
  EXPECT_EQ(Slurp(path), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "no temporary left";
}

}  // namespace

namespace {

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  return names;
}

// Names as long as the folder takes save, new and over an old file. A name
// cut for its temporary file is cut at a whole character: "é" is two bytes.
TEST(AtomicFileWriter, SavesANameAsLongAsTheFolderTakes) {
  testsupport::TempDir dir;
  std::vector<std::string> names;
  for (std::size_t length = 249; length <= 255; ++length) names.push_back(std::string(length - 4, 'L') + ".LOG");
  std::string accented = "A";
  for (int i = 0; i < 125; ++i) accented += "\xC3\xA9";
  names.push_back(accented + ".LOG");  // 255 bytes; its cut falls inside an "é"
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size());
    const std::string path = dir.File(name);
    WriteWhole(path, "old");
    {
      platform::AtomicFileWriter w(path);
      w.Write("new");
      w.Finish();
      const std::vector<std::string> entries = Names(dir.path());
      ASSERT_EQ(entries.size(), 2u);
      const std::string temp = entries[0] == name ? entries[1] : entries[0];
      EXPECT_LE(temp.size(), 255u);
      const std::size_t kept = temp.size() - 7;
      EXPECT_EQ(temp.substr(0, kept), name.substr(0, kept)) << "beside it, under the start of its name";
      EXPECT_NE(static_cast<unsigned char>(name[kept]) & 0xC0, 0x80) << "cut inside a character";
      w.Commit();
    }
    EXPECT_EQ(Slurp(path), "new");
    // Kept aside while a save of two files is put in place, and put back.
    {
      platform::KeptFile kept(path);
      WriteWhole(path, "newer");
      EXPECT_EQ(Names(dir.path()).size(), 2u);
      EXPECT_TRUE(kept.PutBack());
    }
    EXPECT_EQ(Slurp(path), "new");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{name});
    fs::remove(path);
  }
}

// A loop of links is refused with the system's reason, as a reader refuses
// it; no link is replaced by a file.
TEST(AtomicFileWriter, RefusesALoopOfLinks) {
  testsupport::TempDir dir;
  ASSERT_EQ(::symlink("B.INI", dir.File("A.INI").c_str()), 0);
  ASSERT_EQ(::symlink("A.INI", dir.File("B.INI").c_str()), 0);
  ASSERT_EQ(::symlink("SELF.INI", dir.File("SELF.INI").c_str()), 0);
  for (const char* name : {"A.INI", "B.INI", "SELF.INI"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File(name);
    try {
      WriteWhole(path, "new");
      ADD_FAILURE() << "written";
    } catch (const platform::InOutError& e) {
      EXPECT_EQ(e.error(), ELOOP);
      EXPECT_EQ(std::string(e.what()), path + ": Too many levels of symbolic links");
    }
    EXPECT_THROW(platform::KeptFile kept(path), platform::InOutError);
    try {
      platform::ReadWholeFile(path);
      ADD_FAILURE() << "read";
    } catch (const platform::InOutError& e) {
      EXPECT_EQ(std::string(e.what()), path + ": Too many levels of symbolic links");
    }
  }
  for (const char* name : {"A.INI", "B.INI", "SELF.INI"}) EXPECT_TRUE(fs::is_symlink(dir.File(name))) << name;
  EXPECT_EQ(Names(dir.path()).size(), 3u) << "no temporary left";
}

// Two paths are one file when their links meet, spelt however, or when they
// are one name in one folder that is not made yet; a hard link is one file too.
TEST(AreOneFile, FollowsLinksAndComparesTheFileItself) {
  testsupport::TempDir dir;
  fs::create_directory(dir.File("sub"));
  dir.Write("B.MSG", {1});
  dir.Write("C.MSG", {1});
  fs::create_symlink("B.MSG", dir.File("B.SML"));
  fs::create_symlink("sub/../NEW.MSG", dir.File("NEW.SML"));
  fs::create_hard_link(dir.File("C.MSG"), dir.File("C.SML"));
  struct Case {
    std::string a, b;
    bool one;
  } cases[] = {
      {dir.File("B.SML"), dir.File("B.MSG"), true},
      {dir.File("B.SML"), dir.File("sub/../B.MSG"), true},
      {dir.File("NEW.SML"), dir.File("NEW.MSG"), true},
      {dir.File("C.SML"), dir.File("C.MSG"), true},
      {dir.File("B.MSG"), dir.File("C.MSG"), false},
      {dir.File("X.SML"), dir.File("X.MSG"), false},
      {dir.File("X.MSG"), dir.File("sub/X.MSG"), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::AreOneFile(c.a, c.b), c.one) << c.a << " and " << c.b;
  }
}

}  // namespace
