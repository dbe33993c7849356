// The modem engine. Every operation and the handler take the record's lock
// while they look at or change the record, and let it go before any pause or
// send of a command string (an "InFlight" operation keeps the others out
// meanwhile) and before any notice, which receivers get with no lock held.
#include "comm/ModemEngine.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "comm/CommExcept.h"
#include "comm/CommMisc.h"
#include "comm/DevLayer.h"
#include "comm/PortDispatch.h"
#include "platform/MainThreadExecutor.h"

namespace comm {

namespace {

using Lock = std::unique_lock<std::mutex>;
using Notices = std::vector<TModemNotice>;

constexpr std::int32_t kModemUserWord = 4;
constexpr std::uint32_t kSecondTicks = 18;
constexpr std::int32_t kNoSpeed = 300;
constexpr std::int32_t kMaxSpeedDigits = 13;  // stopping there drops the 13th

const std::initializer_list<int> kCommandSet = {kRspOk, kRspError};
const std::initializer_list<int> kConnectSet = {kRspConnect, kRspBusy,       kRspVoice,
                                                kRspNoCarrier, kRspNoDialTone, kRspError};
const std::initializer_list<int> kRingSet = {kRspRing};

bool OnMainThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

// A pause "with yielding" runs the program's events only on the main thread;
// elsewhere (the dispatch thread) there is no event loop to keep alive.
void Pause(std::uint32_t ticks, bool yield) {
  if (ticks == 0) return;
  WaitTicks(static_cast<std::int32_t>(std::min<std::uint32_t>(ticks, 0x7FFFFFFF)),
            yield && OnMainThread());
}

void Report(const TModemRecord& r, std::int32_t code) {
  if (code < 0) FilterPortError(r.PortHandle, code);
}

void Notify(TModemRecord& r, Notices& out, std::uint32_t msg, std::int32_t first = 0,
            std::int32_t second = 0) {
  r.LastMessage = msg;
  out.push_back({msg, first, second, r.LineSpeed, r.PassRecord ? &r : nullptr});
}

// Calls every receiver with each notice, in order; no lock held meanwhile.
void Deliver(TModemRecord& r, const Notices& notices) {
  for (const TModemNotice& notice : notices) {
    std::vector<std::shared_ptr<TModemUserNode>> nodes;
    {
      std::lock_guard lock(r.Lock);
      if (r.Freed) return;
      nodes = r.UserProcs;
    }
    bool anyDeleted = false;
    for (const auto& node : nodes) {
      {
        std::lock_guard lock(r.Lock);
        if (r.Freed) return;
        if (node->Deleted) {
          anyDeleted = true;
          continue;
        }
        ++r.Delivering;
        r.DeliveryThread = std::this_thread::get_id();
      }
      struct Done {
        TModemRecord& r;
        ~Done() {
          std::lock_guard lock(r.Lock);
          if (--r.Delivering == 0) r.DeliveryThread = {};
          r.DeliveryDone.notify_all();
        }
      } done{r};
      try {
        if (node->Proc) {
          node->Proc(notice);
        } else if (node->Window != nullptr) {
          TriggerWindow* window = node->Window;
          const auto msg = notice.Msg;
          const auto first = static_cast<std::uint32_t>(notice.First);
          const auto second = static_cast<std::uint32_t>(notice.Second);
          window->Executor().Run([window, msg, first, second] {
            try {
              window->WindowProc(msg, first, second);
            } catch (...) {
            }
          }, std::chrono::milliseconds(1000));
        }
      } catch (...) {
        // A receiver's exception never reaches the dispatch thread.
      }
    }
    if (anyDeleted) {
      std::lock_guard lock(r.Lock);
      std::erase_if(r.UserProcs, [](const auto& n) { return n->Deleted; });
    }
  }
}

// --- triggers (lock held) ---

std::int32_t AddSlots(TModemRecord& r, TModemSlot* const* list, std::size_t n, bool ignoreCase) {
  std::vector<TModemSlot*> added;
  for (std::size_t i = 0; i < n; ++i) {
    TModemSlot& s = *list[i];
    // An empty word can match nothing: it takes no trigger.
    if (s.Added || s.Text.empty()) continue;
    const std::int32_t h = AddDataTrigger(r.PortHandle, s.Text.c_str(), ignoreCase);
    if (h < 0) {
      for (TModemSlot* a : added) {
        ReleaseTrigger(r.PortHandle, static_cast<std::uint16_t>(a->Trigger));
        a->Trigger = 0;
        a->Added = false;
      }
      return h;
    }
    s.Trigger = h;
    s.Added = true;
    added.push_back(&s);
  }
  return 0;
}

std::int32_t ReleaseSlots(TModemRecord& r, TModemSlot* const* list, std::size_t n) {
  std::int32_t result = 0;
  for (std::size_t i = 0; i < n; ++i) {
    TModemSlot& s = *list[i];
    if (!s.Added) continue;
    const std::int32_t code = ReleaseTrigger(r.PortHandle, static_cast<std::uint16_t>(s.Trigger));
    if (code < 0 && result == 0) result = code;
    s.Trigger = 0;
    s.Added = false;
  }
  return result;
}

std::vector<TModemSlot*> ResponseSlots(TModemRecord& r, std::initializer_list<int> set) {
  std::vector<TModemSlot*> list;
  for (int k : set) list.push_back(&r.Responses[static_cast<std::size_t>(k)]);
  return list;
}

std::vector<TModemSlot*> ErrorTagSlots(TModemRecord& r) {
  std::vector<TModemSlot*> list;
  for (int i = 0; i < r.ErrorTagCount; ++i) list.push_back(&r.ErrorTags[static_cast<std::size_t>(i)]);
  return list;
}

std::vector<TModemSlot*> CompressTagSlots(TModemRecord& r) {
  std::vector<TModemSlot*> list;
  for (int i = 0; i < r.CompressTagCount; ++i)
    list.push_back(&r.CompressTags[static_cast<std::size_t>(i)]);
  return list;
}

std::int32_t AddSet(TModemRecord& r, std::initializer_list<int> set) {
  const auto list = ResponseSlots(r, set);
  return AddSlots(r, list.data(), list.size(), true);
}

std::int32_t ReleaseSet(TModemRecord& r, std::initializer_list<int> set) {
  const auto list = ResponseSlots(r, set);
  return ReleaseSlots(r, list.data(), list.size());
}

std::int32_t AddTags(TModemRecord& r) {
  auto list = ErrorTagSlots(r);
  const auto compress = CompressTagSlots(r);
  list.insert(list.end(), compress.begin(), compress.end());
  return AddSlots(r, list.data(), list.size(), false);
}

std::int32_t ReleaseErrorTags(TModemRecord& r) {
  const auto list = ErrorTagSlots(r);
  return ReleaseSlots(r, list.data(), list.size());
}

std::int32_t ReleaseCompressTags(TModemRecord& r) {
  const auto list = CompressTagSlots(r);
  return ReleaseSlots(r, list.data(), list.size());
}

std::int32_t ReleaseTags(TModemRecord& r) {
  const std::int32_t a = ReleaseErrorTags(r);
  const std::int32_t b = ReleaseCompressTags(r);
  return a != 0 ? a : b;
}

// The handle is cleared at once: a released handle is soon another user's.
std::int32_t ReleaseTimer(TModemRecord& r) {
  if (r.TimerTrigger < 2) {
    r.TimerTrigger = 0;
    return 0;
  }
  const std::int32_t code = ReleaseTrigger(r.PortHandle, static_cast<std::uint16_t>(r.TimerTrigger));
  r.TimerTrigger = 0;
  return code;
}

std::int32_t ReleaseEverything(TModemRecord& r) {
  std::int32_t result = ReleaseSet(r, {1, 2, 3, 4, 5, 6, 7, 8});
  const std::int32_t tags = ReleaseTags(r);
  const std::int32_t timer = ReleaseTimer(r);
  if (result == 0) result = tags;
  if (result == 0) result = timer;
  return result;
}

// Creates a timer trigger into TimerTrigger and arms it.
std::int32_t StartTimer(TModemRecord& r, std::uint32_t ticks) {
  const std::int32_t t = CreateTimerTrigger(r.PortHandle);
  if (t < 0) return t;
  r.TimerTrigger = t;
  return ArmTimerTrigger(r.PortHandle, static_cast<std::uint16_t>(t), ticks, true);
}

int ResponseOf(const TModemRecord& r, std::uint16_t trigger) {
  for (int k = 1; k <= 8; ++k) {
    const auto& s = r.Responses[static_cast<std::size_t>(k)];
    if (s.Added && s.Trigger == trigger) return k;
  }
  return 0;
}

bool IsTag(const std::array<TModemSlot, kMaxModemTags>& tags, std::int32_t count,
           std::uint16_t trigger) {
  for (int i = 0; i < count; ++i) {
    const auto& s = tags[static_cast<std::size_t>(i)];
    if (s.Added && s.Trigger == trigger) return true;
  }
  return false;
}

void ClearResponseLine(TModemRecord& r) {
  r.ResponseLine.fill(0);
  r.ResponseLen = 0;
  r.LineEnded = false;
}

// --- sending ---

struct SendParams {
  std::uint16_t port = 0;
  std::uint32_t charDelay = 0;
  std::uint32_t tildeDelay = 0;
  // The record and its generation when the send began: a send whose engine
  // was stopped in a pause sends nothing more (the port handle may be
  // another device's by then).
  const TModemRecord* record = nullptr;
  std::uint32_t generation = 0;
};

// Lock held.
SendParams SendParamsOf(const TModemRecord& r) {
  return {r.PortHandle, r.CharDelay, r.TildeDelay, &r, r.Generation};
}

// The engine was stopped since the send or hold began. Lock not held.
bool StoppedSince(const TModemRecord& r, std::uint32_t generation) {
  std::lock_guard lock(r.Lock);
  return r.Freed || r.Generation != generation;
}

std::int32_t SendText(const SendParams& p, const std::string& text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    if (p.record != nullptr && StoppedSince(*p.record, p.generation)) return kErrModemNotStarted;
    const char c = text[i];
    if (c == '~') {
      Pause(p.tildeDelay, true);
      ++i;
      continue;
    }
    std::uint8_t byte = static_cast<std::uint8_t>(c);
    std::size_t used = 1;
    if (c == '^' && i + 1 < n) {
      const int code = std::toupper(static_cast<unsigned char>(text[i + 1])) - 64;
      if (code >= 0 && code <= 31) {
        byte = static_cast<std::uint8_t>(code);
        used = 2;
      }
    }
    const std::int32_t written = WriteChar(p.port, byte);
    if (written < 0) return written;
    i += used;
    if (i < n && p.charDelay != 0) Pause(p.charDelay, true);
  }
  return 0;
}

// --- the handler's steps (lock held unless stated) ---

// What the handler leaves for after the lock is let go.
struct Deferred {
  enum class Kind { None, FailWithCancel, Answer } kind = Kind::None;
  std::uint32_t thenMsg = 0;  // the notice after MsgConnectFailed
};

void SetSpeed(TModemRecord& r) {
  if (r.LockDTE) return;
  Report(r, SetLineParams(r.PortHandle, static_cast<std::uint32_t>(std::max(r.LineSpeed, 0)), 5,
                          9, 3));
}

void BeginTagWait(TModemRecord& r, Notices& out) {
  const std::int32_t code = StartTimer(r, r.TagWaitTicks);
  if (code >= 0) {
    r.State = kModemTagWait;
    return;
  }
  ReleaseTimer(r);
  ReleaseTags(r);
  r.State = kModemIdle;
  Report(r, code);
  Notify(r, out, MsgConnectFailed);
}

// A read that failed while the line speed was awaited ends the connection.
void ReadFailedAfterConnect(TModemRecord& r, std::int32_t code, Notices& out) {
  ReleaseTimer(r);
  ReleaseTags(r);
  r.State = kModemIdle;
  Report(r, code);
  Notify(r, out, MsgConnectFailed);
}

void FailWithoutCancel(TModemRecord& r, Notices& out, std::uint32_t thenMsg) {
  Report(r, ReleaseSet(r, kConnectSet));
  Report(r, ReleaseTags(r));
  Report(r, ReleaseTimer(r));
  r.State = kModemIdle;
  r.LineSpeed = 0;
  r.TimerTrigger = 0;
  Notify(r, out, MsgConnectFailed);
  Notify(r, out, thenMsg);
}

void CheckTags(TModemRecord& r, std::uint16_t trigger, Notices& out) {
  // One of a kind's tags came: the kind's tags are released, then it is noticed.
  const auto heard = [&](std::int32_t (*release)(TModemRecord&), std::uint32_t msg, bool& got) {
    const std::int32_t code = release(r);
    if (code < 0) {
      Report(r, code);
      return;
    }
    Notify(r, out, msg);
    got = true;
  };
  if (IsTag(r.ErrorTags, r.ErrorTagCount, trigger)) {
    heard(ReleaseErrorTags, MsgGotErrCorrection, r.GotErrCorrection);
  } else if (IsTag(r.CompressTags, r.CompressTagCount, trigger)) {
    heard(ReleaseCompressTags, MsgGotDataCompression, r.GotDataCompression);
  }
}

void EndTagWait(TModemRecord& r, Notices& out) {
  const std::int32_t code = ReleaseTimer(r);
  r.State = kModemIdle;
  Notify(r, out, code < 0 ? MsgConnectFailed : MsgModemIsConnected);
}

void EndCommand(TModemRecord& r) {
  Report(r, ReleaseSet(r, kCommandSet));
  Report(r, ReleaseTimer(r));
  r.State = kModemIdle;
  r.TimerTrigger = 0;
}

// Ends the ring wait: true when both releases succeeded.
bool EndRingWait(TModemRecord& r) {
  r.State = kModemIdle;
  const std::int32_t a = ReleaseSet(r, kRingSet);
  const std::int32_t b = ReleaseTimer(r);
  Report(r, a);
  Report(r, b);
  return a == 0 && b == 0;
}

struct Reader {
  std::uint16_t port;
  bool peek;
  std::uint32_t count;  // bytes of the delivery
  std::uint32_t pos = 1;

