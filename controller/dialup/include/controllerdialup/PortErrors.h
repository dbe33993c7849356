#pragma once
// An error of the serial port behind the modem, shown with the port it
// concerns (comm::ComPortErrorText), so that a dead or missing line says
// which one.
#include <functional>

namespace comm {
class TVnkCustomComPort;
}

namespace dialup {

// Runs `fn`; an exception of the port (the communications library's, other
// than the modem's and the dialer's own) comes out as std::runtime_error
// naming the port. Other exceptions pass unchanged.
void NamingThePort(const comm::TVnkCustomComPort* port, const std::function<void()>& fn);

}  // namespace dialup
