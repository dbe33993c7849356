// Handlers and triggers: registration, the trigger tables, the checks the
// dispatch thread runs, and delivery to every handler of a port.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "comm/CommExcept.h"
#include "comm/PortDispatchRecord.h"
#include "platform/MainThreadExecutor.h"

namespace comm {
namespace detail {
namespace {

constexpr auto kWindowStartTimeout = std::chrono::milliseconds(1000);

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::int32_t AllocTriggerHandle(PortRecord& r, std::uint16_t index, std::uint8_t kind) {
  for (std::uint16_t h = 2; h <= kTriggerHandles; ++h) {
    if (r.registry[h].index == 0) {
      r.registry[h] = {index, kind};
      r.reusedHandle[h] = true;
      return h;
    }
  }
  return kErrNoMoreTriggers;
}

// Feeds one byte to a data trigger: true when it completes the string. Every
// candidate (a counter above 0) is advanced or dropped, and a new one starts
// at a byte equal to the first character, so overlapping matches are found.
bool MatchDataByte(DataTrigger& t, char byte) {
  if (t.length == 0) return false;
  if (t.ignoreCase) byte = Upper(byte);
  const auto length = t.length;
  for (auto& c : t.counters) {
    if (c == 0) continue;
    if (t.text[c] == byte) {
      if (++c == length) {
        t.counters.fill(0);
        return true;
      }
    } else {
      c = 0;
    }
  }
  if (t.text[0] == byte) {
    if (length == 1) {
      t.counters.fill(0);
      return true;
    }
    for (auto& c : t.counters) {
      if (c == 0) {
        c = 1;
        break;
      }
    }
  }
  return false;
}

bool StatusConditionHolds(PortRecord& r, StatusTrigger& t) {
  switch (t.kind) {
    case kStatusModem: {
      const std::uint8_t reference = t.data & 0xFF;
      const std::uint8_t mask = t.data >> 8;
      return ((r.modemStatus ^ reference) & mask) != 0;
    }
    case kStatusLineError:
      if ((r.lineErrorBits & t.data) == 0) return false;
      t.data = static_cast<std::uint16_t>(r.lineErrorBits);
      return true;
    case kStatusOutFree: return static_cast<std::uint32_t>(r.outSize - OutBuffUsedLocked(r)) >= t.data;
    case kStatusOutUsed: return OutBuffUsedLocked(r) <= t.data;
    case kStatusOutSent:
      if (!r.outSent) return false;
      r.outSent = false;
      return true;
    default: return false;
  }
}

}  // namespace

void ClearTriggersLocked(PortRecord& r) {
  r.registry.fill({});
  r.timers.fill({});
  r.dataTriggers.fill({});
  r.statusTriggers.fill({});
  r.statusFired.fill(false);
  r.reusedHandle.fill(false);
  r.firedThisPass = false;
}

bool DeliverTrigger(PortRecord& r, std::uint16_t message, std::uint16_t wParam,
                    std::uint16_t lParamLow) {
  std::vector<std::shared_ptr<HandlerNode>> nodes;
  const bool counting = message == MsgTriggerAvail || message == MsgTriggerData;
  {
    std::lock_guard lock(r.portLock);
    r.inDelivery = true;
    r.readCounting = counting;
    r.largestRead = 0;
    r.reusedHandle.fill(false);
    nodes = r.handlers;  // a node registered meanwhile hears the next delivery
  }
  const std::uint32_t port = static_cast<std::uint32_t>(r.portHandle) << 16;
  const std::uint32_t fullMessage = port | message;
  const std::uint32_t lParam = port | lParamLow;
  bool result = true;
  bool closed = false;
  for (const auto& node : nodes) {
    bool removed;
    // The window's executor is read under the lock, while the node is known to
    // be registered: a close on the main thread deregisters (under the lock)
    // before it destroys the window.
    platform::MainThreadExecutor* windowExecutor = nullptr;
    {
      std::lock_guard lock(r.portLock);
      r.perHandlerCount = 0;
      removed = node->removed;
      if (!removed && node->window != nullptr) windowExecutor = &node->window->Executor();
    }
    if (!removed && !r.kill.load()) {
      if (node->kind == 2) {
        {
          std::lock_guard lock(r.portLock);
          r.handlerThread = std::this_thread::get_id();
        }
        try {
          node->proc(0, fullMessage, wParam, lParam);
        } catch (...) {
          // A handler's exception never reaches the dispatch thread's loop.
        }
      } else if (windowExecutor != nullptr) {
        TriggerWindow* window = node->window;
        PortRecord* record = &r;
        auto work = [record, node, window, fullMessage, wParam, lParam] {
          {
            std::lock_guard lock(record->portLock);
            if (node->removed) return;  // deregistered (and maybe gone) meanwhile
            record->handlerThread = std::this_thread::get_id();
          }
          try {
            window->WindowProc(fullMessage, wParam, lParam);
          } catch (...) {
          }
          std::lock_guard lock(record->portLock);
          record->handlerThread = {};
        };
        auto ticket = windowExecutor->Post(std::move(work));
        {
          std::lock_guard lock(r.ticketMutex);
          r.currentTicket = ticket;
        }
        if (r.kill.load()) ticket->Cancel();
        const auto outcome = platform::MainThreadExecutor::Wait(ticket, kWindowStartTimeout);
        {
          std::lock_guard lock(r.ticketMutex);
          r.currentTicket.reset();
        }
        if (outcome == platform::MainThreadExecutor::Outcome::PassedOver &&
            message == MsgTriggerAvail) {
          std::lock_guard lock(r.portLock);
          r.availPassedOver = true;
        }
      }
    }
    std::lock_guard lock(r.portLock);
    r.handlerThread = {};
    if (r.closePending || r.kill.load()) {
      closed = true;
      break;
    }
    r.largestRead = std::max(r.largestRead, r.perHandlerCount);
    if (!node->passOn) break;
    if (message != MsgTriggerAvail && wParam <= kTriggerHandles && r.reusedHandle[wParam]) break;
  }
  std::lock_guard lock(r.portLock);
  // Unlink the nodes removed during (or before) this delivery.
  std::erase_if(r.handlers, [](const auto& n) { return n->removed; });
  if (r.readCounting && !closed) {
    const std::uint32_t taken = std::min(r.largestRead, UnreadCount(r));
    r.inHead += taken;
    if (taken != 0) InputRoomMade(r);
    // Bytes that came while the handlers ran may have been taken as well.
    if (message == MsgTriggerAvail) result = taken >= wParam;
  }
  r.readCounting = false;
  r.unlinkPending = false;
  r.inDelivery = false;
  r.perHandlerCount = 0;
  return closed ? false : result;
}

bool CheckDataTriggers(PortRecord& r) {
  std::unique_lock lock(r.portLock);
  // Only the entries in use are fed; with none the scan jumps to the tail.
  std::array<std::uint8_t, kDataTriggers> inUse{};
  int used = 0;
  for (int i = 1; i <= kDataTriggers; ++i)
    if (r.dataTriggers[i].length != 0) inUse[used++] = static_cast<std::uint8_t>(i);
  if (used == 0 && r.scanPos < r.inTail) r.scanPos = r.inTail;
  while (r.scanPos < r.inTail) {
    const std::uint64_t pos = r.scanPos;
    const char byte = static_cast<char>(r.inRing[pos % kInputRingSize]);
    std::uint16_t longest = 0;
    const bool fedAlready = pos == r.fedPos;
    for (int k = 0; k < used; ++k) {
      DataTrigger& t = r.dataTriggers[inUse[k]];
      if (!fedAlready && !t.matched && MatchDataByte(t, byte)) t.matched = true;
      if (t.matched) longest = std::max(longest, t.length);
    }
    if (longest == 0) {
      r.scanPos = pos + 1;
      continue;
    }
    if (r.triggerLength != 0 && pos != r.lastAvailPos) {
      // Unread bytes before the match; none when earlier deliveries took
      // some of the match itself.
      const std::uint64_t matchStart = pos + 1 - std::min<std::uint64_t>(longest, pos + 1);
      const std::uint64_t before = matchStart > r.inHead ? matchStart - r.inHead : 0;
      if (before >= r.triggerLength) {
        AddLogEntryLocked(r, kLogTrigger, kSubAvail, 0, nullptr, static_cast<std::uint16_t>(before));
        r.scanPos = pos;
        r.lastAvailPos = pos;
        r.fedPos = pos;
        lock.unlock();
        return DeliverTrigger(r, MsgTriggerAvail, static_cast<std::uint16_t>(before), 0);
      }
    }
    std::vector<std::pair<std::uint16_t, std::uint16_t>> matched;
    for (int i = 1; i <= kDataTriggers; ++i) {
      DataTrigger& t = r.dataTriggers[i];
      if (t.length == 0 || !t.matched) continue;
      t.matched = false;
      AddLogEntryLocked(r, kLogTrigger, kSubData, 0, nullptr, t.handle);
      matched.emplace_back(t.handle, t.length);
    }
    r.scanPos = pos + 1;
    lock.unlock();
    bool result = false;
    for (const auto& [trigger, length] : matched) {
      result = DeliverTrigger(r, MsgTriggerData, trigger, length);
      std::lock_guard again(r.portLock);
      if (r.closePending || r.kill.load()) return false;
    }
    return result;
  }
  const std::uint32_t available = CharsAvailableLocked(r);
  if (r.triggerLength != 0 && r.scanPos != r.lastAvailPos && available >= r.triggerLength) {
    AddLogEntryLocked(r, kLogTrigger, kSubAvail, 0, nullptr, static_cast<std::uint16_t>(available));
    r.lastAvailPos = r.scanPos;
    lock.unlock();
    return DeliverTrigger(r, MsgTriggerAvail, static_cast<std::uint16_t>(available), 0);
  }
  return false;
}

bool CheckStatusTriggers(PortRecord& r, bool& fired) {
  fired = false;
  std::unique_lock lock(r.portLock);
  for (int i = 1; i <= kStatusTriggers; ++i) {
    StatusTrigger& t = r.statusTriggers[i];
    if (t.kind == 0 || !t.armed || r.statusFired[i]) continue;
    if (!StatusConditionHolds(r, t)) continue;
    t.armed = false;
    r.statusFired[i] = true;
    r.firedThisPass = true;
    AddLogEntryLocked(r, kLogTrigger, kSubStatus, 0, nullptr, t.handle);
    std::uint16_t low = 0;
    if (t.kind == kStatusOutFree) low = static_cast<std::uint16_t>(r.outSize - OutBuffUsedLocked(r));
    if (t.kind == kStatusOutUsed) low = OutBuffUsedLocked(r);
    const std::uint16_t trigger = t.handle;
    lock.unlock();
    fired = true;
    return DeliverTrigger(r, MsgTriggerStatus, trigger, low);
  }
  return false;
}

bool CheckTimerTriggers(PortRecord& r, bool& fired) {
  fired = false;
  std::unique_lock lock(r.portLock);
  for (int i = 1; i <= kTimerTriggers; ++i) {
    TimerTrigger& t = r.timers[i];
    if (!t.inUse || !t.active || !TickTimerExpired(t.timer)) continue;
    t.active = false;
    AddLogEntryLocked(r, kLogTrigger, kSubTimer, 0, nullptr, t.handle);
    const std::uint16_t trigger = t.handle;
    lock.unlock();
    fired = true;
    return DeliverTrigger(r, MsgTriggerTimer, trigger, 0);
  }
  return false;
}

}  // namespace detail

using detail::AcquirePort;

std::int32_t RegisterTriggerWindow(std::uint16_t handle, TriggerWindow* window, TriggerProc proc,
                                   bool passOn) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::shared_ptr<detail::HandlerNode> node;
  try {
    node = std::make_shared<detail::HandlerNode>();
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  node->kind = window != nullptr ? 1 : 2;
  node->window = window;
  node->proc = window != nullptr ? nullptr : proc;
  node->passOn = passOn;
  if (node->kind == 2 && proc == nullptr) return kErrBadArgument;
  std::lock_guard lock(rec->portLock);
  rec->handlers.insert(rec->handlers.begin(), std::move(node));
  return 0;
}

std::int32_t DeregisterTriggerHandler(std::uint16_t handle, TriggerWindow* window,
                                      TriggerProc proc) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  for (auto& node : rec->handlers) {
    if (node->removed) continue;
    if ((window != nullptr && node->window == window) ||
        (proc != nullptr && node->proc == proc)) {
      node->removed = true;
      break;
    }
  }
  if (rec->inDelivery) rec->unlinkPending = true;
  else std::erase_if(rec->handlers, [](const auto& n) { return n->removed; });
  return 0;
}

