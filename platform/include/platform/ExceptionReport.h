#pragma once
// What the programs do with an exception that a handler of theirs raised: show
// its message in an error box, captioned with the program's name, and go on.
#include <functional>
#include <string>

namespace platform {

// Shows `text` in an error box now.
void ShowExceptionBox(const std::string& text);

// Shows `text` in an error box once the main thread's current event is done
// (at once when there is no application), so the caller is not held by the box.
void ShowExceptionBoxLater(const std::string& text);

// Runs `fn`; an exception it raises is shown with ShowExceptionBox.
void Guarded(const std::function<void()>& fn);

}  // namespace platform
