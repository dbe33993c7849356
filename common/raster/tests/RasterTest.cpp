#include "common/Raster.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <deque>
#include <random>
#include <set>
#include <string>
#include <utility>

using namespace raster;

namespace {

constexpr QRgb kRed = 0xFFFF0000u;
constexpr QRgb kGreen = 0xFF00FF00u;
constexpr QRgb kBlue = 0xFF0000FFu;

QImage RandomImage(int w, int h, unsigned seed, int colors = 0) {
  std::mt19937 rng(seed);
  QImage img = NewImage(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      QRgb c = colors > 0 ? static_cast<QRgb>(rng() % static_cast<unsigned>(colors)) * 0x404040u : rng();
      SetPixel(img, x, y, c);
    }
  }
  return img;
}

bool SameBytes(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.format() != b.format()) return false;
  for (int y = 0; y < a.height(); ++y) {
    if (std::memcmp(a.constScanLine(y), b.constScanLine(y), static_cast<std::size_t>(a.width()) * 4) != 0) return false;
  }
  return true;
}

std::set<std::pair<int, int>> AsSet(const std::vector<QPoint>& points) {
  std::set<std::pair<int, int>> s;
  for (const QPoint& p : points) s.insert({p.x(), p.y()});
  return s;
}

// A picture drawn in the test as rows of '#' (in the set) and '.' (not), its
// top left at (x0, y0).
std::set<std::pair<int, int>> FromRows(std::initializer_list<std::string> rows, int x0 = 0, int y0 = 0) {
  std::set<std::pair<int, int>> s;
  int y = y0;
  for (const std::string& row : rows) {
    for (int x = 0; x < static_cast<int>(row.size()); ++x) {
      if (row[static_cast<std::size_t>(x)] == '#') s.insert({x0 + x, y});
    }
    ++y;
  }
  return s;
}

}  // namespace

TEST(Raster, ReadsOutsideAsBlackAndDropsWritesOutside) {
  QImage img = NewImage(4, 3, kWhite);
  const QImage before = img.copy();
  const std::pair<int, int> outside[] = {{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {INT_MIN, INT_MIN}, {INT_MAX, 1}};
  for (auto [x, y] : outside) {
    EXPECT_EQ(PixelAt(img, x, y), kBlack) << x << "," << y;
    SetPixel(img, x, y, kRed);
    PenPixel(img, x, y, kBlack, PenMode::kNotXor);
  }
  EXPECT_TRUE(SameBytes(img, before));
  EXPECT_EQ(PixelAt(img, 3, 2), kWhite);
  EXPECT_EQ(PixelAt(QImage(), 0, 0), kBlack);
}

TEST(Raster, NotXorWithBlackPenInvertsAndCopyPenReplaces) {
  QImage img = NewImage(1, 1, 0xFF123456u);
  PenPixel(img, 0, 0, kBlack, PenMode::kNotXor);
  EXPECT_EQ(PixelAt(img, 0, 0), 0xFFEDCBA9u);
  PenPixel(img, 0, 0, kBlack, PenMode::kNotXor);
  EXPECT_EQ(PixelAt(img, 0, 0), 0xFF123456u);
  // NOT (white XOR p) is p itself: a white inverting pen leaves the pixel.
  PenPixel(img, 0, 0, kWhite, PenMode::kNotXor);
  EXPECT_EQ(PixelAt(img, 0, 0), 0xFF123456u);
  PenPixel(img, 0, 0, kRed, PenMode::kCopy);
  EXPECT_EQ(PixelAt(img, 0, 0), kRed);
}

TEST(Raster, FillBoxIsNormalisedClippedAndExcludesRightAndBottom) {
  QImage img = NewImage(6, 5);
  FillBox(img, Box{4, 3, 1, 1}, kRed);      // corners swapped: x 1..3, y 1..2
  FillBox(img, Box{-10, 4, 100, 99}, kBlue);  // clipped: row 4 only
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      QRgb want = kBlack;
      if (x >= 1 && x <= 3 && y >= 1 && y <= 2) want = kRed;
      if (y == 4) want = kBlue;
      EXPECT_EQ(PixelAt(img, x, y), want) << x << "," << y;
    }
  }
}

