#pragma once
// Binary files written as a whole: the bytes go to a temporary file beside the
// target, which replaces the target only when Commit() succeeds, so a failure
// part-way leaves the previous file whole. The new file keeps the old one's
// mode (and owner, where the process may set it); a symbolic link is written
// through to its target. An existing target the process may not write (its
// owner made it read-only) is not replaced, though the folder allows it.
// Every failing call raises InOutError.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();  // an uncommitted file is removed
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const void* data, std::size_t size);
  void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
  void WriteByte(std::uint8_t b) { Write(&b, 1); }
  void WriteU16LE(std::uint16_t v);
  void WriteU32LE(std::uint32_t v);

  // Flushes the bytes to disk and closes the temporary file, which stays
  // until Commit() puts it in place or the writer is destroyed. Files saved
  // together are all finished before any of them is committed.
  void Finish();
  // Finishes if need be, then renames over the target.
  void Commit();
  const std::string& path() const { return path_; }

 private:
  void Discard() noexcept;
  std::string path_;
  std::string targetPath_;  // path_ with its symbolic links followed
  std::string tempPath_;
  int fd_ = -1;
  bool finished_ = false;  // closed, the temporary file waiting for its rename
};

// Keeps the file now at `path` (a second name for it beside it) while files
// saved together are put in place, so that a later failure can put it back.
// Raises InOutError when it cannot be kept. A path with no file keeps nothing.
class KeptFile {
 public:
  explicit KeptFile(const std::string& path);
  ~KeptFile();  // the second name goes; the file is wherever it stands
  KeptFile(const KeptFile&) = delete;
  KeptFile& operator=(const KeptFile&) = delete;

  // The old file back in its place; where there was none, the path's file
  // goes. False when it cannot be put back: it then stays, never deleted,
  // under the name KeptAt() gives, which the failure reported should name
  // ("" only when not even its bytes could be kept).
  bool PutBack() noexcept;
  const std::string& KeptAt() const { return keptPath_; }

 private:
  std::string path_;
  std::string targetPath_;  // path_ with its symbolic links followed
  std::string keptPath_;    // the second name, when the file system has them
  std::vector<std::uint8_t> keptBytes_;  // otherwise the old bytes
  bool hadFile_ = false;
  bool stays_ = false;  // not put back: the second name is the old file now
};

// Whether two paths name one file, their links followed: the same file, or,
// where one is not made yet, the same name in the same folder. InOutError
// for a loop of links.
bool AreOneFile(const std::string& first, const std::string& second);

// Larger than any file the programs keep, for readers with no bound of their own.
inline constexpr std::size_t kDefaultMaxFileBytes = std::size_t{64} << 20;

// The reason given for a path that is a FIFO, a device, a directory...
inline constexpr char kNotARegularFile[] = "is not a regular file";

// Opens a file for reading. Anything but a regular file is refused by what
// stat says, before any open (opening a serial device raises its lines), and
// again on the descriptor, which is opened without waiting (a FIFO nobody
// writes would block the open for good). The descriptor, blocking again, and
// its size in `size` where given; InOutError when it cannot be had.
int OpenRegularFile(const std::string& path, std::uintmax_t* size = nullptr);

// Reads the whole file. Raises InOutError when it cannot be opened or read,
// when it is no regular file, and (EFBIG) when it holds more than `maxBytes`,
// before anything of it is read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t maxBytes = kDefaultMaxFileBytes);
bool FileExists(const std::string& path);

}  // namespace platform
