#include "comm/ModemComp.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <exception>

#include "comm/CommExcept.h"
#include "comm/ModemEngine.h"
#include "comm/PosixLayer.h"
#include "comm/SerialPort.h"
#include "platform/ExceptionReport.h"

namespace comm {

namespace {

const std::string kEmpty;

}  // namespace

// The receiver on the component's thread. The dispatch thread posts to it
// only under the mutex and while the component lives.
struct TVnkCustomModem::Poster {
  std::mutex mutex;
  TVnkCustomModem* owner = nullptr;
  std::unique_ptr<QObject> receiver;
};

// --- tag sets ---

const std::string& TTagSet::String(int n) const {
  if (n < 1 || n > 5) return kEmpty;
  return strings_[static_cast<std::size_t>(n - 1)];
}

void TTagSet::SetString(int n, const std::string& value) {
  if (n < 1 || n > 5) return;
  strings_[static_cast<std::size_t>(n - 1)] = value.substr(0, kTagStringMax);
}

// --- creation and destruction ---

TVnkCustomModem::TVnkCustomModem(TVnkCustomComPort* port)
    : comPort_(port), info_(DefaultModemInfo()), poster_(std::make_shared<Poster>()) {
  poster_->owner = this;
  poster_->receiver = std::make_unique<QObject>();
}

TVnkCustomModem::~TVnkCustomModem() {
  try {
    OnModemDestroy(*this);
  } catch (...) {
  }
  StopEngine();
  std::lock_guard lock(poster_->mutex);
  poster_->owner = nullptr;
  poster_->receiver.reset();  // notices still queued for it are dropped
}

void TVnkCustomModem::Notification(TComponent& component, TOperation operation) {
  auto* port = dynamic_cast<TVnkCustomComPort*>(&component);
  if (port == nullptr) return;
  if (operation == TOperation::opRemove && port == comPort_) {
    // The port's own close already stopped the engine.
    comPort_ = nullptr;
  } else if (operation == TOperation::opInsert && comPort_ == nullptr) {
    SetComPort(port);
  }
}

// --- starting and stopping ---

void TVnkCustomModem::PortUserCallback(void* owner, TVnkCustomComPort&, bool opening) {
  if (!opening) static_cast<TVnkCustomModem*>(owner)->SetModemStarted(false);
}

void TVnkCustomModem::StopEngine() noexcept {
  FreeModemRecord(engine_);
  if (comPort_ != nullptr) comPort_->RemovePortUser(&PortUserCallback, this);
  modemStarted_ = false;
}

void TVnkCustomModem::ApplyTimings(TModemRecord& rec) const {
  SetModemDialTimeout(rec, dialTimeout_);
  SetModemAnswerTimeout(rec, answerTimeout_);
  SetModemDelayFactor(rec, delayFactor_);
  SetModemCmdTimeout(rec, cmdTimeout_);
  SetModemDTRDropHold(rec, dtrDropHold_);
  SetModemCharDelay(rec, charDelay_);
  SetModemTildeDelay(rec, tildeDelay_);
  SetModemRingWaitTimeout(rec, ringWaitTimeout_);
}

void TVnkCustomModem::SetModemStarted(bool value) {
  if (Loading() || Designing() || value == modemStarted_) return;
  if (!value) {
    // Stopping always frees the engine and never raises.
    StopEngine();
    return;
  }
  if (comPort_ == nullptr) throw EPortNotAssigned(kErrPortNotAssigned);
  if (comPort_->DeviceLayer() == TDeviceLayer::dlWinsock)
    throw ECannotUseWithWinSock(kErrCannotUseWithWinSock);

  FreeModemRecord(engine_);
  info_.DefBaud = comPort_->Baud();
  auto rebuild = [](const TTagSet& set, std::uint16_t& count,
                    std::array<std::string, kMaxModemTags>& tags) {
    count = 0;
    tags = {};
    for (int n = 1; n <= 5; ++n)
      if (!set.String(n).empty()) tags[count++] = set.String(n);
  };
  rebuild(errorTags_, info_.ErrorTagCount, info_.ErrorTags);
  rebuild(compressTags_, info_.CompressTagCount, info_.CompressTags);
  TModemInfoZ z;
  ConvertModemInfo(info_, z);
  ModemRecordRef rec;
  const std::int32_t built = BuildComponentModemRecord(rec, comPort_->GetDispatcherHandle(), z);
  if (built < 0) {
    FreeModemRecord(rec);
    if (Check(built) < 0) return;  // loading: nothing raised, stays stopped
  }
  rec->Owner = this;
  ApplyTimings(*rec);

  std::weak_ptr<Poster> poster = poster_;
  std::int32_t code = AddModemUserProc(*rec, nullptr, [poster](const TModemNotice& notice) {
    if (auto p = poster.lock()) {
      std::lock_guard lock(p->mutex);
      if (p->owner != nullptr) p->owner->PostNotice(notice);
    }
  });
  if (code == 0) code = RegisterModemHandler(*rec, true);
  if (code < 0) {
    FreeModemRecord(rec);
    Check(code);
    return;
  }
  engine_ = std::move(rec);
  comPort_->AddPortUser(&PortUserCallback, this);
  modemStarted_ = true;
}

void TVnkCustomModem::SetComPort(TVnkCustomComPort* port) {
  if (port == comPort_) return;
  const bool wasStarted = modemStarted_;
  SetModemStarted(false);
  comPort_ = port;
  if (wasStarted) SetModemStarted(true);
}

void TVnkCustomModem::CheckModemStarted() {
  if (comPort_ == nullptr) throw EPortNotAssigned(kErrPortNotAssigned);
  if (autoStart_)
    SetModemStarted(true);
  else if (!modemStarted_)
    throw EModemNotStarted(kErrModemNotStarted);
}

// --- operations ---

void TVnkCustomModem::Dial(const std::string& number) {
  CheckModemStarted();
  if (!engine_) return;
  Check(ModemDial(*engine_, number.substr(0, kMaxDialNumber)));
}

bool TVnkCustomModem::IsDialing() {
  CheckModemStarted();
  return engine_ && ModemIsDialing(*engine_);
}

void TVnkCustomModem::CancelDial() {
  CheckModemStarted();
  if (!engine_) return;
  Check(ModemCancelDial(*engine_));
}

void TVnkCustomModem::HangUp() {
  CheckModemStarted();
  if (!engine_) return;
  Check(ModemHangUp(*engine_));
}

// --- property setters ---

void TVnkCustomModem::SetText(std::string TModemInfo::*field,
                              std::string TModemRecord::*recordField, int responseSlot,
                              const std::string& value, std::size_t max) {
  std::string text = value.substr(0, max);
  if (engine_) {
    TModemRecord& r = *engine_;
    std::lock_guard lock(r.Lock);
    if (r.State != 0 || r.InFlight) throw EModemBusy(kErrModemBusy);
    try {
      if (recordField != nullptr)
        r.*recordField = text;
      else
        r.Responses[static_cast<std::size_t>(responseSlot)].Text = text;
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory(LoadMessageText(ErrorCodeToMessageId(kErrOutOfMemory)));
    }
  }
  info_.*field = std::move(text);
}

void TVnkCustomModem::SetInitCmd(const std::string& v) {
  SetText(&TModemInfo::InitCmd, &TModemRecord::InitCmd, 0, v, kCmdStringMax);
}
void TVnkCustomModem::SetDialCmd(const std::string& v) {
  SetText(&TModemInfo::DialCmd, &TModemRecord::DialCmd, 0, v, kCmdStringMax);
}
void TVnkCustomModem::SetDialTerm(const std::string& v) {
  SetText(&TModemInfo::DialTerm, &TModemRecord::DialTerm, 0, v, kCmdStringMax);
}
void TVnkCustomModem::SetDialCancel(const std::string& v) {
  SetText(&TModemInfo::DialCancel, &TModemRecord::DialCancel, 0, v, kCmdStringMax);
}
void TVnkCustomModem::SetHangupCmd(const std::string& v) {
  SetText(&TModemInfo::HangupCmd, &TModemRecord::HangupCmd, 0, v, kCmdStringMax);
}
void TVnkCustomModem::SetConfigCmd(const std::string& v) {
  SetText(&TModemInfo::ConfigCmd, &TModemRecord::ConfigCmd, 0, v, kConfigStringMax);
}
void TVnkCustomModem::SetAnswerCmd(const std::string& v) {
  SetText(&TModemInfo::AnswerCmd, &TModemRecord::AnswerCmd, 0, v, kCmdStringMax);
}
void TVnkCustomModem::SetOkMsg(const std::string& v) {
  SetText(&TModemInfo::OkMsg, nullptr, kRspOk, v, kRspStringMax);
}
void TVnkCustomModem::SetConnectMsg(const std::string& v) {
  SetText(&TModemInfo::ConnectMsg, nullptr, kRspConnect, v, kRspStringMax);
}
void TVnkCustomModem::SetBusyMsg(const std::string& v) {
  SetText(&TModemInfo::BusyMsg, nullptr, kRspBusy, v, kRspStringMax);
}
void TVnkCustomModem::SetVoiceMsg(const std::string& v) {
  SetText(&TModemInfo::VoiceMsg, nullptr, kRspVoice, v, kRspStringMax);
}
void TVnkCustomModem::SetNoCarrierMsg(const std::string& v) {
  SetText(&TModemInfo::NoCarrierMsg, nullptr, kRspNoCarrier, v, kRspStringMax);
}
void TVnkCustomModem::SetNoDialToneMsg(const std::string& v) {
  SetText(&TModemInfo::NoDialToneMsg, nullptr, kRspNoDialTone, v, kRspStringMax);
}
void TVnkCustomModem::SetErrorMsg(const std::string& v) {
  SetText(&TModemInfo::ErrorMsg, nullptr, kRspError, v, kRspStringMax);
}
void TVnkCustomModem::SetRingMsg(const std::string& v) {
  SetText(&TModemInfo::RingMsg, nullptr, kRspRing, v, kRspStringMax);
}

void TVnkCustomModem::SetDataCompressionTags(const TTagSet& tags) {
  if (engine_ && ModemBusy(*engine_)) throw EModemBusy(kErrModemBusy);
  for (int n = 1; n <= 5; ++n) compressTags_.SetString(n, tags.String(n));
}

void TVnkCustomModem::SetErrorCorrectionTags(const TTagSet& tags) {
  if (engine_ && ModemBusy(*engine_)) throw EModemBusy(kErrModemBusy);
  for (int n = 1; n <= 5; ++n) errorTags_.SetString(n, tags.String(n));
}

void TVnkCustomModem::SetLockDTE(bool value) {
  if (engine_) {
    std::lock_guard lock(engine_->Lock);
    engine_->LockDTE = value;
  }
  info_.LockDTE = value;
}

#define COMM_MODEM_TIMING(Name, field)                                  \
  void TVnkCustomModem::Set##Name(std::uint32_t v) {                    \
    if (engine_) SetModem##Name(*engine_, v);                           \
    field = v;                                                          \
  }
