#include "common/SignFont.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>

#include "common/DoubleByteClass.h"
#include "platform/InOutError.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"
#include "testsupport/HostilePaths.h"
#include "testsupport/TempDir.h"

namespace {

using signfont::GlyphStatus;

constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kRed = qRgb(255, 31, 63);

TEST(SignFontTable, TableOfTheTenFonts) {
  struct Row {
    const char* file;
    const char* caption;
    int width, height;
  };
  const Row rows[] = {
      {"CUR0507.PTN", "Cur   6x8", 6, 8},     {"CUR0707.PTN", "Cur   8x8", 8, 8},
      {"XMI0816.PTN", "Xmi   8x16", 8, 16},   {"XMB0816.PTN", "Xmb   8x16", 8, 16},
      {"PCB0816.PTN", "Pcb   8x16", 8, 16},   {"TSW1016.PTN", "Tsw  11x16", 11, 16},
      {"CURI1216.PTN", "Curi 11x16", 11, 16}, {"MINGAS15.PTN", "Ming ASCII", 8, 16},
      {"MINGST15.PTN", "", 16, 16},           {"MINGSP15.PTN", "", 16, 16},
  };
  for (int i = 0; i < signfont::kSignFontCount; ++i) {
    SCOPED_TRACE(i);
    const signfont::SignFontInfo& f = signfont::FontInfo(i);
    EXPECT_EQ(f.fileName, rows[i].file);
    EXPECT_EQ(f.caption, rows[i].caption);
    EXPECT_EQ(f.cellWidth, rows[i].width);
    EXPECT_EQ(f.cellHeight, rows[i].height);
  }
  EXPECT_THROW(signfont::FontInfo(10), std::out_of_range);
  EXPECT_THROW(signfont::FontInfo(-1), std::out_of_range);
}

TEST(SignFontTable, FindSignFontComparesCaptionsExactly) {
  EXPECT_EQ(signfont::FindSignFont("Cur   6x8"), 0);
  EXPECT_EQ(signfont::FindSignFont("Curi 11x16"), 6);
  EXPECT_FALSE(signfont::FindSignFont("Cur 6x8").has_value());
  EXPECT_FALSE(signfont::FindSignFont("cur   6x8").has_value());
  EXPECT_FALSE(signfont::FindSignFont("Ming ASCII").has_value());  // not among the drawing program's seven
  EXPECT_EQ(signfont::FindSignFont("Ming ASCII", signfont::kEditorFontBoxCount), 7);
  EXPECT_FALSE(signfont::FindSignFont("", signfont::kSignFontCount).has_value());
  EXPECT_FALSE(signfont::FindSignFont("Arial").has_value());
}

TEST(SignFontLayout, GlyphOffsets) {
  EXPECT_EQ(signfont::GlyphOffset(2, 32), 22u);
  EXPECT_EQ(signfont::GlyphOffset(2, 255), 3590u);
  EXPECT_EQ(signfont::GlyphOffset(0, 32), 14u);
  EXPECT_EQ(signfont::GlyphOffset(1, 255), 6u + 224u * 8u);
  EXPECT_EQ(signfont::GlyphOffset(5, 32), 38u);
  EXPECT_EQ(signfont::GlyphOffset(6, 0x41), 6u + 34u * 32u);
  EXPECT_EQ(signfont::GlyphOffset(7, 0x41), 975u);
  EXPECT_EQ(signfont::GlyphOffset(7, 0), 0u);
  EXPECT_FALSE(signfont::GlyphOffset(2, 31).has_value());
  EXPECT_FALSE(signfont::GlyphOffset(0, 0).has_value());
  EXPECT_FALSE(signfont::GlyphOffset(8, 0x41).has_value());
  EXPECT_EQ(signfont::GlyphOffsetST(0xA4, 0x40), 0u);
  EXPECT_EQ(signfont::GlyphOffsetST(0xA4, 0x7E), 62u * 30u);
  EXPECT_EQ(signfont::GlyphOffsetST(0xA4, 0xA1), 1890u);
  EXPECT_EQ(signfont::GlyphOffsetST(0xC9, 0x40), 174270u);
  EXPECT_EQ(signfont::GlyphOffsetST(0xF9, 0xFE), 405060u - 30u);
  EXPECT_EQ(signfont::GlyphOffsetSP(0xA1, 0x40), 0u);
  EXPECT_EQ(signfont::GlyphOffsetSP(0xA3, 0xFE), 14130u - 30u);
  for (int trail : {0x3F, 0x7F, 0xA0, 0xFF}) {
    EXPECT_FALSE(signfont::GlyphOffsetST(0xA4, static_cast<std::uint8_t>(trail)).has_value()) << trail;
  }
  const std::uint32_t sizes[] = {1806, 1806, 3606, 3606, 3606, 7206, 7206, 3840, 405060, 14130};
  for (int i = 0; i < signfont::kSignFontCount; ++i) EXPECT_EQ(signfont::CompleteFileSize(i), sizes[i]) << i;
}

TEST(DoubleByteClass, ClassesAndFonts) {
  struct Case {
    int lead, trail, cls;
  };
  const Case cases[] = {
      {0xC6, 0x7E, 1}, {0xC6, 0xA1, 4}, {0xC7, 0x40, 0}, {0xA3, 0xFE, 2}, {0xF9, 0xFE, 1}, {0xFA, 0x40, 0},
      {0xA4, 0x40, 1}, {0xA4, 0xA1, 1}, {0xC5, 0xFE, 1}, {0xC8, 0xFE, 4}, {0xC7, 0xA1, 4}, {0xC9, 0x40, 1},
      {0xA1, 0x40, 2}, {0xA1, 0x7F, 0}, {0xA4, 0xA0, 0}, {0xA4, 0xFF, 0}, {0xA0, 0x40, 0}, {0x41, 0x41, 0},
      {0xC8, 0x7E, 0}, {0xC6, 0x40, 1},
  };
  for (const Case& c : cases) {
    const auto lead = static_cast<std::uint8_t>(c.lead);
    const auto trail = static_cast<std::uint8_t>(c.trail);
    SCOPED_TRACE(testing::Message() << std::hex << c.lead << " " << c.trail);
    EXPECT_EQ(signfont::DoubleByteClass(lead, trail), c.cls);
    if (c.cls == 4) {
      EXPECT_FALSE(signfont::PairFont(lead, trail).has_value());
    } else {
      EXPECT_EQ(signfont::PairFont(lead, trail), c.cls + 7);
    }
  }
}

TEST(DoubleByteClass, Big5ThroughIconv) {
  EXPECT_EQ(signfont::UnicodeToBig5(U'\u4E00'), std::string("\xA4\x40"));
  EXPECT_EQ(signfont::UnicodeToBig5(U'A'), std::string("A"));
  EXPECT_FALSE(signfont::UnicodeToBig5(U'\u0E01').has_value());  // Thai: not in code page 950
  EXPECT_EQ(signfont::Big5ToUnicode(0xA4, 0x40), U'\u4E00');
  EXPECT_EQ(signfont::Big5ToUnicode(0xA1, 0x40), U'\u3000');
  EXPECT_TRUE(signfont::IsBig5LeadByte(0x81));
  EXPECT_TRUE(signfont::IsBig5LeadByte(0xFE));
  EXPECT_FALSE(signfont::IsBig5LeadByte(0x80));
  EXPECT_FALSE(signfont::IsBig5LeadByte(0xFF));
}

// What the tagged fonts hold, written out from their description (row 0 the
// code, row 1 its complement, later rows their row number; wide fonts
// (code, ~code), (~code, code), then (r, 0xFF); Ming pairs (L, T), (~L, ~T),
// then (r, r)), independently of the readers.
bool TaggedLit(int font, int code, int lead, int trail, int x, int y) {
  auto bit = [](int byte, int column) { return (byte & (0x80 >> column)) != 0; };
  const int c = code & 0xFF;
  switch (font) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4: {
      const int b = y == 0 ? c : y == 1 ? (c ^ 0xFF) : y;
      return bit(b, x);
    }
    case 5:
    case 6: {
      const int b0 = y == 0 ? c : y == 1 ? (c ^ 0xFF) : y;
      const int b1 = y == 0 ? (c ^ 0xFF) : y == 1 ? c : 0xFF;
      return x < 8 ? bit(b0, x) : bit(b1, x - 8);
    }
    case 7: {
      if (y == 15) return false;
      const int b = y == 0 ? c : y == 1 ? (c ^ 0xFF) : y;
      return bit(b, x);
    }
    default: {
      const int r = y - 1;
      const int b0 = r == 0 ? lead : r == 1 ? (lead ^ 0xFF) : r;
      const int b1 = r == 0 ? trail : r == 1 ? (trail ^ 0xFF) : r;
      return x < 8 ? bit(b0, x) : bit(b1, x - 8);
    }
  }
}

