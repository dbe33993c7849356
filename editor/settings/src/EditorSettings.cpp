#include "editor/EditorSettings.h"

#include <climits>

#include "common/LinkSettings.h"
#include "common/Util.h"
#include "platform/BinaryFile.h"

namespace editor {

namespace {

const char kSystem[] = "System";
const char kCommunication[] = "Communication";

int ReadInt(const std::string& path, const char* section, const char* key, int def, int min, int max) {
  int value = def;
  if (!settings::ParseSetting(util::ReadIniString(section, key, std::to_string(def), path), min, max, value)) {
    value = def;
  }
  return value;
}

// An unsigned 8-bit key: any whole number is taken and keeps its low 8 bits.
std::uint8_t ReadByte(const std::string& path, const char* key, std::uint8_t def) {
  return static_cast<std::uint8_t>(ReadInt(path, kCommunication, key, def, INT_MIN, INT_MAX) & 0xFF);
}

}  // namespace

void LoadSettings(const std::string& programDir, EditorSettings& s) {
  const std::string path = settings::SettingsPath(programDir);
  const EditorSettings d;
  s.signWidth = ReadInt(path, kSystem, "Sign Width", d.signWidth, 1, kMaxSignWidth);
  s.signHeight = ReadInt(path, kSystem, "Sign Height", d.signHeight, INT_MIN, INT_MAX);
  s.colorType = ReadInt(path, kSystem, "Color Type", d.colorType, 0, 1);
  s.lastMode = ReadInt(path, kSystem, "Last Mode", d.lastMode, 0, INT_MAX);
  s.portIndex = ReadInt(path, kCommunication, "PORT", d.portIndex, 0, 3);
  s.speedIndex = ReadInt(path, kCommunication, "SPEED", d.speedIndex, 0,
                         static_cast<int>(settings::BaudTable.size()) - 1);
  s.signId = ReadByte(path, "Sign ID", d.signId);
  s.timeFormat = ReadByte(path, "Time Format", d.timeFormat);
  s.crcCheck = ReadInt(path, kCommunication, "CRC Check", d.crcCheck, INT_MIN, INT_MAX);
  if (!platform::FileExists(path)) SaveSettings(programDir, s);
}

bool SaveSettings(const std::string& programDir, const EditorSettings& s) {
  settings::SettingsWriter out(settings::SettingsPath(programDir));
  out.Write(kSystem, "Sign Width", s.signWidth);
  out.Write(kSystem, "Sign Height", s.signHeight);
  out.Write(kSystem, "Color Type", s.colorType);
  out.Write(kSystem, "Last Mode", s.lastMode);
  out.Write(kCommunication, "PORT", s.portIndex);
  out.Write(kCommunication, "SPEED", s.speedIndex);
  out.Write(kCommunication, "Sign ID", s.signId);
  out.Write(kCommunication, "Time Format", s.timeFormat);
  out.Write(kCommunication, "CRC Check", s.crcCheck);
  return out.Finish();
}

MessageFileSettings FileSettingsOf(const EditorSettings& s) {
  MessageFileSettings f;
  f.signId = s.signId;
  f.timeFormat = s.timeFormat;
  f.crcCheck = s.crcCheck != 0;
  return f;
}

}  // namespace editor
