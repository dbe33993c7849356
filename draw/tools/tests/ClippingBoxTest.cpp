#include "draw/ClippingBox.h"

#include <gtest/gtest.h>

#include <Qt>

#include "ToolTestSupport.h"

using namespace draw;
using namespace drawtest;

TEST(ClippingBox, SignFrameCoversTheSignAtTheTopLeft) {
  Tools t;
  std::vector<bool> shown;
  QObject::connect(&t.tools, &ToolController::clippingBoxShown, [&shown](bool on) { shown.push_back(on); });
  t.tools.ChooseTool(DrawTool::kSignFrame);
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 0, 480, 24));
  EXPECT_TRUE(t.tools.Box().Shown());
  EXPECT_EQ(t.tools.ClippingText(), "8x160");
  EXPECT_EQ(shown, std::vector<bool>{true});
  t.tools.ChooseTool(DrawTool::kFill);
  EXPECT_EQ(shown, (std::vector<bool>{true, false}));
  EXPECT_EQ(t.tools.ClippingText(), "");
}

// The Ctrl-arrow keys size the box between one sign pixel and the sign's size
// and are consumed also where the limit holds; plain arrows move it by one
// sign pixel without limits.
TEST(ClippingBox, FrameKeysTable) {
  struct Case {
    const char* name;
    QRect start;
    int key;
    bool ctrl;
    QRect want;
    const char* readOut;
  };
  const Case cases[] = {
      {"wider than the sign", {0, 0, 480, 24}, Qt::Key_Right, true, {0, 0, 480, 24}, "8x160"},
      {"narrower", {0, 0, 480, 24}, Qt::Key_Left, true, {0, 0, 477, 24}, "8x159"},
      {"higher than the sign", {0, 0, 480, 24}, Qt::Key_Down, true, {0, 0, 480, 24}, "8x160"},
      {"lower", {0, 0, 480, 24}, Qt::Key_Up, true, {0, 0, 480, 21}, "7x160"},
      {"below one column", {6, 6, 3, 3}, Qt::Key_Left, true, {6, 6, 3, 3}, "1x1"},
      {"below one row", {6, 6, 3, 3}, Qt::Key_Up, true, {6, 6, 3, 3}, "1x1"},
      {"grows", {6, 6, 3, 3}, Qt::Key_Down, true, {6, 6, 3, 6}, "2x1"},
      {"dragged wider only shrinks", {0, 0, 600, 24}, Qt::Key_Right, true, {0, 0, 600, 24}, "8x200"},
      {"left off the view", {0, 0, 9, 9}, Qt::Key_Left, false, {-3, 0, 9, 9}, "3x3"},
      {"up off the view", {0, 0, 9, 9}, Qt::Key_Up, false, {0, -3, 9, 9}, "3x3"},
      {"right", {0, 0, 9, 9}, Qt::Key_Right, false, {3, 0, 9, 9}, "3x3"},
      {"down", {0, 0, 9, 9}, Qt::Key_Down, false, {0, 3, 9, 9}, "3x3"},
      {"cut down to whole sign pixels", {4, 8, 11, 7}, Qt::Key_Right, false, {6, 6, 9, 6}, "2x3"},
  };
  for (const Case& c : cases) {
    ClippingBox box;
    box.Place(c.start.x(), c.start.y(), c.start.width(), c.start.height());
    EXPECT_TRUE(box.FrameKey(c.key, c.ctrl, 3, 160, 8)) << c.name;
    EXPECT_EQ(box.Rect(), c.want) << c.name;
    EXPECT_EQ(box.SizeText(3), c.readOut) << c.name;
  }
  ClippingBox box;
  box.Place(3, 3, 6, 6);
  EXPECT_FALSE(box.FrameKey(Qt::Key_A, false, 3, 160, 8));
  EXPECT_EQ(box.Rect(), QRect(3, 3, 6, 6));
}

TEST(ClippingBox, KeysActOnlyWithAFrameToolAndWhetherShownOrNot) {
  Tools t;
  t.tools.ChooseTool(DrawTool::kSignFrame);
  EXPECT_TRUE(t.tools.FrameKey(Qt::Key_Left, true));
  EXPECT_EQ(t.tools.ClippingText(), "8x159");
  t.tools.ChooseTool(DrawTool::kText);
  EXPECT_FALSE(t.tools.FrameKey(Qt::Key_Right, false));
  EXPECT_FALSE(t.tools.FrameKey(Qt::Key_Left, true));
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 0, 477, 24));
  EXPECT_EQ(t.tools.ClippingText(), "");
  t.tools.ChooseTool(DrawTool::kCustomFrame);
  ASSERT_FALSE(t.tools.Box().Shown());
  EXPECT_TRUE(t.tools.FrameKey(Qt::Key_Down, false));
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 3, 477, 24));
  EXPECT_EQ(t.tools.ClippingText(), "8x159");
}

TEST(ClippingBox, DraggingMovesInSnappedStepsAndReadsOutWithoutBrackets) {
  Tools t;
  t.tools.ChooseTool(DrawTool::kCustomFrame);
  t.Drag({{2, 2}, {5, 4}});
  ASSERT_EQ(t.tools.Box().Rect(), QRect(6, 6, 12, 9));
  t.tools.BoxPress({4, 4}, true);   // snapped to (3, 3)
  t.tools.BoxMove({11, 8});         // snapped to (9, 6): two columns, one row
  EXPECT_EQ(t.tools.Box().Rect(), QRect(12, 9, 12, 9));
  EXPECT_EQ(t.tools.XyText(), "7,5");
  t.tools.BoxMove({-10, 2});        // snapped to (-9, 0), off the view: no limit
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 6, 12, 9));
  t.tools.BoxRelease();
  t.tools.BoxMove({30, 30});
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 6, 12, 9));
  // Another button does not drag.
  t.tools.BoxPress({3, 3}, false);
  t.tools.BoxMove({9, 9});
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 6, 12, 9));
  EXPECT_EQ(t.tools.XyText(), "3,5");
}

TEST(ClippingBox, TheFrameInvertsTheViewUnderItsBorderAndLeavesTheInside) {
  QImage view = raster::NewImage(30, 30, raster::kBlack);
  FillRandom(view, 3);
  ClippingBox box;
  box.Place(6, 3, 12, 15);
  const QImage frame = ClippingFrameImage(view, box, 3);
  ASSERT_EQ(frame.size(), QSize(12, 15));
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool border = x < 3 || x >= 9 || y < 3 || y >= 12;
      const QRgb got = frame.pixel(x, y);
      if (border) {
        ASSERT_EQ(got, raster::Opaque(~raster::PixelAt(view, 6 + x, 3 + y))) << x << "," << y;
      } else {
        ASSERT_EQ(qAlpha(got), 0) << x << "," << y;
      }
    }
}