std::int32_t SetTriggerLength(std::uint16_t handle, std::uint16_t length) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->triggerLength = length;
  return 0;
}

std::int32_t CreateTimerTrigger(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  for (std::uint16_t i = 1; i <= kTimerTriggers; ++i) {
    auto& t = rec->timers[i];
    if (t.inUse) continue;
    const std::int32_t trigger = detail::AllocTriggerHandle(*rec, i, detail::kKindTimer);
    if (trigger < 0) break;
    t = {};
    t.handle = static_cast<std::uint16_t>(trigger);
    t.inUse = true;
    return trigger;
  }
  return FilterPortError(handle, kErrNoMoreTriggers);
}

std::int32_t ArmTimerTrigger(std::uint16_t handle, std::uint16_t trigger, std::uint32_t ticks,
                             bool activate) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  if (trigger < 2 || trigger > kTriggerHandles || rec->registry[trigger].kind != detail::kKindTimer)
    return FilterPortError(handle, kErrBadTriggerHandle);
  auto& t = rec->timers[rec->registry[trigger].index];
  t.active = activate;
  if (activate) {
    if (ticks != 0) t.duration = ticks;
    StartTickTimer(t.timer, t.duration);
    detail::WakeDispatch(*rec);
  }
  return 0;
}

std::int32_t AddDataTrigger(std::uint16_t handle, const char* text, std::uint16_t length,
                            bool ignoreCase) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  if (length > kMaxDataTriggerLength) return FilterPortError(handle, kErrTriggerTooLong);
  if (length != 0 && text == nullptr) return kErrBadArgument;
  std::lock_guard lock(rec->portLock);
  for (std::uint16_t i = 1; i <= kDataTriggers; ++i) {
    auto& t = rec->dataTriggers[i];
    if (t.length != 0) continue;
    const std::int32_t trigger = detail::AllocTriggerHandle(*rec, i, detail::kKindData);
    if (trigger < 0) break;
    t = {};
    t.handle = static_cast<std::uint16_t>(trigger);
    t.length = length;
    t.ignoreCase = ignoreCase;
    for (std::uint16_t k = 0; k < length; ++k)
      t.text[k] = ignoreCase ? detail::Upper(text[k]) : text[k];
    return trigger;
  }
  return FilterPortError(handle, kErrNoMoreTriggers);
}

