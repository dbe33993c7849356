// The serial set-up over the real serial port component: a device the layer
// refuses with a reason shows the program's own first line and the reason
// on the line below it; the port stays closed and the modem stopped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "comm/SerialPort.h"
#include "common/ComPortSetup.h"
#include "platform/MessageBoxes.h"

namespace {

TEST(SerialSetupBox, ARefusedDeviceShowsItsReasonUnderTheProgramsText) {
  ::setenv("LEDSIGN_COM7", "/dev/null", 1);
  for (const char* firstLine : {"Serial Port setup error!", "Serial port setup error!"}) {
    SCOPED_TRACE(firstLine);
    platform::ScopedRecordingBoxes boxes;
    comm::TVnkComPort port;
    bool modemStarted = false;
    settings::ComPortSetup setup(port, [&](bool on) { modemStarted = on; });
    EXPECT_FALSE(settings::ApplySerialSettings(setup, 6, 6, firstLine));
    EXPECT_EQ(boxes->Texts(),
              (std::vector<std::string>{std::string(firstLine) + "\n/dev/null is not a serial device"}));
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(modemStarted);
  }
  ::unsetenv("LEDSIGN_COM7");
}

}  // namespace
