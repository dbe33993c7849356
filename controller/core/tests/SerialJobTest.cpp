// Jobs over RS-232: the serial port component on a pseudo-terminal whose
// slave COM1 is pointed at, the simulated sign on its master.
#include <gtest/gtest.h>

#include <QEventLoop>

#include <chrono>
#include <cstdlib>

#include "CoreTestSupport.h"
#include "TestBytes.h"
#include "comm/SerialPort.h"
#include "common/ComPortSetup.h"
#include "controller/Job.h"
#include "controller/Sending.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "sender/SerialLink.h"
#include "signsim/SignSim.h"

namespace {

using namespace controller;
using namespace std::chrono;
using coretest::TempDir;

class SerialJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    slave_ = sim_.StartPty();
    ::setenv("LEDSIGN_COM1", slave_.c_str(), 1);
    table_[0] = {"Front", "", ""};
    settings_.linkKind = 0;
    settings_.portIndex = 0;
    settings_.speedIndex = 10;
    settings_.crcCheck = 1;
    settings_.crcWaitMs = 500;
    port_ = std::make_unique<comm::TVnkComPort>();
    runner_ = std::make_unique<JobRunner>(settings_, table_, dir_.path(), sending_);
    runner_->SetClockForTests(&clock_);
    link_ = std::make_unique<sender::SerialLink>(*port_, runner_->Reply());
    runner_->SetSerialLink(link_.get());
    port_->OnTriggerAvail = [this](comm::TVnkCustomComPort& p, std::uint16_t n) { link_->TriggerAvail(p, n); };
    QObject::connect(runner_.get(), &JobRunner::jobFinished, [this](bool ok, const QString&) {
      finished_ = true;
      success_ = ok;
    });
    settings::ComPortSetup setup(*port_, nullptr);
    ASSERT_TRUE(ApplySerialSettings(setup, settings_));
    ASSERT_TRUE(port_->Open());
  }
  void TearDown() override {
    runner_.reset();
    link_.reset();
    port_.reset();
    sim_.Stop();
    ::unsetenv("LEDSIGN_COM1");
  }
  bool WaitForJob(int ms = 15000) {
    auto end = steady_clock::now() + milliseconds(ms);
    while (!finished_ && steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return finished_;
  }
  std::vector<std::string> Seen() const {
    std::vector<std::string> texts;
    for (const auto& e : sim_.Records()) texts.push_back(e.text);
    return texts;
  }
  std::string Msg(const std::string& name, const std::string& text) {
    return files_.Write(name, testbytes::Record(text, testbytes::BitwiseCrc(text.substr(1, text.size() - 2))));
  }

  bool app_ = (coretest::GuiApp(), true);  // before any widget member
  signsim::SignSim sim_;
  std::string slave_;
  TempDir dir_;
  TempDir files_;
  TSettings settings_;
  SignTable table_;
  platform::FixedClock clock_{platform::LocalTime{2026, 12, 9, 3, 10, 5, 41, 0}};
  platform::ScopedRecordingBoxes boxes_;
  TfrmSending sending_;
  std::unique_ptr<comm::TVnkComPort> port_;
  std::unique_ptr<JobRunner> runner_;
  std::unique_ptr<sender::SerialLink> link_;
  bool finished_ = false;
  bool success_ = false;
};

TEST_F(SerialJobs, ResetSendsExactlyTheThreeRecordsWithoutLengthWords) {
  settings_.crcCheck = 0;
  ASSERT_TRUE(runner_->RequestJob(kJobReset, {0, "00", {}, {}, "", "", 0}));
  EXPECT_TRUE(runner_->LinkReady());
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
  sim_.WaitForRecords(4, milliseconds(300));
  auto r = sim_.Records();
  ASSERT_EQ(r.size(), 3u);
  const std::vector<std::string> expected = coretest::ResetRecordsOnTheLink();
  EXPECT_EQ(r[0].raw, expected[0]);
  EXPECT_EQ(r[1].raw, expected[1]);
  EXPECT_EQ(r[2].raw, expected[2]);
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended completely !!"}));
  EXPECT_TRUE(port_->Open()) << "the serial port stays open after a job";
}

TEST_F(SerialJobs, SequenceWhoseSecondFileIsRefused) {
  sim_.SetScript("0,0,1,1,1");
  JobRequest r{0, "07", {}, {}, "", "", 0};
  r.sequence = {Msg("one.msg", "{A}"), Msg("two.msg", "{B}"), Msg("three.msg", "{C}")};
  ASSERT_TRUE(runner_->RequestJob(kJobSequence, r));
  ASSERT_TRUE(WaitForJob());
  EXPECT_FALSE(success_);
  sim_.WaitForRecords(6, milliseconds(300));
  EXPECT_EQ(Seen(), (std::vector<std::string>{"{N07,M=AML,D=24 12 09 03 10 05,S}", "{A}", "{B}", "{B}", "{B}"}));
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended fail !!"}));
}

TEST_F(SerialJobs, SequenceAcceptedRunsToOver) {
  JobRequest r{0, "07", {}, {}, "", "", 0};
  r.sequence = {Msg("one.msg", "{A}"), Msg("two.msg", "{B}")};
  ASSERT_TRUE(runner_->RequestJob(kJobSequence, r));
  ASSERT_TRUE(WaitForJob());
  EXPECT_TRUE(success_);
  EXPECT_EQ(Seen(), (std::vector<std::string>{"{N07,M=AML,D=24 12 09 03 10 05,S}", "{A}", "{B}", "{RX,ONE TWO}", "{E}"}));
}

TEST_F(SerialJobs, ClosedPortFailsTheJob) {
  port_->SetOpen(false);
  ASSERT_TRUE(runner_->RequestJob(kJobClearAll, {0, "07", {}, {}, "", "", 0}));
  ASSERT_TRUE(WaitForJob());
  EXPECT_FALSE(success_);
  EXPECT_TRUE(sim_.Records().empty());
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended fail !!"}));
}

}  // namespace

namespace {

TEST(SerialSetupOnThePort, MissingDeviceGivesTheSetupError) {
  coretest::GuiApp();
  TempDir dir;
  ::setenv("LEDSIGN_COM3", (dir.path() + "/no-such-tty").c_str(), 1);
  platform::ScopedRecordingBoxes boxes;
  comm::TVnkComPort port;
  bool modemStarted = false;
  settings::ComPortSetup setup(port, [&](bool on) { modemStarted = on; });
  controller::TSettings s;
  s.portIndex = 2;
  EXPECT_FALSE(controller::ApplySerialSettings(setup, s));
  EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Serial Port setup error!\n" + dir.path() +
                                                       "/no-such-tty does not exist (is the device plugged in?)"}));
  EXPECT_FALSE(port.Open());
  EXPECT_FALSE(modemStarted) << "the modem is started only on an open port";
  ::unsetenv("LEDSIGN_COM3");
}

}  // namespace
