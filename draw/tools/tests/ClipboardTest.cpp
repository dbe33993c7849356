// Cut, Copy and Paste through the program's own clipboard, and bitmap import.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "ToolTestSupport.h"
#include "drawtest/BitmapBytes.h"
#include "platform/MessageBoxes.h"
#include "testsupport/HostilePaths.h"

using namespace draw;
using namespace drawtest;
using raster::kBlack;
using raster::PixelAt;

namespace {

constexpr QRgb kRed = 0xFFFF1F3Fu;    // item "2"
constexpr QRgb kGreen = 0xFF1FFF3Fu;  // item "4"

// A 24-bit Windows bitmap file, laid out by hand: rows bottom-up in blue,
// green, red, each padded to 4 bytes, behind the file and info headers.
std::vector<std::uint8_t> Bitmap24(int w, int h, QRgb (*color)(int x, int y)) {
  const int row = (w * 3 + 3) / 4 * 4;
  drawtest::BitmapLayout layout{w, h, 24, 0, {}, {}, {}};
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const QRgb c = color(x, y);
      layout.pixels.push_back(static_cast<std::uint8_t>(qBlue(c)));
      layout.pixels.push_back(static_cast<std::uint8_t>(qGreen(c)));
      layout.pixels.push_back(static_cast<std::uint8_t>(qRed(c)));
    }
    for (int pad = w * 3; pad < row; ++pad) layout.pixels.push_back(0);
  }
  return drawtest::BitmapFileBytes(layout);
}

QRgb Checker(int x, int y) { return (x + y) % 2 == 0 ? kRed : kGreen; }

QString WriteFile(const QTemporaryDir& dir, const char* name, const std::vector<std::uint8_t>& bytes) {
  const QString path = dir.filePath(name);
  std::ofstream(path.toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// A Custom Frame box around the sign pixels from `a` to `b`.
void FrameSignPixels(Tools& t, QPoint a, QPoint b) {
  // Choosing it again would return to the Pencil.
  if (t.model.CurrentTool() != DrawTool::kCustomFrame) t.tools.ChooseTool(DrawTool::kCustomFrame);
  t.Drag({a, b});
  ASSERT_TRUE(t.tools.Box().Shown());
}

void FillSignBox(DrawModel& m, int x0, int y0, int x1, int y1, QRgb c) {
  raster::FillBox(m.View(), raster::Box{x0 * 3, y0 * 3, (x1 + 1) * 3, (y1 + 1) * 3}, c);
}

}  // namespace

TEST(Clipboard, CutMoveAndPasteShiftsTheRegionOneSignPixel) {
  Tools t;
  FillSignBox(t.model, 2, 2, 4, 3, kRed);
  raster::SetPixel(t.model.View(), 9, 6, kGreen);  // one screen pixel, to see the copy is exact
  FrameSignPixels(t, {2, 2}, {4, 3});
  t.tools.Cut();
  EXPECT_EQ(t.tools.ClipBitmap().size(), QSize(9, 6));
  EXPECT_TRUE(SameBytes(t.model.View(), raster::NewImage(120, 30)));  // its old place is black
  EXPECT_TRUE(t.tools.FrameKey(Qt::Key_Right, false));
  t.tools.Paste();
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      QRgb want = kBlack;
      if (x >= 9 && x < 18 && y >= 6 && y < 12) want = kRed;
      if (x == 12 && y == 6) want = kGreen;
      ASSERT_EQ(PixelAt(t.model.View(), x, y), want) << x << "," << y;
    }
}

TEST(Clipboard, CopyLeavesTheViewAndAnotherBoxSizeStretches) {
  Tools t;
  FillSignBox(t.model, 0, 0, 1, 0, kRed);
  FrameSignPixels(t, {0, 0}, {1, 0});
  const QImage before = t.model.View().copy();
  t.tools.Copy();
  EXPECT_TRUE(SameBytes(t.model.View(), before));
  // Into a box of 4 x 2 sign pixels: each copied pixel doubled both ways.
  FrameSignPixels(t, {10, 2}, {13, 3});
  t.tools.Paste();
  for (int y = 0; y < 30; ++y)
    for (int x = 30; x < 120; ++x) {
      const bool in = x >= 30 && x < 42 && y >= 6 && y < 12;
      ASSERT_EQ(PixelAt(t.model.View(), x, y), in ? kRed : kBlack) << x << "," << y;
    }
}

