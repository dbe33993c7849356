#pragma once
// A serial port component whose COM number points at the simulated Hayes
// modem, as the modem, dialer and dial-up tests set it up.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "comm/SerialPort.h"
#include "modemsim/ModemSim.h"

namespace comm_test {

// Starts the simulated modem ("+++" guard of 300 ms) on the link "COM<com>"
// in `dir`, points COM `com` at it and sets `port` to that COM at 9600 baud;
// `link` gets the link's path. The port is left closed.
inline std::unique_ptr<modemsim::ModemSim> StartSimModemOnCom(int com, const std::filesystem::path& dir,
                                                               std::string& link,
                                                               comm::TVnkCustomComPort& port) {
  modemsim::ModemOptions options;
  options.guard = std::chrono::milliseconds(300);
  auto sim = std::make_unique<modemsim::ModemSim>(options);
  const std::string name = "COM" + std::to_string(com);
  link = (dir / name).string();
  sim->Start(link);
  ::setenv(("LEDSIGN_" + name).c_str(), link.c_str(), 1);
  port.SetComNumber(static_cast<std::uint16_t>(com));
  port.SetBaud(9600);
  return sim;
}

// A data-available handler that reads every byte offered, as the programs' own
// handler does behind the modem.
inline void ReadAllOffered(comm::TVnkCustomComPort& port, std::uint16_t count) {
  for (std::uint16_t i = 0; i < count; ++i) port.ReadChar();
}

}  // namespace comm_test
