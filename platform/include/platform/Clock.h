#pragma once
// The local date and time, behind an interface so that writers stamping the
// date into commands can be tested at a fixed moment.
namespace platform {

struct LocalTime {
  int year = 2000;
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int weekday = 6;  // 0 = Sunday .. 6 = Saturday
  int hour = 0;     // 0..23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  LocalTime Now() const override;
};

class FixedClock : public Clock {
 public:
  explicit FixedClock(LocalTime t) : t_(t) {}
  LocalTime Now() const override { return t_; }
  void Set(LocalTime t) { t_ = t; }

 private:
  LocalTime t_;
};

// The program's clock (a SystemClock unless a test installed another).
const Clock& DefaultClock();

}  // namespace platform
