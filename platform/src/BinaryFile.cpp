#include "platform/BinaryFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fcntl.h>
#include <system_error>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileCalls.h"
#include "platform/InOutError.h"
#include "platform/PathWalk.h"

namespace platform {

namespace {

// The file a path finally names: symbolic links are followed (relative ones
// from their own directory), so a linked file is replaced where it lives and
// the link stays. A dangling end is itself. A loop of links, or a chain longer
// than the system follows, is refused as the system refuses it (`path` names
// the failure), never replaced by a file; so is a link the system would not
// follow either, another user's in a shared sticky folder (a working
// directory of /tmp), which could point at any file of this user's.
std::string ResolveLinks(const std::string& path) {
  const WalkedPath walked = WalkPath(path, StepRule::kSharedFolderLinks);
  if (walked.step.empty()) return walked.path;
  if (walked.error != 0) throw InOutError(path, walked.error);
  // The link met on the way is named where it is not the path's own.
  std::error_code ec;
  const bool own = std::filesystem::absolute(path, ec).lexically_normal() == std::filesystem::path(walked.step);
  throw InOutError(path, own ? walked.reason : walked.reason + " (" + walked.step + ")");
}

// Writes all `size` bytes: 0, or the errno of the write that failed.
int WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

// The folder part of a path, with its slash ("" for a bare name), and the name.
std::pair<std::string, std::string> SplitFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {std::string(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// A pattern for mkostemp beside `target`: its name and six letters more. A
// name near the folder's limit is cut (at a whole character) so that the
// temporary name fits too, or a name the system takes could not be saved.
std::string TemporaryPattern(const std::string& target) {
  const auto [folder, name] = SplitFolder(target);
  const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const std::size_t most = static_cast<std::size_t>(limit > 0 ? limit : NAME_MAX);
  constexpr std::size_t kSuffix = 7;  // ".XXXXXX"
  std::size_t keep = name.size();
  if (keep + kSuffix > most) {
    keep = most > kSuffix ? most - kSuffix : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  return folder + name.substr(0, keep) + ".XXXXXX";
}

// A rename needs only the right to write the folder; a file its owner made
// read-only is kept all the same, with the system's reason.
void CheckMayReplace(const std::string& target, const std::string& path) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return;  // nothing there to keep
  // A folder of the file's name is never replaced: said before anything is
  // written, so a save of several files can stop before the first rename.
  if (S_ISDIR(st.st_mode)) throw InOutError(path, EISDIR);
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) throw InOutError(path, errno);
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {
  const std::string target = ResolveLinks(path_);
  CheckMayReplace(target, path_);
  tempPath_ = TemporaryPattern(target);
  fd_ = ::mkostemp(tempPath_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    throw InOutError(path_, errno);
  }
  targetPath_ = target;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    // The new file takes the old one's mode and, where we may, its owner.
    if (::fchown(fd_, old.st_uid, old.st_gid) != 0) {
      (void)::fchown(fd_, static_cast<uid_t>(-1), old.st_gid);
    }
    ::fchmod(fd_, old.st_mode & 07777);
  } else {
    // mkostemp makes the file 0600; give it the usual mode of a new file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
  }
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(tempPath_.c_str());
  } else if (finished_) {
    finished_ = false;
    ::unlink(tempPath_.c_str());
  }
}

void AtomicFileWriter::Write(const void* data, std::size_t size) {
  if (fd_ < 0) {
    throw InOutError(path_, EBADF);
  }
  if (const int e = WriteAll(fd_, data, size); e != 0) {
    Discard();
    throw InOutError(path_, e);
  }
}

void AtomicFileWriter::WriteU16LE(std::uint16_t v) {
  std::uint8_t b[2] = {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
  Write(b, 2);
}

void AtomicFileWriter::WriteU32LE(std::uint32_t v) {
  std::uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  Write(b, 4);
}

void AtomicFileWriter::Finish() {
  if (finished_) return;
  if (fd_ < 0) {
    throw InOutError(path_, EBADF);
  }
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    int e = errno;
    fd_ = -1;
    ::unlink(tempPath_.c_str());
    throw InOutError(path_, e);
  }
  fd_ = -1;
  finished_ = true;
}

void AtomicFileWriter::Commit() {
  Finish();
  finished_ = false;
  try {
    CheckMayReplace(targetPath_, path_);
  } catch (const InOutError&) {
    ::unlink(tempPath_.c_str());
    throw;
  }
  if (RenameFile(tempPath_.c_str(), targetPath_.c_str()) != 0) {
    int e = errno;
    ::unlink(tempPath_.c_str());
    throw InOutError(path_, e);
  }
}

KeptFile::KeptFile(const std::string& path) : path_(path), targetPath_(ResolveLinks(path)) {
  struct stat st {};
  if (::lstat(targetPath_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;  // nothing to keep
  // A second name for the old file: it outlives the rename over the first.
  for (int attempt = 0; attempt < 100 && keptPath_.empty(); ++attempt) {
    std::string name = TemporaryPattern(targetPath_);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) throw InOutError(path_, errno);
    ::close(fd);
    ::unlink(name.c_str());
    if (LinkFile(targetPath_.c_str(), name.c_str()) == 0) {
      keptPath_ = std::move(name);
    } else if (errno != EEXIST) {
      // A file system without hard links: the bytes are kept instead.
      keptBytes_ = ReadWholeFile(targetPath_);
      hadFile_ = true;
      return;
    }
  }
  if (keptPath_.empty()) throw InOutError(path_, EEXIST);
  hadFile_ = true;
}

KeptFile::~KeptFile() {
  if (!keptPath_.empty() && !stays_) ::unlink(keptPath_.c_str());
}

bool KeptFile::PutBack() noexcept {
  if (!hadFile_) {
    ::unlink(targetPath_.c_str());  // there was none: the new one goes
    return true;
  }
  if (!keptPath_.empty()) {
    if (RenameFile(keptPath_.c_str(), targetPath_.c_str()) == 0) {
      keptPath_.clear();
      return true;
    }
    stays_ = true;  // the only copy of the old file: never deleted
    return false;
  }
  try {
    AtomicFileWriter file(targetPath_);
    file.Write(keptBytes_.data(), keptBytes_.size());
    file.Commit();
    return true;
  } catch (const std::exception&) {
    // Not back in its place: the old bytes are kept beside it instead.
  }
  try {
    std::string name = TemporaryPattern(targetPath_);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool whole = WriteAll(fd, keptBytes_.data(), keptBytes_.size()) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0) whole = false;
    if (!whole) {
      ::unlink(name.c_str());
      return false;
    }
    keptPath_ = std::move(name);
    stays_ = true;
  } catch (const std::exception&) {
  }
  return false;
}

bool AreOneFile(const std::string& first, const std::string& second) {
  const std::string a = ResolveLinks(first);
  const std::string b = ResolveLinks(second);
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) {
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }
  // One of them not made yet: one file when both names are one name in one folder.
  const auto [folderA, nameA] = SplitFolder(a);
  const auto [folderB, nameB] = SplitFolder(b);
  if (nameA != nameB) return false;
  struct stat fa {}, fb {};
  return ::stat(folderA.empty() ? "." : folderA.c_str(), &fa) == 0 &&
         ::stat(folderB.empty() ? "." : folderB.c_str(), &fb) == 0 && fa.st_dev == fb.st_dev &&
         fa.st_ino == fb.st_ino;
}

int OpenRegularFile(const std::string& path, std::uintmax_t* size) {
  // Refused by its kind before any open: opening a serial device raises its
  // lines, which can reset what hangs on them.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) throw InOutError(path, errno);
  if (!S_ISREG(before.st_mode)) throw InOutError(path, kNotARegularFile);
  // What the path names may change before the open: the descriptor is asked again.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) throw InOutError(path, errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    throw InOutError(path, e);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw InOutError(path, kNotARegularFile);
  }
  // A regular file never blocks; its reads are the usual ones again.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (size != nullptr) *size = static_cast<std::uintmax_t>(st.st_size);
  return fd;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  std::uintmax_t size = 0;
  const int fd = OpenRegularFile(path, &size);
  if (size > maxBytes) {
    ::close(fd);
    throw InOutError(path, EFBIG);
  }
  // Read to the bound and one byte on: a file that grew, or one whose size
  // says nothing, is refused all the same.
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(size));
  std::uint8_t buf[65536];
  for (;;) {
    const std::size_t want = std::min(sizeof buf, maxBytes + 1 - bytes.size());
    const ssize_t n = ::read(fd, buf, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      ::close(fd);
      throw InOutError(path, e);
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), buf, buf + n);
    if (bytes.size() > maxBytes) {
      ::close(fd);
      throw InOutError(path, EFBIG);
    }
  }
  ::close(fd);
  return bytes;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace platform
