#pragma once
// The message boxes of the programs, as Qt message boxes on the main thread.
#include "platform/MessageBoxes.h"

namespace platform {

class QtMessageBoxes : public MessageBoxes {
 public:
  int Show(const BoxRequest& request) override;
  void Beep() override;
};

}  // namespace platform