TEST(Raster, StretchGrowsEachPixelToABlockAndShrinksToTheBlockMiddle) {
  const QImage small = RandomImage(7, 4, 1);
  QImage big = NewImage(21, 12);
  StretchCopy(small, Box{0, 0, 7, 4}, big, Box{0, 0, 21, 12}, CopyMode::kSrcCopy);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 21; ++x) ASSERT_EQ(PixelAt(big, x, y), PixelAt(small, x / 3, y / 3)) << x << "," << y;
  }

  // Shrinking a picture whose blocks are not of one colour takes the middle.
  const QImage busy = RandomImage(21, 12, 2);
  QImage shrunk = NewImage(7, 4);
  StretchCopy(busy, Box{0, 0, 21, 12}, shrunk, Box{0, 0, 7, 4}, CopyMode::kSrcCopy);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 7; ++x) ASSERT_EQ(PixelAt(shrunk, x, y), PixelAt(busy, 3 * x + 1, 3 * y + 1));
  }

  // Grow and shrink again gives the picture back.
  QImage back = NewImage(7, 4);
  StretchCopy(big, Box{0, 0, 21, 12}, back, Box{0, 0, 7, 4}, CopyMode::kSrcCopy);
  EXPECT_TRUE(SameBytes(back, small));
}

TEST(Raster, StretchReadsBlackOutsideTheSourceAndClipsTheTarget) {
  const QImage src = NewImage(2, 2, kRed);
  QImage dst = NewImage(4, 4, kWhite);
  // Source box from (-1, -1): its first column and row lie outside.
  StretchCopy(src, Box{-1, -1, 2, 2}, dst, Box{-1, -1, 2, 2}, CopyMode::kSrcCopy);
  EXPECT_EQ(PixelAt(dst, 0, 0), kRed);
  EXPECT_EQ(PixelAt(dst, 1, 1), kRed);
  EXPECT_EQ(PixelAt(dst, 2, 2), kWhite);
  StretchCopy(src, Box{1, 1, 3, 3}, dst, Box{2, 2, 4, 4}, CopyMode::kSrcCopy);
  EXPECT_EQ(PixelAt(dst, 2, 2), kRed);    // source (1, 1)
  EXPECT_EQ(PixelAt(dst, 3, 2), kBlack);  // source (2, 1): outside
  EXPECT_EQ(PixelAt(dst, 2, 3), kBlack);
  EXPECT_EQ(PixelAt(dst, 3, 3), kBlack);
  // Empty boxes copy nothing.
  const QImage before = dst.copy();
  StretchCopy(src, Box{0, 0, 0, 2}, dst, Box{0, 0, 4, 4}, CopyMode::kSrcCopy);
  StretchCopy(src, Box{0, 0, 2, 2}, dst, Box{1, 1, 1, 4}, CopyMode::kSrcCopy);
  EXPECT_TRUE(SameBytes(dst, before));
}

TEST(Raster, SrcPaintOrsAndTreatsBlackAsTransparent) {
  QImage clip = NewImage(2, 1);
  SetPixel(clip, 1, 0, kRed);
  QImage view = NewImage(3, 1, kGreen);
  CopyBox(clip, Box{0, 0, 2, 1}, view, QPoint(1, 0), CopyMode::kSrcPaint);
  EXPECT_EQ(PixelAt(view, 0, 0), kGreen);
  EXPECT_EQ(PixelAt(view, 1, 0), kGreen);        // black source pixel
  EXPECT_EQ(PixelAt(view, 2, 0), 0xFFFFFF00u);   // red OR green
  CopyBox(clip, Box{0, 0, 2, 1}, view, QPoint(0, 0), CopyMode::kSrcCopy);
  EXPECT_EQ(PixelAt(view, 0, 0), kBlack);
  EXPECT_EQ(PixelAt(view, 1, 0), kRed);
}

