#include "controllerdialup/PortErrors.h"

#include <stdexcept>

#include "comm/CommExcept.h"
#include "comm/PosixLayer.h"
#include "comm/SerialPort.h"

namespace dialup {

void NamingThePort(const comm::TVnkCustomComPort* port, const std::function<void()>& fn) {
  try {
    fn();
  } catch (const comm::EVnkException& e) {
    if (port == nullptr || comm::IsModemErrorCode(e.ErrorCode())) throw;
    throw std::runtime_error(comm::ComPortErrorText(port->ComNumber(), e.what()));
  }
}

}  // namespace dialup
