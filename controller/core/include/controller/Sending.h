#pragma once
// The controller's sending window: the shared window with the file's path
// shown above the progress.
#include "sender/SendingWindow.h"

namespace controller {

class TfrmSending : public sender::TfrmSending {
  Q_OBJECT
 public:
  explicit TfrmSending(QWidget* parent = nullptr);
};

}  // namespace controller