// Black clipboard pixels leave the view; other colours are OR-ed into it.
TEST(Clipboard, TransparentPasteOrsColours) {
  Tools t;
  FillSignBox(t.model, 1, 1, 2, 2, kRed);  // a red square on black
  FrameSignPixels(t, {0, 0}, {3, 3});
  t.tools.Copy();
  t.model.View().fill(kGreen);
  t.tools.SetTransparent(true);
  t.tools.Paste();
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool square = x >= 3 && x < 9 && y >= 3 && y < 9;
      ASSERT_EQ(PixelAt(t.model.View(), x, y), square ? 0xFFFFFF3Fu : kGreen) << x << "," << y;
    }
  // Not transparent: the box's black comes along.
  t.tools.SetTransparent(false);
  t.tools.Paste();
  EXPECT_EQ(PixelAt(t.model.View(), 0, 0), kBlack);
  EXPECT_EQ(PixelAt(t.model.View(), 4, 4), kRed);
}

TEST(Clipboard, PasteBeforeAnyCutOrCopyDrawsNothing) {
  platform::ScopedRecordingBoxes boxes;
  Tools t;
  FillRandom(t.model.View(), 11);
  const QImage before = t.model.View().copy();
  FrameSignPixels(t, {1, 1}, {6, 4});
  t.tools.Paste();
  EXPECT_TRUE(SameBytes(t.model.View(), before));
  EXPECT_TRUE(boxes->Shown().empty());
}

TEST(Clipboard, WithoutAShownBoxEachCommandWarnsAndDoesNothing) {
  platform::ScopedRecordingBoxes boxes;
  Tools t;
  FillRandom(t.model.View(), 12);
  FrameSignPixels(t, {1, 1}, {2, 2});
  t.tools.Copy();
  const QImage clip = t.tools.ClipBitmap().copy();
  t.tools.ChooseTool(DrawTool::kPencil);  // hides the box
  const QImage before = t.model.View().copy();
  t.tools.Cut();
  t.tools.Copy();
  t.tools.Paste();
  EXPECT_TRUE(SameBytes(t.model.View(), before));
  EXPECT_TRUE(SameBytes(t.tools.ClipBitmap(), clip));
  const std::vector<std::string> want(3, "Clipping box is invisible !");
  EXPECT_EQ(boxes->Texts(), want);
  ASSERT_EQ(boxes->Shown().size(), 3u);
  EXPECT_EQ(boxes->Shown()[0].type, platform::BoxType::Warning);
}

TEST(Clipboard, ImportingABitmapFramesItAtTheTopLeft) {
  QTemporaryDir dir;
  Tools t;
  FillRandom(t.model.View(), 13);
  const QImage before = t.model.View().copy();
  std::vector<int> shown;
  QObject::connect(&t.tools, &ToolController::toolButtonShown, [&shown](int tag) { shown.push_back(tag); });
  ASSERT_TRUE(t.tools.ImportBitmap(WriteFile(dir, "ten.bmp", Bitmap24(10, 8, Checker)).toStdString()));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const QRgb want = x < 30 && y < 24 ? Checker(x / 3, y / 3) : PixelAt(before, x, y);
      ASSERT_EQ(PixelAt(t.model.View(), x, y), want) << x << "," << y;
    }
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 0, 30, 24));
  EXPECT_TRUE(t.tools.Box().Shown());
  EXPECT_EQ(t.tools.ClippingText(), "8x10");
  EXPECT_EQ(t.model.CurrentTool(), DrawTool::kCustomFrame);
  EXPECT_EQ(t.model.LastDrawTool(), DrawTool::kPencil);
  EXPECT_EQ(shown, std::vector<int>{0});
}

