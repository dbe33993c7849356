// The dispatcher's figures: idle CPU of an open port, latency from the peer's
// byte to the GUI thread's handler, and throughput into a handler that reads
// every byte against a plain read loop on the same pseudo-terminal.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "comm/PortDispatch.h"
#include "comm/PosixLayer.h"
#include "platform/MainThreadExecutor.h"

namespace {

using Clock = std::chrono::steady_clock;

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "dispatcher_bench";
  static char* argv[] = {name, nullptr};
  static auto* app = new QCoreApplication(argc, argv);
  return *app;
}

platform::MainThreadExecutor& Gui() {
  App();
  static auto* executor = new platform::MainThreadExecutor;
  return *executor;
}

struct Pty {
  int master = -1, slave = -1;
  std::string path;
  Pty() {
    char name[128] = {};
    ::openpty(&master, &slave, name, nullptr, nullptr);
    path = name;
    termios tio{};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
  }
  ~Pty() {
    ::close(master);
    ::close(slave);
  }
  void WriteAll(const char* data, std::size_t n) const {
    while (n > 0) {
      const ssize_t k = ::write(master, data, n);
      if (k > 0) {
        data += k;
        n -= static_cast<std::size_t>(k);
      } else {
        pollfd p = {master, POLLOUT, 0};
        ::poll(&p, 1, 100);
      }
    }
  }
};

std::uint16_t Open(const Pty& pty) {
  comm::InstallPosixLayer();
  std::uint16_t port = 0;
  if (comm::OpenPortRecord(port, pty.path, 4096, 4096, 115200, 0, 8, 1) != 0) return 0;
  comm::ClearDispatchOption(port, comm::kOptDirectReads);
  return port;
}

// Counters are the median of the repetitions, not the last one's.
double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double CpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// An open port with no traffic, watched for 10 s.
void BM_IdlePort(benchmark::State& state) {
  Pty pty;
  const std::uint16_t port = Open(pty);
  if (port == 0) return state.SkipWithError("open failed");
  double percent = 0;
  for (auto _ : state) {
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    percent = 100.0 * (CpuSeconds() - cpu) / wall;
    state.SetIterationTime(wall);
  }
  state.counters["cpu_percent_of_one_core"] = percent;
  comm::ClosePortRecord(port);
}
BENCHMARK(BM_IdlePort)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

class StampWindow : public comm::TriggerWindow {
 public:
  explicit StampWindow(std::uint16_t port) : TriggerWindow(Gui()), port_(port) {}
  std::int32_t WindowProc(std::uint32_t message, std::uint32_t wParam, std::uint32_t) override {
    if ((message & 0xFFFF) != comm::MsgTriggerAvail) return 0;
    std::uint8_t buffer[8192];
    const std::int32_t n = comm::ReadBlock(port_, buffer, static_cast<std::uint16_t>(wParam));
    if (n > 0) {
      received.insert(received.end(), buffer, buffer + n);
      stamp = Clock::now();
    }
    return 0;
  }
  std::vector<std::uint8_t> received;
  Clock::time_point stamp{};

 private:
  std::uint16_t port_;
};

// One byte from the peer to the GUI thread's handler, the GUI thread idle in
// its event loop meanwhile.
void BM_ByteToGuiHandlerLatency(benchmark::State& state) {
  Pty pty;
  const std::uint16_t port = Open(pty);
  if (port == 0) return state.SkipWithError("open failed");
  StampWindow window(port);
  comm::RegisterTriggerWindow(port, &window, nullptr, true);
  comm::SetTriggerLength(port, 1);
  std::vector<double> samples;
  for (auto _ : state) {
    const std::size_t before = window.received.size();
    const auto sent = Clock::now();
    pty.WriteAll("x", 1);
    while (window.received.size() == before)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double us = std::chrono::duration<double, std::micro>(window.stamp - sent).count();
    samples.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  std::sort(samples.begin(), samples.end());
  if (!samples.empty()) {
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p99_us"] = samples[samples.size() * 99 / 100];
  }
  comm::DeregisterTriggerHandler(port, &window, nullptr);
  comm::ClosePortRecord(port);
}
BENCHMARK(BM_ByteToGuiHandlerLatency)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);

constexpr std::size_t kVolume = 8u << 20;
std::size_t g_deliveries = 0;

std::string Payload() {
  std::string s(kVolume, '\0');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>((i * 31 + i / 4093) & 0xFF);
  return s;
}

