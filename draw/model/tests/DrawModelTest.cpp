#include "draw/DrawModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "common/ColorCode.h"

using namespace draw;
using raster::Box;
using raster::kBlack;
using raster::PenMode;
using raster::PixelAt;

namespace {

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kGreenHigh = 0xFF1FFF3Fu;  // palette item "4"

bool SameBytes(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return false;
  for (int y = 0; y < a.height(); ++y) {
    if (std::memcmp(a.constScanLine(y), b.constScanLine(y), static_cast<std::size_t>(a.width()) * 4) != 0) return false;
  }
  return true;
}

// The sign pixels of the picture that are not black.
std::set<std::pair<int, int>> Lit(const QImage& img) {
  std::set<std::pair<int, int>> s;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (PixelAt(img, x, y) != kBlack) s.insert({x, y});
  return s;
}

std::set<std::pair<int, int>> FromRows(std::initializer_list<std::string> rows) {
  std::set<std::pair<int, int>> s;
  int y = 0;
  for (const std::string& row : rows) {
    for (int x = 0; x < static_cast<int>(row.size()); ++x)
      if (row[static_cast<std::size_t>(x)] == '#') s.insert({x, y});
    ++y;
  }
  return s;
}

// Every view pixel is its picture pixel's colour: the view is the picture grown by 3.
void ExpectViewShowsPicture(const DrawModel& m) {
  for (int y = 0; y < m.View().height(); ++y)
    for (int x = 0; x < m.View().width(); ++x)
      ASSERT_EQ(PixelAt(m.View(), x, y), PixelAt(m.Picture(), x / 3, y / 3)) << x << "," << y;
}

}  // namespace

TEST(DrawModel, PaletteTable) {
  const std::pair<int, QRgb> cases[] = {
      {0, 0xFF000000u}, {1, 0xFFFF1F3Fu}, {2, 0xFFBF1F3Fu}, {3, 0xFF1FFF3Fu}, {4, 0xFF1FBF3Fu},
      {5, 0xFFFFFF3Fu}, {6, 0xFFDFDF3Fu}, {7, 0xFFFF5F3Fu}, {8, 0xFFDF5F3Fu},
      // No selection: the colour value 0x00FFFF, red and green full, blue 0.
      {-1, 0xFFFFFF00u}, {9, 0xFFFFFF00u}, {1000, 0xFFFFFF00u},
  };
  for (auto [index, color] : cases) EXPECT_EQ(ColorIndexToColor(index), color) << index;
  // So a logo file stores it as the code of yellow.
  EXPECT_EQ(colorcode::ColorToCode(ColorIndexToColor(-1)), 0xFC);
}

TEST(DrawModel, IncludeEndPointWidensTheLargerCornerAndATieWidensTheSecond) {
  struct Case {
    QPoint p1, p2, want1, want2;
  };
  const Case cases[] = {
      {{5, 5}, {5, 5}, {5, 5}, {6, 6}},
      {{2, 2}, {0, 0}, {3, 3}, {0, 0}},
      {{0, 0}, {5, 0}, {0, 0}, {6, 1}},
      {{4, 1}, {1, 7}, {5, 1}, {1, 8}},
  };
  for (const Case& c : cases) {
    QPoint a = c.p1, b = c.p2;
    IncludeEndPoint(a, b);
    EXPECT_EQ(a, c.want1);
    EXPECT_EQ(b, c.want2);
  }
}

TEST(DrawModel, ViewAndPictureSizesFollowTheDrawingArea) {
  DrawModel m;
  m.ResetView(740, 351, true);
  EXPECT_EQ(m.View().size(), QSize(738, 351));
  EXPECT_EQ(m.Picture().size(), QSize(246, 117));
  EXPECT_EQ(PixelAt(m.View(), 700, 300), kBlack);
  // Clear Scratch while zoomed still cuts to whole blocks of 3 and keeps the picture.
  raster::SetPixel(m.Picture(), 1, 1, kWhite);
  m.SetZoomed(true);
  m.ResetView(745, 100, false);
  EXPECT_EQ(m.View().size(), QSize(744, 99));
  EXPECT_EQ(PixelAt(m.Picture(), 1, 1), kWhite);
}

