#include "editorapp/StartUp.h"

#include <QString>

#include <climits>

#include "common/LinkSettings.h"

namespace editorapp {

bool IsValidSignHeight(int height) { return height == 7 || height == 8 || height == 16; }

editor::EditorSettings LoadStartUpSettings(const std::string& programDir, platform::ProfileKeysRead* read) {
  editor::EditorSettings s;
  const settings::SettingsReader file = editor::LoadSettings(programDir, s, read);
  // Keys whose range is narrower than the shared loader's, checked again.
  const editor::EditorSettings d;
  s.colorType = file.ReadNumber("System", "Color Type", d.colorType, INT_MIN, INT_MAX);
  s.lastMode = file.ReadNumber("System", "Last Mode", d.lastMode, 0, 31);
  s.signId = static_cast<std::uint8_t>(file.ReadNumber("Communication", "Sign ID", d.signId, 0, 99));
  s.timeFormat = static_cast<std::uint8_t>(file.ReadNumber("Communication", "Time Format", d.timeFormat, 0, 1));
  if (read) read->Take(editor::SettingsKeys(s));
  return s;
}

SettingsMenuTexts MenuTextsOf(const editor::EditorSettings& s) {
  SettingsMenuTexts t;
  t.id = QString::asprintf("&ID: %d", int{s.signId}).toStdString();
  t.com = QString::asprintf("&Com: %d", s.portIndex + 1).toStdString();
  t.baud = QString::asprintf("&Baud: %d", settings::BaudOf(s.speedIndex)).toStdString();
  t.time = QString::asprintf("&Time: %s", s.timeFormat != 0 ? "24H" : "12H").toStdString();
  return t;
}

std::string SignSizeText(const editor::EditorSettings& s) {
  return QString::asprintf("%d x %d", s.signHeight, s.signWidth).toStdString();
}

}  // namespace editorapp
