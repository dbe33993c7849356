#pragma once
// A device layer for tests of what a pseudo-terminal cannot show: DTR and RTS,
// modem lines, breaks, line errors, refused line settings, and a device that
// holds written bytes in a queue of its own. Each device is one end of a
// socket pair, so the dispatcher can poll, read and write it as it does a
// tty; the test holds the other end (the "peer"). The device's own output
// queue is what the peer has not read yet: a peer that reads slowly is a
// slow line, and a hang-up can come while the queue still holds bytes.
#include <cstdint>
#include <vector>

#include "comm/DevLayer.h"

namespace comm::fake {

struct FakeDeviceState {
  bool dtr = false;
  bool rts = false;
  bool breakOn = false;
  std::uint32_t modemStatus = 0;   // kMsCtsOn | kMsDsrOn | kMsRingOn | kMsRlsdOn
  std::uint32_t pendingErrors = 0; // CE_ bits the next GetError reports (then cleared)
  bool refuseState = false;        // SetState fails
  bool hungUp = false;             // HangUp was called
  Dcb dcb;                         // the line state last set
  std::vector<std::int32_t> escapes;  // every LayerEscape function, in order
  int setStateCalls = 0;
  int flushes = 0;
};

const DeviceLayerTable& FakeDeviceLayer();
// Installs the fake layer as the table in force (and answers modem status
// for its devices).
void InstallFakeLayer();
// The fake layer's open operation: any name opens a new device.
std::int32_t FakeLayerOpen(const char* name, std::uint16_t inSize, std::uint16_t outSize);

// The device most recently opened (-1 when none).
std::int32_t LastOpenedDevice();
// The test's end of a device's socket pair (-1 when the device is unknown).
int PeerFd(std::int32_t device);
// A copy of a device's state; false when the device is unknown.
bool GetState(std::int32_t device, FakeDeviceState& state);
void SetModemStatus(std::int32_t device, std::uint32_t status);
void InjectLineErrors(std::int32_t device, std::uint32_t bits);
void SetRefuseState(std::int32_t device, bool refuse);
// The far end hangs up: the device reports the hang-up as a tty does, its
// output queue can no longer be asked for, and bytes still in it are lost.
void HangUp(std::int32_t device);
// The far end has hung up, and the device already answers as a hung-up tty
// to the question for its output queue, while its descriptor does not show
// the hang-up yet (a tty is hung up before the dispatcher's poll wakes): what
// the send sees is only the device's answer.
void HangUpUnseen(std::int32_t device);

}  // namespace comm::fake
