#pragma once
// The serial port component: a port's settings as properties, opening and
// closing through the dispatcher, settings pushed to an open port at once, and
// the dispatcher's trigger messages turned into events on the main thread.
//
// Everything runs on the thread that created the component (the main thread),
// except WriteText, which the senders call from their own threads.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "comm/DevLayer.h"
#include "comm/PortDispatch.h"

namespace comm {

// ---------------------------------------------------------------------------
// Events: a member that holds at most one handler. A handler can be replaced,
// and a copy of the event saves it: the copy compares equal to the event until
// another handler is put in, and assigning the copy back restores it.

template <typename... Args>
class Event {
 public:
  using Function = std::function<void(Args...)>;

  Event() = default;
  Event(std::nullptr_t) {}  // NOLINT: "no handler"
  template <typename F, typename = std::enable_if_t<std::is_invocable_v<F&, Args...> &&
                                                    !std::is_same_v<std::decay_t<F>, Event>>>
  Event(F&& f) : fn_(std::make_shared<Function>(std::forward<F>(f))) {}  // NOLINT

  // A handler that is a member function of an object. Two events made from the
  // same object and member compare equal, as method references do.
  template <typename C, typename R, typename... Params>
  static Event Method(C* object, R (C::*method)(Params...)) {
    Event e([object, method](Args... args) { (object->*method)(args...); });
    e.object_ = object;
    static_assert(sizeof(method) <= sizeof(e.methodKey_));
    std::memcpy(e.methodKey_.data(), &method, sizeof(method));
    return e;
  }

  explicit operator bool() const { return fn_ != nullptr; }

  // Calls the handler, when there is one. The handler stays alive for the call
  // even when it replaces the event meanwhile.
  void operator()(Args... args) const {
    if (auto fn = fn_) (*fn)(args...);
  }

  friend bool operator==(const Event& a, const Event& b) {
    if (a.fn_ == b.fn_) return true;
    return a.object_ != nullptr && a.object_ == b.object_ && a.methodKey_ == b.methodKey_;
  }

 private:
  std::shared_ptr<Function> fn_;
  const void* object_ = nullptr;
  std::array<unsigned char, 2 * sizeof(void*)> methodKey_{};
};

// ---------------------------------------------------------------------------
// The component base: a loading state (while a form's stored values are put
// into the component, nothing is opened and no error is raised) and a design
// state (never set in the programs).

class TComponent {
 public:
  virtual ~TComponent() = default;

  bool Loading() const { return loading_.load(std::memory_order_acquire); }
  bool Designing() const { return designing_; }

  // Enters the loading state; EndLoading leaves it and calls Loaded.
  void BeginLoading() { loading_.store(true, std::memory_order_release); }
  void EndLoading() {
    loading_.store(false, std::memory_order_release);
    Loaded();
  }
  void SetDesigning(bool designing) { designing_ = designing; }

 protected:
  virtual void Loaded() {}

 private:
  std::atomic<bool> loading_{false};
  bool designing_ = false;
};

class TVnkCustomComPort;

using TNotifyEvent = Event<TComponent&>;
using TTriggerEvent = Event<TVnkCustomComPort&, std::uint16_t /*Msg*/,
                            std::uint16_t /*TriggerHandle*/, std::uint16_t /*Data*/>;
using TTriggerAvailEvent = Event<TVnkCustomComPort&, std::uint16_t /*Count*/>;
using TTriggerDataEvent = Event<TVnkCustomComPort&, std::uint16_t /*TriggerHandle*/>;
using TTriggerStatusEvent = Event<TVnkCustomComPort&, std::uint16_t /*TriggerHandle*/>;
using TTriggerTimerEvent = Event<TVnkCustomComPort&, std::uint16_t /*TriggerHandle*/>;
using TTriggerLineErrorEvent =
    Event<TVnkCustomComPort&, std::uint16_t /*Error*/, bool /*LineBreak*/>;
using TWaitCharEvent = Event<TVnkCustomComPort&, char /*C*/>;

// ---------------------------------------------------------------------------
// Property types.

enum class TDispatcherMode { dNone, dTimer, dCommEvents, dAuto, dWin32 };
enum class TParity { pNone, pOdd, pEven, pMark, pSpace };
enum class TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum class THWFlowOptions { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };
enum class TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum class TTapiMode { tmNone, tmAuto, tmOn, tmOff };

// A set of hardware flow options.
class THWFlowOptionSet {
 public:
  constexpr THWFlowOptionSet() = default;
  constexpr THWFlowOptionSet(std::initializer_list<THWFlowOptions> options) {
    for (auto o : options) bits_ |= Bit(o);
  }
  constexpr bool Contains(THWFlowOptions o) const { return (bits_ & Bit(o)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  // The dispatcher's option bits: use DTR 1, use RTS 2, require DSR 4, require CTS 8.
  constexpr std::uint16_t Mask() const { return bits_; }
  friend constexpr bool operator==(THWFlowOptionSet a, THWFlowOptionSet b) {
    return a.bits_ == b.bits_;
  }

 private:
  static constexpr std::uint16_t Bit(THWFlowOptions o) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(o));
  }
  std::uint16_t bits_ = 0;
};

// Installs the layer of dlOther before an open.
using TLayerInstaller = std::function<void(TVnkCustomComPort&)>;

// A port user: told when the port has opened (opening True) and when it is
// about to close (False).
using TPortCallback = void (*)(void* owner, TVnkCustomComPort& port, bool opening);

namespace detail {
class ComEventWindow;
}

// The component registered for dispatcher handle h (1..100), or nullptr.
// Main thread only.
TVnkCustomComPort* PortMap(std::uint16_t handle);

inline constexpr std::uint16_t kMaxComTraceSize = 32760;
inline constexpr std::uint16_t kMaxComLogSize = 65520;

class TVnkCustomComPort : public TComponent {
 public:
  TVnkCustomComPort();
  ~TVnkCustomComPort() override;  // closes the port; never throws
  TVnkCustomComPort(const TVnkCustomComPort&) = delete;
  TVnkCustomComPort& operator=(const TVnkCustomComPort&) = delete;

