#include "draw/text/FontChoice.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <map>

using draw::FaceSize;
using draw::FontChoice;

namespace {

const std::vector<std::string> kSeventeen = {"08", "09", "10", "11", "12", "14", "16", "18", "20",
                                             "22", "24", "26", "28", "36", "48", "66", "72"};
const std::vector<std::string> kCaptions = {"Cur   6x8",  "Cur   8x8",  "Xmi   8x16", "Xmb   8x16",
                                            "Pcb   8x16", "Tsw  11x16", "Curi 11x16"};

TEST(FontSizeText, PointsRoundHalfToEven) {
  struct Case {
    int height, leading, dpi;
    const char* text;
  };
  const Case cases[] = {
      {13, 2, 96, "08"},    // 8.25
      {10, 0, 96, "08"},    // 7.5: a half goes to the even 8
      {14, 0, 96, "10"},    // 10.5: a half goes to the even 10
      {19, 2, 144, "08"},   // 8.5
      {21, 2, 144, "10"},   // 9.5
      {16, 0, 96, "12"},    // 12
      {15, 2, 96, "10"},    // 9.75
      {12, 3, 96, "07"},    // 6.75
      {300, 0, 72, "300"},  // three digits stay three
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.height << "/" << c.leading << "/" << c.dpi);
    EXPECT_EQ(draw::FontSizeText(FaceSize{false, c.height, c.leading}, c.dpi), c.text);
  }
  EXPECT_EQ(draw::FontSizeText(FaceSize{true, 13, 2}, 96), "");
}

TEST(FontSizeText, AddFontSizeKeepsTheListSortedAndEachOnce) {
  std::vector<std::string> sizes;
  EXPECT_TRUE(draw::AddFontSize(sizes, FaceSize{false, 16, 0}, 96));
  EXPECT_TRUE(draw::AddFontSize(sizes, FaceSize{false, 13, 2}, 96));
  EXPECT_TRUE(draw::AddFontSize(sizes, FaceSize{false, 10, 0}, 96));  // "08" again
  EXPECT_TRUE(draw::AddFontSize(sizes, FaceSize{false, 12, 0}, 96));
  EXPECT_EQ(sizes, (std::vector<std::string>{"08", "09", "12"}));
  EXPECT_FALSE(draw::AddFontSize(sizes, FaceSize{true, 0, 0}, 96));
  EXPECT_EQ(sizes.size(), 3u);
}

TEST(FontSizeText, TheSeventeenScalableSizes) { EXPECT_EQ(draw::ScalableFontSizes(), kSeventeen); }

// Faces described by hand.
std::vector<FaceSize> HandFaces(const std::string& family) {
  static const std::map<std::string, std::vector<FaceSize>> faces = {
      {"Outline", {FaceSize{true, 0, 0}}},
      {"Raster", {FaceSize{false, 16, 0}, FaceSize{false, 13, 2}, FaceSize{false, 10, 0}, FaceSize{false, 24, 3}}},
      {"Raster then outline", {FaceSize{false, 16, 0}, FaceSize{true, 0, 0}, FaceSize{false, 13, 2}}},
      {"Outline then raster", {FaceSize{true, 0, 0}, FaceSize{false, 13, 2}}},
  };
  const auto it = faces.find(family);
  return it == faces.end() ? std::vector<FaceSize>{} : it->second;
}

TEST(FontChoice, FontItemsAreTheCaptionsThenTheScreenFontsSorted) {
  FontChoice choice(96, HandFaces);
  EXPECT_EQ(choice.FontItems().size(), 8u);  // before the screen fonts are known: the captions and "Default"
  choice.SetScreenFonts({"zeta", "Beta", "alpha", "beta", "Delta"});
  std::vector<std::string> want = kCaptions;
  for (const char* f : {"alpha", "Beta", "Default", "Delta", "zeta"}) want.emplace_back(f);
  EXPECT_EQ(choice.FontItems(), want);
  EXPECT_EQ(choice.FontIndex(), 0);
  EXPECT_EQ(choice.FontName(), "Cur   6x8");
  EXPECT_FALSE(choice.SizesEnabled());
}

TEST(FontChoice, SizesByFace) {
  struct Case {
    const char* face;
    std::vector<std::string> sizes;
  };
  const Case cases[] = {
      {"Outline", kSeventeen},
      {"Raster", {"08", "12", "16"}},
      {"Raster then outline", {"12"}},  // an outline record ends the listing
      {"Outline then raster", kSeventeen},
      {"Unknown", kSeventeen},  // nothing listed
  };
  FontChoice choice(96, HandFaces);
  choice.SetScreenFonts({"Outline", "Raster", "Raster then outline", "Outline then raster", "Unknown"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.face);
    const auto& items = choice.FontItems();
    const int index = static_cast<int>(std::find(items.begin(), items.end(), c.face) - items.begin());
    ASSERT_LT(index, static_cast<int>(items.size()));
    choice.SelectFont(index);
    EXPECT_TRUE(choice.SizesEnabled());
    EXPECT_EQ(choice.SizeItems(), c.sizes);
    EXPECT_EQ(choice.SizeIndex(), 0);
    EXPECT_EQ(choice.CurrentStyle().fontName, c.face);
    EXPECT_EQ(choice.CurrentStyle().pointSize, std::stoi(c.sizes[0]));
  }
}

TEST(FontChoice, ASignFontEmptiesAndDisablesTheSizes) {
  FontChoice choice(96, HandFaces);
  choice.SetScreenFonts({"Raster"});
  for (int font = 0; font < draw::kTextSignFonts; ++font) {
    SCOPED_TRACE(font);
    choice.SelectFont(8);  // "Raster", after "Default"
    ASSERT_TRUE(choice.SizesEnabled());
    choice.SelectSize(2);
    EXPECT_EQ(choice.PointSize(), 16);
    choice.SelectFont(font);
    EXPECT_FALSE(choice.SizesEnabled());
    EXPECT_TRUE(choice.SizeItems().empty());
    EXPECT_EQ(choice.SizeIndex(), -1);
    EXPECT_EQ(choice.CurrentStyle().fontName, kCaptions[static_cast<std::size_t>(font)]);
    EXPECT_EQ(choice.CurrentStyle().pointSize, 0);
  }
}

TEST(FontChoice, AScalableScreenFaceOffersTheSeventeenSizes) {
  std::string scalable;
  for (const QString& f : QFontDatabase::families()) {
    if (QFontDatabase::isSmoothlyScalable(f)) {
      scalable = f.toStdString();
      break;
    }
  }
  if (scalable.empty()) GTEST_SKIP() << "no scalable font installed";
  FontChoice choice(96);
  choice.SetScreenFonts(draw::QtFontFamilies());
  const auto& items = choice.FontItems();
  const auto it = std::find(items.begin(), items.end(), scalable);
  ASSERT_NE(it, items.end());
  choice.SelectFont(static_cast<int>(it - items.begin()));
  EXPECT_EQ(choice.SizeItems(), kSeventeen);
  EXPECT_EQ(choice.SizeItems()[static_cast<std::size_t>(choice.SizeIndex())], "08");
}

}  // namespace
