#include "draw/BitmapFile.h"

#include <algorithm>
#include <optional>

namespace draw {

namespace {

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // the oldest header: 16-bit sizes, 3-byte palette entries
constexpr std::uint32_t kInfoHeaderSize = 40;  // every later header begins with this one

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> b) : b_(b) {}
  std::uint64_t size() const { return b_.size(); }
  std::uint8_t U8(std::uint64_t at) const { return b_[at]; }
  std::uint16_t U16(std::uint64_t at) const { return static_cast<std::uint16_t>(b_[at] | (b_[at + 1] << 8)); }
  std::uint32_t U32(std::uint64_t at) const {
    return static_cast<std::uint32_t>(b_[at]) | (static_cast<std::uint32_t>(b_[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b_[at + 2]) << 16) | (static_cast<std::uint32_t>(b_[at + 3]) << 24);
  }

 private:
  std::span<const std::uint8_t> b_;
};

// What the headers say about the pixels.
struct Layout {
  std::uint64_t width = 0;
  std::uint64_t rows = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = kRgb;
  std::uint64_t start = 0;  // where the pixel data begins
};

std::optional<Layout> ReadLayout(const Bytes& b) {
  if (b.size() < kFileHeaderSize + 4 || b.U8(0) != 'B' || b.U8(1) != 'M') return std::nullopt;
  const std::uint32_t offset = b.U32(10);
  const std::uint32_t headerSize = b.U32(14);
  Layout l;
  std::uint64_t paletteEntry = 4;
  std::uint64_t colorsUsed = 0;
  std::uint64_t masks = 0;
  if (headerSize == kCoreHeaderSize) {
    if (b.size() < kFileHeaderSize + kCoreHeaderSize) return std::nullopt;
    l.width = b.U16(18);
    l.rows = b.U16(20);
    l.bitsPerPixel = b.U16(24);
    paletteEntry = 3;
  } else if (headerSize >= kInfoHeaderSize) {
    if (b.size() < kFileHeaderSize + kInfoHeaderSize) return std::nullopt;
    const auto width = static_cast<std::int32_t>(b.U32(18));
    const auto height = static_cast<std::int32_t>(b.U32(22));
    if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
    l.width = static_cast<std::uint64_t>(width);
    l.rows = static_cast<std::uint64_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);  // negative: top-down
    l.bitsPerPixel = b.U16(28);
    l.compression = b.U32(30);
    colorsUsed = b.U32(46);
    // The masks of bit fields follow a header that has no room for them.
    if (headerSize == kInfoHeaderSize && l.compression == kBitFields) masks = 12;
    if (headerSize == kInfoHeaderSize && l.compression == kAlphaBitFields) masks = 16;
  } else {
    return std::nullopt;
  }
  if (l.width == 0 || l.rows == 0) return std::nullopt;
  // A palette of at most the colours the pixels can name; the pixels never
  // overlap the headers, whatever the offset field says.
  std::uint64_t colors = 0;
  if (l.bitsPerPixel >= 1 && l.bitsPerPixel <= 8) {
    const std::uint64_t most = std::uint64_t{1} << l.bitsPerPixel;
    colors = colorsUsed == 0 ? most : std::min(colorsUsed, most);
  }
  l.start = std::max<std::uint64_t>(offset, kFileHeaderSize + headerSize + masks + colors * paletteEntry);
  return l;
}

std::string CutText(std::uint64_t have, std::uint64_t need) {
  return "The file ends inside its pixel data: " + std::to_string(have) + " of " + std::to_string(need) +
         " bytes are there.";
}

PixelDataCheck Short(std::string reason) { return {PixelData::kShort, std::move(reason)}; }

PixelDataCheck CheckRows(const Bytes& b, const Layout& l) {
  switch (l.bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return {};
  }
  if ((l.compression == kBitFields || l.compression == kAlphaBitFields) && l.bitsPerPixel != 16 &&
      l.bitsPerPixel != 32) {
    return {};
  }
  // Every row padded to 4 bytes, the last one too: the decoder reads whole rows.
  const std::uint64_t bits = l.width * l.bitsPerPixel;  // below 2^37
  const std::uint64_t stride = (bits + 31) / 32 * 4;
  const std::uint64_t have = b.size() > l.start ? b.size() - l.start : 0;
  if (have / stride >= l.rows) return {PixelData::kWhole, {}};
  if (l.rows > UINT64_MAX / stride) {
    return Short("The file ends inside its pixel data: " + std::to_string(have) + " bytes are there, far fewer than " +
                 std::to_string(l.rows) + " rows of " + std::to_string(stride) + " bytes.");
  }
  return Short(CutText(have, l.rows * stride));
}

PixelDataCheck CheckRunLengths(const Bytes& b, const Layout& l) {
  const bool four = l.compression == kRle4;
  if (l.bitsPerPixel != (four ? 4u : 8u)) return {};
  const PixelDataCheck cut = Short("The file ends inside its run-length data, before the end of the bitmap.");
  // A row ended early, a move (delta) or an end-of-bitmap before the last
  // pixel leaves pixels the stream never gives: the decoder shows whatever its
  // memory held there.
  const PixelDataCheck gap = Short("The run-length data leaves pixels of the bitmap out.");
  std::uint64_t pos = l.start;
  std::uint64_t x = 0;
  std::uint64_t row = 0;
  // Every step takes at least two bytes, so the walk ends within the file.
  for (;;) {
    if (row >= l.rows || (row == l.rows - 1 && x >= l.width)) return {PixelData::kWhole, {}};
    if (b.size() < 2 || pos > b.size() - 2) return cut;
    const std::uint8_t count = b.U8(pos);
    const std::uint8_t code = b.U8(pos + 1);
    pos += 2;
    if (count > 0) {  // one value, or a pair of nibbles, repeated
      x += count;
      continue;
    }
    switch (code) {
      case 0:  // end of line
        if (x < l.width) return gap;
        x = 0;
        ++row;
        break;
      case 1:  // end of bitmap, here before its last pixel
      case 2:  // move right and up
        return gap;
      default: {  // `code` pixels as they are, padded to a 16-bit word
        const std::uint64_t bytes = four ? (code + 1u) / 2u : code;
        if (b.size() - pos < bytes) return cut;
        pos += (bytes + 1) / 2 * 2;
        x += code;
        break;
      }
    }
  }
}

}  // namespace

PixelDataCheck CheckPixelData(std::span<const std::uint8_t> file) {
  const Bytes b(file);
  const std::optional<Layout> layout = ReadLayout(b);
  if (!layout) return {};
  switch (layout->compression) {
    case kRgb:
    case kBitFields:
    case kAlphaBitFields:
      return CheckRows(b, *layout);
    case kRle8:
    case kRle4:
      return CheckRunLengths(b, *layout);
    default:
      return {};
  }
}

QImage DecodeWholeBitmap(std::span<const std::uint8_t> file, std::string& why) {
  why.clear();
  PixelDataCheck check = CheckPixelData(file);
  if (check.verdict == PixelData::kShort) {
    why = std::move(check.reason);
    return QImage();
  }
  QImage image;
  image.loadFromData(file.data(), static_cast<int>(std::min<std::size_t>(file.size(), INT32_MAX)), "BMP");
  return image;
}

}  // namespace draw
