// The serial port component: properties, opening and closing.
#include "comm/SerialPort.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "comm/CommExcept.h"
#include "comm/PosixLayer.h"

namespace comm {
namespace {

constexpr std::uint16_t kPortMapSize = 100;
// Touched on the main thread only: opening, closing and the event window.
std::array<TVnkCustomComPort*, kPortMapSize + 1> g_portMap{};

bool LayerAllowed(TDeviceLayer layer) {
  return layer == TDeviceLayer::dlNone || layer == TDeviceLayer::dlWin32 ||
         layer == TDeviceLayer::dlOther;
}

bool ModeAllowed(TDispatcherMode mode) {
  return mode == TDispatcherMode::dNone || mode == TDispatcherMode::dWin32;
}

std::uint16_t SoftwareFlowMode(TSWFlowOptions o) {
  switch (o) {
    case TSWFlowOptions::swfBoth: return kSwTransmit | kSwReceive;
    case TSWFlowOptions::swfTransmit: return kSwTransmit;
    case TSWFlowOptions::swfReceive: return kSwReceive;
    case TSWFlowOptions::swfNone: break;
  }
  return 0;
}

// Keeps the first failure of a sequence that must run to its end.
void Keep(std::exception_ptr& first) {
  if (!first) first = std::current_exception();
}

}  // namespace

TVnkCustomComPort* PortMap(std::uint16_t handle) {
  if (handle < 1 || handle > kPortMapSize) return nullptr;
  return g_portMap[handle];
}

TVnkCustomComPort::TVnkCustomComPort() : ownerThread_(std::this_thread::get_id()) {
  OtherLayerInstaller = [](TVnkCustomComPort&) { InstallWin32Layer(); };
}

TVnkCustomComPort::~TVnkCustomComPort() {
  // Copes with a port left half open; a failing dump is not reported from here.
  try {
    if (open_ || portOpened_) ClosePort();
  } catch (...) {
  }
  for (auto it = portUsers_.rbegin(); it != portUsers_.rend(); ++it) (*it)->removed = true;
  portUsers_.clear();
}

std::int32_t TVnkCustomComPort::Check(std::int32_t code) const {
  return RaiseForErrorCode(Loading(), code);
}

// ---------------------------------------------------------------------------
// Loading and opening

void TVnkCustomComPort::Loaded() {
  if (Designing()) return;
  if (openRequested_) open_ = true;
  if (open_) {
    openRequested_ = false;
    open_ = false;  // the open below stores it again once the port is open
    OpenPort();
  }
}

void TVnkCustomComPort::SetOpen(bool value) {
  if (value == open_) {
    // A dead device is left only by opening it again: the cable may be
    // back, or the number may now stand for another device.
    if (value && !Loading() && !Designing() && DeviceFailed()) ReopenAround([] {});
    return;
  }
  if (Loading() || Designing()) {
    open_ = value;
    if (value) openRequested_ = true;
    return;
  }
  if (value) {
    if (tapiMode_ == TTapiMode::tmOn) {
      OpenPortOnHandle();
    } else {
      OpenPort();
    }
  } else {
    ClosePort();
  }
}

std::uint16_t TVnkCustomComPort::GetDispatcherHandle() {
  if (!(Designing() || Loading() || portOpened_ || !autoOpen_)) SetOpen(true);
  return dispatcherHandle_.load();
}

void TVnkCustomComPort::ValidateComNumber() {
  if (comNumber_ == 0) Check(kErrNoPortSelected);
}

void TVnkCustomComPort::ActivateDeviceLayer() {
  switch (deviceLayer_) {
    case TDeviceLayer::dlWin32:
      InstallWin32Layer();
      return;
    case TDeviceLayer::dlOther:
      if (OtherLayerInstaller) {
        OtherLayerInstaller(*this);
        return;
      }
      break;
    default:
      break;
  }
  Check(kErrNullApi);
}

std::int32_t TVnkCustomComPort::OpenDispatcherPort() {
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\COM%d", static_cast<int>(comNumber_));
  std::uint16_t handle = 0;
  const std::int32_t r = OpenPortRecord(
      handle, name, inSize_, outSize_, static_cast<std::uint32_t>(baud_),
      static_cast<std::uint16_t>(parity_), static_cast<std::uint8_t>(dataBits_),
      static_cast<std::uint8_t>(stopBits_));
  dispatcherHandle_.store(r == 0 ? handle : 0);
  return r;
}

void TVnkCustomComPort::OpenPort() {
  ValidateComNumber();
  OpenCommon(false);
}

void TVnkCustomComPort::OpenPortOnHandle() { OpenCommon(true); }

void TVnkCustomComPort::OpenCommon(bool onHandle) {
  if (portOpened_) return;
  ActivateDeviceLayer();
  std::int32_t r;
  if (onHandle && ExistingDeviceHandle != 0) {
    std::uint16_t handle = 0;
    r = comm::OpenPortOnHandle(handle, ExistingDeviceHandle, inSize_, outSize_);
    dispatcherHandle_.store(r == 0 ? handle : 0);
  } else {
    r = OpenDispatcherPort();
  }
  // A device in use, or missing, as the component reports it. A device the
  // user may not open is denied too, but the layer says why.
  const std::string reason = r != 0 ? LastDeviceErrorText() : std::string();
  if (r == -5 && reason.empty()) r = kErrAlreadyOpen;
  if (r == -2 || r == -3) r = kErrBadId;
  if (r != 0) {
    dispatcherHandle_.store(0);
    // The layer's own reason names the device, so it is what the user sees.
    if (r < 0 && !reason.empty() && !Loading()) ThrowForErrorCode(r, reason);
    if (r < 0) Check(r);
    return;
  }
  const std::uint16_t handle = dispatcherHandle_.load();
  if (handle < 1 || handle > kPortMapSize) {
    // Never reported as an open that worked.
    if (handle != 0) ClosePortRecord(handle);
    dispatcherHandle_.store(0);
    Check(kErrBadHandle);
    return;
  }
  if (onHandle) {
    std::uint32_t baud = 0;
    std::uint16_t parity = 0;
    std::uint8_t stopBits = 0, dataBits = 0;
    if (GetLineParams(handle, baud, parity, stopBits, dataBits) == 0) {
      baud_ = static_cast<std::int32_t>(baud);
      parity_ = parity <= static_cast<std::uint16_t>(TParity::pSpace) ? static_cast<TParity>(parity)
                                                                       : TParity::pNone;
      dataBits_ = dataBits;
      stopBits_ = stopBits;
    }
  }
  FinishOpen();
}

void TVnkCustomComPort::FinishOpen() {
  const std::uint16_t handle = dispatcherHandle_.load();
  const TTraceLogState tracing = tracing_, logging = logging_;
  const bool hadSavedTriggers = triggersSaved_;
  portOpened_ = true;
  forceApply_ = true;
  try {
    // Sizes and line settings came with the open; the rest is put in again.
    SetTracing(tracing_);
    SetLogging(logging_);
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
    SetXOnChar(xonChar_);
    SetXOffChar(xoffChar_);
    SetTriggerLength(triggerLength_);
    if (deviceLayer_ != TDeviceLayer::dlFossil) {
      SetDTR(dtr_);
      SetRTS(rts_);
    }
    SetUseMSRShadow(useMsrShadow_);
    SetDirectReads(directReads_);
    SetUseEventWord(useEventWord_);
    SetCommNotificationLevel(commNotificationLevel_);
    forceApply_ = false;
    open_ = true;
    g_portMap[handle] = this;
    PortWindow(true);
    if (triggersSaved_) {
      triggersSaved_ = false;
      Check(RestoreTriggers(handle, savedTriggers_));
    }
  } catch (...) {
    // A half-done open leaves a closed port, the settings as they were and
    // the saved triggers for the next open.
    RollBackOpen();
    tracing_ = tracing;
    logging_ = logging;
    triggersSaved_ = hadSavedTriggers;
    throw;
  }
  DoPortOpen();
}

void TVnkCustomComPort::RollBackOpen() {
  const std::uint16_t handle = dispatcherHandle_.load();
  forceApply_ = false;
  PortWindow(false);
  if (PortMap(handle) == this) g_portMap[handle] = nullptr;
  if (handle != 0) ClosePortRecord(handle);
  portOpened_ = false;
  dispatcherHandle_.store(0);
  open_ = false;
}

void TVnkCustomComPort::ClosePort() {
  if (closing_) return;  // a user or OnPortClose closing again
  std::exception_ptr failure;
  if (portOpened_) {
    closing_ = true;
    const std::uint16_t handle = dispatcherHandle_.load();
    try {
      DoPortClose();
    } catch (...) {
      Keep(failure);
    }
    // A running trace or log ends up in its file; a failing dump still closes.
    try {
      SetTracing(TTraceLogState::tlDump);
    } catch (...) {
      Keep(failure);
    }
    try {
      SetLogging(TTraceLogState::tlDump);
    } catch (...) {
      Keep(failure);
    }
    try {
      if (Check(SaveTriggers(handle, savedTriggers_)) >= 0) triggersSaved_ = true;
    } catch (...) {
      Keep(failure);
    }
    PortWindow(false);
    ClosePortRecord(handle);
    if (PortMap(handle) == this) g_portMap[handle] = nullptr;
    portOpened_ = false;
    dispatcherHandle_.store(0);
    tracing_ = TTraceLogState::tlOff;
    logging_ = TTraceLogState::tlOff;
    closing_ = false;
  }
  open_ = false;
  if (failure) std::rethrow_exception(failure);
}

bool TVnkCustomComPort::DeviceFailed() const {
  return portOpened_ && PortDeviceFailed(dispatcherHandle_.load());
}

void TVnkCustomComPort::SetComNumber(std::uint16_t value) {
  if (value == comNumber_) return;
  if (!portOpened_) {
    comNumber_ = value;
    return;
  }
  ReopenAround([this, value] { comNumber_ = value; });
}

void TVnkCustomComPort::ReopenAround(const std::function<void()>& change) {
  std::exception_ptr failure;
  try {
    Check(SaveTriggers(dispatcherHandle_.load(), savedTriggers_));
  } catch (...) {
    Keep(failure);
  }
  const TTraceLogState tracing = tracing_, logging = logging_;
  try {
    SetOpen(false);
  } catch (...) {
    Keep(failure);  // closed all the same
  }
  change();
  // The port being closed, a running trace or log is only remembered as on.
  SetTracing(tracing);
  SetLogging(logging);
  SetOpen(true);  // a failure leaves the change made and a closed port
  if (portOpened_) Check(RestoreTriggers(dispatcherHandle_.load(), savedTriggers_));
  if (failure) std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------
// Properties

void TVnkCustomComPort::SetDeviceLayer(TDeviceLayer value) {
  if (value == deviceLayer_ || portOpened_ || !LayerAllowed(value)) return;
  deviceLayer_ = value;
  DeviceLayerChanged();
}

void TVnkCustomComPort::SetDispatcherMode(TDispatcherMode value) {
  if (value == dispatcherMode_ || portOpened_ || !ModeAllowed(value)) return;
  dispatcherMode_ = value;
}

void TVnkCustomComPort::ApplyLineParams() {
  Check(SetLineParams(GetDispatcherHandle(), static_cast<std::uint32_t>(baud_),
                      static_cast<std::uint16_t>(parity_), static_cast<std::uint8_t>(dataBits_),
                      static_cast<std::uint8_t>(stopBits_)));
}

void TVnkCustomComPort::SetBaud(std::int32_t value) {
  if (value == baud_ && !forceApply_) return;
  baud_ = value;
  if (portOpened_) ApplyLineParams();
}

void TVnkCustomComPort::SetParity(TParity value) {
  if (value == parity_ && !forceApply_) return;
  parity_ = value;
  if (portOpened_) ApplyLineParams();
}

void TVnkCustomComPort::SetDataBits(std::uint16_t value) {
  if (value == dataBits_ && !forceApply_) return;
  dataBits_ = value;
  if (portOpened_) ApplyLineParams();
}

void TVnkCustomComPort::SetStopBits(std::uint16_t value) {
  if (value == stopBits_ && !forceApply_) return;
  stopBits_ = value;
  if (portOpened_) ApplyLineParams();
}

// The dispatcher resizes no buffers of an open port: new sizes take effect at
// the next open.
void TVnkCustomComPort::SetInSize(std::uint16_t value) { inSize_ = value; }
void TVnkCustomComPort::SetOutSize(std::uint16_t value) { outSize_ = value; }

void TVnkCustomComPort::SetDTR(bool value) {
  if (value == dtr_ && !forceApply_) return;
  dtr_ = value;
  if (portOpened_) Check(comm::SetDTR(GetDispatcherHandle(), value));
}

void TVnkCustomComPort::SetRTS(bool value) {
  if (value == rts_ && !forceApply_) return;
  rts_ = value;
  if (portOpened_) Check(comm::SetRTS(GetDispatcherHandle(), value));
}

void TVnkCustomComPort::SetHWFlowOptions(THWFlowOptionSet value) {
  if (value == hwFlowOptions_ && !forceApply_) return;
  const std::uint16_t mask = value.Mask();
  if (mask != 0) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) {
      bufferFull_ = static_cast<std::uint16_t>(inSize_ * 9u / 10u);
    }
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
      bufferResume_ = static_cast<std::uint16_t>(inSize_ / 10u);
    }
  }
  if (portOpened_) {
    const std::uint16_t handle = GetDispatcherHandle();
    Check(mask != 0 ? SetHWFlow(handle, bufferFull_, bufferResume_, mask) : ClearHWFlow(handle));
  }
  hwFlowOptions_ = value;
}