// A bitmap named on another system (bytes that are not UTF-8) is read under
// the name it has.
TEST(Clipboard, ABitmapNamedOnAnotherSystemImports) {
  QTemporaryDir dir;
  Tools t;
  const std::string path = dir.path().toStdString() + "/caf\xE9.bmp";
  const std::vector<std::uint8_t> bytes = Bitmap24(2, 2, Checker);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  platform::ScopedRecordingBoxes boxes;
  EXPECT_TRUE(t.tools.ImportBitmap(path));
  EXPECT_TRUE(boxes->Texts().empty());
  EXPECT_EQ(PixelAt(t.model.View(), 4, 1), Checker(1, 0));
  std::remove(path.c_str());  // Qt cannot remove a name it cannot hold
}

TEST(Clipboard, AnImportedBitmapsBoxIsCutToTheView) {
  QTemporaryDir dir;
  Tools t;  // 40 x 10 sign pixels
  ASSERT_TRUE(t.tools.ImportBitmap(WriteFile(dir, "WIDE.BMP", Bitmap24(50, 12, Checker)).toStdString()));
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 0, 120, 30));
  EXPECT_EQ(t.tools.ClippingText(), "10x40");
  EXPECT_EQ(PixelAt(t.model.View(), 119, 29), Checker(39, 9));
}

// Closing the zoom first keeps the import: the zoom's closing copy would put
// the picture back over it.
TEST(Clipboard, ImportClosesTheZoomBeforeDrawing) {
  QTemporaryDir dir;
  Tools t;
  RecordingZoom zoom(t.model);
  t.tools.SetZoomHost(&zoom);
  t.tools.ChooseTool(DrawTool::kZoom);
  t.tools.ViewPress({0, 0});
  t.tools.ViewRelease({0, 0});
  ASSERT_TRUE(t.model.Zoomed());
  ASSERT_TRUE(t.tools.ImportBitmap(WriteFile(dir, "a.bmp", Bitmap24(2, 2, Checker)).toStdString()));
  EXPECT_EQ(zoom.zoomOuts, 1);
  EXPECT_EQ(t.tools.Box().Rect(), QRect(0, 0, 6, 6));
  EXPECT_EQ(PixelAt(t.model.View(), 0, 0), kRed);
  EXPECT_EQ(PixelAt(t.model.View(), 3, 0), kGreen);
}

TEST(Clipboard, AFileThatIsNotABitmapIsRefused) {
  platform::ScopedRecordingBoxes boxes;
  QTemporaryDir dir;
  Tools t;
  FillRandom(t.model.View(), 14);
  const QImage before = t.model.View().copy();
  const std::string text = "BM is how this text begins, but it is no bitmap\n";
  const QString cases[] = {
      WriteFile(dir, "notes.bmp", std::vector<std::uint8_t>(text.begin(), text.end())),
      WriteFile(dir, "empty.bmp", {}),
      dir.filePath("missing.bmp"),
  };
  for (const QString& path : cases) {
    EXPECT_FALSE(t.tools.ImportBitmap(path.toStdString())) << path.toStdString();
    EXPECT_TRUE(SameBytes(t.model.View(), before));
    EXPECT_FALSE(t.tools.Box().Shown());
    EXPECT_EQ(t.model.CurrentTool(), DrawTool::kPencil);
  }
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>(3, "File format is not accepted!"));
}

