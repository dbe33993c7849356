#include "platform/FileCalls.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

std::atomic<FileCalls*> installed{nullptr};

}  // namespace

int LinkFile(const char* from, const char* to) {
  const FileCalls* calls = installed.load();
  return calls && calls->link ? calls->link(from, to) : ::link(from, to);
}

int RenameFile(const char* from, const char* to) {
  const FileCalls* calls = installed.load();
  return calls && calls->rename ? calls->rename(from, to) : std::rename(from, to);
}

ScopedFileCalls::ScopedFileCalls(FileCalls calls) : calls_(std::move(calls)), previous_(installed.exchange(&calls_)) {}

ScopedFileCalls::~ScopedFileCalls() { installed.store(previous_); }

}  // namespace platform