class TaggedFonts : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    signfontmaker::WriteTaggedFonts(Dir());
  }
  std::string Dir() const { return dir_.path().toStdString(); }
  QTemporaryDir dir_;
};

void ExpectGlyph(const QImage& glyph, int font, int code, int lead, int trail, bool reverse) {
  const signfont::SignFontInfo& info = signfont::FontInfo(font);
  ASSERT_EQ(glyph.width(), info.cellWidth);
  ASSERT_EQ(glyph.height(), info.cellHeight);
  for (int y = 0; y < info.cellHeight; ++y) {
    for (int x = 0; x < info.cellWidth; ++x) {
      QRgb want = (TaggedLit(font, code, lead, trail, x, y) != reverse) ? kRed : kBlack;
      if (font >= 8 && y == 0) want = kBlack;  // cell row 0 of a pair is never painted
      ASSERT_EQ(glyph.pixel(x, y), want) << "font " << font << " code " << code << " pixel " << x << "," << y
                                         << (reverse ? " reversed" : "");
    }
  }
}

TEST_F(TaggedFonts, EveryFontRendersItsGlyphsNormalAndReversed) {
  platform::ScopedRecordingBoxes boxes;
  signfont::SignFontTable table;
  table.Open(Dir());
  for (bool reverse : {false, true}) {
    for (int font = 0; font <= 7; ++font) {
      for (int code : {32, 0x41, 0x80, 0xA5, 255}) {
        GlyphStatus status = GlyphStatus::kNoGlyph;
        const QImage glyph = table.RenderGlyph(font, static_cast<std::uint16_t>(code), kRed, reverse, &status);
        EXPECT_EQ(status, GlyphStatus::kDrawn);
        ExpectGlyph(glyph, font, code, 0, 0, reverse);
      }
    }
    struct Pair {
      int font, lead, trail;
    };
    for (const Pair& p : {Pair{8, 0xA4, 0x40}, Pair{8, 0xA4, 0xA1}, Pair{8, 0xC9, 0x40}, Pair{8, 0xF9, 0xFE},
                          Pair{8, 0xC6, 0x7E}, Pair{9, 0xA1, 0x40}, Pair{9, 0xA3, 0xFE}, Pair{9, 0xA2, 0x7E}}) {
      GlyphStatus status = GlyphStatus::kNoGlyph;
      const QImage glyph =
          table.RenderGlyph(p.font, static_cast<std::uint16_t>(p.lead * 256 + p.trail), kRed, reverse, &status);
      EXPECT_EQ(status, GlyphStatus::kDrawn);
      ExpectGlyph(glyph, p.font, 0, p.lead, p.trail, reverse);
    }
  }
  EXPECT_TRUE(boxes->Shown().empty());
}

