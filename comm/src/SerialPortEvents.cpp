// The serial port component: its event window, events, port users, timer
// triggers and the control of the trace and the dispatch log.
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <memory>

#include "comm/CommExcept.h"
#include "comm/SerialPort.h"
#include "platform/MainThreadExecutor.h"
#include "platform/ExceptionReport.h"

namespace comm {
namespace detail {

// The hidden window of an open port: a main-thread object that the dispatcher
// hands the port's trigger messages to. The dispatcher never runs a message
// for it once it is deregistered; when the port is closed from one of its own
// handlers it outlives that call and goes when the call ends.
class ComEventWindow : public QObject, public TriggerWindow {
 public:
  ComEventWindow(platform::MainThreadExecutor& executor, TVnkCustomComPort* owner)
      : TriggerWindow(executor), owner_(owner) {
    setObjectName(QStringLiteral("vnComWindow"));
  }

  std::int32_t WindowProc(std::uint32_t message, std::uint32_t wParam,
                          std::uint32_t lParam) override {
    ++depth_;
    const std::int32_t result = TVnkCustomComPort::TriggerWindowProc(this, message, wParam, lParam);
    --depth_;
    if (depth_ == 0 && retired_) delete this;
    return result;
  }

  // The port closed: gone now, or at the end of the running message.
  void Retire() {
    owner_ = nullptr;
    if (depth_ > 0) {
      retired_ = true;
    } else {
      delete this;
    }
  }

  TVnkCustomComPort* Owner() const { return owner_; }

 private:
  TVnkCustomComPort* owner_;
  int depth_ = 0;
  bool retired_ = false;
};

namespace {

// The main thread's executor: the program's own when it has one, else one of
// ours, made at the first open.
platform::MainThreadExecutor& EventExecutor() {
  if (auto* executor = platform::MainThreadExecutor::Instance();
      executor != nullptr && executor->OnExecutorThread()) {
    return *executor;
  }
  if (QCoreApplication* app = QCoreApplication::instance()) {
    return *new platform::MainThreadExecutor(app);  // goes with the application
  }
  static std::unique_ptr<platform::MainThreadExecutor> standalone;
  standalone = std::make_unique<platform::MainThreadExecutor>();
  return *standalone;
}

// As the program's default handler would: a box with the exception's message,
// shown once the delivery has ended, so the dispatch thread is not held while
// the box is up.
void ReportHandlerException(const std::string& text) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app != nullptr && QThread::currentThread() != app->thread()) return;  // discarded
  platform::ShowExceptionBoxLater(text);
}

}  // namespace
}  // namespace detail

// ---------------------------------------------------------------------------
// Event window

void TVnkCustomComPort::PortWindow(bool create) {
  const std::uint16_t handle = dispatcherHandle_.load();
  if (create) {
    if (comWindow_ != nullptr) return;
    auto* window = new detail::ComEventWindow(detail::EventExecutor(), this);
    const std::int32_t r = RegisterTriggerWindow(handle, window, nullptr, true);
    if (r < 0) {
      window->Retire();
      Check(r);
      return;
    }
    comWindow_ = window;
    return;
  }
  if (comWindow_ == nullptr) return;
  DeregisterTriggerHandler(handle, comWindow_, nullptr);
  detail::ComEventWindow* window = comWindow_;
  comWindow_ = nullptr;
  window->Retire();
}

