#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace fs = std::filesystem;

namespace {

fs::path TempDir(const std::string& name) {
  fs::path d = fs::temp_directory_path() / ("binfile-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

// Caps the size of files this process may write, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit old_{};
  void (*previous_)(int);
};

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

TEST(AtomicFileWriter, FullDiskRaisesAndLeavesOldFileWhole) {
  fs::path d = TempDir("full");
  std::string path = (d / "OLD.MSG").string();
  {
    platform::AtomicFileWriter w(path);
    w.Write("previous contents");
    w.Commit();
  }
  {
    FileSizeLimit limit(16);
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

TEST(ReadWholeFile, MissingFileRaisesWithPath) {
  try {
    platform::ReadWholeFile("/nonexistent/file.bin");
    FAIL();
  } catch (const platform::InOutError& e) {
    EXPECT_EQ(e.error(), ENOENT);
  }
}

}  // namespace
