#pragma once
// The calls through which saved files are linked and renamed into place. A
// test puts its own in to play a file system that refuses one of them: a FAT
// stick has no hard links, and a rename can be refused half-way through a save.
#include <functional>

namespace platform {

struct FileCalls {
  // Each as the system call of its name: 0, or -1 with errno set. An empty
  // one is the system's own.
  std::function<int(const char* from, const char* to)> link;
  std::function<int(const char* from, const char* to)> rename;
};

// The calls in use: the system's, unless a test put others in.
int LinkFile(const char* from, const char* to);
int RenameFile(const char* from, const char* to);

// For tests: `calls` are used while the object lives.
class ScopedFileCalls {
 public:
  explicit ScopedFileCalls(FileCalls calls);
  ~ScopedFileCalls();
  ScopedFileCalls(const ScopedFileCalls&) = delete;
  ScopedFileCalls& operator=(const ScopedFileCalls&) = delete;

 private:
  FileCalls calls_;
  FileCalls* previous_;
};

}  // namespace platform
