#pragma once
// The dispatcher's record of one open port and the routines its source units
// share. Not for the dispatcher's users: they hold port handles only.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "comm/CommMisc.h"
#include "comm/DevLayer.h"
#include "comm/PortDispatch.h"

namespace platform {
class DeliveryTicket;
}

namespace comm::detail {

struct HandlerNode {
  std::uint8_t kind = 0;  // 1 window, 2 procedure
  TriggerProc proc = nullptr;
  TriggerWindow* window = nullptr;
  bool passOn = true;
  bool removed = false;
};

struct TimerTrigger {
  std::uint16_t handle = 0;
  TickTimer timer;
  std::uint32_t duration = 0;
  bool inUse = false;
  bool active = false;
};

struct DataTrigger {
  std::uint16_t handle = 0;
  std::uint16_t length = 0;  // 0: entry free
  std::array<std::uint16_t, 22> counters{};
  bool matched = false;
  bool ignoreCase = false;
  std::array<char, kMaxDataTriggerLength + 1> text{};
};

struct StatusTrigger {
  std::uint16_t handle = 0;
  std::uint16_t kind = 0;  // 0: entry free
  bool armed = false;
  std::uint16_t data = 0;
};

struct RegistryEntry {
  std::uint16_t index = 0;  // table index, 0: handle free
  std::uint8_t kind = 0;    // 2 timer, 3 data, 4 status
};

inline constexpr std::uint8_t kKindTimer = 2, kKindData = 3, kKindStatus = 4;

struct TraceState {
  bool exists = false;
  bool on = false;
  std::vector<std::uint8_t> entries;  // 2 bytes per entry: type, byte
  std::uint16_t size = 0;
  std::uint16_t next = 0;
  bool wrapped = false;
};

inline constexpr std::uint16_t kLogHeadSize = 12;

struct LogState {
  bool exists = false;
  bool on = false;
  std::vector<std::uint8_t> ring;
  std::uint16_t writePos = 0;
  std::uint16_t readPos = 0;
  std::uint32_t freeBytes = 0;
  std::uint16_t size = 0;
  std::vector<std::uint8_t> entry;  // scratch for building and reading entries back
};

// Received-event bits the com-event thread builds.
inline constexpr std::uint32_t kEvRxChar = 0x0001, kEvCts = 0x0008, kEvDsr = 0x0010,
                               kEvRlsd = 0x0020, kEvBreak = 0x0040, kEvErr = 0x0080,
                               kEvRing = 0x0100, kEvRingTe = 0x2000;

class PortRecord : public PortRecordBase {
 public:
  PortRecord();
  ~PortRecord() override;

  void WakeOutput() override;
  void AbortOutputAndWait() override;

  // --- guarded by portLock ---
  std::uint32_t lastWriteCount = 0;
  std::uint32_t lineErrorBits = 0;
  std::uint16_t inSize = 0, outSize = 0;
  std::uint8_t modemStatus = 0;
  std::uint32_t linesAtOpen = 0;  // where the com-event thread starts comparing
  ComStat queueStatus;
  Dcb lineState;
  std::uint16_t options = kOptDirectReads;
  bool dtrState = true, rtsState = true;
  bool openedOnHandle = false;
  bool ringFlag = false;
  std::array<std::int32_t, 11> userWords{};

  std::vector<std::shared_ptr<HandlerNode>> handlers;  // newest first
  std::uint16_t triggerLength = 0;
  std::array<RegistryEntry, kTriggerHandles + 1> registry{};
  std::array<TimerTrigger, kTimerTriggers + 1> timers{};
  std::array<DataTrigger, kDataTriggers + 1> dataTriggers{};
  std::array<StatusTrigger, kStatusTriggers + 1> statusTriggers{};
  std::array<bool, kStatusTriggers + 1> statusFired{};
  bool firedThisPass = false;
  std::array<bool, kTriggerHandles + 1> reusedHandle{};

  // Input ring in stream offsets: bytes ever received, bytes ever taken.
  std::vector<std::uint8_t> inRing;
  std::uint64_t inTail = 0, inHead = 0;
  std::uint64_t scanPos = 0, lastAvailPos = 0;
  // The byte the scan stepped back to after offering the bytes before a
  // match: the data triggers were fed it already and must not be again.
  std::uint64_t fedPos = ~std::uint64_t{0};

  bool inDelivery = false;
  bool readCounting = false;
  std::uint32_t perHandlerCount = 0;
  std::uint32_t largestRead = 0;
  bool unlinkPending = false;
  bool closePending = false;  // closed from inside a delivery
  bool closing = false;       // a close has begun: the handle is no longer valid
  bool availPassedOver = false;
  std::thread::id handlerThread;  // thread running the current handler