std::int32_t AddDataTrigger(std::uint16_t handle, const char* text, bool ignoreCase) {
  const std::size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length > kMaxDataTriggerLength) {
    if (!ValidPortHandle(handle)) return kErrBadHandle;
    return FilterPortError(handle, kErrTriggerTooLong);
  }
  return AddDataTrigger(handle, text, static_cast<std::uint16_t>(length), ignoreCase);
}

std::int32_t AddStatusTrigger(std::uint16_t handle, std::uint16_t kind, std::uint16_t data) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  if (kind < kStatusModem || kind > kStatusOutSent) return kErrBadArgument;
  std::lock_guard lock(rec->portLock);
  for (std::uint16_t i = 1; i <= kStatusTriggers; ++i) {
    auto& t = rec->statusTriggers[i];
    if (t.kind != 0) continue;
    const std::int32_t trigger = detail::AllocTriggerHandle(*rec, i, detail::kKindStatus);
    if (trigger < 0) break;
    t = {static_cast<std::uint16_t>(trigger), kind, true, data};
    detail::WakeDispatch(*rec);
    return trigger;
  }
  return FilterPortError(handle, kErrNoMoreTriggers);
}

std::int32_t ArmStatusTrigger(std::uint16_t handle, std::uint16_t trigger, std::uint16_t data) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  if (trigger < 2 || trigger > kTriggerHandles ||
      rec->registry[trigger].kind != detail::kKindStatus)
    return FilterPortError(handle, kErrBadTriggerHandle);
  auto& t = rec->statusTriggers[rec->registry[trigger].index];
  t.data = data;
  t.armed = true;
  detail::WakeDispatch(*rec);
  return 0;
}

