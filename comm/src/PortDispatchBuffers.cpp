// The input ring (filled by the dispatch thread, read by callers) and the
// hand-over of written blocks to the output ring.
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <optional>

#include "comm/CommExcept.h"
#include "comm/PortDispatchRecord.h"

namespace comm {
namespace detail {

std::uint32_t UnreadCount(const PortRecord& r) {
  return static_cast<std::uint32_t>(r.inTail - r.inHead);
}

namespace {

bool CountedReads(const PortRecord& r) {
  return r.readCounting && (r.options & kOptDirectReads) == 0;
}

// Reads one piece of the ring's free space from the device and logs it.
std::uint32_t ReadPiece(PortRecord& r, std::uint32_t index, std::uint32_t count) {
  std::int32_t got = r.layer.Read(r.device, r.inRing.data() + index, static_cast<std::int32_t>(count));
  if (got < 0) {
    r.layer.GetEventMask(r.device, 0xFFFF);
    got = 0;
  }
  const auto n = static_cast<std::uint16_t>(std::min<std::int32_t>(got, static_cast<std::int32_t>(count)));
  AddLogEntryLocked(r, kLogDispatch, kSubReadCom, n, n ? r.inRing.data() + index : nullptr, n);
  r.inTail += n;
  return n;
}

}  // namespace

std::uint32_t CharsAvailableLocked(const PortRecord& r) {
  const std::uint32_t unread = UnreadCount(r);
  if (!CountedReads(r)) return unread;
  return unread > r.perHandlerCount ? unread - r.perHandlerCount : 0;
}

void InputRoomMade(PortRecord& r) {
  if (UnreadCount(r) >= kInputRingSize) return;
  if (r.inputMasked.exchange(false) && r.comWakeFd >= 0) {
    const std::uint64_t one = 1;
    while (::write(r.comWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
}

bool FillInputRingLocked(PortRecord& r) {
  if (UnreadCount(r) >= kInputRingSize) {
    // Full: the bytes wait in the device until there is room again.
    r.inputMasked.store(true);
    return true;
  }
  RefreshLineErrorsLocked(r);
  if (r.queueStatus.cbInQue == 0) return false;
  const std::uint32_t space = kInputRingSize - UnreadCount(r);
  const std::uint32_t wanted = std::min<std::uint32_t>(r.queueStatus.cbInQue, space);
  const auto tailIndex = static_cast<std::uint32_t>(r.inTail % kInputRingSize);
  const std::uint32_t first = std::min<std::uint32_t>(wanted, kInputRingSize - tailIndex);
  const std::uint32_t got = ReadPiece(r, tailIndex, first);
  if (got == first && wanted > first) ReadPiece(r, 0, wanted - first);
  if (UnreadCount(r) >= kInputRingSize) r.inputMasked.store(true);
  return true;
}

void NotifyOutputRoom(PortRecord& r) {
  std::lock_guard lock(r.roomMutex);
  r.roomChanged.notify_all();
}

std::chrono::milliseconds LineTimeLocked(const PortRecord& r, std::uint32_t bytes) {
  const Dcb& line = r.lineState;
  const std::uint32_t baud = std::max<std::uint32_t>(RateFromCode(line.BaudRate), 50);
  const std::uint32_t bitsPerByte = 1u + line.ByteSize + (line.Parity != kNoParity ? 1u : 0u) +
                                    (line.StopBits == kOneStopBit ? 1u : 2u);
  return std::chrono::milliseconds(static_cast<std::uint64_t>(bytes) * bitsPerByte * 1000 / baud);
}

std::uint16_t OutBuffUsedLocked(PortRecord& r) {
  RefreshLineErrorsLocked(r);
  return static_cast<std::uint16_t>(std::min<std::uint32_t>(r.queueStatus.cbOutQue, r.outSize));
}

}  // namespace detail

using detail::AcquirePort;

std::int32_t ReadChar(std::uint16_t handle, std::uint8_t& byte) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  auto& r = *rec;
  std::lock_guard lock(r.portLock);
  const bool counted = r.readCounting && (r.options & kOptDirectReads) == 0;
  const std::uint32_t offset = counted ? r.perHandlerCount : 0;
  if (detail::UnreadCount(r) <= offset) return FilterPortError(handle, kErrBufferIsEmpty);
  byte = r.inRing[(r.inHead + offset) % kInputRingSize];
  if (counted) {
    ++r.perHandlerCount;
  } else {
    ++r.inHead;
    detail::InputRoomMade(r);
  }
  if (r.trace.on) detail::AddTraceEntryLocked(r, 'R', byte);
  return 0;
}

std::int32_t ReadBlock(std::uint16_t handle, std::uint8_t* data, std::uint16_t count) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  auto& r = *rec;
  std::lock_guard lock(r.portLock);
  const bool counted = r.readCounting && (r.options & kOptDirectReads) == 0;
  const std::uint32_t offset = counted ? r.perHandlerCount : 0;
  const std::uint32_t unread = detail::UnreadCount(r);
  const std::uint32_t n = unread > offset ? std::min<std::uint32_t>(count, unread - offset) : 0;
  const std::uint64_t from = r.inHead + offset;
  for (std::uint32_t i = 0; i < n;) {
    const auto index = static_cast<std::uint32_t>((from + i) % kInputRingSize);
    const std::uint32_t piece = std::min(n - i, kInputRingSize - index);
    std::memcpy(data + i, r.inRing.data() + index, piece);
    i += piece;
  }
  if (counted) {
    r.perHandlerCount += n;
  } else {
    r.inHead += n;
    if (n != 0) detail::InputRoomMade(r);
  }
  if (r.trace.on)
    for (std::uint32_t i = 0; i < n; ++i) detail::AddTraceEntryLocked(r, 'R', data[i]);
  return static_cast<std::int32_t>(n);
}

std::int32_t PeekChar(std::uint16_t handle, std::uint8_t& byte, std::uint16_t n) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  if (n < 1 || detail::UnreadCount(*rec) < n) return FilterPortError(handle, kErrBufferIsEmpty);
  byte = rec->inRing[(rec->inHead + n - 1) % kInputRingSize];
  return 0;
}

std::int32_t PeekCharEx(std::uint16_t handle, std::uint8_t& byte, std::uint16_t n) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  auto& r = *rec;
  std::lock_guard lock(r.portLock);
  const bool counted = r.readCounting && (r.options & kOptDirectReads) == 0;
  const std::uint64_t position = static_cast<std::uint64_t>(n) + (counted ? r.perHandlerCount : 0);
  if (n < 1 || detail::UnreadCount(r) < position) return kErrBufferIsEmpty;
  byte = r.inRing[(r.inHead + position - 1) % kInputRingSize];
  return 0;
}

