#pragma once
// An advisory lock, exclusive among the processes that take it, on a file of
// its own beside the file it guards. That file is made when missing and never
// written, replaced or removed: a lock on a file that a rename replaces, or
// that is removed while another waits for it, would let two holders in at once.
#include <string>

namespace platform {

class FileLock {
 public:
  // Takes the lock on `lockPath`, waiting up to `waitMs` for the holder to
  // let it go. Raises InOutError when the file cannot be opened (a link in
  // its place is never followed), is no regular file, or stays locked.
  FileLock(const std::string& lockPath, int waitMs);
  ~FileLock();  // lets the lock go
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace platform