// A view bitmap of its own size (the working picture from another screen):
// the copies take and give only what the control shows, from the top left.
// Beyond a larger bitmap's control nothing is touched; where a smaller bitmap
// ends the picture takes black and nothing is written.
TEST(DrawModel, CopiesWorkOnWhatTheControlShows) {
  DrawModel m;
  m.ResetView(30, 15, true);  // control 30 x 15, picture 10 x 5
  QImage larger = raster::NewImage(40, 20, kBlack);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) raster::SetPixel(larger, x, y, qRgb(x * 6, y * 12, 7));
  m.SetView(larger);
  EXPECT_EQ(m.View().size(), QSize(40, 20));
  EXPECT_EQ(m.ViewControl(), QSize(30, 15));
  m.CopyViewToPicture();
  EXPECT_EQ(PixelAt(m.Picture(), 9, 4), qRgb(28 * 6, 13 * 12, 7));  // the middle of block (9, 4)
  raster::FillBox(m.Picture(), Box{0, 0, 10, 5}, kWhite);
  m.CopyPictureToView();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(PixelAt(m.View(), x, y), x < 30 && y < 15 ? kWhite : PixelAt(larger, x, y)) << x << "," << y;

  m.SetView(raster::NewImage(12, 6, kWhite));
  m.CopyViewToPicture();
  EXPECT_EQ(PixelAt(m.Picture(), 3, 1), kWhite);
  EXPECT_EQ(PixelAt(m.Picture(), 4, 1), kBlack);  // beyond the bitmap
  EXPECT_EQ(PixelAt(m.Picture(), 3, 2), kBlack);
  m.CopyPictureToView();
  EXPECT_EQ(m.View().size(), QSize(12, 6));
}

TEST(DrawModel, SnappingAndSignPixels) {
  DrawModel m;
  struct Case {
    bool zoomed;
    QPoint in, snapped, sign;
  };
  const Case cases[] = {
      {false, {0, 0}, {0, 0}, {0, 0}},     {false, {5, 8}, {3, 6}, {1, 2}},
      {false, {29, 30}, {27, 30}, {9, 10}}, {false, {-2, -4}, {0, -3}, {0, -1}},
      {true, {25, 9}, {20, 0}, {2, 0}},
  };
  for (const Case& c : cases) {
    m.SetZoomed(c.zoomed);
    EXPECT_EQ(m.Scale(), c.zoomed ? 10 : 3);
    EXPECT_EQ(m.Snap(c.in), c.snapped);
    EXPECT_EQ(m.SignPixel(c.in), c.sign);
  }
}

TEST(DrawModel, CopiesBetweenViewAndPicture) {
  DrawModel m;
  m.ResetView(30, 24, true);
  std::mt19937 rng(9);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) raster::SetPixel(m.Picture(), x, y, rng());
  const QImage picture = m.Picture().copy();
  m.CopyPictureToView();
  ExpectViewShowsPicture(m);
  m.CopyViewToPicture();
  EXPECT_TRUE(SameBytes(m.Picture(), picture));

  // A block of several colours gives its middle pixel.
  raster::SetPixel(m.View(), 0, 0, kWhite);
  raster::SetPixel(m.View(), 4, 4, kWhite);
  m.CopyViewToPicture();
  EXPECT_EQ(PixelAt(m.Picture(), 0, 0), PixelAt(picture, 0, 0));
  EXPECT_EQ(PixelAt(m.Picture(), 1, 1), kWhite);
}