std::int32_t CharsAvailable(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return 0;
  std::lock_guard lock(rec->portLock);
  return static_cast<std::int32_t>(detail::CharsAvailableLocked(*rec));
}

std::int32_t WriteChar(std::uint16_t handle, std::uint8_t byte) {
  return WriteBlock(handle, &byte, 1);
}

std::int32_t WriteBlock(std::uint16_t handle, const std::uint8_t* data, std::uint16_t length) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  if (length == 0) return 0;
  auto& r = *rec;
  std::lock_guard lock(r.portLock);
  detail::RefreshLineErrorsLocked(r);
  const std::uint32_t queued = std::min<std::uint32_t>(r.queueStatus.cbOutQue, r.outSize);
  const std::uint32_t room = r.outSize - queued;
  if (length > room) return FilterPortError(handle, kErrOutputBufferTooSmall);
  std::int32_t accepted = 0;
  const bool wasFull = r.outRing.full;
  // A device that hung up or failed a write takes nothing more: the block
  // fails now rather than vanish in the ring after the caller's last write.
  if (r.outputError == 0 && !r.deviceFailed) {
    if (length == room) r.outRing.full = true;
    accepted = r.layer.Write(r.device, data, length);
  }
  r.outSent = true;
  if (accepted > 0) r.queuedStamp = ++r.stampCounter;
  if (accepted <= 0) {
    // Nothing taken (the device is gone, or the layer refused).
    r.outRing.full = wasFull;
    r.lastWriteCount = static_cast<std::uint32_t>(accepted < 0 ? -accepted : 0);
    detail::RefreshLineErrorsLocked(r);
    return FilterPortError(handle, kErrPutBlockFail);
  }
  r.lastWriteCount = static_cast<std::uint32_t>(accepted);
  const auto n = static_cast<std::uint16_t>(accepted);
  detail::AddLogEntryLocked(r, kLogDispatch, kSubWriteCom, n, data, n);
  if (r.trace.on)
    for (std::uint16_t i = 0; i < n; ++i) detail::AddTraceEntryLocked(r, 'T', data[i]);
  return 0;
}

