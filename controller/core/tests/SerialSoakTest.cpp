// Serial jobs of the benchmarks' size (one message file of 200 records, at
// 115200 bit/s) whose sign hangs up near the end, each report checked against
// what the sign really had: complete exactly when the sign had every record.
//
// - On a pseudo-terminal, with the simulated sign, CRC checking on and off:
//   the sign hangs up once it has one of the job's last records.
// - On the fake device layer, whose device holds what the far end has not
//   read (a UART's queue), CRC checking off: the far end reads at the line's
//   rate and hangs up with part of one of the last records still in the
//   device, or a while after it had the whole job.
//
// LEDSIGN_SOAK_JOBS sets the number of jobs of each (1 by default: a job takes
// some 30 s, the 150 ms pause before each record); LEDSIGN_SOAK_SEED the seed.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <QEventLoop>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "SerialJobRig.h"
#include "comm/FakeLayer.h"
#include "comm/PosixLayer.h"
#include "signsim/SignSim.h"

namespace {

using namespace controller;
using namespace std::chrono;

constexpr int kBenchRecords = 200;
// The wake-up, the message file's records, the sequence and the end.
constexpr int kJobRecords = 1 + kBenchRecords + 2;

struct Tally {
  int jobs = 0, faults = 0;
  coretest::FalseReports reports;
  int byKind[2] = {};  // [crc]
  steady_clock::time_point start = steady_clock::now();

  // Counts a job whose report said `reported` while the sign had `had` of `records` records.
  void Count(bool faulted, bool crc, bool reported, std::size_t had, const std::string& what) {
    ++jobs;
    ++byKind[crc];
    if (faulted) ++faults;
    reports.Check(reported, had == static_cast<std::size_t>(kJobRecords), what);
  }
  void Print(const char* name, std::uint32_t seed) const {
    std::printf("%s: %d jobs of %d records (seed %u): crc %d, no-crc %d; %d hang-ups injected; %d false successes, "
                "%d false failures; %.0f s\n",
                name, jobs, kJobRecords, seed, byKind[1], byKind[0], faults, reports.successes, reports.failures,
                duration<double>(steady_clock::now() - start).count());
  }
};

class SerialSoak : public coretest::SerialJobRig {
 protected:
  void SetUp() override {
    table_[0] = {"Front", "", ""};
    settings_.linkKind = 0;
    settings_.portIndex = 0;
    settings_.speedIndex = 10;  // 115200 bit/s
    settings_.crcWaitMs = 300;
    WireRunner();
    // The benchmarks' message file.
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < kBenchRecords; ++i) {
      char text[80];
      std::snprintf(text, sizeof text, "{T,^FL^BG MESSAGE LINE %03d OF THE BENCH}", i);
      const std::string t = text;
      const auto record = testbytes::Record(t, testbytes::BitwiseCrc(t.substr(1, t.size() - 2)));
      bytes.insert(bytes.end(), record.begin(), record.end());
    }
    file_ = files_.Write("bench.msg", bytes);
  }
  // Runs the job of the bench's file, turning the events; its report.
  bool RunJob() {
    finished_ = false;
    success_ = false;
    JobRequest r{0, "07", {file_}, {}, "", "", 0};
    EXPECT_TRUE(runner_->RequestJob(kJobSequence, r));
    EXPECT_TRUE(WaitForJob(120s));
    return success_;
  }

  std::string file_;
};

TEST_F(SerialSoak, HangUpsNearTheEndOnAPseudoTerminal) {
  const auto [jobs, seed] = coretest::SoakSizeFromEnv(1);
  std::mt19937 random(seed);
  Tally tally;
  std::unique_ptr<signsim::SignSim> sign;
  for (int i = 0; i < jobs; ++i) {
    const bool crc = random() % 2 == 0;
    // Three jobs in four: the sign hangs up once it has one of the last three
    // records. With CRC checking on, a sign that hangs up with the last
    // record may or may not have answered it: only the earlier ones count.
    int at = 0;
    if (random() % 4 != 0) {
      at = kJobRecords - static_cast<int>(random() % 3);
      if (crc && at == kJobRecords) at -= 1 + static_cast<int>(random() % 2);
    }
    if (!sign) {
      // COM1 leads to a sign (after a hang-up: the cable plugged back in).
      sign = coretest::SignOnCom1();
      if (i == 0) {
        ASSERT_TRUE(ApplySerialSettings(setup_, settings_));
      }
    }
    settings_.crcCheck = crc ? 1 : 0;
    coretest::HangUpWhenTheSignHas watch(*sign, at);
    const bool reported = RunJob();
    watch.Stop();
    const std::size_t had = sign->Records().size();
    tally.Count(at > 0, crc, reported, had,
                "job " + std::to_string(i) + (crc ? " crc" : " no-crc") + ", hang-up at " + std::to_string(at) +
                    ", the sign had " + std::to_string(had));
    if (watch.HungUp()) sign.reset();
    else sign->Core().ClearLog();
  }
  tally.Print("serial soak on a pseudo-terminal", seed);
  EXPECT_EQ(tally.reports.successes, 0);
  EXPECT_EQ(tally.reports.failures, 0);
}

