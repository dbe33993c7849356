#pragma once
// The start-up values of the editor's main window that need no window: the
// settings as start-up takes them, the texts the menus and status bar show of
// them, and the checks that stop or warn.
#include <string>

#include "editor/EditorSettings.h"

namespace editorapp {

inline constexpr char kMainCaption[] = "Tessaly Signal Works, Inc.";
inline constexpr char kSignHeightErrorText[] = "Sign height setup error!";
inline constexpr char kSerialSetupErrorText[] = "Serial port setup error!";

// The heights the sign fonts and the frame drawing know: 7, 8 and 16 rows.
bool IsValidSignHeight(int height);
// Any colour type other than 0 is the mono sign.
inline bool IsMono(const editor::EditorSettings& s) { return s.colorType != 0; }

// The settings as start-up takes them: every key read in one reading of the
// file (written when missing; a file that cannot be read said once), and a value that is not a number or out of its range takes its
// key's default: PORT 0-3, SPEED 0-10, Sign ID 0-99, Time Format 0-1, Last
// Mode 0-31, Sign Width 1-1024. Color Type keeps any number; the sign height
// is taken as written, start-up refuses a wrong one itself.
// `read` (where given) takes the keys as start-up settled them, for the saves
// to come: a value the file holds that start-up did not take is not written
// back unless the editor changes it.
editor::EditorSettings LoadStartUpSettings(const std::string& programDir, platform::ProfileKeysRead* read = nullptr);

// The four items of the Send menu that show the link.
struct SettingsMenuTexts {
  std::string id;    // "&ID: %d"
  std::string com;   // "&Com: %d", the port index + 1
  std::string baud;  // "&Baud: %d"
  std::string time;  // "&Time: %s", "24H" or "12H"
};
SettingsMenuTexts MenuTextsOf(const editor::EditorSettings& s);

// "%d x %d", the height first.
std::string SignSizeText(const editor::EditorSettings& s);

}  // namespace editorapp
