// One message file of 200 records sent with CRC checking on to the simulated
// sign, which answers every record, over TCP and over the serial port. The floor is what the protocol itself
// costs: the fixed 150 ms pause before each record plus the time the record's
// bytes and the one-byte answer take on a 115200 bit/s line (10 bits a byte).
// Neither a loopback socket nor a pseudo-terminal holds the bytes for their
// wire time, so it is counted in the floor but not spent.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "comm/SerialPort.h"
#include "common/CommandRecord.h"
#include "platform/MessageBoxes.h"
#include "sender/SendThrd.h"
#include "sender/SerialLink.h"
#include "sender/TcpLink.h"
#include "signsim/SignSim.h"

namespace {

constexpr int kRecords = 200;
constexpr double kBitsPerSecond = 115200.0;

// The message file and the bytes that go on the line for it.
std::size_t WriteMessageFile(const std::string& path) {
  std::string bytes;
  std::size_t onLine = 0;
  for (int i = 0; i < kRecords; ++i) {
    char text[80];
    std::snprintf(text, sizeof text, "{T,^FL^BG MESSAGE LINE %03d OF THE BENCH}", i);
    std::string record = cmdfile::EncodeRecord(text, cmdfile::CalcCRC(text));
    onLine += record.size() - 2 + 1;  // without the length word, plus the answer
    bytes += record;
  }
  std::ofstream(path, std::ios::binary) << bytes;
  return onLine;
}

sender::SendOptions CrcOptions() {
  sender::SendOptions options;
  options.crcCheck = true;
  options.crcWaitMs = 1000;
  options.signId = "07";
  return options;
}

// Runs the send once per iteration and reports it against the floor.
void Measure(benchmark::State& state, signsim::SignSim& sim, sender::Link& link, sender::ReplyBuffer& reply,
             const std::string& path, std::size_t lineBytes) {
  QObject gui;
  double seconds = 0;
  bool allSent = true;
  for (auto _ : state) {
    sim.Core().ClearLog();
    auto start = std::chrono::steady_clock::now();
    sender::TSendThrd thread(path, CrcOptions(), link, reply, &gui, nullptr);
    QEventLoop loop;
    thread.Start([&] { loop.quit(); });
    loop.exec();
    thread.WaitFor();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    allSent = allSent && thread.Result() && sim.Records().size() == static_cast<std::size_t>(kRecords);
    state.SetIterationTime(seconds);
  }
  const double pauses = kRecords * 0.150;
  const double wire = static_cast<double>(lineBytes) * 10.0 / kBitsPerSecond;
  const double floor = pauses + wire;
  state.counters["total_s"] = seconds;
  state.counters["floor_s"] = floor;
  state.counters["wire_s"] = wire;
  state.counters["overhead_pct"] = (seconds - floor) / floor * 100.0;
  // Neither loopback nor a pseudo-terminal spends the wire time, so the
  // pauses alone are the fair floor for what the sender itself adds.
  state.counters["over_pauses_pct"] = (seconds - pauses) / pauses * 100.0;
  state.counters["line_bytes"] = static_cast<double>(lineBytes);
  if (!allSent) state.SkipWithError("the send did not complete");
}

void BM_SendFileWithCrc(benchmark::State& state) {
  platform::ScopedRecordingBoxes boxes;
  const std::string path = (std::filesystem::temp_directory_path() / "controller_send_bench.msg").string();
  const std::size_t lineBytes = WriteMessageFile(path);
  signsim::SignSim sim;
  const std::uint16_t port = sim.StartTcp(0);
  QTcpSocket socket;
  socket.setProxy(QNetworkProxy::NoProxy);
  socket.connectToHost("127.0.0.1", port);
  if (!socket.waitForConnected(3000)) {
    state.SkipWithError("no connection to the simulated sign");
    return;
  }
  sender::ReplyBuffer reply;
  sender::TcpLink link(socket, reply);
  Measure(state, sim, link, reply, path, lineBytes);
  std::filesystem::remove(path);
}

// The same over the serial port component at 115200 bit/s on a pseudo-terminal.
void BM_SendFileWithCrcSerial(benchmark::State& state) {
  platform::ScopedRecordingBoxes boxes;
  const std::string path = (std::filesystem::temp_directory_path() / "controller_send_bench_serial.msg").string();
  const std::size_t lineBytes = WriteMessageFile(path);
  signsim::SignSim sim;
  const std::string slave = sim.StartPty();
  ::setenv("LEDSIGN_COM1", slave.c_str(), 1);
  sender::ReplyBuffer reply;
  comm::TVnkComPort port;
  sender::SerialLink link(port, reply);
  port.OnTriggerAvail = [&](comm::TVnkCustomComPort& p, std::uint16_t n) { link.TriggerAvail(p, n); };
  try {
    port.SetComNumber(1);
    port.SetBaud(115200);
    port.SetOpen(true);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  Measure(state, sim, link, reply, path, lineBytes);
  port.SetOpen(false);
  std::filesystem::remove(path);
}
BENCHMARK(BM_SendFileWithCrc)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SendFileWithCrcSerial)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