TEST(DrawModel, ToolPenTable) {
  struct Case {
    DrawTool tool;
    QRgb penColor;
    int penWidth;
    PenMode penMode;
    QRgb brushColor;
    bool brushClear;
  };
  // Starting from a pen and brush set to something else each time.
  const Case cases[] = {
      {DrawTool::kCustomFrame, kBlack, 1, PenMode::kNotXor, 0xFF123456u, true},
      {DrawTool::kPencil, kGreenHigh, 3, PenMode::kCopy, 0xFF123456u, false},
      {DrawTool::kEraser, 0xFF654321u, 7, PenMode::kNotXor, kBlack, false},
      {DrawTool::kLine, kBlack, 1, PenMode::kNotXor, 0xFF123456u, true},
      {DrawTool::kRectangle, kBlack, 1, PenMode::kNotXor, 0xFF123456u, true},
      {DrawTool::kEllipse, kBlack, 1, PenMode::kNotXor, 0xFF123456u, true},
      {DrawTool::kSignFrame, 0xFF654321u, 7, PenMode::kNotXor, 0xFF123456u, false},
      {DrawTool::kText, 0xFF654321u, 7, PenMode::kNotXor, 0xFF123456u, false},
      {DrawTool::kFill, 0xFF654321u, 7, PenMode::kNotXor, 0xFF123456u, false},
      {DrawTool::kZoom, 0xFF654321u, 7, PenMode::kNotXor, 0xFF123456u, false},
  };
  for (const Case& c : cases) {
    DrawModel m;
    m.SetColorIndex(3);
    m.ViewPen() = Pen{0xFF654321u, 7, PenMode::kNotXor};
    m.ViewBrush() = Brush{0xFF123456u, false};
    m.SetCurrentTool(c.tool);
    m.SetToolPen();
    const int tag = static_cast<int>(c.tool);
    EXPECT_EQ(m.ViewPen().color, c.penColor) << tag;
    EXPECT_EQ(m.ViewPen().width, c.penWidth) << tag;
    EXPECT_EQ(m.ViewPen().mode, c.penMode) << tag;
    EXPECT_EQ(m.ViewBrush().color, c.brushColor) << tag;
    EXPECT_EQ(m.ViewBrush().clear, c.brushClear) << tag;
  }
}

TEST(DrawModel, LastDrawToolIsOneOfPencilToFill) {
  DrawModel m;
  m.SetCurrentTool(DrawTool::kPencil);
  m.SetCurrentTool(DrawTool::kSignFrame);
  EXPECT_EQ(m.LastDrawTool(), DrawTool::kPencil);
  m.SetCurrentTool(DrawTool::kFill);
  m.SetCurrentTool(DrawTool::kZoom);
  m.SetCurrentTool(DrawTool::kCustomFrame);
  EXPECT_EQ(m.CurrentTool(), DrawTool::kCustomFrame);
  EXPECT_EQ(m.LastDrawTool(), DrawTool::kFill);
}

// The shapes of the drawing model, as sign pixels lit on a black picture (view
// points are three times the sign pixels).
TEST(DrawModel, ShapesOnThePictureTable) {
  struct Case {
    const char* name;
    DrawTool tool;
    QPoint from, to;  // sign pixels
    std::set<std::pair<int, int>> want;
  };
  const Case cases[] = {
      {"rectangle dragged up-left", DrawTool::kRectangle, {2, 2}, {0, 0}, FromRows({"###", "#.#", "###"})},
      {"rectangle click", DrawTool::kRectangle, {4, 3}, {4, 3}, {{4, 3}}},
      {"level line keeps its row", DrawTool::kLine, {0, 0}, {5, 0}, FromRows({"######"})},
      {"line drawn right to left", DrawTool::kLine, {5, 1}, {0, 1}, FromRows({"", "######"})},
      {"steep line", DrawTool::kLine, {1, 0}, {1, 3}, FromRows({".#", ".#", ".#", ".#"})},
      {"ellipse", DrawTool::kEllipse, {0, 0}, {4, 4}, FromRows({".###.", "#...#", "#...#", "#...#", ".###."})},
      {"ellipse click", DrawTool::kEllipse, {2, 2}, {2, 2}, {{2, 2}}},
      {"pencil draws nothing here", DrawTool::kPencil, {0, 0}, {4, 4}, {}},
  };
  for (const Case& c : cases) {
    DrawModel m;
    m.ResetView(60, 24, true);
    m.SetColorIndex(3);
    m.SetCurrentTool(c.tool);
    m.SetToolPen();
    m.DrawShapeOnPicture(c.from * 3, c.to * 3, PenMode::kCopy);
    EXPECT_EQ(Lit(m.Picture()), c.want) << c.name;
    for (auto [x, y] : c.want) EXPECT_EQ(PixelAt(m.Picture(), x, y), kGreenHigh) << c.name;
    ExpectViewShowsPicture(m);
  }
}

TEST(DrawModel, ShapeOnThePictureTakesTheViewFirst) {
  DrawModel m;
  m.ResetView(30, 24, true);
  raster::FillBox(m.View(), Box{27, 21, 30, 24}, kWhite);  // a pencil mark on the view only
  m.SetColorIndex(-1);
  m.SetCurrentTool(DrawTool::kRectangle);
  m.DrawShapeOnPicture({0, 0}, {0, 0}, PenMode::kCopy);
  EXPECT_EQ(PixelAt(m.Picture(), 9, 7), kWhite);
  EXPECT_EQ(PixelAt(m.Picture(), 0, 0), kNoSelectionColor);
  EXPECT_EQ(PixelAt(m.View(), 2, 2), kNoSelectionColor);
  EXPECT_EQ(PixelAt(m.View(), 28, 22), kWhite);
}

