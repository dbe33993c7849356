// The editor's main window, offscreen, in a temporary program directory with
// tagged fixture fonts: start-up and its stops, the menus, the status texts,
// the close query (also when its save fails), the file dialogs, stepping
// through the frames, typing double-byte characters, and the simulated sign
// on a pseudo-terminal.
#include <QListWidget>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "comm/ModemComp.h"
#include "comm/SerialPort.h"
#include "common/ColorCode.h"
#include "common/CommandRecord.h"
#include "common/DoubleByteClass.h"
#include "editor/BillEditor.h"
#include "editor/BillEditorWidget.h"
#include "common/LogoFile.h"
#include "editor/Mode.h"
#include "platform/ProfileFile.h"
#include "editor/Param.h"
#include "editor/SelLOG.h"
#include "editorapp/ImagePanel.h"
#include "editorapp/EditorLink.h"
#include "editorapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"
#include "signsim/SignSim.h"
#include "testsupport/OpenPerUserFolder.h"
#include "testsupport/ReplugCom1.h"
#include "testsupport/WhenModal.h"

using editorapp::TfrmMain;
using testsupport::WhenModal;

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string U16(int v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }

// A record as the sign reads it: length word (text + 2), text, CRC high, CRC low.
std::string Record(const std::string& text) {
  const std::uint16_t crc = cmdfile::CalcCRC(text);
  return U16(static_cast<int>(text.size()) + 2) + text + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}

// "HELLO" in font 2, colour 2 (green), then a 4 x 2 green logo, as a frame file.
std::string HelloFrameFile() {
  return U16(1) + U16(1) + "-FRAME-" + std::string("\x00\x00\x01", 3) + "NN" + U16(0) +  //
         U16(6) + "NNNNN@" + "HELLO0" + "222220" + "222220" + "000000" + U16(0) +        //
         U16(4) + U16(2) + "\x88\x1C";                                                  // one run of 8
}

// The same as the message file beside it: green is plane class 3 (planes 1
// and 3), rows 0 and 1 are bits 0 and 1 of each column's first byte.
std::string HelloMessageFile() {
  std::string planes;
  for (int x = 0; x < 4; ++x) planes += std::string("\x00\x00\x03\x00\x00\x00\x03\x00", 8);
  return Record("{F,NEW}") + Record("{T,~f,^FL^GH^TBHELLO^LA}") + Record("{LA,02,004,C,#" + planes + "#}");
}

// The colour codes of an image: a frame file keeps logos as codes, and reads
// them back with the exact expansion, so pictures compare by code.
std::vector<int> Codes(const QImage& image) {
  std::vector<int> codes{image.width(), image.height()};
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) codes.push_back(colorcode::ColorToCode(image.pixel(x, y)));
  }
  return codes;
}

QImage GreenLogo() {
  QImage logo(4, 2, QImage::Format_RGB32);
  logo.fill(colorcode::CodeToColor(0x1C));
  return logo;
}

struct MenuRow {
  QString menu;
  QString item;
  QString shortcut;
  bool enabled;
};

// What a file dialog showed while it was up: the test reads it once the
// dialog has been answered, since a failed check inside it would leave the
// dialog open.
struct DialogSeen {
  QStringList filters;
  QString suffix;
  QString directory;
  QStringList selected;
  QStringList listed;  // the files of the directory the filter lets through, sorted
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
  bool confirmsOverwrite = false;
};

// Records the next file dialog, waits until it listed `expectedFiles` files
// (or 3 s), then rejects it, or accepts it with `name` typed in.
void WhenFileDialog(DialogSeen& seen, int expectedFiles, const QString& name = QString()) {
  WhenModal<QFileDialog>([&seen, expectedFiles, name](QFileDialog* d) {
    seen.filters = d->nameFilters();
    seen.suffix = d->defaultSuffix();
    seen.directory = d->directory().absolutePath();
    seen.selected = d->selectedFiles();
    seen.mode = d->acceptMode();
    seen.fileMode = d->fileMode();
    seen.confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
    if (auto* files = d->findChild<QFileSystemModel*>()) {
      const QModelIndex root = files->index(seen.directory);
      // Fewer files within the time show as a wrong list below.
      static_cast<void>(QTest::qWaitFor([&] { return files->rowCount(root) >= expectedFiles; }, 3000));
      QTest::qWait(50);  // anything else the filter would let through
      for (int row = 0; row < files->rowCount(root); ++row) {
        const QModelIndex item = files->index(row, 0, root);
        if (!files->isDir(item)) seen.listed << item.data().toString();
      }
      seen.listed.sort();
    }
    if (name.isEmpty()) {
      d->reject();
    } else {
      // Typed into the name box, then the dialog's Save button.
      if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) edit->setText(name);
      QMetaObject::invokeMethod(d, "accept");
    }
  });
}

// Whether the 16 sign pixels from (x, y) of a picture at 3 screen pixels a
// sign pixel are lit in `colour` exactly where the bits of `bits` are set,
// leftmost pixel in the top bit.
bool RowShows(const QImage& canvas, int x, int y, std::uint16_t bits, QRgb colour) {
  for (int i = 0; i < 16; ++i) {
    const bool lit = canvas.pixel(x + 3 * i, y) == colour;
    if (lit != (((bits >> (15 - i)) & 1) != 0)) return false;
  }
  return true;
}

// Whether a tagged double-byte glyph of the pair (lead, trail) is drawn on
// the canvas in `colour`: its first row shows the two bytes, its second row
// their complements, one sign row (3 screen rows) below.
bool ShowsTaggedPair(const QImage& canvas, std::uint8_t lead, std::uint8_t trail, QRgb colour) {
  const auto first = static_cast<std::uint16_t>((lead << 8) | trail);
  const auto second = static_cast<std::uint16_t>(first ^ 0xFFFF);
  for (int y = 0; y + 3 < canvas.height(); ++y) {
    for (int x = 0; x + 3 * 16 <= canvas.width(); ++x) {
      if (RowShows(canvas, x, y, first, colour) && RowShows(canvas, x, y + 3, second, colour)) return true;
    }
  }
  return false;
}

}  // namespace

class EditorMainTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QString previousDir_;
  std::string programDir_;

  std::string Ini() const { return programDir_ + "/SML_WIN.INI"; }
  void WriteIni(const std::string& text) const { std::ofstream(Ini(), std::ios::binary) << text; }

  // A shown main window that ran its start-up.
  std::unique_ptr<TfrmMain> Started() {
    auto main = std::make_unique<TfrmMain>();
    main->resize(1000, 700);
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get())) return main;
    main->activateWindow();
    main->FormActivate();
    QCoreApplication::processEvents();
    return main;
  }

  static void TypeHello(TfrmMain& main) {
    main.SetCurrentFont(2);
    main.SetCurrentColor(2);
    QTest::keyClicks(main.Control(), "HELLO");
    QVERIFY(main.Control()->Editor().InsertLogo(GreenLogo()));
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    programDir_ = dir_->path().toStdString();
    qputenv("LEDSIGN_PROGRAM_DIR", dir_->path().toLocal8Bit());
    qputenv("LEDSIGN_SYSTEM_DIR", dir_->path().toLocal8Bit());
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(programDir_ + "/no-such-tty"));
    signfontmaker::WriteTaggedFonts(programDir_);
    QDir(dir_->path()).mkdir("messages");
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(dir_->path() + "/messages");
  }

  void cleanup() {
    QDir::setCurrent(previousDir_);
    qunsetenv("LEDSIGN_COM1");
    // Qt cannot remove what it cannot name (a folder named on another system).
    std::error_code ignored;
    std::filesystem::remove_all(programDir_, ignored);
    dir_.reset();
  }

  void menusAsTheTableSays() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    const std::vector<MenuRow> expected = {
        {"&File", "&New", "", true},
        {"&File", "&Open...", "Ctrl+O", true},
        {"&File", "&Save", "Ctrl+S", true},
        {"&File", "Save &As...", "", true},
        {"&File", "System Parameters Setup...", "Ctrl+P", true},
        {"&File", "&Exit", "Alt+F4", true},
        {"Fr&ame", "&New Frame", "Ctrl+Ins", true},
        {"Fr&ame", "Insert Frame", "Ctrl+PgDown", true},
        {"Fr&ame", "&Delete Frame", "Ctrl+Del", true},
        {"Fr&ame", "Clea&r Frame", "F5", true},
        {"Fr&ame", "Previous Frame", "PgUp", true},
        {"Fr&ame", "Next Frame", "PgDown", true},
        {"&Edit", "&Function...", "Ctrl+F", true},
        {"&Edit", "&Insert Logo...", "Ctrl+I", true},
        {"&Edit", "Fi&x", "", true},
        {"&Edit", "&Animation", "", false},
        {"&Edit", "&Cut", "Ctrl+X", true},
        {"&Edit", "C&opy", "Ctrl+C", true},
        {"&Edit", "&Paste", "Ctrl+V", true},
        {"&Text", "&Bold", "Ctrl+B", true},
        {"&Text", "&Reverse", "Ctrl+R", true},
        {"&Text", "&European", "Ctrl+E", true},
        {"&Text", "Bee&p", "", true},
        {"&Send", "&Go to Sign", "Ctrl+G", true},
        {"&Send", "C&lear Sign", "", true},
        {"&Send", "&ID: 0", "", true},
        {"&Send", "&Com: 1", "", true},
        {"&Send", "&Baud: 9600", "", true},
        {"&Send", "&Time: 24H", "", true},
        {"&Help", "&About Selvanex...", "", true},
    };
    std::vector<MenuRow> actual;
    for (QAction* top : main->menuBar()->actions()) {
      QMenu* menu = top->menu();
      QVERIFY(menu);
      for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        // One key each: nothing bound besides the shortcut shown.
        QVERIFY2(a->shortcuts().size() <= 1, qPrintable(a->text()));
        actual.push_back({top->text(), a->text(), a->shortcut().toString(), a->isEnabled()});
      }
    }
    QCOMPARE(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const MenuRow& e = expected[i];
      const MenuRow& a = actual[i];
      const QString where = e.menu + " / " + e.item;
      QVERIFY2(a.menu == e.menu && a.item == e.item, qPrintable(where + " is " + a.menu + " / " + a.item));
      QVERIFY2(a.shortcut == e.shortcut, qPrintable(where + " has " + a.shortcut));
      QVERIFY2(a.enabled == e.enabled, qPrintable(where));
    }
    for (const char* name : {"mnuFix", "mnuBold", "mnuReverse"}) {
      QVERIFY(main->findChild<QAction*>(name)->isCheckable());
    }
    QVERIFY(main->SpeedButton1->isHidden());
    QCOMPARE(main->windowTitle(), QString("Tessaly Signal Works, Inc."));
  }

  void startUpShowsTheSettingsAndAnEmptyMessage() {
    platform::ScopedRecordingBoxes boxes;
    WriteIni("[System]\r\nSign Width=120\r\nSign Height=8\r\n[Communication]\r\nSign ID=7\r\nSPEED=8\r\nPORT=1\r\n"
             "Time Format=0\r\n");
    qputenv("LEDSIGN_COM2", QByteArray::fromStdString(programDir_ + "/no-such-tty"));
    auto main = Started();
    qunsetenv("LEDSIGN_COM2");
    QVERIFY(main->StartedUp());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{"Serial port setup error!\n" + programDir_ +
                                                       "/no-such-tty does not exist (is the device plugged in?)"});
    QCOMPARE(main->palSignSize->text(), QString("8 x 120"));
    QCOMPARE(main->mnuID->text(), QString("&ID: 7"));
    QCOMPARE(main->mnuCOM->text(), QString("&Com: 2"));
    QCOMPARE(main->mnuBAUD->text(), QString("&Baud: 38400"));
    QCOMPARE(main->mnuTIME->text(), QString("&Time: 12H"));
    QCOMPARE(main->lblFrame->text(), QString("1/1"));
    QCOMPARE(main->lblFN_M->text(), QString("File:"));
    QCOMPARE(main->lblFN->text().toStdString(), QDir::currentPath().toStdString() + "/NEW.SML");
    QCOMPARE(main->cboFont->count(), 8);
    QCOMPARE(main->cboFont->itemText(0), QString("Cur   6x8"));
    QCOMPARE(main->cboColor->count(), 10);
    QVERIFY(main->cboColor->isEnabled());
    QCOMPARE(main->Model()->FrameCount(), 1);
    QCOMPARE(main->Model()->Sign().width, 120);
    // The clock shows the time within one tick of 400 ms.
    QTRY_VERIFY_WITH_TIMEOUT(main->palTime->text().size() == 8, 1000);
    QVERIFY(main->palTime->text()[2] == ':');
    // Back from a dialog: start-up does not run again.
    boxes->Clear();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(main.get(), &activate);
    QVERIFY(boxes->Texts().empty());
  }

  // A per-user folder any user may write is not used: the start says why
  // first, and goes on.
  void aPerUserFolderOthersMayWriteIsNamedAtStart() {
    platform::ScopedRecordingBoxes boxes;
    const testsupport::OpenPerUserFolder open(programDir_, programDir_ + "/home");
    auto main = Started();
    QVERIFY(main->StartedUp());
    const std::vector<std::string> texts = boxes->Texts();
    QVERIFY(!texts.empty());
    QCOMPARE(texts[0], "The program's files cannot be kept: " + open.path() + " may be written by other users.");
    QCOMPARE(boxes->Shown()[0].caption, std::string("Warning"));
  }

  void aMissingSettingsFileIsWrittenAndMonoLocksTheColourBox() {
    {
      platform::ScopedRecordingBoxes boxes;
      auto main = Started();
      QVERIFY(main->StartedUp());
      const std::string text = ReadBytes(Ini());
      QVERIFY2(text.find("Sign Width=160") != std::string::npos, text.c_str());
      QVERIFY(text.find("CRC Check=0") != std::string::npos);
      QCOMPARE(main->palSignSize->text(), QString("16 x 160"));
    }
    WriteIni("[System]\r\nColor Type=3\r\n");
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    QVERIFY(!main->cboColor->isEnabled());
    QCOMPARE(main->cboColor->currentIndex(), 0);
    QCOMPARE(main->Model()->CurrentColor, 0);
  }

  // A one-colour sign, and a colour type this editor does not know: the start
  // shows nothing, locks the colour box and leaves one empty frame to type in.
  void aOneColourSignStartsCleanly_data() {
    QTest::addColumn<int>("colorType");
    QTest::newRow("one colour") << 1;
    QTest::newRow("unknown type") << 7;
  }
  void aOneColourSignStartsCleanly() {
    QFETCH(int, colorType);
    WriteIni("[System]\r\nColor Type=" + std::to_string(colorType) + "\r\n");
    signsim::SignSim sign;
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(sign.StartPty()));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    QVERIFY(main->isActiveWindow());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{});
    QVERIFY(!main->cboColor->isEnabled());
    QCOMPARE(main->cboColor->currentIndex(), 0);
    QCOMPARE(main->Model()->CurrentColor, 0);
    editor::MessageModel& model = *main->Model();
    QCOMPARE(model.FrameCount(), 1);
    QCOMPARE(model.CurrentFrame, 0);
    QVERIFY(model.Frame(0).LinesEmpty());
    QCOMPARE(main->lblFrame->text(), QString("1/1"));
    QVERIFY(main->Control()->hasFocus());
    QVERIFY(main->Control()->Editor().Caret().shown);

    QTest::keyClicks(main->Control(), "AB");
    QCOMPARE(model.Frame(0).Codes[1], std::string("AB"));
    QCOMPARE(model.Frame(0).Colors[1], std::string("00"));
    QCOMPARE(boxes->Texts(), std::vector<std::string>{});
  }

  void signHeightTwelveWarnsAndEnds() {
    WriteIni("[System]\r\nSign Height=12\r\n");
    signsim::SignSim sign;
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(sign.StartPty()));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QCOMPARE(boxes->Texts(), std::vector<std::string>{"Sign height setup error!"});
    QVERIFY(main->StartUpStopped());
    QVERIFY(!main->StartedUp());
    QVERIFY(!main->Link().Port().Open());
    QTRY_VERIFY(!main->isVisible());
    // The close asked nothing and kept the file's values.
    QCOMPARE(boxes->Texts().size(), std::size_t{1});
    QVERIFY(ReadBytes(Ini()).find("Sign Height=12") != std::string::npos);
  }

  // A settings file over the size bound: said once at the start, the defaults
  // used, and the close that saves the settings leaves the file alone.
  void aSettingsFileThatCannotBeReadIsSaidAndKeptAtTheClose() {
    const std::string text = "[System]\r\nSign Width=96\r\n; " + std::string(std::size_t{1} << 20, 'x') + "\r\n";
    WriteIni(text);
    signsim::SignSim sign;
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(sign.StartPty()));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{"The settings file " + Ini() +
                                                       " cannot be read (File too large, more than 1 MiB). The "
                                                       "default settings are used, and the file is not written "
                                                       "until the program is started again."});
    QCOMPARE(main->palSignSize->text(), QString("16 x 160"));
    main->close();
    QVERIFY(!main->isVisible());
    QCOMPARE(boxes->Texts().size(), std::size_t{1});
    QVERIFY(ReadBytes(Ini()) == text);
  }

  void aMissingFontFileIsNamedAndTheProgramEnds() {
    QVERIFY(QFile::remove(QString::fromStdString(programDir_ + "/TSW1016.PTN")));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartUpStopped());
    QCOMPARE(boxes->Texts().size(), std::size_t{2});  // the serial warning, then the font
    QVERIFY2(boxes->Texts()[1].find("TSW1016.PTN") != std::string::npos, boxes->Texts()[1].c_str());
    QTRY_VERIFY(!main->isVisible());
    QCOMPARE(boxes->Texts().size(), std::size_t{2});
  }

  void theSimulatedSignOnCom1OpensThePort() {
    signsim::SignSim sign;
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(sign.StartPty()));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    QVERIFY(boxes->Texts().empty());
    QVERIFY(main->Link().Port().Open());
  }

  void theCloseQueryAsksForModifiedWorkAndSavesTheSettings() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    // A presentation mode chosen in the dialog is a setting to save.
    WhenModal<editor::TfrmMode>([](editor::TfrmMode* mode) {
      mode->lstModes->setCurrentRow(3);
      mode->btnCancel->click();
    });
    QTest::keyClick(main->Control(), Qt::Key_F, Qt::ControlModifier);
    QFile::remove(QString::fromStdString(Ini()));
    main->SetModified(true);
    QCOMPARE(main->lblFN_M->text(), QString("*File:"));
    boxes->Clear();
    boxes->QueueAnswer(platform::kResultCancel);
    main->close();
    QVERIFY(main->isVisible());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{editorapp::kAskSaveText});
    // Written at every close query, also a refused one: what changed.
    QCOMPARE(ReadBytes(Ini()), std::string("[System]\r\nLast Mode=3\r\n"));
    boxes->QueueAnswer(platform::kResultNo);
    main->close();
    QVERIFY(!main->isVisible());
  }

  // The controller saves while the editor runs: the editor's close writes
  // only what the editor changed. With nothing changed the file stays byte
  // for byte as the controller left it; a presentation mode chosen is the
  // one key written, in its place.
  void aCloseWritesOnlyWhatTheEditorChanged() {
    platform::ScopedRecordingBoxes boxes;
    const std::string start =
        "[SIGN 1]\r\nName=Gate\r\nIP=10.0.0.7\r\nTEL=\r\n\r\n"
        "[Communication]\r\nPORT=0\r\nSPEED=6\r\nIS TCP=0\r\nTime Format=1\r\nCRC Check=0\r\n"
        "CRC Wait MSec=1000\r\nSign ID=0\r\n\r\n"
        "[System]\r\nSign Width=160\r\nSign Height=16\r\nColor Type=0\r\nLast Mode=0\r\n";
    WriteIni(start);
    {
      auto main = Started();
      QVERIFY(main->StartedUp());
      QVERIFY(platform::WriteProfileStrings(Ini(), {{"Communication", "PORT", "1"}, {"Communication", "CRC Check", "1"}}));
      main->close();
      QVERIFY(!main->isVisible());
    }
    std::string expected = start;
    expected.replace(expected.find("PORT=0"), 6, "PORT=1");
    expected.replace(expected.find("CRC Check=0"), 11, "CRC Check=1");
    QCOMPARE(ReadBytes(Ini()), expected);

    auto main = Started();
    QVERIFY(main->StartedUp());
    WhenModal<editor::TfrmMode>([](editor::TfrmMode* mode) {
      mode->lstModes->setCurrentRow(3);
      mode->btnOk->click();
    });
    QTest::keyClick(main->Control(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(platform::WriteProfileStrings(Ini(), {{"Communication", "SPEED", "7"}, {"Communication", "Time Format", "0"}}));
    main->SetModified(false);
    main->close();
    QVERIFY(!main->isVisible());
    expected.replace(expected.find("SPEED=6"), 7, "SPEED=7");
    expected.replace(expected.find("Time Format=1"), 13, "Time Format=0");
    expected.replace(expected.find("Last Mode=0"), 11, "Last Mode=3");
    QCOMPARE(ReadBytes(Ini()), expected);
  }

  void typeSaveAndReopen() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    boxes->Clear();  // the serial warning: no tty behind COM1 here
    TypeHello(*main);
    editor::MessageModel& model = *main->Model();
    QCOMPARE(model.Frame(0).Codes[1], std::string("HELLO0"));
    QVERIFY(model.Modified);
    QCOMPARE(main->lblFN_M->text(), QString("*File:"));
    QCOMPARE(main->lblColumn->text(), QString("7"));

    QTest::keyClick(main->Control(), Qt::Key_S, Qt::ControlModifier);
    const std::string dir = QDir::currentPath().toStdString();
    QCOMPARE(ReadBytes(dir + "/NEW.SML"), HelloFrameFile());
    QCOMPARE(ReadBytes(dir + "/NEW.MSG"), HelloMessageFile());
    QVERIFY(!model.Modified);
    QCOMPARE(main->lblFN_M->text(), QString("File:"));

    main->Control()->Editor().SaveFramePicture(0);
    const QImage picture = model.Frame(0).Picture.copy();
    const QImage canvas = main->Control()->Editor().Canvas().copy();
    const std::string cells = model.Frame(0).Kinds[1] + model.Frame(0).Codes[1] + model.Frame(0).Fonts[1] +
                              model.Frame(0).Colors[1] + model.Frame(0).Attrs[1];
    const QImage logo = model.LogoList().at(0).copy();

    main->New1Click();
    QVERIFY(boxes->Texts().empty());  // nothing modified: no question
    QVERIFY(model.Frame(0).LinesEmpty());

    std::vector<std::string> offered;
    std::string answer = dir + "/NEW.SML";
    main->fileChoosers.openFrameFile = [&](QWidget*, const std::string& initial) {
      offered.push_back(initial);
      return answer;
    };
    QTest::keyClick(main->Control(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(offered, std::vector<std::string>{dir + "/*.SML"});
    QCOMPARE(model.Frame(0).Kinds[1] + model.Frame(0).Codes[1] + model.Frame(0).Fonts[1] + model.Frame(0).Colors[1] +
                 model.Frame(0).Attrs[1],
             cells);
    QCOMPARE(Codes(model.LogoList().at(0)), Codes(logo));
    QCOMPARE(Codes(model.Frame(0).Picture), Codes(picture));
    QCOMPARE(Codes(main->Control()->Editor().Canvas()), Codes(canvas));
    QCOMPARE(main->lblFN->text().toStdString(), dir + "/NEW.SML");
    QVERIFY(boxes->Texts().empty());

    // Wrong magic: a warning names the file, the message stays.
    WriteBytes(dir + "/BAD.SML", "-FRAMX-" + std::string(15, '\0'));
    answer = dir + "/BAD.SML";
    main->Load1Click();
    QCOMPARE(boxes->Texts().size(), std::size_t{1});
    QVERIFY2(boxes->Texts()[0].find("BAD.SML") != std::string::npos, boxes->Texts()[0].c_str());
    QCOMPARE(model.Frame(0).Codes[1], std::string("HELLO0"));
    QCOMPARE(main->lblFN->text().toStdString(), dir + "/NEW.SML");
    // Cancel in the dialog: nothing changes.
    answer.clear();
    main->Load1Click();
    QCOMPARE(boxes->Texts().size(), std::size_t{1});
    QCOMPARE(model.Frame(0).Codes[1], std::string("HELLO0"));
  }

  void goToSignSendsTheMessageToTheSimulatedSign() {
    signsim::SignSim sign;
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(sign.StartPty()));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    QVERIFY(boxes->Texts().empty());
    main->SetCurrentFont(2);
    QTest::keyClicks(main->Control(), "AB");
    // The sending window is modal: the press returns once the send is done.
    QTest::keyClick(main->Control(), Qt::Key_G, Qt::ControlModifier);
    QVERIFY(sign.WaitForRecords(5, std::chrono::seconds(5)));
    const std::vector<signsim::SignEntry> records = sign.Records();
    QCOMPARE(records.size(), std::size_t{5});
    QCOMPARE(records[0].wakeAts, 23);
    QVERIFY2(records[0].text.rfind("{N00,M=AML,D=", 0) == 0, records[0].text.c_str());
    QCOMPARE(records[1].text, std::string("{F,_LOCAL}"));
    QCOMPARE(records[2].text, std::string("{T,~f,^FL^RH^TBAB}"));
    QCOMPARE(records[3].text, std::string("{RX,_LOCAL}"));
    QCOMPARE(records[4].text, std::string("{E}"));
    for (const auto& r : records) QVERIFY(r.crcOk);
    QVERIFY(boxes->Texts().empty());
  }

  // The sign's cable was out at start (the set-up warned); once it is in,
  // Go to Sign opens the port and reaches the sign, with no set-up by hand.
  void goToSignOpensAPortThatFailedAtStart() {
    const std::string link = programDir_ + "/COM1";
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(link));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{"Serial port setup error!\n" + link +
                                                       " does not exist (is the device plugged in?)"});
    QVERIFY(!main->Link().Port().Open());
    QTest::keyClicks(main->Control(), "AB");

    signsim::SignSim sign;
    sign.StartPty(link);
    boxes->Clear();
    main->GoToSign();
    QVERIFY(sign.WaitForRecords(5, std::chrono::seconds(5)));
    QCOMPARE(sign.Records()[2].text, std::string("{T,~f,^DL^RH^T5AB}"));
    QVERIFY(main->Link().Port().Open());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{});
  }

  // The sign hangs up (its cable is pulled); once COM1 leads to a sign again
  // (here: a new pseudo-terminal) Go to Sign opens the dead port again, and
  // the window's own link starts the modem component, which the port's close
  // stopped, on it again.
  void goToSignAfterADeadLineReopensThePortAndStartsTheModemAgain() {
    auto first = std::make_unique<signsim::SignSim>();
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(first->StartPty()));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    QVERIFY(boxes->Texts().empty());
    comm::TVnkComPort& port = main->Link().Port();
    comm::TVnkModem& modem = main->Link().Modem();
    QVERIFY(port.Open());
    QVERIFY(modem.ModemStarted());
    signsim::SignSim second;
    QVERIFY(testsupport::ReplugCom1(*first, port, second));
    QTest::keyClicks(main->Control(), "AB");
    main->GoToSign();
    QVERIFY(second.WaitForRecords(5, std::chrono::seconds(5)));
    QCOMPARE(second.Records()[3].text, std::string("{RX,_LOCAL}"));
    QVERIFY(!port.DeviceFailed());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{});
    QVERIFY2(modem.ModemStarted(), "the modem component runs on the reopened port");
  }

  void frameClicksFunctionsAndFix() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    boxes->Clear();  // the serial warning: no tty behind COM1 here
    editor::MessageModel& model = *main->Model();
    const editor::FrameListGeometry& g = main->Geometry();
    QTest::keyClick(main->Control(), Qt::Key_PageDown, Qt::ControlModifier);  // Insert Frame
    QCOMPARE(model.FrameCount(), 2);
    QCOMPARE(model.CurrentFrame, 1);
    QCOMPARE(main->lblFrame->text(), QString("2/2"));
    model.Modified = false;

    int shown = 0;
    main->showModeDialog = [&](std::uint8_t& speed, std::string& modes) {
      ++shown;
      speed = 1;
      modes = "ZU";
      return true;
    };
    // A click on row 0's label selects frame 0 and opens its functions.
    QTest::mouseClick(main->imgPanel, Qt::LeftButton, {}, QPoint(g.LabelLeft + 10, g.RowBoxTop + 10));
    QCOMPARE(model.CurrentFrame, 0);
    QCOMPARE(shown, 1);
    QCOMPARE(model.Frame(0).Modes, std::string("ZU"));
    QCOMPARE(int{model.Frame(0).Speed}, 1);
    QVERIFY(model.Modified);
    // Its label is white inside a blue outline.
    QCOMPARE(main->Img().pixel(g.LabelLeft, g.RowBoxTop + 2), qRgb(0, 0, 255));
    // A click below the last painted row does nothing.
    QTest::mouseClick(main->imgPanel, Qt::LeftButton, {}, QPoint(g.LabelLeft + 10, g.RowBoxTop + 2 * g.RowPitch() + 5));
    QCOMPARE(shown, 1);
    QCOMPARE(model.CurrentFrame, 0);

    // Fix on frame 0: the frame after it takes the fixed part; functions are refused on it.
    model.Modified = false;
    QTest::mouseClick(main->spdFix, Qt::LeftButton);
    QVERIFY(model.Frame(0).FixedFrame);
    QVERIFY(model.Frame(1).HasFixedPart);
    QVERIFY(main->mnuFix->isChecked());
    QVERIFY(model.Modified);
    main->EditFrameFunctions(0);
    QCOMPARE(boxes->Texts(), std::vector<std::string>{"This Frame is not for functions !"});
    QCOMPARE(shown, 1);
    // The label shows "FIX" on grey.
    QCOMPARE(main->Img().pixel(g.LabelLeft + 2, g.RowBoxTop + 2), qRgb(128, 128, 128));

    // Frame 1 only follows it: releasing Fix there ends the fixed part from it on.
    QTest::mouseClick(main->imgPanel, Qt::LeftButton, {}, QPoint(g.EditorLeft + 10, g.RowBoxTop + g.RowPitch() + 10));
    QCOMPARE(model.CurrentFrame, 1);
    QVERIFY(main->spdFix->isChecked());
    QTest::mouseClick(main->spdFix, Qt::LeftButton);
    QVERIFY(!model.Frame(1).HasFixedPart);
    QVERIFY(model.Frame(0).FixedFrame);
    QVERIFY(!main->mnuFix->isChecked());

    // Clear Frame marks the message modified.
    model.Modified = false;
    QTest::keyClick(main->Control(), Qt::Key_F5);
    QVERIFY(model.Modified);
  }

  void insertLogoThroughThePicker() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    // A logo file of one 5 x 8 logo, at the logo list's 3 screen pixels a sign pixel.
    QImage drawn(15, 24, QImage::Format_RGB32);
    drawn.fill(colorcode::CodeToColor(0xE0));
    const std::string logoPath = programDir_ + "/RED.LOG";
    logofile::SaveLogoFile(logoPath, {drawn});
    int asked = 0;
    main->fileChoosers.openLogoFile = [&](QWidget*) {
      ++asked;
      return logoPath;
    };
    QString caption;
    WhenModal<editor::TfrmSelLOG>([&](editor::TfrmSelLOG* picker) {
      caption = picker->windowTitle();
      picker->BitBtn1->click();
    });
    QTest::keyClick(main->Control(), Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(asked, 1);
    QCOMPARE(caption.toStdString(), "SELECT A LOGO OF " + logoPath);
    editor::MessageModel& model = *main->Model();
    QCOMPARE(model.LogoCount(), 1);
    QCOMPARE(model.Frame(0).Kinds[1], std::string("@"));
    QCOMPARE(model.LogoList()[0].width(), 5);
    QCOMPARE(colorcode::ColorToCode(model.LogoList()[0].pixel(0, 0)), colorcode::ColorCode{0xE0});
    QVERIFY(model.Modified);
    QCOMPARE(QDir::currentPath().toStdString(), QDir(dir_->path()).absolutePath().toStdString());
    // A cancelled file dialog shows no picker.
    main->fileChoosers.openLogoFile = [&](QWidget*) { return std::string(); };
    main->mnuInsertLogoClick();
    QCOMPARE(model.LogoCount(), 1);
  }

  // A file of 55 one-pixel logos made elsewhere: logos 1 to 51 in frame 1,
  // then X, logo 52, Y; logo 53 before logo 0; X and logo 54 last. It opens
  // and saves back the same; what goes to the sign, and into the message
  // file beside it, leaves out the logos from 52 on, which the sign has no
  // letter for, and says so once; and no further logo comes from the picker.
  void aFileOfMoreLogosThanTheSignNamesOpensSavesAndSends() {
    signsim::SignSim sign;
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(sign.StartPty()));
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    // One line of cells (kind, code, font, colour, attributes each), layout 1.
    struct Cells {
      std::string kinds, codes, fonts, colors, attrs;
      void Logo(int n) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%.3d", n);
        kinds += '@';
        codes += digits[0];
        fonts += digits[1];
        colors += digits[2];
        attrs += '0';
      }
      void Bold(char c) {  // font 2, colour 2 (green), bold
        kinds += 'N';
        codes += c;
        fonts += '2';
        colors += '2';
        attrs += '1';
      }
      std::string Frame() const {
        return std::string("\x00\x00\x01", 3) + "NN" + U16(0) + U16(static_cast<int>(kinds.size())) + kinds + codes +
               fonts + colors + attrs + U16(0);
      }
    };
    Cells named, middle, before0, last;
    for (int n = 1; n < 52; ++n) named.Logo(n);
    middle.Bold('X');
    middle.Logo(52);
    middle.Bold('Y');
    before0.Logo(53);
    before0.Logo(0);
    last.Bold('X');
    last.Logo(54);
    std::string logos;
    for (int n = 0; n < 55; ++n) logos += U16(1) + U16(1) + std::string("\x01\x00", 2);  // one dark pixel
    const std::string file =
        U16(4) + U16(55) + "-FRAME-" + named.Frame() + middle.Frame() + before0.Frame() + last.Frame() + logos;
    const std::string dir = QDir::currentPath().toStdString();
    WriteBytes(dir + "/MANY.SML", file);
    main->fileChoosers.openFrameFile = [&](QWidget*, const std::string&) { return dir + "/MANY.SML"; };
    main->Load1Click();
    QCOMPARE(boxes->Texts(), std::vector<std::string>{});
    editor::MessageModel& model = *main->Model();
    QCOMPARE(model.LogoCount(), 55);

    // The records as the sign must read them: logos 0 to 51 by their letters.
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string cells;
    for (char letter : letters.substr(1)) cells += std::string("^L") + letter;
    std::vector<std::string> frames = {"{T,~f,^FL" + cells + "}", "{T,~f,^FL^GH^BD^TBXY}", "{T,~f,^FL^LA}",
                                       "{T,~f,^FL^GH^BD^TBX}"};
    // One column on a 16-row sign: four planes of two bytes, all dark.
    for (char letter : letters) frames.push_back(std::string("{L") + letter + ",01,001,C,#" + std::string(8, '\0') + "#}");
    const std::string unsent = "Logos 53 to 55 are not sent: a sign shows at most 52 logos.";

    QTest::keyClick(main->Control(), Qt::Key_G, Qt::ControlModifier);
    QVERIFY(sign.WaitForRecords(2 + frames.size() + 2, std::chrono::seconds(20)));
    const std::vector<signsim::SignEntry> records = sign.Records();
    std::vector<std::string> texts;
    for (const auto& r : records) {
      QVERIFY(r.crcOk);
      QVERIFY(!r.framedBySilence);
      texts.push_back(r.text);
    }
    QCOMPARE(texts.size(), 2 + frames.size() + 2);
    QVERIFY2(texts[0].rfind("{N00,M=AML,D=", 0) == 0, texts[0].c_str());
    std::vector<std::string> expected = {texts[0], "{F,_LOCAL}"};
    expected.insert(expected.end(), frames.begin(), frames.end());
    expected.push_back("{RX,_LOCAL}");
    expected.push_back("{E}");
    QCOMPARE(texts, expected);
    QCOMPARE(boxes->Texts(), std::vector<std::string>{unsent});
    QCOMPARE(boxes->Shown().at(0).type, platform::BoxType::Information);

    // Saved again from memory: the frame file keeps every logo, the message
    // file beside it holds what the sign was sent.
    QVERIFY(QFile::remove(QString::fromStdString(dir + "/MANY.SML")));
    boxes->Clear();
    main->SetModified(true);
    main->Save1Click();
    QCOMPARE(ReadBytes(dir + "/MANY.SML"), file);
    std::string messageFile = Record("{F,MANY}");
    for (const std::string& f : frames) messageFile += Record(f);
    QCOMPARE(ReadBytes(dir + "/MANY.MSG"), messageFile);
    QCOMPARE(boxes->Texts(), std::vector<std::string>{unsent});

    boxes->Clear();
    QImage drawn(15, 24, QImage::Format_RGB32);
    drawn.fill(colorcode::CodeToColor(0xE0));
    const std::string logoPath = programDir_ + "/RED.LOG";
    logofile::SaveLogoFile(logoPath, {drawn});
    main->fileChoosers.openLogoFile = [&](QWidget*) { return logoPath; };
    WhenModal<editor::TfrmSelLOG>([&](editor::TfrmSelLOG* picker) { picker->BitBtn1->click(); });
    main->Control()->Editor().KeyDown(editor::EditorKey::End);
    main->mnuInsertLogoClick();
    QCOMPARE(boxes->Texts(), std::vector<std::string>{"The maximum of logos is 52!"});
    QCOMPARE(model.LogoCount(), 55);
  }

  void functionsThroughThePresentationDialog() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    WhenModal<editor::TfrmMode>([](editor::TfrmMode* mode) {
      mode->edtModes->setText("ZA");
      mode->cboSpeed->setCurrentIndex(2);
      mode->btnOk->click();
    });
    QTest::keyClick(main->Control(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(main->Model()->Frame(0).Modes, std::string("ZA"));
    QCOMPARE(int{main->Model()->Frame(0).Speed}, 2);
    QVERIFY(main->Model()->Modified);
  }

  void parametersAreSavedAndTheSignSizeWaitsForTheNextStart() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    WhenModal<editor::TfrmParam>([](editor::TfrmParam* param) {
      param->edtSignID->setText("12");
      param->edtSIGN_W->setText("80");
      param->btnSave->click();
    });
    QTest::keyClick(main->Control(), Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(main->mnuID->text(), QString("&ID: 12"));
    const std::string text = ReadBytes(Ini());
    QVERIFY2(text.find("Sign ID=12") != std::string::npos, text.c_str());
    QVERIFY(text.find("Sign Width=80") != std::string::npos);
    // Editing goes on with the size read at start-up.
    QCOMPARE(main->Model()->Sign().width, 160);
    QCOMPARE(main->palSignSize->text(), QString("16 x 160"));
  }

  void aCloseWhoseSaveFailsKeepsTheWindowAndTheMessage() {
    struct Case {
      const char* what;
      std::function<void(const std::string& dir)> breakSave;
      std::function<void(const std::string& dir)> mendSave;
      // The boxes of the close once the path is mended.
      std::vector<std::string> mendedClose;
    };
    const Case cases[] = {
        {"the message's folder is gone, a file in its place",
         [](const std::string& dir) {
           QVERIFY(QDir().rmdir(QString::fromStdString(dir)));
           WriteBytes(dir, "not a folder");
         },
         [](const std::string& dir) {
           QVERIFY(QFile::remove(QString::fromStdString(dir)));
           QVERIFY(QDir().mkdir(QString::fromStdString(dir)));
         },
         {editorapp::kAskSaveText}},
        {"a folder stands where the message file goes",
         [](const std::string& dir) { QVERIFY(QDir().mkdir(QString::fromStdString(dir + "/NEW.MSG"))); },
         [](const std::string& dir) { QVERIFY(QDir().rmdir(QString::fromStdString(dir + "/NEW.MSG"))); },
         // Neither file was put in place, so there is nothing to replace.
         {editorapp::kAskSaveText}},
    };
    for (const Case& c : cases) {
      platform::ScopedRecordingBoxes boxes;
      auto main = Started();
      QVERIFY(main->StartedUp());
      TypeHello(*main);
      const std::string dir = QDir::currentPath().toStdString();
      QCOMPARE(main->lblFN->text().toStdString(), dir + "/NEW.SML");
      c.breakSave(dir);
      boxes->Clear();
      boxes->QueueAnswer(platform::kResultYes);
      main->close();
      // The save failed: a warning after the question, and the window stays
      // with the message as it was, still marked changed.
      QVERIFY2(main->isVisible(), c.what);
      const std::vector<platform::BoxRequest> shown = boxes->Shown();
      QVERIFY2(shown.size() == 2, c.what);
      QCOMPARE(shown[0].text, std::string(editorapp::kAskSaveText));
      QVERIFY2(shown[1].type == platform::BoxType::Error && !shown[1].text.empty(), c.what);
      editor::MessageModel& model = *main->Model();
      QCOMPARE(model.Frame(0).Codes[1], std::string("HELLO0"));
      QCOMPARE(model.LogoCount(), 1);
      QVERIFY(model.Modified);
      QCOMPARE(main->lblFN_M->text(), QString("*File:"));
      QCOMPARE(main->lblFN->text().toStdString(), dir + "/NEW.SML");
      // A failed save leaves no half of the message behind.
      QVERIFY2(!QFileInfo::exists(QString::fromStdString(dir + "/NEW.SML")), c.what);
      // Once the path can be written, Yes saves all of it and the window closes.
      c.mendSave(dir);
      QVERIFY(QDir::setCurrent(QString::fromStdString(dir)));
      boxes->Clear();
      boxes->SetFallback(platform::kResultYes);
      main->close();
      QVERIFY2(!main->isVisible(), c.what);
      QCOMPARE(boxes->Texts(), c.mendedClose);
      QCOMPARE(ReadBytes(dir + "/NEW.SML"), HelloFrameFile());
      QCOMPARE(ReadBytes(dir + "/NEW.MSG"), HelloMessageFile());
      QFile::remove(QString::fromStdString(dir + "/NEW.SML"));
      QFile::remove(QString::fromStdString(dir + "/NEW.MSG"));
    }
  }

  void theFileDialogsOfferMessageFilesInEitherCase() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    boxes->Clear();  // the serial warning: no tty behind COM1 here
    const QString dir = QDir::currentPath();
    for (const char* name : {"A.SML", "b.sml", "c.Sml", "d.txt", "e.SMLX", "f.MSG", "g.LOG"}) {
      WriteBytes((dir + "/" + name).toStdString(), "x");
    }
    // Open: the message files of the current directory, whatever their case.
    DialogSeen open;
    WhenFileDialog(open, 3);
    QTest::keyClick(main->Control(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(open.mode, QFileDialog::AcceptOpen);
    QCOMPARE(open.fileMode, QFileDialog::ExistingFile);
    QCOMPARE(open.filters, QStringList{"SML files (*.sml *.SML)"});
    QCOMPARE(open.suffix, QString("SML"));
    QCOMPARE(open.directory, dir);
    QCOMPARE(open.listed, (QStringList{"A.SML", "b.sml", "c.Sml"}));
    QCOMPARE(main->Model()->DocFileName, dir.toStdString() + "/NEW.SML");

    // Save As: starts on the message's own name, asks before overwriting, and
    // a name typed without an extension is saved as a message file.
    DialogSeen save;
    WhenFileDialog(save, 3, "WEEK");
    main->SaveAs1Click();
    QCOMPARE(save.mode, QFileDialog::AcceptSave);
    QVERIFY(save.confirmsOverwrite);
    QCOMPARE(save.filters, QStringList{"SML files (*.sml *.SML)"});
    QCOMPARE(save.suffix, QString("SML"));
    QCOMPARE(save.selected, QStringList{dir + "/NEW.SML"});
    QCOMPARE(save.listed, (QStringList{"A.SML", "b.sml", "c.Sml"}));
    QCOMPARE(main->Model()->DocFileName, dir.toStdString() + "/WEEK.SML");
    QCOMPARE(ReadBytes(dir.toStdString() + "/WEEK.SML").substr(4, 7), std::string("-FRAME-"));
    QVERIFY(QFile::exists(dir + "/WEEK.MSG"));

    // Insert Logo's chooser: logo files, whatever their case.
    for (const char* name : {"H.log", "i.Log"}) WriteBytes((dir + "/" + name).toStdString(), "x");
    DialogSeen logo;
    WhenFileDialog(logo, 3);
    main->mnuInsertLogoClick();
    QCOMPARE(logo.fileMode, QFileDialog::ExistingFile);
    QCOMPARE(logo.filters, QStringList{"LOGO files (*.log *.LOG)"});
    QCOMPARE(logo.suffix, QString("LOG"));
    QCOMPARE(logo.listed, (QStringList{"H.log", "g.LOG", "i.Log"}));
    QCOMPARE(main->Model()->LogoCount(), 0);
    QVERIFY(boxes->Texts().empty());
  }

  // Save As and Open through the real dialogs in a folder named with letters
  // beyond ASCII, under a Chinese name typed into the dialog.
  void aMessageInAFolderNamedBeyondAsciiSavesAndOpens() {
    const QString shownFolder = QDir::currentPath() + QString::fromUtf16(u"/Schilder f\u00FCr Zo\u00EB \u62DB\u724C");
    const std::string folder = QDir::currentPath().toStdString() + "/Schilder f\xC3\xBCr Zo\xC3\xAB \xE6\x8B\x9B\xE7\x89\x8C";
    QVERIFY(std::filesystem::create_directory(folder));
    QVERIFY(::chdir(folder.c_str()) == 0);
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    boxes->Clear();  // the serial warning: no tty behind COM1 here
    TypeHello(*main);
    DialogSeen save;
    WhenFileDialog(save, 0, QString::fromUtf16(u"\u5927\u9580"));
    main->SaveAs1Click();
    const std::string path = folder + "/\xE5\xA4\xA7\xE9\x96\x80.SML";
    QCOMPARE(save.directory, shownFolder);
    QCOMPARE(main->Model()->DocFileName, path);
    QCOMPARE(main->lblFN->text(), shownFolder + QString::fromUtf16(u"/\u5927\u9580.SML"));
    QCOMPARE(ReadBytes(path), HelloFrameFile());
    // Beside it the message file, whose records after the name are the message.
    const std::string msg = ReadBytes(folder + "/\xE5\xA4\xA7\xE9\x96\x80.MSG");
    QVERIFY(msg.size() > 2);
    const std::size_t first = 2 + (static_cast<std::uint8_t>(msg[0]) | static_cast<std::uint8_t>(msg[1]) << 8);
    QCOMPARE(msg.substr(first), HelloMessageFile().substr(11));

    main->New1Click();
    QVERIFY(main->Model()->Frame(0).LinesEmpty());
    DialogSeen open;
    WhenFileDialog(open, 1, QString::fromUtf16(u"\u5927\u9580.SML"));
    main->Load1Click();
    QCOMPARE(open.directory, shownFolder);
    QCOMPARE(open.listed, QStringList{QString::fromUtf16(u"\u5927\u9580.SML")});
    QCOMPARE(main->Model()->DocFileName, path);
    QCOMPARE(main->Model()->Frame(0).Codes[1], std::string("HELLO0"));
    QVERIFY(boxes->Texts().empty());
  }

  // A folder and a file named on another system (bytes that are not UTF-8):
  // shown with their Latin-1 letters, saved under the names they have. The
  // Qt dialog cannot enter such a folder: it opens on the one above and
  // offers "folder/name", and taking that saves onto the same file, never a
  // second one of a mangled name.
  void aFolderAndAFileNamedOnAnotherSystemKeepTheirNames() {
    const std::string messages = QDir::currentPath().toStdString();
    const std::string folder = messages + "/caf\xE9";
    QVERIFY(std::filesystem::create_directory(folder));
    QVERIFY(::chdir(folder.c_str()) == 0);
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    boxes->Clear();
    QCOMPARE(main->Model()->DocFileName, folder + "/NEW.SML");
    QCOMPARE(main->lblFN->text(), QString::fromStdString(messages) + QString::fromUtf16(u"/caf\u00E9/NEW.SML"));
    TypeHello(*main);
    QTest::keyClick(main->Control(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(ReadBytes(folder + "/NEW.SML"), HelloFrameFile());
    QCOMPARE(ReadBytes(folder + "/NEW.MSG"), HelloMessageFile());

    auto namesIn = [](const std::string& dir) {
      std::vector<std::string> names;
      for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
      std::sort(names.begin(), names.end());
      return names;
    };
    for (const QString& typed : {QString::fromUtf16(u"caf\u00E9/NEW.SML"), QString::fromUtf16(u"caf\u00E9/WEEK")}) {
      DialogSeen save;
      WhenFileDialog(save, 0, typed);
      main->SaveAs1Click();
      QCOMPARE(save.selected, QStringList{QString::fromStdString(messages) + QString::fromUtf16(u"/caf\u00E9/NEW.SML")});
    }
    QCOMPARE(main->Model()->DocFileName, folder + "/WEEK.SML");
    QCOMPARE(namesIn(messages), std::vector<std::string>{"caf\xE9"});
    QCOMPARE(namesIn(folder), (std::vector<std::string>{"NEW.MSG", "NEW.SML", "WEEK.MSG", "WEEK.SML"}));

    // A file of that kind in a folder named here: opened by its own name,
    // and a Save As on the name offered writes it, and nothing beside it.
    QVERIFY(::chdir(messages.c_str()) == 0);
    const std::string file = messages + "/Zo\xEB.SML";
    QVERIFY(std::filesystem::copy_file(folder + "/NEW.SML", file));
    main->fileChoosers.openFrameFile = [&](QWidget*, const std::string&) { return file; };
    main->Load1Click();
    QCOMPARE(main->Model()->DocFileName, file);
    QCOMPARE(main->lblFN->text(), QString::fromStdString(messages) + QString::fromUtf16(u"/Zo\u00EB.SML"));
    main->fileChoosers = editorapp::QtFileChoosers();
    DialogSeen save;
    WhenFileDialog(save, 0, QString::fromUtf16(u"Zo\u00EB.SML"));
    main->SaveAs1Click();
    QCOMPARE(save.selected, QStringList{QString::fromStdString(messages) + QString::fromUtf16(u"/Zo\u00EB.SML")});
    QCOMPARE(main->Model()->DocFileName, file);
    QCOMPARE(namesIn(messages), (std::vector<std::string>{"Zo\xEB.MSG", "Zo\xEB.SML", "caf\xE9"}));
    QCOMPARE(ReadBytes(messages + "/Zo\xEB.MSG").substr(0, 11), Record("{F,ZO\xEB}"));
    QVERIFY(boxes->Texts().empty());
  }

  void pageUpAndPageDownStepThroughTheFramesAndTheListFollows() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    boxes->Clear();  // the serial warning: no tty behind COM1 here
    editor::MessageModel& model = *main->Model();
    const editor::FrameListGeometry& g = main->Geometry();
    const int rows = g.VisibleRows;
    QVERIFY(rows >= 2);
    // Frame 0 holds green text, then frames after it until the list must scroll.
    TypeHello(*main);
    const int frames = rows + 2;
    for (int i = 1; i < frames; ++i) QTest::keyClick(main->Control(), Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(model.FrameCount(), frames);
    QCOMPARE(model.CurrentFrame, frames - 1);
    model.Modified = false;

    QWindow* window = main->windowHandle();
    QVERIFY(window);
    int first = model.FirstVisibleRow;
    auto expectAt = [&](int current) {
      QCOMPARE(model.CurrentFrame, current);
      // The list scrolls no further than it must to show the current frame.
      first = std::min(first, current);
      first = std::max(first, current - rows + 1);
      QCOMPARE(model.FirstVisibleRow, first);
      QCOMPARE(main->lblFrame->text(), QString("%1/%2").arg(current + 1).arg(frames));
      // The control lies over the current frame's row.
      QCOMPARE(main->Control()->pos(), QPoint(g.EditorLeft, g.EditorTop + (current - first) * g.RowPitch()));
    };
    // Up, one frame a press, to the first frame. The first press comes while
    // the font box has the focus: the frames step, the box keeps its font.
    main->cboFont->setFocus();
    QVERIFY(main->cboFont->hasFocus());
    for (int current = frames - 2; current >= 0; --current) {
      QTest::keyClick(window, Qt::Key_PageUp);
      expectAt(current);
      QCOMPARE(main->cboFont->currentIndex(), 2);
      QCOMPARE(model.CurrentFont, 2);
    }
    QCOMPARE(boxes->Beeps(), 0);
    QTest::keyClick(window, Qt::Key_PageUp);
    expectAt(0);
    QCOMPARE(boxes->Beeps(), 1);

    // Down: row 0 of the list now shows frame 0's picture, green letters on black.
    QTest::keyClick(window, Qt::Key_PageDown);
    expectAt(1);
    int green = 0;
    for (int y = 0; y < g.RowHeight; ++y) {
      for (int x = 0; x < g.EditorWidth; ++x) {
        if (main->Img().pixel(g.EditorLeft + x, g.EditorTop + y) == colorcode::ColorIndexToColor(2)) ++green;
      }
    }
    QVERIFY(green > 100);
    for (int current = 2; current < frames; ++current) {
      QTest::keyClick(window, Qt::Key_PageDown);
      expectAt(current);
    }
    QCOMPARE(boxes->Beeps(), 1);
    QTest::keyClick(window, Qt::Key_PageDown);
    expectAt(frames - 1);
    QCOMPARE(boxes->Beeps(), 2);
    // Stepping is no change to the message, and no frame came or went.
    QVERIFY(!model.Modified);
    QCOMPARE(model.FrameCount(), frames);
    QCOMPARE(model.Frame(0).Codes[1], std::string("HELLO0"));
    QVERIFY(boxes->Texts().empty());
  }

  void aBig5CharacterTypedIntoTheWindowIsOnePair() {
    // U+4E2D is A4 A4 in the sign's double-byte code page, a pair of the first
    // double-byte font (index 8).
    QVERIFY(signfont::UnicodeToBig5(U'\u4E2D') == std::optional<std::string>("\xA4\xA4"));
    struct Case {
      const char* how;
      std::function<void(TfrmMain&)> type;
    };
    const QString text(QChar(0x4E2D));
    const Case cases[] = {
        {"a key press with the character's text",
         [&](TfrmMain& main) { QTest::sendKeyEvent(QTest::Click, main.windowHandle(), Qt::Key_unknown, text, {}); }},
        {"an input method's commit",
         [&](TfrmMain&) {
           QInputMethodEvent commit;
           commit.setCommitString(text);
           QVERIFY(QGuiApplication::focusObject());
           QCoreApplication::sendEvent(QGuiApplication::focusObject(), &commit);
         }},
    };
    for (const Case& c : cases) {
      platform::ScopedRecordingBoxes boxes;
      auto main = Started();
      QVERIFY(main->StartedUp());
      boxes->Clear();
      main->SetCurrentFont(2);
      main->SetCurrentColor(2);
      QVERIFY(main->Control()->hasFocus());
      main->Model()->Modified = false;
      c.type(*main);
      const editor::TFrame& f = main->Model()->Frame(0);
      QVERIFY2(f.Codes[1] == "\xA4\xA4", c.how);
      QCOMPARE(f.Kinds[1], std::string("NN"));
      QCOMPARE(f.Fonts[1], std::string("8X"));  // the lead names the font, the trail is marked
      QCOMPARE(f.Colors[1], std::string("22"));
      QCOMPARE(f.Attrs[1], std::string("00"));
      QCOMPARE(f.Length(2), 0);
      QCOMPARE(main->Control()->Editor().CellCount(0, 1), 1);
      QCOMPARE(main->lblColumn->text(), QString("3"));  // the caret after the pair
      QVERIFY(main->Model()->Modified);
      QCOMPARE(main->lblFN_M->text(), QString("*File:"));
      QVERIFY2(ShowsTaggedPair(main->Control()->Editor().Canvas(), 0xA4, 0xA4, colorcode::ColorIndexToColor(2)),
               c.how);
      QCOMPARE(boxes->Beeps(), 0);
      QVERIFY(boxes->Texts().empty());
    }
  }

  void screenshotOfAMessage() {
    platform::ScopedRecordingBoxes boxes;
    auto main = Started();
    QVERIFY(main->StartedUp());
    TypeHello(*main);
    QTest::keyClick(main->Control(), Qt::Key_PageDown, Qt::ControlModifier);
    main->SetCurrentFont(0);
    main->SetCurrentColor(4);
    QTest::keyClicks(main->Control(), "OPEN DAILY");
    QCoreApplication::processEvents();
    const QImage shot = main->grab().toImage();
    QVERIFY(!shot.isNull());
    QDir().mkpath(SCREENSHOT_DIR);
    const QString path = QString(SCREENSHOT_DIR) + "/selvanex_main.png";
    QVERIFY(shot.save(path));
    // Row 0 holds frame 0's picture: its green letters are in the list image.
    const editor::FrameListGeometry& g = main->Geometry();
    int green = 0;
    for (int y = 0; y < g.RowHeight; ++y) {
      for (int x = 0; x < g.EditorWidth; ++x) {
        if (main->Img().pixel(g.EditorLeft + x, g.EditorTop + y) == colorcode::ColorIndexToColor(2)) ++green;
      }
    }
    QVERIFY(green > 100);
  }
};

QTEST_MAIN(EditorMainTest)
#include "MainTest.moc"
