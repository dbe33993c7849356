// What a user of the drawing program does from start to end, through the
// window: a picture drawn with every tool, two logos captured from it, saved
// as a logo file, and that file read back as the editor's logo picker reads it
// (the shared logo-file reader with the exact magic).
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

#include "common/LogoFile.h"
#include "common/Raster.h"
#include "draw/LogoPanel.h"
#include "draw/ToolController.h"
#include "draw/ZoomWidgets.h"
#include "draw/text/TextBox.h"
#include "draw/text/TextBoxWidget.h"
#include "drawapp/Main.h"
#include "platform/MessageBoxes.h"
#include "WindowTestSupport.h"

using draw::DrawTool;
using drawapp::TfrmMain;
using namespace drawapptest;

namespace {

// The palette's items "1" to "9" (index 0 to 8) and the codes a logo file keeps.
constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kRed = 0xFFFF1F3Fu;       // index 1, 0xE0
constexpr QRgb kDarkRed = 0xFFBF1F3Fu;   // index 2, 0xA0
constexpr QRgb kGreen = 0xFF1FFF3Fu;     // index 3, 0x1C
constexpr QRgb kDarkGreen = 0xFF1FBF3Fu; // index 4, 0x14
constexpr QRgb kYellow = 0xFFFFFF3Fu;    // index 5, 0xFC
constexpr QRgb kOlive = 0xFFDFDF3Fu;     // index 6, 0xD8
constexpr QRgb kOrange = 0xFFFF5F3Fu;    // index 7, 0xE8
constexpr QRgb kBrown = 0xFFDF5F3Fu;     // index 8, 0xC8
// Black is kept as code 0, which reads back with its low bits filled.
constexpr QRgb kCodeZero = 0xFF1F1F3Fu;

// How a view pixel of the palette reads back from a logo file.
QRgb ReadBack(QRgb viewPixel) { return raster::SameColor(viewPixel, kBlack) ? kCodeZero : viewPixel; }

// The sign pixel (x, y) of a logo read at the list's scale of 3: the middle of its block.
QRgb LogoPixel(const QImage& logo, int x, int y) { return logo.pixel(x * 3 + 1, y * 3 + 1); }

// The first sign pixel where the logo differs from the view's sign pixels
// (viewX + x, y); "" when none does. Rows from `blackFrom` on must be black.
std::string FirstDifference(const QImage& logo, const QImage& view, int viewX, int blackFrom) {
  for (int y = 0; y < logo.height() / 3; ++y) {
    for (int x = 0; x < logo.width() / 3; ++x) {
      const QRgb expected = ReadBack(y >= blackFrom ? kBlack : view.pixel((viewX + x) * 3 + 1, y * 3 + 1));
      if (!raster::SameColor(LogoPixel(logo, x, y), expected)) {
        return "sign pixel " + std::to_string(x) + "," + std::to_string(y) + ": " +
               QString::number(LogoPixel(logo, x, y), 16).toStdString() + " instead of " +
               QString::number(expected, 16).toStdString();
      }
    }
  }
  return "";
}

}  // namespace

class DrawEndToEndTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TryOutDirs> dirs_;
  std::unique_ptr<platform::ScopedRecordingBoxes> boxes_;

  static void Color(TfrmMain& w, int index) { w.cboColor->setCurrentIndex(index); }
  static void Key(TfrmMain& w, int key) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : &w, Qt::Key(key));
  }

 private slots:
  void init() {
    dirs_ = std::make_unique<TryOutDirs>();
    boxes_ = std::make_unique<platform::ScopedRecordingBoxes>();
  }
  void cleanup() {
    boxes_.reset();
    dirs_.reset();
  }

  void everyToolDrawsLogosThatTheLogoPickerReads() {
    auto w = StartWindow();
    QWidget* view = w->Img;

    // A bitmap of 4 x 2 imported into the top left.
    const std::string bitmap = (dirs_->workDir / "SMALL.BMP").string();
    QImage small(4, 2, QImage::Format_RGB32);
    const QRgb smallPixels[2][4] = {{kRed, kGreen, kYellow, kRed}, {kGreen, kGreen, kBlack, kRed}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) small.setPixel(x, y, smallPixels[y][x]);
    QVERIFY(small.save(QString::fromStdString(bitmap), "BMP"));
    w->fileDialogs.openBitmap = [&](QWidget*) { return bitmap; };
    w->MenuItem("LoadPCX1")->trigger();
    QCOMPARE(w->lblClipping->text(), QString("2x4"));
    QCOMPARE(w->Model().CurrentTool(), DrawTool::kCustomFrame);

    // A red rectangle from sign pixel (5, 1) to (14, 6), filled green inside,
    // and the eraser's square taken out of the fill.
    Color(*w, 1);
    ChooseTool(*w, DrawTool::kRectangle);
    Drag(view, SignPoint(5, 1), SignPoint(14, 6));
    Color(*w, 3);
    ChooseTool(*w, DrawTool::kFill);
    Click(view, SignPoint(9, 3));
    ChooseTool(*w, DrawTool::kEraser);
    Click(view, QPoint(21, 9));  // 10 x 10 screen pixels from (17, 5): sign pixels 6 to 8, 2 to 4

    // A yellow pencil stroke along row 1, a line, an ellipse.
    Color(*w, 5);
    ChooseTool(*w, DrawTool::kPencil);
    Drag(view, QPoint(48, 3), QPoint(66, 3));  // sign pixels 16 to 22
    Color(*w, 2);
    ChooseTool(*w, DrawTool::kLine);
    Drag(view, SignPoint(24, 0), SignPoint(30, 6));
    Color(*w, 4);
    ChooseTool(*w, DrawTool::kEllipse);
    Drag(view, SignPoint(32, 0), SignPoint(46, 7));

    // "HI" in the first sign font, committed by the next tool choice (Zoom).
    Color(*w, 6);
    ChooseTool(*w, DrawTool::kText);
    Click(view, SignPoint(48, 0));
    QVERIFY(w->TextBox().IsShown());
    QTest::keyClicks(w->textBoxWidget, "HI");
    ChooseTool(*w, DrawTool::kZoom);
    QVERIFY(!w->TextBox().IsShown());

    // One cell edited in the zoom window; the next tool closes it.
    Click(view, QPoint(1, 1));
    QVERIFY(w->Model().Zoomed());
    Color(*w, 7);
    Click(w->Zoom().ZoomImg(), QPoint(605, 45));  // cell (60, 4)
    Color(*w, 8);
    ChooseTool(*w, DrawTool::kPencil);
    QVERIFY(!w->Model().Zoomed());
    Click(view, SignPoint(62, 5));

    // Logo 1: a Custom Frame box of 10 x 4 sign pixels at (100, 0); the red
    // pixel at (105, 6) lies below it.
    Color(*w, 1);
    Click(view, SignPoint(101, 1));
    Click(view, SignPoint(105, 6));
    ChooseTool(*w, DrawTool::kCustomFrame);
    Drag(view, SignPoint(100, 0), SignPoint(109, 3));
    QCOMPARE(w->lblClipping->text(), QString("4x10"));
    w->palLogo->spdInsert->click();
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("1/1  8 X 10"));

    // Copied, the box moved 20 sign pixels right with the arrow keys, pasted.
    w->spdCopy->click();
    for (int i = 0; i < 20; ++i) Key(*w, Qt::Key_Right);
    QCOMPARE(w->Tools().Box().Rect(), QRect(360, 0, 30, 12));
    w->spdPaste->click();

    // Logo 2: the Sign Frame, 160 x 8.
    ChooseTool(*w, DrawTool::kSignFrame);
    w->palLogo->spdInsert->click();
    QCOMPARE(w->palLogo->palFrameInfo->text(), QString("2/2  8 X 160"));
    const QImage drawn = w->Model().View().copy();

    const std::string path = (dirs_->workDir / "ALL.LOG").string();
    w->fileDialogs.saveLogo = [&](QWidget*, const std::string&) { return path; };
    w->MenuItem("SaveAs1")->trigger();
    QCOMPARE(w->lblFN->text(), QString::fromStdString(path));
    QCOMPARE(w->lblFN_M->text(), QString("File:"));
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{});

    // The logo picker's reading: exact magic, both logos in order.
    const std::vector<QImage> logos = logofile::LoadLogoFile(path, logofile::MagicRule::kExactMagic);
    QCOMPARE(logos.size(), std::size_t{2});
    QCOMPARE(logos[0].size(), QSize(30, 24));
    QCOMPARE(logos[1].size(), QSize(480, 24));
    const std::vector<QImage> signPixels = logofile::LoadLogoFile(path, logofile::MagicRule::kExactMagic, 1);
    QCOMPARE(signPixels[0].size(), QSize(10, 8));
    QCOMPARE(signPixels[1].size(), QSize(160, 8));

    // Each logo is what the view showed inside its box; the first is padded
    // black below its four rows.
    const std::string first = FirstDifference(logos[0], drawn, 100, 4);
    QVERIFY2(first.empty(), first.c_str());
    const std::string second = FirstDifference(logos[1], drawn, 0, 8);
    QVERIFY2(second.empty(), second.c_str());

    // And what each tool put there, sign pixel by sign pixel.
    struct Expected {
      const char* what;
      int x, y;
      QRgb color;
    };
    const Expected expected[] = {
        {"imported", 0, 0, kRed},          {"imported", 2, 0, kYellow},
        {"imported", 1, 1, kGreen},        {"imported black", 2, 1, kBlack},
        {"rectangle corner", 5, 1, kRed},  {"rectangle corner", 14, 6, kRed},
        {"rectangle side", 5, 4, kRed},    {"outside", 15, 3, kBlack},
        {"filled", 9, 3, kGreen},          {"filled", 13, 5, kGreen},
        {"erased", 6, 2, kBlack},          {"erased", 8, 4, kBlack},
        {"filled past the eraser", 9, 4, kGreen},
        {"stroke", 16, 1, kYellow},        {"stroke", 22, 1, kYellow},
        {"past the stroke", 23, 1, kBlack}, {"under the stroke", 16, 2, kBlack},
        {"line start", 24, 0, kDarkRed},   {"line", 27, 3, kDarkRed},
        {"line end", 30, 6, kDarkRed},     {"beside the line", 25, 0, kBlack},
        {"ellipse corner", 32, 0, kBlack}, {"ellipse corner", 46, 7, kBlack},
        {"inside the ellipse", 39, 4, kBlack},
        // 'H' is 0x48 in its first glyph row, 0xB7 in its second; 'I' 0x49.
        {"H", 49, 0, kOlive},              {"H", 52, 0, kOlive},
        {"H gap", 50, 0, kBlack},          {"H", 48, 1, kOlive},
        {"I", 55, 0, kOlive},              {"zoom cell", 60, 4, kOrange},
        {"pencil click", 62, 5, kBrown},   {"framed", 101, 1, kRed},
        {"below the frame", 105, 6, kRed}, {"pasted", 121, 1, kRed},
    };
    for (const Expected& e : expected) {
      QVERIFY2(raster::SameColor(LogoPixel(logos[1], e.x, e.y), ReadBack(e.color)),
               qPrintable(QString("%1 at %2,%3: %4").arg(e.what).arg(e.x).arg(e.y)
                              .arg(LogoPixel(logos[1], e.x, e.y), 0, 16)));
    }
    // The ellipse's outline touches its box's top edge.
    int ellipseTop = 0;
    for (int x = 32; x <= 46; ++x) ellipseTop += raster::SameColor(LogoPixel(logos[1], x, 0), kDarkGreen) ? 1 : 0;
    QVERIFY(ellipseTop > 0);
    QVERIFY(raster::SameColor(LogoPixel(logos[0], 1, 1), kRed));
    QVERIFY(raster::SameColor(LogoPixel(logos[0], 5, 6), kCodeZero));
  }
};

QTEST_MAIN(DrawEndToEndTest)
#include "EndToEndTest.moc"