void TVnkCustomComPort::SetSWFlowOptions(TSWFlowOptions value) {
  if (value == swFlowOptions_ && !forceApply_) return;
  const std::uint16_t mode = SoftwareFlowMode(value);
  if (mode != 0) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) {
      bufferFull_ = static_cast<std::uint16_t>(inSize_ * 3u / 4u);
    }
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
      bufferResume_ = static_cast<std::uint16_t>(inSize_ / 4u);
    }
  }
  if (portOpened_) {
    const std::uint16_t handle = GetDispatcherHandle();
    Check(mode != 0 ? SetSWFlow(handle, bufferFull_, bufferResume_, mode) : ClearSWFlow(handle));
  }
  swFlowOptions_ = value;
}

void TVnkCustomComPort::ReapplyFlow() {
  const bool saved = forceApply_;
  forceApply_ = true;
  try {
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
  } catch (...) {
    forceApply_ = saved;
    throw;
  }
  forceApply_ = saved;
}

void TVnkCustomComPort::SetBufferFull(std::uint16_t value) {
  if (value == bufferFull_ && !forceApply_) return;
  bufferFull_ = value <= inSize_ ? value : static_cast<std::uint16_t>(inSize_ * 9u / 10u);
  ReapplyFlow();
}

void TVnkCustomComPort::SetBufferResume(std::uint16_t value) {
  if (value == bufferResume_ && !forceApply_) return;
  bufferResume_ = value <= bufferFull_ ? value : static_cast<std::uint16_t>(bufferFull_ / 10u);
  ReapplyFlow();
}