TEST_F(TaggedFonts, CellGlyphDispatchesByFontDigit) {
  signfont::SignFontTable table;
  table.Open(Dir());
  QImage glyph(16, 16, QImage::Format_RGB32);
  glyph.fill(kBlack);
  EXPECT_EQ(table.DrawCellGlyph(glyph, 8, 0xA4, 0xA1, kRed, false), GlyphStatus::kDrawn);
  EXPECT_EQ(glyph.pixel(0, 1), kRed);   // 0xA4: bit 7
  EXPECT_EQ(glyph.pixel(1, 1), kBlack);
  EXPECT_EQ(glyph.pixel(8, 1), kRed);   // 0xA1: bit 7
  EXPECT_EQ(glyph.pixel(15, 1), kRed);  // 0xA1: bit 0
  QImage single(8, 16, QImage::Format_RGB32);
  single.fill(kBlack);
  EXPECT_EQ(table.DrawCellGlyph(single, 2, 0x80, 0, kRed, false), GlyphStatus::kDrawn);
  EXPECT_EQ(single.pixel(0, 0), kRed);
  EXPECT_EQ(single.pixel(1, 0), kBlack);
  EXPECT_EQ(table.DrawCellGlyph(single, 10, 0x41, 0, kRed, false), GlyphStatus::kNoGlyph);
  // A double-byte font asked for a single code, and the reverse, draw nothing.
  EXPECT_EQ(table.DrawGlyph(single, 8, 0x41, kRed, false), GlyphStatus::kNoGlyph);
  EXPECT_EQ(table.DrawGlyphDoubleByte(glyph, 2, 0xA4, 0x40, kRed, false), GlyphStatus::kNoGlyph);
}

