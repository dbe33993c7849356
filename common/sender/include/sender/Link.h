#pragma once
// The link to the sign as the sender sees it: a record's bytes go out through
// Write, called on the sender thread; the answers come back through the
// ReplyBuffer that the link's receive handler (on the GUI thread) fills.
#include <string_view>

#include "sender/StopFlag.h"

namespace sender {

class Link {
 public:
  virtual ~Link() = default;
  // Puts `bytes` on the link; false when the link cannot take them (not
  // open, not connected, dropped, or the write was withdrawn by `stop`).
  virtual bool Write(std::string_view bytes, StopFlag& stop) = 0;
  // Called when a job asks for the link (GUI thread): a link whose device
  // died under it tries to open it again. Nothing by default.
  virtual void Prepare() {}
  // Called on the sender thread after a send's last record: true once all
  // that was written has left the machine, with no hang-up or device error
  // seen before. A link that hands its bytes on at once has nothing to wait for.
  virtual bool Drain(StopFlag&) { return true; }
};

}  // namespace sender
