// The modem engine's record outlives every operation that runs on it: a
// hang-up or a dial whose "~" pauses turn the main thread's events, where
// the port is closed or moved to another device, touches no freed memory
// and sends nothing more, least of all on the new device.
#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <unistd.h>

#include "MainThreadPump.h"
#include "comm/CommExcept.h"
#include "comm/ModemComp.h"
#include "comm/SerialPort.h"
#include "signsim/Pty.h"

namespace {

using namespace comm;
using namespace std::chrono_literals;

std::string Drain(int master) {
  std::string got;
  char buffer[256];
  for (;;) {
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) return got;
    got.append(buffer, static_cast<std::size_t>(n));
  }
}

struct Interruption {
  const char* what;
  std::function<void(TVnkComPort&)> act;
};

// COM 11 and 12 on two pseudo-terminals; the port starts on COM 11.
class ModemLifetime : public ::testing::TestWithParam<Interruption> {
 protected:
  void SetUp() override {
    comm_test::App();
    ::setenv("LEDSIGN_COM11", first.SlavePath().c_str(), 1);
    ::setenv("LEDSIGN_COM12", second.SlavePath().c_str(), 1);
    port.SetComNumber(11);
    port.SetOpen(true);
    modem.SetModemStarted(true);
  }
  void TearDown() override {
    port.SetOpen(false);
    ::unsetenv("LEDSIGN_COM11");
    ::unsetenv("LEDSIGN_COM12");
  }
  // Runs `operation` with the interruption put in 0.2 s into its pauses.
  void Interrupted(const std::function<void()>& operation) {
    QTimer::singleShot(200, [this] { GetParam().act(port); });
    try {
      operation();
    } catch (const EVnkException&) {
      // The engine was stopped under the operation: it may say so.
    }
    comm_test::PumpFor(300ms);
  }

  signsim::Pty first, second;
  TVnkComPort port;
  TVnkModem modem{&port};
};

TEST_P(ModemLifetime, AHangUpInterruptedInItsPausesSendsNoStaleCommand) {
  // The default hang-up, "+++~~~ATH0^M": three pauses of 9 ticks after "+++".
  Interrupted([this] { modem.HangUp(); });
  EXPECT_EQ(Drain(first.Master()), "+++");
  EXPECT_EQ(Drain(second.Master()), "") << "nothing of the old command reaches the new device";
}

TEST_P(ModemLifetime, ADialInterruptedInItsPausesSendsNoStaleNumber) {
  Interrupted([this] { modem.Dial("~~~~5551234"); });
  EXPECT_EQ(Drain(first.Master()), "ATDT");
  EXPECT_EQ(Drain(second.Master()), "");
}

TEST_P(ModemLifetime, ADtrHangUpInterruptedInItsHoldEndsQuietly) {
  modem.SetHangupCmd("DTR");
  modem.SetDTRDropHold(9);
  Interrupted([this] { modem.HangUp(); });
  EXPECT_EQ(Drain(first.Master()), "");
  EXPECT_EQ(Drain(second.Master()), "");
}

INSTANTIATE_TEST_SUITE_P(
    Pauses, ModemLifetime,
    ::testing::Values(Interruption{"the COM number changes", [](TVnkComPort& p) { p.SetComNumber(12); }},
                      Interruption{"the port closes and opens on another device",
                                   [](TVnkComPort& p) {
                                     p.SetOpen(false);
                                     p.SetComNumber(12);
                                     p.SetOpen(true);
                                   }}),
    [](const ::testing::TestParamInfo<Interruption>& info) {
      return info.index == 0 ? std::string("ComNumberChanges") : std::string("ClosedAndReopened");
    });

}  // namespace