// A bitmap whose pixel data is cut short is refused with the reason on the
// line below, and the view keeps what it had: the platform's decoder would
// show the missing rows as black or as leftover memory. The same layouts whole
// import as they are.
TEST(Clipboard, ABitmapCutShortIsRefusedAndWholeOnesImport) {
  using drawtest::BitmapFileBytes;
  using drawtest::BitmapLayout;
  using drawtest::CutBy;
  const std::vector<std::uint32_t> palette = {0xFF1F3F, 0x1FFF3F};  // red, green
  // 4 x 3, 24 bits: rows of 12 bytes, bottom-up, blue green red.
  std::vector<std::uint8_t> rows24;
  for (int y = 2; y >= 0; --y)
    for (int x = 0; x < 4; ++x)
      for (std::uint8_t byte : Checker(x, y) == kRed ? std::vector<std::uint8_t>{0x3F, 0x1F, 0xFF}
                                                      : std::vector<std::uint8_t>{0x3F, 0xFF, 0x1F})
        rows24.push_back(byte);
  const BitmapLayout rgb{4, 3, 24, 0, {}, rows24, {}};
  // 8 bits: palette indices, rows of 4 bytes.
  const BitmapLayout indexed{4, 3, 8, 0, palette, {0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1}, {}};
  // RLE8: literal runs of four, an end of line after each row, end of bitmap.
  const BitmapLayout rle{4, 3, 8, 1, palette,
                         {0, 4, 0, 1, 0, 1, 0, 0, 0, 4, 1, 0, 1, 0, 0, 0, 0, 4, 0, 1, 0, 1, 0, 0, 0, 1}, {}};
  const std::string cutRows = "File format is not accepted!\nThe file ends inside its pixel data: ";
  const std::string cutRle =
      "File format is not accepted!\nThe file ends inside its run-length data, before the end of the bitmap.";
  const struct {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::string refusal;  // empty: imported
  } cases[] = {
      {"24 bits whole", BitmapFileBytes(rgb), ""},
      {"24 bits, half its pixel data", CutBy(BitmapFileBytes(rgb), 18), cutRows + "18 of 36 bytes are there."},
      {"8 bits whole", BitmapFileBytes(indexed), ""},
      {"8 bits, its top row missing", CutBy(BitmapFileBytes(indexed), 4), cutRows + "8 of 12 bytes are there."},
      {"RLE8 whole", BitmapFileBytes(rle), ""},
      {"RLE8, its top row missing", CutBy(BitmapFileBytes(rle), 10), cutRle},
  };
  QTemporaryDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::ScopedRecordingBoxes boxes;
    Tools t;
    FillRandom(t.model.View(), 16);
    const QImage before = t.model.View().copy();
    const std::string path = WriteFile(dir, "picture.bmp", c.bytes).toStdString();
    if (c.refusal.empty()) {
      EXPECT_TRUE(t.tools.ImportBitmap(path));
      EXPECT_TRUE(boxes->Texts().empty());
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(PixelAt(t.model.View(), x, y), Checker(x / 3, y / 3)) << x << "," << y;
      EXPECT_EQ(PixelAt(t.model.View(), 12, 0), PixelAt(before, 12, 0));
    } else {
      EXPECT_FALSE(t.tools.ImportBitmap(path));
      EXPECT_EQ(boxes->Texts(), std::vector<std::string>{c.refusal});
      EXPECT_TRUE(SameBytes(t.model.View(), before));
      EXPECT_FALSE(t.tools.Box().Shown());
    }
  }
}

// Load BMP on a path that is no regular file: refused at once with the reason
// on the line below, the picture untouched.
TEST(Clipboard, APathThatIsNoRegularFileIsRefusedAtOnce) {
  platform::ScopedRecordingBoxes boxes;
  QTemporaryDir dir;
  Tools t;
  FillRandom(t.model.View(), 15);
  const QImage before = t.model.View().copy();
  for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
    SCOPED_TRACE(testsupport::HostileKindName(kind));
    boxes->Clear();
    const std::string path = dir.filePath("hostile" + QString::number(static_cast<int>(kind)) + ".bmp").toStdString();
    const auto fifo = testsupport::MakeHostilePath(kind, path);
    EXPECT_FALSE(t.tools.ImportBitmap(path));
    EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"File format is not accepted!\n" + path + ": is not a regular file"});
    if (fifo) {
      EXPECT_FALSE(fifo->Released()) << "the import waited for a writer";
    }
    EXPECT_TRUE(SameBytes(t.model.View(), before));
  }
}
