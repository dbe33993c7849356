#pragma once
// Reads a frame file's bytes in order; running past the end is a bad file,
// so no count read from the file can reach beyond its bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "editor/FrameFile.h"

namespace editor::framefile_detail {

class ByteCursor {
 public:
  ByteCursor(std::span<const std::uint8_t> bytes, std::size_t offset = 0) : bytes_(bytes), pos_(offset) {}

  std::size_t Offset() const { return pos_; }
  std::size_t Left() const { return pos_ <= bytes_.size() ? bytes_.size() - pos_ : 0; }
  std::span<const std::uint8_t> Rest() const { return bytes_.subspan(pos_); }

  std::uint8_t U8(const std::string& where) { return Take(1, where)[0]; }
  std::uint16_t U16(const std::string& where) {
    const std::uint8_t* p = Take(2, where);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  }
  std::string Text(std::size_t n, const std::string& where) {
    const std::uint8_t* p = Take(n, where);
    return std::string(reinterpret_cast<const char*>(p), n);
  }
  const std::uint8_t* Take(std::size_t n, const std::string& where) {
    if (Left() < n) throw BadFrameFile("The file ends inside " + where + ".");
    const std::uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
  }
  void Skip(std::size_t n) { pos_ += n < Left() ? n : Left(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_;
};

}  // namespace editor::framefile_detail