TEST(Raster, CopyWithinOneImageUsesTheSourceAsItWas) {
  QImage img = NewImage(4, 1);
  for (int x = 0; x < 4; ++x) SetPixel(img, x, 0, static_cast<QRgb>(x + 1));
  CopyBox(img, Box{0, 0, 3, 1}, img, QPoint(1, 0), CopyMode::kSrcCopy);
  const QRgb want[] = {1, 1, 2, 3};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(img, x, 0), Opaque(want[x])) << x;
}

TEST(Raster, LinePixelsTable) {
  struct Case {
    QPoint from, to;
    bool includeEnd;
    std::set<std::pair<int, int>> want;
  };
  const Case cases[] = {
      {{0, 0}, {5, 0}, true, FromRows({"######"})},
      {{0, 0}, {5, 0}, false, FromRows({"#####"})},
      {{5, 0}, {0, 0}, false, FromRows({".#####"})},
      {{2, 2}, {2, 2}, true, {{2, 2}}},
      {{2, 2}, {2, 2}, false, {}},
      {{0, 0}, {3, 3}, true, FromRows({"#...", ".#..", "..#.", "...#"})},
      {{0, 0}, {0, 3}, false, FromRows({"#", "#", "#"})},
      {{0, 0}, {6, 2}, true, FromRows({"##.....", "..###..", ".....##"})},
  };
  for (const Case& c : cases) {
    auto points = LinePixels(c.from, c.to, c.includeEnd);
    EXPECT_EQ(AsSet(points), c.want) << c.from.x() << "," << c.from.y() << " -> " << c.to.x() << "," << c.to.y();
    EXPECT_EQ(points.size(), c.want.size()) << "a pixel listed twice";
  }
}

TEST(Raster, LongLinesAreConnectedAndReachTheirEnd) {
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    QPoint a(static_cast<int>(rng() % 200) - 100, static_cast<int>(rng() % 200) - 100);
    QPoint b(static_cast<int>(rng() % 200) - 100, static_cast<int>(rng() % 200) - 100);
    auto points = LinePixels(a, b, true);
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.front(), a);
    EXPECT_EQ(points.back(), b);
    EXPECT_EQ(static_cast<int>(points.size()), std::max(std::abs(b.x() - a.x()), std::abs(b.y() - a.y())) + 1);
    for (std::size_t k = 1; k < points.size(); ++k) {
      ASSERT_LE(std::abs(points[k].x() - points[k - 1].x()), 1);
      ASSERT_LE(std::abs(points[k].y() - points[k - 1].y()), 1);
    }
  }
  EXPECT_TRUE(LinePixels({0, 0}, {INT_MAX, 0}, true).empty());
}

TEST(Raster, RectanglePixelsTable) {
  struct Case {
    Box box;
    std::set<std::pair<int, int>> want;
  };
  const Case cases[] = {
      {{0, 0, 1, 1}, {{0, 0}}},
      {{0, 0, 3, 3}, FromRows({"###", "#.#", "###"})},
      {{3, 3, 0, 0}, FromRows({"###", "#.#", "###"})},
      {{1, 0, 5, 2}, FromRows({"####", "####"}, 1, 0)},
      {{0, 0, 1, 3}, FromRows({"#", "#", "#"})},
      {{0, 0, 4, 1}, FromRows({"####"})},
      {{0, 0, 0, 5}, {}},
      {{2, 2, 2, 2}, {}},
  };
  for (const Case& c : cases) {
    auto points = RectanglePixels(c.box);
    EXPECT_EQ(AsSet(points), c.want) << c.box.left << "," << c.box.top << "," << c.box.right << "," << c.box.bottom;
    EXPECT_EQ(points.size(), c.want.size());
  }
}

