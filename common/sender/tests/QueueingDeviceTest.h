#pragma once
// The fixture of sends on COM1 on the fake device layer, whose device holds
// what its far end has not read in a queue of its own (a UART's): the port,
// the serial link over it, and the device.
#include <gtest/gtest.h>

#include <cstdint>

#include "comm/FakeLayer.h"
#include "comm/PosixLayer.h"
#include "comm/SerialPort.h"
#include "sender/ReplyBuffer.h"
#include "sender/SerialLink.h"

namespace sendertest {

class QueueingDeviceTest : public ::testing::Test {
 protected:
  // Opens the port at `baud`, with the controller's output buffer.
  void OpenPort(std::int32_t baud) {
    port_.SetDeviceLayer(comm::TDeviceLayer::dlOther);
    port_.OtherLayerInstaller = [](comm::TVnkCustomComPort&) { comm::fake::InstallFakeLayer(); };
    port_.SetComNumber(1);
    port_.SetOutSize(20000);
    port_.SetBaud(baud);
    port_.SetOpen(true);
    ASSERT_TRUE(port_.Open());
    device_ = comm::fake::LastOpenedDevice();
  }
  void TearDown() override {
    port_.SetOpen(false);
    comm::InstallPosixLayer();
  }

  comm::TVnkComPort port_;
  sender::ReplyBuffer reply_{false};
  sender::SerialLink link_{port_, reply_};
  std::int32_t device_ = -1;
};

}  // namespace sendertest
