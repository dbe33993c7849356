#include "editor/GuardedEdit.h"

#include <QtGlobal>
#include <stdexcept>

#include "common/Util.h"

namespace editor {

bool GuardedEdit(const std::function<void()>& edit) {
  try {
    edit();
    return true;
  } catch (const std::logic_error& e) {
    // Left for whoever looks into it; the user hears the refusal.
    qWarning("Selvanex: an edit was refused: %s", e.what());
    util::Beep();
    return false;
  }
}

}  // namespace editor