  // --- properties (getters) ---
  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  std::uint16_t ComNumber() const { return comNumber_; }
  std::int32_t Baud() const { return baud_; }
  TParity Parity() const { return parity_; }
  std::uint16_t DataBits() const { return dataBits_; }
  std::uint16_t StopBits() const { return stopBits_; }
  std::uint16_t InSize() const { return inSize_; }
  std::uint16_t OutSize() const { return outSize_; }
  bool AutoOpen() const { return autoOpen_; }
  TDispatcherMode DispatcherMode() const { return dispatcherMode_; }
  bool Open() const { return open_; }
  bool DTR() const { return dtr_; }
  bool RTS() const { return rts_; }
  THWFlowOptionSet HWFlowOptions() const { return hwFlowOptions_; }
  TSWFlowOptions SWFlowOptions() const { return swFlowOptions_; }
  char XOnChar() const { return xonChar_; }
  char XOffChar() const { return xoffChar_; }
  std::uint16_t BufferFull() const { return bufferFull_; }
  std::uint16_t BufferResume() const { return bufferResume_; }
  TTraceLogState Tracing() const { return tracing_; }
  std::uint16_t TraceSize() const { return traceSize_; }
  const std::string& TraceName() const { return traceName_; }
  bool TraceHex() const { return traceHex_; }
  TTraceLogState Logging() const { return logging_; }
  std::uint16_t LogSize() const { return logSize_; }
  const std::string& LogName() const { return logName_; }
  bool LogHex() const { return logHex_; }
  bool UseMSRShadow() const { return useMsrShadow_; }
  bool UseEventWord() const { return useEventWord_; }
  bool DirectReads() const { return directReads_; }
  std::uint16_t TriggerLength() const { return triggerLength_; }
  std::uint16_t CommNotificationLevel() const { return commNotificationLevel_; }
  TTapiMode TapiMode() const { return tapiMode_; }

  // --- properties (setters): store; on an open port also apply at once ---
  void SetDeviceLayer(TDeviceLayer value);
  void SetComNumber(std::uint16_t value);
  void SetBaud(std::int32_t value);
  void SetParity(TParity value);
  void SetDataBits(std::uint16_t value);
  void SetStopBits(std::uint16_t value);
  void SetInSize(std::uint16_t value);
  void SetOutSize(std::uint16_t value);
  void SetAutoOpen(bool value) { autoOpen_ = value; }
  void SetDispatcherMode(TDispatcherMode value);
  void SetOpen(bool value);
  void SetDTR(bool value);
  void SetRTS(bool value);
  void SetHWFlowOptions(THWFlowOptionSet value);
  void SetSWFlowOptions(TSWFlowOptions value);
  void SetXOnChar(char value);
  void SetXOffChar(char value);
  void SetBufferFull(std::uint16_t value);
  void SetBufferResume(std::uint16_t value);
  void SetTracing(TTraceLogState value);
  void SetTraceSize(std::uint16_t value);  // at most 32760; 0 is refused
  void SetTraceName(const std::string& value) { traceName_ = value.substr(0, 255); }
  void SetTraceHex(bool value) { traceHex_ = value; }
  void SetLogging(TTraceLogState value);
  void SetLogSize(std::uint16_t value);  // at most 65520; 0 is refused
  void SetLogName(const std::string& value) { logName_ = value.substr(0, 255); }
  void SetLogHex(bool value) { logHex_ = value; }
  virtual void SetUseMSRShadow(bool value);
  void SetUseEventWord(bool value);
  void SetDirectReads(bool value);
  void SetTriggerLength(std::uint16_t value);
  void SetCommNotificationLevel(std::uint16_t value);
  void SetTapiMode(TTapiMode value) { tapiMode_ = value; }

