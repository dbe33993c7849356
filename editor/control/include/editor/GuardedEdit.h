#pragma once
// An edit of the user's (a key, typed text, a beep, a logo or a European
// character to insert) run on the current frame. The model refuses an edit
// it cannot make in place (a cell position inside a pair, a line that is not
// there) with a logic_error, before changing anything: such an edit is
// refused like any other the control refuses, with a beep, and never shows
// as an internal error. Other exceptions go on to the caller.
#include <functional>

namespace editor {

// Runs `edit`; false when the model refused it.
bool GuardedEdit(const std::function<void()>& edit);

}  // namespace editor
