#include "common/ComPortSetup.h"

#include "comm/CommExcept.h"

namespace settings {

void ComPortSetup::SetOpen(bool open) {
  try {
    port_.SetOpen(open);
  } catch (const comm::EVnkException& e) {
    if (open && !comm::LastDeviceErrorText().empty()) throw SetupError(e.what());
    throw;
  }
}

}  // namespace settings
