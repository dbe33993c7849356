#include "FrameListFixture.h"

#include "common/Raster.h"

using namespace frametest;

namespace {

constexpr QRgb kRed = 0xFFE00000u;
constexpr QRgb kGreen = 0xFF00E000u;
constexpr QRgb kBlueish = 0xFF0000C0u;

QImage Filled(const QImage& like, QRgb colour) {
  QImage image(like.size(), QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// Pixels of `colour` inside the box (right and bottom excluded).
int Count(const QImage& image, raster::Box box, QRgb colour) {
  int n = 0;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) n += raster::SameColor(image.pixel(x, y), colour);
  return n;
}

class FrameListPainting : public FrameListTest {
 protected:
  raster::Box LabelBox(int row) const {
    const int y = painter.RowBoxY(row);
    return {geometry.LabelLeft, y, geometry.LabelLeft + geometry.LabelWidth, y + geometry.RowBoxHeight};
  }
  raster::Box UpperHalf(int row) const {
    const raster::Box b = LabelBox(row);
    return {b.left + 2, b.top + 2, b.right - 2, b.top + geometry.RowBoxHeight / 2};
  }
  raster::Box LowerHalf(int row) const {
    const raster::Box b = LabelBox(row);
    return {b.left + 2, b.top + geometry.RowBoxHeight / 2, b.right - 2, b.bottom - 2};
  }
  // The ring of a box just inside its outline and the 2 pixels it keeps free.
  int InkNearTheEdge(int row) const {
    const raster::Box b = LabelBox(row);
    const int inside = Count(image, {b.left + 1, b.top + 1, b.right - 1, b.bottom - 1}, raster::kBlack);
    const int core = Count(image, {b.left + 2, b.top + 2, b.right - 2, b.bottom - 2}, raster::kBlack);
    return inside - core;
  }
};

TEST_F(FrameListPainting, RowsShowTheirPicturesExceptTheCurrentOne) {
  GrowTo(3);
  model.Frame(0).Picture = Filled(model.Frame(0).Picture, kBlueish);
  model.Frame(1).Picture = Filled(model.Frame(1).Picture, kRed);
  model.Frame(2).Picture = Filled(model.Frame(2).Picture, kGreen);
  painter.DrawFrameList();
  EXPECT_EQ(labels.position, "1/3");
  const int x = geometry.EditorLeft;
  // The current frame's row is the control's place: background only.
  EXPECT_EQ(image.pixel(x + 5, geometry.RowTop(0) + 5), kSilver);
  EXPECT_EQ(image.pixel(x + 5, geometry.RowTop(1) + 5), kRed);
  EXPECT_EQ(image.pixel(x + geometry.EditorWidth - 1, geometry.RowTop(2) + geometry.RowHeight - 1), kGreen);
  // The picture ends where it should; the row's margin around it is silver.
  EXPECT_EQ(image.pixel(x + geometry.EditorWidth, geometry.RowTop(2)), kSilver);
  EXPECT_EQ(image.pixel(x - geometry.RowMargin, geometry.RowTop(2) - geometry.RowMargin), kSilver);
  EXPECT_EQ(image.pixel(x - geometry.RowMargin - 1, geometry.RowTop(1) + 5) & 0xFFFFFFu, 0xFFFFFFu & kLabelBlue);
  EXPECT_EQ(image.pixel(x + 5, geometry.RowTop(3) + 5), kPanelGrey);
  EXPECT_EQ(painted, (FrameRowFlags{true, true, true, false, false}));

  // A frame gone: its row goes back to the panel's grey, label and all.
  ASSERT_TRUE(model.RemoveFrame(2));
  painter.DrawFrameList();
  EXPECT_EQ(Count(image, {geometry.LabelLeft, painter.RowBoxY(2), x + geometry.EditorWidth + geometry.RowMargin,
                          painter.RowBoxY(2) + geometry.RowBoxHeight},
                  kPanelGrey),
            (geometry.LabelWidth + geometry.EditorWidth + 2 * geometry.RowMargin) * geometry.RowBoxHeight);
  EXPECT_FALSE(painted[2]);
  EXPECT_EQ(labels.position, "1/2");
}

TEST_F(FrameListPainting, RowsFollowTheFirstVisibleRow) {
  GrowTo(8);
  for (int i = 0; i < 8; ++i) model.Frame(i).Picture = Filled(model.Frame(i).Picture, qRgb(10 * i, 0, 0));
  editor.SelectFrame(0, 7);
  ASSERT_EQ(model.FirstVisibleRow, 3);
  EXPECT_EQ(labels.position, "8/8");
  for (int r = 0; r < 4; ++r) EXPECT_EQ(image.pixel(geometry.EditorLeft, geometry.RowTop(r)), qRgb(10 * (r + 3), 0, 0)) << r;
  // Nothing is painted for a frame outside the visible rows.
  const QImage before = image;
  painter.DrawFrameRow(0, true);
  painter.DrawFrameRow(8, false);
  EXPECT_TRUE(image == before);
}

TEST_F(FrameListPainting, AFixedFrameIsLabelledFixInWhiteOnGrey) {
  GrowTo(2);
  model.Frame(1).FixedFrame = true;
  model.Frame(1).Modes = "ZU";
  painter.DrawFrameList();
  const raster::Box box = LabelBox(1);
  const int area = geometry.LabelWidth * geometry.RowBoxHeight;
  const int white = Count(image, box, raster::kWhite);
  EXPECT_GT(white, 20);
  EXPECT_EQ(Count(image, box, kPanelGrey) + white, area);
  // Centred: about as much of "FIX" left of the middle as right of it.
  const int middle = box.left + geometry.LabelWidth / 2;
  const int left = Count(image, {box.left, box.top, middle, box.bottom}, raster::kWhite);
  EXPECT_NEAR(left, white - left, white / 4);
}

TEST_F(FrameListPainting, TheSpeedShowsOnlyAboveFunctionLetters) {
  GrowTo(3);
  model.Frame(0).Speed = 1;  // Medium, no modes: both halves empty
  model.Frame(1).Speed = 1;
  model.Frame(1).Modes = "ZU";
  model.Frame(2).Modes = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef";  // wider than the box
  painter.DrawFrameList();
  const raster::Box box0 = LabelBox(0);
  // White inside a blue outline.
  EXPECT_EQ(image.pixel(box0.left, box0.top), kLabelBlue);
  EXPECT_EQ(image.pixel(box0.right - 1, box0.bottom - 1), kLabelBlue);
  EXPECT_EQ(image.pixel(box0.left + 1, box0.top + 1), raster::kWhite);
  EXPECT_EQ(Count(image, {box0.left + 1, box0.top + 1, box0.right - 1, box0.bottom - 1}, raster::kWhite),
            (geometry.LabelWidth - 2) * (geometry.RowBoxHeight - 2));

  EXPECT_GT(Count(image, UpperHalf(1), raster::kBlack), 10);
  EXPECT_GT(Count(image, LowerHalf(1), raster::kBlack), 10);
  EXPECT_EQ(InkNearTheEdge(1), 0);
  // "Medium" is wider than "ZU".
  auto inkColumns = [&](raster::Box b) {
    int first = b.right, last = b.left - 1;
    for (int x = b.left; x < b.right; ++x)
      if (Count(image, {x, b.top, x + 1, b.bottom}, raster::kBlack) > 0) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    return std::pair{first, last};
  };
  const auto [speedFirst, speedLast] = inkColumns(UpperHalf(1));
  const auto [modesFirst, modesLast] = inkColumns(LowerHalf(1));
  EXPECT_LT(speedFirst, modesFirst);
  EXPECT_GT(speedLast, modesLast);
  const int centre = geometry.LabelLeft + geometry.LabelWidth / 2;
  EXPECT_NEAR((speedFirst + speedLast) / 2, centre, 3);
  EXPECT_NEAR((modesFirst + modesLast) / 2, centre, 3);

  // Speed Fast shows too once there are modes; a long text starts at the left and is cut.
  EXPECT_GT(Count(image, UpperHalf(2), raster::kBlack), 10);
  const auto [longFirst, longLast] = inkColumns(LowerHalf(2));
  EXPECT_LE(longFirst, geometry.LabelLeft + 4);
  EXPECT_GE(longLast, LowerHalf(2).right - 4);
  EXPECT_LT(longLast, LowerHalf(2).right);
  EXPECT_EQ(InkNearTheEdge(2), 0);
}

TEST_F(FrameListPainting, RedrawingTheListLeavesTheControlsCentring) {
  GrowTo(2);
  editor.SetTextOffset(17);
  painter.DrawFrameList();
  EXPECT_EQ(editor.TextOffset(), 17);
}

TEST(FrameListTexts, PositionAndSpeedWords) {
  MessageModel m(SignGeometry{160, 8});
  m.NewMessage("/docs");
  ASSERT_TRUE(m.InsertFrame(1));
  m.CurrentFrame = 1;
  EXPECT_EQ(FramePositionText(m), "2/2");
  EXPECT_EQ(SpeedWord(0), "Fast");
  EXPECT_EQ(SpeedWord(1), "Medium");
  EXPECT_EQ(SpeedWord(2), "Slow");
  EXPECT_EQ(SpeedWord(3), "");
}

}  // namespace
