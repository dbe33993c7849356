#include "controller/Settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <QComboBox>
#include <QString>

#include "common/Util.h"
#include "platform/BinaryFile.h"

namespace controller {

const std::array<int, 11> BaudTable = {150, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

const TSignRecord* SignEntry(const SignTable& table, int number) {
  if (number < 1 || number > kSignEntries) return nullptr;
  return &table[static_cast<std::size_t>(number - 1)];
}

int BaudOf(int speedIndex) {
  if (speedIndex < 0 || speedIndex >= static_cast<int>(BaudTable.size())) return 9600;
  return BaudTable[static_cast<std::size_t>(speedIndex)];
}

std::string SettingsPath(const std::string& programDir) { return util::JoinPath(programDir, kSettingsFileName); }

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

namespace {

const char kCommunication[] = "Communication";

std::string SignSection(int number) { return "SIGN " + std::to_string(number); }

int ReadInt(const std::string& path, const char* key, int def, int min, int max) {
  int value = def;
  if (!ParseSetting(util::ReadIniString(kCommunication, key, std::to_string(def), path), min, max, value)) {
    value = def;
  }
  return value;
}

}  // namespace

void LoadSettings(const std::string& programDir, TSettings& settings, SignTable& table) {
  const std::string path = SettingsPath(programDir);
  for (int n = 1; n <= kSignEntries; ++n) {
    TSignRecord& e = table[static_cast<std::size_t>(n - 1)];
    e.name = util::ReadIniString(SignSection(n), "Name", "", path);
    e.ip = util::ReadIniString(SignSection(n), "IP", "", path);
    e.tel = util::ReadIniString(SignSection(n), "TEL", "", path);
  }
  const TSettings d;
  settings.portIndex = ReadInt(path, "PORT", d.portIndex, 0, 3);
  settings.speedIndex = ReadInt(path, "SPEED", d.speedIndex, 0, static_cast<int>(BaudTable.size()) - 1);
  settings.linkKind = static_cast<std::uint8_t>(ReadInt(path, "IS TCP", d.linkKind, 0, 255));
  settings.timeFormat = static_cast<std::uint8_t>(ReadInt(path, "Time Format", d.timeFormat, 0, 1));
  settings.crcCheck = ReadInt(path, "CRC Check", d.crcCheck, INT_MIN, INT_MAX);
  settings.crcWaitMs = ReadInt(path, "CRC Wait MSec", d.crcWaitMs, 0, kMaxCrcWaitMs);
  if (!platform::FileExists(path)) SaveSettings(programDir, settings, table);
}

void SaveSettings(const std::string& programDir, const TSettings& settings, const SignTable& table) {
  const std::string path = SettingsPath(programDir);
  for (int n = 1; n <= kSignEntries; ++n) {
    const TSignRecord& e = table[static_cast<std::size_t>(n - 1)];
    util::WriteIniString(SignSection(n), "Name", e.name, path);
    util::WriteIniString(SignSection(n), "IP", e.ip, path);
    util::WriteIniString(SignSection(n), "TEL", e.tel, path);
  }
  util::WriteIniString(kCommunication, "PORT", std::to_string(settings.portIndex), path);
  util::WriteIniString(kCommunication, "SPEED", std::to_string(settings.speedIndex), path);
  util::WriteIniString(kCommunication, "IS TCP", std::to_string(settings.linkKind), path);
  util::WriteIniString(kCommunication, "Time Format", std::to_string(settings.timeFormat), path);
  util::WriteIniString(kCommunication, "CRC Check", std::to_string(settings.crcCheck), path);
  util::WriteIniString(kCommunication, "CRC Wait MSec", std::to_string(settings.crcWaitMs), path);
}

std::vector<std::string> SignNames(const SignTable& table) {
  std::vector<std::string> names;
  for (const TSignRecord& e : table) {
    if (util::TrimBlanks(e.name).empty()) break;
    names.push_back(e.name);
  }
  return names;
}

void FillSignCombo(QComboBox& combo, const SignTable& table) {
  combo.clear();
  for (const std::string& name : SignNames(table)) combo.addItem(QString::fromLatin1(name.c_str()));
  combo.setCurrentIndex(combo.count() > 0 ? 0 : -1);
}

bool ApplySerialSettings(SerialSetup& serial, const TSettings& settings) {
  try {
    serial.SetComNumber(settings.portIndex + 1);
    serial.SetBaud(BaudOf(settings.speedIndex));
    serial.SetOpen(true);
    serial.SetModemStarted(true);
    return true;
  } catch (...) {
    util::ShowWarning("Serial Port setup error!");
    return false;
  }
}

}  // namespace controller
