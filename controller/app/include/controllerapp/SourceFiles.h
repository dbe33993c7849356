#pragma once
// The files the main window's file list shows: the regular files of the
// working directory (links to them included) whose names match the filter's
// mask, sorted by name ignoring case. Read with the system's own calls, so a
// name that is not UTF-8 (a file from another system) is listed too, under
// its own bytes: it is shown as Latin-1 and sent under the name it has.
#include <string>
#include <vector>

namespace ctlapp {

// `mask` is "*" (every file) or "*" followed by an ending such as ".MSG",
// matched ignoring case. A directory that cannot be read lists nothing.
std::vector<std::string> ListSourceFiles(const std::string& directory, const std::string& mask);

}  // namespace ctlapp
