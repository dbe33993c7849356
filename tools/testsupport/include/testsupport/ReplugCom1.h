#pragma once
// For window tests whose sign on COM1 hangs up (its cable pulled) and comes
// back (plugged in again): here a new simulated sign on a pseudo-terminal of
// its own.
#include <QByteArray>
#include <QTest>

#include "comm/SerialPort.h"
#include "signsim/SignSim.h"

namespace testsupport {

// `gone` hangs up; once `port` has seen the dead line, COM1 leads to `next`.
// False when the port has not seen it within three seconds.
inline bool ReplugCom1(signsim::SignSim& gone, const comm::TVnkComPort& port, signsim::SignSim& next) {
  gone.Stop();
  if (!QTest::qWaitFor([&] { return port.DeviceFailed(); }, 3000)) return false;
  qputenv("LEDSIGN_COM1", QByteArray::fromStdString(next.StartPty()));
  return true;
}

}  // namespace testsupport