TEST_F(TaggedFonts, SixColumnFontIgnoresTheTwoLowBits) {
  signfont::SignFontTable table;
  table.Open(Dir());
  // Row 3 of every tagged glyph is 0x03: only bits 1 and 0.
  QImage wide(8, 8, QImage::Format_RGB32);
  wide.fill(kBlack);
  ASSERT_EQ(table.DrawGlyph(wide, 0, 0x41, kRed, false), GlyphStatus::kDrawn);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(wide.pixel(x, 3), kBlack) << x;  // columns 6, 7 not even touched
  const QImage font1 = table.RenderGlyph(1, 0x41, kRed, false);
  EXPECT_EQ(font1.pixel(6, 3), kRed);
  EXPECT_EQ(font1.pixel(7, 3), kRed);
  EXPECT_EQ(font1.pixel(5, 3), kBlack);
}

TEST_F(TaggedFonts, TwelfthColumnOfCuriNeverShows) {
  signfont::SignFontTable table;
  table.Open(Dir());
  // Rows 2..15 of a tagged wide glyph have 0xFF as their second byte: columns
  // 8..15 are set in the file; the cell ends at column 10.
  constexpr QRgb kMarker = qRgb(1, 2, 3);
  QImage big(16, 16, QImage::Format_RGB32);
  big.fill(kMarker);
  ASSERT_EQ(table.DrawGlyph(big, 6, 0x41, kRed, false), GlyphStatus::kDrawn);
  for (int y = 2; y < 16; ++y) {
    EXPECT_EQ(big.pixel(10, y), kRed) << y;
    EXPECT_EQ(big.pixel(11, y), kMarker) << y;
  }
  big.fill(kMarker);
  ASSERT_EQ(table.DrawGlyph(big, 6, 0x41, kRed, true), GlyphStatus::kDrawn);
  // Reversed, a clear bit would paint too: column 11 is not touched at all.
  EXPECT_EQ(big.pixel(11, 0), kMarker);
  EXPECT_EQ(big.pixel(11, 5), kMarker);
}

TEST_F(TaggedFonts, MingRowsAtTheEdgesOfTheCell) {
  signfont::SignFontTable table;
  table.Open(Dir());
  const QImage ascii = table.RenderGlyph(7, 0x41, kRed, true);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(ascii.pixel(x, 15), kRed) << x;  // the zero 16th row, reversed
  const QImage pair = table.RenderGlyph(8, 0xA4A1, kRed, true);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(pair.pixel(x, 0), kBlack) << x;  // row 0 stays black in reverse
}

