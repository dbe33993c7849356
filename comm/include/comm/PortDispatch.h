#pragma once
// The dispatcher: per open port (handle 1..50) a record, three threads
// (com-event, dispatch, output), the input and output rings, handlers and
// triggers, line settings, and the trace and dispatch log. Every operation
// returns 0 or a positive value for success and a negative code of
// comm/CommExcept.h for failure; the status readers return 0 for an invalid
// handle.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {
class MainThreadExecutor;
}

namespace comm {

// ---------------------------------------------------------------------------
// Opening, closing, threads

inline constexpr std::uint16_t kInputRingSize = 8192;
inline constexpr std::uint32_t kWriteWaitMs = 60000;

// Dispatch options.
inline constexpr std::uint16_t kOptMsrShadow = 1;
inline constexpr std::uint16_t kOptDirectReads = 2;
inline constexpr std::uint16_t kOptEventWord = 4;

// Mode word of a slot.
inline constexpr std::int32_t kModeNone = 0;
inline constexpr std::int32_t kModeThreads = 4;

// Opens `deviceName` through the device layer in force (e.g. "\\.\COM1").
std::int32_t OpenPortRecord(std::uint16_t& handle, const std::string& deviceName,
                            std::uint16_t inSize, std::uint16_t outSize, std::uint32_t baud,
                            std::uint16_t parity, std::uint8_t dataBits, std::uint8_t stopBits);
// Opens a port on a device handle somebody else opened; line settings stay.
std::int32_t OpenPortOnHandle(std::uint16_t& handle, std::int32_t device, std::uint16_t inSize,
                              std::uint16_t outSize);
std::int32_t ClosePortRecord(std::uint16_t handle);
std::int32_t StartDispatchThreads(std::uint16_t handle, bool start);
bool ValidPortHandle(std::uint16_t handle);

std::int32_t SetPortUserWord(std::uint16_t handle, std::int32_t value, std::int32_t k);
// Word k (1..10); 0 for an invalid handle or k.
std::int32_t GetPortUserWord(std::uint16_t handle, std::int32_t k);

std::int32_t SetDispatchOption(std::uint16_t handle, std::uint16_t bits);
std::int32_t ClearDispatchOption(std::uint16_t handle, std::uint16_t bits);
bool DispatchOptionSet(std::uint16_t handle, std::uint16_t bits);
// The event-level property's operation: changes nothing.
std::int32_t SetDispatchEventLevel(std::uint16_t handle, std::int32_t level);
// Polling mode is never entered: 0.
std::int32_t ProcessCommunications(std::uint16_t handle);

// The device handle of an open port (-1 when none).
std::int32_t PortDevice(std::uint16_t handle);
// The last hard output error of a port as a device error number (0 none).
// On such an error the queued output was dropped and later writes fail.
std::uint32_t PortOutputError(std::uint16_t handle);
// The port's device hung up (the far end closed, an adapter was pulled) or
// failed a write: it stays dead until the port is opened again.
bool PortDeviceFailed(std::uint16_t handle);
// Number of ports open (slots in use).
int OpenPortCount();

// ---------------------------------------------------------------------------
// Buffers

std::int32_t ReadChar(std::uint16_t handle, std::uint8_t& byte);
// Up to `count` bytes as ReadChar would take them one by one (the same
// counting inside a delivery, the same trace): the number taken.
std::int32_t ReadBlock(std::uint16_t handle, std::uint8_t* data, std::uint16_t count);
std::int32_t PeekChar(std::uint16_t handle, std::uint8_t& byte, std::uint16_t n);
std::int32_t PeekCharEx(std::uint16_t handle, std::uint8_t& byte, std::uint16_t n);
std::int32_t CharsAvailable(std::uint16_t handle);
std::int32_t WriteChar(std::uint16_t handle, std::uint8_t byte);
std::int32_t WriteBlock(std::uint16_t handle, const std::uint8_t* data, std::uint16_t length);
std::int32_t OutBuffUsed(std::uint16_t handle);
std::int32_t OutBuffFree(std::uint16_t handle);

// The longest a writer waits for room: the time the line needs to send a
// full output ring at its rate, plus this.
inline constexpr std::uint32_t kOutputRoomMarginMs = 2000;
// Waits until the output ring has room for `length` bytes: 0 then;
// kErrOutputBufferTooSmall when it never can or the line did not drain in
// time; kErrBadHandle when the port closed; kErrPutBlockFail when
// `cancelled` says so (checked whenever WakeOutputWaiters is called).
// Never from a port thread or a handler of the port.
std::int32_t WaitOutputRoom(std::uint16_t handle, std::uint16_t length,
                            const std::function<bool()>& cancelled);
// Waits until everything queued has left the machine: the output ring is
// empty and so is the device's own queue (a UART holds a few kilobytes, some
// seconds of a slow line). 0 then, when no hang-up or device error was seen
// before; kErrPutBlockFail when one was (what was still queued is lost), or
// when `cancelled` says so; kErrOutputBufferTooSmall when the device did not
// empty its queue in the time the bytes it held take at the line's rate plus
// a margin; otherwise as WaitOutputRoom. Never from a port thread.
std::int32_t WaitOutputSent(std::uint16_t handle, const std::function<bool()>& cancelled);
// Makes every WaitOutputRoom and WaitOutputSent of the port look at its condition again.
void WakeOutputWaiters(std::uint16_t handle);

// ---------------------------------------------------------------------------
// Handlers and triggers

inline constexpr std::uint16_t MsgTriggerAvail = 0x7E01;
inline constexpr std::uint16_t MsgTriggerData = 0x7E02;
inline constexpr std::uint16_t MsgTriggerTimer = 0x7E03;
inline constexpr std::uint16_t MsgTriggerStatus = 0x7E04;

inline constexpr int kTimerTriggers = 10;
inline constexpr int kDataTriggers = 20;
inline constexpr int kStatusTriggers = 10;
inline constexpr int kTriggerHandles = 41;
inline constexpr int kMaxDataTriggerLength = 21;

// Status trigger kinds.
inline constexpr std::uint16_t kStatusModem = 1, kStatusLineError = 2, kStatusOutFree = 3,
                               kStatusOutUsed = 4, kStatusOutSent = 5;

// A window handler: its messages run on the GUI thread of `executor`, each
// started within 1000 ms or passed over. Deregister it before destroying it.
class TriggerWindow {
 public:
  explicit TriggerWindow(platform::MainThreadExecutor& executor) : executor_(executor) {}
  virtual ~TriggerWindow() = default;
  // message: the trigger message with the port handle in its high word;
  // lParam: the port handle in its high word.
  virtual std::int32_t WindowProc(std::uint32_t message, std::uint32_t wParam,
                                  std::uint32_t lParam) = 0;
  platform::MainThreadExecutor& Executor() const { return executor_; }

