#pragma once
// The modem component: the modem information as properties, the engine
// started on a serial port component, the engine's notices as events, and
// Dial, IsDialing, CancelDial and HangUp.
//
// Every operation and every event runs on the thread that created the
// component (the main thread). The engine meets its outcomes on the port's
// dispatch thread; each notice is posted, with the values of that moment, to
// the component's thread and its events are fired there, in order.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "comm/CommExcept.h"
#include "comm/ModemInfo.h"
#include "comm/SerialPort.h"

class QObject;

namespace comm {

// What happened, as OnModemEvent and OnCommandProcessed report it.
using TModemStatus = std::int32_t;
inline constexpr TModemStatus msModemOk = 0, msModemConnect = 1, msModemBusy = 2,
                              msModemVoice = 3, msModemNoCarrier = 4, msModemNoDialTone = 5,
                              msModemError = 6, msGotLineSpeed = 7, msGotErrCorrection = 8,
                              msGotDataCompression = 9, msCmdTimedOut = 10, msDialTimedOut = 11,
                              msAnswerTimedOut = 12, msDialCount = 13, msAnswerCount = 14,
                              msModemRing = 15, msModemIsConnected = 16, msConnectFailed = 17,
                              msCommandProcessed = 18;

using TLineSpeedEvent = Event<TComponent&, std::int32_t /*Speed*/>;
using TConnectCountEvent = Event<TComponent&, std::uint16_t /*Remaining*/>;
using TModemEvent = Event<TComponent&, TModemStatus /*WhatHappened*/, std::int32_t /*Data*/>;

// Five tag words.
class TTagSet {
 public:
  const std::string& String(int n) const;  // n 1..5
  void SetString(int n, const std::string& value);  // keeps at most 21 characters
  const std::string& String1() const { return String(1); }
  const std::string& String2() const { return String(2); }
  const std::string& String3() const { return String(3); }
  const std::string& String4() const { return String(4); }
  const std::string& String5() const { return String(5); }
  void SetString1(const std::string& v) { SetString(1, v); }
  void SetString2(const std::string& v) { SetString(2, v); }
  void SetString3(const std::string& v) { SetString(3, v); }
  void SetString4(const std::string& v) { SetString(4, v); }
  void SetString5(const std::string& v) { SetString(5, v); }

 private:
  std::array<std::string, 5> strings_;
};

enum class TOperation { opInsert, opRemove };

inline constexpr std::size_t kMaxDialNumber = 255;

class TVnkCustomModem : public TComponent {
 public:
  // `port`: the serial port component it works on (may be nullptr).
  explicit TVnkCustomModem(TVnkCustomComPort* port = nullptr);
  ~TVnkCustomModem() override;  // never throws
  TVnkCustomModem(const TVnkCustomModem&) = delete;
  TVnkCustomModem& operator=(const TVnkCustomModem&) = delete;

  // --- operations ---
  void SetModemStarted(bool value);
  bool ModemStarted() const { return modemStarted_; }
  bool AutoStart() const { return autoStart_; }
  void Dial(const std::string& number);  // at most 255 characters are dialled
  bool IsDialing();
  void CancelDial();
  void HangUp();
  // Another component was inserted or is being removed.
  void Notification(TComponent& component, TOperation operation);

  // --- properties ---
  TVnkCustomComPort* ComPort() const { return comPort_; }
  void SetComPort(TVnkCustomComPort* port);

  const std::string& InitCmd() const { return info_.InitCmd; }
  const std::string& DialCmd() const { return info_.DialCmd; }
  const std::string& DialTerm() const { return info_.DialTerm; }
  const std::string& DialCancel() const { return info_.DialCancel; }
  const std::string& HangupCmd() const { return info_.HangupCmd; }
  const std::string& ConfigCmd() const { return info_.ConfigCmd; }
  const std::string& AnswerCmd() const { return info_.AnswerCmd; }
  const std::string& OkMsg() const { return info_.OkMsg; }
  const std::string& ConnectMsg() const { return info_.ConnectMsg; }
  const std::string& BusyMsg() const { return info_.BusyMsg; }
  const std::string& VoiceMsg() const { return info_.VoiceMsg; }
  const std::string& NoCarrierMsg() const { return info_.NoCarrierMsg; }
  const std::string& NoDialToneMsg() const { return info_.NoDialToneMsg; }
  const std::string& ErrorMsg() const { return info_.ErrorMsg; }
  const std::string& RingMsg() const { return info_.RingMsg; }
  // Each raises EModemBusy while the engine is busy, leaving everything as it was.
  void SetInitCmd(const std::string& v);
  void SetDialCmd(const std::string& v);
  void SetDialTerm(const std::string& v);
  void SetDialCancel(const std::string& v);
  void SetHangupCmd(const std::string& v);
  void SetConfigCmd(const std::string& v);
  void SetAnswerCmd(const std::string& v);
  void SetOkMsg(const std::string& v);
  void SetConnectMsg(const std::string& v);
  void SetBusyMsg(const std::string& v);
  void SetVoiceMsg(const std::string& v);
  void SetNoCarrierMsg(const std::string& v);
  void SetNoDialToneMsg(const std::string& v);
  void SetErrorMsg(const std::string& v);
  void SetRingMsg(const std::string& v);