TEST_F(TaggedFonts, CodeBelow32PaintsNothingWithoutWarning) {
  platform::ScopedRecordingBoxes boxes;
  signfont::SignFontTable table;
  table.Open(Dir());
  for (int font : {0, 2, 5}) {
    GlyphStatus status = GlyphStatus::kDrawn;
    const QImage glyph = table.RenderGlyph(font, 31, kRed, true, &status);
    EXPECT_EQ(status, GlyphStatus::kNoGlyph);
    for (int y = 0; y < glyph.height(); ++y)
      for (int x = 0; x < glyph.width(); ++x) ASSERT_EQ(glyph.pixel(x, y), kBlack);
  }
  EXPECT_TRUE(boxes->Shown().empty());
}

TEST_F(TaggedFonts, TruncatedFileLeavesCellsBlackAndWarnsOnce) {
  // Cut in the middle of the glyph of code 33 (22 + 16 + 8 bytes).
  signfontmaker::WriteTruncatedTaggedFont(Dir(), 2, 46);
  // And the standard Ming font ends after its first lead byte's glyphs.
  signfontmaker::WriteTruncatedTaggedFont(Dir(), 8, 4710);
  platform::ScopedRecordingBoxes boxes;
  signfont::SignFontTable table;
  table.Open(Dir());
  signfont::FontWarning warning;
  auto draw = [&](int font, std::uint16_t code) {
    GlyphStatus status = GlyphStatus::kNoGlyph;
    const QImage g = table.RenderGlyph(font, code, kRed, true, &status);
    warning.Note(status);
    return std::make_pair(status, g);
  };
  const auto [s32, g32] = draw(2, 32);
  EXPECT_EQ(s32, GlyphStatus::kDrawn);
  ExpectGlyph(g32, 2, 32, 0, 0, true);
  EXPECT_FALSE(warning.Pending());
  for (std::uint16_t code : {std::uint16_t{33}, std::uint16_t{255}}) {
    const auto [status, g] = draw(2, code);
    EXPECT_EQ(status, GlyphStatus::kBeyondEnd) << code;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(g.pixel(x, y), kBlack);
  }
  EXPECT_EQ(draw(8, 0xA4FE).first, GlyphStatus::kDrawn);
  EXPECT_EQ(draw(8, 0xA540).first, GlyphStatus::kBeyondEnd);
  // Other fonts still draw.
  EXPECT_EQ(draw(3, 0x41).first, GlyphStatus::kDrawn);
  EXPECT_TRUE(boxes->Shown().empty());  // never from inside a paint
  EXPECT_TRUE(warning.Pending());
  warning.ShowIfPending();
  warning.ShowIfPending();
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"Font not found!"});
}

TEST_F(TaggedFonts, PairBeyondTheFontWarns) {
  signfont::SignFontTable table;
  table.Open(Dir());
  QImage glyph(16, 16, QImage::Format_RGB32);
  glyph.fill(kBlack);
  // Lead 0xFA: slot 86 of a file of 86 leads.
  EXPECT_EQ(table.DrawGlyphDoubleByte(glyph, 8, 0xFA, 0x40, kRed, false), GlyphStatus::kBeyondEnd);
  EXPECT_EQ(table.DrawGlyphDoubleByte(glyph, 9, 0xA4, 0x40, kRed, false), GlyphStatus::kBeyondEnd);
}

TEST_F(TaggedFonts, OpeningStopsAtTheFirstMissingFont) {
  std::filesystem::remove(Dir() + "/PCB0816.PTN");
  signfont::SignFontTable table;
  try {
    table.Open(Dir());
    FAIL() << "opened without PCB0816.PTN";
  } catch (const platform::InOutError& e) {
    EXPECT_EQ(e.path(), Dir() + "/PCB0816.PTN");
  }
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(table.IsOpen(i)) << i;
  for (int i = 4; i < 10; ++i) EXPECT_FALSE(table.IsOpen(i)) << i;
  // The drawing program opens only its seven; a missing Ming font does not matter there.
  signfontmaker::WriteTaggedFonts(Dir());
  std::filesystem::remove(Dir() + "/MINGST15.PTN");
  table.Open(Dir(), signfont::kDrawingFontCount);
  EXPECT_TRUE(table.IsOpen(6));
  EXPECT_FALSE(table.IsOpen(7));
  EXPECT_THROW(table.Open(Dir()), platform::InOutError);
}

