#include "draw/ToolController.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "ToolTestSupport.h"
#include "platform/MessageBoxes.h"

using namespace draw;
using namespace drawtest;
using raster::kBlack;
using raster::PixelAt;

namespace {

constexpr QRgb kGreen = 0xFF1FFF3Fu;  // item "4", the colour the fixture selects

// Every view pixel is its picture pixel's colour.
bool ViewShowsPicture(const DrawModel& m) {
  for (int y = 0; y < m.View().height(); ++y)
    for (int x = 0; x < m.View().width(); ++x)
      if (PixelAt(m.View(), x, y) != PixelAt(m.Picture(), x / 3, y / 3)) return false;
  return true;
}

}  // namespace

TEST(ToolController, TheSameFrameOrZoomButtonReturnsToTheLastDrawingTool) {
  struct Case {
    DrawTool last, again;
    DrawTool want;
    bool buttonShown;
  };
  const Case cases[] = {
      {DrawTool::kFill, DrawTool::kCustomFrame, DrawTool::kFill, true},
      {DrawTool::kEraser, DrawTool::kSignFrame, DrawTool::kEraser, true},
      {DrawTool::kEllipse, DrawTool::kZoom, DrawTool::kEllipse, true},
      // A drawing tool clicked again stays and still acts.
      {DrawTool::kLine, DrawTool::kLine, DrawTool::kLine, false},
  };
  for (const Case& c : cases) {
    Tools t;
    std::vector<int> shown;
    QObject::connect(&t.tools, &ToolController::toolButtonShown, [&shown](int tag) { shown.push_back(tag); });
    t.tools.ChooseTool(c.last);
    t.tools.ChooseTool(c.again);
    if (c.again != c.last) {
      EXPECT_EQ(t.model.CurrentTool(), c.again);
    }
    t.tools.ChooseTool(c.again);
    EXPECT_EQ(t.model.CurrentTool(), c.want) << static_cast<int>(c.again);
    EXPECT_EQ(shown, c.buttonShown ? std::vector<int>{static_cast<int>(c.want)} : std::vector<int>{});
  }
}

TEST(ToolController, AToolChangeCommitsTheTextBoxHidesTheBoxAndClosesTheZoom) {
  Tools t;
  RecordingZoom zoom(t.model);
  RecordingTextBox text;
  t.tools.SetZoomHost(&zoom);
  t.tools.SetTextBox(&text);
  t.tools.ChooseTool(DrawTool::kText);
  t.tools.ViewPress({31, 17});
  t.tools.ViewRelease({31, 17});
  ASSERT_EQ(text.opened, std::vector<QPoint>{QPoint(30, 15)});
  t.tools.ChooseTool(DrawTool::kZoom);
  EXPECT_EQ(text.commits, 1);
  t.tools.ViewPress({64, 20});
  t.tools.ViewRelease({64, 20});
  ASSERT_EQ(zoom.zoomIns, std::vector<QPoint>{QPoint(63, 18)});
  t.tools.ChooseTool(DrawTool::kSignFrame);
  EXPECT_EQ(zoom.zoomOuts, 1);
  EXPECT_TRUE(t.tools.Box().Shown());
  t.tools.ChooseTool(DrawTool::kPencil);
  EXPECT_FALSE(t.tools.Box().Shown());
  EXPECT_EQ(t.tools.ClippingText(), "");
  EXPECT_EQ(zoom.zoomOuts, 1);
}

TEST(ToolController, TheTextToolOpensTheBoxAtThePressAndCommitsAtTheNext) {
  Tools t;
  RecordingTextBox text;
  t.tools.SetTextBox(&text);
  t.tools.ChooseTool(DrawTool::kText);
  const QImage before = t.model.View().copy();
  t.tools.ViewPress({8, 4});
  t.tools.ViewMove({40, 20});
  t.tools.ViewRelease({40, 20});
  t.tools.ViewPress({50, 5});
  EXPECT_EQ(text.opened, std::vector<QPoint>{QPoint(6, 3)});
  EXPECT_EQ(text.commits, 1);
  EXPECT_FALSE(text.shown);
  EXPECT_TRUE(SameBytes(t.model.View(), before));
}

