// Whole jobs: the runner, the sending window and the sender thread against the
// simulated sign over a real loopback socket.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>

#include "CoreTestSupport.h"
#include "TestBytes.h"
#include "controller/Job.h"
#include "controller/Sending.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "signsim/SignSim.h"
#include "testsupport/PrintQString.h"

namespace {

using namespace controller;
using namespace std::chrono;
using coretest::TempDir;

std::vector<std::uint8_t> Rec(const std::string& text) {
  return testbytes::Record(text, testbytes::BitwiseCrc(text.substr(1, text.size() - 2)));
}

class Jobs : public ::testing::Test {
 protected:
  void SetUp() override {
    coretest::GuiApp();
    port_ = sim_.StartTcp(0);
    table_[0] = {"Front", "127.0.0.1", ""};
    table_[1] = {"Back", "127.0.0.1", ""};
    table_[2] = {"NoAddress", "", ""};
    settings_.linkKind = 1;
    settings_.crcCheck = 1;
    settings_.crcWaitMs = 500;
    runner_ = std::make_unique<JobRunner>(settings_, table_, dir_.path(), sending_);
    runner_->SetTcpPortForTests(port_);
    runner_->SetClockForTests(&clock_);
    QObject::connect(runner_.get(), &JobRunner::jobFinished, [this](bool ok, const QString&) {
      finished_ = true;
      success_ = ok;
    });
  }
  void TearDown() override {
    runner_.reset();
    sim_.Stop();
  }
  JobRequest Request(int sign = 0, const std::string& id = "07") {
    JobRequest r;
    r.signIndex = sign;
    r.signId = id;
    return r;
  }
  // Turns the event loop until `done` holds or the time is up.
  static bool Until(const std::function<bool()>& done, int ms = 15000) {
    auto end = steady_clock::now() + milliseconds(ms);
    while (!done() && steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }
  bool WaitForJob() { return Until([this] { return finished_; }); }
  std::vector<std::string> Seen() const {
    std::vector<std::string> texts;
    for (const auto& e : sim_.Records()) texts.push_back(e.text);
    return texts;
  }
  std::string Msg(const std::string& name, const std::vector<std::string>& texts) {
    std::vector<std::uint8_t> bytes;
    for (const auto& t : texts) {
      auto r = Rec(t);
      bytes.insert(bytes.end(), r.begin(), r.end());
    }
    return files_.Write(name, bytes);
  }

  bool app_ = (coretest::GuiApp(), true);  // before any widget member
  signsim::SignSim sim_;
  std::uint16_t port_ = 0;
  TempDir dir_;    // the system directory: the command files go here
  TempDir files_;  // the operator's message files
  TSettings settings_;
  SignTable table_;
  platform::FixedClock clock_{platform::LocalTime{2026, 12, 9, 3, 10, 5, 41, 0}};
  platform::ScopedRecordingBoxes boxes_;
  TfrmSending sending_;
  std::unique_ptr<JobRunner> runner_;
  bool finished_ = false;
  bool success_ = false;
};

const std::string kWake = "{N07,M=AML,D=24 12 09 03 10 05,S}";

TEST_F(Jobs, SequenceRunsAfterTheConnectAndClosesTheSocket) {
  JobRequest r = Request();
  r.sequence = {Msg("one.msg", {"{A}"}), Msg("two.msg", {"{B}"}), Msg("three.msg", {"{C}"})};
  ASSERT_TRUE(runner_->RequestJob(kJobSequence, r));
  EXPECT_EQ(runner_->JobType(), kJobSequence);
  EXPECT_FALSE(runner_->LinkReady()) << "over TCP the link is ready only once connected";
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
  EXPECT_EQ(Seen(), (std::vector<std::string>{kWake, "{A}", "{B}", "{C}", "{RX,ONE TWO THREE}", "{E}"}));
  EXPECT_EQ(sim_.Records()[0].wakeAts, 22);
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended completely !!"}));
  EXPECT_TRUE(Until([this] { return runner_->CS().state() == QAbstractSocket::UnconnectedState; }, 3000));
  EXPECT_EQ(runner_->JobType(), kJobNone);
  EXPECT_FALSE(runner_->LinkReady());
  EXPECT_TRUE(runner_->tmrJOB().isActive());
}

TEST_F(Jobs, SequenceWhoseSecondFileIsRefusedStopsThere) {
  sim_.SetScript("0,0,1,1,1");
  JobRequest r = Request(1);
  r.sequence = {Msg("one.msg", {"{A}"}), Msg("two.msg", {"{B}"}), Msg("three.msg", {"{C}"})};
  ASSERT_TRUE(runner_->RequestJob(kJobSequence, r));
  ASSERT_TRUE(WaitForJob());
  EXPECT_FALSE(success_);
  sim_.WaitForRecords(6, milliseconds(300));
  EXPECT_EQ(Seen(), (std::vector<std::string>{kWake, "{A}", "{B}", "{B}", "{B}"}));
  // The sign chosen when the job was asked for.
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Back: Sended fail !!"}));
  EXPECT_EQ(boxes_->Beeps(), 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() + "/SEQ.MSG"));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() + "/OVER.MSG"));
}