// The far end of a fake device: reads at the line's rate into a simulated
// sign and writes its answers back; hangs up once the sign has `records`
// records and `bytes` more bytes were read, or `gap` after the sign had the
// whole job.
class FarEnd {
 public:
  struct Plan {
    int records = 0;  // 0: no hang-up before the end
    int bytes = 0;
    milliseconds gap{-1};  // negative: no hang-up after the end
  };
  FarEnd(std::int32_t device, int bytesPerSecond, Plan plan)
      : device_(device), peer_(comm::fake::PeerFd(device)), rate_(bytesPerSecond), plan_(plan) {
    core_.Open(1, "fake");
    thread_ = std::thread([this] { Run(); });
  }
  ~FarEnd() {
    stop_.store(true);
    thread_.join();
  }
  FarEnd(const FarEnd&) = delete;
  FarEnd& operator=(const FarEnd&) = delete;

  std::size_t Had() const { return core_.Records().size(); }
  bool HungUp() const { return hungUp_.load(); }

 private:
  void HangUp() {
    comm::fake::HangUp(device_);
    hungUp_.store(true);
  }
  void Run() {
    constexpr auto kSlice = milliseconds(5);
    const std::size_t perSlice = static_cast<std::size_t>(rate_) * kSlice.count() / 1000;
    std::size_t readSince = 0;  // bytes read since the sign had plan_.records records
    steady_clock::time_point allSince{};
    auto next = steady_clock::now();
    while (!stop_.load() && !hungUp_.load()) {
      next += kSlice;
      std::this_thread::sleep_until(next);
      const std::size_t had = Had();
      std::size_t want = perSlice;
      if (plan_.records > 0 && had >= static_cast<std::size_t>(plan_.records)) {
        if (readSince >= static_cast<std::size_t>(plan_.bytes)) {
          // Whatever the device still holds is lost with the line.
          HangUp();
          break;
        }
        want = std::min(want, static_cast<std::size_t>(plan_.bytes) - readSince);
      }
      if (had == static_cast<std::size_t>(kJobRecords) && plan_.gap >= milliseconds(0)) {
        if (allSince == steady_clock::time_point{}) allSince = steady_clock::now();
        if (steady_clock::now() - allSince >= plan_.gap) {
          HangUp();
          break;
        }
      }
      char buffer[256];
      const ssize_t n = ::read(peer_, buffer, std::min(want, sizeof buffer));
      if (n <= 0) continue;
      const auto now = steady_clock::now();
      core_.Feed(1, std::string_view(buffer, static_cast<std::size_t>(n)), now);
      if (plan_.records > 0 && had >= static_cast<std::size_t>(plan_.records)) readSince += static_cast<std::size_t>(n);
      for (const auto& out : core_.TakeDue(now)) {
        [[maybe_unused]] const ssize_t w = ::write(peer_, out.bytes.data(), out.bytes.size());
      }
    }
  }

  std::int32_t device_;
  int peer_;
  int rate_;
  Plan plan_;
  signsim::SignCore core_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> hungUp_{false};
  std::thread thread_;
};

TEST_F(SerialSoak, HangUpsWhileTheDeviceStillHoldsTheLastBytes) {
  const auto [jobs, seed] = coretest::SoakSizeFromEnv(1);
  std::mt19937 random(seed);
  port_.SetDeviceLayer(comm::TDeviceLayer::dlOther);
  port_.OtherLayerInstaller = [](comm::TVnkCustomComPort&) { comm::fake::InstallFakeLayer(); };
  settings_.crcCheck = 0;  // nothing answered: the end of the send is the drain alone
  Tally tally;
  for (int i = 0; i < jobs; ++i) {
    // A fresh device for each job (the last one may have hung up).
    port_.SetOpen(false);
    ASSERT_TRUE(ApplySerialSettings(setup_, settings_));
    const std::int32_t device = comm::fake::LastOpenedDevice();
    FarEnd::Plan plan;
    std::string fault = "none";
    switch (random() % 4) {
      case 0:
        break;
      case 1:
        // A while after the sign had everything: no failure. (Closer to the
        // end than the send looks at the device, and the send cannot tell
        // its bytes left before the hang-up: it fails.)
        plan.gap = milliseconds(300 + random() % 700);
        fault = "after the end";
        break;
      default:
        // With up to 4 bytes of one of the last three records read, fewer
        // than any record has: the rest is still in the device.
        plan.records = kJobRecords - 1 - static_cast<int>(random() % 3);
        plan.bytes = static_cast<int>(random() % 5);
        fault = "after " + std::to_string(plan.records) + " records and " + std::to_string(plan.bytes) + " bytes";
        break;
    }
    FarEnd far(device, 11520, plan);  // 115200 bit/s
    const bool reported = RunJob();
    // A hang-up after the end may come after the report.
    if (plan.gap >= milliseconds(0)) {
      const auto end = steady_clock::now() + 2s;
      while (!far.HungUp() && steady_clock::now() < end) std::this_thread::sleep_for(10ms);
    }
    const std::size_t had = far.Had();
    tally.Count(fault != "none", false, reported, had,
                "job " + std::to_string(i) + ", hang-up " + fault + ", the sign had " + std::to_string(had));
  }
  port_.SetOpen(false);
  comm::InstallPosixLayer();
  tally.Print("serial soak on a queueing device", seed);
  EXPECT_EQ(tally.reports.successes, 0);
  EXPECT_EQ(tally.reports.failures, 0);
}

}  // namespace
