#include "common/LinkSettings.h"

#include <cerrno>
#include <cstdlib>

#include "common/Util.h"

namespace settings {

const std::array<int, 11> BaudTable = {150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

std::string SettingsPath(const std::string& programDir) { return util::JoinPath(programDir, kSettingsFileName); }

int BaudOf(int speedIndex) {
  if (speedIndex < 0 || speedIndex >= static_cast<int>(BaudTable.size())) return 9600;
  return BaudTable[static_cast<std::size_t>(speedIndex)];
}

bool ParseSetting(const std::string& text, int min, int max, int& value) {
  std::string t = util::TrimBlanks(text);
  if (t.empty()) return false;
  std::size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
  if (i == t.size()) return false;
  for (std::size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return false;
  }
  errno = 0;
  long long v = std::strtoll(t.c_str(), nullptr, 10);
  if (errno == ERANGE || v < min || v > max) return false;
  value = static_cast<int>(v);
  return true;
}

bool ApplySerialSettings(SerialSetup& serial, int portIndex, int speedIndex, const char* errorText) {
  try {
    serial.SetComNumber(portIndex + 1);
    serial.SetBaud(BaudOf(speedIndex));
    serial.SetOpen(true);
    serial.SetModemStarted(true);
    return true;
  } catch (const SetupError& e) {
    util::ShowWarning(std::string(errorText) + "\n" + e.what());
    return false;
  } catch (...) {
    util::ShowWarning(errorText);
    return false;
  }
}

}  // namespace settings
