#include "controller/Settings.h"

#include <climits>

#include <QComboBox>
#include <QString>

#include "common/SettingsFile.h"
#include "common/Util.h"
#include "platform/QtText.h"

namespace controller {

const TSignRecord* SignEntry(const SignTable& table, int number) {
  if (number < 1 || number > kSignEntries) return nullptr;
  return &table[static_cast<std::size_t>(number - 1)];
}

namespace {

const char kCommunication[] = "Communication";

std::string SignSection(int number) { return "SIGN " + std::to_string(number); }

int ReadInt(const settings::SettingsReader& file, const char* key, int def, int min, int max) {
  return file.ReadNumber(kCommunication, key, def, min, max);
}

}  // namespace

std::vector<platform::ProfileEntry> SettingsKeys(const TSettings& settings, const SignTable& table) {
  std::vector<platform::ProfileEntry> keys;
  for (int n = 1; n <= kSignEntries; ++n) {
    const TSignRecord& e = table[static_cast<std::size_t>(n - 1)];
    keys.push_back({SignSection(n), "Name", e.name});
    keys.push_back({SignSection(n), "IP", e.ip});
    keys.push_back({SignSection(n), "TEL", e.tel});
  }
  const auto number = [&keys](const char* key, int value) {
    keys.push_back({kCommunication, key, std::to_string(value)});
  };
  number("PORT", settings.portIndex);
  number("SPEED", settings.speedIndex);
  number("IS TCP", settings.linkKind);
  number("Time Format", settings.timeFormat);
  number("CRC Check", settings.crcCheck);
  number("CRC Wait MSec", settings.crcWaitMs);
  return keys;
}

void LoadSettings(const std::string& programDir, TSettings& settings, SignTable& table,
                  platform::ProfileKeysRead* read) {
  const settings::SettingsReader file(SettingsPath(programDir));
  file.ReportProblem();
  for (int n = 1; n <= kSignEntries; ++n) {
    TSignRecord& e = table[static_cast<std::size_t>(n - 1)];
    e.name = file.Read(SignSection(n), "Name", "");
    e.ip = file.Read(SignSection(n), "IP", "");
    e.tel = file.Read(SignSection(n), "TEL", "");
  }
  const TSettings d;
  settings.portIndex = ReadInt(file, "PORT", d.portIndex, 0, 3);
  settings.speedIndex = ReadInt(file, "SPEED", d.speedIndex, 0, static_cast<int>(BaudTable.size()) - 1);
  settings.linkKind = static_cast<std::uint8_t>(ReadInt(file, "IS TCP", d.linkKind, 0, 255));
  settings.timeFormat = static_cast<std::uint8_t>(ReadInt(file, "Time Format", d.timeFormat, 0, 1));
  settings.crcCheck = ReadInt(file, "CRC Check", d.crcCheck, INT_MIN, INT_MAX);
  settings.crcWaitMs = ReadInt(file, "CRC Wait MSec", d.crcWaitMs, 0, kMaxCrcWaitMs);
  settings::TakeReadKeys(file, read, SettingsKeys(settings, table));
}

bool SaveSettings(const std::string& programDir, const TSettings& settings, const SignTable& table,
                  platform::ProfileKeysRead& read) {
  return settings::SaveChangedKeys(SettingsPath(programDir), read, SettingsKeys(settings, table));
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
  for (const std::string& name : SignNames(table)) combo.addItem(platform::ToQt(name));
  combo.setCurrentIndex(combo.count() > 0 ? 0 : -1);
}

bool ApplySerialSettings(SerialSetup& serial, const TSettings& settings) {
  return settings::ApplySerialSettings(serial, settings.portIndex, settings.speedIndex, "Serial Port setup error!");
}

}  // namespace controller