  // True while an open re-applies the settings: setters act on unchanged values.
  bool ForceApply() const { return forceApply_; }
  // The dispatcher port is open and the handle valid.
  bool PortOpened() const { return portOpened_; }
  // The port is open on a device that hung up or failed a write. Setting
  // Open to True again then closes and reopens it on its device.
  bool DeviceFailed() const;
  // The dispatcher's handle; 0 when closed. Safe from any thread.
  std::uint16_t DispatcherHandle() const { return dispatcherHandle_.load(); }

  TLayerInstaller OtherLayerInstaller;
  // A device handle for an open on a handle (TapiMode tmOn); 0: open by name.
  std::int32_t ExistingDeviceHandle = 0;

  // --- operations ---
  // The handle, after opening the port when it is closed, AutoOpen is on and
  // the component is neither loading nor designed. 0 when still closed.
  std::uint16_t GetDispatcherHandle();
  virtual void OpenPort();
  virtual void OpenPortOnHandle();
  virtual void ClosePort();
  // One received byte; raises EBufferIsEmpty when nothing is waiting.
  char ReadChar();
  // Up to `count` received bytes in one call, taken as ReadChar would take
  // them one by one: the number taken (0 when none wait or the port is closed).
  std::uint16_t GetBlock(char* data, std::uint16_t count);
  // Queues the text for sending. From another thread than the component's it
  // never opens the port: a closed port raises EBadHandle there.
  void WriteText(const std::string& text);
  // 0 when closed, else the line error code (read and cleared).
  std::uint16_t GetLineError();
  // False when closed, else whether a break was seen (read and cleared).
  bool GetLineBreak();
  // Copies another port component's settings, events and port users (stored,
  // not applied); this component's port is left closed.
  void Assign(const TVnkCustomComPort& source);
  virtual void ProcessCommunications();

  // --- port users ---
  void AddPortUser(TPortCallback callback, void* owner);
  // Removes every entry with that callback, whatever its owner.
  void RemovePortUser(TPortCallback callback);
  // Removes the entries with that callback and owner.
  void RemovePortUser(TPortCallback callback, void* owner);
  std::size_t PortUserCount() const;

  // --- timer triggers ---
  std::uint16_t CreateTimerTrigger();
  void ReleaseTrigger(std::uint16_t trigger);  // nothing on a closed port
  void ArmTimerTrigger(std::uint16_t trigger, std::uint32_t ticks, bool activate);

  // --- trace and log control ---
  void InitTracing(std::uint16_t size);  // 0 keeps TraceSize
  void DumpTrace(const std::string& fileName, bool hex);
  void AppendTrace(const std::string& fileName, bool hex);
  void ClearTracing();
  void AbortTracing();
  void ResumeTracing();
  void PauseTracing();
  void InitLogging(std::uint16_t size);  // 0 keeps LogSize
  void DumpLog(const std::string& fileName, bool hex);
  void AppendLog(const std::string& fileName, bool hex);
  void ClearLogging();
  void AbortLogging();
  void ResumeLogging();
  void PauseLogging();

  // --- the event window (main thread) ---
  // The window procedure: fires the events of a trigger message of port
  // `lParam >> 16`; 0 for every message. Exceptions of the handlers are
  // reported after the delivery, never passed on.
  static std::int32_t TriggerWindowProc(detail::ComEventWindow* window, std::uint32_t message,
                                        std::uint32_t wParam, std::uint32_t lParam);
  bool HasComWindow() const { return comWindow_ != nullptr; }

  // --- events ---
  TTriggerEvent OnTrigger;
  TTriggerAvailEvent OnTriggerAvail;
  TTriggerDataEvent OnTriggerData;
  TTriggerStatusEvent OnTriggerStatus;
  TTriggerTimerEvent OnTriggerTimer;
  TTriggerLineErrorEvent OnTriggerLineError;
  TNotifyEvent OnTriggerModemStatus;
  TNotifyEvent OnTriggerOutbuffFree;
  TNotifyEvent OnTriggerOutbuffUsed;
  TNotifyEvent OnTriggerOutSent;
  TWaitCharEvent OnWaitChar;
  TNotifyEvent OnPortOpen;
  TNotifyEvent OnPortClose;

