#include "comm/FakeLayer.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <map>
#include <mutex>

#include "comm/CommExcept.h"

namespace comm::fake {
namespace {

struct Device {
  int peer = -1;
  FakeDeviceState state;
};

std::mutex g_mutex;
std::map<std::int32_t, Device> g_devices;
std::int32_t g_last = -1;

template <typename F>
bool WithDevice(std::int32_t device, F&& f) {
  std::lock_guard lock(g_mutex);
  const auto it = g_devices.find(device);
  if (it == g_devices.end()) return false;
  f(it->second);
  return true;
}

std::int32_t BuildDCB(const char*, Dcb&) { return -1; }

std::int32_t SetBreak(std::int32_t device) {
  return WithDevice(device, [](Device& d) { d.state.breakOn = true; }) ? 0 : -1;
}

std::int32_t ClearBreak(std::int32_t device) {
  return WithDevice(device, [](Device& d) { d.state.breakOn = false; }) ? 0 : -1;
}

std::int32_t Close(std::int32_t device) {
  int peer = -1;
  {
    std::lock_guard lock(g_mutex);
    const auto it = g_devices.find(device);
    if (it == g_devices.end()) return -1;
    peer = it->second.peer;
    g_devices.erase(it);
  }
  ::close(peer);
  return ::close(device) == 0 ? 0 : -1;
}

std::int32_t Escape(std::int32_t device, std::int32_t function) {
  WithDevice(device, [function](Device& d) {
    d.state.escapes.push_back(function);
    switch (function) {
      case kSetDtr: d.state.dtr = true; break;
      case kClrDtr: d.state.dtr = false; break;
      case kSetRts: d.state.rts = true; break;
      case kClrRts: d.state.rts = false; break;
      case kSetBreak: d.state.breakOn = true; break;
      case kClrBreak: d.state.breakOn = false; break;
      default: break;
    }
  });
  return 0;
}

std::int32_t Flush(std::int32_t device, std::int32_t input) {
  if (!WithDevice(device, [](Device& d) { ++d.state.flushes; })) return 6;
  if (input == 0 && !LayerAbortOutput(device, FakeLayerOpen)) return 6;
  return 0;
}

std::int32_t GetError(std::int32_t device, ComStat& status) {
  std::uint32_t bits = 0;
  if (!WithDevice(device, [&bits](Device& d) {
        bits = d.state.pendingErrors;
        d.state.pendingErrors = 0;
      }))
    return kErrDeviceNotOpen;
  status = ComStat{};
  int waiting = 0;
  if (::ioctl(device, FIONREAD, &waiting) == 0 && waiting > 0)
    status.cbInQue = static_cast<std::uint32_t>(waiting);
  if (!LayerOutputQueued(device, FakeLayerOpen, status)) return kErrDeviceNotOpen;
  return static_cast<std::int32_t>(bits);
}

std::uint16_t GetEventMask(std::int32_t, std::uint16_t) { return 0; }

std::int32_t GetLineState(std::int32_t device, Dcb& dcb) {
  return WithDevice(device, [&dcb](Device& d) { dcb = d.state.dcb; }) ? 0 : -1;
}

std::int32_t SetLineState(std::int32_t device, const Dcb& dcb) {
  bool ok = false;
  WithDevice(device, [&](Device& d) {
    ++d.state.setStateCalls;
    if (d.state.refuseState) return;
    d.state.dcb = dcb;
    d.state.dtr = (dcb.Flags & kDcbDtrControlMask) != 0;
    if ((dcb.Flags & kDcbRtsControlMask) != kDcbRtsControlHandshake)
      d.state.rts = (dcb.Flags & kDcbRtsControlMask) != 0;
    ok = true;
  });
  if (!ok) SetLastDeviceError(87);
  return ok ? 0 : -1;
}

std::int32_t TransmitChar(std::int32_t device, char c) {
  return ::write(device, &c, 1) == 1 ? 0 : -1;
}

std::int32_t UngetChar(std::int32_t, char) { return kErrNotSupported; }

std::int32_t Read(std::int32_t device, std::uint8_t* buffer, std::int32_t count) {
  if (!WithDevice(device, [](Device&) {})) return kErrDeviceNotOpen;
  if (count <= 0) return 0;
  const ssize_t got = ::read(device, buffer, static_cast<std::size_t>(count));
  return got > 0 ? static_cast<std::int32_t>(got) : 0;
}

std::int32_t SetEventMask(std::int32_t, std::uint16_t) { return 0; }

std::int32_t Write(std::int32_t device, const std::uint8_t* buffer, std::int32_t count) {
  return LayerWriteToOutputRing(device, FakeLayerOpen, buffer, count);
}

void OptionNotify(std::int32_t, bool) {}
void AdoptHandle(std::int32_t, bool) {}  // fake devices are only opened by name

bool SetupQueues(std::int32_t device, std::uint16_t, std::uint16_t) {
  return WithDevice(device, [](Device&) {});
}

bool ModemStatus(std::int32_t device, std::uint32_t& status) {
  return WithDevice(device, [&status](Device& d) { status = d.state.modemStatus; });
}

std::int32_t OutQueue(std::int32_t device) {
  std::lock_guard lock(g_mutex);
  const auto it = g_devices.find(device);
  if (it == g_devices.end()) return kErrDeviceNotOpen;
  // As a hung-up tty: the question itself fails.
  if (it->second.state.hungUp) {
    SetLastDeviceError(ErrnoToDeviceError(EIO));
    return -1;
  }
  int unread = 0;
  if (::ioctl(it->second.peer, FIONREAD, &unread) != 0) {
    SetLastDeviceError(ErrnoToDeviceError(errno));
    return -1;
  }
  return unread;
}

const DeviceLayerTable kFakeLayer = {
    BuildDCB,     ClearBreak, Close,       Escape,       Flush,        GetError,     GetEventMask,
    GetLineState, FakeLayerOpen, Read,     SetBreak,     SetEventMask, SetLineState, TransmitChar,
    UngetChar,    Write,      OptionNotify, AdoptHandle, SetupQueues, OutQueue,
};

}  // namespace

std::int32_t FakeLayerOpen(const char*, std::uint16_t, std::uint16_t) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
    SetLastDeviceError(ErrnoToDeviceError(errno));
    return -1;
  }
  Device device;
  device.peer = ends[1];
  device.state.dcb.BaudRate = 9600;
  device.state.dcb.Flags = kDcbBinary | kDcbDtrControlEnable | kDcbRtsControlEnable;
  device.state.dtr = device.state.rts = true;
  std::lock_guard lock(g_mutex);
  g_devices[ends[0]] = device;
  g_last = ends[0];
  return ends[0];
}