std::int32_t WaitOutputRoom(std::uint16_t handle, std::uint16_t length,
                            const std::function<bool()>& cancelled) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  auto& r = *rec;
  std::chrono::milliseconds limit;
  {
    std::lock_guard lock(r.portLock);
    if (length > r.outSize) return kErrOutputBufferTooSmall;
    limit = detail::LineTimeLocked(r, r.outSize) + std::chrono::milliseconds(kOutputRoomMarginMs);
  }
  // The device's own queue sits between the ring and the line and may take
  // bytes in bursts: the wait fails only once the ring moved on no longer
  // than the line needs to send all of it.
  auto deadline = std::chrono::steady_clock::now() + limit;
  std::uint32_t lastUsed = ~0u;
  std::int32_t result = 0;
  std::unique_lock wait(r.roomMutex);
  auto settled = [&] {
    if (cancelled && cancelled()) {
      result = kErrPutBlockFail;
      return true;
    }
    std::lock_guard lock(r.portLock);
    if (r.closing || r.closePending || r.kill.load()) {
      result = kErrBadHandle;
      return true;
    }
    // A dead line takes the block (and fails it) at once.
    const std::uint32_t used = detail::OutBuffUsedLocked(r);
    if (r.outputError != 0 || r.outSize - used >= length) {
      result = 0;
      return true;
    }
    if (used < lastUsed) deadline = std::chrono::steady_clock::now() + limit;
    lastUsed = used;
    return false;
  };
  while (!settled()) {
    if (std::chrono::steady_clock::now() >= deadline) return kErrOutputBufferTooSmall;
    r.roomChanged.wait_until(wait, deadline);
  }
  return result;
}

namespace {

// A block was queued while the device's queue was waited for: the ring
// comes first again.
constexpr std::int32_t kRingRefilled = 1;

// The second half of WaitOutputSent, once the ring was seen empty.
std::int32_t WaitDeviceQueue(std::uint16_t handle, const std::function<bool()>& cancelled) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  auto& r = *rec;
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> deadline;
  std::unique_lock wait(r.roomMutex);
  for (;;) {
    if (cancelled && cancelled()) return kErrPutBlockFail;
    std::chrono::milliseconds next;
    {
      std::lock_guard lock(r.portLock);
      if (r.closing || r.closePending || r.kill.load()) return kErrBadHandle;
      // Sent means: both queues seen empty after the last block was
      // queued, and no hang-up or device error seen before that.
      if (r.sentStamp > r.queuedStamp) return r.failedStamp != 0 && r.failedStamp < r.sentStamp ? kErrPutBlockFail : 0;
      if (r.failedStamp != 0) return kErrPutBlockFail;
      if (r.outRing.Used() != 0) return kRingRefilled;
      const std::int32_t queued = detail::LookAtDeviceQueueLocked(r);
      if (queued < 0) return kErrPutBlockFail;
      if (queued == 0) continue;
      // Bounded by what the device held when first asked, at the line's rate.
      const std::chrono::milliseconds lineTime = detail::LineTimeLocked(r, static_cast<std::uint32_t>(queued));
      if (!deadline) deadline = Clock::now() + lineTime + std::chrono::milliseconds(kOutputRoomMarginMs);
      // The device says nothing as its queue empties: asked again as often
      // as the rest would take to send, at least every 50 ms.
      next = std::clamp(lineTime, std::chrono::milliseconds(2), std::chrono::milliseconds(50));
    }
    const auto now = Clock::now();
    if (now >= *deadline) return kErrOutputBufferTooSmall;
    // Woken early by a stop, a hang-up or a new block.
    r.roomChanged.wait_until(wait, std::min(now + next, *deadline));
  }
}

}  // namespace

std::int32_t WaitOutputSent(std::uint16_t handle, const std::function<bool()>& cancelled) {
  std::uint16_t size = 0;
  {
    auto rec = AcquirePort(handle);
    if (!rec) return kErrBadHandle;
    std::lock_guard lock(rec->portLock);
    size = rec->outSize;
  }
  for (;;) {
    // Room for a whole ring is an empty ring, or one a failed write dropped.
    if (const std::int32_t waited = WaitOutputRoom(handle, size, cancelled); waited != 0) return waited;
    // Then what the device itself still holds.
    if (const std::int32_t sent = WaitDeviceQueue(handle, cancelled); sent != kRingRefilled) return sent;
  }
}

void WakeOutputWaiters(std::uint16_t handle) {
  if (auto rec = AcquirePort(handle)) detail::NotifyOutputRoom(*rec);
}

std::int32_t OutBuffUsed(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return 0;
  std::lock_guard lock(rec->portLock);
  return detail::OutBuffUsedLocked(*rec);
}

std::int32_t OutBuffFree(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return 0;
  std::lock_guard lock(rec->portLock);
  return rec->outSize - detail::OutBuffUsedLocked(*rec);
}

}  // namespace comm