std::int32_t ReleaseTrigger(std::uint16_t handle, std::uint16_t trigger) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  if (trigger == 1) {
    rec->triggerLength = 0;
    return 0;
  }
  if (trigger < 2 || trigger > kTriggerHandles) return 0;
  const auto entry = rec->registry[trigger];
  if (entry.index == 0) return 0;
  switch (entry.kind) {
    case detail::kKindTimer: rec->timers[entry.index] = {}; break;
    case detail::kKindData: rec->dataTriggers[entry.index] = {}; break;
    case detail::kKindStatus: rec->statusTriggers[entry.index] = {}; break;
    default: break;
  }
  rec->registry[trigger] = {};
  return 0;
}

std::int32_t StatusTriggerKind(std::uint16_t handle, std::uint16_t trigger) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  if (trigger < 2 || trigger > kTriggerHandles) return 0;
  const auto entry = rec->registry[trigger];
  if (entry.kind != detail::kKindStatus || entry.index == 0) return 0;
  return rec->statusTriggers[entry.index].kind;
}

std::int32_t SaveTriggers(std::uint16_t handle, TriggerBlock& block) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  block = TriggerBlock{};
  block.triggerLength = rec->triggerLength;
  for (int h = 1; h <= kTriggerHandles; ++h)
    block.registry[h] = {rec->registry[h].index, rec->registry[h].kind};
  for (int i = 1; i <= kTimerTriggers; ++i) {
    const auto& t = rec->timers[i];
    block.timers[i] = {t.handle, t.timer.start, t.timer.expiry, t.duration, t.inUse, t.active};
  }
  for (int i = 1; i <= kDataTriggers; ++i) {
    const auto& t = rec->dataTriggers[i];
    block.data[i] = {t.handle, t.length, t.counters, t.matched, t.ignoreCase, t.text};
  }
  for (int i = 1; i <= kStatusTriggers; ++i) {
    const auto& t = rec->statusTriggers[i];
    block.status[i] = {t.handle, t.kind, t.armed, t.data};
  }
  return 0;
}

