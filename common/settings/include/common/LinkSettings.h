#pragma once
// What the controller and the editor both read from "SML_WIN.INI" and both do
// with it: the file's place, the numbers in it, the bit-rate table, and the
// serial set-up in its fixed order.
#include <array>
#include <string>

namespace settings {

constexpr const char* kSettingsFileName = "SML_WIN.INI";
std::string SettingsPath(const std::string& programDir);

extern const std::array<int, 11> BaudTable;
// The bit rate of a speed index; 9600 for an index outside the table.
int BaudOf(int speedIndex);

// A decimal integer (blanks around it allowed) within [min, max]; false when
// the text is no such number.
bool ParseSetting(const std::string& text, int min, int max, int& value);

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
// exception is shown as `errorText` (each program has its own); false then.
bool ApplySerialSettings(SerialSetup& serial, int portIndex, int speedIndex, const char* errorText);

}  // namespace settings
