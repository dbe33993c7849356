#include "draw/Zoom.h"

#include <gtest/gtest.h>

#include "draw/DrawModel.h"

using namespace draw;
using raster::Box;

namespace {

constexpr QRgb kRed = 0xFFFF1F3Fu;    // palette item "2"
constexpr QRgb kGreen = 0xFF1FFF3Fu;  // palette item "4"

// A model whose view is the 738 x 351 of a 740 x 351 drawing area.
struct Fixture {
  DrawModel model;
  Zoom zoom;
  Fixture(int areaWidth = 740, int areaHeight = 351) {
    model.ResetView(areaWidth, areaHeight, true);
    zoom.SetUp(model.View().width(), model.View().height());
  }
  // Paints sign pixel (x, y) on the view as its 3 x 3 block.
  void PaintView(int x, int y, QRgb c) { raster::FillBox(model.View(), Box{3 * x, 3 * y, 3 * x + 3, 3 * y + 3}, c); }
};

// The colour inside cell (c, r) of the grid, and of its grid line and gap.
QRgb CellColor(const Zoom& z, int c, int r) { return z.Grid().pixel(c * 10 + 5, r * 10 + 5); }

}  // namespace

TEST(Zoom, WindowSizeFollowsTheView) {
  Fixture f;
  EXPECT_EQ(f.model.View().size(), QSize(738, 351));
  EXPECT_EQ(f.model.Picture().size(), QSize(246, 117));
  EXPECT_EQ(f.zoom.ZoomWidth(), 74);
  EXPECT_EQ(f.zoom.ZoomHeight(), 36);
  EXPECT_EQ(f.zoom.NavigatorSize(), QSize(82, 44));
}

TEST(Zoom, TheRectangleIsCentredOnThePointAndCutAtThePictureEdges) {
  struct Case {
    QPoint viewPoint;
    Box rect;
  };
  const Case cases[] = {
      {{0, 0}, {0, 0, 74, 36}},            // a negative origin becomes 0
      {{720, 60}, {203, 2, 246, 38}},      // sign x 240: x0 = 240 - 37, cut to 43 columns
      {{735, 348}, {208, 98, 246, 117}},   // bottom right corner: both cut
      {{300, 150}, {63, 32, 137, 68}},     // inside: the whole window
  };
  for (const Case& c : cases) {
    Fixture f;
    f.zoom.ZoomIn(f.model, c.viewPoint);
    EXPECT_EQ(f.zoom.ZoomRect(), c.rect) << c.viewPoint.x() << "," << c.viewPoint.y();
    EXPECT_EQ(f.zoom.Grid().size(), QSize(static_cast<int>(c.rect.Width()) * 10, static_cast<int>(c.rect.Height()) * 10));
    EXPECT_EQ(f.zoom.NavOffset(), QPoint(-c.rect.left, -c.rect.top));
  }
  Fixture f;
  f.zoom.ZoomIn(f.model, {720, 60});
  EXPECT_EQ(f.zoom.Grid().width(), 430);
  EXPECT_EQ(f.zoom.ClippingText(), "36x74");
  EXPECT_TRUE(f.model.Zoomed());
  EXPECT_EQ(f.model.Scale(), 10);
}

TEST(Zoom, TheGridIsWhiteEveryTenPixelsOnBlack) {
  Fixture f;
  f.zoom.DrawZoomGrid(Box{0, 0, 3, 2});
  const QImage& g = f.zoom.Grid();
  ASSERT_EQ(g.size(), QSize(30, 20));
  for (int y = 0; y < g.height(); ++y) {
    for (int x = 0; x < g.width(); ++x) {
      const QRgb want = (x % 10 == 0 || y % 10 == 0) ? raster::kWhite : raster::kBlack;
      ASSERT_EQ(g.pixel(x, y), want) << x << "," << y;
    }
  }
}

TEST(Zoom, ACellShowsItsPictureColourInsideTheGridLines) {
  Fixture f;
  f.PaintView(1, 1, kRed);
  f.zoom.ZoomIn(f.model, {0, 0});
  const QImage& g = f.zoom.Grid();
  // Cell (1, 1): grid line at 10, black gap at 11, colour from 12 to 19.
  EXPECT_EQ(g.pixel(10, 15), raster::kWhite);
  EXPECT_EQ(g.pixel(11, 15), raster::kBlack);
  EXPECT_EQ(g.pixel(15, 11), raster::kBlack);
  for (int x = 12; x < 20; ++x) {
    for (int y = 12; y < 20; ++y) ASSERT_EQ(g.pixel(x, y), kRed) << x << "," << y;
  }
  EXPECT_EQ(g.pixel(20, 15), raster::kWhite);
  EXPECT_EQ(CellColor(f.zoom, 0, 0), raster::kBlack);
}

