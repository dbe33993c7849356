// The editor's main window, offscreen, in a temporary program directory with
// tagged fixture fonts: start-up and its stops, the menus, the status texts,
// the close query, and the simulated sign on a pseudo-terminal.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "comm/SerialPort.h"
#include "editorapp/EditorLink.h"
#include "editorapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"
#include "signsim/SignSim.h"

using editorapp::TfrmMain;

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct MenuRow {
  QString menu;
  QString item;
  QString shortcut;
  bool enabled;
};

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
    main->FormActivate();
    QCoreApplication::processEvents();
    return main;
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
    QCOMPARE(boxes->Texts(), std::vector<std::string>{"Serial port setup error!"});
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
    QFile::remove(QString::fromStdString(Ini()));
    main->SetModified(true);
    QCOMPARE(main->lblFN_M->text(), QString("*File:"));
    boxes->Clear();
    boxes->QueueAnswer(platform::kResultCancel);
    main->close();
    QVERIFY(main->isVisible());
    QCOMPARE(boxes->Texts(), std::vector<std::string>{editorapp::kAskSaveText});
    // Written at every close query, also a refused one.
    QVERIFY(ReadBytes(Ini()).find("Sign Height=16") != std::string::npos);
    boxes->QueueAnswer(platform::kResultNo);
    main->close();
    QVERIFY(!main->isVisible());
  }
};

QTEST_MAIN(EditorMainTest)
#include "MainTest.moc"
