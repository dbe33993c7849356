// The Text tool with the real text box on a window (offscreen): a press opens
// the box there, keys reach it unless a frame tool holds the arrows, and the
// next press commits the typed text into the picture.
#include <QApplication>
#include <QTest>

#include "ToolTestSupport.h"
#include "common/SignFont.h"
#include "draw/FrameKeyFilter.h"
#include "draw/TextBoxTool.h"
#include "draw/ToolWidgets.h"
#include "draw/text/TextBoxWidget.h"

using namespace draw;
using namespace drawtest;

namespace {

// The font and size boxes held at a screen font, so no sign font file is needed.
struct ScreenFontStyle : TextStyleSource {
  TextStyle CurrentStyle() const override { return TextStyle{"DejaVu Sans Mono", 8}; }
};

struct TextArea {
  TextArea()
      : tools(240, 60),
        box(tools.model, fonts, style),
        tool(tools.model, box, tools.tools),
        view(tools.tools, &window),
        boxWidget(box, &window),
        filter(tools.tools, &window) {
    window.resize(300, 100);
    tools.tools.SetTextBox(&tool);
  }
  // Shows the window as the active one; false when it never became active.
  bool ShowActive() {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
  }
  Tools tools;
  signfont::SignFontTable fonts;
  ScreenFontStyle style;
  TextBox box;
  TextBoxTool tool;
  QWidget window;
  ViewWidget view;
  TextBoxWidget boxWidget;
  FrameKeyFilter filter;
};

int LitPixels(const QImage& image, QRect r) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (raster::PixelAt(image, x, y) != raster::kBlack && r.contains(x, y)) ++n;
  return n;
}

}  // namespace

class TextToolTest : public QObject {
  Q_OBJECT

 private slots:
  void aPressOpensTheBoxWhereTheKeysGoAndTheNextCommitsIt() {
    TextArea a;
    QVERIFY(a.ShowActive());
    a.tools.tools.ChooseTool(DrawTool::kText);
    QTest::mouseClick(&a.view, Qt::LeftButton, {}, QPoint(31, 17));
    QVERIFY(a.box.IsShown());
    QCOMPARE(a.boxWidget.pos(), QPoint(30, 15));
    QTRY_VERIFY(a.boxWidget.hasFocus());

    // Enter opens a second line, Up goes back to the first: the arrows are the box's.
    QTest::keyClick(&a.boxWidget, Qt::Key_Return);
    QTest::keyClick(&a.boxWidget, Qt::Key_Up);
    QCOMPARE(a.box.Lines().size(), std::size_t{2});
    QCOMPARE(a.box.CurrentLine(), 0);
    QTest::keyClicks(&a.boxWidget, "HI");
    QCOMPARE(a.box.CaretColumn(), 2);
    QTest::keyClick(&a.boxWidget, Qt::Key_Left);
    QCOMPARE(a.box.CaretColumn(), 1);
    const QImage picture = a.tools.model.Picture().copy();
    QCOMPARE(LitPixels(picture, picture.rect()), 0);

    // The next press commits the text at the box's place, in sign pixels.
    QTest::mouseClick(&a.view, Qt::LeftButton, {}, QPoint(200, 50));
    QVERIFY(!a.box.IsShown());
    QVERIFY(a.boxWidget.isHidden());
    const QImage& after = a.tools.model.Picture();
    const QRect place(10, 5, a.box.ContentWidth(), a.box.ContentHeight());
    QVERIFY(LitPixels(after, place) > 0);
    QCOMPARE(LitPixels(after, after.rect()), LitPixels(after, place));
  }

  void withAFrameToolTheArrowsMoveTheClippingBoxInstead() {
    TextArea a;
    QVERIFY(a.ShowActive());
    a.tools.tools.ChooseTool(DrawTool::kText);
    QTest::mouseClick(&a.view, Qt::LeftButton, {}, QPoint(3, 3));
    QTRY_VERIFY(a.boxWidget.hasFocus());
    QTest::keyClick(&a.boxWidget, Qt::Key_Return);
    // A change of tool commits and hides the box; give a shown box the focus
    // again to see where the arrows go.
    a.tools.tools.ChooseTool(DrawTool::kSignFrame);
    QVERIFY(!a.box.IsShown());
    a.box.Open(QPoint(0, 0));
    QTest::keyClick(&a.boxWidget, Qt::Key_Return);
    QTRY_VERIFY(a.boxWidget.hasFocus());
    QTest::keyClick(&a.boxWidget, Qt::Key_Up);
    QCOMPARE(a.box.CurrentLine(), 1);  // Up did not reach the box
    QCOMPARE(a.tools.tools.Box().Rect(), QRect(0, -3, 480, 24));
  }
};

QTEST_MAIN(TextToolTest)
#include "TextToolTest.moc"
