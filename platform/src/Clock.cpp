#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace platform {

LocalTime SystemClock::Now() const {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  LocalTime lt;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon + 1;
  lt.day = tm.tm_mday;
  lt.weekday = tm.tm_wday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.millisecond = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  return lt;
}

const Clock& DefaultClock() {
  static const SystemClock clock;
  return clock;
}

}  // namespace platform
