// The pixel data of bitmap files laid out by hand, measured against their
// headers: every sound layout decodes to its pixels, every cut one is refused
// with its reason.
#include "draw/BitmapFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawtest/BitmapBytes.h"

using namespace draw;
using drawtest::BitmapFileBytes;
using drawtest::BitmapLayout;
using drawtest::CutBy;

namespace {

constexpr std::uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF, K = 0x000000;
using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<std::uint32_t>>;  // top row first

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// One pixel of 24 bits: blue, green, red.
Bytes Bgr(std::uint32_t c) {
  return {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16)};
}
Bytes Bgr(std::initializer_list<std::uint32_t> cs) {
  Bytes out;
  for (std::uint32_t c : cs) out = Join({out, Bgr(c)});
  return out;
}
Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

// 4 x 3, 24 bits: rows of 12 bytes need no padding; stored bottom row first.
const Rows k4x3 = {{R, G, B, W}, {G, B, W, K}, {B, W, K, R}};
BitmapLayout Rgb4x3() {
  return {4, 3, 24, 0, {}, Join({Bgr({B, W, K, R}), Bgr({G, B, W, K}), Bgr({R, G, B, W})}), {}};
}
// 5 x 2, 24 bits: 15 bytes a row and one of padding.
const Rows k5x2 = {{R, G, B, W, K}, {K, W, B, G, R}};
BitmapLayout Rgb5x2() {
  return {5, 2, 24, 0, {}, Join({Bgr({K, W, B, G, R}), Zeros(1), Bgr({R, G, B, W, K}), Zeros(1)}), {}};
}
// 4 x 3, 8 bits, four palette entries: rows of 4 bytes.
const std::vector<std::uint32_t> kPalette = {R, G, B, W};
BitmapLayout Indexed4x3() { return {4, 3, 8, 0, kPalette, {2, 3, 0, 0, 1, 2, 3, 0, 0, 1, 2, 3}, {}}; }
const Rows k4x3Indexed = {{R, G, B, W}, {G, B, W, R}, {B, W, R, R}};
// 4 x 3 RLE8: a run and a literal run on each row, the end-of-line and
// end-of-bitmap markers.
BitmapLayout Rle4x3() {
  return {4, 3, 8, 1, kPalette,
          {0x02, 2, 0x02, 3, 0x00, 0x00,           // bottom row: B B W W
           0x00, 0x04, 1, 2, 3, 0, 0x00, 0x00,     // literal G B W R
           0x03, 0, 0x01, 1, 0x00, 0x01},          // top row: R R R G, end of bitmap
          {}};
}
const Rows k4x3Rle = {{R, R, R, G}, {G, B, W, R}, {B, B, W, W}};

struct Sound {
  const char* what;
  BitmapLayout layout;
  Rows pixels;
};

std::vector<Sound> SoundFiles() {
  BitmapLayout topDown = Rgb4x3();
  topDown.height = -3;
  topDown.pixels = Join({Bgr({R, G, B, W}), Bgr({G, B, W, K}), Bgr({B, W, K, R})});
  BitmapLayout gap = Rgb4x3();
  gap.offset = 14 + 40 + 10;  // pixels after a gap the offset names
  BitmapLayout rleNoEnd = Rle4x3();
  rleNoEnd.pixels.resize(rleNoEnd.pixels.size() - 2);  // the last pixel placed, no end marker
  return {
      {"24 bits, whole", Rgb4x3(), k4x3},
      {"24 bits, rows padded to 4 bytes", Rgb5x2(), k5x2},
      {"24 bits, top-down", topDown, k4x3},
      {"24 bits, after a gap", gap, k4x3},
      {"32 bits", {2, 2, 32, 0, {}, {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0}, {}},
       {{R, W}, {B, G}}},
      {"8 bits", Indexed4x3(), k4x3Indexed},
      {"4 bits, rows padded", {5, 2, 4, 0, kPalette, {0x01, 0x23, 0x00, 0, 0x32, 0x10, 0x20, 0}, {}},
       {{W, B, G, R, B}, {R, G, B, W, R}}},
      {"1 bit, rows padded", {10, 2, 1, 0, {K, W}, {0xAA, 0x80, 0, 0, 0xFF, 0xC0, 0, 0}, {}},
       {{W, W, W, W, W, W, W, W, W, W}, {W, K, W, K, W, K, W, K, W, K}}},
      {"RLE8", Rle4x3(), k4x3Rle},
      {"RLE8 ending on its last pixel", rleNoEnd, k4x3Rle},
      {"RLE8 with an end of line after its last row",
       {4, 2, 8, 1, kPalette, {0x04, 1, 0x00, 0x00, 0x04, 0, 0x00, 0x00, 0x00, 0x01}, {}},
       {{R, R, R, R}, {G, G, G, G}}},
      {"RLE4", {4, 2, 4, 2, kPalette, {0x04, 0x12, 0x00, 0x00, 0x00, 0x04, 0x30, 0x12, 0x00, 0x01}, {}},
       {{W, R, G, B}, {G, B, G, B}}},
  };
}

QImage Expected(const Rows& rows) {
  QImage image(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, 0xFF000000u | rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
  return image;
}

}  // namespace