 protected:
  void Loaded() override;

  virtual void ActivateDeviceLayer();
  virtual void DeviceLayerChanged() {}
  virtual std::int32_t OpenDispatcherPort();
  virtual void ValidateComNumber();

  virtual void DoTrigger(std::uint16_t msg, std::uint16_t triggerHandle, std::uint16_t data);
  virtual void DoTriggerAvail(std::uint16_t count);
  virtual void DoTriggerData(std::uint16_t triggerHandle);
  virtual void DoTriggerStatus(std::uint16_t triggerHandle);
  virtual void DoTriggerTimer(std::uint16_t triggerHandle);
  virtual void DoTriggerLineError(std::uint16_t error, bool lineBreak);
  virtual void DoTriggerModemStatus();
  virtual void DoTriggerOutbuffFree();
  virtual void DoTriggerOutbuffUsed();
  virtual void DoTriggerOutSent();
  virtual void DoWaitChar(char c);
  virtual void DoPortOpen();
  virtual void DoPortClose();

  // RaiseForErrorCode in this component's loading state.
  std::int32_t Check(std::int32_t code) const;

 private:
  struct PortUser {
    TPortCallback callback = nullptr;
    void* owner = nullptr;
    bool removed = false;
  };

  bool OnOwnerThread() const { return std::this_thread::get_id() == ownerThread_; }
  void OpenCommon(bool onHandle);
  // Closes an open port, applies `change`, and opens it again with its
  // triggers and trace and log states.
  void ReopenAround(const std::function<void()>& change);
  // The steps of an open after the dispatcher port opened; rolls back on failure.
  void FinishOpen();
  void RollBackOpen();
  void PortWindow(bool create);
  void ApplyLineParams();
  void ApplyOption(std::uint16_t bits, bool on);
  void ReapplyFlow();
  void TellPortUsers(bool opening);
  void RetireTracingAfterFailedDump();
  void RetireLoggingAfterFailedDump();

  TDeviceLayer deviceLayer_ = TDeviceLayer::dlWin32;
  std::uint16_t comNumber_ = 0;
  std::int32_t baud_ = 19200;
  TParity parity_ = TParity::pNone;
  std::uint16_t dataBits_ = 8;
  std::uint16_t stopBits_ = 1;
  std::uint16_t inSize_ = 4096;
  std::uint16_t outSize_ = 4096;
  bool autoOpen_ = true;
  TDispatcherMode dispatcherMode_ = TDispatcherMode::dWin32;
  bool open_ = false;
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptionSet hwFlowOptions_{};
  TSWFlowOptions swFlowOptions_ = TSWFlowOptions::swfNone;
  char xonChar_ = 17;
  char xoffChar_ = 19;
  std::uint16_t bufferFull_ = 0;
  std::uint16_t bufferResume_ = 0;
  TTraceLogState tracing_ = TTraceLogState::tlOff;
  std::uint16_t traceSize_ = 10000;
  std::string traceName_ = "VENK.TRC";
  bool traceHex_ = true;
  TTraceLogState logging_ = TTraceLogState::tlOff;
  std::uint16_t logSize_ = 10000;
  std::string logName_ = "VENK.LOG";
  bool logHex_ = true;
  bool useMsrShadow_ = true;
  bool useEventWord_ = true;
  bool directReads_ = false;
  std::uint16_t triggerLength_ = 1;
  std::uint16_t commNotificationLevel_ = 10;
  TTapiMode tapiMode_ = TTapiMode::tmAuto;

  bool forceApply_ = false;
  bool portOpened_ = false;
  bool closing_ = false;  // ClosePort is telling the users or dumping
  bool openRequested_ = false;
  bool triggersSaved_ = false;
  TriggerBlock savedTriggers_{};
  std::atomic<std::uint16_t> dispatcherHandle_{0};
  std::vector<std::shared_ptr<PortUser>> portUsers_;  // oldest first
  detail::ComEventWindow* comWindow_ = nullptr;
  std::thread::id ownerThread_;

  friend class detail::ComEventWindow;
};

// The component as the forms place it: all behaviour is in the base.
class TVnkComPort : public TVnkCustomComPort {
 public:
  using TVnkCustomComPort::TVnkCustomComPort;
};

}  // namespace comm
