#pragma once
// Windows bitmap files laid out by hand for tests, byte by byte: the 14-byte
// file header, the 40-byte info header, the palette, then the pixel bytes as
// the test gives them (rows, padding and run-length packets written out).
#include <cstdint>
#include <optional>
#include <vector>

namespace drawtest {

struct BitmapLayout {
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: rows top-down
  std::uint16_t bitsPerPixel = 24;
  std::uint32_t compression = 0;  // 0 rows, 1 RLE8, 2 RLE4
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB, written blue, green, red, 0
  std::vector<std::uint8_t> pixels;
  std::optional<std::uint32_t> offset;  // default: right after the palette
};

inline void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline std::vector<std::uint8_t> BitmapFileBytes(const BitmapLayout& l) {
  const auto headers = static_cast<std::uint32_t>(14 + 40 + 4 * l.palette.size());
  const std::uint32_t offset = l.offset.value_or(headers);
  std::vector<std::uint8_t> b{'B', 'M'};
  PutLe(b, offset + static_cast<std::uint32_t>(l.pixels.size()), 4);  // file size
  PutLe(b, 0, 4);                                                     // reserved
  PutLe(b, offset, 4);
  PutLe(b, 40, 4);
  PutLe(b, static_cast<std::uint32_t>(l.width), 4);
  PutLe(b, static_cast<std::uint32_t>(l.height), 4);
  PutLe(b, 1, 2);  // planes
  PutLe(b, l.bitsPerPixel, 2);
  PutLe(b, l.compression, 4);
  PutLe(b, static_cast<std::uint32_t>(l.pixels.size()), 4);  // image size
  PutLe(b, 2835, 4);                                         // 72 dpi across
  PutLe(b, 2835, 4);                                         // and down
  PutLe(b, static_cast<std::uint32_t>(l.palette.size()), 4);  // colours used
  PutLe(b, 0, 4);                                              // colours important
  for (std::uint32_t c : l.palette) PutLe(b, c & 0xFFFFFFu, 4);
  while (b.size() < offset) b.push_back(0);
  b.insert(b.end(), l.pixels.begin(), l.pixels.end());
  return b;
}

// `bytes` less its last `n`.
inline std::vector<std::uint8_t> CutBy(std::vector<std::uint8_t> bytes, std::size_t n) {
  bytes.resize(bytes.size() > n ? bytes.size() - n : 0);
  return bytes;
}

}  // namespace drawtest
