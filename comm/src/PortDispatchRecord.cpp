// Port records: the slot table, opening, closing, and the com-event, dispatch
// and output threads.
#include <poll.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "comm/CommExcept.h"
#include "comm/PortDispatchRecord.h"
#include "comm/PosixLayer.h"
#include "platform/MainThreadExecutor.h"

namespace comm {
namespace detail {
namespace {

// Records by slot, beside the raw pointers of the device layer's port table;
// both guarded by PortTableLock(). An operation holds its own reference, so a
// record outlives a close that runs meanwhile.
std::array<std::shared_ptr<PortRecord>, kMaxPorts + 1> g_records;

constexpr auto kIdleSlice = std::chrono::milliseconds(50);

void Signal(int fd) {
  if (fd < 0) return;
  const std::uint64_t one = 1;
  while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Drain(int fd) {
  std::uint64_t value;
  while (::read(fd, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool OnPortThread(const PortRecord& r) {
  const auto self = std::this_thread::get_id();
  return self == r.dispatchId || self == r.outputId;
}

void ReleaseSlot(std::uint16_t handle) {
  std::lock_guard lock(PortTableLock());
  PortSlot& slot = PortTableSlot(handle);
  slot.record = nullptr;
  slot.inUse = 0;
  g_records[handle].reset();
}

void CloseDevice(PortRecord& r) {
  const std::int32_t device = r.device;
  if (device < 0) return;
  {
    // Lookups by device read it under the table lock; clearing it first
    // also keeps a re-used descriptor number from finding this record.
    std::lock_guard lock(PortTableLock());
    r.device = -1;
  }
  if (r.openedOnHandle) r.layer.AdoptHandle(device, false);
  else r.layer.Close(device);
}

// --- com-event thread -----------------------------------------------------

std::uint32_t ModemEventBits(std::uint32_t before, std::uint32_t now) {
  const std::uint32_t changed = before ^ now;
  std::uint32_t mask = 0;
  if (changed & kMsCtsOn) mask |= kEvCts;
  if (changed & kMsDsrOn) mask |= kEvDsr;
  if (changed & kMsRlsdOn) mask |= kEvRlsd;
  if (changed & kMsRingOn) mask |= kEvRing;
  if ((now & kMsRingOn) && !(before & kMsRingOn)) mask |= kEvRingTe;
  return mask;
}

void ComEventThread(std::shared_ptr<PortRecord> rec) {
  PortRecord& r = *rec;
  // Lines as open read them, so a change right after opening is seen.
  std::uint32_t lines;
  {
    std::lock_guard lock(r.portLock);
    lines = r.linesAtOpen;
  }
  bool deviceGone = false;
  bool skipInputOnce = false;
  auto lastLook = std::chrono::steady_clock::now();
  // A tty of this layer without modem lines or error counters (a
  // pseudo-terminal) has nothing to watch between bytes: sleep until input.
  bool watchLines = true;
  if (r.layer.Open == PosixLayerOpen) {
    int bits = 0;
    serial_icounter_struct counts{};
    watchLines = ::ioctl(r.device, TIOCMGET, &bits) == 0 || ::ioctl(r.device, TIOCGICOUNT, &counts) == 0;
  }
  while (!r.kill.load()) {
    pollfd fds[2] = {{r.comWakeFd, POLLIN, 0}, {r.device, POLLIN, 0}};
    const bool watchInput = !deviceGone && !r.inputMasked.load() && !skipInputOnce;
    // Modem lines and line errors have no readiness of their own: look at
    // them at least every 50 ms. A device that said readable but gave
    // nothing is looked at again a little later.
    const int timeout = skipInputOnce ? 5 : watchLines ? static_cast<int>(kIdleSlice.count()) : -1;
    skipInputOnce = false;
    const int ready = ::poll(fds, watchInput ? 2 : 1, timeout);
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) Drain(r.comWakeFd);
    if (r.kill.load()) break;

    std::uint32_t mask = 0;
    if (watchInput && ready > 0) {
      const short ev = fds[1].revents;
      if (ev & POLLIN) mask |= kEvRxChar;
      if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
        int waiting = 0;
        if (::ioctl(r.device, FIONREAD, &waiting) != 0 || waiting <= 0) {
          // Hung up: recorded, so that the next open of the port can tell.
          deviceGone = true;
          {
            std::lock_guard lock(r.portLock);
            r.deviceFailed = true;
            MarkDeviceFailedLocked(r);
            AddLogEntryLocked(r, kLogError, kSubReadCom, 0, nullptr, 0);
          }
          // A send waiting for its last bytes to leave learns it at once.
          NotifyOutputRoom(r);
        }
      }
    }
    // Modem lines and line errors: on every time-out, and under steady
    // input at most every 10 ms.
    const auto clock = std::chrono::steady_clock::now();
    std::uint32_t errorBits = 0;
    if (watchLines && (ready == 0 || clock - lastLook >= std::chrono::milliseconds(10))) {
      lastLook = clock;
      std::uint32_t now = 0;
      if (DeviceModemStatus(r.device, now) && now != lines) {
        mask |= ModemEventBits(lines, now);
        lines = now;
      }
      std::lock_guard lock(r.portLock);
      const std::int32_t bits = r.layer.GetError(r.device, r.queueStatus);
      if (bits > 0) {
        errorBits |= static_cast<std::uint32_t>(bits) & 0x1F;
        r.lineErrorBits |= errorBits;
      }
      if (mask & kEvRingTe) r.ringFlag = true;
    }
    if (mask & kEvRxChar) {
      // Bytes go into the ring at once, also while a delivery runs on the
      // dispatch thread, so the device never waits on a slow handler.
      std::lock_guard lock(r.portLock);
      const std::uint64_t tailBefore = r.inTail;
      const std::uint32_t bitsBefore = r.lineErrorBits;
      FillInputRingLocked(r);
      errorBits |= r.lineErrorBits & ~bitsBefore;
      // Readable, bytes said to wait, none taken: do not spin on it.
      if (r.inTail == tailBefore && r.queueStatus.cbInQue > 0 && !r.inputMasked.load())
        skipInputOnce = true;
    }
    if (errorBits & kCeBreak) mask |= kEvBreak;
    if (errorBits & 0x0F) mask |= kEvErr;
    if (mask == 0) continue;
    // Hand the event over; events that come while the dispatch thread is
    // busy are merged into one mask.
    std::lock_guard lock(r.eventMutex);
    r.receivedMask |= mask;
    r.eventReady = true;
    r.eventChanged.notify_all();
  }
}

// --- dispatch thread ------------------------------------------------------

bool Stopping(PortRecord& r) {
  std::lock_guard lock(r.portLock);
  return r.closePending || r.kill.load();
}

bool Delivering(PortRecord& r) {
  std::lock_guard lock(r.portLock);
  return r.inDelivery || r.closePending;
}

void ClearStatusMarks(PortRecord& r) {
  std::lock_guard lock(r.portLock);
  if (!r.firedThisPass) return;
  r.statusFired.fill(false);
  r.firedThisPass = false;
}

void StatusTriggerLoop(PortRecord& r) {
  {
    std::lock_guard lock(r.portLock);
    r.firedThisPass = false;
  }
  while (!Stopping(r)) {
    bool fired = false;
    if (!CheckStatusTriggers(r, fired) || !fired) break;
  }
  ClearStatusMarks(r);
}

// Between deliveries the dispatch thread takes what the device holds by now
// itself, saving a hand-over from the com-event thread per chunk.
void TopUpInput(PortRecord& r) {
  std::lock_guard lock(r.portLock);
  if (!r.inputMasked.load()) FillInputRingLocked(r);
}

void DataTriggerLoop(PortRecord& r) {
  while (!Stopping(r) && CheckDataTriggers(r)) TopUpInput(r);
}

void EventPass(PortRecord& r, std::uint32_t mask) {
  if (mask & (kEvCts | kEvDsr | kEvRlsd | kEvRing | kEvRingTe)) {
    {
      std::lock_guard lock(r.portLock);
      UpdateModemChangesLocked(r);
    }
    if (!Delivering(r)) StatusTriggerLoop(r);
  }
  if ((mask & 0xFF) >= 0x40) {
    {
      std::lock_guard lock(r.portLock);
      RefreshLineErrorsLocked(r);
    }
    if (!Delivering(r)) StatusTriggerLoop(r);
  }
  // The com-event thread has already moved the bytes into the ring.
  if ((mask & kEvRxChar) && !Delivering(r)) DataTriggerLoop(r);
}

void IdlePass(PortRecord& r) {
  if (Delivering(r)) return;
  {
    std::lock_guard lock(r.portLock);
    r.firedThisPass = false;
    // Bytes whose window delivery was passed over (the main thread did not
    // start it in time) are offered again without waiting for more input.
    // So is a full ring: its reader may have declined until it filled, and
    // no new input can arrive to prompt another offer.
    if (r.availPassedOver || UnreadCount(r) >= kInputRingSize) {
      r.availPassedOver = false;
      r.lastAvailPos = ~std::uint64_t{0};
    }
  }
  while (!Stopping(r)) {
    bool fired = false;
    bool delivered = CheckStatusTriggers(r, fired);
    if (!fired) delivered = CheckTimerTriggers(r, fired);
    if (!fired || !delivered) break;
  }
  ClearStatusMarks(r);
  bool retry;
  {
    std::lock_guard lock(r.portLock);
    retry = r.lastAvailPos == ~std::uint64_t{0};
  }
  if (retry) DataTriggerLoop(r);
}

void FinishDeferredClose(const std::shared_ptr<PortRecord>& rec);

// Timers, armed status triggers, a passed-over offer or a full ring need the
// 50 ms passes; without them the dispatch thread sleeps until woken.
bool NeedsIdlePasses(PortRecord& r) {
  std::lock_guard lock(r.portLock);
  if (r.availPassedOver || UnreadCount(r) >= kInputRingSize) return true;
  for (int i = 1; i <= kTimerTriggers; ++i)
    if (r.timers[i].inUse && r.timers[i].active) return true;
  for (int i = 1; i <= kStatusTriggers; ++i)
    if (r.statusTriggers[i].kind != 0 && r.statusTriggers[i].armed) return true;
  return false;
}

void DispatchThread(std::shared_ptr<PortRecord> rec) {
  PortRecord& r = *rec;
  auto nextIdle = std::chrono::steady_clock::now() + kIdleSlice;
  for (;;) {
    std::uint32_t mask = 0;
    bool got = false;
    const bool idleWanted = NeedsIdlePasses(r);
    {
      std::unique_lock lock(r.eventMutex);
      auto woken = [&] { return r.eventReady || r.triggersChanged || r.kill.load(); };
      if (idleWanted) {
        r.eventChanged.wait_until(lock, nextIdle, woken);
      } else {
        // Nothing timed or armed: sleep until an event or a change.
        r.eventChanged.wait(lock, woken);
        nextIdle = std::min(nextIdle, std::chrono::steady_clock::now() + kIdleSlice);
      }
      r.triggersChanged = false;
      if (r.kill.load()) break;
      if (r.eventReady) {
        got = true;
        mask = r.receivedMask;
        r.receivedMask = 0;
        r.eventReady = false;
      }
    }
    if (got) EventPass(r, mask);
    // Timers and status triggers every 50 ms, also under steady input.
    if (std::chrono::steady_clock::now() >= nextIdle) {
      IdlePass(r);
      nextIdle = std::chrono::steady_clock::now() + kIdleSlice;
    }
    if (Stopping(r)) break;
  }
  bool deferred;
  {
    std::lock_guard lock(r.portLock);
    deferred = r.closePending;
  }
  if (deferred) FinishDeferredClose(rec);
}

// --- output thread --------------------------------------------------------

bool HandleAbort(PortRecord& r) {
  if (!r.outputAbort.exchange(false)) return false;
  {
    std::lock_guard lock(r.portLock);
    r.outRing.full = false;
    r.outRing.appendPos = 0;
    r.outRing.sendPos = 0;
  }
  NotifyOutputRoom(r);
  std::lock_guard lock(r.ackMutex);
  ++r.abortAcks;
  r.ackChanged.notify_all();
  return true;
}

bool DeviceVanished(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

// Waits for the device to take more, or for a wake-up: false on stop/abort.
bool WaitWritable(PortRecord& r, int timeoutMs) {
  pollfd fds[2] = {{r.outputWakeFd, POLLIN, 0}, {r.device, POLLOUT, 0}};
  const int ready = ::poll(fds, 2, timeoutMs);
  if (ready > 0 && (fds[0].revents & POLLIN)) Drain(r.outputWakeFd);
  return !r.kill.load() && !r.outputAbort.load();
}

void WriteOut(PortRecord& r) {
  int backoffMs = 50;
  for (;;) {
    if (r.kill.load()) return;
    if (HandleAbort(r)) return;
    const std::uint8_t* data;
    std::uint16_t start, length;
    {
      std::lock_guard lock(r.portLock);
      OutputRing& ring = r.outRing;
      if (ring.Used() == 0) return;
      start = ring.sendPos;
      length = ring.sendPos < ring.appendPos ? static_cast<std::uint16_t>(ring.appendPos - start)
                                             : static_cast<std::uint16_t>(ring.size - start);
      data = ring.data + start;
    }
    const ssize_t written = ::write(r.device, data, length);
    if (written > 0) {
      {
        // Advance by what the device really took; the rest goes next cycle.
        std::lock_guard lock(r.portLock);
        OutputRing& ring = r.outRing;
        std::uint32_t next = start + static_cast<std::uint32_t>(written);
        ring.sendPos = next >= ring.size ? 0 : static_cast<std::uint16_t>(next);
        ring.full = false;
        // Looked at as the ring empties, under the lock that empties it: a
        // device that hands its bytes on at once (a pseudo-terminal) has sent
        // them now, and whoever sees the ring empty knows that it was asked.
        if (ring.Used() == 0) LookAtDeviceQueueLocked(r);
      }
      NotifyOutputRoom(r);
      backoffMs = 50;
      continue;
    }
    const int error = written < 0 ? errno : EAGAIN;
    if (error == EINTR) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      // A write that cannot finish within the write wait is tried again; the
      // bytes already taken are never sent twice.
      WaitWritable(r, static_cast<int>(kWriteWaitMs));
      continue;
    }
    if (DeviceVanished(error)) {
      {
        std::lock_guard lock(r.portLock);
        r.outputError = ErrnoToDeviceError(error);
        MarkDeviceFailedLocked(r);
        r.outRing.full = false;
        r.outRing.appendPos = r.outRing.sendPos = 0;
        AddLogEntryLocked(r, kLogError, kSubWriteCom, 0, nullptr,
                          static_cast<std::uint16_t>(r.outputError));
      }
      NotifyOutputRoom(r);
      return;
    }
    // Any other failure: back off instead of spinning.
    pollfd wake = {r.outputWakeFd, POLLIN, 0};
    if (::poll(&wake, 1, backoffMs) > 0) Drain(r.outputWakeFd);
    backoffMs = std::min(backoffMs * 2, 1000);
  }
}

void OutputThread(std::shared_ptr<PortRecord> rec) {
  PortRecord& r = *rec;
  for (;;) {
    pollfd wake = {r.outputWakeFd, POLLIN, 0};
    if (::poll(&wake, 1, -1) < 0 && errno != EINTR) break;
    if (wake.revents & POLLIN) Drain(r.outputWakeFd);
    if (r.kill.load()) break;
    if (HandleAbort(r)) continue;
    WriteOut(r);
  }
  std::lock_guard lock(r.ackMutex);
  r.outputRunning = false;
  r.ackChanged.notify_all();
}

// --- starting and stopping ------------------------------------------------

std::int32_t StartThreads(const std::shared_ptr<PortRecord>& rec) {
  PortRecord& r = *rec;
  std::lock_guard lock(r.portLock);
  if (r.mode != kModeNone) return r.mode;
  r.kill.store(false);
  r.eventReady = false;
  {
    std::lock_guard ack(r.ackMutex);
    r.outputRunning = true;
  }
  r.comThread = std::thread(ComEventThread, rec);
  r.dispatchThread = std::thread(DispatchThread, rec);
  r.dispatchId = r.dispatchThread.get_id();
  r.outputThread = std::thread(OutputThread, rec);
  r.outputId = r.outputThread.get_id();
  r.mode = kModeThreads;
  return r.mode;
}

void RequestStop(PortRecord& r) {
  r.kill.store(true);
  Signal(r.outputWakeFd);
  Signal(r.comWakeFd);
  {
    std::lock_guard lock(r.eventMutex);
    r.eventChanged.notify_all();
  }
  NotifyOutputRoom(r);
  // A delivery waiting for the main thread is passed over at once.
  std::shared_ptr<platform::DeliveryTicket> ticket;
  {
    std::lock_guard lock(r.ticketMutex);
    ticket = r.currentTicket;
  }
  if (ticket) ticket->Cancel();
}

// Stops and joins the threads; no lock may be held. From a port thread or a
// running handler, only asks them to stop.
void StopThreads(PortRecord& r) {
  {
    std::lock_guard lock(r.portLock);
    if (r.mode == kModeNone) return;
  }
  RequestStop(r);
  const auto self = std::this_thread::get_id();
  bool inHandler;
  {
    std::lock_guard lock(r.portLock);
    inHandler = r.inDelivery && self == r.handlerThread;
  }
  if (OnPortThread(r) || inHandler) return;
  if (r.outputThread.joinable()) r.outputThread.join();
  if (r.comThread.joinable()) r.comThread.join();
  if (r.dispatchThread.joinable()) r.dispatchThread.join();
  std::lock_guard lock(r.portLock);
  r.mode = kModeNone;
}

// The dispatch thread's end after a close from inside a delivery.
void FinishDeferredClose(const std::shared_ptr<PortRecord>& rec) {
  PortRecord& r = *rec;
  RequestStop(r);
  if (r.outputThread.joinable()) r.outputThread.join();
  if (r.comThread.joinable()) r.comThread.join();
  {
    std::lock_guard lock(r.portLock);
    CloseDevice(r);
    r.mode = kModeNone;
    r.handlers.clear();
  }
  // The thread cannot join itself: it lets go of its handle and ends.
  r.dispatchThread.detach();
  ReleaseSlot(r.portHandle);
}

std::int32_t OpenCommon(std::uint16_t& handle, const std::string* deviceName,
                        std::int32_t existing, std::uint16_t inSize, std::uint16_t outSize,
                        std::uint32_t baud, std::uint16_t parity, std::uint8_t dataBits,
                        std::uint8_t stopBits) {
  std::uint16_t slot = 0;
  {
    std::lock_guard lock(PortTableLock());
    for (std::uint16_t s = 1; s <= kMaxPorts && slot == 0; ++s)
      if (PortTableSlot(s).inUse == 0) slot = s;
    if (slot == 0) return kErrNoHandles;
    PortTableSlot(slot).inUse = 1;
  }
  std::shared_ptr<PortRecord> rec;
  try {
    rec = std::make_shared<PortRecord>();
  } catch (const std::bad_alloc&) {
    ReleaseSlot(slot);
    return kErrOutOfMemory;
  }
  PortRecord& r = *rec;
  r.layer = CurrentDeviceLayer();
  r.portHandle = slot;
  r.comWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  r.outputWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (r.comWakeFd < 0 || r.outputWakeFd < 0) {
    ReleaseSlot(slot);
    return kErrOutOfMemory;
  }
  // A failure from here on gives back what was taken; no thread runs yet.
  auto fail = [&](std::int32_t code) {
    {
      std::lock_guard lock(r.portLock);
      CloseDevice(r);
    }
    ReleaseSlot(slot);
    return code;
  };
  if (deviceName == nullptr) {
    r.device = existing;
    r.openedOnHandle = true;
    r.layer.AdoptHandle(existing, true);
  } else {
    SetLastDeviceError(0);
    SetLastDeviceErrorText({});
    const std::int32_t device = r.layer.Open(deviceName->c_str(), inSize, outSize);
    if (device < 0) {
      const std::uint32_t error = GetLastDeviceError();
      ReleaseSlot(slot);
      if (device == kErrOutOfMemory) return kErrOutOfMemory;
      return error != 0 ? -static_cast<std::int32_t>(error) : device;
    }
    r.device = device;
  }
  {
    // Visible to the device layer (its lookups by device) from now on, but
    // not yet a valid handle for callers.
    std::lock_guard lock(PortTableLock());
    g_records[slot] = rec;
    PortTableSlot(slot).record = rec.get();
  }
  if (!r.layer.SetupQueues(r.device, inSize, outSize)) {
    const std::uint32_t error = GetLastDeviceError();
    return fail(error != 0 ? -static_cast<std::int32_t>(error) : kErrBadArgument);
  }
  std::lock_guard lock(r.portLock);
  try {
    r.inRing.assign(kInputRingSize, 0);
    r.outStorage.assign(outSize, 0);
  } catch (const std::bad_alloc&) {
    return fail(kErrOutOfMemory);
  }
  r.outRing.data = r.outStorage.data();
  r.outRing.size = outSize;
  r.outRing.appendPos = r.outRing.sendPos = 0;
  r.outRing.full = false;
  r.inSize = inSize;
  r.outSize = outSize;
  r.lineErrorBits = 0;
  r.lastWriteCount = 0;
  r.outSent = false;
  r.closePending = false;
  r.layer.GetState(r.device, r.lineState);
  r.dtrState = r.rtsState = true;
  ClearTriggersLocked(r);
  r.triggerLength = 0;
  r.inTail = r.inHead = r.scanPos = r.lastAvailPos = 0;
  r.fedPos = ~std::uint64_t{0};
  r.options = kOptDirectReads;
  r.linesAtOpen = ReadModemStatusLocked(r, 0xF0) & 0xF0u;
  if (deviceName != nullptr) {
    const std::int32_t result = SetLineParamsLocked(r, baud, parity, dataBits, stopBits);
    if (result < 0) return fail(result);
  }
  RefreshLineErrorsLocked(r);
  r.trace = TraceState{};
  r.log = LogState{};
  r.openTime = TickNow();
  StartThreads(rec);
  handle = slot;
  return 0;
}

}  // namespace

void MarkDeviceFailedLocked(PortRecord& r) {
  if (r.failedStamp == 0) r.failedStamp = ++r.stampCounter;
}

std::int32_t LookAtDeviceQueueLocked(PortRecord& r) {
  if (r.outRing.Used() != 0) return r.outRing.Used();  // not even handed to the device yet
  if (r.device < 0) return -1;
  // A layer without the operation keeps no queue of its own.
  const std::int32_t queued = r.layer.OutQueue != nullptr ? r.layer.OutQueue(r.device) : 0;
  if (queued == 0) {
    r.sentStamp = ++r.stampCounter;
  } else if (queued < 0) {
    // A device that cannot say what it holds has lost it.
    r.deviceFailed = true;
    MarkDeviceFailedLocked(r);
  }
  return queued;
}

void WakeDispatch(PortRecord& r) {
  std::lock_guard lock(r.eventMutex);
  r.triggersChanged = true;
  r.eventChanged.notify_all();
}

PortRecord::PortRecord() = default;

PortRecord::~PortRecord() {
  if (comWakeFd >= 0) ::close(comWakeFd);
  if (outputWakeFd >= 0) ::close(outputWakeFd);
  // Threads are joined (or the dispatch thread detached) before the last
  // reference goes; a joinable one here would be a fault of the close path.
  if (comThread.joinable()) comThread.detach();
  if (outputThread.joinable()) outputThread.detach();
  if (dispatchThread.joinable()) dispatchThread.detach();
}

void PortRecord::WakeOutput() { Signal(outputWakeFd); }

void PortRecord::AbortOutputAndWait() {
  if (std::this_thread::get_id() == outputId) return;
  std::unique_lock lock(ackMutex);
  if (!outputRunning) {
    // No output thread: nothing is being sent.
    return;
  }
  const std::uint64_t target = abortAcks + 1;
  outputAbort.store(true);
  Signal(outputWakeFd);
  ackChanged.wait(lock, [&] { return abortAcks >= target || !outputRunning; });
}

std::shared_ptr<PortRecord> AcquirePort(std::uint16_t handle) {
  if (handle < 1 || handle > kMaxPorts) return nullptr;
  std::shared_ptr<PortRecord> rec;
  {
    std::lock_guard lock(PortTableLock());
    const PortSlot& slot = PortTableSlot(handle);
    if (slot.inUse == 0 || slot.record == nullptr) return nullptr;
    rec = g_records[handle];
  }
  if (!rec) return nullptr;
  std::lock_guard lock(rec->portLock);
  if (rec->closing || rec->closePending || rec->inRing.empty()) return nullptr;
  return rec;
}

}  // namespace detail

using detail::AcquirePort;
using detail::PortRecord;

std::int32_t OpenPortRecord(std::uint16_t& handle, const std::string& deviceName,
                            std::uint16_t inSize, std::uint16_t outSize, std::uint32_t baud,
                            std::uint16_t parity, std::uint8_t dataBits, std::uint8_t stopBits) {
  return detail::OpenCommon(handle, &deviceName, 0, inSize, outSize, baud, parity, dataBits,
                            stopBits);
}

std::int32_t OpenPortOnHandle(std::uint16_t& handle, std::int32_t device, std::uint16_t inSize,
                              std::uint16_t outSize) {
  return detail::OpenCommon(handle, nullptr, device, inSize, outSize, 0, 5, 9, 3);
}

std::int32_t ClosePortRecord(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  PortRecord& r = *rec;
  bool deferred;
  {
    std::lock_guard lock(r.portLock);
    const auto self = std::this_thread::get_id();
    deferred = r.inDelivery && (self == r.dispatchId || self == r.handlerThread);
    if (deferred) r.closePending = true;
    else r.closing = true;
  }
  // Abort and empty the output first, while the output thread still runs.
  if (r.device >= 0) r.layer.Flush(r.device, 0);
  if (deferred) {
    // A handler closed its own port: the delivery stops at once, and so do
    // the two threads that use the device, which closes now, so the handler
    // may open it again. The dispatch thread frees the record as it leaves.
    detail::RequestStop(r);
    if (r.outputThread.joinable()) r.outputThread.join();
    if (r.comThread.joinable()) r.comThread.join();
    std::lock_guard lock(r.portLock);
    detail::CloseDevice(r);
    return 0;
  }
  detail::StopThreads(r);
  {
    std::lock_guard lock(r.portLock);
    detail::CloseDevice(r);
    r.handlers.clear();
  }
  detail::ReleaseSlot(handle);
  return 0;
}

std::int32_t StartDispatchThreads(std::uint16_t handle, bool start) {
  auto rec = AcquirePort(handle);
  if (!rec) return 0;
  if (start) return detail::StartThreads(rec);
  detail::StopThreads(*rec);
  return 0;
}

bool ValidPortHandle(std::uint16_t handle) { return AcquirePort(handle) != nullptr; }

std::int32_t SetPortUserWord(std::uint16_t handle, std::int32_t value, std::int32_t k) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  if (k < 1 || k > 10) return kErrBadArgument;
  std::lock_guard lock(rec->portLock);
  rec->userWords[static_cast<std::size_t>(k)] = value;
  return 0;
}

std::int32_t GetPortUserWord(std::uint16_t handle, std::int32_t k) {
  auto rec = AcquirePort(handle);
  if (!rec || k < 1 || k > 10) return 0;
  std::lock_guard lock(rec->portLock);
  return rec->userWords[static_cast<std::size_t>(k)];
}

std::int32_t SetDispatchOption(std::uint16_t handle, std::uint16_t bits) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->options |= static_cast<std::uint16_t>(bits & ~kOptMsrShadow);
  rec->layer.OptionNotify(rec->device, (rec->options & kOptMsrShadow) != 0);
  return 0;
}

std::int32_t ClearDispatchOption(std::uint16_t handle, std::uint16_t bits) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->options &= static_cast<std::uint16_t>(~bits);
  rec->layer.OptionNotify(rec->device, true);
  return 0;
}

bool DispatchOptionSet(std::uint16_t handle, std::uint16_t bits) {
  auto rec = AcquirePort(handle);
  if (!rec) return false;
  std::lock_guard lock(rec->portLock);
  return (rec->options & bits) == bits;
}

std::int32_t SetDispatchEventLevel(std::uint16_t, std::int32_t) { return 0; }

std::int32_t ProcessCommunications(std::uint16_t) { return 0; }

std::int32_t PortDevice(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return -1;
  std::lock_guard lock(rec->portLock);
  return rec->device;
}

std::uint32_t PortOutputError(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return 0;
  std::lock_guard lock(rec->portLock);
  return rec->outputError;
}

bool PortDeviceFailed(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return false;
  std::lock_guard lock(rec->portLock);
  return rec->deviceFailed || rec->outputError != 0;
}

int OpenPortCount() {
  std::lock_guard lock(PortTableLock());
  int count = 0;
  for (std::uint16_t s = 1; s <= kMaxPorts; ++s)
    if (PortTableSlot(s).inUse != 0) ++count;
  return count;
}

}  // namespace comm