void TVnkCustomComPort::SetXOnChar(char value) {
  if (value == xonChar_ && !forceApply_) return;
  xonChar_ = value;
  if (portOpened_) Check(SetFlowChars(GetDispatcherHandle(), xonChar_, xoffChar_));
}

void TVnkCustomComPort::SetXOffChar(char value) {
  if (value == xoffChar_ && !forceApply_) return;
  xoffChar_ = value;
  if (portOpened_) Check(SetFlowChars(GetDispatcherHandle(), xonChar_, xoffChar_));
}

void TVnkCustomComPort::ApplyOption(std::uint16_t bits, bool on) {
  const std::uint16_t handle = GetDispatcherHandle();
  Check(on ? SetDispatchOption(handle, bits) : ClearDispatchOption(handle, bits));
}

void TVnkCustomComPort::SetUseMSRShadow(bool value) {
  if (value == useMsrShadow_ && !forceApply_) return;
  useMsrShadow_ = value;
  if (portOpened_) ApplyOption(kOptMsrShadow, value);
}

void TVnkCustomComPort::SetDirectReads(bool value) {
  if (value == directReads_ && !forceApply_) return;
  directReads_ = value;
  if (portOpened_) ApplyOption(kOptDirectReads, value);
}

void TVnkCustomComPort::SetUseEventWord(bool value) {
  if (value == useEventWord_ && !forceApply_) return;
  useEventWord_ = value;
  if (portOpened_) ApplyOption(kOptEventWord, value);
}