  bool More() const { return pos <= count; }

  // Takes the next byte; feeds the response line.
  std::int32_t Take(TModemRecord& r, std::uint8_t& byte) {
    const std::int32_t code =
        peek ? PeekCharEx(port, byte, static_cast<std::uint16_t>(pos)) : ReadChar(port, byte);
    ++pos;
    if (code < 0) return code;
    if (r.State != kModemIdle) {
      if (byte == '\r' || byte == '\n') {
        r.LineEnded = true;
      } else {
        if (r.LineEnded) {
          r.ResponseLine.fill(0);
          r.ResponseLen = 0;
          r.LineEnded = false;
        }
        if (r.ResponseLen < 255) r.ResponseLine[static_cast<std::size_t>(r.ResponseLen++)] = static_cast<char>(byte);
      }
    }
    return 0;
  }
};

void SpeedDigits(TModemRecord& r, Reader& in, Notices& out) {
  while (in.More()) {
    std::uint8_t byte = 0;
    const std::int32_t code = in.Take(r, byte);
    if (code < 0) {
      ReadFailedAfterConnect(r, code, out);
      return;
    }
    r.SpeedText[static_cast<std::size_t>(r.SpeedLen++)] = static_cast<char>(byte);
    if (std::isdigit(byte) && r.SpeedLen < kMaxSpeedDigits) continue;
    --r.SpeedLen;  // the byte that stopped the speed is not part of it
    std::int32_t value = 0;
    const bool converted =
        TextToNumber(std::string(r.SpeedText.data(), static_cast<std::size_t>(r.SpeedLen)), value);
    // Too many digits for a number is no speed at all, never an overflow.
    r.LineSpeed = converted ? value : kNoSpeed;
    SetSpeed(r);
    Report(r, ReleaseTimer(r));
    r.State = kModemIdle;
    Notify(r, out, MsgGotLineSpeed, 0, r.LineSpeed);
    BeginTagWait(r, out);
    return;
  }
}

void ActByState(TModemRecord& r, std::uint16_t msg, std::uint16_t wParam, Reader& in,
                Notices& out, Deferred& later) {
  const bool data = msg == MsgTriggerData;
  const bool ownTimer = msg == MsgTriggerTimer && r.TimerTrigger != 0 && wParam == r.TimerTrigger;
  const bool avail = msg == MsgTriggerAvail;
  switch (r.State) {
    case kModemCommand: {
      if (data) {
        const int k = ResponseOf(r, wParam);
        if (k == kRspOk) {
          Notify(r, out, MsgModemOk);
          EndCommand(r);
          Notify(r, out, MsgCommandProcessed, kCmdOk);
        } else if (k == kRspError) {
          Notify(r, out, MsgModemError);
          EndCommand(r);
          Notify(r, out, MsgCommandProcessed, kCmdError);
        }
      } else if (ownTimer) {
        Notify(r, out, MsgCmdTimedOut);
        EndCommand(r);
        Notify(r, out, MsgCommandProcessed, kCmdTimedOut);
      }
      break;
    }
    case kModemDialing:
    case kModemAnswering: {
      const bool dialing = r.State == kModemDialing;
      if (data) {
        switch (ResponseOf(r, wParam)) {
          case kRspConnect: {
            std::int32_t code = ReleaseSet(r, kConnectSet);
            const std::int32_t timer = ReleaseTimer(r);
            if (code == 0) code = timer;
            r.State = kModemConnected;
            r.SpeedText.fill(0);
            r.SpeedLen = 0;
            if (code == 0) code = StartTimer(r, r.SpeedWaitTicks);
            if (code < 0) {
              ReleaseTimer(r);
              ReleaseTags(r);
              r.LineSpeed = 0;
              r.State = kModemIdle;
              Report(r, code);
              Notify(r, out, MsgConnectFailed);
            } else {
              Notify(r, out, MsgModemConnect);
            }
            break;
          }
          case kRspBusy: later = {Deferred::Kind::FailWithCancel, MsgModemBusy}; break;
          case kRspVoice: FailWithoutCancel(r, out, MsgModemVoice); break;
          case kRspNoCarrier: FailWithoutCancel(r, out, MsgModemNoCarrier); break;
          case kRspNoDialTone: FailWithoutCancel(r, out, MsgModemNoDialTone); break;
          case kRspError: FailWithoutCancel(r, out, MsgModemError); break;
          case kRspOk:
          case kRspRing: break;
          default: CheckTags(r, wParam, out); break;
        }
      } else if (ownTimer) {
        --r.CountDown;
        // A time-out of 0 seconds runs out at the first second, not never.
        if (r.CountDown > 0) {
          const std::int32_t code = ArmTimerTrigger(r.PortHandle, wParam, kSecondTicks, true);
          if (code < 0) {
            Report(r, code);
            later = {Deferred::Kind::FailWithCancel, dialing ? MsgDialTimedOut : MsgAnswerTimedOut};
          } else {
            Notify(r, out, dialing ? MsgDialCount : MsgAnswerCount, r.CountDown);
          }
        } else {
          later = {Deferred::Kind::FailWithCancel, dialing ? MsgDialTimedOut : MsgAnswerTimedOut};
        }
      }
      break;
    }
    case kModemConnected: {
      if (avail) {
        while (in.More()) {
          std::uint8_t byte = 0;
          const std::int32_t code = in.Take(r, byte);
          if (code < 0) {
            ReadFailedAfterConnect(r, code, out);
            break;
          }
          if (std::isdigit(byte)) {
            r.SpeedText.fill(0);
            r.SpeedText[0] = static_cast<char>(byte);
            r.SpeedLen = 1;
            r.State = kModemReadingSpeed;
            break;
          }
        }
      } else if (data) {
        if (!(r.GotErrCorrection && r.GotDataCompression)) CheckTags(r, wParam, out);
      } else if (ownTimer) {
        Report(r, ReleaseTimer(r));
        r.State = kModemIdle;
        r.LineSpeed = kNoSpeed;
        SetSpeed(r);
        Notify(r, out, MsgGotLineSpeed, 0, r.LineSpeed);
        BeginTagWait(r, out);
      }
      break;
    }
    case kModemReadingSpeed: {
      if (avail) {
        SpeedDigits(r, in, out);
      } else if (data) {
        if (!(r.GotErrCorrection && r.GotDataCompression)) CheckTags(r, wParam, out);
      } else if (ownTimer) {
        Report(r, ReleaseTimer(r));
        r.State = kModemIdle;
        r.LineSpeed = kNoSpeed;
        SetSpeed(r);
        BeginTagWait(r, out);
      }
      break;
    }
    case kModemRingWait: {
      if (data && ResponseOf(r, wParam) == kRspRing) {
        Notify(r, out, MsgModemRing);
        if (--r.RingsLeft > 0) {
          const std::int32_t code =
              ArmTimerTrigger(r.PortHandle, static_cast<std::uint16_t>(r.TimerTrigger),
                              r.RingWaitTimeout, true);
          if (code < 0) {
            Report(r, code);
            EndRingWait(r);
          }
        } else if (EndRingWait(r)) {
          later = {Deferred::Kind::Answer, 0};
        }
      } else if (ownTimer) {
        r.RingsLeft = r.RingsToAnswer;
      }
      break;
    }
    case kModemTagWait: {
      if (data) {
        CheckTags(r, wParam, out);
        if (r.GotErrCorrection && r.GotDataCompression) EndTagWait(r, out);
      } else if (ownTimer) {
        Report(r, ReleaseTags(r));
        EndTagWait(r, out);
      }
      break;
    }
    default: break;
  }
}

// Fail with cancel, from the handler with the lock let go: pause, send the
// dial-cancel command, then end the dial. The record counts as idle and busy
// meanwhile, so nothing else starts and no delivery acts on it.
void FailWithCancel(const ModemRecordRef& rec, std::uint32_t thenMsg) {
  TModemRecord& r = *rec;
  Notices out;
  SendParams params;
  std::string cancel;
  std::uint32_t delay = 0, generation = 0;
  {
    std::lock_guard lock(r.Lock);
    if (r.Freed || !r.Registered) return;
    params = SendParamsOf(r);
    cancel = r.DialCancel;
    delay = r.DelayFactor;
    generation = r.Generation;
    r.State = kModemIdle;
    r.InFlight = true;
  }
  Pause(2 * delay, true);
  const std::int32_t sent = SendText(params, cancel);
  Pause(delay, false);
  {
    std::lock_guard lock(r.Lock);
    if (r.Generation != generation || r.Freed) return;  // stopped meanwhile
    r.InFlight = false;
    Report(r, sent);
    Report(r, ReleaseSet(r, kConnectSet));
    Report(r, ReleaseTags(r));
    Report(r, ReleaseTimer(r));
    r.State = kModemIdle;
    r.LineSpeed = 0;
    Notify(r, out, MsgConnectFailed);
    Notify(r, out, thenMsg);
  }
  Deliver(r, out);
}

void HandleDelivery(const ModemRecordRef& rec, std::uint16_t port, std::uint16_t msg,
                    std::uint16_t wParam) {
  TModemRecord& r = *rec;
  Notices out;
  Deferred later;
  {
    std::lock_guard lock(r.Lock);
    if (r.Freed || !r.Registered || r.PortHandle != port) return;
    if (r.State == kModemIdle) return;  // the bytes are left to the port's other users
    const bool avail = msg == MsgTriggerAvail;
    Reader in{port, avail && r.PassOn && DispatchOptionSet(port, kOptDirectReads),
              avail ? wParam : 0u};
    ActByState(r, msg, wParam, in, out, later);
    if (avail && r.State == kModemReadingSpeed && in.More()) SpeedDigits(r, in, out);
    if (avail && !in.peek && r.State != kModemConnected && r.State != kModemReadingSpeed) {
      while (in.More()) {
        std::uint8_t byte = 0;
        const std::int32_t code = in.Take(r, byte);
        if (code < 0) {
          Report(r, code);
          break;
        }
      }
    }
  }
  Deliver(r, out);
  switch (later.kind) {
    case Deferred::Kind::FailWithCancel: FailWithCancel(rec, later.thenMsg); break;
    case Deferred::Kind::Answer: Report(r, ModemAnswer(r)); break;
    case Deferred::Kind::None: break;
  }
}

// The cancel of a dial or answer in states 2..5, lock held on entry and on
// return (let go while sending and pausing). False when the engine was
// stopped meanwhile.
bool CancelSequence(TModemRecord& r, Lock& lock, std::int32_t& sent) {
  const SendParams params = SendParamsOf(r);
  const std::string cancel = r.DialCancel;
  const std::uint32_t delay = r.DelayFactor;
  const std::uint32_t generation = r.Generation;
  r.State = kModemIdle;
  r.InFlight = true;
  lock.unlock();
  sent = SendText(params, cancel);
  Pause(delay, false);
  lock.lock();
  if (r.Generation != generation || r.Freed) return false;
  r.InFlight = false;
  ReleaseSet(r, kConnectSet);
  ReleaseTimer(r);
  r.State = kModemIdle;
  r.LineSpeed = 0;
  return true;
}

// `cmd` is a copy: the record's own strings may be freed while it is sent.
std::int32_t PutCommandLocked(TModemRecord& r, Lock& lock, const std::string cmd) {
  ClearResponseLine(r);
  std::int32_t code = AddSet(r, kCommandSet);
  if (code < 0) return code;
  const std::int32_t timer = CreateTimerTrigger(r.PortHandle);
  if (timer < 0) {
    ReleaseSet(r, kCommandSet);
    return timer;
  }
  r.TimerTrigger = timer;
  const SendParams params = SendParamsOf(r);
  const std::uint32_t generation = r.Generation;
  r.InFlight = true;
  lock.unlock();
  code = SendText(params, cmd);
  lock.lock();
  if (r.Generation != generation || r.Freed) return kErrModemNotStarted;
  r.InFlight = false;
  if (code == 0)
    code = ArmTimerTrigger(r.PortHandle, static_cast<std::uint16_t>(r.TimerTrigger), r.CmdTimeout,
                           true);
  if (code == 0) {
    r.State = kModemCommand;
    return 0;
  }
  ReleaseSet(r, kCommandSet);
  ReleaseTimer(r);
  return code;
}

std::int32_t StartConnecting(TModemRecord& r, bool dial, const std::string& number) {
  const ModemRecordRef keep = r.weak_from_this().lock();
  Lock lock(r.Lock);
  if (!r.Registered) return kErrModemNotStarted;
  if (r.State != kModemIdle || r.InFlight) return kErrModemBusy;
  if (dial && number.empty()) return 0;
  ClearResponseLine(r);
  r.GotErrCorrection = false;
  r.GotDataCompression = false;
  r.LineSpeed = 0;
  std::int32_t code = AddSet(r, kConnectSet);
  if (code < 0) return code;
  code = AddTags(r);
  if (code < 0) {
    ReleaseSet(r, kConnectSet);
    return code;
  }
  const std::int32_t timer = CreateTimerTrigger(r.PortHandle);
  if (timer < 0) {
    ReleaseSet(r, kConnectSet);
    ReleaseTags(r);
    return timer;
  }
  r.TimerTrigger = timer;
  const SendParams params = SendParamsOf(r);
  const std::string dialCmd = r.DialCmd, dialTerm = r.DialTerm, answerCmd = r.AnswerCmd;
  const std::uint32_t generation = r.Generation;
  r.InFlight = true;
  lock.unlock();
  if (dial) {
    code = SendText(params, dialCmd);
    if (code == 0) code = SendText(params, number);
    if (code == 0) code = SendText(params, dialTerm);
  } else {
    code = SendText(params, answerCmd);
  }
  lock.lock();
  if (r.Generation != generation || r.Freed) return kErrModemNotStarted;
  r.InFlight = false;
  if (code == 0)
    code = ArmTimerTrigger(r.PortHandle, static_cast<std::uint16_t>(r.TimerTrigger), kSecondTicks,
                           true);
  if (code == 0) {
    r.State = dial ? kModemDialing : kModemAnswering;
    r.CountDown = static_cast<std::int32_t>(
        std::min<std::uint32_t>(dial ? r.DialTimeout : r.AnswerTimeout, 0x7FFFFFFF));
    return 0;
  }
  ReleaseSet(r, kConnectSet);
  ReleaseTags(r);
  ReleaseTimer(r);
  return code;
}

bool EqualsDtr(const std::string& s) {
  if (s.size() != 3) return false;
  return std::toupper(static_cast<unsigned char>(s[0])) == 'D' &&
         std::toupper(static_cast<unsigned char>(s[1])) == 'T' &&
         std::toupper(static_cast<unsigned char>(s[2])) == 'R';
}

}  // namespace