std::int32_t RestoreTriggers(std::uint16_t handle, const TriggerBlock& block) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->triggerLength = block.triggerLength;
  for (int h = 1; h <= kTriggerHandles; ++h) {
    const auto& e = block.registry[h];
    // A handle pointing outside its table is dropped, never followed.
    const int limit = e.kind == detail::kKindTimer    ? kTimerTriggers
                      : e.kind == detail::kKindData   ? kDataTriggers
                      : e.kind == detail::kKindStatus ? kStatusTriggers
                                                      : 0;
    rec->registry[h] = (h >= 2 && e.index >= 1 && e.index <= limit)
                           ? detail::RegistryEntry{e.index, e.kind}
                           : detail::RegistryEntry{};
  }
  for (int i = 1; i <= kTimerTriggers; ++i) {
    const auto& t = block.timers[i];
    rec->timers[i] = {t.handle, {t.start, t.expiry}, t.duration, t.inUse, t.active};
  }
  for (int i = 1; i <= kDataTriggers; ++i) {
    const auto& t = block.data[i];
    auto& d = rec->dataTriggers[i];
    d = {};
    d.handle = t.handle;
    d.length = std::min<std::uint16_t>(t.length, kMaxDataTriggerLength);
    for (auto& c : d.counters) c = 0;
    for (std::size_t k = 0; k < d.counters.size(); ++k)
      d.counters[k] = std::min<std::uint16_t>(t.counters[k], d.length ? d.length - 1 : 0);
    d.matched = t.matched;
    d.ignoreCase = t.ignoreCase;
    d.text = t.text;
  }
  for (int i = 1; i <= kStatusTriggers; ++i) {
    const auto& t = block.status[i];
    rec->statusTriggers[i] = {t.handle, t.kind, t.armed, t.data};
  }
  rec->statusFired.fill(false);
  detail::WakeDispatch(*rec);
  return 0;
}

bool DeliverTrigger(std::uint16_t handle, std::uint16_t message, std::uint16_t wParam,
                    std::uint16_t lParamLow) {
  auto rec = AcquirePort(handle);
  if (!rec) return false;
  return detail::DeliverTrigger(*rec, message, wParam, lParamLow);
}

}  // namespace comm
