#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

#include "EditorFixture.h"
#include "editor/BillEditorWidget.h"

namespace editor {
namespace {

constexpr int kXmi8x16 = 2;

// A window holding the control and a line edit to take the focus elsewhere.
struct WidgetSetup : testsupport::SignSetup {
  WidgetSetup() : SignSetup({160, 16}) {
    model.CurrentFont = kXmi8x16;
    window.resize(600, 200);
    other = new QLineEdit(&window);
    other->move(10, 120);
    control = new BillEditorWidget(model, host, fonts, &window);
    control->Editor().SelectFrame(-1, 0);
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) qWarning("window not active");
    control->setFocus();
  }
  void Commit(const QString& text, const QString& preedit = {}) {
    QInputMethodEvent event(preedit, {});
    event.setCommitString(text);
    QApplication::sendEvent(control, &event);
  }

  QWidget window;
  QLineEdit* other = nullptr;
  BillEditorWidget* control = nullptr;
};

// A window action on a key, as the editor's menus have, counting its triggers.
struct CountedShortcut {
  CountedShortcut(QWidget& window, const QKeySequence& keys) {
    action.setShortcut(keys);
    QObject::connect(&action, &QAction::triggered, [this] { ++count; });
    window.addAction(&action);
  }
  QAction action;
  int count = 0;
};

}  // namespace

class BillEditorWidgetTest : public QObject {
  Q_OBJECT

 private slots:
  void TypedKeysBecomeCells() {
    WidgetSetup s;
    QTest::keyClicks(s.control, "AB");
    QCOMPARE(QString::fromStdString(s.Codes()), QString("AB"));
    QCOMPARE(s.Caret(), 3);
    QCOMPARE(s.boxes->Beeps(), 0);
  }

  void InputMethodCommitIsOnePair() {
    WidgetSetup s;
    s.Commit(QString::fromUtf8("\u4E00"));
    QCOMPARE(s.Codes(), std::string("\xA4\x40"));
    QCOMPARE(s.Fonts(), std::string("8X"));
    QCOMPARE(s.host.modifiedCalls, std::vector<bool>{true});
  }

  void PreeditNeverEntersTheMessage() {
    WidgetSetup s;
    s.Commit({}, QString::fromUtf8("\u4E00"));
    QCOMPARE(s.Frame().Length(1), 0);
    QVERIFY(s.host.modifiedCalls.empty());
  }

  void CaretRectangleIsReportedToTheInputMethod() {
    WidgetSetup s;
    QTest::keyClicks(s.control, "A");
    const QRectF rect = s.control->inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    QCOMPARE(rect.toRect(), s.control->Editor().Caret().rect);
    QCOMPARE(rect.toRect(), QRect(240 + 12, 44, 24, 3));
    QVERIFY(s.control->inputMethodQuery(Qt::ImEnabled).toBool());
  }

  void CharacterOutsideTheCodePageBeeps() {
    WidgetSetup s;
    QTest::keyClick(s.control, Qt::Key_Eacute, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Press, s.control, Qt::Key_unknown, QString::fromUtf8("\u00E9"), Qt::NoModifier);
    QCOMPARE(s.boxes->Beeps(), 2);
    QCOMPARE(s.Frame().Length(1), 0);
  }

  // A line that starts with two trail cells (no file and no key makes one):
  // the model refuses a cell before a trail, and the control takes that as a
  // refused key, with a beep and no error box.
  void AnEditTheModelRefusesBeepsAndShowsNoBox() {
    WidgetSetup s;
    TFrame& f = s.Frame();
    f.Layout = 1;
    f.InsertCellAt(1, 1, {kKindCharacter, 'Y', kTrailFont, '0', '0'});
    f.InsertCellAt(1, 2, {kKindCharacter, 'Z', kTrailFont, '0', '0'});
    f.CaretCell[1] = 1;
    const int beepsBefore = s.boxes->Beeps();
    QTest::keyClicks(s.control, "A");
    QCOMPARE(s.boxes->Texts(), std::vector<std::string>{});
    QCOMPARE(s.boxes->Beeps() - beepsBefore, 1);
    QCOMPARE(f.Codes[1], std::string("YZ"));
    // The control goes on taking keys: the caret has stepped off the first trail.
    QTest::keyClicks(s.control, "B");
    QCOMPARE(f.Codes[1], std::string("YZB"));
    QCOMPARE(s.boxes->Texts(), std::vector<std::string>{});
  }

