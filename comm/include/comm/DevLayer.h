#pragma once
// The device layer: a table of operations through which the
// dispatcher reaches a serial device, the process-wide table of open ports,
// and the two services on it (error filter, lookup by device).
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace comm {

// ---------------------------------------------------------------------------
// Line state and queue status, in the layout the dispatcher works with.

// Flag word bits of Dcb::Flags.
inline constexpr std::uint32_t kDcbBinary = 0x0001;
inline constexpr std::uint32_t kDcbParity = 0x0002;        // parity checking on input
inline constexpr std::uint32_t kDcbOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t kDcbOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t kDcbDtrControlMask = 0x0030;
inline constexpr std::uint32_t kDcbDtrControlEnable = 0x0010;
inline constexpr std::uint32_t kDcbDtrControlHandshake = 0x0020;
inline constexpr std::uint32_t kDcbDsrSensitivity = 0x0040;
inline constexpr std::uint32_t kDcbTxContinueOnXoff = 0x0080;
inline constexpr std::uint32_t kDcbOutX = 0x0100;
inline constexpr std::uint32_t kDcbInX = 0x0200;
inline constexpr std::uint32_t kDcbRtsControlMask = 0x3000;
inline constexpr std::uint32_t kDcbRtsControlEnable = 0x1000;
inline constexpr std::uint32_t kDcbRtsControlHandshake = 0x2000;

// Parity values of Dcb::Parity.
inline constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3,
                              kSpaceParity = 4;
// Stop-bit values of Dcb::StopBits.
inline constexpr std::uint8_t kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;

struct Dcb {
  std::uint32_t BaudRate = 0;
  std::uint32_t Flags = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = kNoParity;
  std::uint8_t StopBits = kOneStopBit;
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
};

struct ComStat {
  std::uint32_t Flags = 0;
  std::uint32_t cbInQue = 0;   // bytes waiting in the device
  std::uint32_t cbOutQue = 0;  // bytes waiting in the dispatcher's output ring
};

// Line error bits (LayerGetError's result).
inline constexpr std::uint32_t kCeRxOver = 0x01;
inline constexpr std::uint32_t kCeOverrun = 0x02;
inline constexpr std::uint32_t kCeRxParity = 0x04;
inline constexpr std::uint32_t kCeFrame = 0x08;
inline constexpr std::uint32_t kCeBreak = 0x10;

// The line error bits a LayerGetError result carries: none when the call
// failed (a negative code such as -103 is never taken as error bits).
constexpr std::uint32_t LineErrorBitsOf(std::int32_t getErrorResult) {
  return getErrorResult < 0 ? 0u : static_cast<std::uint32_t>(getErrorResult) & 0x1Fu;
}

// Escape function codes (LayerEscape).
inline constexpr std::int32_t kSetXoff = 1, kSetXon = 2, kSetRts = 3, kClrRts = 4, kSetDtr = 5,
                              kClrDtr = 6, kSetBreak = 8, kClrBreak = 9;

// Modem status bits (DeviceModemStatus).
inline constexpr std::uint32_t kMsCtsOn = 0x10, kMsDsrOn = 0x20, kMsRingOn = 0x40, kMsRlsdOn = 0x80;

// ---------------------------------------------------------------------------
// The operations. A device handle is a file descriptor (>= 0).

using LayerBuildDCBProc = std::int32_t (*)(const char* definition, Dcb& dcb);
using LayerClearBreakProc = std::int32_t (*)(std::int32_t device);
using LayerCloseProc = std::int32_t (*)(std::int32_t device);
using LayerEscapeProc = std::int32_t (*)(std::int32_t device, std::int32_t function);
using LayerFlushProc = std::int32_t (*)(std::int32_t device, std::int32_t input);
using LayerGetErrorProc = std::int32_t (*)(std::int32_t device, ComStat& status);
using LayerGetEventMaskProc = std::uint16_t (*)(std::int32_t device, std::uint16_t clear);
using LayerGetStateProc = std::int32_t (*)(std::int32_t device, Dcb& dcb);
using LayerOpenProc = std::int32_t (*)(const char* name, std::uint16_t inSize,
                                       std::uint16_t outSize);
using LayerReadProc = std::int32_t (*)(std::int32_t device, std::uint8_t* buffer,
                                       std::int32_t count);
using LayerSetBreakProc = std::int32_t (*)(std::int32_t device);
using LayerSetEventMaskProc = std::int32_t (*)(std::int32_t device, std::uint16_t mask);
using LayerSetStateProc = std::int32_t (*)(std::int32_t device, const Dcb& dcb);
using LayerTransmitCharProc = std::int32_t (*)(std::int32_t device, char c);
using LayerUngetCharProc = std::int32_t (*)(std::int32_t device, char c);
using LayerWriteProc = std::int32_t (*)(std::int32_t device, const std::uint8_t* buffer,
                                        std::int32_t count);
using LayerOptionNotifyProc = void (*)(std::int32_t device, bool flag);
using LayerAdoptHandleProc = void (*)(std::int32_t device, bool adopt);
using LayerSetupQueuesProc = bool (*)(std::int32_t device, std::uint16_t inSize,
                                      std::uint16_t outSize);
// Bytes the device itself still holds to send (a UART's transmit queue), 0
// for a device that keeps none; negative, with the last device error set,
// when the device cannot tell because it hung up or failed.
using LayerOutQueueProc = std::int32_t (*)(std::int32_t device);

// In the order of the copy each port record takes at open.
struct DeviceLayerTable {
  LayerBuildDCBProc BuildDCB;
  LayerClearBreakProc ClearBreak;
  LayerCloseProc Close;
  LayerEscapeProc Escape;
  LayerFlushProc Flush;
  LayerGetErrorProc GetError;
  LayerGetEventMaskProc GetEventMask;
  LayerGetStateProc GetState;
  LayerOpenProc Open;
  LayerReadProc Read;
  LayerSetBreakProc SetBreak;
  LayerSetEventMaskProc SetEventMask;
  LayerSetStateProc SetState;
  LayerTransmitCharProc TransmitChar;
  LayerUngetCharProc UngetChar;
  LayerWriteProc Write;
  LayerOptionNotifyProc OptionNotify;
  LayerAdoptHandleProc AdoptHandle;
  LayerSetupQueuesProc SetupQueues;
  // What a send waits for once the dispatcher's ring is empty.
  LayerOutQueueProc OutQueue;
};

// The table of null stubs: -3001 (ENullApi) from every signed operation, 3001
// from GetEventMask, 0 from SetEventMask, false from SetupQueues, nothing
// from OptionNotify and AdoptHandle.
const DeviceLayerTable& NullDeviceLayer();

// The table in force (the POSIX layer from start-up). Installing a layer
// replaces it; ports keep the copy they took at open. Safe from any thread.
DeviceLayerTable CurrentDeviceLayer();
void InstallDeviceLayer(const DeviceLayerTable& table);
void ResetDeviceLayerTable();

// The kinds of layer the serial port component can be asked for.
enum class TDeviceLayer { dlNone, dlComm, dlFossil, dlWin32, dlWinsock, dlOther };

// ---------------------------------------------------------------------------
// The last system error of a device-layer call on this thread, as a Win32-style
// number (2 missing device, 3 path not found, 5 in use or denied, 8 memory...).
std::uint32_t GetLastDeviceError();
void SetLastDeviceError(std::uint32_t error);
// errno to that numbering.
std::uint32_t ErrnoToDeviceError(int error);
// A reason for the last failed open on this thread that a user can act on,
// naming the device (empty when the layer had none). Cleared by a new open.
std::string LastDeviceErrorText();
void SetLastDeviceErrorText(std::string text);

// ---------------------------------------------------------------------------
// The dispatcher's output ring as the layer sees it: the layer appends, the
// output thread sends. Positions wrap at `size`; `full` tells a full ring
// from an empty one. Guarded by the owning record's port lock.
struct OutputRing {
  std::uint8_t* data = nullptr;
  std::uint16_t size = 0;
  std::uint16_t appendPos = 0;
  std::uint16_t sendPos = 0;
  bool full = false;

  // Bytes waiting to be sent.
  std::uint16_t Used() const;
  // Copies `count` bytes (count <= free room, checked by the caller) at the
  // append position, in two pieces when they cross the ring's end.
  void Append(const std::uint8_t* bytes, std::uint16_t count);
};

class PortRecordBase;
// Error hook of a port: (port handle, code, record) -> the code to report.
using PortErrorHook = std::int32_t (*)(std::uint16_t handle, std::int32_t code,
                                       PortRecordBase* record);

// The part of the dispatcher's PortRecord that the device layers use. The
// dispatcher derives its record from it and implements the two output hooks.
class PortRecordBase {
 public:
  virtual ~PortRecordBase() = default;

  DeviceLayerTable layer{};       // copy taken at open
  std::uint16_t portHandle = 0;   // 1..50
  PortErrorHook errorHook = nullptr;
  std::int32_t device = -1;       // what LayerOpen returned, or the adopted handle
  std::recursive_mutex portLock;  // re-entrant: WriteBlock holds it across LayerWrite
  OutputRing outRing;

  // Wakes the output thread after bytes were appended to the output ring.
  virtual void WakeOutput() = 0;
  // Asks the output thread to abandon what it is sending and waits for its
  // acknowledgement. Called without the port lock held, never from the output
  // thread.
  virtual void AbortOutputAndWait() = 0;
};

// ---------------------------------------------------------------------------
// The process-wide table of open ports: slots 1..50 (index 0 unused).
inline constexpr int kMaxPorts = 50;

struct PortSlot {
  PortRecordBase* record = nullptr;
  std::uint32_t inUse = 0;
};

// Slot `handle` (1..50). The dispatcher fills and clears the slots under
// PortTableLock(); readers here take the same lock.
PortSlot& PortTableSlot(std::uint16_t handle);
std::recursive_mutex& PortTableLock();

// With handle 1..50, a record in its slot and an error hook on it: the hook's
// result for (handle, code, record). Otherwise the code unchanged.
std::int32_t FilterPortError(std::uint16_t handle, std::int32_t code);

// The first record, in slot order, whose device is `device` and whose copied
// open operation is `layerIdentity`. nullptr when none. The record stays valid
// only while its port stays open: layers call this for a port that is
// inside one of its own operations (write, flush on close, status refresh).
PortRecordBase* FindPortRecord(std::int32_t device, LayerOpenProc layerIdentity);

// Maps the system error of a failed open to the component's code:
// 2 and 3 -> -2001 (EBadId), 5 -> -2008 (EAlreadyOpen), else -error.
std::int32_t OpenErrorToCode(std::uint32_t deviceError);

// Modem-line state of a device (kMsCtsOn | kMsDsrOn | kMsRingOn | kMsRlsdOn),
// the direct call outside the table. A device without modem lines (a
// pseudo-terminal) answers 0 and true. False when the device is not usable.
bool DeviceModemStatus(std::int32_t device, std::uint32_t& status);

// A layer whose devices have no real modem lines answers for its own devices:
// the routine returns true when the device is one of its own.
using ModemStatusProc = bool (*)(std::int32_t device, std::uint32_t& status);
void RegisterModemStatusProc(ModemStatusProc proc);

// ---------------------------------------------------------------------------
// Services for layers that hand written data to the dispatcher's output thread.
// `identity` is the layer's open operation.

// Copies the bytes into the output ring of the port owning `device` (under its
// port lock) and wakes its output thread: count, or -103 when no port owns
// the device.
std::int32_t LayerWriteToOutputRing(std::int32_t device, LayerOpenProc identity,
                                    const std::uint8_t* buffer, std::int32_t count);
// Aborts and empties the output of the port owning `device`: true when one did.
bool LayerAbortOutput(std::int32_t device, LayerOpenProc identity);
// Sets status.cbOutQue to the bytes waiting in the owning port's output ring:
// false when no port owns the device.
bool LayerOutputQueued(std::int32_t device, LayerOpenProc identity, ComStat& status);

}  // namespace comm
