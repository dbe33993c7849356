#include "draw/LogoDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <unistd.h>

#include "common/ColorCode.h"
#include "draw/DrawModel.h"
#include "platform/BinaryFile.h"
#include "testsupport/TempDir.h"

using namespace draw;

namespace {

using testsupport::TempDir;

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  platform::AtomicFileWriter file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

// Two logos laid out by hand: 2 x 1 of codes 0x1C, 0xE0 and 1 x 1 of 0xFC.
const std::vector<std::uint8_t> kTwoLogos = {0x02, 0x00, '-', 'L', 'O', 'G', 'O', '-',
                                             0x02, 0x00, 0x01, 0x00, 0x02, 0x1C, 0xE0,
                                             0x01, 0x00, 0x01, 0x00, 0x01, 0xFC};

QImage Filled(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

}  // namespace

TEST(LogoDocument, FileNameAndModifiedMarkReachTheWindow) {
  LogoDocument doc;
  std::string shownName;
  std::vector<bool> marks;
  doc.onFileName = [&](const std::string& n) { shownName = n; };
  doc.onModified = [&](bool m) { marks.push_back(m); };
  doc.SetFileName("/home/u/NEW.LOG");
  doc.SetModified(true);
  doc.SetModified(false);
  EXPECT_EQ(shownName, "/home/u/NEW.LOG");
  EXPECT_EQ(doc.FileName(), "/home/u/NEW.LOG");
  EXPECT_EQ(marks, (std::vector<bool>{true, false}));
  EXPECT_FALSE(doc.Modified());
  EXPECT_STREQ(LogoDocument::ModifiedCaption(true), "*File:");
  EXPECT_STREQ(LogoDocument::ModifiedCaption(false), "File:");
}

TEST(LogoDocument, LoadAppendsTheLogosAtScaleThreeAndMakesTheFirstCurrent) {
  TempDir dir;
  WriteBytes(dir.File("TWO.LOG"), kTwoLogos);
  LogoDocument doc;
  doc.LoadLogoFile(dir.File("TWO.LOG"));
  ASSERT_EQ(doc.Count(), 2);
  EXPECT_EQ(doc.CurrentIndex(), 0);
  EXPECT_EQ(doc.Logos()[0].size(), QSize(6, 3));
  EXPECT_EQ(doc.Logos()[1].size(), QSize(3, 3));
  EXPECT_EQ(doc.Logos()[0].pixel(4, 2), 0xFFFF1F3Fu);
  EXPECT_EQ(doc.Logos()[1].pixel(0, 0), 0xFFFFFF3Fu);

  // Saved again it gives the same bytes.
  doc.SaveLogoFile(dir.File("AGAIN.LOG"));
  EXPECT_EQ(platform::ReadWholeFile(dir.File("AGAIN.LOG")), kTwoLogos);
}

TEST(LogoDocument, AFailedLoadLeavesTheListAsItWas) {
  TempDir dir;
  std::vector<std::uint8_t> cut(kTwoLogos.begin(), kTwoLogos.end() - 1);  // second record cut off
  WriteBytes(dir.File("CUT.LOG"), cut);
  LogoDocument doc;
  doc.Logos().push_back(Filled(9, 24, 0xFF1FFF3Fu));
  doc.SetCurrentIndex(0);
  EXPECT_THROW(doc.LoadLogoFile(dir.File("CUT.LOG")), logofile::BadLogoFile);
  EXPECT_THROW(doc.LoadLogoFile(dir.File("MISSING.LOG")), platform::InOutError);
  EXPECT_EQ(doc.Count(), 1);
  EXPECT_EQ(doc.CurrentIndex(), 0);

  LogoDocument empty;
  EXPECT_THROW(empty.LoadLogoFile(dir.File("CUT.LOG")), platform::InOutError);
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(empty.CurrentIndex(), -1);
}

TEST(LogoDocument, TheListStopsAtTwoHundredAndFiftyFive) {
  LogoDocument doc;
  for (int i = 0; i < 254; ++i) doc.Logos().push_back(Filled(3, 24, 0xFF000000u));
  EXPECT_TRUE(doc.CanAddLogo());
  doc.Logos().push_back(Filled(3, 24, 0xFF000000u));
  EXPECT_FALSE(doc.CanAddLogo());
  doc.ClearLogos();
  EXPECT_EQ(doc.Count(), 0);
  EXPECT_EQ(doc.CurrentIndex(), -1);
}

TEST(LogoDocument, ThePaletteIsTheSignColoursAndItemOneIsCodeZero) {
  const std::uint8_t codes[kPaletteSize] = {0x00, 0xE0, 0xA0, 0x1C, 0x14, 0xFC, 0xD8, 0xE8, 0xC8};
  for (int i = 0; i < kPaletteSize; ++i) {
    EXPECT_EQ(colorcode::ColorToCode(ColorIndexToColor(i)), codes[i]) << i;
    if (i > 0) {
      EXPECT_EQ(ColorIndexToColor(i), 0xFF000000u | colorcode::CodeToColor(codes[i])) << i;
    }
  }
  EXPECT_NE(ColorIndexToColor(0), 0xFF000000u | colorcode::CodeToColor(0));
}

TEST(LogoDocument, TheViewShrinksToTheSamePixelsAsTheLogoWriter) {
  DrawModel m;
  m.ResetView(33, 24, true);  // 11 x 8 sign pixels
  std::mt19937 rng(5);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 33; ++x) raster::SetPixel(m.View(), x, y, rng());
  m.CopyViewToPicture();
  const logofile::LogoRecord logo = logofile::ImageToLogo(m.View(), logofile::kLogoScale);
  ASSERT_EQ(logo.width, 11);
  ASSERT_EQ(logo.height, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 11; ++x)
      EXPECT_EQ(logo.codes[static_cast<std::size_t>(y * 11 + x)],
                colorcode::ColorToCode(raster::PixelAt(m.Picture(), x, y)));
}