namespace {

// A plain breadth-first fill of the 4-connected area of one colour, written
// independently of the scanline fill.
QImage ReferenceFill(QImage img, QPoint seed, QRgb color) {
  const QRgb target = PixelAt(img, seed.x(), seed.y());
  if (SameColor(target, color)) return img;
  std::deque<QPoint> queue{seed};
  SetPixel(img, seed.x(), seed.y(), color);
  while (!queue.empty()) {
    QPoint p = queue.front();
    queue.pop_front();
    for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
      QPoint n = p + d;
      if (n.x() < 0 || n.y() < 0 || n.x() >= img.width() || n.y() >= img.height()) continue;
      if (!SameColor(PixelAt(img, n.x(), n.y()), target)) continue;
      SetPixel(img, n.x(), n.y(), color);
      queue.push_back(n);
    }
  }
  return img;
}

}  // namespace

TEST(Raster, EllipsePixelsOfSmallBoxes) {
  struct Case {
    Box box;
    std::set<std::pair<int, int>> want;
  };
  const Case cases[] = {
      {{0, 0, 1, 1}, {{0, 0}}},
      {{0, 0, 2, 1}, FromRows({"##"})},
      {{0, 0, 1, 3}, FromRows({"#", "#", "#"})},
      {{0, 0, 2, 2}, FromRows({"##", "##"})},
      {{10, 20, 15, 25}, FromRows({".###.", "#...#", "#...#", "#...#", ".###."}, 10, 20)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AsSet(EllipsePixels(c.box)), c.want) << c.box.right - c.box.left << "x" << c.box.bottom - c.box.top;
  }
}

TEST(Raster, EllipsesStayInTheirBoxTouchEverySideAndAreSymmetricAndClosed) {
  for (int w = 1; w <= 24; ++w) {
    for (int h = 1; h <= 24; ++h) {
      const Box box{3, 5, 3 + w, 5 + h};
      auto points = EllipsePixels(box);
      auto set = AsSet(points);
      ASSERT_EQ(set.size(), points.size()) << w << "x" << h;
      bool left = false, right = false, top = false, bottom = false;
      for (auto [x, y] : set) {
        ASSERT_TRUE(x >= box.left && x < box.right && y >= box.top && y < box.bottom) << w << "x" << h;
        left |= x == box.left;
        right |= x == box.right - 1;
        top |= y == box.top;
        bottom |= y == box.bottom - 1;
        ASSERT_TRUE(set.count({box.left + box.right - 1 - x, y})) << w << "x" << h << " mirror x";
        ASSERT_TRUE(set.count({x, box.top + box.bottom - 1 - y})) << w << "x" << h << " mirror y";
      }
      EXPECT_TRUE(left && right && top && bottom) << w << "x" << h;
      // Closed: a fill from outside the box never reaches the middle.
      if (w >= 3 && h >= 3) {
        QImage img = NewImage(w + 10, h + 10);
        ApplyPen(img, points, kRed, PenMode::kCopy);
        const QImage filled = ReferenceFill(img, QPoint(0, 0), kGreen);
        ASSERT_EQ(PixelAt(filled, box.left + w / 2, box.top + h / 2), kBlack) << w << "x" << h;
      }
    }
  }
}

TEST(Raster, FrameAndWideLinePixels) {
  EXPECT_EQ(AsSet(FramePixels(Box{0, 0, 5, 4}, 1)), AsSet(RectanglePixels(Box{0, 0, 5, 4})));
  EXPECT_EQ(AsSet(FramePixels(Box{0, 0, 8, 8}, 3)),
            FromRows({"########", "########", "########", "###..###", "###..###", "########", "########", "########"}));
  EXPECT_EQ(FramePixels(Box{0, 0, 5, 5}, 3).size(), 25u);
  // A stroke between grid points of 3 covers whole 3 x 3 cells.
  EXPECT_EQ(AsSet(WideLinePixels({0, 0}, {6, 0}, 3)), FromRows({"#########", "#########", "#########"}));
  auto stroke = WideLinePixels({0, 0}, {3, 3}, 3);
  EXPECT_EQ(stroke.size(), AsSet(stroke).size());
  EXPECT_TRUE(AsSet(stroke).count({5, 5}));
  EXPECT_FALSE(AsSet(stroke).count({6, 0}));
}