const DeviceLayerTable& FakeDeviceLayer() { return kFakeLayer; }

void InstallFakeLayer() {
  // A write to a socket whose peer hung up raises SIGPIPE, where a tty's
  // write fails with EIO: here it is to fail with EPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  RegisterModemStatusProc(ModemStatus);
  InstallDeviceLayer(kFakeLayer);
}

std::int32_t LastOpenedDevice() {
  std::lock_guard lock(g_mutex);
  return g_last;
}

int PeerFd(std::int32_t device) {
  int peer = -1;
  WithDevice(device, [&peer](Device& d) { peer = d.peer; });
  return peer;
}

bool GetState(std::int32_t device, FakeDeviceState& state) {
  return WithDevice(device, [&state](Device& d) { state = d.state; });
}

void SetModemStatus(std::int32_t device, std::uint32_t status) {
  WithDevice(device, [status](Device& d) { d.state.modemStatus = status; });
}

void InjectLineErrors(std::int32_t device, std::uint32_t bits) {
  WithDevice(device, [bits](Device& d) { d.state.pendingErrors |= bits; });
}

void SetRefuseState(std::int32_t device, bool refuse) {
  WithDevice(device, [refuse](Device& d) { d.state.refuseState = refuse; });
}

void HangUp(std::int32_t device) {
  // Marked first: once the device can see the hang-up, its queue cannot be
  // read as empty any more.
  WithDevice(device, [](Device& d) {
    d.state.hungUp = true;
    ::shutdown(d.peer, SHUT_RDWR);
  });
}

void HangUpUnseen(std::int32_t device) {
  WithDevice(device, [](Device& d) { d.state.hungUp = true; });
}

}  // namespace comm::fake
