#pragma once
// Small routines shared by the three programs: message boxes, the coarse tick
// timer, paths, settings-file access and a few text helpers.
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/ProfileFile.h"

namespace util {

void ShowWarning(const std::string& text);
void ShowInfo(const std::string& text);
// True when Yes was chosen; No or closing the box gives false. With
// `noByDefault` Enter answers No.
bool AskYesNo(const std::string& question, bool noByDefault = false);
// The chosen button as a dialog result: Yes 6, No 7, Cancel 2.
int AskYesNoCancel(const std::string& question);
// The system beep.
void Beep();

// TickTimer(0) starts the program's one tick timer; any other argument returns
// the whole ticks of 1/18 second since that start. Counted on a monotonic
// clock, so a measurement across midnight or a clock change stays right.
int TickTimer(int command);

std::string TrimTrailingBlanks(const std::string& text);

// Directory and name joined by one '/', the directory byte for byte (a
// folder's name may end in a blank); an empty directory stands for the
// current directory.
std::string JoinPath(const std::string& directory, const std::string& name);

// Settings-file access. Section, key, value and default are each at most 200
// characters, as the file's layout has them (a longer one is refused: Read
// gives the default, Write fails); a value read back is cut to its first 199
// characters. The file's path may be as long as the system allows.
constexpr std::size_t kIniArgumentLimit = 200;
// On failure `reason` (when given) gets the system's reason.
bool WriteIniString(const std::string& section, const std::string& key, const std::string& value,
                    const std::string& path, std::string* reason = nullptr);
// Every entry in one replacement of the file: all are written, or none.
bool WriteIniStrings(const std::vector<platform::ProfileEntry>& entries, const std::string& path,
                     std::string* reason = nullptr);
// A file that is missing or cannot be read gives the default.
std::string ReadIniString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          const std::string& path);
// ReadIniString on a file already read.
std::string ReadIniString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          const platform::ProfileText& file);

// Field `n` (from 1) of `text` split at `delimiter`; the default when that field
// is empty or missing. A delimiter that is not one character never matches.
std::string GetField(const std::string& text, int n, const std::string& defaultValue,
                     const std::string& delimiter);

// The time of day as "hh:mm:ss".
std::string TimeText(const platform::Clock& clock = platform::DefaultClock());

// Blanks (0x20) removed at both ends.
std::string TrimBlanks(const std::string& text);

}  // namespace util
