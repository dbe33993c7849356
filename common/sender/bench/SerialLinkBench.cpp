// The serial link's figures on a pseudo-terminal, each beside a plain read
// loop on the same kind of line in the same run: throughput and CPU per MiB
// of a full-speed stream into the controller's avail handler (the serial
// link's, through the serial port component), and the latency of one byte
// every 10 ms with the threads idle in between. The CPU figures are the
// receiving side's alone on both sides: the process's CPU time less the
// writer thread's own. Every counter is the median of the repetitions.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "comm/SerialPort.h"
#include "sender/ReplyBuffer.h"
#include "sender/SerialLink.h"
#include "signsim/Pty.h"

namespace {

using Clock = std::chrono::steady_clock;

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "serial_link_bench";
  static char* argv[] = {name, nullptr};
  static auto* app = new QCoreApplication(argc, argv);
  return *app;
}

double CpuSeconds(clockid_t clock) {
  timespec ts{};
  ::clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}


double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Percentile99(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, v.size() * 99 / 100)];
}

void WriteAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t k = ::write(fd, data, n);
    if (k > 0) {
      data += k;
      n -= static_cast<std::size_t>(k);
    } else {
      pollfd p = {fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

// Writes the payload to the pseudo-terminal's master on a thread of its own
// and keeps that thread's CPU time, which the receiver's figure leaves out.
class Writer {
 public:
  Writer(int fd, const std::string& payload)
      : thread_([this, fd, &payload] {
          const double start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
          WriteAll(fd, payload.data(), payload.size());
          cpu_ = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
        }) {}
  // Joins the thread; its CPU seconds.
  double Join() {
    thread_.join();
    return cpu_;
  }

 private:
  double cpu_ = 0;
  std::thread thread_;
};

// A slave side opened as a plain reader would open it.
int OpenPlain(const signsim::Pty& pty) {
  return ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// The serial port component on COM 20, as the controller sets it up, with
// the serial link's avail handler; `seen` counts the bytes it was handed.
struct LinkedPort {
  explicit LinkedPort(const signsim::Pty& pty) {
    ::setenv("LEDSIGN_COM20", pty.SlavePath().c_str(), 1);
    port.SetInSize(20000);
    port.SetOutSize(20000);
    port.SetBaud(115200);
    port.SetComNumber(20);
    port.OnTriggerAvail = [this](comm::TVnkCustomComPort& p, std::uint16_t n) {
      link.TriggerAvail(p, n);
      seen += n;
      stamp = Clock::now();
    };
    port.SetOpen(true);
  }
  ~LinkedPort() { port.SetOpen(false); }
  comm::TVnkComPort port;
  sender::ReplyBuffer reply{true};  // as during a send: every byte goes to the buffer
  sender::SerialLink link{port, reply};
  std::size_t seen = 0;
  Clock::time_point stamp{};
};

constexpr std::size_t kVolume = 8u << 20;
constexpr double kMiB = static_cast<double>(kVolume) / (1 << 20);

struct Cost {
  double wallMs = 0, cpuMs = 0;  // per MiB; the CPU is the receiving side's alone
};

Cost PlainStream(const std::string& payload) {
  signsim::Pty pty;
  const int fd = OpenPlain(pty);
  std::size_t got = 0;
  const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto start = Clock::now();
  Writer writer(pty.Master(), payload);
  char buffer[8192];
  while (got < payload.size()) {
    pollfd p = {fd, POLLIN, 0};
    ::poll(&p, 1, 100);
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double writerCpu = writer.Join();
  const double used = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu - writerCpu;
  ::close(fd);
  return {wall * 1000 / kMiB, used * 1000 / kMiB};
}

Cost LinkStream(const std::string& payload) {
  signsim::Pty pty;
  LinkedPort linked(pty);
  const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto start = Clock::now();
  Writer writer(pty.Master(), payload);
  while (linked.seen < payload.size()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double writerCpu = writer.Join();
  const double used = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu - writerCpu;
  return {wall * 1000 / kMiB, used * 1000 / kMiB};
}

void BM_StreamIntoTheSerialLink(benchmark::State& state) {
  std::string payload(kVolume, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>((i * 31 + i / 4093) & 0xFF);
  std::vector<double> plainWall, plainCpu, linkWall, linkCpu;
  for (auto _ : state) {
    const Cost plain = PlainStream(payload);
    const Cost link = LinkStream(payload);
    plainWall.push_back(plain.wallMs);
    plainCpu.push_back(plain.cpuMs);
    linkWall.push_back(link.wallMs);
    linkCpu.push_back(link.cpuMs);
    state.SetIterationTime(link.wallMs * kMiB / 1000);
  }
  state.counters["plain_ms_per_MiB"] = Median(plainWall);
  state.counters["plain_cpu_ms_per_MiB"] = Median(plainCpu);
  state.counters["link_ms_per_MiB"] = Median(linkWall);
  state.counters["link_cpu_ms_per_MiB"] = Median(linkCpu);
  state.counters["times_plain"] = Median(linkWall) / Median(plainWall);
  state.counters["cpu_times_plain"] = Median(linkCpu) / Median(plainCpu);
}
BENCHMARK(BM_StreamIntoTheSerialLink)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

constexpr int kSparseBytes = 300;
constexpr auto kSparseGap = std::chrono::milliseconds(10);

// Latencies in microseconds of one byte every 10 ms, read by a plain loop.
std::vector<double> PlainSparse() {
  signsim::Pty pty;
  const int fd = OpenPlain(pty);
  std::vector<double> samples;
  for (int i = 0; i < kSparseBytes; ++i) {
    std::this_thread::sleep_for(kSparseGap);
    const auto sent = Clock::now();
    WriteAll(pty.Master(), "x", 1);
    char byte;
    for (;;) {
      pollfd p = {fd, POLLIN, 0};
      ::poll(&p, 1, 1000);
      if (::read(fd, &byte, 1) == 1) break;
    }
    samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
  }
  ::close(fd);
  return samples;
}

// The same into the serial link's handler, the main thread idle in its loop.
std::vector<double> LinkSparse() {
  signsim::Pty pty;
  LinkedPort linked(pty);
  std::vector<double> samples;
  std::atomic<bool> stop{false};
  std::vector<Clock::time_point> sent(kSparseBytes);
  std::thread writer([&] {
    for (int i = 0; i < kSparseBytes && !stop.load(); ++i) {
      std::this_thread::sleep_for(kSparseGap);
      sent[static_cast<std::size_t>(i)] = Clock::now();
      WriteAll(pty.Master(), "x", 1);
    }
  });
  // The writer stamps before it writes, the handler after it read: the
  // difference is the byte's way through the port's threads to the handler.
  std::size_t counted = 0;
  const auto end = Clock::now() + std::chrono::seconds(30);
  while (counted < static_cast<std::size_t>(kSparseBytes) && Clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    while (counted < linked.seen) {
      samples.push_back(std::chrono::duration<double, std::micro>(linked.stamp - sent[counted]).count());
      ++counted;
    }
  }
  stop.store(true);
  writer.join();
  return samples;
}

void BM_OneByteEvery10ms(benchmark::State& state) {
  std::vector<double> plainMedian, plainP99, linkMedian, linkP99;
  for (auto _ : state) {
    const auto plain = PlainSparse();
    const auto link = LinkSparse();
    plainMedian.push_back(Median(plain));
    plainP99.push_back(Percentile99(plain));
    linkMedian.push_back(Median(link));
    linkP99.push_back(Percentile99(link));
    state.SetIterationTime(Median(link) / 1e6);
  }
  state.counters["plain_median_us"] = Median(plainMedian);
  state.counters["plain_p99_us"] = Median(plainP99);
  state.counters["link_median_us"] = Median(linkMedian);
  state.counters["link_p99_us"] = Median(linkP99);
}
BENCHMARK(BM_OneByteEvery10ms)->Iterations(3)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  App();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ::unsetenv("LEDSIGN_COM20");
  return 0;
}
