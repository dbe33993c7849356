// Many jobs in a row, over TCP and over a serial line (a pseudo-terminal),
// with CRC checking on and off, each with a fault drawn at random: the sign
// hangs up or closes right after a record, refuses a record, or nothing goes
// wrong. Every job's report must say what really happened: complete exactly
// when the sign had every record of the job.
//
// LEDSIGN_SOAK_JOBS sets the number of jobs (a handful by default, so the
// suite stays quick); LEDSIGN_SOAK_SEED the random seed.
#include <gtest/gtest.h>

#include <QEventLoop>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "SerialJobRig.h"
#include "signsim/SignSim.h"

namespace {

using namespace controller;
using namespace std::chrono;

enum class Fault { None, CloseAfterRecord, RefuseRecord };

struct Plan {
  bool tcp = false;
  bool crc = false;
  Fault fault = Fault::None;
  int atRecord = 0;  // 1-based record of the job the fault comes with
  std::vector<std::string> files;
  int records = 0;  // every record of the job
};

class Soak : public coretest::SerialJobRig {
 protected:
  void SetUp() override {
    const std::uint16_t tcpPort = tcpSign_.StartTcp(0);
    serialSign_ = coretest::SignOnCom1();  // COM1 leads to a sign of its own
    table_[0] = {"Front", "127.0.0.1", ""};
    settings_.portIndex = 0;
    settings_.speedIndex = 10;
    settings_.crcWaitMs = 300;
    WireRunner();
    runner_->SetTcpPortForTests(tcpPort);
    settings_.linkKind = 0;
    ASSERT_TRUE(ApplySerialSettings(setup_, settings_));
  }
  Plan Draw(std::mt19937& random) {
    Plan p;
    p.tcp = random() % 2 == 0;
    p.crc = random() % 2 == 0;
    const int fileCount = 1 + static_cast<int>(random() % 3);
    int body = 0;
    for (int f = 0; f < fileCount; ++f) {
      const int recordCount = 1 + static_cast<int>(random() % 3);
      std::vector<std::uint8_t> bytes;
      for (int r = 0; r < recordCount; ++r) {
        const std::string text = "{T," + std::string(1 + random() % 40, static_cast<char>('A' + (f * 3 + r))) + "}";
        const auto record = testbytes::Record(text, testbytes::BitwiseCrc(text.substr(1, text.size() - 2)));
        bytes.insert(bytes.end(), record.begin(), record.end());
      }
      body += recordCount;
      p.files.push_back(files_.Write("m" + std::to_string(f) + ".msg", bytes));
    }
    p.records = 1 + body + 2;  // the wake-up, the files, the sequence and the end
    const int kind = static_cast<int>(random() % 3);
    if (kind == 1) {
      p.fault = Fault::CloseAfterRecord;
      // Half the faults come with the job's last two records, where a report
      // most easily says more than the sign had.
      p.atRecord = random() % 2 ? p.records - static_cast<int>(random() % 2)
                                : 1 + static_cast<int>(random() % p.records);
      // A serial sign that hangs up with the job's last record may or may not
      // have answered it: only the earlier records are a fault with one outcome.
      if (!p.tcp && p.crc && p.atRecord == p.records) --p.atRecord;
    } else if (kind == 2 && p.crc) {
      p.fault = Fault::RefuseRecord;
      p.atRecord = 1 + static_cast<int>(random() % p.records);
    }
    return p;
  }

  // Runs one job; returns the outcome expected and sets `got`.
  bool RunOne(const Plan& p, bool& got, std::size_t& signHad) {
    signsim::SignSim& sign = p.tcp ? tcpSign_ : *serialSign_;
    sign.Core().ClearLog();
    sign.SetScript(std::vector<signsim::Answer>{});
    tcpSign_.SetDropAfter(0);
    settings_.linkKind = p.tcp ? 1 : 0;
    settings_.crcCheck = p.crc ? 1 : 0;
    if (p.fault == Fault::RefuseRecord) {
      std::string script;
      for (int i = 1; i < p.atRecord; ++i) script += "0,";
      script += "1,1,1";
      sign.SetScript(script);
    }
    if (p.fault == Fault::CloseAfterRecord && p.tcp) tcpSign_.SetDropAfter(p.atRecord);
    coretest::HangUpWhenTheSignHas watch(*serialSign_,
                                         p.fault == Fault::CloseAfterRecord && !p.tcp ? p.atRecord : 0);
    JobRequest r{0, "07", p.files, {}, "", "", 0};
    finished_ = false;
    EXPECT_TRUE(runner_->RequestJob(kJobSequence, r));
    EXPECT_TRUE(WaitForJob(30s));
    watch.Stop();
    signHad = sign.Records().size();
    got = success_;
    if (watch.HungUp()) serialSign_ = coretest::SignOnCom1();
    // Wait for the controller's close so the next connect finds no busy socket.
    const auto closed = steady_clock::now() + 3s;
    while (runner_->CS().state() != QAbstractSocket::UnconnectedState && steady_clock::now() < closed)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // A close after the last record still leaves the whole job with the sign.
    return p.fault == Fault::None || (p.fault == Fault::CloseAfterRecord && p.atRecord >= p.records);
  }

  signsim::SignSim tcpSign_;
  std::unique_ptr<signsim::SignSim> serialSign_;
};

TEST_F(Soak, EveryReportSaysWhatTheSignReallyHad) {
  const auto [jobs, seed] = coretest::SoakSizeFromEnv(6);
  std::mt19937 random(seed);
  coretest::FalseReports reports;
  int faulted = 0;
  int byKind[2][2] = {};  // [tcp][crc]
  for (int i = 0; i < jobs; ++i) {
    const Plan p = Draw(random);
    bool got = false;
    std::size_t signHad = 0;
    const bool expected = RunOne(p, got, signHad);
    ++byKind[p.tcp][p.crc];
    if (p.fault != Fault::None) ++faulted;
    const std::string what = std::string("job ") + std::to_string(i) + (p.tcp ? " tcp" : " serial") +
                             (p.crc ? " crc" : " no-crc") + " fault " + std::to_string(static_cast<int>(p.fault)) +
                             " at " + std::to_string(p.atRecord) + "/" + std::to_string(p.records) +
                             ", the sign had " + std::to_string(signHad);
    reports.Check(got, expected, what);
    // A job reported complete had every record at the sign.
    if (got) {
      EXPECT_EQ(signHad, static_cast<std::size_t>(p.records)) << what;
    }
  }
  std::printf("soak: %d jobs (seed %u): tcp/crc %d, tcp/no-crc %d, serial/crc %d, serial/no-crc %d; %d with a fault; "
              "%d false successes, %d false failures\n",
              jobs, seed, byKind[1][1], byKind[1][0], byKind[0][1], byKind[0][0], faulted, reports.successes,
              reports.failures);
  EXPECT_EQ(reports.successes, 0);
  EXPECT_EQ(reports.failures, 0);
}

}  // namespace
