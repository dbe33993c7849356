// The serial set-up over the real serial port component: a device the layer
// refuses with a reason shows the program's own first line and the reason
// on the line below it; the port stays closed and the modem stopped. Each
// kind of path that is no serial device is named so.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "comm/SerialPort.h"
#include "common/ComPortSetup.h"
#include "platform/MessageBoxes.h"
#include "testsupport/TempDir.h"

namespace {

TEST(SerialSetupBox, WhatIsNoSerialDeviceShowsItsReasonUnderTheProgramsText) {
  testsupport::TempDir dir;
  const std::string folder = dir.File("ports");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string socketPath = dir.File("sock");
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  for (const std::string& path : {std::string("/dev/null"), folder, socketPath, std::string("/dev/ptmx")}) {
    ::setenv("LEDSIGN_COM7", path.c_str(), 1);
    for (const char* firstLine : {"Serial Port setup error!", "Serial port setup error!"}) {
      SCOPED_TRACE(path + ", " + firstLine);
      platform::ScopedRecordingBoxes boxes;
      comm::TVnkComPort port;
      bool modemStarted = false;
      settings::ComPortSetup setup(port, [&](bool on) { modemStarted = on; });
      EXPECT_FALSE(settings::ApplySerialSettings(setup, 6, 6, firstLine));
      EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{std::string(firstLine) + "\n" + path +
                                                           " is not a serial device"}));
      EXPECT_FALSE(port.Open());
      EXPECT_FALSE(modemStarted);
    }
  }
  ::close(listener);
  ::unsetenv("LEDSIGN_COM7");
}

}  // namespace
