#include "comm/ModemInfo.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>

#include "comm/CommExcept.h"
#include "comm/DevLayer.h"
#include "comm/ModemEngine.h"
#include "comm/PortDispatch.h"

namespace comm {

namespace {

// User word of the port that names the engine's record.
constexpr std::int32_t kModemUserWord = 4;

// The records by the number a port's user word holds. Weak references: a
// record dropped without FreeModemRecord is simply no longer found.
std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::int32_t, std::weak_ptr<TModemRecord>>& Registry() {
  static std::map<std::int32_t, std::weak_ptr<TModemRecord>> map;
  return map;
}
std::int32_t NextRegistryId() {
  static std::int32_t next = 0;
  if (++next <= 0) next = 1;
  return next;
}

template <std::size_t N>
void CopyZ(char (&target)[N], const std::string& source) {
  const std::size_t n = std::min(source.size(), N - 1);
  std::memcpy(target, source.data(), n);
  target[n] = '\0';
}

std::int32_t BoundedCount(std::int32_t count) { return std::clamp(count, 0, kMaxModemTags); }

}  // namespace

TModemInfo DefaultModemInfo() {
  TModemInfo info;
  info.InitCmd = "ATZ^M";
  info.DialCmd = "ATDT";
  info.DialTerm = "^M";
  info.DialCancel = "^M";
  info.HangupCmd = "+++~~~ATH0^M";
  info.ConfigCmd = "ATE1Q0X1V1^M";
  info.AnswerCmd = "ATA^M";
  info.OkMsg = "OK";
  info.ConnectMsg = "CONNECT";
  info.BusyMsg = "BUSY";
  info.VoiceMsg = "VOICE";
  info.NoCarrierMsg = "NO CARRIER";
  info.NoDialToneMsg = "NO DIALTONE";
  info.ErrorMsg = "ERROR";
  info.RingMsg = "RING";
  info.LockDTE = true;
  info.DefBaud = 19200;
  return info;
}

void ConvertModemInfo(const TModemInfo& info, TModemInfoZ& z) {
  std::memset(&z, 0, sizeof z);
  CopyZ(z.ModemName, info.ModemName);
  CopyZ(z.InitCmd, info.InitCmd);
  CopyZ(z.DialCmd, info.DialCmd);
  CopyZ(z.DialTerm, info.DialTerm);
  CopyZ(z.DialCancel, info.DialCancel);
  CopyZ(z.HangupCmd, info.HangupCmd);
  CopyZ(z.ConfigCmd, info.ConfigCmd);
  CopyZ(z.AnswerCmd, info.AnswerCmd);
  CopyZ(z.OkMsg, info.OkMsg);
  CopyZ(z.ConnectMsg, info.ConnectMsg);
  CopyZ(z.BusyMsg, info.BusyMsg);
  CopyZ(z.VoiceMsg, info.VoiceMsg);
  CopyZ(z.NoCarrierMsg, info.NoCarrierMsg);
  CopyZ(z.NoDialToneMsg, info.NoDialToneMsg);
  CopyZ(z.ErrorMsg, info.ErrorMsg);
  CopyZ(z.RingMsg, info.RingMsg);
  // A count above the five entries would read past them: it is bounded.
  z.ErrorTagCount = BoundedCount(info.ErrorTagCount);
  for (int i = 0; i < z.ErrorTagCount; ++i) CopyZ(z.ErrorTags[i], info.ErrorTags[i]);
  z.CompressTagCount = BoundedCount(info.CompressTagCount);
  for (int i = 0; i < z.CompressTagCount; ++i) CopyZ(z.CompressTags[i], info.CompressTags[i]);
  z.LockDTE = info.LockDTE ? -1 : 0;
  z.DefBaud = info.DefBaud;
}

TModemRecord::TModemRecord() = default;

TModemRecord::~TModemRecord() {
  if (RegistryId != 0) {
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(RegistryId);
    // Only our own entry: it is gone already when the record was freed.
    if (it != Registry().end() && it->second.expired()) Registry().erase(it);
  }
}

ModemRecordRef FindModemRecord(std::int32_t registryId) {
  if (registryId == 0) return nullptr;
  std::lock_guard lock(RegistryMutex());
  auto it = Registry().find(registryId);
  return it == Registry().end() ? nullptr : it->second.lock();
}

std::int32_t BuildModemRecord(ModemRecordRef& rec, std::uint16_t portHandle, const TModemInfoZ& z) {
  if (!ValidPortHandle(portHandle)) return kErrBadHandle;
  try {
    rec = std::make_shared<TModemRecord>();
  } catch (const std::bad_alloc&) {
    rec.reset();
    return FilterPortError(portHandle, kErrOutOfMemory);
  }
  TModemRecord& r = *rec;
  std::lock_guard lock(r.Lock);
  try {
    // Each array is NUL-terminated by ConvertModemInfo's zeroing; the bound
    // keeps a hand-made Z from being read past its array all the same.
    auto text = [](const char* s, std::size_t n) { return std::string(s, strnlen(s, n)); };
    r.InitCmd = text(z.InitCmd, sizeof z.InitCmd);
    r.DialCmd = text(z.DialCmd, sizeof z.DialCmd);
    r.DialTerm = text(z.DialTerm, sizeof z.DialTerm);
    r.DialCancel = text(z.DialCancel, sizeof z.DialCancel);
    r.HangupCmd = text(z.HangupCmd, sizeof z.HangupCmd);
    r.ConfigCmd = text(z.ConfigCmd, sizeof z.ConfigCmd);
    r.AnswerCmd = text(z.AnswerCmd, sizeof z.AnswerCmd);
    const char* responses[8] = {z.OkMsg,        z.ConnectMsg,    z.BusyMsg,  z.VoiceMsg,
                                z.NoCarrierMsg, z.NoDialToneMsg, z.ErrorMsg, z.RingMsg};
    for (int i = 0; i < 8; ++i) r.Responses[i + 1].Text = text(responses[i], kRspStringMax + 1);
    r.ErrorTagCount = BoundedCount(z.ErrorTagCount);
    for (int i = 0; i < r.ErrorTagCount; ++i)
      r.ErrorTags[i].Text = text(z.ErrorTags[i], kTagStringMax + 1);
    r.CompressTagCount = BoundedCount(z.CompressTagCount);
    for (int i = 0; i < r.CompressTagCount; ++i)
      r.CompressTags[i].Text = text(z.CompressTags[i], kTagStringMax + 1);
  } catch (const std::bad_alloc&) {
    r.InitCmd.clear();
    r.DialCmd.clear();
    r.DialTerm.clear();
    r.DialCancel.clear();
    r.HangupCmd.clear();
    r.ConfigCmd.clear();
    r.AnswerCmd.clear();
    for (auto& s : r.Responses) s.Text.clear();
    for (auto& s : r.ErrorTags) s.Text.clear();
    for (auto& s : r.CompressTags) s.Text.clear();
    return kErrOutOfMemory;
  }

  {
    std::lock_guard registryLock(RegistryMutex());
    r.RegistryId = NextRegistryId();
    Registry()[r.RegistryId] = rec;
  }
  const std::int32_t stored = SetPortUserWord(portHandle, r.RegistryId, kModemUserWord);
  if (stored != 0) return stored;

  r.DialTimeout = kDefDialTimeout;
  r.AnswerTimeout = kDefAnswerTimeout;
  r.DelayFactor = kDefDelayFactor;
  r.CmdTimeout = kDefCmdTimeout;
  r.DTRDropHold = kDefDTRDropHold;
  r.CharDelay = kDefCharDelay;
  r.TildeDelay = kDefTildeDelay;
  r.RingWaitTimeout = kDefRingWaitTimeout;
  r.TagWaitTicks = kDefTagWaitTicks;
  r.SpeedWaitTicks = kDefSpeedWaitTicks;
  r.PassOn = false;
  r.LockDTE = z.LockDTE != 0;
  r.UserProcs.clear();
  r.Registered = false;
  r.State = 0;
  r.LastMessage = 0;
  r.PortHandle = portHandle;
  r.Owner = nullptr;
  r.PassRecord = false;
  return 0;
}

std::int32_t BuildComponentModemRecord(ModemRecordRef& rec, std::uint16_t portHandle,
                                       const TModemInfoZ& z) {
  const std::int32_t result = BuildModemRecord(rec, portHandle, z);
  if (result == 0) {
    std::lock_guard lock(rec->Lock);
    rec->PassRecord = true;
  }
  return result;
}

void FreeModemRecord(ModemRecordRef& rec) {
  if (!rec) return;
  ModemRecordRef r = std::move(rec);
  rec.reset();
  DeregisterModemHandler(*r);
  std::int32_t id = 0;
  std::uint16_t port = 0;
  {
    std::unique_lock lock(r->Lock);
    r->Freed = true;
    ++r->Generation;
    r->UserProcs.clear();
    id = r->RegistryId;
    port = r->PortHandle;
    // A receiver that frees the engine from inside its own notice goes on.
    const auto self = std::this_thread::get_id();
    r->DeliveryDone.wait(lock, [&] { return r->Delivering == 0 || r->DeliveryThread == self; });
  }
  if (id != 0) {
    {
      std::lock_guard lock(RegistryMutex());
      Registry().erase(id);
    }
    // The port forgets the record, unless another record took the word since.
    if (port != 0 && GetPortUserWord(port, kModemUserWord) == id)
      SetPortUserWord(port, 0, kModemUserWord);
  }
}

#define COMM_MODEM_TIMING_SETTER(Name)                             \
  void SetModem##Name(TModemRecord& rec, std::uint32_t value) { \
    std::lock_guard lock(rec.Lock);                                \
    rec.Name = value;                                              \
  }
COMM_MODEM_TIMING_SETTER(DialTimeout)
COMM_MODEM_TIMING_SETTER(AnswerTimeout)
COMM_MODEM_TIMING_SETTER(DelayFactor)
COMM_MODEM_TIMING_SETTER(CmdTimeout)
COMM_MODEM_TIMING_SETTER(DTRDropHold)
COMM_MODEM_TIMING_SETTER(CharDelay)
COMM_MODEM_TIMING_SETTER(TildeDelay)
COMM_MODEM_TIMING_SETTER(RingWaitTimeout)
#undef COMM_MODEM_TIMING_SETTER

}  // namespace comm