// A band is drawn and removed in the inverting mode: however the drag wanders,
// also back over its start, the view is as before once the band is gone.
TEST(ToolController, BandDragsLeaveTheViewIdentical) {
  for (DrawTool tool : {DrawTool::kCustomFrame, DrawTool::kLine, DrawTool::kRectangle, DrawTool::kEllipse}) {
    Tools t;
    FillRandom(t.model.View(), static_cast<unsigned>(tool) + 1);
    t.model.CopyViewToPicture();
    t.model.CopyPictureToView();  // whole blocks, so a click's redraw keeps them
    const QImage before = t.model.View().copy();
    t.tools.ChooseTool(tool);
    t.tools.ViewPress(QPoint(10, 5) * 3);
    for (QPoint p : {QPoint(20, 3), QPoint(4, 8), QPoint(10, 5), QPoint(10, 5), QPoint(30, 1), QPoint(10, 5)}) {
      t.tools.ViewMove(p * 3);
      ASSERT_FALSE(SameBytes(t.model.View(), before)) << static_cast<int>(tool);  // a band is up
    }
    // The release at the start is a click: the frame tool hides the box, the
    // shapes set the one sign pixel under it.
    t.tools.ViewRelease(QPoint(10, 5) * 3);
    std::vector<QPoint> changed = Differences(t.model.View(), before);
    if (tool == DrawTool::kCustomFrame) {
      EXPECT_TRUE(changed.empty());
      EXPECT_FALSE(t.tools.Box().Shown());
    } else {
      EXPECT_LE(changed.size(), 9u) << static_cast<int>(tool);
      for (QPoint p : changed) EXPECT_EQ(QPoint(p.x() / 3, p.y() / 3), QPoint(10, 5)) << static_cast<int>(tool);
      EXPECT_EQ(PixelAt(t.model.Picture(), 10, 5), kGreen);
    }
    // A second drag starts with no band of its own.
    const QImage mid = t.model.View().copy();
    t.tools.ViewPress(QPoint(2, 2) * 3);
    t.tools.ViewMove(QPoint(6, 5) * 3);
    if (tool == DrawTool::kCustomFrame) {
      t.tools.ViewRelease(QPoint(6, 5) * 3);
      EXPECT_TRUE(SameBytes(t.model.View(), mid));
      EXPECT_TRUE(t.tools.Box().Shown());
    }
  }
}

// Each click on the view, without movement, changes exactly one sign pixel of
// the picture, in the current colour, and the view shows the picture again.
TEST(ToolController, AClickSetsExactlyOnePicturePixel) {
  for (DrawTool tool : {DrawTool::kPencil, DrawTool::kLine, DrawTool::kRectangle, DrawTool::kEllipse}) {
    Tools t;
    raster::SetPixel(t.model.Picture(), 3, 3, 0xFFFF1F3Fu);
    t.model.CopyPictureToView();
    const QImage picture = t.model.Picture().copy();
    t.tools.ChooseTool(tool);
    t.tools.ViewPress({22, 13});
    t.tools.ViewRelease({23, 14});  // the same sign pixel: a click
    EXPECT_EQ(Differences(t.model.Picture(), picture), std::vector<QPoint>{QPoint(7, 4)}) << static_cast<int>(tool);
    EXPECT_EQ(PixelAt(t.model.Picture(), 7, 4), kGreen);
    EXPECT_TRUE(ViewShowsPicture(t.model)) << static_cast<int>(tool);
  }
}

TEST(ToolController, ShapesAreDrawnOnThePictureOnRelease) {
  struct Case {
    DrawTool tool;
    QPoint from, to;
    std::set<std::pair<int, int>> want;
  };
  const Case cases[] = {
      {DrawTool::kRectangle, {3, 3}, {1, 1}, {{1, 1}, {2, 1}, {3, 1}, {1, 2}, {3, 2}, {1, 3}, {2, 3}, {3, 3}}},
      {DrawTool::kLine, {0, 0}, {3, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
      {DrawTool::kLine, {5, 4}, {3, 2}, {{3, 2}, {4, 3}, {5, 4}}},
  };
  for (const Case& c : cases) {
    Tools t;
    t.tools.ChooseTool(c.tool);
    t.Drag({c.from, (c.from + c.to) / 2, c.to});
    std::set<std::pair<int, int>> lit;
    for (int y = 0; y < t.model.Picture().height(); ++y)
      for (int x = 0; x < t.model.Picture().width(); ++x)
        if (PixelAt(t.model.Picture(), x, y) != kBlack) lit.insert({x, y});
    EXPECT_EQ(lit, c.want) << static_cast<int>(c.tool);
    EXPECT_TRUE(ViewShowsPicture(t.model));
  }
}

TEST(ToolController, PencilStrokesStayOnTheView) {
  Tools t;
  const QImage picture = t.model.Picture().copy();
  t.Drag({{1, 1}, {4, 1}, {4, 3}});
  // Whole sign-pixel blocks along the way, on the view only.
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const int sx = x / 3, sy = y / 3;
      const bool in = (sy == 1 && sx >= 1 && sx <= 4) || (sx == 4 && sy >= 1 && sy <= 3);
      ASSERT_EQ(PixelAt(t.model.View(), x, y), in ? kGreen : kBlack) << x << "," << y;
    }
  EXPECT_TRUE(SameBytes(t.model.Picture(), picture));
}

TEST(ToolController, EraserSquaresAlongTheWay) {
  Tools t;
  t.model.View().fill(raster::kWhite);
  t.tools.ChooseTool(DrawTool::kEraser);
  t.tools.ViewPress({30, 15});
  t.tools.ViewMove({60, 15});
  t.tools.ViewRelease({24, 24});
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool press = x >= 26 && x <= 35 && y >= 11 && y <= 20;
      const bool move = x >= 56 && x <= 65 && y >= 11 && y <= 20;
      // The release square takes the end-point rule against the start: left
      // of it the start's side grows, below it the release's.
      const bool release = x >= 19 && x <= 28 && y >= 20 && y <= 29;
      ASSERT_EQ(PixelAt(t.model.View(), x, y), press || move || release ? kBlack : raster::kWhite) << x << "," << y;
    }
}