void TVnkCustomComPort::SetTriggerLength(std::uint16_t value) {
  if (value == triggerLength_ && !forceApply_) return;
  triggerLength_ = value;
  if (portOpened_) Check(comm::SetTriggerLength(GetDispatcherHandle(), value));
}

void TVnkCustomComPort::SetCommNotificationLevel(std::uint16_t value) {
  if (value == commNotificationLevel_ && !forceApply_) return;
  commNotificationLevel_ = value;
  if (portOpened_) Check(SetDispatchEventLevel(GetDispatcherHandle(), value));
}

// ---------------------------------------------------------------------------
// Reading and writing

char TVnkCustomComPort::ReadChar() {
  std::uint8_t byte = 0;
  const std::int32_t r = comm::ReadChar(GetDispatcherHandle(), byte);
  if (r == 0) return static_cast<char>(byte);
  Check(r);
  return '\0';
}

std::uint16_t TVnkCustomComPort::GetBlock(char* data, std::uint16_t count) {
  const std::int32_t r = ReadBlock(GetDispatcherHandle(), reinterpret_cast<std::uint8_t*>(data), count);
  if (r < 0) Check(r);
  return r > 0 ? static_cast<std::uint16_t>(r) : 0;
}

void TVnkCustomComPort::WriteText(const std::string& text) {
  // The dispatcher counts a block in 16 bits: a longer text is refused whole.
  if (text.size() > 0xFFFF) {
    Check(kErrOutputBufferTooSmall);
    return;
  }
  // Only the component's own thread may open the port; a sender's write to a
  // closed port fails with the bad-handle error.
  const std::uint16_t handle = OnOwnerThread() ? GetDispatcherHandle() : dispatcherHandle_.load();
  if (text.empty()) return;
  Check(WriteBlock(handle, reinterpret_cast<const std::uint8_t*>(text.data()),
                   static_cast<std::uint16_t>(text.size())));
}

