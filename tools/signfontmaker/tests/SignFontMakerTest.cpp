#include "signfontmaker/SignFontMaker.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "TestBytes.h"
#include "platform/BinaryFile.h"

namespace {

using testbytes::Bytes;
using signfontmaker::TaggedFont;

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& v, std::size_t at, std::size_t n) {
  return {v.begin() + static_cast<std::ptrdiff_t>(at), v.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

TEST(SignFontMaker, TaggedFontsHaveTheLayoutSizes) {
  // 6 + 225 * N for the fixed fonts, 256 * 15, and 157 * 30 = 4710 a lead.
  const std::size_t sizes[] = {1806, 1806, 3606, 3606, 3606, 7206, 7206, 3840, 86 * 4710, 3 * 4710};
  for (int i = 0; i < signfontmaker::kFontFiles; ++i) EXPECT_EQ(TaggedFont(i).size(), sizes[i]) << i;
}

TEST(SignFontMaker, TaggedGlyphsSitAtTheirOffsets) {
  const auto f16 = TaggedFont(2);
  EXPECT_EQ(Slice(f16, 0, 6), Bytes({'T', 'A', 'G', 2, 0, 0}));
  EXPECT_EQ(Slice(f16, 22, 16), Bytes({0x20, 0xDF, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_EQ(Slice(f16, 3590, 16), Bytes({0xFF, 0x00, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  const auto f8 = TaggedFont(0);
  EXPECT_EQ(Slice(f8, 6 + (0x41 - 31) * 8, 8), Bytes({0x41, 0xBE, 2, 3, 4, 5, 6, 7}));
  const auto f32 = TaggedFont(6);
  EXPECT_EQ(Slice(f32, 6 + (0x41 - 31) * 32, 8), Bytes({0x41, 0xBE, 0xBE, 0x41, 2, 0xFF, 3, 0xFF}));
  const auto ascii = TaggedFont(7);
  EXPECT_EQ(Slice(ascii, 975, 15), Bytes({0x41, 0xBE, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
  const auto st = TaggedFont(8);
  EXPECT_EQ(Slice(st, 0, 6), Bytes({0xA4, 0x40, 0x5B, 0xBF, 2, 2}));
  EXPECT_EQ(Slice(st, 1890, 4), Bytes({0xA4, 0xA1, 0x5B, 0x5E}));
  EXPECT_EQ(Slice(st, 174270, 4), Bytes({0xC9, 0x40, 0x36, 0xBF}));
  EXPECT_EQ(Slice(st, st.size() - 30, 4), Bytes({0xF9, 0xFE, 0x06, 0x01}));
  const auto sp = TaggedFont(9);
  EXPECT_EQ(Slice(sp, 0, 4), Bytes({0xA1, 0x40, 0x5E, 0xBF}));
}

TEST(SignFontMaker, TruncatedCopyKeepsTheFirstBytes) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  signfontmaker::WriteTruncatedTaggedFont(dir.path().toStdString(), 2, 30);
  const auto bytes = platform::ReadWholeFile(dir.path().toStdString() + "/XMI0816.PTN");
  EXPECT_EQ(bytes, Slice(TaggedFont(2), 0, 30));
}

TEST(SignFontMaker, EncodeGlyphPutsColumnZeroInBitSeven) {
  signfontmaker::Bitmap b;
  b.width = 16;
  b.height = 16;
  b.pixels.assign(256, false);
  b.pixels[0] = true;            // (0, 0)
  b.pixels[1 * 16 + 8] = true;   // (8, 1)
  b.pixels[1 * 16 + 15] = true;  // (15, 1)
  const auto wide = signfontmaker::EncodeGlyph(signfontmaker::Layout::kFixed32, b);
  ASSERT_EQ(wide.size(), 32u);
  EXPECT_EQ(Slice(wide, 0, 4), Bytes({0x80, 0x00, 0x00, 0x81}));
  const auto narrow = signfontmaker::EncodeGlyph(signfontmaker::Layout::kFixed8, b);
  EXPECT_EQ(narrow, Bytes({0x80, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(SignFontMaker, ParsesBothConsoleFontVersions) {
  // PSF1: magic 36 04, mode 02 (Unicode table), 2 rows a glyph; 256 glyphs.
  std::vector<std::uint8_t> psf1 = Bytes({0x36, 0x04, 0x02, 0x02});
  for (int g = 0; g < 256; ++g) psf1.insert(psf1.end(), {static_cast<std::uint8_t>(g), 0x01});
  // glyph 0 <- U+0041, glyph 1 <- U+00C7 then a sequence that is skipped, the rest none.
  psf1.insert(psf1.end(), {0x41, 0x00, 0xFF, 0xFF, 0xC7, 0x00, 0xFE, 0xFF, 0x42, 0x00, 0xFF, 0xFF});
  for (int g = 2; g < 256; ++g) psf1.insert(psf1.end(), {0xFF, 0xFF});
  const auto a = signfontmaker::ParsePsf(psf1);
  EXPECT_EQ(a.width, 8);
  EXPECT_EQ(a.height, 2);
  ASSERT_EQ(a.glyphs.size(), 256u);
  EXPECT_EQ(a.glyphOf.at(U'A'), 0);
  EXPECT_EQ(a.glyphOf.at(U'\u00C7'), 1);
  EXPECT_EQ(a.glyphOf.count(U'B'), 0u);
  EXPECT_TRUE(a.glyphs[1].At(7, 0));   // byte 0x01: rightmost pixel
  EXPECT_FALSE(a.glyphs[1].At(0, 0));
  EXPECT_TRUE(a.glyphs[1].At(7, 1));

  // PSF2: header of 32 bytes, flags 1, 2 glyphs of 10 x 1 (2 bytes), UTF-8 table.
  std::vector<std::uint8_t> psf2 = Bytes({0x72, 0xB5, 0x4A, 0x86, 0, 0, 0, 0, 32, 0, 0, 0, 1, 0, 0, 0,
                                          2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0});
  psf2.insert(psf2.end(), {0x80, 0x40, 0x00, 0xC0});
  psf2.insert(psf2.end(), {'x', 0xFF, 0xE2, 0x82, 0xAC, 0xFF});  // glyph 1 <- U+20AC
  const auto b = signfontmaker::ParsePsf(psf2);
  EXPECT_EQ(b.width, 10);
  EXPECT_TRUE(b.glyphs[0].At(0, 0));
  EXPECT_TRUE(b.glyphs[0].At(9, 0));
  EXPECT_TRUE(b.glyphs[1].At(8, 0));
  EXPECT_EQ(b.glyphOf.at(U'x'), 0);
  EXPECT_EQ(b.glyphOf.at(U'\u20AC'), 1);

  EXPECT_THROW(signfontmaker::ParsePsf(Bytes({0x36, 0x04, 0x00, 0x10, 1, 2})), std::runtime_error);
  EXPECT_THROW(signfontmaker::ParsePsf(Bytes({1, 2, 3, 4})), std::runtime_error);
}

TEST(SignFontMaker, ParsesUnifontLines) {
  const auto font = signfontmaker::ParseUnifontHex(
      "0041:0000000018242442427E424242420000\n"
      "4E00:0000000000000000000000000000FFFE00000000000000000000000000000000\n"
      "bad line\n");
  ASSERT_EQ(font.size(), 2u);
  const auto& a = font.at(U'A');
  EXPECT_EQ(a.width, 8);
  EXPECT_TRUE(a.At(3, 4));  // 0x18 row 4: columns 3 and 4
  EXPECT_TRUE(a.At(4, 4));
  EXPECT_FALSE(a.At(2, 4));
  const auto& one = font.at(U'\u4E00');
  EXPECT_EQ(one.width, 16);
  EXPECT_TRUE(one.At(0, 7));
  EXPECT_TRUE(one.At(14, 7));
  EXPECT_FALSE(one.At(15, 7));
}

TEST(SignFontMaker, CharacterMappings) {
  EXPECT_EQ(signfontmaker::SignCodeToUnicode(0x41), U'A');
  EXPECT_EQ(signfontmaker::SignCodeToUnicode(0x80), U'\u00C7');
  EXPECT_EQ(signfontmaker::SignCodeToUnicode(0x8A), U'\u00E8');
  EXPECT_EQ(signfontmaker::Big5PairToUnicode(0xA4, 0x40), U'\u4E00');
  EXPECT_EQ(signfontmaker::Big5PairToUnicode(0xA1, 0x40), U'\u3000');
  EXPECT_EQ(signfontmaker::TrailOfSlot(0), 0x40);
  EXPECT_EQ(signfontmaker::TrailOfSlot(62), 0x7E);
  EXPECT_EQ(signfontmaker::TrailOfSlot(63), 0xA1);
  EXPECT_EQ(signfontmaker::TrailOfSlot(156), 0xFE);
}

TEST(SignFontMaker, SampleSetFromDebianFonts) {
  const signfontmaker::SampleSources sources;
  if (!std::filesystem::exists(sources.consoleFontDirectory + "/Uni2-VGA16.psf.gz") ||
      !std::filesystem::exists(sources.unifontHex)) {
    GTEST_SKIP() << "Debian console fonts or unifont not installed";
  }
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  signfontmaker::WriteSampleFonts(dir.path().toStdString());
  const std::size_t sizes[] = {1806, 1806, 3606, 3606, 3606, 7206, 7206, 3840, 86 * 4710, 3 * 4710};
  for (int i = 0; i < signfontmaker::kFontFiles; ++i) {
    const auto bytes = platform::ReadWholeFile(dir.path().toStdString() + "/" + signfontmaker::FontFile(i).fileName);
    EXPECT_EQ(bytes.size(), sizes[i]) << i;
  }
  // The VGA 'A' (code 0x41) of "XMI0816.PTN" has lit pixels; the blank (32) has none.
  const auto xmi = platform::ReadWholeFile(dir.path().toStdString() + "/XMI0816.PTN");
  int litA = 0, litBlank = 0;
  for (int r = 0; r < 16; ++r) {
    litA += xmi[static_cast<std::size_t>(6 + (0x41 - 31) * 16 + r)] != 0;
    litBlank += xmi[static_cast<std::size_t>(6 + (32 - 31) * 16 + r)] != 0;
  }
  EXPECT_GT(litA, 4);
  EXPECT_EQ(litBlank, 0);
  // The pair A4 40 (U+4E00, one horizontal stroke) in "MINGST15.PTN": one row lit.
  const auto st = platform::ReadWholeFile(dir.path().toStdString() + "/MINGST15.PTN");
  int rowsLit = 0;
  for (int r = 0; r < 15; ++r) rowsLit += (st[static_cast<std::size_t>(2 * r)] | st[static_cast<std::size_t>(2 * r + 1)]) != 0;
  EXPECT_EQ(rowsLit, 1);
}

}  // namespace
