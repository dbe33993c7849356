#include "comm/DevLayer.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "comm/CommExcept.h"
#include "comm/PosixLayer.h"

namespace comm {
namespace {

// Null stubs: every operation fails as "no device layer specified".
std::int32_t NullBuildDCB(const char*, Dcb&) { return kErrNullApi; }
std::int32_t NullDevice(std::int32_t) { return kErrNullApi; }
std::int32_t NullEscape(std::int32_t, std::int32_t) { return kErrNullApi; }
std::int32_t NullGetError(std::int32_t, ComStat&) { return kErrNullApi; }
std::uint16_t NullGetEventMask(std::int32_t, std::uint16_t) {
  return static_cast<std::uint16_t>(-kErrNullApi);
}
std::int32_t NullGetState(std::int32_t, Dcb&) { return kErrNullApi; }
std::int32_t NullOpen(const char*, std::uint16_t, std::uint16_t) { return kErrNullApi; }
std::int32_t NullRead(std::int32_t, std::uint8_t*, std::int32_t) { return kErrNullApi; }
std::int32_t NullSetEventMask(std::int32_t, std::uint16_t) { return 0; }
std::int32_t NullSetState(std::int32_t, const Dcb&) { return kErrNullApi; }
std::int32_t NullChar(std::int32_t, char) { return kErrNullApi; }
std::int32_t NullWrite(std::int32_t, const std::uint8_t*, std::int32_t) { return kErrNullApi; }
void NullOptionNotify(std::int32_t, bool) {}
void NullAdoptHandle(std::int32_t, bool) {}
bool NullSetupQueues(std::int32_t, std::uint16_t, std::uint16_t) { return false; }

const DeviceLayerTable kNullLayer = {
    NullBuildDCB,  NullDevice,       NullDevice,       NullEscape,   NullEscape,
    NullGetError,  NullGetEventMask, NullGetState,     NullOpen,     NullRead,
    NullDevice,    NullSetEventMask, NullSetState,     NullChar,     NullChar,
    NullWrite,     NullOptionNotify, NullAdoptHandle,  NullSetupQueues,  NullDevice,
};

std::mutex g_layerMutex;
// From start-up the POSIX layer is in force, as the system's serial layer is.
DeviceLayerTable& Layer() {
  static DeviceLayerTable table = PosixDeviceLayer();
  return table;
}

thread_local std::uint32_t t_lastError = 0;
thread_local std::string t_lastErrorText;

std::recursive_mutex g_portTableLock;
std::array<PortSlot, kMaxPorts + 1> g_portTable{};

std::atomic<ModemStatusProc> g_modemStatusProc{nullptr};

}  // namespace

const DeviceLayerTable& NullDeviceLayer() { return kNullLayer; }

DeviceLayerTable CurrentDeviceLayer() {
  std::lock_guard lock(g_layerMutex);
  return Layer();
}

void InstallDeviceLayer(const DeviceLayerTable& table) {
  std::lock_guard lock(g_layerMutex);
  Layer() = table;
}

void ResetDeviceLayerTable() { InstallDeviceLayer(kNullLayer); }

std::uint32_t GetLastDeviceError() { return t_lastError; }
void SetLastDeviceError(std::uint32_t error) { t_lastError = error; }
std::string LastDeviceErrorText() { return t_lastErrorText; }
void SetLastDeviceErrorText(std::string text) { t_lastErrorText = std::move(text); }

std::uint32_t ErrnoToDeviceError(int error) {
  switch (error) {
    case 0: return 0;
    case ENOENT:
    case ENXIO:
    case ENODEV: return 2;  // file not found: no such device
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;  // path not found
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK: return 5;  // access denied: in use or not allowed
    case EBADF: return 6;
    case ENOMEM: return 8;
    case ENOTTY: return 1;   // invalid function
    case EINVAL: return 87;  // invalid parameter
    case ENOSPC: return 112;
    default: return 31;  // general failure
  }
}

std::uint16_t OutputRing::Used() const {
  if (full) return size;
  if (sendPos < appendPos) return static_cast<std::uint16_t>(appendPos - sendPos);
  if (sendPos > appendPos) return static_cast<std::uint16_t>(size - sendPos + appendPos);
  return 0;
}

void OutputRing::Append(const std::uint8_t* bytes, std::uint16_t count) {
  if (count == 0 || size == 0 || count > size || appendPos >= size) return;
  const std::uint16_t room = static_cast<std::uint16_t>(size - appendPos);
  if (count <= room) {
    std::memcpy(data + appendPos, bytes, count);
    appendPos = count == room ? 0 : static_cast<std::uint16_t>(appendPos + count);
  } else {
    std::memcpy(data + appendPos, bytes, room);
    std::memcpy(data, bytes + room, count - room);
    appendPos = static_cast<std::uint16_t>(count - room);
  }
}

PortSlot& PortTableSlot(std::uint16_t handle) {
  return g_portTable[handle >= 1 && handle <= kMaxPorts ? handle : 0];
}

std::recursive_mutex& PortTableLock() { return g_portTableLock; }

std::int32_t FilterPortError(std::uint16_t handle, std::int32_t code) {
  if (handle < 1 || handle > kMaxPorts) return code;
  PortRecordBase* record;
  PortErrorHook hook;
  {
    std::lock_guard lock(g_portTableLock);
    record = g_portTable[handle].record;
    hook = record ? record->errorHook : nullptr;
  }
  if (hook == nullptr) return code;
  return hook(handle, code, record);
}

PortRecordBase* FindPortRecord(std::int32_t device, LayerOpenProc layerIdentity) {
  std::lock_guard lock(g_portTableLock);
  for (int slot = 1; slot <= kMaxPorts; ++slot) {
    PortRecordBase* record = g_portTable[slot].record;
    if (record && record->device == device && record->layer.Open == layerIdentity) return record;
  }
  return nullptr;
}

std::int32_t OpenErrorToCode(std::uint32_t deviceError) {
  if (deviceError == 2 || deviceError == 3) return kErrBadId;
  if (deviceError == 5) return kErrAlreadyOpen;
  return -static_cast<std::int32_t>(deviceError);
}

void RegisterModemStatusProc(ModemStatusProc proc) { g_modemStatusProc.store(proc); }

bool DeviceModemStatus(std::int32_t device, std::uint32_t& status) {
  status = 0;
  if (ModemStatusProc proc = g_modemStatusProc.load(); proc && proc(device, status)) return true;
  int lines = 0;
  if (::ioctl(device, TIOCMGET, &lines) != 0) {
    // A pseudo-terminal or socket has no modem lines: all of them low.
    if (errno == ENOTTY || errno == EINVAL) return true;
    SetLastDeviceError(ErrnoToDeviceError(errno));
    return false;
  }
  if (lines & TIOCM_CTS) status |= kMsCtsOn;
  if (lines & TIOCM_DSR) status |= kMsDsrOn;
  if (lines & TIOCM_RNG) status |= kMsRingOn;
  if (lines & TIOCM_CAR) status |= kMsRlsdOn;
  return true;
}

std::int32_t LayerWriteToOutputRing(std::int32_t device, LayerOpenProc identity,
                                    const std::uint8_t* buffer, std::int32_t count) {
  PortRecordBase* record = FindPortRecord(device, identity);
  if (record == nullptr) return kErrDeviceNotOpen;
  if (count <= 0) return 0;
  {
    std::lock_guard lock(record->portLock);
    if (count > record->outRing.size) return 0;  // can never fit: nothing accepted
    record->outRing.Append(buffer, static_cast<std::uint16_t>(count));
  }
  record->WakeOutput();
  return count;
}

bool LayerAbortOutput(std::int32_t device, LayerOpenProc identity) {
  PortRecordBase* record = FindPortRecord(device, identity);
  if (record == nullptr) return false;
  record->AbortOutputAndWait();
  std::lock_guard lock(record->portLock);
  record->outRing.full = false;
  record->outRing.appendPos = 0;
  record->outRing.sendPos = 0;
  return true;
}

bool LayerOutputQueued(std::int32_t device, LayerOpenProc identity, ComStat& status) {
  PortRecordBase* record = FindPortRecord(device, identity);
  if (record == nullptr) return false;
  std::lock_guard lock(record->portLock);
  status.cbOutQue = record->outRing.Used();
  return true;
}

}  // namespace comm
