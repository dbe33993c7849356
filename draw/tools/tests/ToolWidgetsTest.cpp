// The tool widgets on a real window (offscreen): buttons, the view's mouse,
// the clipping box widget, the frame keys and the colour box.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>

#include "ToolTestSupport.h"
#include "draw/BitmapImport.h"
#include "draw/FrameKeyFilter.h"
#include "draw/ToolWidgets.h"

using namespace draw;
using namespace drawtest;

namespace {

// A focusable control that records the keys it receives.
class KeySink : public QWidget {
 public:
  explicit KeySink(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }
  std::vector<int> keys;

 protected:
  // The test's own Ctrl presses are not of interest.
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() != Qt::Key_Control) keys.push_back(e->key());
  }
};

// The drawing area as the main window lays it out: the view at (0, 0), the
// clipping box over it, a control that can take the focus.
struct Area {
  Area() : tools(120, 30), view(tools.tools, &window), box(tools.tools, &window), sink(&window) {
    window.resize(200, 100);
    sink.setGeometry(150, 50, 20, 20);
  }
  Tools tools;
  QWidget window;
  ViewWidget view;
  SaveBoxWidget box;
  KeySink sink;
};

}  // namespace

class ToolWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void buttonsHaveTheirHintsAndFormOneExclusiveGroup() {
    Tools t;
    ToolButtons buttons(t.tools, nullptr);
    const char* hints[] = {"Custome Frame", "Sign Frame", "Pencil", "Eraser", "Text",
                           "Line",          "Rectangle",  "Ellipse", "Fill",  "Zoom"};
    for (int tag = 0; tag < ToolButtons::kTools; ++tag) {
      QCOMPARE(buttons.Button(tag)->objectName(), QString("spdTool%1").arg(tag));
      QCOMPARE(buttons.Button(tag)->toolTip(), QString(hints[tag]));
    }
    QTest::mouseClick(buttons.Button(8), Qt::LeftButton);
    QTest::mouseClick(buttons.Button(1), Qt::LeftButton);
    QVERIFY(buttons.Button(1)->isChecked());
    QVERIFY(!buttons.Button(8)->isChecked());
    QCOMPARE(t.model.CurrentTool(), DrawTool::kSignFrame);
    // Sign Frame again: back to Fill, shown pressed.
    QTest::mouseClick(buttons.Button(1), Qt::LeftButton);
    QCOMPARE(t.model.CurrentTool(), DrawTool::kFill);
    QVERIFY(buttons.Button(8)->isChecked());
    QVERIFY(!buttons.Button(1)->isChecked());
    // A drawing tool clicked again stays pressed and still acts (its click
    // hides the clipping box like any tool choice).
    QTest::mouseClick(buttons.Button(1), Qt::LeftButton);
    QVERIFY(t.tools.Box().Shown());
    QTest::mouseClick(buttons.Button(1), Qt::LeftButton);
    QTest::mouseClick(buttons.Button(8), Qt::LeftButton);
    QVERIFY(buttons.Button(8)->isChecked());
    QCOMPARE(t.model.CurrentTool(), DrawTool::kFill);
  }

  // Each button shows a picture of its own, drawn by the program, besides its hint.
  void eachButtonShowsAPictureOfItsOwn() {
    Tools t;
    ToolButtons buttons(t.tools, nullptr);
    const char* hints[] = {"Custome Frame", "Sign Frame", "Pencil", "Eraser", "Text",
                           "Line",          "Rectangle",  "Ellipse", "Fill",  "Zoom"};
    std::vector<QImage> pictures;
    for (int tag = 0; tag < ToolButtons::kTools; ++tag) {
      QToolButton* b = buttons.Button(tag);
      QCOMPARE(b->toolTip(), QString(hints[tag]));
      QVERIFY2(!b->icon().isNull(), hints[tag]);
      QVERIFY2(b->text().isEmpty() || b->toolButtonStyle() == Qt::ToolButtonIconOnly, hints[tag]);
      const QImage picture = b->icon().pixmap(b->iconSize()).toImage().convertToFormat(QImage::Format_ARGB32);
      QVERIFY2(picture.width() >= 16 && picture.height() >= 16, hints[tag]);
      int drawn = 0;
      for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) drawn += qAlpha(picture.pixel(x, y)) > 0;
      // Something, and not a filled square.
      QVERIFY2(drawn >= 12 && drawn < picture.width() * picture.height() * 3 / 4, hints[tag]);
      for (std::size_t other = 0; other < pictures.size(); ++other)
        QVERIFY2(picture != pictures[other], qPrintable(QString("%1 looks like %2").arg(hints[tag], hints[other])));
      pictures.push_back(picture);
    }
  }

  void theRightButtonDrawsLikeTheLeft() {
    for (DrawTool tool : {DrawTool::kPencil, DrawTool::kRectangle, DrawTool::kEraser}) {
      QImage results[2];
      int i = 0;
      for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        Area a;
        FillRandom(a.tools.model.View(), 4);
        const QImage before = a.tools.model.View().copy();
        a.tools.tools.ChooseTool(tool);
        QTest::mousePress(&a.view, button, {}, QPoint(10, 10));
        QTest::mouseMove(&a.view, QPoint(40, 20));
        QTest::mouseRelease(&a.view, button, {}, QPoint(40, 20));
        QVERIFY(!SameBytes(a.tools.model.View(), before));
        QVERIFY(!a.tools.model.drawing);
        results[i++] = a.tools.model.View().copy();
      }
      QVERIFY2(SameBytes(results[0], results[1]), "right and left differ");
    }
  }

  void theBoxWidgetFollowsTheBoxAndShowsItsInvertedFrame() {
    Area a;
    FillRandom(a.tools.model.View(), 6);
    a.tools.model.CopyViewToPicture();
    a.tools.model.CopyPictureToView();
    a.window.show();
    QVERIFY(!a.box.isVisible());
    a.tools.tools.ChooseTool(DrawTool::kCustomFrame);
    QTest::mousePress(&a.view, Qt::LeftButton, {}, QPoint(7, 7));
    QTest::mouseMove(&a.view, QPoint(20, 16));
    QTest::mouseRelease(&a.view, Qt::LeftButton, {}, QPoint(20, 16));
    QCOMPARE(a.box.geometry(), QRect(6, 6, 15, 12));
    QVERIFY(a.box.isVisible());
    // Dragged by the left button, in whole sign pixels.
    QTest::mousePress(&a.box, Qt::LeftButton, {}, QPoint(4, 4));
    QTest::mouseMove(&a.box, QPoint(11, 8));
    QTest::mouseRelease(&a.box, Qt::LeftButton, {}, QPoint(11, 8));
    QCOMPARE(a.box.geometry(), QRect(12, 9, 15, 12));
    QCOMPARE(a.tools.tools.XyText(), QString("7,5"));
    // On screen: the view, with the frame's three pixels along the border inverted.
    const QImage shot = a.window.grab(QRect(0, 0, 120, 30)).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage& view = a.tools.model.View();
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 120; ++x) {
        const bool inBox = x >= 12 && x < 27 && y >= 9 && y < 21;
        const bool frame = inBox && (x < 15 || x >= 24 || y < 12 || y >= 18);
        const QRgb want = frame ? raster::Opaque(~raster::PixelAt(view, x, y)) : raster::PixelAt(view, x, y);
        QCOMPARE(raster::Opaque(shot.pixel(x, y)), want);
      }
  }

  // The window sees the keys first: with a frame tool the arrows are the
  // box's; with any other tool they reach the focused control.
  void arrowKeysGoToTheBoxOnlyWithAFrameTool() {
    Area a;
    FrameKeyFilter filter(a.tools.tools, &a.window);
    a.window.show();
    QApplication::setActiveWindow(&a.window);
    a.sink.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&a.window));
    QTRY_VERIFY(a.sink.hasFocus());

    a.tools.tools.ChooseTool(DrawTool::kSignFrame);
    QTest::keyClick(&a.sink, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(&a.sink, Qt::Key_Down);
    QCOMPARE(a.tools.tools.Box().Rect(), QRect(0, 3, 477, 24));
    QCOMPARE(a.tools.tools.ClippingText(), QString("8x159"));
    QCOMPARE(a.box.geometry(), QRect(0, 3, 477, 24));
    QCOMPARE(a.sink.keys, std::vector<int>{});
    QTest::keyClick(&a.sink, Qt::Key_A);  // not an arrow: the control gets it
    QCOMPARE(a.sink.keys, std::vector<int>{Qt::Key_A});

    a.tools.tools.ChooseTool(DrawTool::kText);
    QTest::keyClick(&a.sink, Qt::Key_Right);
    QTest::keyClick(&a.sink, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(a.sink.keys, (std::vector<int>{Qt::Key_A, Qt::Key_Right, Qt::Key_Up}));
    QCOMPARE(a.tools.tools.Box().Rect(), QRect(0, 3, 477, 24));
  }

  void colorItemsArePaintedAsTheirColour() {
    for (int index : {0, 3, 8, -1}) {
      QImage item(60, 20, QImage::Format_RGB32);
      item.fill(Qt::red);
      {
        QPainter painter(&item);
        PaintColorItem(painter, QRect(0, 0, 60, 20), index);
      }
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
          const bool inside = x >= 3 && x <= 56 && y >= 2 && y <= 17;
          const bool outline = inside && (x == 3 || x == 56 || y == 2 || y == 17);
          const QRgb want = outline ? raster::kBlack : inside ? ColorIndexToColor(index) : raster::kWhite;
          QCOMPARE(raster::Opaque(item.pixel(x, y)), want);
        }
    }
    Tools t;
    ColorBox box(t.model, nullptr);
    QCOMPARE(box.count(), 9);
    QCOMPARE(box.itemText(0), QString("1"));
    QCOMPARE(box.itemText(8), QString("9"));
    QCOMPARE(t.model.ColorIndex(), -1);
    box.setCurrentIndex(5);
    QCOMPARE(t.model.ColorIndex(), 5);
  }

  void theImportFilterTakesBothCasesOfTheExtension() {
    QTemporaryDir dir;
    for (const char* name : {"a.bmp", "B.BMP", "c.txt", "dbmp"}) std::ofstream(dir.filePath(name).toStdString()) << "x";
    const QString filter = BitmapFileFilter();
    QVERIFY(filter.endsWith(";;All files (*)"));
    const QRegularExpressionMatch m = QRegularExpression(R"(^BMP files \(([^)]*)\))").match(filter);
    QVERIFY(m.hasMatch());
    const QStringList patterns = m.captured(1).split(' ');
    const QStringList found = QDir(dir.path()).entryList(patterns, QDir::Files | QDir::CaseSensitive, QDir::Name);
    QCOMPARE(found, (QStringList{"B.BMP", "a.bmp"}));
    const auto dialog = BitmapFileDialog(nullptr);
    QCOMPARE(dialog->objectName(), QString("OpenBMP"));
    QCOMPARE(dialog->windowTitle(), QString("Load BMP files"));
    QCOMPARE(dialog->defaultSuffix(), QString("BMP"));
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(dialog->nameFilters(), (QStringList{"BMP files (*.bmp *.BMP)", "All files (*)"}));
  }
};

QTEST_MAIN(ToolWidgetsTest)
#include "ToolWidgetsTest.moc"
