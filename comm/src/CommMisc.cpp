#include "comm/CommMisc.h"

#include <sys/stat.h>
#include <time.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>

namespace comm {
namespace {

std::atomic<TickSource> g_tickSource{nullptr};

std::uint32_t MonotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms =
      static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms & 0x7FFFFFFFu);
}

}  // namespace

void SetTickSourceForTests(TickSource source) { g_tickSource.store(source); }

std::uint32_t TickNow() {
  const TickSource source = g_tickSource.load();
  return (source ? source() : MonotonicMs()) & 0x7FFFFFFFu;
}

std::uint32_t CurrentTick() { return TickNow() / kMsPerTick; }

void StartTickTimer(TickTimer& timer, std::uint32_t ticks) {
  timer.start = CurrentTick();
  timer.expiry = timer.start + std::min(ticks, kLongestTimer);
}

bool TickTimerExpiredAt(const TickTimer& timer, std::uint32_t nowTick) {
  // Ticks passed since the start, counting one wrap of the counter.
  const std::uint32_t elapsed =
      nowTick >= timer.start ? nowTick - timer.start : nowTick + kTickPeriod - timer.start;
  const std::uint32_t length = timer.expiry - timer.start;
  return elapsed > length;
}

bool TickTimerExpired(const TickTimer& timer) { return TickTimerExpiredAt(timer, CurrentTick()); }

namespace {

// One pass of the calling thread's events, waiting at most `waitMs` for some.
// A nested loop is used rather than processEvents() because a quit request
// (QCoreApplication::exit) reaches every running loop of the thread: ours
// reports it, and the program's own loop still ends once we return.
std::int32_t RunEventsFor(int waitMs) {
  if (QCoreApplication::instance() == nullptr) {
    if (waitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return 0;
  }
  constexpr int kPassDone = std::numeric_limits<int>::min() + 18;
  QEventLoop loop;
  QTimer::singleShot(std::max(waitMs, 0), &loop, [&loop] { loop.exit(kPassDone); });
  const int result = loop.exec();
  return result == kPassDone ? 0 : kWmQuit;
}

}  // namespace

std::int32_t PumpOneMessage() { return RunEventsFor(0); }

std::int32_t WaitTicks(std::int32_t ticks, bool pump) {
  if (ticks < 1) return 0;
  TickTimer timer;
  StartTickTimer(timer, static_cast<std::uint32_t>(ticks));
  std::int32_t last = 0;
  for (;;) {
    if (TickTimerExpired(timer)) return last;
    // Sleep until the tick after expiry, at most one tick at a time, so a
    // clock near its wrap is looked at again soon.
    const std::uint32_t now = TickNow();
    const std::uint32_t msIntoTick = now % kMsPerTick;
    const int waitMs = static_cast<int>(kMsPerTick - msIntoTick);
    if (pump) {
      last = RunEventsFor(waitMs);
      if (last == kWmQuit) return last;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
  }
}

bool TextToNumber(const std::string& text, std::int32_t& value) {
  if (text.size() > 255) {
    value = 65535;
    return false;
  }
  std::string s = text;
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
  const auto hex = s.find("0x");
  if (hex != std::string::npos) s.replace(hex, 2, "$");

  // Leading blanks, an optional sign, then decimal digits or '$' and hex digits.
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  }
  const std::size_t digitsStart = i;
  std::uint64_t magnitude = 0;
  const std::uint64_t limit = negative ? 0x80000000u : (base == 16 ? 0xFFFFFFFFu : 0x7FFFFFFFu);
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int digit;
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(c)) {
      digit = std::tolower(c) - 'a' + 10;
    } else {
      break;
    }
    const std::uint64_t next = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (next > limit) break;  // out of range: this character did not convert
    magnitude = next;
  }
  if (i == s.size() && i > digitsStart) {
    const std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
    return true;
  }
  // 0-based position of the first character that did not convert; an empty
  // text (or one of only a sign) fails at its end.
  value = static_cast<std::int32_t>(i);
  return false;
}

bool FileExistsPlain(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return false;
  return S_ISREG(st.st_mode);
}

}  // namespace comm
