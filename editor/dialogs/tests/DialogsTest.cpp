// The editor's dialogs offscreen: the parameter checks and focus, the mode
// list, the European picker's cells and clicks, Set RGB and About.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>
#include <functional>
#include <set>

#include "common/SignFont.h"
#include "editor/About.h"
#include "editor/DialogRules.h"
#include "editor/European.h"
#include "editor/Mode.h"
#include "editor/Param.h"
#include "editor/SetRGB.h"
#include "platform/MessageBoxes.h"

namespace {

// Shows `dialog` modally; `during` runs once it is up, then it is cancelled
// unless it has closed already. Returns the modal result.
int RunModal(QDialog& dialog, std::function<void()> during) {
  QTimer::singleShot(0, &dialog, [&] {
    during();
    if (dialog.isVisible()) dialog.reject();
  });
  return dialog.exec();
}

std::set<QString> TextsOf(const QWidget& w) {
  std::set<QString> texts;
  for (const QLabel* l : w.findChildren<QLabel*>()) texts.insert(l->text());
  for (const QAbstractButton* b : w.findChildren<QAbstractButton*>()) texts.insert(b->text());
  return texts;
}

QStringList ItemsOf(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void parameterDialogTexts() {
    editor::TfrmParam d;
    QCOMPARE(d.windowTitle(), QString("System Parameters Setup"));
    QCOMPARE(d.PageControl->tabText(0), QString("Communication"));
    QCOMPARE(d.PageControl->tabText(1), QString("Sign"));
    const std::set<QString> texts = TextsOf(d);
    for (const char* t : {"Sign &ID", "&Serial Port", "S&peed", "&Time Format", "C&RC Check", "HARDWARE CLEAR SIGN",
                          "Height", "Width", "Pixels", "Color", "&OK", "&Cancel"}) {
      QVERIFY2(texts.count(t), t);
    }
    QCOMPARE(ItemsOf(d.cboPort), (QStringList{"COM1", "COM2", "COM3", "COM4"}));
    QCOMPARE(ItemsOf(d.cboSpeed), (QStringList{"150 bps", "300 bps", "600 bps", "1200 bps", "2400 bps", "4800 bps",
                                               "9600 bps", "19200 bps", "38400 bps", "57600 bps", "115200 bps"}));
    QCOMPARE(ItemsOf(d.cboTime), (QStringList{"12H", "24H"}));
    QCOMPARE(ItemsOf(d.cboSIGN_H), (QStringList{"7", "8", "16"}));
    QCOMPARE(ItemsOf(d.cboColorType), (QStringList{"9 Colors", "Mono"}));
    QVERIFY(d.btnSave->isDefault());
  }

  void parameterFocusFollowsTheMenuItem() {
    editor::TfrmParam d;
    const std::pair<int, QWidget*> cases[] = {{1, d.edtSignID}, {2, d.cboPort}, {3, d.cboSpeed}, {4, d.cboTime}};
    for (auto [selector, expected] : cases) {
      d.FocusSelector = static_cast<std::uint8_t>(selector);
      QWidget* focused = nullptr;
      int page = -1;
      RunModal(d, [&] {
        focused = d.focusWidget();
        page = d.PageControl->currentIndex();
      });
      QCOMPARE(focused, expected);
      QCOMPARE(page, 0);
      d.PageControl->setCurrentIndex(1);  // the next showing turns back to "Communication"
    }
  }

  void parameterFieldsAreAllCheckedBeforeAnyIsTaken_data() {
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<bool>("closes");
    QTest::newRow("12a") << "12a" << "160" << "Sign ID setup error!" << false;
    QTest::newRow("id 100") << "100" << "160" << "Sign ID setup error!" << false;
    QTest::newRow("id -1") << "-1" << "160" << "Sign ID setup error!" << false;
    QTest::newRow("width 0") << "7" << "0" << "Sign width setup error!" << false;
    QTest::newRow("width 1025") << "7" << "1025" << "Sign width setup error!" << false;
    QTest::newRow("width 12a") << "7" << "12a" << "Sign width setup error!" << false;
    QTest::newRow("7") << "7" << "160" << "" << true;
    QTest::newRow("99, 1024") << "99" << "1024" << "" << true;
  }
  void parameterFieldsAreAllCheckedBeforeAnyIsTaken() {
    QFETCH(QString, id);
    QFETCH(QString, width);
    QFETCH(QString, warning);
    QFETCH(bool, closes);
    platform::ScopedRecordingBoxes boxes;
    editor::TfrmParam d;
    editor::EditorSettings before;
    before.signHeight = 8;
    before.portIndex = 1;
    d.Fill(before);
    bool stayed = false;
    QWidget* focused = nullptr;
    const int result = RunModal(d, [&] {
      d.edtSignID->setText(id);
      d.edtSIGN_W->setText(width);
      d.cboColorType->setCurrentIndex(1);
      d.btnSave->click();
      stayed = d.isVisible();
      focused = d.focusWidget();
    });
    QCOMPARE(stayed, !closes);
    QCOMPARE(result, int(closes ? QDialog::Accepted : QDialog::Rejected));
    if (closes) {
      QVERIFY(boxes->Texts().empty());
      editor::EditorSettings after = before;
      d.TakeInto(after);
      QCOMPARE(int(after.signId), id.toInt());
      QCOMPARE(after.signWidth, width.toInt());
      QCOMPARE(after.colorType, 1);
      QCOMPARE(after.signHeight, 8);
      QCOMPARE(after.portIndex, 1);
    } else {
      QCOMPARE(boxes->Texts(), (std::vector<std::string>{warning.toStdString()}));
      QCOMPARE(focused, warning.startsWith("Sign ID") ? static_cast<QWidget*>(d.edtSignID)
                                                      : static_cast<QWidget*>(d.edtSIGN_W));
    }
  }

  void parameterDialogShowsAndTakesBackTheSettings() {
    editor::EditorSettings s;
    s.signWidth = 96;
    s.signHeight = 7;
    s.colorType = 1;
    s.portIndex = 3;
    s.speedIndex = 10;
    s.signId = 42;
    s.timeFormat = 0;
    s.crcCheck = 1;
    editor::TfrmParam d;
    d.Fill(s);
    QCOMPARE(d.edtSignID->text(), QString("42"));
    QCOMPARE(d.cboSIGN_H->currentText(), QString("7"));
    QCOMPARE(d.edtSIGN_W->text(), QString("96"));
    QCOMPARE(d.cboSpeed->currentText(), QString("115200 bps"));
    QCOMPARE(d.cboTime->currentText(), QString("12H"));
    QVERIFY(d.chkCRC->isChecked());
    editor::EditorSettings back;
    d.TakeInto(back);
    QVERIFY(back == s);
  }

  void hardwareClearButtonRunsTheWiredClear() {
    editor::TfrmParam d;
    int clears = 0;
    d.HardwareClear = [&] { ++clears; };
    d.spdHW_CLEAR->click();
    QCOMPARE(clears, 1);
  }

  void modeListItemsVerbatim() {
    const QStringList& items = editor::ModeItems();
    QCOMPARE(items.size(), 32);
    QCOMPARE(items[0], QString("A: Auto"));
    QCOMPARE(items[4], QString("E: Half Wipe ON"));
    QCOMPARE(items[6], QString("H: Hold 2 Senonds"));
    QCOMPARE(items[25], QString("S: Spin H."));
    QCOMPARE(items[31], QString("z: Zoom OUT"));
    QString letters;
    for (const QString& item : items) letters += item.left(1);
    QCOMPARE(letters, QString("AFBbEeHIiOLlCPUuDdXYNRrQqSTtxWZz"));
    editor::TfrmMode d;
    QCOMPARE(d.windowTitle(), QString("Frame Presentation Functions"));
    QCOMPARE(ItemsOf(d.cboSpeed), (QStringList{"Fast", "Medium", "Slow"}));
    for (const char* t : {"Clea&r", "&OK", "&Cancel", "Speed"}) QVERIFY2(TextsOf(d).count(t), t);
  }

  void modeClicksAppendLettersAndTheLastItemIsRemembered() {
    editor::TfrmMode d;
    d.LastMode = 17;
    d.Fill(1, "");
    int openedOn = -1;
    QString afterClicks, afterClear;
    QWidget* focused = nullptr;
    int cursor = -1;
    const int result = RunModal(d, [&] {
      openedOn = d.lstModes->currentRow();
      for (int row : {30, 0}) {
        d.lstModes->setCurrentRow(row);
        emit d.lstModes->itemClicked(d.lstModes->item(row));
      }
      afterClicks = d.edtModes->text();
      focused = d.focusWidget();
      cursor = d.edtModes->cursorPosition();
      d.btnClear->click();
      afterClear = d.edtModes->text();
      d.edtModes->setText("ZA");
      d.btnOk->click();
    });
    QCOMPARE(openedOn, 17);
    QCOMPARE(afterClicks, QString("ZA"));
    QCOMPARE(focused, static_cast<QWidget*>(d.edtModes));
    QCOMPARE(cursor, 2);
    QCOMPARE(afterClear, QString(""));
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(d.Modes(), std::string("ZA"));
    QCOMPARE(d.Speed(), 1);
    QCOMPARE(d.LastMode, 0);  // the item selected last
    // The next showing opens on it.
    RunModal(d, [&] { openedOn = d.lstModes->currentRow(); });
    QCOMPARE(openedOn, 0);
  }

  void modesEditTakesOnlyFunctionLettersAndAtMost255() {
    QVERIFY(editor::ValidModes("ZAbz"));
    QVERIFY(editor::ValidModes(""));
    QVERIFY(!editor::ValidModes("Ga"));  // G is no function
    QVERIFY(!editor::ValidModes("A1"));
    QVERIFY(editor::ValidModes(std::string(255, 'A')));
    QVERIFY(!editor::ValidModes(std::string(256, 'A')));
    editor::TfrmMode d;
    d.show();
    d.edtModes->clear();
    d.edtModes->setFocus();
    QTest::keyClicks(d.edtModes, "ZG1b z");
    QCOMPARE(d.edtModes->text(), QString("Zbz"));
    d.edtModes->setText(QString(255, 'A'));
    platform::ScopedRecordingBoxes boxes;
    emit d.lstModes->itemClicked(d.lstModes->item(1));
    QCOMPARE(d.edtModes->text().size(), 255);
    QCOMPARE(boxes->Beeps(), 1);
    d.hide();
  }

  void europeanLayoutAndClicks() {
    editor::TfrmEuropean d(nullptr);
    QCOMPARE(d.windowTitle(), QString("European"));
    QCOMPARE(d.width(), 136);
    QCOMPARE(d.height(), d.btnDone->height() + 444);
    QCOMPARE(d.pal->geometry(), QRect(15, 20, 96, 384));
    QCOMPARE(d.btnDone->text(), QString(".Done."));
    QCOMPARE(d.btnDone->y(), 20 + 384 + 5);
    std::vector<int> inserted;
    d.SetInsertChar([&](std::uint8_t code) { inserted.push_back(code); });
    bool stayed = false;
    RunModal(d, [&] {
      QTest::mouseClick(d.ImgU, Qt::LeftButton, {}, QPoint(50, 70));
      QTest::mouseClick(d.ImgU, Qt::LeftButton, {}, QPoint(1, 1));  // (0, 0) would mean the middle to QTest
      QTest::mouseClick(d.ImgU, Qt::LeftButton, {}, QPoint(95, 383));
      stayed = d.isVisible();
    });
    QVERIFY(stayed);
    QCOMPARE(inserted, (std::vector<int>{138, 128, 175}));
    QCOMPARE(editor::EuropeanCharAt(96, 0), std::optional<std::uint8_t>{});
  }

  // Character 138 of a font 0 file made by hand: every pixel of its 6 x 8
  // cell lit, stretched white into its 21 x 29 box; the others stay black.
  void europeanCellsShowFontZero() {
    QTemporaryDir dir;
    std::vector<std::uint8_t> file(6 + (255 - 31 + 1) * 8, 0);
    for (int row = 0; row < 8; ++row) file[static_cast<std::size_t>(6 + (138 - 31) * 8 + row)] = 0xFC;
    std::ofstream(dir.filePath("CUR0507.PTN").toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    signfont::SignFontTable fonts;
    fonts.Open(dir.path().toStdString(), 1);
    editor::TfrmEuropean d(&fonts);
    RunModal(d, [] {});
    const QImage& p = d.Picture();
    QCOMPARE(p.size(), QSize(96, 384));
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    QCOMPARE(p.pixel(48, 64), white);   // the box of 138 begins at column 2, row 2
    QCOMPARE(p.pixel(68, 92), white);   // and ends 21 x 29 later
    QCOMPARE(p.pixel(69, 70), black);
    QCOMPARE(p.pixel(50, 93), black);
    QCOMPARE(p.pixel(2, 2), black);     // 128 has no lit pixel
    QCOMPARE(p.pixel(50, 40), black);   // nor 134 above it
  }

  void setRgbPreviewsTheCodesColour() {
    editor::TfrmSetRGB d;
    QCOMPARE(d.windowTitle(), QString("Set RGB"));
    QCOMPARE(d.Bits[0]->objectName(), QString("B8"));
    QCOMPARE(d.Bits[7]->objectName(), QString("B1"));
    for (const char* t : {"R", "G", "B", "Bit 7", "Bit 0", "Change"}) QVERIFY2(TextsOf(d).count(t), t);
    for (QCheckBox* b : d.Bits) b->setChecked(true);
    d.SpeedButton1->click();
    QCOMPARE(d.PreviewColor(), QColor(255, 255, 255));
    for (QCheckBox* b : d.Bits) b->setChecked(false);
    d.Bits[0]->setChecked(true);  // B8: bit 7 only
    QCOMPARE(d.PreviewColor(), QColor(255, 255, 255));  // nothing changes before "Change"
    d.SpeedButton1->click();
    QCOMPARE(int(d.Code()), 0x80);
    QCOMPARE(d.PreviewColor(), QColor(159, 31, 63));
  }

  void aboutNamesTheProgramAndItsMaker() {
    editor::TfrmAbout d;
    QCOMPARE(d.windowTitle(), QString("About"));
    const std::set<QString> texts = TextsOf(d);
    QVERIFY(texts.count("Selvanex"));
    QVERIFY(texts.count("Tessaly Signal Works, Inc."));
    QCOMPARE(d.btnOk->text(), QString("&Ok"));
    int pictures = 0;
    for (const QLabel* l : d.findChildren<QLabel*>()) pictures += l->pixmap().isNull() ? 0 : 1;
    QCOMPARE(pictures, 2);
    QCOMPARE(RunModal(d, [&] { d.btnOk->click(); }), int(QDialog::Accepted));
  }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