TEST_F(Jobs, ResetSendsTheThreeRecordsAsBytesWithoutLengthWords) {
  settings_.crcCheck = 0;
  ASSERT_TRUE(runner_->RequestJob(kJobReset, Request(0, "00")));
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
  auto r = sim_.Records();
  ASSERT_EQ(r.size(), 3u);
  const std::vector<std::string> expected = coretest::ResetRecordsOnTheLink();
  EXPECT_EQ(r[0].raw, expected[0]);
  EXPECT_EQ(r[1].raw, expected[1]);
  EXPECT_EQ(r[2].raw, expected[2]);
}

TEST_F(Jobs, ScheduleAndInterruptSendInTheirOrder) {
  JobRequest s = Request();
  s.schedule = {{Msg("hello.msg", {"{H}"}), "12/25", "10:30"}, {Msg("world.msg", {"{W}"}), "", "  :  "}};
  ASSERT_TRUE(runner_->RequestJob(kJobSchedule, s));
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
  EXPECT_EQ(Seen(), (std::vector<std::string>{kWake, "{H}", "{W}", "{RJ,12/25 10:30 HELLO WORLD}", "{E}"}));
  ASSERT_TRUE(Until([this] { return runner_->CS().state() == QAbstractSocket::UnconnectedState; }, 3000));

  sim_.Core().ClearLog();
  finished_ = false;
  JobRequest i = Request();
  i.interruptFile = Msg("Urgent.msg", {"{U}"});
  i.interruptEntry = "Urgent.msg";
  i.playingTimes = 3;
  ASSERT_TRUE(runner_->RequestJob(kJobInterrupt, i));
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
  EXPECT_EQ(Seen(), (std::vector<std::string>{kWake, "{U}", "{RI,Urgent,03}", "{E}"}));
}

TEST_F(Jobs, ConnectionDroppedMidJobFails) {
  settings_.crcCheck = 0;
  sim_.SetDropAfter(2);
  JobRequest r = Request();
  r.sequence = {Msg("one.msg", {"{A}"}), Msg("two.msg", {"{B}"}), Msg("three.msg", {"{C}"})};
  ASSERT_TRUE(runner_->RequestJob(kJobSequence, r));
  ASSERT_TRUE(WaitForJob());
  EXPECT_FALSE(success_);
  EXPECT_EQ(Seen(), (std::vector<std::string>{"{N07,M=AML,D=24 12 09 03 10 05}", "{A}"}));
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended fail !!"}));
  EXPECT_EQ(runner_->JobType(), kJobNone);
}

// Without CRC checking nothing answers a record: a sign that closes as soon
// as the job's last record has arrived had all of it, one that closes a
// record earlier did not.
TEST_F(Jobs, SignClosingRightAfterARecordWithoutCrc) {
  struct Case {
    int dropAfter;
    bool success;
    const char* box;
  };
  const std::vector<Case> cases = {
      {6, true, "Front: Sended completely !!"},
      {5, false, "Front: Sended fail !!"},
  };
  settings_.crcCheck = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropAfter);
    sim_.Core().ClearLog();
    boxes_->Clear();
    finished_ = false;
    sim_.SetDropAfter(c.dropAfter);
    JobRequest r = Request();
    r.sequence = {Msg("one.msg", {"{A}"}), Msg("two.msg", {"{B}"}), Msg("three.msg", {"{C}"})};
    ASSERT_TRUE(runner_->RequestJob(kJobSequence, r));
    ASSERT_TRUE(WaitForJob());
    EXPECT_EQ(success_, c.success);
    EXPECT_EQ(Seen().size(), static_cast<std::size_t>(c.dropAfter));
    EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{c.box}));
    ASSERT_TRUE(Until([this] { return runner_->CS().state() == QAbstractSocket::UnconnectedState; }, 3000));
  }
}

TEST_F(Jobs, RefusedConnectClearsTheJobAndShowsTheSocketError) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 deadPort = closed.serverPort();
  closed.close();
  runner_->SetTcpPortForTests(deadPort);
  ASSERT_TRUE(runner_->RequestJob(kJobReset, Request()));
  ASSERT_TRUE(Until([this] { return !boxes_->Texts().empty(); }, 5000));
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Connection refused"}));
  EXPECT_EQ(runner_->JobType(), kJobNone);
  EXPECT_FALSE(runner_->LinkReady());
  EXPECT_EQ(runner_->CS().state(), QAbstractSocket::UnconnectedState);
  // Not left busy: the next request connects and runs.
  boxes_->Clear();
  runner_->SetTcpPortForTests(port_);
  ASSERT_TRUE(runner_->RequestJob(kJobReset, Request()));
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
}