TEST(Zoom, ARefreshPaintsOnlyTheCellsThatChanged) {
  Fixture f;
  f.PaintView(2, 3, kRed);
  f.PaintView(4, 3, kGreen);
  f.zoom.ZoomIn(f.model, {0, 0});
  // Black cells match the empty cache: only the two coloured ones were painted.
  EXPECT_EQ(f.zoom.RefreshZoomCells(f.model.Picture()), 0);
  raster::SetPixel(f.model.Picture(), 5, 5, kGreen);
  EXPECT_EQ(f.zoom.RefreshZoomCells(f.model.Picture()), 1);
  EXPECT_EQ(CellColor(f.zoom, 5, 5), kGreen);
  raster::SetPixel(f.model.Picture(), 2, 3, raster::kBlack);
  EXPECT_EQ(f.zoom.RefreshZoomCells(f.model.Picture()), 1);
  EXPECT_EQ(CellColor(f.zoom, 2, 3), raster::kBlack);
}

TEST(Zoom, APressPaintsTheCellAndThePicturePixelOnce) {
  Fixture f;
  f.zoom.ZoomIn(f.model, {300, 150});  // rectangle from (63, 32)
  const QPoint press(25, 47);          // cell (2, 4): picture pixel (65, 36)
  EXPECT_EQ(f.zoom.PictureCellAt(press), QPoint(65, 36));

  EXPECT_TRUE(f.zoom.PressCell(f.model, press, kRed));
  EXPECT_EQ(CellColor(f.zoom, 2, 4), kRed);
  EXPECT_EQ(f.model.Picture().pixel(65, 36), kRed);
  // The same colour again: nothing.
  raster::SetPixel(f.model.Picture(), 65, 36, kGreen);  // so that a repaint would show
  EXPECT_FALSE(f.zoom.PressCell(f.model, press, kRed));
  EXPECT_EQ(f.model.Picture().pixel(65, 36), kGreen);
  // Another colour: cell and pixel.
  raster::SetPixel(f.model.Picture(), 65, 36, kRed);
  EXPECT_TRUE(f.zoom.PressCell(f.model, press, kGreen));
  EXPECT_EQ(CellColor(f.zoom, 2, 4), kGreen);
  EXPECT_EQ(f.model.Picture().pixel(65, 36), kGreen);
  // Black on a coloured cell paints it black.
  EXPECT_TRUE(f.zoom.PressCell(f.model, press, raster::kBlack));
  EXPECT_EQ(CellColor(f.zoom, 2, 4), raster::kBlack);
  EXPECT_EQ(f.model.Picture().pixel(65, 36), raster::kBlack);
}

TEST(Zoom, TheCacheComparesColoursWithoutAlpha) {
  Fixture f;
  f.zoom.ZoomIn(f.model, {0, 0});
  raster::SetPixel(f.model.Picture(), 7, 7, kGreen);
  // Black on a never painted cell: its cache entry 0 is black already.
  EXPECT_FALSE(f.zoom.PressCell(f.model, QPoint(75, 75), raster::kBlack));
  EXPECT_EQ(f.model.Picture().pixel(7, 7), kGreen);
  EXPECT_TRUE(f.zoom.PressCell(f.model, QPoint(15, 15), kRed));
  // The same red given without its alpha byte is the same colour.
  EXPECT_FALSE(f.zoom.PressCell(f.model, QPoint(15, 15), kRed & 0x00FFFFFFu));
}

TEST(Zoom, APressOutsideTheCellsChangesNothing) {
  Fixture f;
  f.zoom.ZoomIn(f.model, {720, 60});  // 43 x 36 cells
  const QImage before = f.model.Picture().copy();
  for (QPoint p : {QPoint(430, 5), QPoint(5, 360), QPoint(-3, 5), QPoint(5, -3)}) {
    EXPECT_FALSE(f.zoom.PressCell(f.model, p, kRed)) << p.x() << "," << p.y();
  }
  EXPECT_EQ(f.model.Picture(), before);
}

