#include "common/LogoRle.h"

#include <gtest/gtest.h>

#include <random>

#include "TestBytes.h"

namespace {

using testbytes::Bytes;
using Codes = std::vector<std::uint8_t>;

Codes Repeat(int n, int value) { return Codes(static_cast<std::size_t>(n), static_cast<std::uint8_t>(value)); }
Codes Join(std::initializer_list<Codes> parts) {
  Codes all;
  for (const Codes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Codes Ramp(int n, int first) {
  Codes v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(first + i));
  return v;
}

struct PacketCase {
  const char* name;
  Codes codes;
  Codes bytes;  // written out from the packet layout
};

TEST(LogoRle, EncoderPacketsByteForByte) {
  const PacketCase cases[] = {
      {"three equal", Bytes({5, 5, 5}), Bytes({0x83, 5})},
      {"pair inside a literal", Bytes({1, 2, 2, 3}), Bytes({0x04, 1, 2, 2, 3})},
      {"three equal split out", Bytes({1, 2, 2, 2, 3}), Bytes({0x01, 1, 0x83, 2, 0x01, 3})},
      {"200 equal", Repeat(200, 7), Bytes({0xFF, 7, 0xC9, 7})},
      {"128 equal", Repeat(128, 9), Bytes({0xFF, 9, 0x01, 9})},
      {"pair at the last pixel", Bytes({1, 2, 2}), Bytes({0x03, 1, 2, 2})},
      {"one pixel", Bytes({0xAB}), Bytes({0x01, 0xAB})},
      {"pair at the end is a run", Bytes({4, 4}), Bytes({0x82, 4})},
      {"run of two then another", Bytes({4, 4, 5}), Bytes({0x03, 4, 4, 5})},
      {"run then a single", Bytes({4, 4, 4, 5}), Bytes({0x83, 4, 0x01, 5})},
      {"nothing", Codes{}, Codes{}},
      {"127 equal", Repeat(127, 3), Bytes({0xFF, 3})},
      // 127 different codes fill a literal; the 128th starts anew.
      {"literal of 128", Ramp(128, 0),
       Join({Bytes({0x7F}), Ramp(127, 0), Bytes({0x01, 127})})},
      // A literal of 126 then three equal: the literal keeps 126, the run takes 3.
      {"literal then run", Join({Ramp(126, 0), Repeat(3, 200)}),
       Join({Bytes({0x7E}), Ramp(126, 0), Bytes({0x83, 200})})},
  };
  for (const PacketCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(logorle::EncodeLogoPixels(c.codes), c.bytes);
  }
}

TEST(LogoRle, BitmapIsEncodedInRowOrderAcrossRows) {
  // 3 x 2: row 0 = 1 2 2, row 1 = 2 9 9; the 2s run on across the row end.
  QImage image(3, 2, QImage::Format_RGB32);
  const int codes[2][3] = {{1, 2, 2}, {2, 9, 9}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) image.setPixel(x, y, colorcode::CodeToColor(static_cast<std::uint8_t>(codes[y][x])));
  EXPECT_EQ(logorle::EncodeLogoPixels(image), Bytes({0x01, 1, 0x83, 2, 0x82, 9}));
  // A white pixel codes 0xFF, palette 4 codes 0xFC, whatever the format.
  QImage rgb888(2, 1, QImage::Format_RGB888);
  rgb888.setPixel(0, 0, qRgb(255, 255, 255));
  rgb888.setPixel(1, 0, colorcode::ColorIndexToColor(4));
  EXPECT_EQ(logorle::ImageToCodes(rgb888), Bytes({0xFF, 0xFC}));
}

struct DecodeCase {
  const char* name;
  Codes stream;
  int width, height;
  Codes codes;
  std::size_t consumed;
  bool complete;
};

TEST(LogoRle, DecoderIsBoundedByTheLogoAndTheData) {
  const DecodeCase cases[] = {
      {"run and literal", Bytes({0x82, 7, 0x02, 1, 2}), 2, 2, Bytes({7, 7, 1, 2}), 5, true},
      {"stops at W x H, bytes after untouched", Bytes({0x84, 3, 0x01, 9}), 2, 2, Bytes({3, 3, 3, 3}), 2, true},
      {"surplus of a run dropped", Bytes({0x85, 3}), 3, 1, Bytes({3, 3, 3}), 2, true},
      {"surplus of a literal dropped, packet read whole", Bytes({0x04, 1, 2, 3, 4, 0x81, 8}), 3, 1,
       Bytes({1, 2, 3}), 5, true},
      {"short stream leaves black", Bytes({0x82, 6}), 2, 2, Bytes({6, 6, 0, 0}), 2, false},
      {"literal cut off by the end", Bytes({0x03, 1, 2}), 2, 2, Bytes({1, 2, 0, 0}), 3, false},
      {"run without its value", Bytes({0x01, 5, 0x83}), 2, 2, Bytes({5, 0, 0, 0}), 3, false},
      {"count-0 packets paint nothing", Bytes({0x00, 0x80, 4, 0x82, 1}), 2, 1, Bytes({1, 1}), 5, true},
      {"zero size reads nothing", Bytes({0x82, 1}), 0, 5, Codes{}, 0, true},
      {"empty stream", Codes{}, 1, 1, Bytes({0}), 0, false},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const logorle::DecodedLogo logo = logorle::DecodeLogoPixels(c.stream, c.width, c.height);
    EXPECT_EQ(logo.codes, c.codes);
    EXPECT_EQ(logo.consumed, c.consumed);
    EXPECT_EQ(logo.complete, c.complete);
    EXPECT_EQ(logo.width, c.width);
    EXPECT_EQ(logo.height, c.height);
  }
}

TEST(LogoRle, DecoderRefusesImpossibleSizes) {
  const Codes stream = Bytes({0x81, 1});
  EXPECT_THROW(logorle::DecodeLogoPixels(stream, -1, 4), std::invalid_argument);
  EXPECT_THROW(logorle::DecodeLogoPixels(stream, 4, -1), std::invalid_argument);
  // 65536 x 65536 overflows 32 bits; it must be refused, not wrapped to 0.
  EXPECT_THROW(logorle::DecodeLogoPixels(stream, 65536, 65536), std::invalid_argument);
  EXPECT_THROW(logorle::DecodeLogoPixels(stream, 0x7FFFFFFF, 0x7FFFFFFF), std::invalid_argument);
}

TEST(LogoRle, RandomStreamsRoundTrip) {
  std::mt19937 random(20261210);
  for (int trial = 0; trial < 300; ++trial) {
    const int width = 1 + static_cast<int>(random() % 200);
    const int height = 1 + static_cast<int>(random() % 16);
    // Few distinct codes and long stretches so runs, pairs and literals all occur.
    const int palette = 1 + static_cast<int>(random() % 4);
    Codes codes;
    while (codes.size() < static_cast<std::size_t>(width * height)) {
      const auto value = static_cast<std::uint8_t>(random() % palette * 37);
      const int stretch = (random() % 3 == 0) ? 1 + static_cast<int>(random() % 300) : 1 + static_cast<int>(random() % 3);
      for (int i = 0; i < stretch && codes.size() < static_cast<std::size_t>(width * height); ++i) codes.push_back(value);
    }
    const Codes stream = logorle::EncodeLogoPixels(codes);
    // Every packet holds 1 to 127 pixels.
    for (std::size_t at = 0; at < stream.size();) {
      const int count = stream[at] & 0x7F;
      ASSERT_GE(count, 1);
      at += (stream[at] & 0x80) ? 2 : 1 + static_cast<std::size_t>(count);
    }
    const logorle::DecodedLogo logo = logorle::DecodeLogoPixels(stream, width, height);
    ASSERT_TRUE(logo.complete);
    ASSERT_EQ(logo.consumed, stream.size());
    ASSERT_EQ(logo.codes, codes) << "trial " << trial;
  }
}

TEST(LogoRle, DecodedCodesPaintWithEitherExpansion) {
  const logorle::DecodedLogo logo = logorle::DecodeLogoPixels(Bytes({0x02, 0xFF, 0xB6, 0x81, 0x1C}), 2, 2);
  const QImage filled = logorle::DecodedToImage(logo, colorcode::Expansion::kFilled);
  const QImage exact = logorle::DecodedToImage(logo, colorcode::Expansion::kExact);
  ASSERT_EQ(filled.size(), QSize(2, 2));
  EXPECT_EQ(filled.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(exact.pixel(0, 0), qRgb(0xE0, 0xE0, 0xC0));
  EXPECT_EQ(filled.pixel(1, 0), qRgb(0xBF, 0xBF, 0xBF));
  EXPECT_EQ(exact.pixel(1, 0), qRgb(0xA0, 0xA0, 0x80));
  EXPECT_EQ(exact.pixel(0, 1), qRgb(0, 0xE0, 0));
  // Pixels the stream never reached stay black.
  EXPECT_EQ(exact.pixel(1, 1), qRgb(0, 0, 0));
}

}  // namespace
