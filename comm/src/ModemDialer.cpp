#include "comm/ModemDialer.h"

#include <exception>

#include "comm/CommExcept.h"

namespace comm {

TVnkCustomModemDialer::TVnkCustomModemDialer(TVnkCustomModem* modem) : modem_(modem) {}

TVnkCustomModemDialer::~TVnkCustomModemDialer() { StopDialing(); }

void TVnkCustomModemDialer::SetModem(TVnkCustomModem* modem) {
  if (modem == modem_) return;
  StopDialing();  // the events of the old modem go back to it first
  modem_ = modem;
}

void TVnkCustomModemDialer::Notification(TComponent& component, TOperation operation) {
  if (operation == TOperation::opRemove) {
    if (&component == modem_) {
      StopDialing();
      modem_ = nullptr;
      port_ = nullptr;
    }
  } else if (modem_ == nullptr) {
    if (auto* modem = dynamic_cast<TVnkCustomModem*>(&component)) modem_ = modem;
  }
}

// --- events ---

void TVnkCustomModemDialer::DoRetryStart() { OnRetryStart(*this); }
void TVnkCustomModemDialer::DoRetryCount() {
  OnRetryCount(*this, static_cast<std::uint16_t>(countDown_));
}
void TVnkCustomModemDialer::DoRetryEnd() { OnRetryEnd(*this); }
void TVnkCustomModemDialer::DoCycleDial() { OnCycleDial(*this); }
void TVnkCustomModemDialer::DoDialStart() { OnDialStart(*this); }
void TVnkCustomModemDialer::DoConnect() { OnConnect(*this); }
void TVnkCustomModemDialer::DoDialCount(std::uint16_t remaining) { OnDialCount(*this, remaining); }
void TVnkCustomModemDialer::DoGotLineSpeed(std::int32_t speed) { OnGotLineSpeed(*this, speed); }
void TVnkCustomModemDialer::DoBusy() { OnBusy(*this); }
void TVnkCustomModemDialer::DoVoice() { OnVoice(*this); }
void TVnkCustomModemDialer::DoError() { OnError(*this); }
void TVnkCustomModemDialer::DoNoCarrier() { OnNoCarrier(*this); }
void TVnkCustomModemDialer::DoNoDialTone() { OnNoDialTone(*this); }
void TVnkCustomModemDialer::DoDialTimedOut() { OnDialTimedOut(*this); }
void TVnkCustomModemDialer::DoConnectionEstablished() { OnConnectionEstablished(*this); }
void TVnkCustomModemDialer::DoTooManyTries() { OnTooManyTries(*this); }

// --- operations ---

void TVnkCustomModemDialer::StartDial() {
  if (dialing_) throw EAlreadyDialing(kErrAlreadyDialing);
  if (modem_ == nullptr) throw EModemNotAssigned(kErrModemNotAssigned);
  if (modem_->ComPort() == nullptr) throw EPortNotAssigned(kErrPortNotAssigned);
  // An empty number would only make the modem dial tone-less "ATDT" forever.
  if (phoneNumber_.empty()) throw EVnkException(std::string("No telephone number to dial."));
  port_ = modem_->ComPort();
  status_ = dsDialing;
  HookModemEvents();
  tries_ = 0;
  dialing_ = true;
  try {
    StartDialDelay();
  } catch (...) {
    FinishDial();
    status_ = dsFailed;
    throw;
  }
}

void TVnkCustomModemDialer::CancelDial() {
  if (!dialing_) throw ENotDialing(kErrNotDialing);
  std::exception_ptr failure;
  try {
    if (modem_ != nullptr && modem_->IsDialing()) modem_->CancelDial();
  } catch (const EModemNotDialing&) {
    // The connection is in its tag wait, which cannot be cancelled at the
    // modem; it completes by itself. The dialer's part ends here all the same.
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    ReleaseTimers(false);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  FinishDial();
  if (failure) std::rethrow_exception(failure);
}

void TVnkCustomModemDialer::StopDialing() noexcept {
  if (!dialing_) return;
  if (modem_ != nullptr && port_ != nullptr) {
    try {
      if (!waitingForRetry_ && modem_->IsDialing()) modem_->CancelDial();
    } catch (...) {
      // Stopping never raises: a dial that cannot be cancelled ends on its own.
    }
  }
  ReleaseTimers(true);
  FinishDial();
}

// --- the steps ---

void TVnkCustomModemDialer::HookModemEvents() {
  TVnkCustomModem& m = *modem_;
  savedTriggerTimer_ = port_->OnTriggerTimer;
  savedConnect_ = m.OnModemConnect;
  savedDialCount_ = m.OnDialCount;
  savedGotLineSpeed_ = m.OnGotLineSpeed;
  savedBusy_ = m.OnModemBusy;
  savedVoice_ = m.OnModemVoice;
  savedError_ = m.OnModemError;
  savedNoCarrier_ = m.OnModemNoCarrier;
  savedNoDialTone_ = m.OnModemNoDialTone;
  savedDialTimedOut_ = m.OnDialTimedOut;
  savedDestroy_ = m.OnModemDestroy;
  savedIsConnected_ = m.OnModemIsConnected;

  using D = TVnkCustomModemDialer;
  port_->OnTriggerTimer = TTriggerTimerEvent::Method(this, &D::PortTriggerTimer);
  m.OnModemConnect = TNotifyEvent::Method(this, &D::ModemConnect);
  m.OnDialCount = TConnectCountEvent::Method(this, &D::ModemDialCount);
  m.OnGotLineSpeed = TLineSpeedEvent::Method(this, &D::ModemGotLineSpeed);
  m.OnModemBusy = TNotifyEvent::Method(this, &D::ModemBusy);
  m.OnModemVoice = TNotifyEvent::Method(this, &D::ModemVoice);
  m.OnModemError = TNotifyEvent::Method(this, &D::ModemError);
  m.OnModemNoCarrier = TNotifyEvent::Method(this, &D::ModemNoCarrier);
  m.OnModemNoDialTone = TNotifyEvent::Method(this, &D::ModemNoDialTone);
  m.OnDialTimedOut = TNotifyEvent::Method(this, &D::ModemDialTimedOut);
  m.OnModemDestroy = TNotifyEvent::Method(this, &D::ModemDestroy);
  m.OnModemIsConnected = TNotifyEvent::Method(this, &D::ModemIsConnected);
  hooked_ = true;
}

void TVnkCustomModemDialer::UnhookModemEvents() {
  if (!hooked_) return;
  hooked_ = false;
  if (port_ != nullptr) port_->OnTriggerTimer = savedTriggerTimer_;
  if (modem_ != nullptr) {
    TVnkCustomModem& m = *modem_;
    m.OnModemConnect = savedConnect_;
    m.OnDialCount = savedDialCount_;
    m.OnGotLineSpeed = savedGotLineSpeed_;
    m.OnModemBusy = savedBusy_;
    m.OnModemVoice = savedVoice_;
    m.OnModemError = savedError_;
    m.OnModemNoCarrier = savedNoCarrier_;
    m.OnModemNoDialTone = savedNoDialTone_;
    m.OnDialTimedOut = savedDialTimedOut_;
    m.OnModemDestroy = savedDestroy_;
    m.OnModemIsConnected = savedIsConnected_;
  }
}

void TVnkCustomModemDialer::StartDialDelay() {
  dialTimer_ = port_->CreateTimerTrigger();
  port_->ArmTimerTrigger(dialTimer_, kDialDelayTicks, true);
}

void TVnkCustomModemDialer::Retry() {
  ++tries_;
  if (tries_ < maxDialTries_) {
    DoRetryStart();
    countDown_ = retrySecs_;
    retryTimer_ = port_->CreateTimerTrigger();
    port_->ArmTimerTrigger(retryTimer_, kRetryTickTicks, true);
    waitingForRetry_ = true;
  } else {
    FinishDial();
    status_ = dsFailed;
    DoTooManyTries();
  }
}

void TVnkCustomModemDialer::RetryOrAbandon() {
  try {
    Retry();
  } catch (...) {
    Abandon();
    throw;
  }
}

void TVnkCustomModemDialer::Abandon() {
  ReleaseTimers(true);
  FinishDial();
  status_ = dsFailed;
}

void TVnkCustomModemDialer::FinishDial() {
  dialing_ = false;
  waitingForRetry_ = false;
  UnhookModemEvents();
}

void TVnkCustomModemDialer::ReleaseTimers(bool quiet) {
  for (std::uint16_t* timer : {&dialTimer_, &retryTimer_}) {
    const std::uint16_t handle = *timer;
    if (handle == 0) continue;
    *timer = 0;
    if (port_ == nullptr) continue;
    try {
      port_->ReleaseTrigger(handle);
    } catch (...) {
      if (!quiet) throw;
    }
  }
}

// --- handlers ---

void TVnkCustomModemDialer::PortTriggerTimer(TVnkCustomComPort& port, std::uint16_t handle) {
  const TTriggerTimerEvent saved = savedTriggerTimer_;
  std::exception_ptr failure;
  try {
    if (handle != 0 && handle == retryTimer_) {
      if (waitingForRetry_) {
        --countDown_;
        if (countDown_ > 0) {
          DoRetryCount();
          port_->ArmTimerTrigger(retryTimer_, kRetryTickTicks, true);
        } else {
          retryTimer_ = 0;
          port_->ReleaseTrigger(handle);
          DoRetryEnd();
          StartDialDelay();
          waitingForRetry_ = false;
        }
      }
    } else if (handle != 0 && handle == dialTimer_) {
      dialTimer_ = 0;
      port_->ReleaseTrigger(handle);
      modem_->Dial(phoneNumber_);
      DoDialStart();
    }
  } catch (...) {
    // A step that failed leaves nothing running that would ever end the
    // dialing: end it, so the operator can dial again.
    failure = std::current_exception();
    if (dialing_) Abandon();
  }
  if (saved) saved(port, handle);
  if (failure) std::rethrow_exception(failure);
}

void TVnkCustomModemDialer::ModemConnect(TComponent& sender) {
  const TNotifyEvent saved = savedConnect_;
  DoConnect();
  saved(sender);
}

void TVnkCustomModemDialer::ModemDialCount(TComponent& sender, std::uint16_t remaining) {
  const TConnectCountEvent saved = savedDialCount_;
  DoDialCount(remaining);
  saved(sender, remaining);
}

void TVnkCustomModemDialer::ModemGotLineSpeed(TComponent& sender, std::int32_t speed) {
  const TLineSpeedEvent saved = savedGotLineSpeed_;
  DoGotLineSpeed(speed);
  saved(sender, speed);
}

void TVnkCustomModemDialer::Failed(TDialerOption abortOption, void (TVnkCustomModemDialer::*fire)()) {
  if (!dialing_) return;
  if (options_.Contains(abortOption)) {
    status_ = dsFailed;
    (this->*fire)();
    FinishDial();
  } else {
    (this->*fire)();
    RetryOrAbandon();
  }
}

void TVnkCustomModemDialer::ModemBusy(TComponent& sender) {
  const TNotifyEvent saved = savedBusy_;
  saved(sender);
  Failed(TDialerOption::mdAbortOnBusy, &TVnkCustomModemDialer::DoBusy);
}

void TVnkCustomModemDialer::ModemVoice(TComponent& sender) {
  const TNotifyEvent saved = savedVoice_;
  saved(sender);
  Failed(TDialerOption::mdAbortOnVoice, &TVnkCustomModemDialer::DoVoice);
}

void TVnkCustomModemDialer::ModemError(TComponent& sender) {
  const TNotifyEvent saved = savedError_;
  saved(sender);
  Failed(TDialerOption::mdAbortOnError, &TVnkCustomModemDialer::DoError);
}

void TVnkCustomModemDialer::ModemNoCarrier(TComponent& sender) {
  const TNotifyEvent saved = savedNoCarrier_;
  saved(sender);
  Failed(TDialerOption::mdAbortOnNoCarrier, &TVnkCustomModemDialer::DoNoCarrier);
}

void TVnkCustomModemDialer::ModemNoDialTone(TComponent& sender) {
  const TNotifyEvent saved = savedNoDialTone_;
  saved(sender);
  Failed(TDialerOption::mdAbortOnNoDialtone, &TVnkCustomModemDialer::DoNoDialTone);
}

void TVnkCustomModemDialer::ModemDialTimedOut(TComponent& sender) {
  const TNotifyEvent saved = savedDialTimedOut_;
  saved(sender);
  if (!dialing_) return;
  DoDialTimedOut();
  RetryOrAbandon();
}

void TVnkCustomModemDialer::ModemDestroy(TComponent& sender) {
  const TNotifyEvent saved = savedDestroy_;
  TVnkCustomModem* going = modem_;
  StopDialing();
  saved(sender);
  // The modem is going: never reach it again.
  if (modem_ == going) {
    modem_ = nullptr;
    port_ = nullptr;
  }
}

void TVnkCustomModemDialer::ModemIsConnected(TComponent& sender) {
  const TNotifyEvent saved = savedIsConnected_;
  saved(sender);
  status_ = dsConnected;
  FinishDial();
  DoConnectionEstablished();
}

}  // namespace comm