std::int32_t RegisterModemHandler(TModemRecord& r, bool passOn) {
  std::lock_guard lock(r.Lock);
  if (r.Registered) return kErrModemBusy;
  const std::int32_t code = RegisterTriggerWindow(r.PortHandle, nullptr, ModemHandler, passOn);
  if (code < 0) return code;
  SetTriggerLength(r.PortHandle, 1);
  r.Registered = true;
  r.PassOn = passOn;
  return 0;
}

std::int32_t DeregisterModemHandler(TModemRecord& r) {
  Lock lock(r.Lock);
  if (!r.Registered) return 0;
  if (GetPortUserWord(r.PortHandle, kModemUserWord) != r.RegistryId) {
    // The port closed under the engine (and its handle may be another
    // port's now): its triggers and handler went with it.
    r.Registered = false;
    r.State = kModemIdle;
    r.InFlight = false;
    ++r.Generation;
    return kErrBadHandle;
  }
  if (r.State >= kModemDialing && r.State <= kModemAnswering) {
    std::int32_t sent = 0;
    if (!CancelSequence(r, lock, sent)) return 0;  // another caller stopped it meanwhile
  }
  // Whatever is left: a command, the tag wait, a ring wait, or the triggers of
  // an operation that is sending right now.
  ReleaseEverything(r);
  const std::int32_t code = DeregisterTriggerHandler(r.PortHandle, nullptr, ModemHandler);
  r.Registered = false;
  r.State = kModemIdle;
  r.InFlight = false;
  ++r.Generation;
  return code;
}