TEST(DrawModel, EraserSquareAroundAPress) {
  DrawModel m;
  m.ResetView(60, 60, true);
  m.View().fill(kWhite);
  m.SetCurrentTool(DrawTool::kEraser);
  m.SetToolPen();
  // Also in the inverting mode the square is plain black.
  m.DrawShapeOnView({30, 30}, {30, 30}, PenMode::kNotXor);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool in = x >= 26 && x <= 35 && y >= 26 && y <= 35;
      ASSERT_EQ(PixelAt(m.View(), x, y), in ? kBlack : kWhite) << x << "," << y;
    }
}

TEST(DrawModel, BandsOnTheViewInvertAndDrawingThemAgainRestores) {
  const DrawTool tools[] = {DrawTool::kCustomFrame, DrawTool::kLine, DrawTool::kRectangle, DrawTool::kEllipse};
  for (DrawTool tool : tools) {
    DrawModel m;
    m.ResetView(90, 60, true);
    std::mt19937 rng(static_cast<unsigned>(tool));
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 90; ++x) raster::SetPixel(m.View(), x, y, rng());
    const QImage before = m.View().copy();
    m.SetCurrentTool(tool);
    m.SetToolPen();
    const QPoint start(m.Snap({70, 50})), end(m.Snap({10, 5}));
    m.DrawShapeOnView(start, end, PenMode::kNotXor);
    EXPECT_FALSE(SameBytes(m.View(), before)) << static_cast<int>(tool);
    EXPECT_EQ(m.bandShown, tool == DrawTool::kCustomFrame);
    // The band's corner pixels: both snapped points are on every band but the ellipse.
    if (tool != DrawTool::kEllipse) {
      EXPECT_EQ(PixelAt(m.View(), 69, 48), raster::Opaque(~PixelAt(before, 69, 48)));
      EXPECT_EQ(PixelAt(m.View(), 9, 3), raster::Opaque(~PixelAt(before, 9, 3)));
    }
    m.DrawShapeOnView(start, end, PenMode::kNotXor);
    EXPECT_TRUE(SameBytes(m.View(), before)) << static_cast<int>(tool);
  }
}

TEST(DrawModel, CustomFrameBandCoversBothSnappedPoints) {
  DrawModel m;
  m.ResetView(30, 30, true);
  m.SetCurrentTool(DrawTool::kCustomFrame);
  m.SetToolPen();
  m.DrawShapeOnView({3, 6}, {12, 9}, PenMode::kNotXor);  // inverts black to white
  std::set<std::pair<int, int>> lit = Lit(m.View());
  std::set<std::pair<int, int>> want;
  for (int x = 3; x <= 12; ++x) want.insert({x, 6}), want.insert({x, 9});
  for (int y = 7; y <= 8; ++y) want.insert({3, y}), want.insert({12, y});
  EXPECT_EQ(lit, want);
}

TEST(DrawModel, PencilStrokeAndClick) {
  DrawModel m;
  m.ResetView(30, 15, true);
  m.SetColorIndex(3);
  m.SetCurrentTool(DrawTool::kPencil);
  m.SetToolPen();
  m.MoveTo({0, 3});
  m.LineTo({9, 3});
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool in = x <= 11 && y >= 3 && y <= 5;
      ASSERT_EQ(PixelAt(m.View(), x, y), in ? kGreenHigh : kBlack) << x << "," << y;
    }
  EXPECT_EQ(m.PenPosition(), QPoint(9, 3));
  m.CopyViewToPicture();
  EXPECT_EQ(Lit(m.Picture()), FromRows({"", "####"}));

  // A click sets exactly one sign pixel and redraws the whole view from the picture.
  m.SetColorIndex(5);
  m.SetPicturePixel({25, 13});
  EXPECT_EQ(Lit(m.Picture()), FromRows({"", "####", "", "", "........#"}));
  EXPECT_EQ(PixelAt(m.Picture(), 8, 4), ColorIndexToColor(5));
  ExpectViewShowsPicture(m);
}
