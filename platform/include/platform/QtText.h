#pragma once
// Where the programs' texts meet Qt. A text held as std::string (a path, a
// name, a settings value, a box's text) is UTF-8, as the desktop and the file
// system give it. One that is not valid UTF-8 (a settings file or a file name
// from another system) is shown as Latin-1, so each of its bytes shows as a
// letter and none is lost; in a path, each name between the slashes is read
// so on its own. Bytes that go to a sign never pass through here.
#include <string>
#include <string_view>

#include <QString>

namespace platform {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF,
// no sequence cut short.
bool IsValidUtf8(std::string_view bytes);

// For a widget: UTF-8 when the bytes are valid UTF-8. Otherwise each piece
// between two '/' is UTF-8 when it is valid UTF-8 and Latin-1 when not, so a
// name from another system in a folder of this one spoils nothing around it.
QString ToQt(std::string_view text);

// A text from a widget, as the programs hold it: UTF-8.
std::string FromQt(const QString& text);

// What a widget showed of `original`, taken back: the original bytes while
// the text is still as shown, so a Latin-1 value is kept as it was; UTF-8 once
// the user changed it.
std::string FromQt(const QString& shown, std::string_view original);

// A path a file dialog or a folder list gave back after it was offered the
// path `offered` (a file, a folder, or a folder with a pattern). Qt holds
// paths as UTF-8 only, so a path offered with bytes that are not UTF-8 came
// back decoded. When the chosen path is the offered one, or lies inside one
// of its folders, and nothing of the decoded name exists on disk (so the
// dialog could not have shown one), it is taken under the offered bytes: the
// file is opened and saved under the name it has, never under a second,
// mangled one beside it. Anything else is the chosen path in UTF-8.
std::string PathFromQt(const QString& chosen, std::string_view offered);

// The folder a file dialog is to start in for the folder `folder`: that one,
// or, when Qt cannot enter it (its name, or a name above it, is not UTF-8),
// the nearest folder above it that Qt can. Given a folder it cannot enter, a
// Qt dialog falls back on names of its own making.
QString DialogFolder(std::string_view folder);

}  // namespace platform
