#pragma once
// The serial set-up over the real components: the serial port component's
// ComNumber, Baud and Open, then the modem component started on the port.
#include <functional>

#include "comm/SerialPort.h"
#include "common/LinkSettings.h"

namespace settings {

class ComPortSetup : public SerialSetup {
 public:
  // `startModem` switches the modem component on the port on or off; it may
  // raise the component's exception like the port's setters.
  ComPortSetup(comm::TVnkCustomComPort& port, std::function<void(bool)> startModem)
      : port_(port), startModem_(std::move(startModem)) {}

  void SetComNumber(int comNumber) override { port_.SetComNumber(static_cast<std::uint16_t>(comNumber)); }
  void SetBaud(int baud) override { port_.SetBaud(baud); }
  // A refusal the device layer could give a reason for is a SetupError.
  void SetOpen(bool open) override;
  void SetModemStarted(bool started) override {
    if (startModem_) startModem_(started);
  }

 private:
  comm::TVnkCustomComPort& port_;
  std::function<void(bool)> startModem_;
};

}  // namespace settings