 private:
  platform::MainThreadExecutor& executor_;
};

// A procedure handler, called on the dispatch thread with the window value
// 0, the message (port handle in the high word), wParam and lParam.
using TriggerProc = std::int32_t (*)(std::intptr_t window, std::uint32_t message,
                                     std::uint32_t wParam, std::uint32_t lParam);

std::int32_t RegisterTriggerWindow(std::uint16_t handle, TriggerWindow* window, TriggerProc proc,
                                   bool passOn);
std::int32_t DeregisterTriggerHandler(std::uint16_t handle, TriggerWindow* window,
                                      TriggerProc proc);
std::int32_t SetTriggerLength(std::uint16_t handle, std::uint16_t length);
std::int32_t CreateTimerTrigger(std::uint16_t handle);
std::int32_t ArmTimerTrigger(std::uint16_t handle, std::uint16_t trigger, std::uint32_t ticks,
                             bool activate);
std::int32_t AddDataTrigger(std::uint16_t handle, const char* text, std::uint16_t length,
                            bool ignoreCase);
// The NUL-terminated form: measures the text itself.
std::int32_t AddDataTrigger(std::uint16_t handle, const char* text, bool ignoreCase);
// Creates an armed status trigger of `kind` (1..5) with its data word:
// trigger handle, -1002 for a bad kind, -5001 when none is free.
std::int32_t AddStatusTrigger(std::uint16_t handle, std::uint16_t kind, std::uint16_t data);
// Arms a status trigger again with a new data word: 0 or -5003.
std::int32_t ArmStatusTrigger(std::uint16_t handle, std::uint16_t trigger, std::uint16_t data);
std::int32_t ReleaseTrigger(std::uint16_t handle, std::uint16_t trigger);
std::int32_t StatusTriggerKind(std::uint16_t handle, std::uint16_t trigger);

struct SavedTimerTrigger {
  std::uint16_t handle = 0;
  std::uint32_t start = 0, expiry = 0;
  std::uint32_t duration = 0;
  bool inUse = false, active = false;
};
struct SavedDataTrigger {
  std::uint16_t handle = 0;
  std::uint16_t length = 0;
  std::array<std::uint16_t, 22> counters{};
  bool matched = false, ignoreCase = false;
  std::array<char, kMaxDataTriggerLength + 1> text{};
};
struct SavedStatusTrigger {
  std::uint16_t handle = 0;
  std::uint16_t kind = 0;
  bool armed = false;
  std::uint16_t data = 0;
};
struct SavedRegistryEntry {
  std::uint16_t index = 0;  // 0: handle free
  std::uint8_t kind = 0;    // 2 timer, 3 data, 4 status
};
struct TriggerBlock {
  std::uint16_t triggerLength = 0;
  std::array<SavedRegistryEntry, kTriggerHandles + 1> registry{};  // 1..41
  std::array<SavedTimerTrigger, kTimerTriggers + 1> timers{};       // 1..10
  std::array<SavedDataTrigger, kDataTriggers + 1> data{};           // 1..20
  std::array<SavedStatusTrigger, kStatusTriggers + 1> status{};     // 1..10
};
std::int32_t SaveTriggers(std::uint16_t handle, TriggerBlock& block);
std::int32_t RestoreTriggers(std::uint16_t handle, const TriggerBlock& block);

// Delivers one message to the port's handlers (dispatch thread).
bool DeliverTrigger(std::uint16_t handle, std::uint16_t message, std::uint16_t wParam,
                    std::uint16_t lParamLow);

// ---------------------------------------------------------------------------
// Line settings and status

std::int32_t SetLineParams(std::uint16_t handle, std::uint32_t baud, std::uint16_t parity,
                           std::uint8_t dataBits, std::uint8_t stopBits);
std::int32_t GetLineParams(std::uint16_t handle, std::uint32_t& baud, std::uint16_t& parity,
                           std::uint8_t& stopBits, std::uint8_t& dataBits);
std::int32_t SetDTR(std::uint16_t handle, bool on);
std::int32_t SetRTS(std::uint16_t handle, bool on);
// Option bits.
inline constexpr std::uint16_t kHwUseDtr = 1, kHwUseRts = 2, kHwRequireDsr = 4,
                               kHwRequireCts = 8;
inline constexpr std::uint16_t kSwTransmit = 1, kSwReceive = 2;
std::int32_t SetHWFlow(std::uint16_t handle, std::uint16_t bufferFull, std::uint16_t bufferResume,
                       std::uint16_t options);
std::int32_t ClearHWFlow(std::uint16_t handle);
std::int32_t SetSWFlow(std::uint16_t handle, std::uint16_t bufferFull, std::uint16_t bufferResume,
                       std::uint16_t options);
std::int32_t ClearSWFlow(std::uint16_t handle);
std::int32_t SetFlowChars(std::uint16_t handle, char xon, char xoff);
std::int32_t ReadModemStatus(std::uint16_t handle, std::uint8_t keepMask);
void UpdateModemChanges(std::uint16_t handle);
void RefreshLineErrors(std::uint16_t handle);
std::int32_t GetLineErrorCode(std::uint16_t handle);
bool CheckLineBreak(std::uint16_t handle);
// The DTR and RTS states as the dispatcher keeps them (false when invalid).
bool DtrState(std::uint16_t handle);
bool RtsState(std::uint16_t handle);

// Rate read back from a line state's BaudRate.
std::uint32_t RateFromCode(std::uint32_t code);

// ---------------------------------------------------------------------------
// Trace and dispatch log

inline constexpr std::uint16_t kMaxTraceSize = 32760;

// Log entry types and subtypes.
inline constexpr std::uint8_t kLogNoEvent = 0, kLogDispatch = 1, kLogTrigger = 2, kLogError = 3,
                              kLogThread = 4;
inline constexpr std::uint8_t kSubNone = 0, kSubReadCom = 1, kSubWriteCom = 2,
                              kSubLineStatus = 3, kSubModemStatus = 4, kSubAvail = 5,
                              kSubTimer = 6, kSubData = 7, kSubStatus = 8, kSubStart = 9,
                              kSubExit = 10, kSubSleep = 11, kSubWake = 12;

std::int32_t StartTrace(std::uint16_t handle, std::uint16_t size);
std::int32_t ClearTrace(std::uint16_t handle);
std::int32_t PauseTrace(std::uint16_t handle);
std::int32_t ResumeTrace(std::uint16_t handle);
std::int32_t FreeTrace(std::uint16_t handle);
std::int32_t AddTraceEntry(std::uint16_t handle, char type, std::uint8_t byte);
std::int32_t DumpTraceFile(std::uint16_t handle, const std::string& fileName, bool append,
                           bool hex);

std::int32_t StartLog(std::uint16_t handle, std::uint16_t size);
std::int32_t ClearLog(std::uint16_t handle);
std::int32_t PauseLog(std::uint16_t handle);
std::int32_t ResumeLog(std::uint16_t handle);
std::int32_t FreeLog(std::uint16_t handle);
std::int32_t AddLogEntry(std::uint16_t handle, std::uint8_t type, std::uint8_t subtype,
                         std::uint16_t dataLength, const std::uint8_t* data,
                         std::uint16_t dataWord);
std::int32_t DumpLogFile(std::uint16_t handle, const std::string& fileName, bool append,
                         bool hex);

}  // namespace comm
