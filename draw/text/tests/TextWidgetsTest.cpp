// The text box's window and the font and size boxes, driven as a user would.
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QTest>
#include <memory>

#include "TextTestSupport.h"
#include "common/Raster.h"
#include "draw/text/FontChoice.h"
#include "draw/text/TextBoxWidget.h"
#include "draw/text/TextFontBoxes.h"
#include "platform/MessageBoxes.h"

using namespace texttest;

namespace {

std::vector<draw::FaceSize> HandFaces(const std::string& family) {
  if (family == "Raster") return {draw::FaceSize{false, 13, 2}, draw::FaceSize{false, 16, 0}};
  return {draw::FaceSize{true, 0, 0}};
}

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

}  // namespace

class TextWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    boxes_ = std::make_unique<platform::ScopedRecordingBoxes>();
    fixture_ = std::make_unique<TextBoxFixture>();
    area_ = std::make_unique<QWidget>();
    area_->resize(480, 90);
    widget_ = new draw::TextBoxWidget(fixture_->box, area_.get());
    area_->show();
    QVERIFY(QTest::qWaitForWindowExposed(area_.get()));
    area_->activateWindow();
  }
  void cleanup() {
    area_.reset();
    fixture_.reset();
    boxes_.reset();
  }

  void hiddenUntilOpened() {
    QVERIFY(widget_->isHidden());
    fixture_->box.Open({30, 60});
    QVERIFY(widget_->isVisible());
    QCOMPARE(widget_->geometry(), QRect(30, 60, 30, 30));
    QTRY_VERIFY(widget_->hasFocus());
    fixture_->box.Hide();
    QVERIFY(widget_->isHidden());
  }

  void typedKeysReachTheBoxAndItsSizeFollowsAtOnce() {
    fixture_->box.Open({30, 60});
    QTRY_VERIFY(widget_->hasFocus());
    QTest::keyClicks(widget_, "ABC");
    QCOMPARE(fixture_->box.Lines()[0].size(), std::size_t{3});
    // Laid out on the edit, before any paint.
    QCOMPARE(widget_->size(), QSize((18 + 10) * 3, 24));
    QTest::keyClick(widget_, Qt::Key_Left);
    QTest::keyClick(widget_, Qt::Key_Backspace);
    QCOMPARE(fixture_->box.Lines()[0].size(), std::size_t{2});
    QCOMPARE(fixture_->box.CaretColumn(), 1);
    QTest::keyClick(widget_, Qt::Key_Return);
    QCOMPARE(fixture_->box.Lines().size(), std::size_t{2});
    QTest::keyClick(widget_, Qt::Key_Up);
    QTest::keyClick(widget_, Qt::Key_End);
    QTest::keyClick(widget_, Qt::Key_Home);
    QTest::keyClick(widget_, Qt::Key_Right);
    QCOMPARE(fixture_->box.CurrentLine(), 0);
    QCOMPARE(fixture_->box.CaretColumn(), 1);
    QTest::keyClick(widget_, Qt::Key_Delete);
    QCOMPARE(fixture_->box.Lines()[0].size(), std::size_t{1});
    QTest::keyClick(widget_, Qt::Key_Down);
    QCOMPARE(fixture_->box.CurrentLine(), 1);
    QTest::keyClick(widget_, Qt::Key_Down);  // the last line
    QCOMPARE((*boxes_)->Beeps(), 1);
    QVERIFY(widget_->hasFocus());  // arrows do not move the focus
  }

  void showsTheFramedImageAndTheCaret() {
    fixture_->box.Open({0, 0});
    QTRY_VERIFY(widget_->hasFocus());
    QTest::keyClicks(widget_, "A");
    QTRY_VERIFY(widget_->CaretVisible());
    const qint64 laidOut = fixture_->box.Image().cacheKey();
    const QImage shown = widget_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(fixture_->box.Image().cacheKey(), laidOut);  // a paint lays nothing out
    QImage want = fixture_->box.FramedImage();
    const QRect caret = fixture_->box.CaretRect();
    QCOMPARE(caret, QRect(18, 0, 3, 24));
    raster::FillBox(want, raster::Box{caret.left(), caret.top(), caret.right() + 1, caret.bottom() + 1}, 0xFF808080u);
    QCOMPARE(shown.size(), want.size());
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x)
        QVERIFY2(raster::SameColor(shown.pixel(x, y), want.pixel(x, y)), qPrintable(QString("%1,%2").arg(x).arg(y)));
  }

  void dragsInWholeSignPixels() {
    fixture_->box.Open({30, 60});
    SendMouse(widget_, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    QVERIFY(fixture_->box.Dragging());
    SendMouse(widget_, QEvent::MouseMove, {7, 5}, Qt::LeftButton);
    QCOMPARE(widget_->pos(), QPoint(30, 60));
    SendMouse(widget_, QEvent::MouseMove, {9, 5}, Qt::LeftButton);
    QCOMPARE(widget_->pos(), QPoint(33, 60));
    QCOMPARE(fixture_->box.Position(), QPoint(33, 60));
    SendMouse(widget_, QEvent::MouseButtonRelease, {6, 5}, Qt::NoButton);
    QVERIFY(!fixture_->box.Dragging());
    SendMouse(widget_, QEvent::MouseMove, {20, 5}, Qt::NoButton);
    QCOMPARE(widget_->pos(), QPoint(33, 60));
  }

  void fontBoxesFollowTheChoice() {
    draw::FontChoice choice(96, HandFaces);
    choice.SetScreenFonts({"Raster", "Outline"});
    draw::TextFontBoxes boxes(choice, area_.get());
    QComboBox* fonts = boxes.Fonts();
    QComboBox* sizes = boxes.Sizes();
    QCOMPARE(fonts->objectName(), QString("cboFonts"));
    QCOMPARE(sizes->objectName(), QString("cboFontSizes"));
    QCOMPARE(Items(fonts), QStringList({"Cur   6x8", "Cur   8x8", "Xmi   8x16", "Xmb   8x16", "Pcb   8x16",
                                        "Tsw  11x16", "Curi 11x16", "Default", "Outline", "Raster"}));
    QCOMPARE(fonts->currentIndex(), 0);
    QCOMPARE(fonts->focusPolicy(), Qt::NoFocus);
    QVERIFY(!sizes->isEnabled());
    QCOMPARE(sizes->count(), 0);

    emit fonts->activated(9);  // as a click on "Raster"
    QCOMPARE(choice.FontIndex(), 9);
    QVERIFY(sizes->isEnabled());
    QCOMPARE(Items(sizes), QStringList({"08", "12"}));
    QCOMPARE(sizes->currentIndex(), 0);
    emit sizes->activated(1);
    QCOMPARE(choice.CurrentStyle().pointSize, 12);

    emit fonts->activated(8);  // "Outline"
    QCOMPARE(sizes->count(), 17);
    QCOMPARE(sizes->currentText(), QString("08"));

    emit fonts->activated(2);
    QVERIFY(!sizes->isEnabled());
    QCOMPARE(sizes->count(), 0);
    QCOMPARE(choice.CurrentStyle().fontName, std::string("Xmi   8x16"));
  }

 private:
  std::unique_ptr<platform::ScopedRecordingBoxes> boxes_;
  std::unique_ptr<TextBoxFixture> fixture_;
  std::unique_ptr<QWidget> area_;
  draw::TextBoxWidget* widget_ = nullptr;
};

QTEST_MAIN(TextWidgetsTest)
#include "TextWidgetsTest.moc"
