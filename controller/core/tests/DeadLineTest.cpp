// A serial line whose far end hangs up mid-job: the job fails, and once the
// cable is back (here: COM1 pointed at a new pseudo-terminal) the next job
// or the serial set-up opens the port again, without a restart.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "SerialJobRig.h"
#include "signsim/SignSim.h"

namespace {

using namespace controller;
using namespace std::chrono;

class DeadLine : public coretest::SerialJobRig {
 protected:
  void SetUp() override {
    first_ = coretest::SignOnCom1();
    table_[0] = {"Front", "", ""};
    settings_.linkKind = 0;
    settings_.portIndex = 0;
    settings_.speedIndex = 10;
    settings_.crcCheck = 1;
    settings_.crcWaitMs = 300;
    WireRunner();
    ASSERT_TRUE(ApplySerialSettings(setup_, settings_));
    ASSERT_TRUE(modem_.ModemStarted());
  }
  // Runs the job; `during` is called every few milliseconds (also inside the
  // sending window's own event loop) until it returns true once.
  bool Run(int job, const JobRequest& request, const std::function<bool()>& during = {}) {
    finished_ = false;
    QTimer watch;
    if (during) {
      QObject::connect(&watch, &QTimer::timeout, [&] {
        if (during()) watch.stop();
      });
      watch.start(5);
    }
    if (!runner_->RequestJob(job, request)) return false;
    return WaitForJob(20s);
  }
  // The far end hangs up during the job's second record; the job fails.
  void HangUpMidJob() {
    JobRequest r{0, "07", {}, {}, "", "", 0};
    r.sequence = {Msg("one.msg", "{A}"), Msg("two.msg", "{B}"), Msg("three.msg", "{C}")};
    ASSERT_TRUE(Run(kJobSequence, r, [this] {
      if (first_->Records().size() < 2) return false;
      first_->Stop();  // the master side closes: the line is dead
      return true;
    }));
    EXPECT_FALSE(success_);
    EXPECT_TRUE(port_.Open()) << "the port is still open, on a dead device";
    const auto end = steady_clock::now() + 3s;
    while (!port_.DeviceFailed() && steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(port_.DeviceFailed());
  }
  // The cable is plugged back in: COM1 now leads to a sign again.
  void PlugBackIn() {
    second_ = coretest::SignOnCom1();
  }

  std::unique_ptr<signsim::SignSim> first_, second_;
};

TEST_F(DeadLine, TheNextJobReopensTheDeadPortAndSendsByteExactly) {
  HangUpMidJob();
  PlugBackIn();
  settings_.crcCheck = 0;
  ASSERT_TRUE(Run(kJobReset, {0, "00", {}, {}, "", "", 0}));
  EXPECT_TRUE(success_);
  second_->WaitForRecords(4, milliseconds(300));
  std::vector<std::string> raw;
  for (const auto& e : second_->Records()) raw.push_back(e.raw);
  EXPECT_EQ(raw, coretest::ResetRecordsOnTheLink());
  EXPECT_FALSE(port_.DeviceFailed());
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended fail !!", "Front: Sended completely !!"}));
  // The reopen stopped the modem component with the old port; it runs again.
  EXPECT_TRUE(modem_.ModemStarted());
}

// With CRC checking off nothing answers a record: a sign that hangs up on
// the next-to-last record leaves the last one in the port, never sent, and
// the job fails for it.
TEST_F(DeadLine, AHangUpOnTheNextToLastRecordFailsTheJobWithoutCrc) {
  settings_.crcCheck = 0;
  ASSERT_TRUE(Run(kJobReset, {0, "00", {}, {}, "", "", 0}, [this] {
    if (first_->Records().size() < 2) return false;
    first_->Stop();
    return true;
  }));
  EXPECT_FALSE(success_);
  ASSERT_EQ(first_->Records().size(), 2u) << "the last record never reached the sign";
  EXPECT_EQ(boxes_->Texts(), (std::vector<std::string>{"Front: Sended fail !!"}));
}

TEST_F(DeadLine, StillUnpluggedTheJobFailsAndTheJobAfterTriesAgain) {
  HangUpMidJob();
  ::setenv("LEDSIGN_COM1", (dir_.path() + "/unplugged").c_str(), 1);
  settings_.crcCheck = 0;
  ASSERT_TRUE(Run(kJobReset, {0, "00", {}, {}, "", "", 0}));
  EXPECT_FALSE(success_);
  PlugBackIn();
  ASSERT_TRUE(Run(kJobReset, {0, "00", {}, {}, "", "", 0}));
  EXPECT_TRUE(success_);
  EXPECT_TRUE(second_->WaitForRecords(3, milliseconds(2000)));
}

TEST_F(DeadLine, ApplyingTheSerialSettingsReopensTheDeadPort) {
  HangUpMidJob();
  PlugBackIn();
  ASSERT_TRUE(ApplySerialSettings(setup_, settings_));
  EXPECT_FALSE(port_.DeviceFailed());
  port_.WriteText(coretest::ResetRecordsOnTheLink()[1]);
  EXPECT_TRUE(second_->WaitForRecords(1, milliseconds(3000)));
}

}  // namespace