TEST(BitmapFile, EverySoundLayoutDecodesToItsPixels) {
  for (const Sound& c : SoundFiles()) {
    SCOPED_TRACE(c.what);
    const Bytes bytes = BitmapFileBytes(c.layout);
    EXPECT_EQ(CheckPixelData(bytes).verdict, PixelData::kWhole);
    std::string why = "untouched";
    const QImage image = DecodeWholeBitmap(bytes, why);
    EXPECT_EQ(why, "");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), Expected(c.pixels));
  }
}

TEST(BitmapFile, AFileCutShortIsRefusedWithItsReason) {
  const std::string rle = "The file ends inside its run-length data, before the end of the bitmap.";
  const std::string gap = "The run-length data leaves pixels of the bitmap out.";
  BitmapLayout topDown = Rgb4x3();
  topDown.height = -3;
  BitmapLayout literalCut = Rle4x3();
  literalCut.pixels.resize(9);  // inside the literal run of the middle row
  BitmapLayout beyond = Rgb4x3();
  beyond.height = 0x10000000;  // rows far beyond the file
  const struct {
    const char* what;
    Bytes bytes;
    std::string reason;
  } cases[] = {
      {"24 bits, half the rows", CutBy(BitmapFileBytes(Rgb4x3()), 18),
       "The file ends inside its pixel data: 18 of 36 bytes are there."},
      {"24 bits, one byte short", CutBy(BitmapFileBytes(Rgb4x3()), 1),
       "The file ends inside its pixel data: 35 of 36 bytes are there."},
      {"24 bits, padded rows, the last one's padding missing", CutBy(BitmapFileBytes(Rgb5x2()), 1),
       "The file ends inside its pixel data: 31 of 32 bytes are there."},
      {"24 bits, padded rows, inside the last pixel", CutBy(BitmapFileBytes(Rgb5x2()), 2),
       "The file ends inside its pixel data: 30 of 32 bytes are there."},
      {"24 bits, top-down, the bottom row missing", CutBy(BitmapFileBytes(topDown), 12),
       "The file ends inside its pixel data: 24 of 36 bytes are there."},
      {"24 bits, no pixels at all", CutBy(BitmapFileBytes(Rgb4x3()), 36),
       "The file ends inside its pixel data: 0 of 36 bytes are there."},
      {"24 bits, rows beyond any file", BitmapFileBytes(beyond),
       "The file ends inside its pixel data: 36 of 3221225472 bytes are there."},
      {"8 bits, the top row missing", CutBy(BitmapFileBytes(Indexed4x3()), 4),
       "The file ends inside its pixel data: 8 of 12 bytes are there."},
      {"1 bit, one row of two", {CutBy(BitmapFileBytes({10, 2, 1, 0, {K, W}, {0xAA, 0x80, 0, 0, 0xFF, 0xC0, 0, 0}, {}}), 4)},
       "The file ends inside its pixel data: 4 of 8 bytes are there."},
      {"RLE8, after its first row", CutBy(BitmapFileBytes(Rle4x3()), 14), rle},
      {"RLE8, without its end marker and top row", CutBy(BitmapFileBytes(Rle4x3()), 6), rle},
      {"RLE8, inside a literal run", BitmapFileBytes(literalCut), rle},
      {"RLE8, inside a packet", CutBy(BitmapFileBytes(Rle4x3()), 3), rle},
      {"RLE8, a delta", BitmapFileBytes({4, 2, 8, 1, kPalette, {0x04, 1, 0x00, 0x02, 0, 1, 0x00, 0x01}, {}}), gap},
      {"RLE8, a row ended early",
       BitmapFileBytes({4, 2, 8, 1, kPalette, {0x03, 1, 0x00, 0x00, 0x04, 0, 0x00, 0x01}, {}}), gap},
      {"RLE8, the end of the bitmap before its top row",
       BitmapFileBytes({4, 2, 8, 1, kPalette, {0x04, 1, 0x00, 0x00, 0x00, 0x01}, {}}), gap},
      {"RLE4, after its first row",
       BitmapFileBytes({4, 2, 4, 2, kPalette, {0x04, 0x12, 0x00, 0x00}, {}}), rle},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const PixelDataCheck check = CheckPixelData(c.bytes);
    EXPECT_EQ(check.verdict, PixelData::kShort);
    EXPECT_EQ(check.reason, c.reason);
    std::string why;
    EXPECT_TRUE(DecodeWholeBitmap(c.bytes, why).isNull());
    EXPECT_EQ(why, c.reason);
  }
}

// What is not a bitmap, or not a layout measured here, goes to the decoder,
// which refuses what it cannot read; no reason is made up for it.
TEST(BitmapFile, OtherFilesAreLeftToTheDecoder) {
  BitmapLayout jpeg = Rgb4x3();
  jpeg.compression = 4;
  const std::string text = "BM is how this text begins, but it is no bitmap\n";
  const struct {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"empty", {}},
      {"text", Bytes(text.begin(), text.end())},
      {"cut inside the headers", CutBy(BitmapFileBytes(Rgb4x3()), 40)},
      {"a compression not measured", BitmapFileBytes(jpeg)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CheckPixelData(c.bytes).verdict, PixelData::kUnknown);
    std::string why = "untouched";
    EXPECT_TRUE(DecodeWholeBitmap(c.bytes, why).isNull());
    EXPECT_EQ(why, "");
  }
}