TEST_F(Jobs, ConnectWithoutAnswerGivesUpInTime) {
  runner_->SetConnectTimeoutMs(300);
  table_[0].ip = "192.0.2.1";  // a documentation address nobody answers
  ASSERT_TRUE(runner_->RequestJob(kJobReset, Request()));
  ASSERT_TRUE(Until([this] { return !boxes_->Texts().empty(); }, 5000));
  EXPECT_EQ(runner_->JobType(), kJobNone);
  EXPECT_EQ(runner_->CS().state(), QAbstractSocket::UnconnectedState);
  EXPECT_FALSE(finished_);
}

TEST_F(Jobs, RefusalsOfPrepareLink) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    int sign;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {"no address", [] {}, 2, "IP address is not set!"},
      {"empty table", [this] { table_ = SignTable{}; }, -1, "Sign table is empty. Please fill in first!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_->Clear();
    c.arrange();
    EXPECT_FALSE(runner_->RequestJob(kJobReset, Request(c.sign)));
    EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{c.warning}));
    EXPECT_EQ(runner_->JobType(), kJobNone);
  }
}

TEST_F(Jobs, SecondRequestWhileConnectingIsBusy) {
  ASSERT_TRUE(runner_->RequestJob(kJobReset, Request()));
  EXPECT_FALSE(runner_->RequestJob(kJobClearAll, Request()));
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"System is busy. Please try again later!"}));
  EXPECT_EQ(runner_->JobType(), kJobReset);
  ASSERT_TRUE(WaitForJob());
  EXPECT_EQ(Seen()[1], "{Z}");
}

TEST_F(Jobs, CancelStopsTheSendAndTheJobFails) {
  sim_.SetScript("-*20");
  settings_.crcWaitMs = 10000;
  ASSERT_TRUE(runner_->RequestJob(kJobReset, Request()));
  // Press Cancel once the sending window is up.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [this] {
    if (sending_.isVisible() && sim_.Records().size() >= 1) sending_.btnCancel->click();
  });
  poll.start(50);
  auto start = steady_clock::now();
  ASSERT_TRUE(WaitForJob());
  EXPECT_LT(steady_clock::now() - start, seconds(6));
  EXPECT_FALSE(success_);
  EXPECT_EQ(Seen().size(), 1u);
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended fail !!"}));
  // The stopped send left nothing behind: the next job runs whole and is not
  // cut short by the old thread's end.
  poll.stop();
  ASSERT_TRUE(Until([this] { return runner_->CS().state() == QAbstractSocket::UnconnectedState; }, 3000));
  sim_.SetScript("0,0,0");
  sim_.Core().ClearLog();
  boxes_->Clear();
  finished_ = false;
  settings_.crcWaitMs = 500;
  ASSERT_TRUE(runner_->RequestJob(kJobClearAll, Request()));
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
  EXPECT_EQ(Seen(), (std::vector<std::string>{kWake, "{CA}", "{E}"}));
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended completely !!"}));
}

TEST_F(Jobs, ExceptionDuringTheJobClosesTheLinkAndRestartsTheTimer) {
  TfrmSending sending;
  JobRunner runner(settings_, table_, dir_.path() + "/missing/dir", sending);
  runner.SetTcpPortForTests(port_);
  bool done = false;
  QObject::connect(&runner, &JobRunner::jobFinished, [&](bool ok, const QString&) {
    done = true;
    EXPECT_FALSE(ok);
  });
  ASSERT_TRUE(runner.RequestJob(kJobReset, Request()));
  ASSERT_TRUE(Until([&] { return done; }));
  ASSERT_EQ(boxes_->Texts().size(), 1u);
  EXPECT_EQ(boxes_->Texts()[0].find("Sended"), std::string::npos);  // the error, not a report
  EXPECT_EQ(runner.JobType(), kJobNone);
  EXPECT_FALSE(runner.LinkReady());
  EXPECT_TRUE(runner.tmrJOB().isActive());
  EXPECT_TRUE(Until([&] { return runner.CS().state() == QAbstractSocket::UnconnectedState; }, 3000));
  EXPECT_TRUE(sim_.Records().empty());
}