COMM_MODEM_TIMING(DialTimeout, dialTimeout_)
COMM_MODEM_TIMING(AnswerTimeout, answerTimeout_)
COMM_MODEM_TIMING(DelayFactor, delayFactor_)
COMM_MODEM_TIMING(CmdTimeout, cmdTimeout_)
COMM_MODEM_TIMING(DTRDropHold, dtrDropHold_)
COMM_MODEM_TIMING(CharDelay, charDelay_)
COMM_MODEM_TIMING(TildeDelay, tildeDelay_)
COMM_MODEM_TIMING(RingWaitTimeout, ringWaitTimeout_)
#undef COMM_MODEM_TIMING

// --- notices to events ---

// Dispatch thread, with the poster's mutex held.
void TVnkCustomModem::PostNotice(const TModemNotice& notice) {
  QObject* receiver = poster_->receiver.get();
  if (receiver == nullptr) return;
  std::weak_ptr<Poster> poster = poster_;
  TModemNotice copy = notice;
  copy.Record = nullptr;  // the record may be gone by the time it is fired
  QMetaObject::invokeMethod(
      receiver,
      [poster, copy] {
        auto p = poster.lock();
        if (!p) return;
        TVnkCustomModem* owner = nullptr;
        {
          std::lock_guard lock(p->mutex);
          owner = p->owner;
        }
        if (owner != nullptr) owner->FireNotice(copy);
      },
      Qt::QueuedConnection);
}

