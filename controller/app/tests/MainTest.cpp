// The controller's main window, offscreen, with the simulated sign behind a
// loopback TCP port: start-up, the pages and their files, the job commands and
// the records the sign receives.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <functional>
#include <memory>

#include "Samples.h"
#include "comm/ModemComp.h"
#include "comm/SerialPort.h"
#include "common/CommandRecord.h"
#include "common/ControllerCommandFiles.h"
#include "platform/BinaryFile.h"
#include "common/Util.h"
#include "controller/Job.h"
#include "controller/Param.h"
#include "controller/Settings.h"
#include "controllerapp/IntOpt.h"
#include "controllerapp/Main.h"
#include "controllerdialup/DialUp.h"
#include "controllerapp/MainLink.h"
#include "controllerapp/SchSetup.h"
#include "controllerapp/Seldir.h"
#include "platform/MessageBoxes.h"
#include "platform/ProfileFile.h"
#include "platform/QtMessageBoxes.h"
#include "modemsim/ModemSim.h"
#include "signsim/SignSim.h"
#include "testsupport/OpenPerUserFolder.h"
#include "testsupport/ReplugCom1.h"
#include "testsupport/ScopedEnv.h"
#include "testsupport/WhenModal.h"

namespace QTest {
template <>
inline char* toString(const std::string& s) {
  return qstrdup(signsim::Printable(s).c_str());
}
template <>
inline char* toString(const std::vector<std::string>& v) {
  std::string all = "[";
  for (const std::string& s : v) all += (all.size() > 1 ? ", \"" : "\"") + signsim::Printable(s) + "\"";
  return qstrdup((all + "]").c_str());
}
}  // namespace QTest

namespace fs = std::filesystem;
using ctlapp::ListKind;
using ctlapp::TfrmMain;

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

using testsupport::WhenModal;

// The bytes a record puts on the link: its text and its CRC, high byte first.
// The CRC here is the sign simulator's own bitwise one.
std::string OnTheLink(const std::string& text) {
  const std::uint16_t crc = signsim::CommandCrc(text);
  return text + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}

// The records' texts; the wake-up (whose date and time are those of the
// moment it was written) stands as "WAKEUP" once its form has been checked.
std::vector<std::string> Texts(const std::vector<signsim::SignEntry>& records) {
  std::vector<std::string> t;
  for (const auto& r : records) {
    const bool wake = r.text.rfind("{N00,M=AML,D=24 ", 0) == 0 && r.text.size() == 31 && r.text.back() == '}' &&
                      r.wakeAts == 22 && r.crcOk;
    t.push_back(wake ? "WAKEUP" : r.text);
  }
  return t;
}

#define ASSERT_RECORDS(records, expected) QCOMPARE(Texts(records), (expected))

}  // namespace

class MainTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::string programDir_;
  std::string messagesDir_;
  std::unique_ptr<platform::ScopedRecordingBoxes> boxes_;
  std::unique_ptr<TfrmMain> main_;

  // A fresh program directory (no settings file unless `withSign`) and
  // messages directory as the current one.
  void Fresh(bool withSign) {
    main_.reset();
    dir_ = std::make_unique<QTemporaryDir>();
    programDir_ = dir_->path().toStdString();
    messagesDir_ = programDir_ + "/messages";
    fs::create_directories(messagesDir_);
    qputenv("LEDSIGN_PROGRAM_DIR", dir_->path().toLocal8Bit());
    qputenv("LEDSIGN_SYSTEM_DIR", dir_->path().toLocal8Bit());
    QDir::setCurrent(QString::fromStdString(messagesDir_));
    ctlsamples::WriteSampleMessages(messagesDir_);
    if (withSign) ctlsamples::EnsureTryoutSettings(programDir_);
    boxes_ = std::make_unique<platform::ScopedRecordingBoxes>();
  }

  TfrmMain& Start() {
    main_ = std::make_unique<TfrmMain>();
    main_->show();
    main_->activateWindow();
    if (!QTest::qWaitFor([&] { return main_->StartedUp(); }, 2000)) main_->FormActivate();
    return *main_;
  }

  void SelectSource(const QString& name) {
    const auto items = main_->lstSource->findItems(name, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(name));
    main_->lstSource->setCurrentItem(items.first());
  }

  // The Save As dialog answers `path`; `title` and `ext` get what it was asked with.
  static void AnswerSaveAs(TfrmMain& m, const std::string& path, std::string& title, std::string& ext) {
    m.fileDialogs.save = [&title, &ext, path](QWidget*, const std::string& t, const std::string&,
                                             const std::string& e, const std::string&) {
      title = t;
      ext = e;
      return path;
    };
  }

  std::string Messages(const std::string& name) const { return messagesDir_ + "/" + name; }
  // Opens a schedule whose row 1 holds no file and whose row 2 is Offer.MSG on
  // Monday at 08:00.
  void OpenGapSchedule(TfrmMain& m) {
    const std::string sch = Messages("gap.sch");
    std::ofstream(sch, std::ios::binary) << ";;\r\n" << Messages("Offer.MSG") << ";MON;08:00\r\n";
    m.fileDialogs.open = [sch](QWidget*, const std::string&, const std::string&) { return sch; };
    m.btnOpen_SEQClick(ListKind::Schedule);
  }

  // Runs the job asked for by `request` and waits for its report.
  void RunJob(const std::function<void()>& request, bool expectSuccess = true) {
    controller::JobRunner* runner = main_->Link().Runner();
    QVERIFY(runner);
    QSignalSpy finished(runner, &controller::JobRunner::jobFinished);
    request();
    QVERIFY(finished.wait(15000));
    QCOMPARE(finished.first().at(0).toBool(), expectSuccess);
  }

  std::vector<std::string> MessageRecords(const std::string& file) {
    std::vector<std::string> texts;
    for (const auto& r : cmdfile::ReadCommandRecords(platform::ReadWholeFile(file))) texts.push_back(r.text);
    return texts;
  }

 private slots:
  void cleanup() {
    main_.reset();
    boxes_.reset();
    // Qt cannot remove what it cannot name (a file named on another system).
    std::error_code ignored;
    if (dir_) fs::remove_all(programDir_, ignored);
  }

  // A per-user folder any user may write is not used: the start says why
  // first, and goes on.
  void aPerUserFolderOthersMayWriteIsNamedAtStart() {
    Fresh(true);
    const testsupport::OpenPerUserFolder open(programDir_, programDir_ + "/home");
    TfrmMain& m = Start();
    QVERIFY(m.StartedUp());
    const std::vector<std::string> texts = (*boxes_)->Texts();
    QVERIFY(!texts.empty());
    QCOMPARE(texts[0], "The program's files cannot be kept: " + open.path() + " may be written by other users.");
    QCOMPARE((*boxes_)->Shown()[0].caption, std::string("Warning"));
    main_.reset();
  }

  // An executable's folder the user may write but any user may change is not
  // used: the start says why, and the settings go to the per-user folder.
  void anExecutablesFolderOthersMayChangeIsNamedAtStart() {
    Fresh(false);
    const std::string install = programDir_ + "/install";
    const std::string home = programDir_ + "/home";
    fs::create_directories(install);
    fs::create_directories(home);
    QCOMPARE(::chmod(install.c_str(), 0777), 0);
    const testsupport::ScopedEnv program("LEDSIGN_PROGRAM_DIR", std::nullopt);
    const testsupport::ScopedEnv system("LEDSIGN_SYSTEM_DIR", std::nullopt);
    const testsupport::ScopedEnv data("XDG_DATA_HOME", std::nullopt);
    const testsupport::ScopedEnv homeEnv("HOME", home);
    const platform::ScopedExecutableDirectory executable(install, true);
    TfrmMain& m = Start();
    QVERIFY(m.StartedUp());
    const std::vector<std::string> texts = (*boxes_)->Texts();
    QVERIFY(!texts.empty());
    QCOMPARE(texts[0], "The program's folder " + install + " is not used: " + install + " may be written by other users.");
    QVERIFY(fs::exists(home + "/.local/share/ledsigns/SML_WIN.INI"));
    QVERIFY(!fs::exists(install + "/SML_WIN.INI"));
    main_.reset();
  }

  void freshStartCreatesTheSettingsAndRunsOnce() {
    Fresh(false);
    TfrmMain& m = Start();
    QVERIFY(m.StartedUp());
    const std::string ini = programDir_ + "/SML_WIN.INI";
    QVERIFY(fs::exists(ini));
    QCOMPARE(platform::ReadProfileString(ini, "Communication", "IS TCP").value_or("?"), std::string("1"));
    QCOMPARE(platform::ReadProfileString(ini, "SIGN 50", "Name").value_or("?"), std::string(""));
    QVERIFY(m.Link().IsTcp());
    QCOMPARE(m.cboID->currentText(), QString("00"));
    QCOMPARE(m.cboID->count(), 100);
    QCOMPARE(m.palLocation->text(), QString(" Working Directory: ") + QDir::currentPath());
    QCOMPARE(m.palTitle_SEQ->text(), QString("new.seq"));
    QCOMPARE(m.palTitle_SCH->text(), QString("new.sch"));
    QCOMPARE(m.PC->currentWidget(), m.tsSEQ);
    QCOMPARE(m.lstSource->count(), 3);  // *.MSG lists .MSG files whatever their case
    QVERIFY(m.spdDial->isEnabled());
    QVERIFY(!m.spdHangUp->isEnabled());
    QVERIFY(!m.spdRUN_SEQ->isEnabled());
    QVERIFY(!m.spdInterrupt->isEnabled());
    QVERIFY((*boxes_)->Texts().empty());  // the New commands asked nothing

    // A second activation (after a modal dialog, say) does not start up again.
    m.cboID->setCurrentIndex(7);
    SelectSource("Offer.MSG");
    m.spdINS_SEQClick();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&m, &activate);
    m.FormActivate();
    QCOMPARE(m.cboID->currentText(), QString("07"));
    QCOMPARE(m.Sequence().Entries().size(), std::size_t{1});
    QCOMPARE(m.palTitle_SEQ->text(), QString("new.seq *"));
  }

  void buttonsFollowTheSelectionAndTheFilter() {
    Fresh(false);
    TfrmMain& m = Start();
    std::ofstream(Messages("readme.txt")) << "not a message";
    std::ofstream(Messages("lower.msg")) << "";
    m.cboFilter->setCurrentIndex(1);  // All files
    QCOMPARE(m.lstSource->count(), 5);
    SelectSource("readme.txt");
    for (QToolButton* b : {m.spdInterrupt, m.spdINS_SEQ, m.spdREP_SEQ, m.spdINS_SCH, m.spdREP_SCH}) {
      QVERIFY(!b->isEnabled());
    }
    SelectSource("lower.msg");
    for (QToolButton* b : {m.spdInterrupt, m.spdINS_SEQ, m.spdREP_SEQ, m.spdINS_SCH, m.spdREP_SCH}) {
      QVERIFY(b->isEnabled());
    }
    m.spdINS_SCHClick();
    QVERIFY(m.spdRUN_SCH->isEnabled());
    QVERIFY(m.spdSetup_SCH->isEnabled());
    QVERIFY(!m.spdRUN_SEQ->isEnabled());
    m.cboFilter->setCurrentIndex(0);
    QCOMPARE(m.lstSource->count(), 4);

    // The directory dialog: the status bar names the new directory.
    const std::string other = programDir_ + "/Other Dir";
    fs::create_directories(other);
    WhenModal<ctlapp::TFRMSelDir>([other](ctlapp::TFRMSelDir* d) {
      d->SetDirectory(other);
      d->btnOkClick();
    });
    m.spdChgDirClick();
    QCOMPARE(m.palLocation->text(), QString::fromStdString("Location: " + other));
    QCOMPARE(m.lstSource->count(), 0);
    QVERIFY(!m.spdInterrupt->isEnabled());
  }

  void sequenceIsSavedReopenedAndRunOverTcp() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    QCOMPARE(m.cboSigns->currentText(), QString("Simulated sign"));

    for (const char* name : {"Welcome.MSG", "Offer.MSG", "Closing.MSG"}) {
      SelectSource(name);
      m.spdINS_SEQClick();
    }
    const std::vector<std::string> paths = {Messages("Welcome.MSG"), Messages("Offer.MSG"), Messages("Closing.MSG")};
    QCOMPARE(m.Sequence().Entries(), paths);
    QCOMPARE(m.palTitle_SEQ->text(), QString("new.seq *"));

    // Save As with a name typed without extension.
    std::string title;
    std::string ext;
    AnswerSaveAs(m, messagesDir_ + "/Week", title, ext);
    m.btnSaveAs_SEQClick(ListKind::Sequence);
    QCOMPARE(title, std::string("Save As Sequence File"));
    QCOMPARE(ext, std::string("seq"));
    const std::string saved = messagesDir_ + "/Week.seq";
    QCOMPARE(ReadBytes(saved), paths[0] + "\r\n" + paths[1] + "\r\n" + paths[2] + "\r\n");
    QCOMPARE(m.palTitle_SEQ->text(), QString("Week.seq"));

    (*boxes_)->QueueAnswer(platform::kResultYes);  // begin a new job
    m.btnNew_SEQClick(ListKind::Sequence);
    QVERIFY(m.Sequence().Empty());
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"Are you sure to begin a new job?"});

    std::string filter;
    m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string& f) {
      filter = f;
      return saved;
    };
    m.btnOpen_SEQClick(ListKind::Sequence);
    QCOMPARE(filter, std::string("Sequence Files (*.seq)"));
    QCOMPARE(m.Sequence().Entries(), paths);
    QCOMPARE(m.palTitle_SEQ->text(), QString("Week.seq"));
    QVERIFY(m.spdRUN_SEQ->isEnabled());

    (*boxes_)->Clear();
    RunJob([&] { m.spdRUN_SEQClick(); });
    std::vector<std::string> expected = {"WAKEUP"};
    for (const std::string& p : paths) {
      for (const std::string& t : MessageRecords(p)) expected.push_back(t);
    }
    expected.push_back("{RX,WELCOME OFFER CLOSING}");
    expected.push_back("{E}");
    QCOMPARE(expected.size(), std::size_t{11});  // 3 + 2 + 3 records in the three files
    QVERIFY(sign.WaitForRecords(expected.size(), std::chrono::milliseconds(2000)));
    const auto records = sign.Records();
    ASSERT_RECORDS(records, expected);
    QCOMPARE(records[0].wakeAts, 22);
    QCOMPARE(records[9].raw, OnTheLink("{RX,WELCOME OFFER CLOSING}"));
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended completely !!"));
  }

  void scheduleIsValidatedThenRunOverTcp() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    std::ofstream(Messages("Fourth.MSG"), std::ios::binary) << ReadBytes(Messages("Offer.MSG"));

    const std::string sch = Messages("plan.sch");
    std::ofstream(sch, std::ios::binary) << Messages("Welcome.MSG") << ";;10:00\r\n"
                                         << Messages("Offer.MSG") << ";;\r\n"
                                         << Messages("Closing.MSG") << ";DLY;  :  \r\n"
                                         << Messages("Fourth.MSG") << ";SUN;9:05:30\r\n";
    // Opened from the sequence page: the schedule is loaded, the page stays.
    m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string&) { return sch; };
    m.btnOpen_SEQClick(ListKind::Sequence);
    QCOMPARE(m.PC->currentWidget(), m.tsSEQ);
    QCOMPARE(m.Schedule().Rows().size(), std::size_t{4});
    QCOMPARE(m.palTitle_SCH->text(), QString("plan.sch"));
    QVERIFY(m.spdRUN_SCH->isEnabled());

    auto run = [&] { m.spdRUN_SCHClick(); };
    run();
    QCOMPARE((*boxes_)->Texts().back(), std::string("Both date and time are necessary!"));
    QCOMPARE(m.Link().Runner()->JobType(), 0);
    QCOMPARE(m.strgrdSelected->currentRow(), 0);

    // Row 1 gets a typed date and an impossible time through the dialog.
    WhenModal<ctlapp::TfrmSchSetup>([](ctlapp::TfrmSchSetup* d) {
      d->DateItemClick(1);
      QTest::keyClicks(d->edtD, "1225");
      d->edtT->selectAll();
      QTest::keyClicks(d->edtT, "2500");
      d->btnOk->click();
    });
    m.spdSetup_SCHClick();
    QCOMPARE(m.Schedule().Rows()[0].date, std::string("12/25"));
    QCOMPARE(m.Schedule().Rows()[0].time, std::string("25:00"));
    run();
    QCOMPARE((*boxes_)->Texts().back(), std::string("Time format error!"));

    bool editable = false;
    WhenModal<ctlapp::TfrmSchSetup>([&](ctlapp::TfrmSchSetup* d) {
      editable = d->DateEditable();
      d->edtT->selectAll();
      QTest::keyClicks(d->edtT, "1030");
      d->btnOk->click();
    });
    m.spdSetup_SCHClick();
    QVERIFY(editable);
    run();
    QCOMPARE((*boxes_)->Texts().back(), std::string("Time is necessary!"));
    QCOMPARE(m.strgrdSelected->currentRow(), 2);
    QCOMPARE(m.Schedule().Rows()[1].time, std::string("  :  "));

    // The day word stays read-only; only the time is typed.
    QString word;
    WhenModal<ctlapp::TfrmSchSetup>([&](ctlapp::TfrmSchSetup* d) {
      editable = d->DateEditable();
      word = d->edtD->text();
      QTest::keyClicks(d->edtT, "0800");
      d->btnOk->click();
    });
    m.spdSetup_SCHClick();
    QVERIFY(!editable);
    QCOMPARE(word, QString("DLY"));

    (*boxes_)->Clear();
    RunJob(run);
    QCOMPARE(m.Schedule().Rows()[3].time, std::string("09:05"));
    const std::string rj = "{RJ,12/25 10:30 WELCOME OFFER; DLY 08:00 CLOSING; SUN 09:05 FOURTH}";
    std::vector<std::string> expected = {"WAKEUP"};
    for (const char* f : {"Welcome.MSG", "Offer.MSG", "Closing.MSG", "Fourth.MSG"}) {
      for (const std::string& t : MessageRecords(Messages(f))) expected.push_back(t);
    }
    expected.push_back(rj);
    expected.push_back("{E}");
    QVERIFY(sign.WaitForRecords(expected.size(), std::chrono::milliseconds(2000)));
    const auto records = sign.Records();
    ASSERT_RECORDS(records, expected);
    const auto& schRecord = records[records.size() - 2];
    QCOMPARE(schRecord.raw, OnTheLink(rj));
    QVERIFY(schRecord.crcOk);
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended completely !!"));

    // Saved with the normalised times.
    m.btnSave_SEQClick(ListKind::Schedule);
    const std::string lines = ReadBytes(sch);
    QVERIFY(lines.find(";SUN;09:05\r\n") != std::string::npos);
    QVERIFY(lines.find(";12/25;10:30\r\n") != std::string::npos);
  }

  void interruptAndControlCommandsSendTheirRecords() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);

    SelectSource("Closing.MSG");
    QString initial;
    WhenModal<ctlapp::TfrmIntOpt>([&](ctlapp::TfrmIntOpt* d) {
      initial = d->cbxN->currentText();
      d->cbxN->setCurrentIndex(3);
      d->btnOk->click();
    });
    RunJob([&] { m.spdInterruptClick(); });
    QCOMPARE(initial, QString("00"));
    QVERIFY(sign.WaitForRecords(6, std::chrono::milliseconds(2000)));
    std::vector<std::string> expected = {"WAKEUP"};
    for (const std::string& t : MessageRecords(Messages("Closing.MSG"))) expected.push_back(t);
    expected.push_back("{RI,Closing,03}");
    expected.push_back("{E}");
    ASSERT_RECORDS(sign.Records(), expected);
    QCOMPARE(sign.Records()[4].raw, OnTheLink("{RI,Closing,03}"));

    struct Command {
      std::function<void()> request;
      const char* text;
    };
    const Command commands[] = {
        {[&] { m.btnS_ResetClick(); }, "{Z}"},
        {[&] { m.btnS_ClearClick(); }, "{CA}"},
        {[&] { m.ManualDimmingNight1Click(); }, "{S,DM=D}"},
    };
    for (const Command& c : commands) {
      sign.Core().ClearLog();
      RunJob(c.request);
      QVERIFY(sign.WaitForRecords(3, std::chrono::milliseconds(2000)));
      ASSERT_RECORDS(sign.Records(), (std::vector<std::string>{"WAKEUP", c.text, "{E}"}));
      QCOMPARE(sign.Records()[1].raw, OnTheLink(c.text));
    }
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended completely !!"));
  }

  // File names the sign cannot take, and paths a list file cannot keep, are
  // refused with the reason at Insert, Replace, Interrupt and Run, and not a
  // byte goes to the sign until a sound sequence is run.
  void namesTheSignCannotTakeAreRefusedBeforeAnythingIsSent() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    const std::string offer = ReadBytes(Messages("Offer.MSG"));
    for (const char* name : {"A}{CA}.MSG", "two words.MSG", "b.MSG"}) {
      std::ofstream(Messages(name), std::ios::binary) << offer;
    }
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    const std::string braces = "The sign cannot take the name \"A}{CA}\": a name may not hold { } , ; or blanks.";
    const std::string blank = "The sign cannot take the name \"two words\": a name may not hold { } , ; or blanks.";
    // Should the interrupt dialog come up, it is noted and closed.
    bool asked = false;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (auto* d = qobject_cast<ctlapp::TfrmIntOpt*>(QApplication::activeModalWidget())) {
        asked = true;
        d->reject();
      }
    });
    closer.start();
    SelectSource("A}{CA}.MSG");
    // The interrupt carries the whole name, where only braces and commas break it.
    const std::string interruptBraces = "The sign cannot take the name \"A}{CA}\": a name may not hold { } or commas.";
    for (auto click : {&TfrmMain::spdINS_SEQClick, &TfrmMain::spdREP_SEQClick, &TfrmMain::spdINS_SCHClick,
                       &TfrmMain::spdREP_SCHClick, &TfrmMain::spdInterruptClick}) {
      (*boxes_)->Clear();
      (m.*click)();
      QCOMPARE((*boxes_)->Texts(),
               std::vector<std::string>{click == &TfrmMain::spdInterruptClick ? interruptBraces : braces});
      QCOMPARE((*boxes_)->Shown().at(0).type, platform::BoxType::Warning);
    }
    QVERIFY(!asked);  // refused before the playing times are asked for
    QVERIFY(m.Sequence().Empty());
    QVERIFY(!m.Schedule().HasEntries());
    QCOMPARE(m.palTitle_SEQ->text(), QString("new.seq"));
    QCOMPARE(m.palTitle_SCH->text(), QString("new.sch"));
    QCOMPARE(m.Link().Runner()->JobType(), 0);

    // Lists opened from files may hold such names: Run refuses them and points at the entry.
    const std::string seq = Messages("broken.seq");
    std::ofstream(seq, std::ios::binary) << Messages("b.MSG") << "\r\n"
                                         << Messages("two words.MSG") << "\r\n"
                                         << Messages("A}{CA}.MSG") << "\r\n";
    const std::string sch = Messages("broken.sch");
    std::ofstream(sch, std::ios::binary) << Messages("b.MSG") << ";DLY;08:00\r\n"
                                         << Messages("two words.MSG") << ";;  :  \r\n";
    for (const std::string& file : {seq, sch}) {
      m.fileDialogs.open = [file](QWidget*, const std::string&, const std::string&) { return file; };
      m.btnOpen_SEQClick(ListKind::Sequence);
    }
    (*boxes_)->Clear();
    m.spdRUN_SEQClick();
    QCOMPARE(m.lstSelected->currentRow(), 1);
    m.spdRUN_SCHClick();
    QCOMPARE(m.strgrdSelected->currentRow(), 1);
    QCOMPARE(m.PC->currentWidget(), m.tsSCH);
    QCOMPARE((*boxes_)->Texts(), (std::vector<std::string>{blank, blank}));
    QCOMPARE(m.Link().Runner()->JobType(), 0);

    // A folder may hold ";": the sequence keeps such a path, the schedule cannot.
    const std::string folder = programDir_ + "/x;y";
    fs::create_directories(folder);
    std::ofstream(folder + "/Hello.MSG", std::ios::binary) << offer;
    m.SetSourceDirectory(folder);
    SelectSource("Hello.MSG");
    (*boxes_)->Clear();
    m.spdINS_SCHClick();
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"The schedule file cannot keep the path \"" + folder +
                                                          "/Hello.MSG\": a path in it may not hold a line break or \";\"."});
    QCOMPARE(m.Schedule().Rows()[0].file, Messages("b.MSG"));
    (*boxes_)->QueueAnswer(platform::kResultYes);  // begin a new job
    m.btnNew_SEQClick(ListKind::Sequence);
    m.spdINS_SEQClick();
    QCOMPARE(m.Sequence().Entries(), std::vector<std::string>{folder + "/Hello.MSG"});

    // Nothing reached the sign; the sound sequence does.
    QTest::qWait(1200);  // a job would have started on the timer by now
    QVERIFY(sign.Records().empty());
    (*boxes_)->Clear();
    RunJob([&] { m.spdRUN_SEQClick(); });
    std::vector<std::string> expected = {"WAKEUP"};
    for (const std::string& t : MessageRecords(folder + "/Hello.MSG")) expected.push_back(t);
    expected.push_back("{RX,HELLO}");
    expected.push_back("{E}");
    QVERIFY(sign.WaitForRecords(expected.size(), std::chrono::milliseconds(2000)));
    ASSERT_RECORDS(sign.Records(), expected);
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"Simulated sign: Sended completely !!"});
  }

  // A name is judged by the 8 bytes "{RX,...}" and "{RJ,...}" carry: a blank
  // beyond them is taken at Insert, Replace and Run, and the records are those
  // such names always gave.
  void namesWhoseEightBytesTheSignTakesAreInsertedReplacedAndRun() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    const std::string offer = ReadBytes(Messages("Offer.MSG"));
    for (const char* name : {"Openings 2024.MSG", "Specials for June.MSG", "b.MSG"}) {
      std::ofstream(Messages(name), std::ios::binary) << offer;
    }
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    SelectSource("Openings 2024.MSG");
    m.spdINS_SEQClick();
    SelectSource("b.MSG");
    m.spdINS_SEQClick();
    m.lstSelected->setCurrentRow(0);
    SelectSource("Specials for June.MSG");
    m.spdREP_SEQClick();
    SelectSource("Openings 2024.MSG");
    m.spdINS_SCHClick();
    SelectSource("Specials for June.MSG");
    m.spdINS_SCHClick();
    m.strgrdSelected->setCurrentCell(0, 0);
    SelectSource("Openings 2024.MSG");
    m.spdREP_SCHClick();
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{});
    QCOMPARE(m.Sequence().Entries(), (std::vector<std::string>{Messages("Specials for June.MSG"), Messages("b.MSG")}));
    QCOMPARE(m.Schedule().Rows()[0].file, Messages("Openings 2024.MSG"));
    WhenModal<ctlapp::TfrmSchSetup>([](ctlapp::TfrmSchSetup* d) {
      d->DateItemClick(1);
      QTest::keyClicks(d->edtD, "1225");
      d->edtT->selectAll();
      QTest::keyClicks(d->edtT, "1030");
      d->btnOk->click();
    });
    m.spdSetup_SCHClick();

    RunJob([&] { m.spdRUN_SEQClick(); });
    std::vector<std::string> expected = {"WAKEUP"};
    for (int i = 0; i < 2; ++i)
      for (const std::string& t : MessageRecords(Messages("Offer.MSG"))) expected.push_back(t);
    expected.push_back("{RX,SPECIALS B}");
    expected.push_back("{E}");
    QVERIFY(sign.WaitForRecords(expected.size(), std::chrono::milliseconds(2000)));
    ASSERT_RECORDS(sign.Records(), expected);
    QCOMPARE(sign.Records()[expected.size() - 2].raw, OnTheLink("{RX,SPECIALS B}"));

    sign.Core().ClearLog();
    RunJob([&] { m.spdRUN_SCHClick(); });
    expected[expected.size() - 2] = "{RJ,12/25 10:30 OPENINGS SPECIALS}";
    QVERIFY(sign.WaitForRecords(expected.size(), std::chrono::milliseconds(2000)));
    ASSERT_RECORDS(sign.Records(), expected);
    QCOMPARE(sign.Records()[expected.size() - 2].raw, OnTheLink("{RJ,12/25 10:30 OPENINGS SPECIALS}"));
    QCOMPARE((*boxes_)->Texts(), (std::vector<std::string>{"Simulated sign: Sended completely !!",
                                                           "Simulated sign: Sended completely !!"}));
  }

  // A date cell the schedule record cannot carry, from a hand-made file, is
  // refused at Run on its row before a byte is written or sent; the sound
  // schedule then runs.
  void aScheduleDateTheRecordCannotCarryIsRefusedAtRun() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    const std::string sch = Messages("dates.sch");
    const std::string schMsg = programDir_ + "/SCH.MSG";
    std::ofstream(schMsg, std::ios::binary) << "old";
    for (const std::string& date : {std::string("12/25},{Z"), std::string("a b/c\x01")}) {
      std::ofstream(sch, std::ios::binary) << Messages("Welcome.MSG") << ";DLY;08:00\r\n"
                                           << Messages("Offer.MSG") << ";;\r\n"
                                           << Messages("Closing.MSG") << ";" << date << ";10:00\r\n";
      m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string&) { return sch; };
      m.btnOpen_SEQClick(ListKind::Schedule);
      QCOMPARE(m.strgrdSelected->currentRow(), 0);
      (*boxes_)->Clear();
      m.spdRUN_SCHClick();
      QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"Date format error!"});
      QCOMPARE((*boxes_)->Shown().at(0).type, platform::BoxType::Warning);
      QCOMPARE(m.strgrdSelected->currentRow(), 2);
      QCOMPARE(m.Link().Runner()->JobType(), 0);
      QCOMPARE(m.Schedule().Rows()[2].date, date);
    }
    QTest::qWait(1200);  // a job would have started on the timer by now
    QVERIFY(sign.Records().empty());
    QCOMPARE(ReadBytes(schMsg), std::string("old"));

    // The day word and the typed date go as they stand.
    std::ofstream(sch, std::ios::binary) << Messages("Welcome.MSG") << ";DLY;08:00\r\n"
                                         << Messages("Closing.MSG") << ";12/25;10:00\r\n";
    m.btnOpen_SEQClick(ListKind::Schedule);
    (*boxes_)->Clear();
    RunJob([&] { m.spdRUN_SCHClick(); });
    const std::string rj = "{RJ,DLY 08:00 WELCOME; 12/25 10:00 CLOSING}";
    std::vector<std::string> expected = {"WAKEUP"};
    for (const char* f : {"Welcome.MSG", "Closing.MSG"}) {
      for (const std::string& t : MessageRecords(Messages(f))) expected.push_back(t);
    }
    expected.push_back(rj);
    expected.push_back("{E}");
    QVERIFY(sign.WaitForRecords(expected.size(), std::chrono::milliseconds(2000)));
    ASSERT_RECORDS(sign.Records(), expected);
    QCOMPARE(sign.Records()[expected.size() - 2].raw, OnTheLink(rj));
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"Simulated sign: Sended completely !!"});
  }

  // A working folder whose name ends in a blank is its own folder: its files
  // are listed and sent, never those of the folder without the blank.
  void aWorkingFolderEndingInABlankIsItsOwnFolder() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    const std::string plain = programDir_ + "/msgs";
    const std::string blank = programDir_ + "/msgs ";
    fs::create_directories(plain);
    fs::create_directories(blank);
    std::ofstream(plain + "/NEWS.MSG", std::ios::binary) << ReadBytes(Messages("Offer.MSG"));
    std::ofstream(blank + "/NEWS.MSG", std::ios::binary) << ReadBytes(Messages("Closing.MSG"));
    std::ofstream(blank + "/ONLYHERE.MSG", std::ios::binary) << ReadBytes(Messages("Welcome.MSG"));
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    m.SetSourceDirectory(blank);
    QStringList listed;
    for (int i = 0; i < m.lstSource->count(); ++i) listed << m.lstSource->item(i)->text();
    QCOMPARE(listed, (QStringList{"NEWS.MSG", "ONLYHERE.MSG"}));
    SelectSource("NEWS.MSG");
    m.spdINS_SEQClick();
    SelectSource("ONLYHERE.MSG");
    m.spdINS_SEQClick();
    QCOMPARE(m.Sequence().Entries(), (std::vector<std::string>{blank + "/NEWS.MSG", blank + "/ONLYHERE.MSG"}));
    RunJob([&] { m.spdRUN_SEQClick(); });
    std::vector<std::string> expected = {"WAKEUP"};
    for (const char* f : {"/NEWS.MSG", "/ONLYHERE.MSG"}) {
      for (const std::string& t : MessageRecords(blank + f)) expected.push_back(t);
    }
    expected.push_back("{RX,NEWS ONLYHERE}");
    expected.push_back("{E}");
    QVERIFY(sign.WaitForRecords(expected.size(), std::chrono::milliseconds(2000)));
    ASSERT_RECORDS(sign.Records(), expected);
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended completely !!"));
  }

  // A list file with a NUL in a path is refused at Open with its line, and
  // the lists stay as they were.
  void aListFileWithANulInAPathIsRefusedAtOpen() {
    Fresh(false);
    TfrmMain& m = Start();
    const std::string nul = Messages("Offer.MSG") + std::string(1, '\0') + "/../Closing.MSG";
    const std::string seq = Messages("nul.seq");
    const std::string sch = Messages("nul.sch");
    std::ofstream(seq, std::ios::binary) << Messages("Welcome.MSG") << "\r\n" << nul << "\r\n";
    std::ofstream(sch, std::ios::binary) << Messages("Welcome.MSG") << ";DLY;08:00\r\n" << nul << ";;  :  \r\n";
    for (const std::string& file : {seq, sch}) {
      const bool isSeq = file == seq;
      m.fileDialogs.open = [file](QWidget*, const std::string&, const std::string&) { return file; };
      (*boxes_)->Clear();
      (isSeq ? m.tsSEQ : m.tsSCH)->findChild<QPushButton*>(isSeq ? "btnOpen_SEQ" : "btnOpen_SCH")->click();
      QCOMPARE((*boxes_)->Texts(),
               std::vector<std::string>{file + ": line 2 names a path with a NUL byte, which no file name can hold."});
      QVERIFY(m.Sequence().Empty());
      QVERIFY(!m.Schedule().HasEntries());
      QCOMPARE(m.palTitle_SEQ->text(), QString("new.seq"));
      QCOMPARE(m.palTitle_SCH->text(), QString("new.sch"));
    }
  }

  void dialInTcpModeAndQuitAnsweredNo() {
    Fresh(false);
    TfrmMain& m = Start();
    bool dialled = false;
    m.showDialUp = [&](TfrmMain&) { dialled = true; };
    m.spdDialClick();
    m.spdHangUpClick();
    QCOMPARE((*boxes_)->Texts(), (std::vector<std::string>{"Please active RS232 mode first.",
                                                            "Please active RS232 mode first."}));
    QVERIFY(!dialled);

    (*boxes_)->QueueAnswer(platform::kResultNo);
    m.Exit1Click();
    QVERIFY(m.isVisible());
    QCOMPARE((*boxes_)->Texts().back(), std::string("Are you sure to quit?"));
    (*boxes_)->QueueAnswer(platform::kResultYes);
    m.close();
    QVERIFY(!m.isVisible());
  }

  // A settings file over the size bound: said once at the start, the sign
  // list empty, and the file left as it was when the program ends.
  void aSettingsFileThatCannotBeReadIsSaidAndLeftAlone() {
    Fresh(false);
    const std::string ini = programDir_ + "/SML_WIN.INI";
    const std::string text = "[SIGN 1]\r\nName=Gate\r\n; " + std::string(std::size_t{1} << 20, 'x') + "\r\n";
    std::ofstream(ini, std::ios::binary) << text;
    TfrmMain& m = Start();
    QVERIFY(m.StartedUp());
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"The settings file " + ini +
                                                           " cannot be read (File too large, more than 1 MiB). The "
                                                           "default settings are used, and the file is not written "
                                                           "until the program is started again."});
    QCOMPARE(m.cboSigns->count(), 0);
    QVERIFY(m.Link().IsTcp());
    (*boxes_)->QueueAnswer(platform::kResultYes);
    m.close();
    QVERIFY(!m.isVisible());
    QVERIFY(platform::ReadWholeFile(ini, std::size_t{2} << 20) == std::vector<std::uint8_t>(text.begin(), text.end()));
  }

  // The dial-up window dials the telephone number of the sign chosen in the
  // main window, and a connection turns Dial off and Hang Up on.
  void dialUpWindowUsesTheSelectedSignAndReportsTheConnection() {
    Fresh(true);
    const std::string ini = programDir_ + "/SML_WIN.INI";
    QVERIFY(platform::WriteProfileString(ini, "SIGN 1", "TEL", "5551234"));
    QVERIFY(platform::WriteProfileString(ini, "SIGN 2", "Name", "Second sign"));
    QVERIFY(platform::WriteProfileString(ini, "SIGN 2", "TEL", "5559876"));
    TfrmMain& m = Start();
    dialup::TfrmDialUp& dial = m.DialUpWindow();
    QCOMPARE(dial.hooks.selectedTelephone(), std::string("5551234"));
    m.cboSigns->setCurrentIndex(1);
    QCOMPARE(dial.hooks.selectedTelephone(), std::string("5559876"));
    QVERIFY(m.spdDial->isEnabled());
    QVERIFY(!m.spdHangUp->isEnabled());
    dial.hooks.connected();
    QVERIFY(!m.spdDial->isEnabled());
    QVERIFY(m.spdHangUp->isEnabled());
  }

  // RS-232 with COM1 pointing at nothing: the set-up says so, the program
  // goes on, and a job over the closed port fails.
  void rs232WithAMissingPortReportsTheFailure() {
    Fresh(true);
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(programDir_ + "/no-such-tty"));
    QVERIFY(platform::WriteProfileString(programDir_ + "/SML_WIN.INI", "Communication", "IS TCP", "0"));
    TfrmMain& m = Start();
    QVERIFY(!m.Link().IsTcp());
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"Serial Port setup error!\n" + programDir_ +
                                                           "/no-such-tty does not exist (is the device plugged in?)"});
    bool dialled = false;
    m.showDialUp = [&](TfrmMain&) { dialled = true; };
    m.spdDialClick();
    QVERIFY(dialled);
    RunJob([&] { m.btnS_ResetClick(); }, false);
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended fail !!"));
    qunsetenv("LEDSIGN_COM1");
  }

  // RS-232 through COM1 to the simulated sign with CRC checking on and ID 07:
  // the answers come back through the port's receive handler, and a refused
  // record is sent again.
  void rs232SequenceThroughComOneReadsTheAnswers() {
    Fresh(true);
    signsim::SignSim sign;
    const std::string slave = sign.StartPty();
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(slave));
    const std::string ini = programDir_ + "/SML_WIN.INI";
    QVERIFY(platform::WriteProfileString(ini, "Communication", "IS TCP", "0"));
    QVERIFY(platform::WriteProfileString(ini, "Communication", "CRC Check", "1"));
    QVERIFY(platform::WriteProfileString(ini, "Communication", "CRC Wait MSec", "500"));
    sign.SetScript("0,1");  // the wake-up accepted, the first message record refused once
    TfrmMain& m = Start();
    QVERIFY((*boxes_)->Texts().empty());
    m.cboID->setCurrentIndex(7);
    SelectSource("Offer.MSG");
    m.spdINS_SEQClick();
    RunJob([&] { m.spdRUN_SEQClick(); });
    const std::vector<std::string> offer = MessageRecords(Messages("Offer.MSG"));
    QCOMPARE(offer.size(), std::size_t{2});
    QVERIFY(sign.WaitForRecords(6, std::chrono::milliseconds(2000)));
    std::vector<std::string> texts;
    for (const auto& r : sign.Records()) texts.push_back(r.text);
    QCOMPARE(texts.size(), std::size_t{6});
    QVERIFY(texts[0].rfind("{N07,M=AML,D=24 ", 0) == 0);
    QCOMPARE(texts[0].substr(texts[0].size() - 3), std::string(",S}"));
    QCOMPARE(std::vector<std::string>(texts.begin() + 1, texts.end()),
             (std::vector<std::string>{offer[0], offer[0], offer[1], "{RX,OFFER}", "{E}"}));
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended completely !!"));
    main_.reset();
    qunsetenv("LEDSIGN_COM1");
  }

  // The sign hangs up (its cable is pulled); once COM1 leads to a sign again
  // (here: a new pseudo-terminal) the next job opens the dead port again, and
  // the window's own link starts the modem component, which the port's close
  // stopped, on it again.
  void aJobAfterADeadLineReopensThePortAndStartsTheModemAgain() {
    Fresh(true);
    auto first = std::make_unique<signsim::SignSim>();
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(first->StartPty()));
    QVERIFY(platform::WriteProfileString(programDir_ + "/SML_WIN.INI", "Communication", "IS TCP", "0"));
    TfrmMain& m = Start();
    QVERIFY((*boxes_)->Texts().empty());
    comm::TVnkComPort& port = m.Link().VnkComPortS();
    comm::TVnkModem& modem = m.Link().VnkModemS();
    QVERIFY(port.Open());
    QVERIFY(modem.ModemStarted());
    signsim::SignSim second;
    QVERIFY(testsupport::ReplugCom1(*first, port, second));
    RunJob([&] { m.btnS_ResetClick(); });
    QVERIFY(second.WaitForRecords(3, std::chrono::milliseconds(2000)));
    QCOMPARE(second.Records()[1].text, std::string("{Z}"));
    QVERIFY(!port.DeviceFailed());
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended completely !!"));
    QVERIFY2(modem.ModemStarted(), "the modem component runs on the reopened port");
    main_.reset();
    qunsetenv("LEDSIGN_COM1");
  }

  // The dial window's Dial on the main window's dial-up window: dials and
  // waits for its end (the window closes itself on CONNECT), or, when
  // `cancel`, dials once and closes the window.
  void DialThroughTheWindow(TfrmMain& m, bool cancel) {
    dialup::TfrmDialUp* window = &m.DialUpWindow();
    testsupport::WhenModal<QDialog>([window, cancel](QDialog* d) {
      if (d != window) return;
      QTimer::singleShot(10000, d, [d] { d->reject(); });  // no hang should CONNECT never come
      window->btnOk->click();
      if (cancel) window->done(QDialog::Rejected);
    });
    m.spdDial->click();
  }

  // After the modem's tty went away and came back, Dial and Hang Up open the
  // port again and start the modem component on it, as a job does, and a
  // line that stays away is named in the error.
  void dialAndHangUpReopenADeadLineAndNameThePort() {
    Fresh(true);
    const std::string ini = programDir_ + "/SML_WIN.INI";
    QVERIFY(platform::WriteProfileString(ini, "Communication", "IS TCP", "0"));
    QVERIFY(platform::WriteProfileString(ini, "SIGN 1", "TEL", "5551234"));
    modemsim::ModemOptions options;
    options.guard = std::chrono::milliseconds(300);
    auto first = std::make_unique<modemsim::ModemSim>(options);
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(first->Start()));
    TfrmMain& m = Start();
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{});
    comm::TVnkComPort& port = m.Link().VnkComPortS();
    comm::TVnkModem& modem = m.Link().VnkModemS();
    QVERIFY(port.Open());
    QVERIFY(modem.ModemStarted());
    auto goesAway = [&](modemsim::ModemSim& sim) {
      sim.Stop();
      return QTest::qWaitFor([&] { return port.DeviceFailed(); }, 3000);
    };

    // Dial on a line that came back.
    QVERIFY(goesAway(*first));
    modemsim::ModemSim second(options);
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(second.Start()));
    second.SetDialScript("CONNECT 9600");
    DialThroughTheWindow(m, false);
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{});
    QVERIFY(!port.DeviceFailed());
    QVERIFY2(modem.ModemStarted(), "the modem component runs on the reopened port");
    QVERIFY(second.WaitForMode(modemsim::ModemSim::Mode::Online, std::chrono::milliseconds(3000)));
    QCOMPARE(second.ReceivedBytes().substr(0, 12), std::string("ATDT5551234\r"));
    QVERIFY(!m.spdDial->isEnabled());
    QVERIFY(m.spdHangUp->isEnabled());

    // Hang Up on a line that came back.
    QVERIFY(goesAway(second));
    modemsim::ModemSim third(options);
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(third.Start()));
    m.spdHangUp->click();
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{});
    QVERIFY(!port.DeviceFailed());
    QVERIFY(modem.ModemStarted());
    QVERIFY(QTest::qWaitFor([&] {
      const std::string sent = third.ReceivedBytes();
      return sent.size() >= 5 && sent.substr(sent.size() - 5) == "ATH0\r";
    }, 4000));
    QVERIFY(m.spdDial->isEnabled());
    QVERIFY(!m.spdHangUp->isEnabled());

    // A line that stays away: both say which port.
    QVERIFY(goesAway(third));
    const std::string missing = programDir_ + "/no-such-tty";
    qputenv("LEDSIGN_COM1", QByteArray::fromStdString(missing));
    const std::string reason = "COM1: " + missing + " does not exist (is the device plugged in?)";
    m.spdHangUp->setEnabled(true);
    m.spdHangUp->click();
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{reason});
    (*boxes_)->Clear();
    DialThroughTheWindow(m, true);
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{reason});
    main_.reset();
    qunsetenv("LEDSIGN_COM1");
  }

  void openAsksTheSaveQuestionForTheListItReplaces() {
    Fresh(false);
    TfrmMain& m = Start();
    SelectSource("Welcome.MSG");
    m.spdINS_SEQClick();  // the sequence is modified, the schedule is not
    const std::string sch = Messages("a.sch");
    std::ofstream(sch, std::ios::binary) << Messages("Offer.MSG") << ";MON;08:00\r\n";
    m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string&) { return sch; };
    m.btnOpen_SEQClick(ListKind::Sequence);
    QVERIFY((*boxes_)->Texts().empty());
    QCOMPARE(m.Schedule().Rows()[0].date, std::string("MON"));

    // Save As from the schedule page saves a schedule.
    std::string title;
    std::string ext;
    AnswerSaveAs(m, messagesDir_ + "/Copy", title, ext);
    m.btnSaveAs_SEQClick(ListKind::Schedule);
    QCOMPARE(title, std::string("Save As Schedule File"));
    QCOMPARE(ext, std::string("sch"));
    QCOMPARE(ReadBytes(messagesDir_ + "/Copy.sch"), Messages("Offer.MSG") + ";MON;08:00\r\n");
    QVERIFY(!fs::exists(messagesDir_ + "/Copy.seq"));
    QCOMPARE(m.PC->currentWidget(), m.tsSCH);

    // Opening a sequence over the modified one asks, and No keeps the file unwritten.
    const std::string seq = Messages("b.seq");
    std::ofstream(seq, std::ios::binary) << Messages("Offer.MSG") << "\r\n";
    m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string&) { return seq; };
    (*boxes_)->QueueAnswer(platform::kResultNo);
    m.btnOpen_SEQClick(ListKind::Schedule);
    QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{"File has been changed. Do you want to save?"});
    QCOMPARE(m.Sequence().Entries(), std::vector<std::string>{Messages("Offer.MSG")});
    QVERIFY(!fs::exists(Messages("new.seq")));

    // Empty asks first; Save of an empty sequence writes nothing and keeps " *".
    (*boxes_)->QueueAnswer(platform::kResultYes);
    m.spdClearAll_SEQClick();
    QVERIFY(m.Sequence().Empty());
    QCOMPARE(m.palTitle_SEQ->text(), QString("b.seq *"));
    fs::remove(seq);
    m.btnSave_SEQClick(ListKind::Sequence);
    QVERIFY(!fs::exists(seq));
    QCOMPARE(m.palTitle_SEQ->text(), QString("b.seq *"));
  }

  void scheduleDialogSetsDayWordsAndTypedDates() {
    ctlapp::TfrmSchSetup d;
    d.Prepare("12/25", "10:30");
    QVERIFY(d.DateEditable());
    QCOMPARE(d.edtD->inputMask(), QString("99/99;_"));
    QCOMPARE(d.DateCell(), std::string("12/25"));
    QCOMPARE(d.TimeCell(), std::string("10:30"));
    struct Word {
      int tag;
      const char* word;
    };
    const Word words[] = {{2, "DLY"}, {3, "SUN"}, {4, "MON"},  {5, "TUE"},  {6, "WED"}, {7, "THU"},
                          {8, "FRI"}, {9, "SAT"}, {10, "M-F"}, {11, "WKD"}};
    for (const Word& w : words) {
      d.DateItemClick(w.tag);
      QVERIFY(!d.DateEditable());
      QVERIFY(d.edtD->inputMask().isEmpty());
      QCOMPARE(d.DateCell(), std::string(w.word));
    }
    QCOMPARE(d.pmuDate->actions().size(), 11);
    QCOMPARE(d.pmuDate->actions().at(9)->text(), QString("Mon - Fri"));
    d.DateItemClick(1);  // a typed date again: editable and empty
    QVERIFY(d.DateEditable());
    QCOMPARE(d.DateCell(), std::string());  // the untouched mask is no date
    d.btnClearClick();
    QVERIFY(!d.DateEditable());
    QCOMPARE(d.DateCell(), std::string());
    QCOMPARE(d.TimeCell(), std::string("  :  "));
    d.Prepare("", "  :  ");  // an undated row opens read-only
    QVERIFY(!d.DateEditable());
    d.Prepare("12-25", "08:00");  // no "/": not a typed date
    QVERIFY(!d.DateEditable());
  }

  // A date cell of a schedule from another system shows as its Latin-1
  // letters and goes back to the row unchanged when OK is pressed on it.
  void aDateCellFromAnotherSystemGoesBackAsItWas() {
    ctlapp::TfrmSchSetup d;
    d.Prepare("M\xE4r 3", "08:00");
    QVERIFY(!d.DateEditable());
    QCOMPARE(d.edtD->text(), QString::fromUtf16(u"M\u00E4r 3"));
    QCOMPARE(d.DateCell(), std::string("M\xE4r 3"));
    d.Prepare("\xE5\xA4\xA7", "08:00");
    QCOMPARE(d.edtD->text(), QString::fromUtf16(u"\u5927"));
    QCOMPARE(d.DateCell(), std::string("\xE5\xA4\xA7"));
    d.DateItemClick(2);  // a day word chosen over it
    QCOMPARE(d.DateCell(), std::string("DLY"));
  }

  // "Directory" makes the chosen directory the working one: the file dialogs
  // start there and a relative list file is saved there.
  void directoryBecomesTheWorkingDirectory() {
    Fresh(false);
    TfrmMain& m = Start();
    const std::string chosen = programDir_ + "/elsewhere";
    fs::create_directories(chosen);
    WhenModal<ctlapp::TFRMSelDir>([&](ctlapp::TFRMSelDir* d) {
      d->SetDirectory(chosen);
      d->btnOkClick();
    });
    m.spdChgDirClick();
    QCOMPARE(m.palLocation->text(), QString::fromStdString("Location: " + chosen));
    QCOMPARE(QDir::currentPath().toStdString(), chosen);
    std::ofstream(chosen + "/Here.MSG", std::ios::binary) << "x";
    m.spdRefreshClick();
    SelectSource("Here.MSG");
    m.spdINS_SEQClick();
    std::string title;
    std::string ext;
    AnswerSaveAs(m, "relative.seq", title, ext);
    m.btnSaveAs_SEQClick(ListKind::Sequence);
    QVERIFY(fs::exists(chosen + "/relative.seq"));
    QVERIFY(!fs::exists(Messages("relative.seq")));
  }

  // Opening a schedule starts on its first row, whichever row was current.
  void openingAScheduleMakesRowOneCurrent() {
    Fresh(false);
    TfrmMain& m = Start();
    SelectSource("Welcome.MSG");
    m.spdINS_SCHClick();
    m.spdINS_SCHClick();
    m.spdINS_SCHClick();
    m.Schedule().SetCurrent(2);
    m.RenderSchedule();
    const std::string sch = Messages("three.sch");
    std::ofstream(sch, std::ios::binary) << Messages("Offer.MSG") << ";MON;08:00\r\n"
                                         << Messages("Closing.MSG") << ";TUE;09:00\r\n"
                                         << Messages("Welcome.MSG") << ";WED;10:00\r\n";
    m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string&) { return sch; };
    (*boxes_)->QueueAnswer(platform::kResultNo);  // the save question for the modified schedule
    m.btnOpen_SEQClick(ListKind::Schedule);
    QCOMPARE(m.Schedule().Current(), 0);
    QCOMPARE(m.strgrdSelected->currentRow(), 0);
  }

  // Moving or dragging a filled row into row 1 enables the schedule's buttons.
  void scheduleMovesRefreshTheButtons() {
    Fresh(false);
    TfrmMain& m = Start();
    OpenGapSchedule(m);
    QVERIFY(!m.spdRUN_SCH->isEnabled());  // row 1 holds no file
    m.Schedule().SetCurrent(1);
    m.RenderSchedule();
    m.spdDec_SCHClick();
    QCOMPARE(m.Schedule().Rows()[0].file, Messages("Offer.MSG"));
    QVERIFY(m.spdRUN_SCH->isEnabled());
    m.spdInc_SCHClick();
    QVERIFY(!m.spdRUN_SCH->isEnabled());
    // A drag of the header's row 2 onto row 1.
    m.strgrdSelected->verticalHeader()->moveSection(1, 0);
    QCOMPARE(m.Schedule().Rows()[0].file, Messages("Offer.MSG"));
    QVERIFY(m.spdRUN_SCH->isEnabled());
    QVERIFY(m.spdSetup_SCH->isEnabled());
  }

  // Insert with an empty row 1 current fills row 1 and keeps the filled row below.
  void scheduleInsertKeepsEveryFilledRow() {
    Fresh(false);
    TfrmMain& m = Start();
    OpenGapSchedule(m);
    QCOMPARE(m.Schedule().Current(), 0);
    SelectSource("Welcome.MSG");
    m.spdINS_SCHClick();
    QCOMPARE(m.Schedule().Rows().size(), std::size_t{2});
    QCOMPARE(m.Schedule().Rows()[0].file, Messages("Welcome.MSG"));
    QCOMPARE(m.Schedule().Rows()[1].file, Messages("Offer.MSG"));
    QCOMPARE(m.Schedule().Rows()[1].date, std::string("MON"));
    QCOMPARE(m.Schedule().Rows()[1].time, std::string("08:00"));
    QCOMPARE(m.strgrdSelected->item(1, 0)->text().toStdString(), Messages("Offer.MSG"));
    // With a filled row current the entry goes to a new last row.
    m.spdINS_SCHClick();
    QCOMPARE(m.Schedule().Rows().size(), std::size_t{3});
    QCOMPARE(m.Schedule().Rows()[0].file, Messages("Welcome.MSG"));
    QCOMPARE(m.Schedule().Rows()[2].file, Messages("Welcome.MSG"));
    QCOMPARE(m.strgrdSelected->rowCount(), 3);
  }

  // A new order made by a drag is an edit: the title shows it and quitting asks.
  void aDraggedScheduleRowMarksTheScheduleModified() {
    Fresh(false);
    TfrmMain& m = Start();
    const std::string sch = Messages("two.sch");
    std::ofstream(sch, std::ios::binary) << Messages("Welcome.MSG") << ";DLY;07:00\r\n"
                                         << Messages("Offer.MSG") << ";MON;08:00\r\n";
    m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string&) { return sch; };
    m.btnOpen_SEQClick(ListKind::Schedule);
    QCOMPARE(m.palTitle_SCH->text(), QString("two.sch"));
    m.strgrdSelected->verticalHeader()->moveSection(1, 0);
    QCOMPARE(m.Schedule().Rows()[0].file, Messages("Offer.MSG"));
    QVERIFY(m.Schedule().modified);
    QCOMPARE(m.palTitle_SCH->text(), QString("two.sch *"));
    (*boxes_)->Clear();
    (*boxes_)->QueueAnswer(platform::kResultYes);  // quit
    (*boxes_)->QueueAnswer(platform::kResultYes);  // save the schedule
    m.close();
    QCOMPARE((*boxes_)->Texts(), (std::vector<std::string>{"Are you sure to quit?",
                                                            "File has been changed. Do you want to save?"}));
    QCOMPARE(ReadBytes(sch), Messages("Offer.MSG") + ";MON;08:00\r\n" + Messages("Welcome.MSG") + ";DLY;07:00\r\n");
  }

  // A Save As that cannot write leaves the list under its old name, still
  // modified, and the next Save writes there.
  void aFailedSaveAsKeepsTheOldName() {
    Fresh(false);
    TfrmMain& m = Start();
    SelectSource("Welcome.MSG");
    m.spdINS_SEQClick();
    const std::string sch = Messages("one.sch");
    std::ofstream(sch, std::ios::binary) << Messages("Offer.MSG") << ";MON;08:00\r\n";
    m.fileDialogs.open = [&](QWidget*, const std::string&, const std::string&) { return sch; };
    m.btnOpen_SEQClick(ListKind::Schedule);
    m.spdINS_SCHClick();
    QCOMPARE(m.palTitle_SCH->text(), QString("one.sch *"));
    // A folder that cannot be written into (here a file stands where the folder would be).
    const std::string blocked = Messages("Welcome.MSG");
    struct Case {
      const char* button;
      std::string name;
      QLabel* title;
      QString before;
    };
    const std::vector<Case> cases = {{"btnSaveAs_SEQ", "ro.seq", m.palTitle_SEQ, "new.seq *"},
                                     {"btnSaveAs_SCH", "ro.sch", m.palTitle_SCH, "one.sch *"}};
    for (const Case& c : cases) {
      std::string title;
      std::string ext;
      AnswerSaveAs(m, blocked + "/" + c.name, title, ext);
      (*boxes_)->Clear();
      QPushButton* button = m.findChild<QPushButton*>(c.button);
      QVERIFY(button);
      button->click();
      QCOMPARE((*boxes_)->Texts().size(), std::size_t{1});  // the error is shown
      QCOMPARE(c.title->text(), c.before);
    }
    QCOMPARE(m.Sequence().fileName, std::string("new.seq"));
    QCOMPARE(m.Schedule().fileName, sch);
    // A plain Save goes to the old names.
    m.btnSave_SEQClick(ListKind::Sequence);
    m.btnSave_SEQClick(ListKind::Schedule);
    QCOMPARE(ReadBytes(Messages("new.seq")), Messages("Welcome.MSG") + "\r\n");
    QCOMPARE(ReadBytes(sch), Messages("Offer.MSG") + ";MON;08:00\r\n" + Messages("Welcome.MSG") + ";;  :  \r\n");
    QCOMPARE(m.palTitle_SEQ->text(), QString("new.seq"));
  }

  // After "Are you sure to quit?" a modified list gets its save question; Yes
  // saves it, No drops it, Cancel keeps the program open.
  void quittingAsksToSaveAModifiedList() {
    Fresh(false);
    TfrmMain& m = Start();
    SelectSource("Welcome.MSG");
    m.spdINS_SEQClick();
    (*boxes_)->Clear();
    (*boxes_)->QueueAnswer(platform::kResultYes);     // quit
    (*boxes_)->QueueAnswer(platform::kResultCancel);  // save the sequence?
    m.close();
    QVERIFY(m.isVisible());
    QCOMPARE((*boxes_)->Texts(), (std::vector<std::string>{"Are you sure to quit?",
                                                            "File has been changed. Do you want to save?"}));
    QCOMPARE((*boxes_)->Shown().back().buttons, platform::BoxButtons::YesNoCancel);
    QVERIFY(!fs::exists(Messages("new.seq")));

    (*boxes_)->QueueAnswer(platform::kResultYes);  // quit
    (*boxes_)->QueueAnswer(platform::kResultYes);  // save the sequence
    m.close();
    QVERIFY(!m.isVisible());
    QCOMPARE(ReadBytes(Messages("new.seq")), Messages("Welcome.MSG") + "\r\n");
  }

  void quittingWithAnUnsavableScheduleStaysOpen() {
    Fresh(false);
    TfrmMain& m = Start();
    SelectSource("Welcome.MSG");
    m.spdINS_SCHClick();  // no date or time: validation refuses the save
    (*boxes_)->Clear();
    (*boxes_)->QueueAnswer(platform::kResultYes);  // quit
    (*boxes_)->QueueAnswer(platform::kResultYes);  // save the schedule
    m.close();
    QVERIFY(m.isVisible());
    QCOMPARE((*boxes_)->Texts().back(), std::string("Both date and time are necessary!"));
    QVERIFY(!fs::exists(Messages("new.sch")));
    (*boxes_)->QueueAnswer(platform::kResultYes);  // quit
    (*boxes_)->QueueAnswer(platform::kResultNo);   // drop it
    m.close();
    QVERIFY(!m.isVisible());
  }

  // A message file whose records do not add up is named in a warning before
  // the report, with the reason the record reader gave on a second line, and
  // nothing of it reaches the sign.
  void aDamagedMessageFileSaysSo() {
    Fresh(true);
    signsim::SignSim sign;
    const std::string bad = Messages("Broken.MSG");
    std::ofstream(bad, std::ios::binary) << std::string("\x09\x00{F,A}", 7);  // length 9, 5 bytes follow
    const std::uint16_t port = sign.StartTcp(0);
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    SelectSource("Broken.MSG");
    m.spdINS_SEQClick();
    (*boxes_)->Clear();
    RunJob([&] { m.spdRUN_SEQClick(); }, false);
    const std::vector<std::string> texts = (*boxes_)->Texts();
    QVERIFY(texts.size() >= 2);
    QCOMPARE(texts[texts.size() - 2],
             Messages("Broken.MSG") + " is not a valid message file!\nrecord cut off at offset 0");
    QCOMPARE(texts.back(), std::string("Simulated sign: Sended fail !!"));
    for (const auto& r : sign.Records()) QVERIFY(r.text.find("{F,A}") == std::string::npos);
  }

  // A folder and a file named on another system (Latin-1 bytes) and a file
  // named here in UTF-8: all are listed with their letters, go into the
  // sequence and are sent under the names they have, and a Save As through
  // the Qt dialog writes the sequence into that folder, not into a second one
  // of a mangled name.
  void namesFromAnotherSystemAreListedAndSentUnderTheirOwnBytes() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    const std::string folder = programDir_ + "/Schilder f\xFCr Zo\xEB";
    fs::create_directories(folder);
    const std::string latin1 = folder + "/caf\xE9.MSG";
    const std::string utf8 = folder + "/Zo\xC3\xAB.MSG";
    std::ofstream(latin1, std::ios::binary) << ReadBytes(Messages("Offer.MSG"));
    std::ofstream(utf8, std::ios::binary) << ReadBytes(Messages("Welcome.MSG"));
    QVERIFY(::chdir(folder.c_str()) == 0);
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    const QString shownFolder = QString::fromStdString(programDir_) + QString::fromUtf16(u"/Schilder f\u00FCr Zo\u00EB");
    QCOMPARE(m.palLocation->text(), " Working Directory: " + shownFolder);
    QCOMPARE(m.SourceDirectory(), folder);
    QCOMPARE(m.lstSource->count(), 2);
    QCOMPARE(m.lstSource->item(0)->text(), QString::fromUtf16(u"caf\u00E9.MSG"));
    QCOMPARE(m.lstSource->item(1)->text(), QString::fromUtf16(u"Zo\u00EB.MSG"));

    SelectSource(QString::fromUtf16(u"caf\u00E9.MSG"));
    QCOMPARE(m.SelectedSourcePath(), latin1);
    m.spdRefreshClick();  // the selection stays on the same file
    QCOMPARE(m.SelectedSourcePath(), latin1);
    QVERIFY(m.spdINS_SEQ->isEnabled());
    m.spdINS_SEQClick();
    SelectSource(QString::fromUtf16(u"Zo\u00EB.MSG"));
    m.spdINS_SEQClick();
    QCOMPARE(m.Sequence().Entries(), (std::vector<std::string>{latin1, utf8}));
    QCOMPARE(m.lstSelected->item(0)->text(), shownFolder + QString::fromUtf16(u"/caf\u00E9.MSG"));

    // Save As through the real dialog, which cannot enter a folder whose name
    // is not UTF-8: it opens on the folder above and offers "folder/new.seq".
    // Taken as offered, and with a name typed into the folder, the sequence
    // goes into that folder, never into a second one of a mangled name.
    m.fileDialogs = ctlapp::QtFileDialogs();
    for (const QString& typed : {QString(), QString::fromUtf16(u"Schilder f\u00FCr Zo\u00EB/Week")}) {
      QString offered;
      WhenModal<QFileDialog>([&offered, typed](QFileDialog* d) {
        if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) {
          offered = edit->text();
          if (!typed.isEmpty()) edit->setText(typed);
        }
        QMetaObject::invokeMethod(d, "accept");
      });
      m.btnSaveAs_SEQClick(ListKind::Sequence);
      QCOMPARE(offered, QString::fromUtf16(u"Schilder f\u00FCr Zo\u00EB/new.seq"));
    }
    QCOMPARE(ReadBytes(folder + "/new.seq"), latin1 + "\r\n" + utf8 + "\r\n");
    QCOMPARE(ReadBytes(folder + "/Week.seq"), latin1 + "\r\n" + utf8 + "\r\n");
    QVERIFY(!fs::exists(programDir_ + "/Schilder f\xC3\xBCr Zo\xC3\xAB"));
    QCOMPARE(m.palTitle_SEQ->text(), QString("Week.seq"));

    (*boxes_)->Clear();
    RunJob([&] { m.spdRUN_SEQClick(); });
    std::vector<std::string> expected = {"WAKEUP"};
    for (const std::string& p : {latin1, utf8}) {
      for (const std::string& t : MessageRecords(p)) expected.push_back(t);
    }
    QVERIFY(sign.WaitForRecords(expected.size() + 2, std::chrono::milliseconds(2000)));
    std::vector<std::string> seen = Texts(sign.Records());
    seen.resize(expected.size());
    QCOMPARE(seen, expected);
    QCOMPARE((*boxes_)->Texts().back(), std::string("Simulated sign: Sended completely !!"));

    // The interrupt names the file by the bytes it has.
    SelectSource(QString::fromUtf16(u"caf\u00E9.MSG"));
    const std::size_t before = sign.Records().size();
    WhenModal<ctlapp::TfrmIntOpt>([](ctlapp::TfrmIntOpt* d) { d->btnOk->click(); });
    RunJob([&] { m.spdInterruptClick(); });
    QVERIFY(sign.WaitForRecords(before + 1 + MessageRecords(latin1).size() + 2, std::chrono::milliseconds(2000)));
    const auto records = sign.Records();
    QCOMPARE(records[records.size() - 2].text, std::string("{RI,caf\xE9,00}"));
  }

  // Open through the real dialog in a folder named on another system (Latin-1
  // bytes): the dialog cannot enter it and gives back the path it was typed
  // as, decoded; the controller opens the file under its own bytes.
  void openInAFolderNamedOnAnotherSystemReadsTheFileUnderItsBytes() {
    Fresh(false);
    const std::string folder = programDir_ + "/Schilder f\xFCr Zo\xEB";
    fs::create_directories(folder);
    const std::string latin1 = folder + "/caf\xE9.MSG";
    std::ofstream(latin1, std::ios::binary) << ReadBytes(Messages("Offer.MSG"));
    std::ofstream(folder + "/plan.seq", std::ios::binary) << latin1 << "\r\n";
    std::ofstream(folder + "/plan.sch", std::ios::binary) << latin1 << ";DLY;08:00\r\n";
    QVERIFY(::chdir(folder.c_str()) == 0);
    TfrmMain& m = Start();
    m.fileDialogs = ctlapp::QtFileDialogs();
    for (const char* name : {"plan.seq", "plan.sch"}) {
      const bool seq = std::string(name) == "plan.seq";
      WhenModal<QFileDialog>([name](QFileDialog* d) {
        // Typed as the user sees the folder's name; the dialog's own check
        // that the file exists looks for the decoded name, so it is passed by.
        if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) {
          edit->setText(QString::fromUtf16(u"Schilder f\u00FCr Zo\u00EB/") + QString::fromLatin1(name));
        }
        QMetaObject::invokeMethod(d, "done", Q_ARG(int, QDialog::Accepted));
      });
      (*boxes_)->Clear();
      m.btnOpen_SEQClick(seq ? ListKind::Sequence : ListKind::Schedule);
      QCOMPARE((*boxes_)->Texts(), std::vector<std::string>{});
      if (seq) {
        QCOMPARE(m.Sequence().Entries(), std::vector<std::string>{latin1});
        QCOMPARE(m.Sequence().fileName, folder + "/plan.seq");
        QCOMPARE(m.palTitle_SEQ->text(), QString("plan.seq"));
      } else {
        QCOMPARE(m.Schedule().Rows().size(), std::size_t{1});
        QCOMPARE(m.Schedule().Rows()[0].file, latin1);
        QCOMPARE(m.Schedule().fileName, folder + "/plan.sch");
        QCOMPARE(m.palTitle_SCH->text(), QString("plan.sch"));
      }
    }
    QVERIFY(!fs::exists(programDir_ + "/Schilder f\xC3\xBCr Zo\xC3\xAB"));
  }

  // A sign name typed in the Parameter Setup in any language: in the sign
  // list, the settings file, the report box (read from the box itself) and
  // after a new start.
  void aSignNameTypedInAnyLanguageComesBackAsTyped() {
    Fresh(true);
    signsim::SignSim sign;
    const std::uint16_t port = sign.StartTcp(0);
    TfrmMain& m = Start();
    m.Link().Runner()->SetTcpPortForTests(port);
    const QString name = QString::fromUtf16(u"\u5927\u9580 Zo\u00EB");
    WhenModal<controller::TfrmParam>([&](controller::TfrmParam* d) {
      d->tblIP->item(0, 0)->setText(name);
      d->btnSave->click();
    });
    m.ParameterSetup1Click();
    QCOMPARE(m.cboSigns->currentText(), name);
    const std::string ini = programDir_ + "/SML_WIN.INI";
    QCOMPARE(platform::ReadProfileString(ini, "SIGN 1", "Name").value_or("?"),
             std::string("\xE5\xA4\xA7\xE9\x96\x80 Zo\xC3\xAB"));

    platform::QtMessageBoxes qtBoxes;
    platform::MessageBoxes* recording = platform::InstallBoxes(&qtBoxes);
    QString boxText;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      boxText = box->text();
      box->accept();
    });
    controller::JobRunner* runner = m.Link().Runner();
    QSignalSpy finished(runner, &controller::JobRunner::jobFinished);
    m.btnS_ResetClick();
    const bool done = finished.wait(15000);
    platform::InstallBoxes(recording);
    QVERIFY(done);
    QCOMPARE(finished.first().at(1).toString(), name + ": Sended completely !!");
    QCOMPARE(boxText, name + ": Sended completely !!");

    main_.reset();
    TfrmMain& again = Start();
    QCOMPARE(again.cboSigns->itemText(0), name);
    QString shown;
    WhenModal<controller::TfrmParam>([&](controller::TfrmParam* d) {
      shown = d->tblIP->item(0, 0)->text();
      d->btnCancel->click();
    });
    again.ParameterSetup1Click();
    QCOMPARE(shown, name);
  }

  // The editor saves while the controller runs: an OK of the Parameter Setup
  // writes only what the dialog changed, so the editor's PORT, CRC Check and
  // Time Format stay, and an OK that changed nothing leaves the file byte for
  // byte as the editor left it.
  void theParameterSetupWritesOnlyWhatItChanged() {
    Fresh(true);
    TfrmMain& m = Start();
    QVERIFY(m.StartedUp());
    const std::string ini = programDir_ + "/SML_WIN.INI";
    QVERIFY(platform::WriteProfileStrings(ini, {{"Communication", "PORT", "1"},
                                                {"Communication", "CRC Check", "1"},
                                                {"Communication", "Time Format", "0"},
                                                {"Communication", "Sign ID", "7"}}));
    const std::string byTheEditor = ReadBytes(ini);
    QVERIFY(byTheEditor.find("PORT=1\r\n") != std::string::npos);

    WhenModal<controller::TfrmParam>([](controller::TfrmParam* d) { d->btnSave->click(); });
    m.ParameterSetup1Click();
    QCOMPARE(ReadBytes(ini), byTheEditor);

    WhenModal<controller::TfrmParam>([](controller::TfrmParam* d) {
      d->tblIP->item(1, 0)->setText("Yard");
      d->cboSpeed->setCurrentIndex(7);
      d->btnSave->click();
    });
    m.ParameterSetup1Click();
    std::string expected = byTheEditor;
    const std::string sign2 = "[SIGN 2]\r\nName=\r\n", speed = "SPEED=6\r\n";
    QVERIFY(expected.find(sign2) != std::string::npos && expected.find(speed) != std::string::npos);
    expected.replace(expected.find(sign2), sign2.size(), "[SIGN 2]\r\nName=Yard\r\n");
    expected.replace(expected.find(speed), speed.size(), "SPEED=7\r\n");
    QCOMPARE(ReadBytes(ini), expected);
    QVERIFY((*boxes_)->Texts().empty());
  }

  void screenshotOfTheMainWindow() {
    Fresh(true);
    TfrmMain& m = Start();
    SelectSource("Welcome.MSG");
    m.spdINS_SEQClick();
    SelectSource("Offer.MSG");
    m.spdINS_SEQClick();
    m.resize(1100, 680);
    QApplication::processEvents();
    const QString dir = SCREENSHOT_DIR;
    QDir().mkpath(dir);
    const QString path = dir + "/marvanex-main.png";
    QVERIFY(m.grab().save(path));
    qInfo("main window screenshot: %s", qPrintable(path));
    m.PC->setCurrentWidget(m.tsSCH);
    SelectSource("Closing.MSG");
    m.spdINS_SCHClick();
    QApplication::processEvents();
    QVERIFY(m.grab().save(dir + "/marvanex-schedule.png"));
    qInfo("schedule page screenshot: %s", qPrintable(dir + "/marvanex-schedule.png"));
  }
};

QTEST_MAIN(MainTest)
#include "MainTest.moc"
