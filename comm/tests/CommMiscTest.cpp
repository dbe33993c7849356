#include "comm/CommMisc.h"

#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace comm;

std::atomic<std::uint32_t> g_fakeMs{0};
std::uint32_t FakeMs() { return g_fakeMs.load(); }

struct FakeClock {
  FakeClock() { SetTickSourceForTests(FakeMs); }
  ~FakeClock() { SetTickSourceForTests(nullptr); }
  void AtTick(std::uint32_t tick) { g_fakeMs = tick * kMsPerTick; }
};

TEST(CommMisc, TickRange) {
  EXPECT_EQ(kMaxTick, 39045157u);
  FakeClock clock;
  g_fakeMs = 0x7FFFFFFFu;
  EXPECT_EQ(CurrentTick(), kMaxTick);
  g_fakeMs = 0xFFFFFFFFu;  // the top bit is never seen
  EXPECT_EQ(TickNow(), 0x7FFFFFFFu);
}

TEST(CommMisc, TickTimersAcrossTheWrap) {
  struct Case {
    std::uint32_t start, ticks, now;
    bool expired;
  };
  const Case cases[] = {
      {100, 2, 100, false},
      {100, 2, 102, false},
      {100, 2, 103, true},
      // Started 2 ticks before the counter's last value: expires 2 ticks on.
      {kMaxTick - 1, 2, kMaxTick, false},
      {kMaxTick - 1, 2, 0, false},
      {kMaxTick - 1, 2, 1, true},
      {kMaxTick - 1, 2, 5000, true},
      // Started after a wrap is due: a long timer does not expire early.
      {kMaxTick - 10, 100, 50, false},
      {kMaxTick - 10, 100, 90, true},
      {kMaxTick, 0, 0, true},
      // The longest timer still expires: just before it comes round again.
      {10, 0xFFFFFFFFu, 9, true},
      {10, 0xFFFFFFFFu, 8, false},
      {0, kMaxTick, kMaxTick, true},
  };
  FakeClock clock;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << "+" << c.ticks << " at " << c.now);
    clock.AtTick(c.start);
    TickTimer timer;
    StartTickTimer(timer, c.ticks);
    EXPECT_EQ(timer.start, c.start);
    clock.AtTick(c.now);
    EXPECT_EQ(TickTimerExpired(timer), c.expired);
    EXPECT_EQ(TickTimerExpiredAt(timer, c.now), c.expired);
  }
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

TEST(CommMisc, WaitTicksSleepsForItsTicks) {
  const auto wall0 = std::chrono::steady_clock::now();
  const double cpu0 = ThreadCpuSeconds();
  EXPECT_EQ(WaitTicks(18, false), 0);
  const double cpu = ThreadCpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  EXPECT_GE(wall, 18 * 0.055 - 0.056);  // a tick's rounding at the start
  EXPECT_LE(wall, 1.3);
  EXPECT_LT(cpu, 0.1) << "the wait burnt the CPU";
}

TEST(CommMisc, WaitTicksBelowOneReturnsAtOnce) {
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitTicks(0, true), 0);
  EXPECT_EQ(WaitTicks(-5, false), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(20));
}

TEST(CommMisc, PumpingWaitRunsEventsAndEndsOnQuit) {
  int argc = 1;
  char name[] = "comm_tests";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  // Without a quit the pumping wait runs the thread's events and lasts its time.
  bool timerRan = false;
  QTimer::singleShot(20, [&] { timerRan = true; });
  const double cpu0 = ThreadCpuSeconds();
  EXPECT_EQ(WaitTicks(4, true), 0);
  EXPECT_TRUE(timerRan);
  EXPECT_LT(ThreadCpuSeconds() - cpu0, 0.1);

  // A quit during the wait ends it with 18 and still ends the program's loop.
  std::int32_t result = -1;
  std::chrono::steady_clock::duration waited{};
  bool loopEnded = false;
  QTimer::singleShot(0, [&] {
    const auto t0 = std::chrono::steady_clock::now();
    result = WaitTicks(200, true);  // 11 s unless the quit ends it
    waited = std::chrono::steady_clock::now() - t0;
  });
  QTimer::singleShot(100, [] { QCoreApplication::quit(); });
  QTimer::singleShot(5000, [&] { QCoreApplication::exit(99); });  // safety net
  const int code = app.exec();
  loopEnded = true;
  EXPECT_TRUE(loopEnded);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(result, kWmQuit);
  EXPECT_LT(waited, std::chrono::seconds(2));
}

TEST(CommMisc, TextToNumber) {
  struct Case {
    std::string text;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {
      {"0x1F", true, 31},
      {"12ab", false, 2},
      {std::string(300, '1'), false, 65535},
      {"42", true, 42},
      {"  -42 \t\r\n", true, -42},
      {"$ff", true, 255},
      {"0X1F", false, 1},
      {"", false, 0},
      {"-", false, 1},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 9},
      {"0xFFFFFFFF", true, -1},
      {"1 2", false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    std::int32_t value = 12345;
    EXPECT_EQ(TextToNumber(c.text, value), c.ok);
    EXPECT_EQ(value, c.value);
  }
}

TEST(CommMisc, FileExistsPlain) {
  const auto dir = std::filesystem::temp_directory_path() / ("comm_misc_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "a.txt";
  std::ofstream(file) << "x";
  EXPECT_TRUE(FileExistsPlain(file.string()));
  EXPECT_FALSE(FileExistsPlain(dir.string()));
  EXPECT_FALSE(FileExistsPlain((dir / "missing").string()));
  EXPECT_FALSE(FileExistsPlain("/dev/null"));
  std::filesystem::remove_all(dir);
}

}  // namespace
