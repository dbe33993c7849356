#pragma once
// A job runner wired to a serial port as the main window wires it: the serial
// link reads the port's replies, the modem component runs on the port, and the
// serial set-up opens the port, then starts the modem. The fixture of tests
// whose sign hangs up and comes back on COM1, and what their soaks share.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "CoreTestSupport.h"
#include "TestBytes.h"
#include "comm/ModemComp.h"
#include "comm/SerialPort.h"
#include "common/ComPortSetup.h"
#include "controller/Job.h"
#include "controller/Sending.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "sender/SerialLink.h"
#include "signsim/SignSim.h"

namespace coretest {

// A new sign that COM1 leads to (after a hang-up: the cable plugged back in).
inline std::unique_ptr<signsim::SignSim> SignOnCom1() {
  auto sign = std::make_unique<signsim::SignSim>();
  ::setenv("LEDSIGN_COM1", sign->StartPty().c_str(), 1);
  return sign;
}

// While the events turn, `sign` hangs up (its far end stops) once it has
// `records` records; 0: it never does.
class HangUpWhenTheSignHas {
 public:
  HangUpWhenTheSignHas(signsim::SignSim& sign, int records) {
    if (records <= 0) return;
    QObject::connect(&watch_, &QTimer::timeout, [this, &sign, records] {
      if (hungUp_ || sign.Records().size() < static_cast<std::size_t>(records)) return;
      sign.Stop();
      hungUp_ = true;
    });
    watch_.start(2);
  }
  void Stop() { watch_.stop(); }
  bool HungUp() const { return hungUp_; }

 private:
  QTimer watch_;
  bool hungUp_ = false;
};

// A soak's size: LEDSIGN_SOAK_JOBS jobs (`jobs` when it is not set), drawn
// at random from the seed LEDSIGN_SOAK_SEED (31 when it is not set).
struct SoakSize {
  int jobs;
  std::uint32_t seed;
};
inline int EnvNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}
inline SoakSize SoakSizeFromEnv(int jobs) {
  return {EnvNumber("LEDSIGN_SOAK_JOBS", jobs), static_cast<std::uint32_t>(EnvNumber("LEDSIGN_SOAK_SEED", 31))};
}

// Counts the reports that said more, or less, than the sign had: each one
// fails the test.
struct FalseReports {
  int successes = 0;
  int failures = 0;

  void Check(bool reported, bool complete, const std::string& what) {
    if (reported && !complete) {
      ++successes;
      ADD_FAILURE() << "false success: " << what;
    } else if (!reported && complete) {
      ++failures;
      ADD_FAILURE() << "false failure: " << what;
    }
  }
};

class SerialJobRig : public ::testing::Test {
 protected:
  // Makes the runner for the settings as they stand and wires it to the port.
  void WireRunner() {
    runner_ = std::make_unique<controller::JobRunner>(settings_, table_, dir_.path(), sending_);
    runner_->SetClockForTests(&clock_);
    link_ = std::make_unique<sender::SerialLink>(port_, runner_->Reply());
    link_->SetModem(&modem_);
    runner_->SetSerialLink(link_.get());
    port_.OnTriggerAvail = [this](comm::TVnkCustomComPort& p, std::uint16_t n) { link_->TriggerAvail(p, n); };
    QObject::connect(runner_.get(), &controller::JobRunner::jobFinished, [this](bool ok, const QString&) {
      finished_ = true;
      success_ = ok;
    });
  }
  void TearDown() override {
    runner_.reset();
    link_.reset();
    port_.SetOpen(false);
    ::unsetenv("LEDSIGN_COM1");
  }
  // Processes events until the job has finished or `limit` has passed.
  bool WaitForJob(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!finished_ && std::chrono::steady_clock::now() < end)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return finished_;
  }
  // A message file of one record with its CRC.
  std::string Msg(const std::string& name, const std::string& text) {
    return files_.Write(name, testbytes::Record(text, testbytes::BitwiseCrc(text.substr(1, text.size() - 2))));
  }

  bool app_ = (GuiApp(), true);  // before any widget member
  TempDir dir_;
  TempDir files_;
  controller::TSettings settings_;
  controller::SignTable table_;
  platform::FixedClock clock_{platform::LocalTime{2026, 12, 9, 3, 10, 5, 41, 0}};
  platform::ScopedRecordingBoxes boxes_;
  controller::TfrmSending sending_;
  comm::TVnkComPort port_;
  comm::TVnkModem modem_{&port_};
  // Applied as the main window applies it: the port opened, then the modem started on it.
  settings::ComPortSetup setup_{port_, [this](bool on) { modem_.SetModemStarted(on); }};
  std::unique_ptr<controller::JobRunner> runner_;
  std::unique_ptr<sender::SerialLink> link_;
  bool finished_ = false;
  bool success_ = false;
};

}  // namespace coretest
