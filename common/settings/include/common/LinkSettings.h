#pragma once
// What the controller and the editor both read from "SML_WIN.INI" and both do
// with it: the file's place, the numbers in it, the bit-rate table, and the
// serial set-up in its fixed order.
#include <array>
#include <stdexcept>
#include <string>

#include "common/SettingsFile.h"

namespace settings {

constexpr const char* kSettingsFileName = "SML_WIN.INI";
std::string SettingsPath(const std::string& programDir);

extern const std::array<int, 11> BaudTable;
// The bit rate of a speed index; 9600 for an index outside the table.
int BaudOf(int speedIndex);

// A decimal integer (blanks around it allowed) within [min, max]; false when
// the text is no such number.
bool ParseSetting(const std::string& text, int min, int max, int& value);

// A set-up step that failed for a reason the user can act on (the device's
// path and what is wrong with it): shown under the caller's own text.
class SetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The serial port and modem components as the serial set-up drives them.
// The adapter over the serial port component implements it; each call may
// raise the component's exception.
class SerialSetup {
 public:
  virtual ~SerialSetup() = default;
  virtual void SetComNumber(int comNumber) = 0;
  virtual void SetBaud(int baud) = 0;
  virtual void SetOpen(bool open) = 0;
  virtual void SetModemStarted(bool started) = 0;
};

// ComNumber (portIndex + 1), Baud, Open, modem started, in this order. Any
// exception is shown as `errorText` (each program has its own), a
// SetupError's reason on the line below it; false then.
bool ApplySerialSettings(SerialSetup& serial, int portIndex, int speedIndex, const char* errorText);

}  // namespace settings
