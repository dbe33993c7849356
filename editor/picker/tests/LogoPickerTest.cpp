// The logo picker over logo files laid out by hand: refusals, fitting to the
// sign, the preview, stepping and Insert through a recording callback.
#include <QComboBox>
#include <QMessageBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <functional>

#include "TestBytes.h"
#include "common/LogoFile.h"
#include "editor/SelLOG.h"
#include "platform/MessageBoxes.h"
#include "platform/QtMessageBoxes.h"
#include "testsupport/WhenModal.h"
#include "testsupport/HostilePaths.h"

using testbytes::Bytes;
using testbytes::Concat;

namespace {

constexpr QRgb kRed = qRgb(255, 31, 63);    // code 0xE0, low bits filled
constexpr QRgb kGreen = qRgb(31, 255, 63);  // code 0x1C
constexpr QRgb kPadding = qRgb(0, 0, 0);    // rows the logo does not have

std::vector<std::uint8_t> Header(int count, const std::string& magic = "-LOGO-") {
  return Concat({Bytes({count & 0xFF, (count >> 8) & 0xFF}), Bytes(magic)});
}

// A w x h record of one code in runs of at most 127.
std::vector<std::uint8_t> Uniform(int w, int h, int code) {
  std::vector<std::uint8_t> r = Bytes({w & 0xFF, w >> 8, h & 0xFF, h >> 8});
  for (int left = w * h; left > 0; left -= 127) {
    r.push_back(static_cast<std::uint8_t>(0x80 | std::min(left, 127)));
    r.push_back(static_cast<std::uint8_t>(code));
  }
  return r;
}

// Whether every pixel of rows [from, to) is `colour`.
bool RowsAre(const QImage& image, int from, int to, QRgb colour) {
  for (int y = from; y < to; ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != colour) return false;
  return true;
}

}  // namespace

class LogoPickerTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::vector<QImage> inserted_;

  std::string Write(const QString& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = dir_.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // Shows the picker modally on `path`; `during` runs once it is up, and
  // closes it unless it closes itself. Returns the modal result.
  int Pick(editor::TfrmSelLOG& picker, const std::string& path, std::function<void()> during = {}) {
    picker.LogoFileName = path;
    picker.SetInsertLogo([this](const QImage& logo) { inserted_.push_back(logo.copy()); });
    QTimer::singleShot(0, &picker, [&] {
      if (during) during();
      // A refused file closes the picker by its own timer.
      if (picker.isVisible() && !picker.tmrClose.isActive()) picker.BitBtn2->click();
    });
    return picker.exec();
  }

 private slots:
  void init() { inserted_.clear(); }

  void refusedFilesCloseThePickerWithTheirWarning_data() {
    QTest::addColumn<QByteArray>("bytes");
    std::vector<std::uint8_t> many = Header(256);
    for (int i = 0; i < 256; ++i) many = Concat({many, Uniform(1, 1, 0x1C)});
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"wrong magic", Concat({Header(1, "-FRAME"), Uniform(4, 4, 0x1C)})},
        {"count 0", Header(0)},
        {"count 256", many},
        {"cut off inside a record", Concat({Header(1), Bytes({0x28, 0x00, 0x07, 0x00, 0xFF, 0xE0})})},
        {"fewer records than its count", Concat({Header(2), Uniform(4, 4, 0x1C)})},
        {"width 0", Concat({Header(1), Bytes({0x00, 0x00, 0x07, 0x00, 0x81, 0xE0})})},
        {"height 0", Concat({Header(1), Bytes({0x07, 0x00, 0x00, 0x00, 0x81, 0xE0})})},
        {"65535 x 65535", Concat({Header(1), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE0})})},
    };
    for (const auto& [name, bytes] : cases) {
      QTest::newRow(name) << QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    }
  }
  void refusedFilesCloseThePickerWithTheirWarning() {
    QFETCH(QByteArray, bytes);
    platform::ScopedRecordingBoxes boxes;
    const std::string path =
        Write("BAD.LOG", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    editor::TfrmSelLOG picker;
    bool insertRefused = false;
    QElapsedTimer clock;
    clock.start();
    const int result = Pick(picker, path, [&] {
      picker.BitBtn1->click();  // nothing read: Insert does nothing
      insertRefused = picker.isVisible();
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(insertRefused);
    QVERIFY(clock.elapsed() >= 90);  // the timer's 100 ms, give or take its coarseness
    QVERIFY(inserted_.empty());
    QCOMPARE(boxes->Texts(), (std::vector<std::string>{path + " is not a valid logo file!"}));
    QCOMPARE(picker.windowTitle(), QString::fromStdString("SELECT A LOGO OF " + path));
    QCOMPARE(picker.palFrameInfo->text(), QString("0/0  0 X 0"));
    QVERIFY(!picker.spdPrev->isEnabled());
    QVERIFY(!picker.spdNext->isEnabled());
  }

  // The caption and the refusal's own box name the file as the file system
  // has it: a folder named here, a file named on another system.
  void aFileNamedBeyondAsciiIsNamedAsItIs() {
    const std::string folder = dir_.path().toStdString() + "/Schilder f\xC3\xBCr Zo\xC3\xAB \xE6\x8B\x9B\xE7\x89\x8C";
    std::filesystem::create_directory(folder);
    const QString shownFolder = dir_.path() + QString::fromUtf16(u"/Schilder f\u00FCr Zo\u00EB \u62DB\u724C");
    const std::vector<std::uint8_t> good = Concat({Header(1), Uniform(4, 2, 0x1C)});
    const std::vector<std::uint8_t> bad = Concat({Header(1, "-FRAME"), Uniform(4, 2, 0x1C)});
    struct Case {
      std::string name;
      QString shown;
    };
    const Case cases[] = {
        {"/Caf\xC3\xA9.LOG", QString::fromUtf16(u"/Caf\u00E9.LOG")},
        {"/caf\xE9.LOG", QString::fromUtf16(u"/caf\u00E9.LOG")},
    };
    for (const Case& c : cases) {
      const std::string path = folder + c.name;
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(good.data()),
                                                  static_cast<std::streamsize>(good.size()));
      editor::TfrmSelLOG picker;
      QString caption;
      Pick(picker, path, [&] { caption = picker.windowTitle(); });
      QCOMPARE(caption, "SELECT A LOGO OF " + shownFolder + c.shown);

      // Refused: read from the Qt box itself.
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bad.data()),
                                                  static_cast<std::streamsize>(bad.size()));
      platform::QtMessageBoxes qtBoxes;
      platform::MessageBoxes* previous = platform::InstallBoxes(&qtBoxes);
      QString boxText;
      testsupport::WhenModal<QMessageBox>([&](QMessageBox* box) {
        boxText = box->text();
        box->accept();
      });
      editor::TfrmSelLOG refusing;
      refusing.LogoFileName = path;
      const int result = refusing.exec();  // closes itself after the warning
      platform::InstallBoxes(previous);
      QCOMPARE(result, int(QDialog::Rejected));
      QCOMPARE(boxText, shownFolder + c.shown + " is not a valid logo file!");
      QCOMPARE(refusing.windowTitle(), "SELECT A LOGO OF " + shownFolder + c.shown);
    }
    std::filesystem::remove_all(folder);  // Qt cannot remove a name it cannot hold
  }

  // Insert Logo on a path that is no regular file: refused at once with the
  // reason, never waited on.
  void aPathThatIsNoRegularFileClosesThePickerAtOnce_data() {
    QTest::addColumn<int>("kind");
    for (testsupport::HostileKind kind : testsupport::AllHostileKinds()) {
      QTest::newRow(testsupport::HostileKindName(kind)) << static_cast<int>(kind);
    }
  }
  void aPathThatIsNoRegularFileClosesThePickerAtOnce() {
    QFETCH(int, kind);
    platform::ScopedRecordingBoxes boxes;
    editor::TfrmSelLOG picker;
    const std::string path = dir_.filePath("HOSTILE" + QString::number(kind) + ".LOG").toStdString();
    const auto fifo = testsupport::MakeHostilePath(static_cast<testsupport::HostileKind>(kind), path);
    QCOMPARE(Pick(picker, path), int(QDialog::Rejected));
    QCOMPARE(boxes->Texts(), (std::vector<std::string>{path + " cannot be read!\n" + path + ": is not a regular file"}));
    if (fifo) QVERIFY2(!fifo->Released(), "the picker waited for a writer");
  }

  void aMissingFileClosesThePickerWithTheReadError() {
    platform::ScopedRecordingBoxes boxes;
    editor::TfrmSelLOG picker;
    const std::string path = dir_.filePath("NONE.LOG").toStdString();
    QCOMPARE(Pick(picker, path), int(QDialog::Rejected));
    QCOMPARE(boxes->Texts().size(), std::size_t{1});
    QVERIFY2(boxes->Texts()[0].find("NONE.LOG") != std::string::npos, boxes->Texts()[0].c_str());
  }

  void shortAndTallLogosAreFittedToTheSignHeight_data() {
    QTest::addColumn<int>("height");
    QTest::newRow("40 x 7") << 7;
    QTest::newRow("40 x 20") << 20;
  }
  void shortAndTallLogosAreFittedToTheSignHeight() {
    QFETCH(int, height);
    platform::ScopedRecordingBoxes boxes;
    const std::string path = Write("ONE.LOG", Concat({Header(1), Uniform(40, height, 0xE0)}));
    editor::TfrmSelLOG picker;
    picker.SetSign(160, 16);
    QString info;
    QSize panel, preview;
    bool prev = true, next = true;
    const int result = Pick(picker, path, [&] {
      info = picker.palFrameInfo->text();
      panel = picker.palSign->size();
      preview = picker.ImgF->size();
      prev = picker.spdPrev->isEnabled();
      next = picker.spdNext->isEnabled();
      picker.BitBtn1->click();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(boxes->Texts().empty());
    QCOMPARE(info, QString("1/1  16 X 40"));
    QCOMPARE(panel, QSize(320, 32));
    QCOMPARE(preview, QSize(80, 32));
    QVERIFY(!prev);
    QVERIFY(!next);
    QCOMPARE(inserted_.size(), std::size_t{1});
    const QImage& logo = inserted_[0];
    QCOMPARE(logo.size(), QSize(40, 16));
    const int kept = std::min(height, 16);
    QVERIFY(RowsAre(logo, 0, kept, kRed));
    QVERIFY(RowsAre(logo, kept, 16, kPadding));
  }

  void stepsThroughTheLogosAndInsertsTheCurrentOne() {
    platform::ScopedRecordingBoxes boxes;
    const std::string path = Write(
        "THREE.LOG", Concat({Header(3), Uniform(8, 8, 0xE0), Uniform(12, 8, 0x1C), Uniform(300, 8, 0xE0)}));
    editor::TfrmSelLOG picker;
    picker.SetSign(200, 8);
    std::vector<QString> infos;
    std::vector<std::pair<bool, bool>> arrows;
    auto look = [&] {
      infos.push_back(picker.palFrameInfo->text());
      arrows.emplace_back(picker.spdPrev->isEnabled(), picker.spdNext->isEnabled());
    };
    QSize panel, widePreview;
    Pick(picker, path, [&] {
      panel = picker.palSign->size();
      look();
      picker.spdPrev->click();  // already at the first: stays
      look();
      picker.spdNext->click();
      look();
      picker.spdNext->click();
      look();
      widePreview = picker.ImgF->size();
      picker.cboFrame->setCurrentIndex(1);
      look();
      // The focus coming back, as from a message box, reads nothing again.
      QEvent activate(QEvent::WindowActivate);
      QApplication::sendEvent(&picker, &activate);
      look();
      picker.BitBtn1->click();
    });
    QCOMPARE(panel, QSize(320, 16));  // 2 x 200 is more than the panel takes
    QCOMPARE(widePreview, QSize(600, 16));  // cut at the panel's edge
    QCOMPARE(infos, (std::vector<QString>{"1/3  8 X 8", "1/3  8 X 8", "2/3  8 X 12", "3/3  8 X 300", "2/3  8 X 12",
                                          "2/3  8 X 12"}));
    QCOMPARE(arrows, (std::vector<std::pair<bool, bool>>{
                         {false, true}, {false, true}, {true, true}, {true, false}, {true, true}, {true, true}}));
    QCOMPARE(picker.cboFrame->count(), 0);  // the list goes with the closing
    QCOMPARE(inserted_.size(), std::size_t{1});
    QCOMPARE(inserted_[0].size(), QSize(12, 8));
    QVERIFY(RowsAre(inserted_[0], 0, 8, kGreen));
    QVERIFY(boxes->Texts().empty());

    // Every showing reads the file afresh and starts at the first logo.
    picker.SetSign(80, 8);
    Pick(picker, path, [&] {
      panel = picker.palSign->size();
      infos = {picker.palFrameInfo->text()};
    });
    QCOMPARE(panel, QSize(160, 16));
    QCOMPARE(infos, (std::vector<QString>{"1/3  8 X 8"}));
  }

  // The sign's logo record "{L%s,%.2d,%.3d,C,#" has three digits for the
  // width and two for the height: a logo beyond them is refused at Insert,
  // with the reason, and the picker stays open for another choice; one at
  // the limits is taken. The sign height is what the record's rows are.
  void logosBeyondTheRecordsDigitsAreRefusedAtInsert_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("signHeight");
    QTest::addColumn<QString>("refusal");  // empty: taken
    QTest::newRow("999 x 99 taken") << 999 << 99 << QString();
    QTest::newRow("999 x 8 taken") << 999 << 8 << QString();
    QTest::newRow("1000 x 8 refused") << 1000 << 8
        << QString("Logo is unacceptable.\nThe logo is 1000 pixels wide and 8 high; a logo record holds at most "
                   "999 columns and 99 rows.");
    QTest::newRow("40 x 100 refused") << 40 << 100
        << QString("Logo is unacceptable.\nThe logo is 40 pixels wide and 100 high; a logo record holds at most "
                   "999 columns and 99 rows.");
  }
  void logosBeyondTheRecordsDigitsAreRefusedAtInsert() {
    QFETCH(int, width);
    QFETCH(int, signHeight);
    QFETCH(QString, refusal);
    platform::ScopedRecordingBoxes boxes;
    const std::string path = Write("WIDE.LOG", Concat({Header(1), Uniform(width, signHeight, 0x1C)}));
    editor::TfrmSelLOG picker;
    picker.SetSign(1024, signHeight);
    bool stayedOpen = false;
    const int result = Pick(picker, path, [&] {
      picker.BitBtn1->click();
      stayedOpen = picker.isVisible();
    });
    if (refusal.isEmpty()) {
      QCOMPARE(result, int(QDialog::Accepted));
      QVERIFY(boxes->Texts().empty());
      QCOMPARE(inserted_.size(), std::size_t{1});
      QCOMPARE(inserted_[0].size(), QSize(width, signHeight));
    } else {
      QVERIFY(stayedOpen);
      QCOMPARE(result, int(QDialog::Rejected));
      QVERIFY(inserted_.empty());
      QCOMPARE(boxes->Texts(), (std::vector<std::string>{refusal.toStdString()}));
    }
  }

  // The drawing program saves its logos (3 screen pixels a sign pixel) with
  // the shared writer; the picker reads them back at one pixel a sign pixel.
  void readsALogoFileOfTheDrawingProgramsWriter() {
    platform::ScopedRecordingBoxes boxes;
    QImage drawn(5 * 3, 8 * 3, QImage::Format_RGB32);
    drawn.fill(kGreen);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) drawn.setPixel(x, y, kRed);  // sign pixel (0, 0)
    const std::string path = dir_.filePath("DRAWN.LOG").toStdString();
    logofile::SaveLogoFile(path, {drawn});
    editor::TfrmSelLOG picker;
    picker.SetSign(160, 8);
    Pick(picker, path, [&] { picker.BitBtn1->click(); });
    QVERIFY(boxes->Texts().empty());
    QCOMPARE(inserted_.size(), std::size_t{1});
    QCOMPARE(inserted_[0].size(), QSize(5, 8));
    QCOMPARE(inserted_[0].pixel(0, 0), kRed);
    QCOMPARE(inserted_[0].pixel(1, 0), kGreen);
    QCOMPARE(inserted_[0].pixel(4, 7), kGreen);
  }

  void formTexts() {
    editor::TfrmSelLOG picker;
    QCOMPARE(picker.size(), QSize(454, 118));
    QCOMPARE(picker.BitBtn1->text(), QString("Insert"));
    QCOMPARE(picker.BitBtn2->text(), QString("Down"));
    QCOMPARE(picker.spdPrev->toolTip(), QString("Previous Frame"));
    QCOMPARE(picker.spdNext->toolTip(), QString("Next Frame"));
    QCOMPARE(picker.spdPrev->arrowType(), Qt::LeftArrow);
    QCOMPARE(picker.spdNext->arrowType(), Qt::RightArrow);
    QCOMPARE(picker.tmrClose.interval(), 100);
  }
};

QTEST_MAIN(LogoPickerTest)
#include "LogoPickerTest.moc"
