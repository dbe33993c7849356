// Feeds arbitrary bytes to the bitmap pixel-data check and the decoder behind
// it. A file judged whole stays whole with more bytes after it, and one judged
// short stays short with fewer; a whole file the decoder takes has the size
// its header gives.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "draw/BitmapFile.h"

namespace {
std::int64_t S32(const std::uint8_t* d) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(d[0]) | (static_cast<std::uint32_t>(d[1]) << 8) |
                                   (static_cast<std::uint32_t>(d[2]) << 16) | (static_cast<std::uint32_t>(d[3]) << 24));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  const draw::PixelDataCheck check = draw::CheckPixelData(bytes);
  if ((check.verdict == draw::PixelData::kShort) == check.reason.empty()) std::abort();
  if (check.verdict == draw::PixelData::kWhole) {
    std::vector<std::uint8_t> longer = bytes;
    longer.push_back(0);
    if (draw::CheckPixelData(longer).verdict != draw::PixelData::kWhole) std::abort();
  }
  if (check.verdict == draw::PixelData::kShort && size > 0) {
    const std::vector<std::uint8_t> shorter(data, data + size - 1);
    if (draw::CheckPixelData(shorter).verdict == draw::PixelData::kWhole) std::abort();
  }
  // Decoding is bounded: a header may name far more pixels than the file has.
  if (check.verdict == draw::PixelData::kWhole && size >= 54 && bytes[14] == 40) {
    const std::int64_t width = S32(data + 18);
    const std::int64_t height = S32(data + 22);
    const std::int64_t rows = height < 0 ? -height : height;
    if (width * rows > (std::int64_t{1} << 20)) return 0;
    std::string why;
    const QImage image = draw::DecodeWholeBitmap(bytes, why);
    if (!why.empty()) std::abort();
    if (!image.isNull() && (image.width() != width || image.height() != rows)) std::abort();
  }
  return 0;
}
