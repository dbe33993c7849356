#pragma once
// The controller's windows' default handling of an exception raised by one of
// their handlers: an error box, and on.
#include <functional>

namespace dialup {

// Runs `fn`; an exception it raises is shown in an error box.
void Guarded(const std::function<void()>& fn);

}  // namespace dialup