  const TTagSet& DataCompressionTags() const { return compressTags_; }
  const TTagSet& ErrorCorrectionTags() const { return errorTags_; }
  // They reach the engine at the next start.
  void SetDataCompressionTags(const TTagSet& tags);
  void SetErrorCorrectionTags(const TTagSet& tags);

  bool LockDTE() const { return info_.LockDTE; }
  void SetLockDTE(bool value);

  std::uint32_t DialTimeout() const { return dialTimeout_; }
  std::uint32_t AnswerTimeout() const { return answerTimeout_; }
  std::uint32_t DelayFactor() const { return delayFactor_; }
  std::uint32_t CmdTimeout() const { return cmdTimeout_; }
  std::uint32_t DTRDropHold() const { return dtrDropHold_; }
  std::uint32_t CharDelay() const { return charDelay_; }
  std::uint32_t TildeDelay() const { return tildeDelay_; }
  std::uint32_t RingWaitTimeout() const { return ringWaitTimeout_; }
  void SetDialTimeout(std::uint32_t v);
  void SetAnswerTimeout(std::uint32_t v);
  void SetDelayFactor(std::uint32_t v);
  void SetCmdTimeout(std::uint32_t v);
  void SetDTRDropHold(std::uint32_t v);
  void SetCharDelay(std::uint32_t v);
  void SetTildeDelay(std::uint32_t v);
  void SetRingWaitTimeout(std::uint32_t v);

  // The engine's record while started (for inspection), else nullptr.
  ModemRecordRef EngineRecord() const { return engine_; }

  // --- events ---
  TNotifyEvent OnModemOk, OnModemConnect, OnModemBusy, OnModemVoice, OnModemNoCarrier,
      OnModemNoDialTone, OnModemError;
  TLineSpeedEvent OnGotLineSpeed;
  TNotifyEvent OnGotErrCorrection, OnGotDataCompression, OnCmdTimedOut, OnDialTimedOut,
      OnAnswerTimedOut;
  TConnectCountEvent OnDialCount, OnAnswerCount;
  TModemEvent OnCommandProcessed;
  TNotifyEvent OnModemIsConnected, OnConnectFailed, OnModemRing;
  TModemEvent OnModemEvent;
  TNotifyEvent OnModemDestroy;

 protected:
  virtual void DoModemOk();
  virtual void DoModemConnect();
  virtual void DoModemBusy();
  virtual void DoModemVoice();
  virtual void DoModemNoCarrier();
  virtual void DoModemNoDialTone();
  virtual void DoModemError();
  virtual void DoGotLineSpeed(std::int32_t speed);
  virtual void DoGotErrCorrection();
  virtual void DoGotDataCompression();
  virtual void DoCmdTimedOut();
  virtual void DoDialTimedOut();
  virtual void DoAnswerTimedOut();
  virtual void DoDialCount(std::uint16_t remaining);
  virtual void DoAnswerCount(std::uint16_t remaining);
  virtual void DoModemIsConnected();
  virtual void DoConnectFailed();
  virtual void DoModemRing();
  virtual void DoCommandProcessed(TModemStatus whatHappened);

  // One notice, on the component's thread: its operation, then OnModemEvent.
  void ModemMessageHandler(std::uint32_t msg, std::int32_t first, std::int32_t lineSpeed);

  void CheckModemStarted();

 private:
  struct Poster;
  static void PortUserCallback(void* owner, TVnkCustomComPort& port, bool opening);
  void PostNotice(const TModemNotice& notice);
  void FireNotice(const TModemNotice& notice);
  void StopEngine() noexcept;
  // Sets a string of the information (and of the engine's record).
  void SetText(std::string TModemInfo::*field, std::string TModemRecord::*recordField,
               int responseSlot, const std::string& value, std::size_t max);
  void ApplyTimings(TModemRecord& rec) const;
  std::int32_t Check(std::int32_t code) const { return RaiseForErrorCode(Loading(), code); }

  ModemRecordRef engine_;
  TVnkCustomComPort* comPort_ = nullptr;
  TModemInfo info_;
  std::uint32_t dialTimeout_ = kDefDialTimeout, answerTimeout_ = kDefAnswerTimeout,
                delayFactor_ = kDefDelayFactor, cmdTimeout_ = kDefCmdTimeout,
                dtrDropHold_ = kDefDTRDropHold, charDelay_ = kDefCharDelay,
                tildeDelay_ = kDefTildeDelay, ringWaitTimeout_ = kDefRingWaitTimeout;
  bool autoStart_ = true;
  bool modemStarted_ = false;
  TTagSet compressTags_, errorTags_;

  // The component's end of the notices: guarded, so that a notice of the
  // dispatch thread is never posted to a receiver being destroyed.
  std::shared_ptr<Poster> poster_;
};

// The component as the forms place it: all behaviour is in the base.
class TVnkModem : public TVnkCustomModem {
 public:
  using TVnkCustomModem::TVnkCustomModem;
};

}  // namespace comm
