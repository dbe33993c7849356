#pragma once
// Run-length packets of logo pixels. The stream holds the colour codes of a
// W x H logo in row order and runs on across row ends:
//   run      0x80 + n (n = 1..127), one value byte: n pixels of that value
//   literal  n (n = 1..127), then n value bytes, one pixel each
// The encoder's choice between the two is fixed byte for byte, because the
// frame and logo files that other copies of the programs read must match.
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/ColorCode.h"

namespace logorle {

inline constexpr int kMaxPacketCount = 127;
// Largest W x H the decoder fills; no drawing or file comes near it, and it
// keeps a hostile size from claiming gigabytes.
inline constexpr std::int64_t kMaxDecodePixels = std::int64_t{1} << 24;

// Packets of `codes` (W x H codes in row order; W does not matter since the
// stream runs on across rows). Empty input gives no bytes.
std::vector<std::uint8_t> EncodeLogoPixels(std::span<const colorcode::ColorCode> codes);
inline std::vector<std::uint8_t> EncodeLogoPixels(const std::vector<colorcode::ColorCode>& codes) {
  return EncodeLogoPixels(std::span<const colorcode::ColorCode>(codes));
}
// The codes of a bitmap's pixels in row order (ColorToCode of each pixel).
std::vector<colorcode::ColorCode> ImageToCodes(const QImage& bitmap);
// Packets of a bitmap, one pixel a sign pixel.
std::vector<std::uint8_t> EncodeLogoPixels(const QImage& bitmap);

struct DecodedLogo {
  int width = 0;
  int height = 0;
  std::vector<colorcode::ColorCode> codes;  // width x height, row order; unpainted pixels 0
  std::size_t consumed = 0;                 // stream bytes read, packets read whole
  bool complete = false;                    // all width x height pixels were painted
};

// Decodes one logo from the start of `stream`. Stops at W x H pixels or at the
// end of the data, whichever comes first: a packet that runs past the last
// pixel is read whole and its surplus dropped; a packet cut off by the end of
// the data paints what it has; a packet of count 0 paints nothing. Never
// writes past W x H. Raises std::invalid_argument for a negative size or one
// above kMaxDecodePixels.
DecodedLogo DecodeLogoPixels(std::span<const std::uint8_t> stream, int width, int height);

// A W x H RGB32 bitmap of codes (row order), each pixel expanded as asked;
// pixels beyond `codes` stay black.
QImage CodesToImage(std::span<const colorcode::ColorCode> codes, int width, int height,
                    colorcode::Expansion expansion);
inline QImage DecodedToImage(const DecodedLogo& logo, colorcode::Expansion expansion) {
  return CodesToImage(logo.codes, logo.width, logo.height, expansion);
}

}  // namespace logorle
