#pragma once
// The library's clock and its waiting: ticks of 55 ms from a monotonic
// millisecond counter, tick timers that survive the counter's wrap, and waits
// that sleep (optionally running the caller's event loop) instead of spinning.
#include <cstdint>
#include <string>

namespace comm {

// Milliseconds of the tick source, 31 bits (0..0x7FFFFFFF, then 0 again).
std::uint32_t TickNow();

constexpr std::uint32_t kMsPerTick = 55;
// Highest tick value: ticks run 0..kMaxTick and then start again at 0.
constexpr std::uint32_t kMaxTick = 0x7FFFFFFFu / kMsPerTick;  // 39045157
// Number of distinct tick values (the wrap period).
constexpr std::uint32_t kTickPeriod = kMaxTick + 1;
// Longest timer. One less than a whole period, so that even the longest timer
// can be seen to expire (a period-long timer would look new again at expiry).
constexpr std::uint32_t kLongestTimer = kMaxTick - 1;

// The current tick: TickNow() / 55.
std::uint32_t CurrentTick();

struct TickTimer {
  std::uint32_t start = 0;   // tick at the start
  std::uint32_t expiry = 0;  // start + length; may lie beyond kMaxTick
};

// start := current tick; expiry := start + min(ticks, kLongestTimer).
void StartTickTimer(TickTimer& timer, std::uint32_t ticks);
// Expired once more than the timer's length has passed since its start,
// counting across one wrap of the tick counter.
bool TickTimerExpired(const TickTimer& timer);
// The same test against a given tick (for tests and for callers that hold one).
bool TickTimerExpiredAt(const TickTimer& timer, std::uint32_t nowTick);

constexpr std::int32_t kWmQuit = 18;

// Waits `ticks` ticks; 0 when the time ran out, 18 when the program was asked
// to quit while pumping (the program's own loop still ends). Ticks below 1
// return 0 at once. Sleeps between looks at the clock.
std::int32_t WaitTicks(std::int32_t ticks, bool pump);

// Runs one pass of the calling thread's event loop: 18 when a quit was seen,
// else 0. Does nothing (0) when there is no application object.
std::int32_t PumpOneMessage();

// Standard integer conversion of a text (blanks, sign, decimal or "$"/"0x"
// hexadecimal). On failure `value` holds the 0-based position of the first
// character that did not convert (65535 for a text longer than 255).
bool TextToNumber(const std::string& text, std::int32_t& value);

// True when the path exists and is not a directory (nor a device or other
// special file: the stand-in for a system file).
bool FileExistsPlain(const std::string& path);

// True when (value AND flag) is not 0.
constexpr bool FlagIsSet(std::uint32_t value, std::uint32_t flag) { return (value & flag) != 0; }

// Test hook: replaces the millisecond source (nullptr restores the monotonic
// clock). The function must return values in 0..0x7FFFFFFF.
using TickSource = std::uint32_t (*)();
void SetTickSourceForTests(TickSource source);

}  // namespace comm