TEST_F(Jobs, SerialModeWithoutAPortFailsAndReportsTheSign) {
  settings_.linkKind = 0;
  ASSERT_TRUE(runner_->RequestJob(kJobRunAll, Request(1)));
  EXPECT_TRUE(runner_->LinkReady());
  ASSERT_TRUE(WaitForJob());
  EXPECT_FALSE(success_);
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Back: Sended fail !!"}));
  EXPECT_EQ(runner_->JobType(), kJobNone);
  EXPECT_FALSE(runner_->LinkReady());
}

TEST_F(Jobs, ReportWithAnEmptySignListNamesNoEntry) {
  settings_.linkKind = 0;
  table_ = SignTable{};
  ASSERT_TRUE(runner_->RequestJob(kJobRunAll, Request(-1)));
  ASSERT_TRUE(WaitForJob());
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{": Sended fail !!"}));
}

// A window manager draws its own buttons on any title bar it draws (some
// ignore the hints that ask for none), so the window draws its own title bar:
// the title, and no button but Cancel.
TEST_F(Jobs, SendingWindowShowsOnlyItsTitle) {
  EXPECT_TRUE(sending_.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(sending_.windowFlags().testFlag(Qt::Dialog));
  ASSERT_NE(sending_.lblCaption, nullptr);
  EXPECT_EQ(sending_.lblCaption->text(), QString("Sending Message File to Sign..."));
  EXPECT_EQ(sending_.windowTitle(), QString("Sending Message File to Sign..."));
  const auto buttons = sending_.findChildren<QAbstractButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(buttons[0], sending_.btnCancel);
}

TEST_F(Jobs, SendingWindowShowsPathAndProgressAndClosesItself) {
  settings_.crcCheck = 0;
  ASSERT_TRUE(runner_->RequestJob(kJobReset, Request(0, "00")));
  QString path, status;
  int bar = -1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!sending_.isVisible()) return;
    path = sending_.lblMsgFN->text();
    status = sending_.lblStatus->text();
    bar = sending_.ProgressBar->value();
  });
  poll.start(5);
  ASSERT_TRUE(WaitForJob());
  EXPECT_EQ(path.toStdString(), dir_.path() + "/Marvanex.MSG");
  // wake-up: 2 + 22 + 31 + 2, "{Z}": 2 + 5, "{E}": 2 + 5
  EXPECT_EQ(status.toStdString(), "[0071/0071]");
  EXPECT_EQ(bar, 100);
  EXPECT_FALSE(sending_.isVisible());
}

// The report names the sign as the user typed it, in any language, and a
// name from an old settings file as its Latin-1 letters; the sending window
// shows each file's path as the file system has it.
TEST_F(Jobs, TheReportAndThePathLabelShowNamesBeyondAscii) {
  settings_.crcCheck = 0;
  struct Case {
    std::string name;  // as the sign table holds it
    QString report;
  };
  const Case cases[] = {
      {"\xE5\xA4\xA7\xE9\x96\x80 Zo\xC3\xAB", QString::fromUtf16(u"\u5927\u9580 Zo\u00EB: Sended completely !!")},
      {"Caf\xE9 Zo\xEB", QString::fromUtf16(u"Caf\u00E9 Zo\u00EB: Sended completely !!")},
  };
  std::filesystem::create_directory(files_.File("Schilder f\xC3\xBCr Zo\xC3\xAB"));
  const std::string message = Msg("Schilder f\xC3\xBCr Zo\xC3\xAB/caf\xE9.MSG", {"{A}"});
  const QString shownPath = QString::fromStdString(files_.path()) + QString::fromUtf16(u"/Schilder f\u00FCr Zo\u00EB/caf\u00E9.MSG");
  for (const Case& c : cases) {
    table_[0].name = c.name;
    QString report;
    const auto connection = QObject::connect(runner_.get(), &JobRunner::jobFinished,
                                             [&](bool, const QString& text) { report = text; });
    QStringList paths;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (sending_.isVisible() && !paths.contains(sending_.lblMsgFN->text())) paths << sending_.lblMsgFN->text();
    });
    poll.start(5);
    JobRequest r = Request(0, "00");
    r.interruptFile = message;
    r.interruptEntry = "caf\xE9.MSG";
    finished_ = false;
    boxes_->Clear();
    ASSERT_TRUE(runner_->RequestJob(kJobInterrupt, r));
    ASSERT_TRUE(WaitForJob());
    QObject::disconnect(connection);
    EXPECT_TRUE(success_);
    EXPECT_EQ(report, c.report);
    EXPECT_EQ(boxes_->Texts(), std::vector<std::string>{c.name + ": Sended completely !!"});
    EXPECT_TRUE(paths.contains(shownPath)) << paths.join(" | ").toStdString();
  }
  // The file went out under its own name: its record is at the sign.
  const std::vector<std::string> seen = Seen();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "{A}"), 2);
}

}  // namespace
