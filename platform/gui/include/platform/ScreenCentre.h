#pragma once
// Places a window in the middle of its screen's work area, whatever window it
// belongs to (the modal progress and dial windows open there).
class QWidget;

namespace platform {

// Call from the window's showEvent, once it has its size.
void CentreOnScreen(QWidget& window);

}  // namespace platform