  bool outSent = false;
  std::vector<std::uint8_t> outStorage;
  std::uint32_t outputError = 0;
  bool deviceFailed = false;  // the com-event thread saw the device hang up
  // The output's history, in stamps of one counter, so that a send can tell
  // whether its bytes left before a hang-up: when the last block was queued,
  // when the ring and the device's own queue were last both seen empty, and
  // when the device was first seen hung up or failing (0: never).
  std::uint64_t stampCounter = 0;
  std::uint64_t queuedStamp = 0, sentStamp = 0, failedStamp = 0;

  TraceState trace;
  LogState log;
  std::uint32_t openTime = 0;

  // --- threads ---
  int mode = kModeNone;
  std::atomic<bool> kill{false};
  std::thread comThread, dispatchThread, outputThread;
  std::thread::id dispatchId, outputId;
  int comWakeFd = -1;     // eventfd: stop, or room again in the input ring
  int outputWakeFd = -1;  // eventfd: output queued, abort, stop
  std::atomic<bool> inputMasked{false};

  // Events handed from the com-event thread to the dispatch thread.
  std::mutex eventMutex;
  std::condition_variable eventChanged;
  bool eventReady = false;
  std::uint32_t receivedMask = 0;  // merged until the dispatch thread takes them
  bool triggersChanged = false;     // a timer or status trigger was armed

  // Output abort and its acknowledgement.
  std::atomic<bool> outputAbort{false};
  std::mutex ackMutex;
  std::condition_variable ackChanged;
  std::uint64_t abortAcks = 0;
  bool outputRunning = false;  // under ackMutex

  // Writers waiting for room in the output ring; the output thread tells
  // them whenever it sent, dropped or stopped. Never taken under portLock.
  std::mutex roomMutex;
  std::condition_variable roomChanged;

  std::mutex ticketMutex;
  std::shared_ptr<platform::DeliveryTicket> currentTicket;
};

// The record of a valid handle (open, not closing), kept alive by the caller.
std::shared_ptr<PortRecord> AcquirePort(std::uint16_t handle);

// Unread bytes in the input ring; inside a counted delivery less the current
// handler's reads. Port lock held.
std::uint32_t UnreadCount(const PortRecord& r);
std::uint32_t CharsAvailableLocked(const PortRecord& r);
// After the head moved: lets the com-event thread look at the device again.
void InputRoomMade(PortRecord& r);
bool FillInputRingLocked(PortRecord& r);
void RefreshLineErrorsLocked(PortRecord& r);
std::uint8_t ReadModemStatusLocked(PortRecord& r, std::uint8_t keepMask);
void UpdateModemChangesLocked(PortRecord& r);
std::int32_t SetLineParamsLocked(PortRecord& r, std::uint32_t baud, std::uint16_t parity,
                                 std::uint8_t dataBits, std::uint8_t stopBits);
void ClearTriggersLocked(PortRecord& r);
void AddTraceEntryLocked(PortRecord& r, char type, std::uint8_t byte);
void AddLogEntryLocked(PortRecord& r, std::uint8_t type, std::uint8_t subtype,
                       std::uint16_t dataLength, const std::uint8_t* data,
                       std::uint16_t dataWord);
std::uint16_t OutBuffUsedLocked(PortRecord& r);

// Dispatch thread; called without the port lock.
bool DeliverTrigger(PortRecord& r, std::uint16_t message, std::uint16_t wParam,
                    std::uint16_t lParamLow);
bool CheckDataTriggers(PortRecord& r);
// `fired`: whether a trigger fired (its delivery's result is returned).
bool CheckStatusTriggers(PortRecord& r, bool& fired);
bool CheckTimerTriggers(PortRecord& r, bool& fired);

// The device hung up or failed a write: stamped the first time. Port lock held.
void MarkDeviceFailedLocked(PortRecord& r);
// What is still to send: the ring's bytes while it holds any, else what the
// device itself holds, stamping the moment both were empty; negative when
// the device cannot tell (it hung up; marked failed then). Port lock held.
std::int32_t LookAtDeviceQueueLocked(PortRecord& r);

// Tells the writers waiting for room to look again. No lock may be held.
void NotifyOutputRoom(PortRecord& r);

// After arming a timer or status trigger: the dispatch thread resumes its
// 50 ms passes. Takes only the event mutex, so the port lock may be held.
void WakeDispatch(PortRecord& r);

// Text of a byte in a dump: itself from the threshold to '~', else bracketed.
std::string DumpByteText(std::uint8_t byte, bool hex);

}  // namespace comm::detail