TEST(Raster, EveryBandDrawnTwiceLeavesARandomImageUnchanged) {
  QImage img = RandomImage(64, 40, 11);
  const QImage before = img.copy();
  std::mt19937 rng(3);
  auto coord = [&rng](int limit) { return static_cast<int>(rng() % static_cast<unsigned>(limit + 20)) - 10; };
  for (int i = 0; i < 50; ++i) {
    const Box box{coord(64), coord(40), coord(64), coord(40)};
    const QPoint a(coord(64), coord(40)), b(coord(64), coord(40));
    const std::vector<std::vector<QPoint>> bands = {RectanglePixels(box), EllipsePixels(box), LinePixels(a, b, true),
                                                    LinePixels(a, b, false), FramePixels(box, 3),
                                                    WideLinePixels(a, b, 3)};
    for (const auto& band : bands) {
      ApplyPen(img, band, kBlack, PenMode::kNotXor);
      // Shown: exactly the band's pixels are inverted.
      for (const QPoint& p : band) {
        if (p.x() >= 0 && p.y() >= 0 && p.x() < 64 && p.y() < 40) {
          ASSERT_EQ(PixelAt(img, p.x(), p.y()), Opaque(~PixelAt(before, p.x(), p.y())));
        }
      }
      ApplyPen(img, band, kBlack, PenMode::kNotXor);
      ASSERT_TRUE(SameBytes(img, before)) << "band " << i;
    }
  }
}


TEST(Raster, FloodFillInTheTargetsOwnColourDoesNothing) {
  QImage img = RandomImage(20, 10, 5, 3);
  const QImage before = img.copy();
  EXPECT_EQ(FloodFillSurface(img, QPoint(4, 4), PixelAt(img, 4, 4)), 0u);
  EXPECT_EQ(FloodFillSurface(img, QPoint(-1, 4), kRed), 0u);
  EXPECT_EQ(FloodFillSurface(img, QPoint(20, 0), kRed), 0u);
  EXPECT_TRUE(SameBytes(img, before));
}

TEST(Raster, FloodFillNeverLeaksThroughADiagonalLine) {
  QImage img = NewImage(12, 12);
  ApplyPen(img, LinePixels({0, 0}, {11, 11}, true), kRed, PenMode::kCopy);
  EXPECT_EQ(FloodFillSurface(img, QPoint(11, 0), kGreen), 66u);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      const QRgb want = x == y ? kRed : (x > y ? kGreen : kBlack);
      ASSERT_EQ(PixelAt(img, x, y), want) << x << "," << y;
    }
  }
}

TEST(Raster, FloodFillMatchesAPlainFillOnRandomPictures) {
  for (unsigned seed = 0; seed < 40; ++seed) {
    QImage img = RandomImage(31, 17, seed, 2);
    const QPoint at(static_cast<int>(seed * 7 % 31), static_cast<int>(seed * 3 % 17));
    const QImage want = ReferenceFill(img.copy(), at, kBlue);
    FloodFillSurface(img, at, kBlue);
    ASSERT_TRUE(SameBytes(img, want)) << "seed " << seed;
  }
}

TEST(Raster, FloodFillInsideAnOutlineStaysInside) {
  QImage img = NewImage(10, 10);
  ApplyPen(img, EllipsePixels(Box{1, 1, 9, 9}), kRed, PenMode::kCopy);
  FloodFillSurface(img, QPoint(5, 5), kGreen);
  EXPECT_EQ(PixelAt(img, 0, 0), kBlack);
  EXPECT_EQ(PixelAt(img, 9, 9), kBlack);
  EXPECT_EQ(PixelAt(img, 1, 1), kBlack);
  EXPECT_EQ(PixelAt(img, 4, 4), kGreen);
  EXPECT_EQ(PixelAt(img, 2, 5), kGreen);
}