std::int32_t TVnkCustomComPort::TriggerWindowProc(detail::ComEventWindow* window,
                                                  std::uint32_t message, std::uint32_t wParam,
                                                  std::uint32_t lParam) {
  const auto handle = static_cast<std::uint16_t>(lParam >> 16);
  TVnkCustomComPort* port = PortMap(handle);
  if (port == nullptr) return 0;
  // A window of a closed port (whose handle an other port may have now) fires nothing.
  if (window != nullptr && (window->Owner() != port || port->comWindow_ != window)) return 0;
  const auto msg = static_cast<std::uint16_t>(message & 0xFFFF);
  const auto w = static_cast<std::uint16_t>(wParam & 0xFFFF);
  const auto low = static_cast<std::uint16_t>(lParam & 0xFFFF);
  try {
    port->DoTrigger(msg, w, msg == MsgTriggerAvail ? w : low);
    switch (msg) {
      case MsgTriggerAvail:
        port->DoTriggerAvail(w);
        break;
      case MsgTriggerData:
        port->DoTriggerData(w);
        break;
      case MsgTriggerTimer:
        port->DoTriggerTimer(w);
        break;
      case MsgTriggerStatus:
        port->DoTriggerStatus(w);
        switch (StatusTriggerKind(handle, w)) {
          case kStatusModem:
            port->DoTriggerModemStatus();
            break;
          case kStatusLineError: {
            const bool lineBreak = port->GetLineBreak();
            port->DoTriggerLineError(port->GetLineError(), lineBreak);
            break;
          }
          case kStatusOutFree:
            port->DoTriggerOutbuffFree();
            break;
          case kStatusOutUsed:
            port->DoTriggerOutbuffUsed();
            break;
          case kStatusOutSent:
            port->DoTriggerOutSent();
            break;
          default:
            break;
        }
        break;
      default:
        break;
    }
  } catch (const std::exception& e) {
    detail::ReportHandlerException(e.what());
  } catch (...) {
    detail::ReportHandlerException("Unknown exception");
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Events

void TVnkCustomComPort::DoTrigger(std::uint16_t msg, std::uint16_t triggerHandle,
                                  std::uint16_t data) {
  OnTrigger(*this, msg, triggerHandle, data);
}
void TVnkCustomComPort::DoTriggerAvail(std::uint16_t count) { OnTriggerAvail(*this, count); }
void TVnkCustomComPort::DoTriggerData(std::uint16_t triggerHandle) {
  OnTriggerData(*this, triggerHandle);
}
void TVnkCustomComPort::DoTriggerStatus(std::uint16_t triggerHandle) {
  OnTriggerStatus(*this, triggerHandle);
}
void TVnkCustomComPort::DoTriggerTimer(std::uint16_t triggerHandle) {
  OnTriggerTimer(*this, triggerHandle);
}
void TVnkCustomComPort::DoTriggerLineError(std::uint16_t error, bool lineBreak) {
  OnTriggerLineError(*this, error, lineBreak);
}
void TVnkCustomComPort::DoTriggerModemStatus() { OnTriggerModemStatus(*this); }
void TVnkCustomComPort::DoTriggerOutbuffFree() { OnTriggerOutbuffFree(*this); }
void TVnkCustomComPort::DoTriggerOutbuffUsed() { OnTriggerOutbuffUsed(*this); }
void TVnkCustomComPort::DoTriggerOutSent() { OnTriggerOutSent(*this); }
void TVnkCustomComPort::DoWaitChar(char c) { OnWaitChar(*this, c); }

void TVnkCustomComPort::DoPortOpen() {
  TellPortUsers(true);
  OnPortOpen(*this);
}

void TVnkCustomComPort::DoPortClose() {
  TellPortUsers(false);
  OnPortClose(*this);
}

// ---------------------------------------------------------------------------
// Port users

void TVnkCustomComPort::TellPortUsers(bool opening) {
  // A user may remove itself or others (the modem stops when the port closes).
  const auto users = portUsers_;
  for (auto it = users.rbegin(); it != users.rend(); ++it) {
    if (!(*it)->removed && (*it)->callback != nullptr) (*it)->callback((*it)->owner, *this, opening);
  }
}

void TVnkCustomComPort::AddPortUser(TPortCallback callback, void* owner) {
  portUsers_.push_back(std::make_shared<PortUser>(PortUser{callback, owner}));
}

void TVnkCustomComPort::RemovePortUser(TPortCallback callback) {
  for (auto it = portUsers_.end(); it != portUsers_.begin();) {
    --it;
    if ((*it)->callback == callback) {
      (*it)->removed = true;
      it = portUsers_.erase(it);
    }
  }
}

void TVnkCustomComPort::RemovePortUser(TPortCallback callback, void* owner) {
  for (auto it = portUsers_.end(); it != portUsers_.begin();) {
    --it;
    if ((*it)->callback == callback && (*it)->owner == owner) {
      (*it)->removed = true;
      it = portUsers_.erase(it);
    }
  }
}

std::size_t TVnkCustomComPort::PortUserCount() const { return portUsers_.size(); }

// ---------------------------------------------------------------------------
// Timer triggers

std::uint16_t TVnkCustomComPort::CreateTimerTrigger() {
  const std::int32_t r = Check(comm::CreateTimerTrigger(GetDispatcherHandle()));
  return r > 0 ? static_cast<std::uint16_t>(r) : 0;
}

void TVnkCustomComPort::ReleaseTrigger(std::uint16_t trigger) {
  if (!portOpened_) return;
  Check(comm::ReleaseTrigger(dispatcherHandle_.load(), trigger));
}

void TVnkCustomComPort::ArmTimerTrigger(std::uint16_t trigger, std::uint32_t ticks,
                                        bool activate) {
  Check(comm::ArmTimerTrigger(GetDispatcherHandle(), trigger, ticks, activate));
}

// ---------------------------------------------------------------------------
// Trace

void TVnkCustomComPort::SetTracing(TTraceLogState value) {
  using S = TTraceLogState;
  if (value == tracing_ && !forceApply_) return;
  if (!portOpened_) {
    tracing_ = (value == S::tlOff || value == S::tlOn) ? value : S::tlOff;
    return;
  }
  const bool running = tracing_ == S::tlOn || tracing_ == S::tlPause;
  switch (value) {
    case S::tlOff:
      if (running) AbortTracing();
      break;
    case S::tlOn:
      if (tracing_ == S::tlPause) {
        ResumeTracing();
      } else {
        InitTracing(traceSize_);
      }
      break;
    case S::tlDump:
      if (running) {
        ResumeTracing();
        DumpTrace(traceName_, traceHex_);
      }
      break;
    case S::tlAppend:
      if (running) {
        ResumeTracing();
        AppendTrace(traceName_, traceHex_);
      }
      break;
    case S::tlClear:
      if (running) ClearTracing();
      break;
    case S::tlPause:
      if (tracing_ == S::tlOn) PauseTracing();
      break;
  }
}

void TVnkCustomComPort::SetTraceSize(std::uint16_t value) {
  if (value == traceSize_) return;
  if (value == 0) {  // a trace of no entries: refused
    Check(kErrBadArgument);
    return;
  }
  traceSize_ = std::min(value, kMaxComTraceSize);
  if (portOpened_ && (tracing_ == TTraceLogState::tlOn || tracing_ == TTraceLogState::tlPause)) {
    const TTraceLogState state = tracing_;
    AbortTracing();
    SetTracing(state);
  }
}

void TVnkCustomComPort::InitTracing(std::uint16_t size) {
  if (size != 0) traceSize_ = std::min(size, kMaxComTraceSize);
  if (Check(StartTrace(GetDispatcherHandle(), traceSize_)) >= 0) tracing_ = TTraceLogState::tlOn;
}

void TVnkCustomComPort::RetireTracingAfterFailedDump() {
  // The dispatcher has dropped the trace: the state says so.
  FreeTrace(dispatcherHandle_.load());
  tracing_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::DumpTrace(const std::string& fileName, bool hex) {
  const std::int32_t r = DumpTraceFile(GetDispatcherHandle(), fileName.substr(0, 255), false, hex);
  if (r < 0) RetireTracingAfterFailedDump();
  if (Check(r) >= 0) tracing_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::AppendTrace(const std::string& fileName, bool hex) {
  const std::int32_t r = DumpTraceFile(GetDispatcherHandle(), fileName.substr(0, 255), true, hex);
  if (r < 0) RetireTracingAfterFailedDump();
  if (Check(r) >= 0) tracing_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::ClearTracing() { Check(ClearTrace(GetDispatcherHandle())); }

void TVnkCustomComPort::AbortTracing() {
  if (Check(FreeTrace(GetDispatcherHandle())) >= 0) tracing_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::ResumeTracing() {
  if (Check(ResumeTrace(GetDispatcherHandle())) >= 0) tracing_ = TTraceLogState::tlOn;
}

void TVnkCustomComPort::PauseTracing() {
  if (Check(PauseTrace(GetDispatcherHandle())) >= 0) tracing_ = TTraceLogState::tlPause;
}

// ---------------------------------------------------------------------------
// Dispatch log

void TVnkCustomComPort::SetLogging(TTraceLogState value) {
  using S = TTraceLogState;
  if (value == logging_ && !forceApply_) return;
  if (!portOpened_) {
    logging_ = (value == S::tlOff || value == S::tlOn) ? value : S::tlOff;
    return;
  }
  const bool running = logging_ == S::tlOn || logging_ == S::tlPause;
  switch (value) {
    case S::tlOff:
      if (running) AbortLogging();
      break;
    case S::tlOn:
      if (logging_ == S::tlPause) {
        ResumeLogging();
      } else {
        InitLogging(logSize_);
      }
      break;
    case S::tlDump:
      if (running) {
        ResumeLogging();
        DumpLog(logName_, logHex_);
      }
      break;
    case S::tlAppend:
      if (running) {
        ResumeLogging();
        AppendLog(logName_, logHex_);
      }
      break;
    case S::tlClear:
      if (running) ClearLogging();
      break;
    case S::tlPause:
      if (logging_ == S::tlOn) PauseLogging();
      break;
  }
}

void TVnkCustomComPort::SetLogSize(std::uint16_t value) {
  if (value == logSize_) return;
  if (value == 0) {  // a log of no bytes: refused
    Check(kErrBadArgument);
    return;
  }
  logSize_ = std::min(value, kMaxComLogSize);
  if (portOpened_ && (logging_ == TTraceLogState::tlOn || logging_ == TTraceLogState::tlPause)) {
    const TTraceLogState state = logging_;
    AbortLogging();
    SetLogging(state);
  }
}

void TVnkCustomComPort::InitLogging(std::uint16_t size) {
  if (size != 0) logSize_ = std::min(size, kMaxComLogSize);
  if (Check(StartLog(GetDispatcherHandle(), logSize_)) >= 0) logging_ = TTraceLogState::tlOn;
}

void TVnkCustomComPort::RetireLoggingAfterFailedDump() {
  // A dump whose file did not open keeps the ring with logging off: drop it,
  // so that the state and the dispatcher agree.
  FreeLog(dispatcherHandle_.load());
  logging_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::DumpLog(const std::string& fileName, bool hex) {
  const std::int32_t r = DumpLogFile(GetDispatcherHandle(), fileName.substr(0, 255), false, hex);
  if (r < 0) RetireLoggingAfterFailedDump();
  if (Check(r) >= 0) logging_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::AppendLog(const std::string& fileName, bool hex) {
  const std::int32_t r = DumpLogFile(GetDispatcherHandle(), fileName.substr(0, 255), true, hex);
  if (r < 0) RetireLoggingAfterFailedDump();
  if (Check(r) >= 0) logging_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::ClearLogging() { Check(ClearLog(GetDispatcherHandle())); }

void TVnkCustomComPort::AbortLogging() {
  if (Check(FreeLog(GetDispatcherHandle())) >= 0) logging_ = TTraceLogState::tlOff;
}

void TVnkCustomComPort::ResumeLogging() {
  if (Check(ResumeLog(GetDispatcherHandle())) >= 0) logging_ = TTraceLogState::tlOn;
}

void TVnkCustomComPort::PauseLogging() {
  if (Check(PauseLog(GetDispatcherHandle())) >= 0) logging_ = TTraceLogState::tlPause;
}

}  // namespace comm