// Fill works on the view's screen pixels, 4-connected: it stays inside an
// outline and does not slip through the corners of a diagonal.
TEST(ToolController, FillStaysInsideOutlinesAndBesideDiagonals) {
  Tools t;
  t.tools.ChooseTool(DrawTool::kRectangle);
  t.Drag({{1, 1}, {5, 5}});
  t.tools.ChooseTool(DrawTool::kLine);
  t.Drag({{10, 0}, {19, 9}});
  t.model.SetColorIndex(5);
  const QRgb yellow = ColorIndexToColor(5);
  t.tools.ChooseTool(DrawTool::kFill);
  t.tools.ViewPress(QPoint(3, 3) * 3 + QPoint(1, 1));
  t.tools.ViewRelease(QPoint(3, 3) * 3 + QPoint(1, 1));
  t.tools.ViewPress(QPoint(15, 2) * 3);
  t.tools.ViewRelease(QPoint(15, 2) * 3);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const int sx = x / 3, sy = y / 3;
      const bool outline = sx >= 1 && sx <= 5 && sy >= 1 && sy <= 5 && (sx == 1 || sx == 5 || sy == 1 || sy == 5);
      const bool inside = sx >= 2 && sx <= 4 && sy >= 2 && sy <= 4;
      const bool diagonal = sx >= 10 && sx - 10 == sy;
      const bool aboveDiagonal = sx >= 10 && sx - 10 > sy;
      QRgb want = kBlack;
      if (outline || diagonal) want = kGreen;
      if (inside || aboveDiagonal) want = yellow;
      ASSERT_EQ(PixelAt(t.model.View(), x, y), want) << x << "," << y;
    }
}

TEST(ToolController, ReadOutsOfThePointerAndTheBand) {
  Tools t;
  t.tools.ViewMove({17, 29});
  EXPECT_EQ(t.tools.XyText(), "(5,9)");
  EXPECT_EQ(t.tools.ClippingText(), "");  // no drag, no size
  t.tools.ChooseTool(DrawTool::kCustomFrame);
  t.tools.ViewPress(QPoint(2, 3) * 3);
  t.tools.ViewMove(QPoint(5, 1) * 3 + QPoint(2, 2));
  EXPECT_EQ(t.tools.ClippingText(), "3x4");
  EXPECT_EQ(t.tools.XyText(), "(5,1)");
  t.tools.ViewRelease(QPoint(5, 1) * 3);
  // The box covers every sign pixel the band touched.
  EXPECT_EQ(t.tools.Box().Rect(), QRect(6, 3, 12, 9));
  EXPECT_TRUE(t.tools.Box().Shown());
  // A press of the frame tool hides it again.
  t.tools.ViewPress({90, 3});
  EXPECT_FALSE(t.tools.Box().Shown());
}

// A working picture of another size than the drawing area (kept from another
// screen) goes with Clear Scratch: the view becomes the area's black.
TEST(ToolController, ClearScratchGivesTheAreasSizeAfterAPictureOfItsOwn) {
  for (const QSize picture : {QSize(1000, 100), QSize(30, 12)}) {
    Tools t(120, 30);
    t.model.SetView(raster::NewImage(picture.width(), picture.height(), 0xFF1FFF3Fu));
    t.tools.ClearScratch();
    EXPECT_TRUE(SameBytes(t.model.View(), raster::NewImage(120, 30))) << picture.width();
    EXPECT_EQ(t.model.ViewControl(), QSize(120, 30));
  }
}

// Clear Scratch closes the zoom first and keeps the view's own size, so the
// view stays three times the picture; the picture is not touched.
TEST(ToolController, ClearScratchKeepsTheViewSizeAndClosesTheZoomFirst) {
  Tools t(738, 351);
  RecordingZoom zoom(t.model);
  t.tools.SetZoomHost(&zoom);
  FillRandom(t.model.View(), 5);
  t.tools.ChooseTool(DrawTool::kZoom);
  t.tools.ViewPress({300, 150});
  t.tools.ViewRelease({300, 150});
  ASSERT_TRUE(t.model.Zoomed());
  const QImage picture = t.model.Picture().copy();
  t.tools.ClearScratch();
  EXPECT_EQ(zoom.zoomOuts, 1);
  EXPECT_FALSE(t.model.Zoomed());
  EXPECT_EQ(t.model.View().size(), QSize(738, 351));
  EXPECT_EQ(t.model.View().size(), t.model.Picture().size() * 3);
  EXPECT_TRUE(SameBytes(t.model.View(), raster::NewImage(738, 351)));
  EXPECT_TRUE(SameBytes(t.model.Picture(), picture));
}