std::uint16_t TVnkCustomComPort::GetLineError() {
  if (!portOpened_) return 0;
  return static_cast<std::uint16_t>(GetLineErrorCode(dispatcherHandle_.load()));
}

bool TVnkCustomComPort::GetLineBreak() {
  if (!portOpened_) return false;
  return CheckLineBreak(dispatcherHandle_.load());
}

void TVnkCustomComPort::ProcessCommunications() {
  Check(comm::ProcessCommunications(GetDispatcherHandle()));
}

// ---------------------------------------------------------------------------
// Assign

void TVnkCustomComPort::Assign(const TVnkCustomComPort& source) {
  if (&source == this) return;
  // Stored values only: a port of this component must not stay open under a
  // stored Open of False.
  if (portOpened_) ClosePort();
  std::vector<std::shared_ptr<PortUser>> users;
  for (const auto& u : source.portUsers_) {
    if (!u->removed) users.push_back(std::make_shared<PortUser>(PortUser{u->callback, u->owner}));
  }
  for (auto& u : portUsers_) u->removed = true;
  portUsers_ = std::move(users);
  if (source.portOpened_) {
    if (Check(SaveTriggers(source.dispatcherHandle_.load(), savedTriggers_)) >= 0) {
      triggersSaved_ = true;
    }
  }
  deviceLayer_ = source.deviceLayer_;
  OtherLayerInstaller = source.OtherLayerInstaller;
  comNumber_ = source.comNumber_;
  baud_ = source.baud_;
  parity_ = source.parity_;
  dataBits_ = source.dataBits_;
  stopBits_ = source.stopBits_;
  inSize_ = source.inSize_;
  outSize_ = source.outSize_;
  dtr_ = source.dtr_;
  rts_ = source.rts_;
  bufferFull_ = source.bufferFull_;
  bufferResume_ = source.bufferResume_;
  hwFlowOptions_ = source.hwFlowOptions_;
  swFlowOptions_ = source.swFlowOptions_;
  xonChar_ = source.xonChar_;
  xoffChar_ = source.xoffChar_;
  tracing_ = source.tracing_;
  traceSize_ = source.traceSize_;
  traceName_ = source.traceName_;
  traceHex_ = source.traceHex_;
  logging_ = source.logging_;
  logSize_ = source.logSize_;
  logName_ = source.logName_;
  logHex_ = source.logHex_;
  triggerLength_ = source.triggerLength_;
  OnTrigger = source.OnTrigger;
  OnTriggerAvail = source.OnTriggerAvail;
  OnTriggerData = source.OnTriggerData;
  OnTriggerStatus = source.OnTriggerStatus;
  OnTriggerTimer = source.OnTriggerTimer;
  OnPortOpen = source.OnPortOpen;
  OnPortClose = source.OnPortClose;
  tapiMode_ = source.tapiMode_;
  // The stored trace and log states of a closed port are off or on.
  if (tracing_ != TTraceLogState::tlOn) tracing_ = TTraceLogState::tlOff;
  if (logging_ != TTraceLogState::tlOn) logging_ = TTraceLogState::tlOff;
  open_ = false;
}

}  // namespace comm
