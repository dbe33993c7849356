#pragma once
// The editor's settings in "SML_WIN.INI": sign geometry, colour type, the last
// presentation mode, and the link. The file is shared with the controller and
// the drawing program, so only the editor's own keys are read, and a save
// writes only those the editor changed.
#include <cstdint>
#include <string>
#include <vector>

#include "common/SettingsFile.h"
#include "editor/MessageFile.h"

namespace editor {

struct EditorSettings {
  int signWidth = 160;          // [System] "Sign Width"
  int signHeight = 16;          // [System] "Sign Height"; start-up accepts 7, 8 or 16
  int colorType = 0;            // [System] "Color Type": 0 nine colours, 1 mono
  int lastMode = 0;             // [System] "Last Mode": index into the mode list
  int portIndex = 0;            // [Communication] "PORT": 0..3 = COM1..COM4
  int speedIndex = 6;           // [Communication] "SPEED": 0..10 into the baud table
  std::uint8_t signId = 0;      // [Communication] "Sign ID"
  std::uint8_t timeFormat = 1;  // [Communication] "Time Format": 0 12H, 1 24H
  int crcCheck = 0;             // [Communication] "CRC Check": 0 or 1

  bool IsMono() const { return colorType == 1; }
  bool operator==(const EditorSettings&) const = default;
};

// The widest sign the editor accepts, in the file and in the parameter dialog.
constexpr int kMaxSignWidth = 1024;

// The editor's keys with the text it would write for each, in the order of a
// save: "Sign Width", "Sign Height", "Color Type", "Last Mode" of "System",
// then "PORT", "SPEED", "Sign ID", "Time Format", "CRC Check" of "Communication".
std::vector<platform::ProfileEntry> SettingsKeys(const EditorSettings& settings);

// Reads the editor's keys from SettingsPath(programDir). A value that is not a
// number, or out of its range (width 1..1024, port 0..3, speed 0..10, colour
// type 0..1, last mode not negative), takes its default; "Sign ID" and
// "Time Format" keep the low 8 bits of the number read. The sign height is
// taken as written, since start-up refuses a wrong one with its own warning.
// `read` (where given) takes the keys as read, for the saves to come. When
// the file did not exist, writes every key, each only where the file (made
// meanwhile by another program) holds none. A file that is there but
// cannot be read is said in a warning, naming it and the reason; every value
// then takes its default, and no save of this run writes over the file.
// Gives the file as it was read, for keys a caller takes more narrowly.
settings::SettingsReader LoadSettings(const std::string& programDir, EditorSettings& settings,
                                      platform::ProfileKeysRead* read = nullptr);
// Writes the keys whose values changed since `read` took them, in one
// replacement of the file; every other key, the controller's and its own,
// stays as the file holds it, and with no change nothing is written. A
// failure is shown once, naming the file and the reason, and gives false;
// the old file stays whole.
bool SaveSettings(const std::string& programDir, const EditorSettings& settings, platform::ProfileKeysRead& read);

// What the message-file writers need of the settings.
MessageFileSettings FileSettingsOf(const EditorSettings& settings);

}  // namespace editor
