#include <gtest/gtest.h>

#include "editor/FrameGeometry.h"

namespace editor {
namespace {

struct GeometryCase {
  int signWidth, signHeight;
  FrameListGeometry want;
};

// A work area of 790 x 441 for the three sign sizes, every value worked out by hand.
TEST(ComputeGeometry, WorkAreaOf790By441) {
  const GeometryCase cases[] = {
      // RowHeight EditorWidth RowMargin RowGap LabelWidth RowBoxHeight VisibleRows
      // EditorLeft EditorTop LabelLeft RowBoxTop
      {160, 16, {48, 480, 6, 30, 120, 60, 5, 209, 40, 83, 34}},
      {160, 8, {24, 480, 4, 35, 120, 32, 7, 211, 31, 87, 27}},
      {80, 7, {21, 240, 4, 35, 120, 29, 7, 331, 41, 207, 37}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.signWidth << "x" << c.signHeight);
    const FrameListGeometry g = ComputeGeometry(790, 441, {c.signWidth, c.signHeight});
    EXPECT_EQ(g.RowHeight, c.want.RowHeight);
    EXPECT_EQ(g.EditorWidth, c.want.EditorWidth);
    EXPECT_EQ(g.RowMargin, c.want.RowMargin);
    EXPECT_EQ(g.RowGap, c.want.RowGap);
    EXPECT_EQ(g.LabelWidth, c.want.LabelWidth);
    EXPECT_EQ(g.RowBoxHeight, c.want.RowBoxHeight);
    EXPECT_EQ(g.VisibleRows, c.want.VisibleRows);
    EXPECT_EQ(g.EditorLeft, c.want.EditorLeft);
    EXPECT_EQ(g.EditorTop, c.want.EditorTop);
    EXPECT_EQ(g.LabelLeft, c.want.LabelLeft);
    EXPECT_EQ(g.RowBoxTop, c.want.RowBoxTop);
  }
}

TEST(ComputeGeometry, RowsStayWithinThePaintedFlagsOnATallArea) {
  // 2000 / 78 would be 25 rows; the panel keeps flags for 11.
  const FrameListGeometry g = ComputeGeometry(1000, 2000, {160, 16});
  EXPECT_EQ(g.VisibleRows, kMaxVisibleRows);
  // The 11 rows are centred: (2000 - 78 x 11) / 2 + 15.
  EXPECT_EQ(g.EditorTop, 586);
}

TEST(ComputeGeometry, KeepsOneRowInATinyArea) {
  const FrameListGeometry g = ComputeGeometry(100, 20, {160, 16});
  EXPECT_EQ(g.VisibleRows, 1);
  // (20 - 78) / 2 truncates toward zero to -29, plus 15.
  EXPECT_EQ(g.EditorTop, -14);
  // (100 - 480 - 12 - 120) / 2 + 120 = -256 + 120.
  EXPECT_EQ(g.EditorLeft, -136);
}

TEST(ComputeGeometry, RowTopsStepByRowHeightPlusGap) {
  const FrameListGeometry g = ComputeGeometry(790, 441, {160, 16});
  EXPECT_EQ(g.RowTop(0), 40);
  EXPECT_EQ(g.RowTop(3), 40 + 3 * 78);
}

}  // namespace
}  // namespace editor