TEST_F(TaggedFonts, FileNamesMatchExactlyFirstThenIgnoringCase) {
  std::filesystem::rename(Dir() + "/XMI0816.PTN", Dir() + "/xmi0816.ptn");
  // Two spellings of one name: the exact one wins over the other.
  std::filesystem::copy_file(Dir() + "/XMB0816.PTN", Dir() + "/xmb0816.ptn");
  signfont::SignFontTable table;
  table.Open(Dir());
  EXPECT_EQ(table.PathOf(2), Dir() + "/xmi0816.ptn");
  EXPECT_EQ(table.PathOf(3), Dir() + "/XMB0816.PTN");
  EXPECT_EQ(signfont::FindFontFile(Dir(), "Cur0507.ptn"), Dir() + "/CUR0507.PTN");
  EXPECT_FALSE(signfont::FindFontFile(Dir(), "CUR0507.PT").has_value());
  EXPECT_FALSE(signfont::FindFontFile(Dir() + "/nowhere", "CUR0507.PTN").has_value());
}

// A font path that is no regular file is refused at once, never waited on.
TEST(SignFontFile, RefusesWhatIsNotARegularFileWithoutWaiting) {
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    testsupport::TempDir dir;
    const std::string path = dir.File("CUR0507.PTN");
    const auto fifo = testsupport::MakeHostilePath(kind, path);
    try {
      signfont::SignFontFile file(path);
      ADD_FAILURE() << "opened as a font";
    } catch (const platform::InOutError& e) {
      EXPECT_EQ(std::string(e.what()), path + ": is not a regular file");
    }
    if (fifo) {
      EXPECT_FALSE(fifo->Released()) << "the open waited for a writer";
    }
  }
}

TEST_F(TaggedFonts, OpenSignFontsUsesTheProgramDirectory) {
  const char* old = std::getenv("LEDSIGN_PROGRAM_DIR");
  const std::string saved = old ? old : "";
  setenv("LEDSIGN_PROGRAM_DIR", Dir().c_str(), 1);
  signfont::SignFontTable table;
  table.OpenSignFonts();
  EXPECT_EQ(table.PathOf(9), Dir() + "/MINGSP15.PTN");
  if (old) {
    setenv("LEDSIGN_PROGRAM_DIR", saved.c_str(), 1);
  } else {
    unsetenv("LEDSIGN_PROGRAM_DIR");
  }
}

TEST(SignFontPaint, ShortBytesPaintNothing) {
  QImage glyph(8, 16, QImage::Format_RGB32);
  glyph.fill(kBlack);
  const std::vector<std::uint8_t> bytes(15, 0xFF);
  EXPECT_EQ(signfont::PaintGlyphBytes(glyph, 2, bytes, kRed, false), GlyphStatus::kBeyondEnd);
  EXPECT_EQ(glyph.pixel(0, 0), kBlack);
  EXPECT_EQ(signfont::PaintGlyphBytes(glyph, 7, bytes, kRed, false), GlyphStatus::kDrawn);
  EXPECT_EQ(glyph.pixel(0, 0), kRed);
  EXPECT_EQ(glyph.pixel(7, 14), kRed);
  EXPECT_EQ(glyph.pixel(0, 15), kBlack);
  // A bitmap smaller than the cell is painted only where it has pixels.
  QImage small(3, 3, QImage::Format_RGB32);
  small.fill(kBlack);
  EXPECT_EQ(signfont::PaintGlyphBytes(small, 2, std::vector<std::uint8_t>(16, 0xFF), kRed, false), GlyphStatus::kDrawn);
  EXPECT_EQ(small.pixel(2, 2), kRed);
}

}  // namespace