// The component's thread. An exception of an event is reported as the
// program's default handler would, never passed on.
void TVnkCustomModem::FireNotice(const TModemNotice& notice) {
  try {
    ModemMessageHandler(notice.Msg, notice.First, notice.LineSpeed);
  } catch (const EVnkException& e) {
    // An error of the line, not of the modem's own, says which port.
    platform::ShowExceptionBoxLater(comPort_ != nullptr && !IsModemErrorCode(e.ErrorCode())
                                        ? ComPortErrorText(comPort_->ComNumber(), e.what())
                                        : std::string(e.what()));
  } catch (const std::exception& e) {
    platform::ShowExceptionBoxLater(e.what());
  } catch (...) {
    platform::ShowExceptionBoxLater("Unknown exception");
  }
}

void TVnkCustomModem::ModemMessageHandler(std::uint32_t msg, std::int32_t first,
                                          std::int32_t lineSpeed) {
  TModemStatus what = 0;
  std::int32_t data = 0;
  switch (msg) {
    case MsgModemOk: DoModemOk(); what = msModemOk; break;
    case MsgModemConnect: DoModemConnect(); what = msModemConnect; break;
    case MsgModemBusy: DoModemBusy(); what = msModemBusy; break;
    case MsgModemVoice: DoModemVoice(); what = msModemVoice; break;
    case MsgModemNoCarrier: DoModemNoCarrier(); what = msModemNoCarrier; break;
    case MsgModemNoDialTone: DoModemNoDialTone(); what = msModemNoDialTone; break;
    case MsgModemError: DoModemError(); what = msModemError; break;
    case MsgGotLineSpeed:
      DoGotLineSpeed(lineSpeed);
      what = msGotLineSpeed;
      data = lineSpeed;
      break;
    case MsgGotErrCorrection: DoGotErrCorrection(); what = msGotErrCorrection; break;
    case MsgGotDataCompression: DoGotDataCompression(); what = msGotDataCompression; break;
    case MsgCmdTimedOut: DoCmdTimedOut(); what = msCmdTimedOut; break;
    case MsgDialTimedOut: DoDialTimedOut(); what = msDialTimedOut; break;
    case MsgAnswerTimedOut: DoAnswerTimedOut(); what = msAnswerTimedOut; break;
    case MsgDialCount:
      DoDialCount(static_cast<std::uint16_t>(first));
      what = msDialCount;
      data = first;
      break;
    case MsgAnswerCount:
      DoAnswerCount(static_cast<std::uint16_t>(first));
      what = msAnswerCount;
      data = first;
      break;
    case MsgModemRing: DoModemRing(); what = msModemRing; break;
    case MsgModemIsConnected: DoModemIsConnected(); what = msModemIsConnected; break;
    case MsgConnectFailed: DoConnectFailed(); what = msConnectFailed; break;
    case MsgCommandProcessed: {
      const TModemStatus results[] = {msModemOk, msModemError, msCmdTimedOut};
      if (first < 1 || first > 3) return;
      data = results[first - 1];
      DoCommandProcessed(data);
      what = msCommandProcessed;
      break;
    }
    default: return;
  }
  OnModemEvent(*this, what, data);
}

