#pragma once
// The modem dialer: dials a number through a modem component and retries after
// a pause when the call fails, up to a number of attempts. While it dials it
// takes over the modem's result events and its port's timer event and gives
// them back, exactly as they were, when it finishes.
//
// Runs on the main thread: the modem component fires its events there and
// the port's timer event comes through the port's event window.
#include <cstdint>
#include <initializer_list>
#include <string>

#include "comm/ModemComp.h"
#include "comm/SerialPort.h"

namespace comm {

enum class TDialerOption {
  mdAbortOnVoice,
  mdAbortOnBusy,
  mdAbortOnNoCarrier,
  mdAbortOnNoDialtone,
  mdAbortOnError
};

// A set of dialer options: bit n for the n-th value.
class TDialerOptions {
 public:
  constexpr TDialerOptions() = default;
  constexpr TDialerOptions(std::initializer_list<TDialerOption> options) {
    for (auto o : options) bits_ |= Bit(o);
  }
  constexpr bool Contains(TDialerOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr std::uint8_t Bits() const { return bits_; }
  friend constexpr bool operator==(TDialerOptions a, TDialerOptions b) { return a.bits_ == b.bits_; }

 private:
  static constexpr std::uint8_t Bit(TDialerOption o) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(o));
  }
  std::uint8_t bits_ = 0;
};

// DialerStatus values.
inline constexpr std::uint8_t dsIdle = 0, dsDialing = 1, dsConnected = 2, dsFailed = 3;

// Ticks of the pause before each dial and of one second of the retry pause.
inline constexpr std::uint32_t kDialDelayTicks = 4;
inline constexpr std::uint32_t kRetryTickTicks = 18;

class TVnkCustomModemDialer : public TComponent {
 public:
  // `modem`: the modem to dial through (not owned; may be nullptr).
  explicit TVnkCustomModemDialer(TVnkCustomModem* modem = nullptr);
  ~TVnkCustomModemDialer() override;  // StopDialing; never throws
  TVnkCustomModemDialer(const TVnkCustomModemDialer&) = delete;
  TVnkCustomModemDialer& operator=(const TVnkCustomModemDialer&) = delete;

  // --- properties ---
  TVnkCustomModem* Modem() const { return modem_; }
  void SetModem(TVnkCustomModem* modem);
  const std::string& PhoneNumber() const { return phoneNumber_; }
  void SetPhoneNumber(const std::string& number) { phoneNumber_ = number; }
  std::int32_t MaxDialTries() const { return maxDialTries_; }
  void SetMaxDialTries(std::int32_t value) { maxDialTries_ = value; }
  std::int32_t RetrySecs() const { return retrySecs_; }
  // Below 1 the pause would never end by itself: kept at 1.
  void SetRetrySecs(std::int32_t value) { retrySecs_ = value < 1 ? 1 : value; }
  TDialerOptions DialerOptions() const { return options_; }
  void SetDialerOptions(TDialerOptions value) { options_ = value; }

  std::uint8_t DialerStatus() const { return status_; }
  bool Dialing() const { return dialing_; }
  bool WaitingForRetry() const { return waitingForRetry_; }
  std::int32_t Tries() const { return tries_; }

  // --- operations ---
  // Raises EAlreadyDialing, EModemNotAssigned, EPortNotAssigned, and
  // EVnkException when PhoneNumber is empty; the dialer then stays idle.
  void StartDial();
  // Raises ENotDialing when idle. A connection in its last step (the tag
  // wait) cannot be cancelled at the modem: it completes there, unheard.
  void CancelDial();
  // Ends a running dial quietly; never raises.
  void StopDialing() noexcept;
  // The owner tells of a component inserted or about to be removed.
  void Notification(TComponent& component, TOperation operation);

  // --- events ---
  TNotifyEvent OnRetryStart;
  TConnectCountEvent OnRetryCount;
  TNotifyEvent OnRetryEnd, OnCycleDial, OnDialStart, OnConnect;
  TConnectCountEvent OnDialCount;
  TLineSpeedEvent OnGotLineSpeed;
  TNotifyEvent OnBusy, OnVoice, OnError, OnNoCarrier, OnNoDialTone;
  TNotifyEvent OnDialTimedOut;  // not published
  TNotifyEvent OnConnectionEstablished, OnTooManyTries;

 protected:
  virtual void DoRetryStart();
  virtual void DoRetryCount();
  virtual void DoRetryEnd();
  virtual void DoCycleDial();
  virtual void DoDialStart();
  virtual void DoConnect();
  virtual void DoDialCount(std::uint16_t remaining);
  virtual void DoGotLineSpeed(std::int32_t speed);
  virtual void DoBusy();
  virtual void DoVoice();
  virtual void DoError();
  virtual void DoNoCarrier();
  virtual void DoNoDialTone();
  virtual void DoDialTimedOut();
  virtual void DoConnectionEstablished();
  virtual void DoTooManyTries();

 private:
  void HookModemEvents();
  void UnhookModemEvents();
  void StartDialDelay();
  void Retry();
  // Retry; a retry that throws ends the dialing as failed first.
  void RetryOrAbandon();
  void FinishDial();
  // Ends the dialing as failed, timers released quietly.
  void Abandon();
  // Releases whichever timer is held (quietly when `quiet`).
  void ReleaseTimers(bool quiet);
  // A failure result: the saved handler, then the abort option decides.
  void Failed(TDialerOption abortOption, void (TVnkCustomModemDialer::*fire)());

  // The dialer's handlers of the port's and the modem's events.
  void PortTriggerTimer(TVnkCustomComPort& port, std::uint16_t handle);
  void ModemConnect(TComponent& sender);
  void ModemDialCount(TComponent& sender, std::uint16_t remaining);
  void ModemGotLineSpeed(TComponent& sender, std::int32_t speed);
  void ModemBusy(TComponent& sender);
  void ModemVoice(TComponent& sender);
  void ModemError(TComponent& sender);
  void ModemNoCarrier(TComponent& sender);
  void ModemNoDialTone(TComponent& sender);
  void ModemDialTimedOut(TComponent& sender);
  void ModemDestroy(TComponent& sender);
  void ModemIsConnected(TComponent& sender);

  TVnkCustomModem* modem_ = nullptr;
  std::string phoneNumber_;
  std::int32_t maxDialTries_ = 10;
  std::int32_t retrySecs_ = 60;
  TDialerOptions options_{TDialerOption::mdAbortOnNoDialtone, TDialerOption::mdAbortOnError};
  std::uint8_t status_ = dsIdle;
  bool waitingForRetry_ = false;
  bool dialing_ = false;
  TVnkCustomComPort* port_ = nullptr;
  std::int32_t tries_ = 0;
  std::uint16_t dialTimer_ = 0;
  std::uint16_t retryTimer_ = 0;
  std::int32_t countDown_ = 0;
  bool hooked_ = false;

  TTriggerTimerEvent savedTriggerTimer_;
  TNotifyEvent savedConnect_;
  TConnectCountEvent savedDialCount_;
  TLineSpeedEvent savedGotLineSpeed_;
  TNotifyEvent savedBusy_, savedVoice_, savedError_, savedNoCarrier_, savedNoDialTone_,
      savedDialTimedOut_, savedDestroy_, savedIsConnected_;
};

// The dialer as the forms place it: all behaviour is in the base.
class TVnkModemDialer : public TVnkCustomModemDialer {
 public:
  using TVnkCustomModemDialer::TVnkCustomModemDialer;
};

}  // namespace comm