std::int32_t AddModemUserProc(TModemRecord& r, TriggerWindow* window, TModemUserProc proc) {
  try {
    auto node = std::make_shared<TModemUserNode>();
    node->Window = window;
    node->Proc = std::move(proc);
    std::lock_guard lock(r.Lock);
    r.UserProcs.insert(r.UserProcs.begin(), std::move(node));
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  return 0;
}

std::int32_t RemoveModemUserWindow(TModemRecord& r, TriggerWindow* window) {
  if (window == nullptr) return kErrBadArgument;
  std::lock_guard lock(r.Lock);
  for (auto& node : r.UserProcs)
    if (node->Window == window) node->Deleted = true;
  return 0;
}

std::int32_t SendModemCommand(TModemRecord& r, const std::string& text) {
  const ModemRecordRef keep = r.weak_from_this().lock();
  SendParams params;
  {
    std::lock_guard lock(r.Lock);
    params = SendParamsOf(r);
  }
  return SendText(params, text);
}

std::int32_t ModemPutCommand(TModemRecord& r, const std::string& cmd) {
  const ModemRecordRef keep = r.weak_from_this().lock();
  Lock lock(r.Lock);
  if (!r.Registered) return kErrModemNotStarted;
  if (r.State != kModemIdle || r.InFlight) return kErrModemBusy;
  return PutCommandLocked(r, lock, cmd);
}

std::int32_t ModemDial(TModemRecord& r, const std::string& number) {
  return StartConnecting(r, true, number);
}

std::int32_t ModemAnswer(TModemRecord& r) { return StartConnecting(r, false, {}); }

std::int32_t ModemWaitForRings(TModemRecord& r, std::int32_t rings) {
  std::lock_guard lock(r.Lock);
  if (!r.Registered) return kErrModemNotStarted;
  if (r.State != kModemIdle || r.InFlight) return kErrModemBusy;
  if (rings < 1) return kErrBadArgument;
  std::int32_t code = AddSet(r, kRingSet);
  if (code < 0) return code;
  code = StartTimer(r, r.RingWaitTimeout);
  if (code < 0) {
    ReleaseSet(r, kRingSet);
    ReleaseTimer(r);
    return code;
  }
  r.RingsToAnswer = rings;
  r.RingsLeft = rings;
  r.State = kModemRingWait;
  return 0;
}

std::int32_t ModemCancelDial(TModemRecord& r) {
  const ModemRecordRef keep = r.weak_from_this().lock();
  Lock lock(r.Lock);
  if (!r.Registered || r.State < kModemDialing || r.State > kModemRingWait)
    return kErrModemNotDialing;
  if (r.State == kModemRingWait) {
    ReleaseTimer(r);
    ReleaseSet(r, kRingSet);
    r.State = kModemIdle;
    r.LineSpeed = 0;
    return 0;
  }
  std::int32_t sent = 0;
  CancelSequence(r, lock, sent);
  return sent;
}

std::int32_t ModemHangUp(TModemRecord& r) {
  const ModemRecordRef keep = r.weak_from_this().lock();
  Lock lock(r.Lock);
  if (!r.Registered) return kErrModemNotStarted;
  if (r.State != kModemIdle || r.InFlight) return kErrModemBusy;
  r.LineSpeed = 0;
  if (!r.HangupCmd.empty() && !EqualsDtr(r.HangupCmd)) return PutCommandLocked(r, lock, r.HangupCmd);

  const std::uint16_t port = r.PortHandle;
  const std::uint32_t hold = r.DTRDropHold;
  const std::uint32_t generation = r.Generation;
  r.InFlight = true;
  lock.unlock();
  std::int32_t code = SetDTR(port, false);
  if (code >= 0) {
    Pause(hold, true);
    // Stopped in the hold: the handle may be another port's by now.
    code = StoppedSince(r, generation) ? kErrModemNotStarted : SetDTR(port, true);
  }
  lock.lock();
  if (r.Generation == generation && !r.Freed) r.InFlight = false;
  return code;
}

bool ModemIsDialing(const TModemRecord& r) {
  std::lock_guard lock(r.Lock);
  return r.Registered && r.State >= kModemDialing && r.State != kModemRingWait &&
         r.State <= kModemTagWait;
}

std::int32_t ModemLineSpeed(const TModemRecord& r) {
  std::lock_guard lock(r.Lock);
  return r.LineSpeed;
}

std::int32_t ModemState(const TModemRecord& r) {
  std::lock_guard lock(r.Lock);
  return r.State;
}

bool ModemBusy(const TModemRecord& r) {
  std::lock_guard lock(r.Lock);
  return r.State != kModemIdle || r.InFlight;
}

std::int32_t ModemHandler(std::intptr_t /*window*/, std::uint32_t message, std::uint32_t wParam,
                          std::uint32_t lParam) {
  const auto msg = static_cast<std::uint16_t>(message & 0xFFFF);
  if (msg != MsgTriggerAvail && msg != MsgTriggerData && msg != MsgTriggerTimer) return 0;
  const auto port = static_cast<std::uint16_t>(lParam >> 16);
  ModemRecordRef rec = FindModemRecord(GetPortUserWord(port, kModemUserWord));
  if (!rec) return 0;
  HandleDelivery(rec, port, msg, static_cast<std::uint16_t>(wParam));
  return 0;
}

void ModemNotify(TModemRecord& r, std::uint32_t msg, std::int32_t first, std::int32_t second) {
  Notices out;
  {
    std::lock_guard lock(r.Lock);
    Notify(r, out, msg, first, second);
  }
  Deliver(r, out);
}

}  // namespace comm
