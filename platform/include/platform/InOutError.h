#pragma once
// The input/output error of the runtime: raised by every failing open, read,
// write, seek and close of the binary and text files the programs keep.
#include <stdexcept>
#include <string>

namespace platform {

class InOutError : public std::runtime_error {
 public:
  // `path` is the file involved, `error` the system's errno for it.
  InOutError(const std::string& path, int error);
  // A failure that has no errno (a short file, a malformed record).
  InOutError(const std::string& path, const std::string& reason);

  int error() const { return error_; }
  const std::string& path() const { return path_; }
  // The reason alone, without the path: the system's text or the given one.
  const std::string& reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
  int error_ = 0;
};

}  // namespace platform
