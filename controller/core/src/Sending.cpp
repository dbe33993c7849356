#include "controller/Sending.h"

namespace controller {

TfrmSending::TfrmSending(QWidget* parent) : sender::TfrmSending(sender::SendingWindowLayout{true, "Cancel"}, parent) {}

}  // namespace controller