  void MenuShortcutsWinOverTheControl() {
    WidgetSetup s;
    CountedShortcut deleteFrame(s.window, QKeySequence(Qt::CTRL | Qt::Key_Delete));
    QTest::keyClicks(s.control, "A");
    QTest::keyClick(s.control, Qt::Key_Home);
    QTest::keyClick(s.control, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(deleteFrame.count, 1);
    QCOMPARE(QString::fromStdString(s.Codes()), QString("A"));
    // Ctrl with a letter types nothing either.
    QTest::keyClick(s.control, Qt::Key_B, Qt::ControlModifier);
    QCOMPARE(QString::fromStdString(s.Codes()), QString("A"));
  }

  void PageUpStepsOnce() {
    WidgetSetup s;
    QTest::keyClick(s.control, Qt::Key_PageUp);
    QCOMPARE(s.host.previousSteps, 1);
    QTest::keyClick(s.control, Qt::Key_PageDown);
    QCOMPARE(s.host.nextSteps, 1);
  }

  void PageUpWithAMenuShortcutStepsOnce() {
    WidgetSetup s;
    CountedShortcut previous(s.window, QKeySequence(Qt::Key_PageUp));
    QTest::keyClick(s.control, Qt::Key_PageUp);
    QCOMPARE(previous.count + s.host.previousSteps, 1);
  }

  void ArrowKeysStayInTheControl() {
    WidgetSetup s;
    // A window shortcut on an arrow does not take it from the control.
    CountedShortcut left(s.window, QKeySequence(Qt::Key_Left));
    QTest::keyClicks(s.control, "AB");
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left}) {
      QTest::keyClick(s.control, key);
      QVERIFY(s.control->hasFocus());
    }
    QCOMPARE(left.count, 0);
    QCOMPARE(s.Caret(), 2);
  }

  void ClickTakesFocusWithoutMovingTheCaret() {
    WidgetSetup s;
    QTest::keyClicks(s.control, "ABC");
    QTest::keyClick(s.control, Qt::Key_Home);
    s.other->setFocus();
    QVERIFY(!s.control->hasFocus());
    QVERIFY(!s.control->Editor().Caret().shown);
    QTest::mouseClick(s.control, Qt::LeftButton, {}, QPoint(260, 20));
    QVERIFY(s.control->hasFocus());
    QCOMPARE(s.Caret(), 1);
    QVERIFY(s.control->Editor().Caret().shown);
  }

  void CaretIsPaintedOverTheCanvas() {
    WidgetSetup s;
    QTest::keyClicks(s.control, "A");
    QVERIFY(s.control->CaretVisibleNow());
    const QRect caret = s.control->Editor().Caret().rect;
    const QImage shown = s.control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage& canvas = s.control->Editor().Canvas();
    int inverted = 0;
    for (int x = caret.left(); x <= caret.right(); ++x)
      for (int y = caret.top(); y <= caret.bottom(); ++y) {
        QCOMPARE(canvas.pixel(x, y) & 0xFFFFFF, 0u);  // the canvas under the caret stays black
        inverted += (shown.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
      }
    // Every other pixel of the bar is lit: a grey caret.
    QCOMPARE(inverted, caret.width() * caret.height() / 2);
    s.other->setFocus();
    const QImage hidden = s.control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(hidden.copy(caret), canvas.copy(caret));
  }

  void CaretBlinksWhileFocused() {
    WidgetSetup s;
    QVERIFY(s.control->CaretVisibleNow());
    QTRY_VERIFY_WITH_TIMEOUT(!s.control->CaretVisibleNow(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(s.control->CaretVisibleNow(), 3000);
    // A key shows it at once, whatever the blink phase.
    QTRY_VERIFY_WITH_TIMEOUT(!s.control->CaretVisibleNow(), 3000);
    QTest::keyClick(s.control, Qt::Key_PageDown);
    QTest::keyClicks(s.control, "A");
    QVERIFY(s.control->CaretVisibleNow());
  }

  void ControlSitsAtItsStartPlace() {
    WidgetSetup s;
    QCOMPARE(s.control->size(), QSize(480, 48));
    QCOMPARE(s.control->focusPolicy(), Qt::StrongFocus);
    // Selecting a frame moves it onto that frame's row of the list.
    QVERIFY(s.model.InsertFrame(1));
    s.control->Editor().SelectFrame(0, 1);
    QCOMPARE(s.control->pos(), QPoint(209, 40 + 78));
  }
};

}  // namespace editor

QTEST_MAIN(editor::BillEditorWidgetTest)
#include "BillEditorWidgetTest.moc"