// The reference: a plain non-blocking read loop on the slave.
double PlainReadSeconds(const std::string& payload, bool& inOrder) {
  Pty pty;
  ::fcntl(pty.slave, F_SETFL, ::fcntl(pty.slave, F_GETFL) | O_NONBLOCK);
  std::string got;
  got.reserve(payload.size());
  const auto start = Clock::now();
  std::thread writer([&] { pty.WriteAll(payload.data(), payload.size()); });
  char buffer[8192];
  while (got.size() < payload.size()) {
    pollfd p = {pty.slave, POLLIN, 0};
    ::poll(&p, 1, 100);
    const ssize_t n = ::read(pty.slave, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  inOrder = got == payload;
  return seconds;
}

double DispatcherSeconds(const std::string& payload, bool& inOrder, bool perByte) {
  Pty pty;
  const std::uint16_t port = Open(pty);
  if (port == 0) return -1;
  struct Reader : comm::TriggerWindow {
    Reader(std::uint16_t p, bool single) : TriggerWindow(Gui()), port(p), perByte(single) {}
    std::int32_t WindowProc(std::uint32_t message, std::uint32_t wParam, std::uint32_t) override {
      if ((message & 0xFFFF) != comm::MsgTriggerAvail) return 0;
      ++deliveries;
      if (perByte) {
        for (std::uint32_t i = 0; i < wParam; ++i) {
          std::uint8_t b;
          if (comm::ReadChar(port, b) == 0) got.push_back(static_cast<char>(b));
        }
      } else {
        // Everything there by now: more may have come since the offer.
        (void)wParam;
        std::uint8_t buffer[8192];
        const std::int32_t n = comm::ReadBlock(port, buffer, sizeof buffer);
        if (n > 0) got.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
      }
      return 0;
    }
    std::uint16_t port;
    bool perByte;
    std::string got;
    std::size_t deliveries = 0;
  } reader(port, perByte);
  reader.got.reserve(payload.size());
  comm::RegisterTriggerWindow(port, &reader, nullptr, true);
  comm::SetTriggerLength(port, 1);
  const auto start = Clock::now();
  std::thread writer([&] { pty.WriteAll(payload.data(), payload.size()); });
  while (reader.got.size() < payload.size())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  inOrder = reader.got == payload;
  g_deliveries = reader.deliveries;
  comm::DeregisterTriggerHandler(port, &reader, nullptr);
  comm::ClosePortRecord(port);
  return seconds;
}

// A procedure handler on the dispatch thread, for comparison.
std::atomic<std::size_t> g_procGot{0};
std::string* g_procSink = nullptr;
std::int32_t BlockProc(std::intptr_t, std::uint32_t message, std::uint32_t wParam, std::uint32_t) {
  if ((message & 0xFFFF) != comm::MsgTriggerAvail) return 0;
  std::uint8_t buffer[8192];
  const std::int32_t n = comm::ReadBlock(static_cast<std::uint16_t>(message >> 16), buffer,
                                         static_cast<std::uint16_t>(wParam));
  if (n > 0) {
    g_procSink->append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
    g_procGot += static_cast<std::size_t>(n);
    ++g_deliveries;
  }
  return 0;
}

void BM_ThroughputProcedureHandler(benchmark::State& state) {
  const std::string payload = Payload();
  double seconds = 0;
  std::vector<double> runs, perDelivery;
  bool ok = true;
  for (auto _ : state) {
    Pty pty;
    const std::uint16_t port = Open(pty);
    std::string sink;
    sink.reserve(payload.size());
    g_procSink = &sink;
    g_procGot = 0;
    g_deliveries = 0;
    comm::RegisterTriggerWindow(port, nullptr, BlockProc, true);
    comm::SetTriggerLength(port, 1);
    const auto start = Clock::now();
    std::thread writer([&] { pty.WriteAll(payload.data(), payload.size()); });
    while (g_procGot.load() < payload.size()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    writer.join();
    comm::ClosePortRecord(port);
    ok = ok && sink == payload;
    state.SetIterationTime(seconds);
    runs.push_back(static_cast<double>(kVolume) / (1 << 20) / seconds);
    perDelivery.push_back(g_deliveries ? static_cast<double>(kVolume) / static_cast<double>(g_deliveries) : 0);
  }
  state.counters["handler_MiB_per_s"] = Median(runs);
  state.counters["bytes_per_delivery"] = Median(perDelivery);
  state.counters["in_order"] = ok ? 1 : 0;
}
BENCHMARK(BM_ThroughputProcedureHandler)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void Throughput(benchmark::State& state, bool perByte) {
  const std::string payload = Payload();
  const double mib = static_cast<double>(kVolume) / (1 << 20);
  std::vector<double> plainRates, ourRates, perDelivery;
  bool plainOk = true, oursOk = true;
  for (auto _ : state) {
    bool plainRun = false, ourRun = false;
    const double plain = PlainReadSeconds(payload, plainRun);
    const double ours = DispatcherSeconds(payload, ourRun, perByte);
    plainOk = plainOk && plainRun;
    oursOk = oursOk && ourRun;
    state.SetIterationTime(ours);
    plainRates.push_back(mib / plain);
    ourRates.push_back(mib / ours);
    perDelivery.push_back(g_deliveries ? static_cast<double>(kVolume) / static_cast<double>(g_deliveries) : 0);
  }
  state.counters["plain_MiB_per_s"] = Median(plainRates);
  state.counters["handler_MiB_per_s"] = Median(ourRates);
  state.counters["ratio"] = Median(ourRates) / Median(plainRates);
  state.counters["bytes_per_delivery"] = Median(perDelivery);
  state.counters["in_order"] = plainOk && oursOk ? 1 : 0;
  if (!oursOk) state.SkipWithError("bytes lost or out of order");
}

void BM_ThroughputBlockReads(benchmark::State& state) { Throughput(state, false); }
void BM_ThroughputCharReads(benchmark::State& state) { Throughput(state, true); }
BENCHMARK(BM_ThroughputBlockReads)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThroughputCharReads)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  App();
  Gui();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