TEST(Zoom, TheNavigatorDragStopsAtThePictureEdgesAndMovesTheGridOnRelease) {
  Fixture f;
  f.PaintView(100, 20, kRed);
  f.zoom.ZoomIn(f.model, {300, 150});  // origin (63, 32)
  const QSize picture = f.model.Picture().size();
  f.zoom.NavPress(true, {10, 10});
  // Left 20 and up 5 (the press point stays under the pointer as the picture moves).
  EXPECT_TRUE(f.zoom.NavMove({-10, 5}, picture));
  EXPECT_EQ(f.zoom.NavOffset(), QPoint(-83, -37));
  // The grid has not moved yet.
  EXPECT_EQ(f.zoom.ZoomRect(), (Box{63, 32, 137, 68}));
  // Far beyond the left and bottom edges: stops at them.
  EXPECT_TRUE(f.zoom.NavMove({-1000, -1000}, picture));
  EXPECT_EQ(f.zoom.NavOffset(), QPoint(74 - 246, 36 - 117));
  EXPECT_FALSE(f.zoom.NavMove({-1000, -1000}, picture));
  // And beyond the right and top ones.
  EXPECT_TRUE(f.zoom.NavMove({5000, 5000}, picture));
  EXPECT_EQ(f.zoom.NavOffset(), QPoint(0, 0));
  EXPECT_TRUE(f.zoom.NavMove({-80, -10}, picture));  // to (90, 20)
  EXPECT_TRUE(f.zoom.NavRelease(f.model.Picture()));
  EXPECT_EQ(f.zoom.ZoomRect(), (Box{90, 20, 164, 56}));
  EXPECT_EQ(CellColor(f.zoom, 10, 0), kRed);  // picture pixel (100, 20)
  EXPECT_FALSE(f.zoom.NavRelease(f.model.Picture()));
}

TEST(Zoom, OnlyTheLeftButtonDragsAndAPictureNarrowerThanTheWindowStays) {
  Fixture f(120, 60);  // picture 40 x 20, window 13 x 7
  f.zoom.ZoomIn(f.model, {0, 0});
  f.zoom.NavPress(false, {5, 5});
  EXPECT_FALSE(f.zoom.NavMove({0, 0}, f.model.Picture().size()));
  EXPECT_FALSE(f.zoom.NavRelease(f.model.Picture()));
  // A picture no wider than the window keeps offset 0 on that axis.
  f.zoom.NavPress(true, {5, 5});
  EXPECT_TRUE(f.zoom.NavMove({0, 0}, QSize(13, 20)));
  EXPECT_EQ(f.zoom.NavOffset(), QPoint(0, -5));
}

TEST(Zoom, ClosingPutsTheCellEditsOnTheViewAsBlocks) {
  Fixture f;
  f.zoom.ZoomIn(f.model, {0, 0});
  ASSERT_TRUE(f.zoom.PressCell(f.model, QPoint(35, 25), kRed));  // picture (3, 2)
  f.zoom.ZoomOut(f.model);
  EXPECT_FALSE(f.model.Zoomed());
  EXPECT_EQ(f.model.Scale(), 3);
  for (int x = 9; x < 12; ++x) {
    for (int y = 6; y < 9; ++y) ASSERT_EQ(f.model.View().pixel(x, y), kRed);
  }
  EXPECT_EQ(f.model.View().pixel(12, 7), raster::kBlack);
}

TEST(Zoom, AViewBeyondEightThousandPixelsStillZooms) {
  // 811 x 7 cells: wider than any fixed cache of 801 columns.
  Fixture f(8100, 60);
  ASSERT_EQ(f.zoom.ZoomWidth(), 811);
  f.PaintView(2699, 19, kGreen);
  f.zoom.ZoomIn(f.model, {8097, 57});
  EXPECT_EQ(f.zoom.ZoomRect(), (Box{2294, 16, 2700, 20}));
  f.zoom.NavPress(true, {0, 0});
  EXPECT_TRUE(f.zoom.NavMove({-2000, 0}, f.model.Picture().size()));
  EXPECT_TRUE(f.zoom.NavRelease(f.model.Picture()));
  EXPECT_EQ(f.zoom.ZoomRect().Width(), 811);
  EXPECT_EQ(CellColor(f.zoom, 2699 - f.zoom.ZoomRect().left, 19 - f.zoom.ZoomRect().top), kGreen);
}