void TVnkCustomModem::DoModemOk() { OnModemOk(*this); }
void TVnkCustomModem::DoModemConnect() { OnModemConnect(*this); }
void TVnkCustomModem::DoModemBusy() { OnModemBusy(*this); }
void TVnkCustomModem::DoModemVoice() { OnModemVoice(*this); }
void TVnkCustomModem::DoModemNoCarrier() { OnModemNoCarrier(*this); }
void TVnkCustomModem::DoModemNoDialTone() { OnModemNoDialTone(*this); }
void TVnkCustomModem::DoModemError() { OnModemError(*this); }
void TVnkCustomModem::DoGotLineSpeed(std::int32_t speed) { OnGotLineSpeed(*this, speed); }
void TVnkCustomModem::DoGotErrCorrection() { OnGotErrCorrection(*this); }
void TVnkCustomModem::DoGotDataCompression() { OnGotDataCompression(*this); }
void TVnkCustomModem::DoCmdTimedOut() { OnCmdTimedOut(*this); }
void TVnkCustomModem::DoDialTimedOut() { OnDialTimedOut(*this); }
void TVnkCustomModem::DoAnswerTimedOut() { OnAnswerTimedOut(*this); }
void TVnkCustomModem::DoDialCount(std::uint16_t remaining) { OnDialCount(*this, remaining); }
void TVnkCustomModem::DoAnswerCount(std::uint16_t remaining) { OnAnswerCount(*this, remaining); }
void TVnkCustomModem::DoModemIsConnected() { OnModemIsConnected(*this); }
void TVnkCustomModem::DoConnectFailed() { OnConnectFailed(*this); }
void TVnkCustomModem::DoModemRing() { OnModemRing(*this); }
void TVnkCustomModem::DoCommandProcessed(TModemStatus whatHappened) {
  OnCommandProcessed(*this, whatHappened, 0);
}

}  // namespace comm
