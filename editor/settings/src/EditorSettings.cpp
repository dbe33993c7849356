#include "editor/EditorSettings.h"

#include <climits>

#include "common/LinkSettings.h"

namespace editor {

namespace {

const char kSystem[] = "System";
const char kCommunication[] = "Communication";

// An unsigned 8-bit key: any whole number is taken and keeps its low 8 bits.
std::uint8_t ReadByte(const settings::SettingsReader& file, const char* key, std::uint8_t def) {
  return static_cast<std::uint8_t>(file.ReadNumber(kCommunication, key, def, INT_MIN, INT_MAX) & 0xFF);
}

}  // namespace

std::vector<platform::ProfileEntry> SettingsKeys(const EditorSettings& s) {
  const auto key = [](const char* section, const char* name, int value) {
    return platform::ProfileEntry{section, name, std::to_string(value)};
  };
  return {key(kSystem, "Sign Width", s.signWidth),        key(kSystem, "Sign Height", s.signHeight),
          key(kSystem, "Color Type", s.colorType),        key(kSystem, "Last Mode", s.lastMode),
          key(kCommunication, "PORT", s.portIndex),       key(kCommunication, "SPEED", s.speedIndex),
          key(kCommunication, "Sign ID", s.signId),       key(kCommunication, "Time Format", s.timeFormat),
          key(kCommunication, "CRC Check", s.crcCheck)};
}

settings::SettingsReader LoadSettings(const std::string& programDir, EditorSettings& s,
                                      platform::ProfileKeysRead* read) {
  settings::SettingsReader file(settings::SettingsPath(programDir));
  file.ReportProblem();
  const EditorSettings d;
  s.signWidth = file.ReadNumber(kSystem, "Sign Width", d.signWidth, 1, kMaxSignWidth);
  s.signHeight = file.ReadNumber(kSystem, "Sign Height", d.signHeight, INT_MIN, INT_MAX);
  s.colorType = file.ReadNumber(kSystem, "Color Type", d.colorType, 0, 1);
  s.lastMode = file.ReadNumber(kSystem, "Last Mode", d.lastMode, 0, INT_MAX);
  s.portIndex = file.ReadNumber(kCommunication, "PORT", d.portIndex, 0, 3);
  s.speedIndex = file.ReadNumber(kCommunication, "SPEED", d.speedIndex, 0,
                         static_cast<int>(settings::BaudTable.size()) - 1);
  s.signId = ReadByte(file, "Sign ID", d.signId);
  s.timeFormat = ReadByte(file, "Time Format", d.timeFormat);
  s.crcCheck = file.ReadNumber(kCommunication, "CRC Check", d.crcCheck, INT_MIN, INT_MAX);
  settings::TakeReadKeys(file, read, SettingsKeys(s));
  return file;
}

bool SaveSettings(const std::string& programDir, const EditorSettings& s, platform::ProfileKeysRead& read) {
  return settings::SaveChangedKeys(settings::SettingsPath(programDir), read, SettingsKeys(s));
}

MessageFileSettings FileSettingsOf(const EditorSettings& s) {
  MessageFileSettings f;
  f.signId = s.signId;
  f.timeFormat = s.timeFormat;
  f.crcCheck = s.crcCheck != 0;
  return f;
}

}  // namespace editor
