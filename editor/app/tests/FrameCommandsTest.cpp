// Clicks on the frame list panel, the Fix rule and the colour box's items.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <vector>

#include "common/ColorCode.h"
#include "editor/FrameGeometry.h"
#include "editorapp/ColorBox.h"
#include "editorapp/FrameCommands.h"
#include "platform/MessageBoxes.h"

using editorapp::FrameClick;
using editorapp::HitFrameRow;
using editorapp::RowFlags;

namespace {

RowFlags Painted(int rows) {
  RowFlags f{};
  for (int r = 0; r < rows; ++r) f[static_cast<std::size_t>(r)] = true;
  return f;
}

TEST(FrameClicks, RowsLabelsAndWhatLiesOutside) {
  // 160 x 16 in 790 x 441: LabelLeft 83, RowBoxTop 34, RowBoxHeight 60, pitch 78,
  // rows from x 83 to 83 + 120 + 480 + 12 = 695.
  const editor::FrameListGeometry g = editor::ComputeGeometry(790, 441, {160, 16});
  ASSERT_EQ(g.LabelLeft, 83);
  ASSERT_EQ(g.RowBoxTop, 34);
  struct Case {
    int x, y, painted, first;
    bool hit;
    int frame;
    bool onLabel;
  };
  const Case cases[] = {
      {83, 34, 5, 0, true, 0, true},          // top left corner of row 0's label
      {203, 94, 5, 0, true, 0, true},         // its bottom right corner
      {204, 60, 5, 0, true, 0, false},        // just right of the label: the picture
      {695, 60, 5, 0, true, 0, false},        // right edge of the row
      {696, 60, 5, 0, false, 0, false},       // past it
      {82, 60, 5, 0, false, 0, false},        // left of the label
      {100, 95, 5, 0, false, 0, false},       // in the gap below row 0
      {100, 34 + 2 * 78 + 10, 5, 0, true, 2, true},  // row 2's label
      {100, 34 + 2 * 78 + 10, 5, 4, true, 6, true},  // the same row scrolled by 4
      {100, 34 + 2 * 78 + 10, 2, 0, false, 0, false},  // below the last painted row
      {300, 34 + 4 * 78, 5, 0, true, 4, false},       // top edge of the last row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " painted " << c.painted);
    const auto click = HitFrameRow(g, Painted(c.painted), c.first, c.x, c.y);
    ASSERT_EQ(click.has_value(), c.hit);
    if (c.hit) {
      EXPECT_EQ(click->frame, c.frame);
      EXPECT_EQ(click->onLabel, c.onLabel);
    }
  }
}

TEST(FrameClicks, RowsBeyondTheFlagsAreNeverLookedAt) {
  editor::FrameListGeometry g = editor::ComputeGeometry(790, 441, {160, 8});
  // A panel tall enough for more rows than there are flags.
  g.VisibleRows = 40;
  const RowFlags all = Painted(editor::kMaxVisibleRows);
  const int y = g.RowBoxTop + 11 * g.RowPitch() + 1;
  EXPECT_FALSE(HitFrameRow(g, all, 0, g.LabelLeft + 1, y).has_value());
  EXPECT_EQ(HitFrameRow(g, all, 0, g.LabelLeft + 1, y - g.RowPitch())->frame, 10);
}

class FixTest : public testing::Test {
 protected:
  void SetUp() override {
    model.NewMessage("/tmp");
    for (int i = 1; i < 5; ++i) ASSERT_TRUE(model.InsertFrame(i));
  }
  std::vector<int> Widths() const {
    std::vector<int> w;
    for (int i = 0; i < model.FrameCount(); ++i) {
      w.push_back(model.Frame(i).HasFixedPart ? model.Frame(i).FixedWidth : -1);
    }
    return w;
  }
  platform::ScopedRecordingBoxes boxes;
  editor::MessageModel model{{160, 16}};
};

TEST_F(FixTest, DownFixesTheFrameAndSpreadsItsWidth) {
  std::vector<int> redraw;
  EXPECT_TRUE(editorapp::ToggleFix(model, 1, true, 48, redraw));
  EXPECT_EQ(Widths(), (std::vector<int>{-1, 48, 48, 48, 48}));
  EXPECT_EQ(redraw, (std::vector<int>{2, 3, 4}));
  EXPECT_TRUE(model.Frame(1).FixedFrame);
  // A later fixed frame bounds the frames redrawn.
  EXPECT_TRUE(editorapp::ToggleFix(model, 3, true, 20, redraw));
  EXPECT_TRUE(editorapp::ToggleFix(model, 1, true, 30, redraw));
  EXPECT_EQ(redraw, (std::vector<int>{2}));
  EXPECT_EQ(Widths(), (std::vector<int>{-1, 30, 30, 20, 20}));
}

TEST_F(FixTest, TooWideGoesBackUpWithTheWarning) {
  std::vector<int> redraw{7};
  EXPECT_FALSE(editorapp::ToggleFix(model, 2, true, 81, redraw));
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Half length of message can be fixed frame!"}));
  EXPECT_TRUE(redraw.empty());
  EXPECT_EQ(Widths(), (std::vector<int>{-1, -1, -1, -1, -1}));
  EXPECT_TRUE(editorapp::ToggleFix(model, 2, true, 80, redraw));
}

TEST_F(FixTest, ReleasingAFollowerEndsTheFixedPartFromItOn) {
  std::vector<int> redraw;
  ASSERT_TRUE(editorapp::ToggleFix(model, 0, true, 40, redraw));
  EXPECT_FALSE(editorapp::ToggleFix(model, 2, false, 0, redraw));
  EXPECT_EQ(Widths(), (std::vector<int>{40, 40, -1, -1, -1}));
  EXPECT_EQ(redraw, (std::vector<int>{3, 4}));
  // Releasing the fixed frame itself clears the rest.
  EXPECT_FALSE(editorapp::ToggleFix(model, 0, false, 0, redraw));
  EXPECT_EQ(Widths(), (std::vector<int>{-1, -1, -1, -1, -1}));
}

TEST(ColorItems, SwatchesAndRainbows) {
  QImage item(100, 16, QImage::Format_RGB32);
  for (int index = 0; index < colorcode::kPaletteSize; ++index) {
    SCOPED_TRACE(index);
    item.fill(Qt::magenta);
    {
      QPainter p(&item);
      editorapp::PaintColorItem(p, item.rect(), index);
    }
    const QRgb colour = colorcode::ColorIndexToColor(index);
    if (index < 8) {
      // White border 3 pixels left and right, 2 top and bottom; the colour inside.
      EXPECT_EQ(item.pixel(2, 8), qRgb(255, 255, 255));
      EXPECT_EQ(item.pixel(3, 8), colour);
      EXPECT_EQ(item.pixel(96, 8), colour);
      EXPECT_EQ(item.pixel(97, 8), qRgb(255, 255, 255));
      EXPECT_EQ(item.pixel(50, 1), qRgb(255, 255, 255));
      EXPECT_EQ(item.pixel(50, 2), colour);
      EXPECT_EQ(item.pixel(50, 13), colour);
      EXPECT_EQ(item.pixel(50, 14), qRgb(255, 255, 255));
    } else {
      // Black, with the text "Rainbow(n)" in the item's colour from x 5.
      int black = 0, text = 0, firstTextX = 100;
      for (int y = 0; y < item.height(); ++y) {
        for (int x = 0; x < item.width(); ++x) {
          const QRgb px = item.pixel(x, y);
          if (px == qRgb(0, 0, 0)) {
            ++black;
          } else {
            ++text;
            firstTextX = std::min(firstTextX, x);
          }
        }
      }
      EXPECT_GT(black, text);
      EXPECT_GT(text, 20);
      EXPECT_GE(firstTextX, 5);
    }
  }
  EXPECT_EQ(colorcode::RainbowCaption(8), "Rainbow(1)");
  EXPECT_EQ(colorcode::RainbowCaption(9), "Rainbow(2)");
}

}  // namespace

int main(int argc, char** argv) {
  // Text in the colour items needs a GUI application, also when the tests are listed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
