#pragma once
// Where the programs keep their files. The program directory holds
// "SML_WIN.INI" and the sign fonts; the system directory stands in for the
// directory in which the controller writes its command files.
//
// The program directory is the executable's own directory when it is writable,
// otherwise a per-user directory shared by the three programs
// ($XDG_DATA_HOME/ledsigns, else ~/.local/share/ledsigns). LEDSIGN_PROGRAM_DIR
// overrides it. The system directory is LEDSIGN_SYSTEM_DIR when set, otherwise
// the program directory.
#include <string>

namespace platform {

std::string ProgramDirectory();
std::string SystemDirectory();
std::string CurrentDirectory();
// Makes `path` (its bytes as they are, any name the file system holds) the
// current directory; false when it cannot be entered.
bool SetCurrentDirectory(const std::string& path);

}  // namespace platform
