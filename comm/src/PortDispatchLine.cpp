// Line settings (rate, framing, DTR/RTS, flow control) and line status
// (modem lines, line errors, breaks). What termios cannot hold stays in the
// record's line state and the device layer's shadow.
#include "comm/CommExcept.h"
#include "comm/PortDispatchRecord.h"

namespace comm {
namespace detail {
namespace {

std::int32_t WriteLineState(PortRecord& r) {
  if (!r.dtrState) r.lineState.Flags &= ~kDcbDtrControlMask;
  if (!r.rtsState) r.lineState.Flags &= ~kDcbRtsControlMask;
  return r.layer.SetState(r.device, r.lineState) < 0 ? kErrNotSupported : 0;
}

bool FlowLevelsValid(const PortRecord& r, std::uint16_t full, std::uint16_t resume) {
  return full >= resume && full <= r.inSize;
}

}  // namespace

std::int32_t SetLineParamsLocked(PortRecord& r, std::uint32_t baud, std::uint16_t parity,
                                 std::uint8_t dataBits, std::uint8_t stopBits) {
  r.layer.GetState(r.device, r.lineState);
  if (stopBits == 0) stopBits = 1;
  else if (stopBits >= 4) stopBits = 2;
  if (baud != 0) r.lineState.BaudRate = baud;
  if (parity != 5) r.lineState.Parity = static_cast<std::uint8_t>(parity);
  if (dataBits != 9) r.lineState.ByteSize = dataBits;
  if (stopBits != 3) {
    if (stopBits == 1) r.lineState.StopBits = kOneStopBit;
    else r.lineState.StopBits = r.lineState.ByteSize == 5 ? kOne5StopBits : kTwoStopBits;
  }
  return WriteLineState(r);
}

std::uint8_t ReadModemStatusLocked(PortRecord& r, std::uint8_t keepMask) {
  std::uint32_t lines = 0;
  DeviceModemStatus(r.device, lines);
  std::uint8_t status = static_cast<std::uint8_t>((r.modemStatus & 0x0F) | (lines & 0xF0));
  if (r.ringFlag) {
    r.ringFlag = false;
    status |= 0x04;
  }
  r.modemStatus = status & keepMask;
  return status;
}

void UpdateModemChangesLocked(PortRecord& r) {
  const std::uint8_t before = r.modemStatus & 0xF0;
  ReadModemStatusLocked(r, 0xFF);
  const std::uint8_t now = r.modemStatus & 0xF0;
  r.modemStatus |= static_cast<std::uint8_t>((before ^ now) >> 4);
}

void RefreshLineErrorsLocked(PortRecord& r) {
  const std::int32_t bits = r.layer.GetError(r.device, r.queueStatus);
  if (bits > 0) r.lineErrorBits |= static_cast<std::uint32_t>(bits) & 0x1F;
}

}  // namespace detail

using detail::AcquirePort;

std::uint32_t RateFromCode(std::uint32_t code) {
  struct Row {
    std::uint32_t code, rate;
  };
  static constexpr Row kRows[] = {
      {0xFEFF, 115200}, {0xFF10, 110},   {0xFF11, 300},    {0xFF12, 600},   {0xFF13, 1200},
      {0xFF14, 2400},   {0xFF15, 4800},  {0xFF16, 9600},   {0xFF17, 14400}, {0xFF18, 19200},
      {0xFF1B, 38400},  {0xFF1F, 56000}, {0xFF23, 128000}, {0xFF27, 256000},
  };
  for (const auto& row : kRows)
    if (row.code == code) return row.rate;
  return code;
}

std::int32_t SetLineParams(std::uint16_t handle, std::uint32_t baud, std::uint16_t parity,
                           std::uint8_t dataBits, std::uint8_t stopBits) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  return detail::SetLineParamsLocked(*rec, baud, parity, dataBits, stopBits);
}

std::int32_t GetLineParams(std::uint16_t handle, std::uint32_t& baud, std::uint16_t& parity,
                           std::uint8_t& stopBits, std::uint8_t& dataBits) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->layer.GetState(rec->device, rec->lineState);
  baud = RateFromCode(rec->lineState.BaudRate);
  parity = rec->lineState.Parity;
  dataBits = rec->lineState.ByteSize;
  stopBits = rec->lineState.StopBits == kOneStopBit ? 1 : 2;
  return 0;
}

std::int32_t SetDTR(std::uint16_t handle, bool on) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  const std::int32_t result = rec->layer.Escape(rec->device, on ? kSetDtr : kClrDtr);
  rec->dtrState = on;
  return result < 0 ? FilterPortError(handle, kErrBadArgument) : 0;
}

std::int32_t SetRTS(std::uint16_t handle, bool on) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  const std::int32_t result = rec->layer.Escape(rec->device, on ? kSetRts : kClrRts);
  rec->rtsState = on;
  return result < 0 ? FilterPortError(handle, kErrBadArgument) : 0;
}

std::int32_t SetHWFlow(std::uint16_t handle, std::uint16_t bufferFull, std::uint16_t bufferResume,
                       std::uint16_t options) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  auto& r = *rec;
  std::lock_guard lock(r.portLock);
  if (!detail::FlowLevelsValid(r, bufferFull, bufferResume))
    return FilterPortError(handle, kErrBadArgument);
  r.layer.GetState(r.device, r.lineState);
  Dcb& d = r.lineState;
  if (options & (kHwUseDtr | kHwUseRts)) {
    d.Flags &= ~kDcbDtrControlMask;
    if (options & kHwUseDtr) d.Flags |= kDcbDtrControlHandshake;
    d.Flags &= ~kDcbRtsControlMask;
    if (options & kHwUseRts) d.Flags |= kDcbRtsControlHandshake;
    d.XoffLim = static_cast<std::uint16_t>(r.inSize - bufferFull);
    d.XonLim = bufferResume;
  }
  if (options & (kHwRequireDsr | kHwRequireCts)) {
    if (options & kHwRequireDsr) d.Flags |= kDcbOutxDsrFlow;
    else d.Flags &= ~kDcbOutxDsrFlow;
    if (options & kHwRequireCts) d.Flags |= kDcbOutxCtsFlow;
    else d.Flags &= ~kDcbOutxCtsFlow;
  }
  return detail::WriteLineState(r);
}

std::int32_t ClearHWFlow(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  Dcb& d = rec->lineState;
  d.Flags &= ~(kDcbOutxCtsFlow | kDcbOutxDsrFlow);
  if ((d.Flags & kDcbDtrControlMask) == kDcbDtrControlHandshake) d.Flags &= ~kDcbDtrControlMask;
  if ((d.Flags & kDcbRtsControlMask) == kDcbRtsControlHandshake) d.Flags &= ~kDcbRtsControlMask;
  return detail::WriteLineState(*rec);
}

std::int32_t SetSWFlow(std::uint16_t handle, std::uint16_t bufferFull, std::uint16_t bufferResume,
                       std::uint16_t options) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  auto& r = *rec;
  std::lock_guard lock(r.portLock);
  if (!detail::FlowLevelsValid(r, bufferFull, bufferResume))
    return FilterPortError(handle, kErrBadArgument);
  Dcb& d = r.lineState;
  if (options & kSwReceive) {
    d.Flags |= kDcbInX;
    d.XoffLim = static_cast<std::uint16_t>(r.inSize - bufferFull);
    d.XonLim = bufferResume;
    d.XonChar = 17;
    d.XoffChar = 19;
  }
  if (options & kSwTransmit) {
    d.Flags |= kDcbOutX;
    d.XonChar = 17;
    d.XoffChar = 19;
  }
  return detail::WriteLineState(r);
}

std::int32_t ClearSWFlow(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->lineState.Flags &= ~(kDcbOutX | kDcbInX);
  return detail::WriteLineState(*rec);
}

std::int32_t SetFlowChars(std::uint16_t handle, char xon, char xoff) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->lineState.XonChar = xon;
  rec->lineState.XoffChar = xoff;
  return detail::WriteLineState(*rec);
}

std::int32_t ReadModemStatus(std::uint16_t handle, std::uint8_t keepMask) {
  auto rec = AcquirePort(handle);
  if (!rec) return 0;
  std::lock_guard lock(rec->portLock);
  return detail::ReadModemStatusLocked(*rec, keepMask);
}

void UpdateModemChanges(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return;
  std::lock_guard lock(rec->portLock);
  detail::UpdateModemChangesLocked(*rec);
}

void RefreshLineErrors(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return;
  std::lock_guard lock(rec->portLock);
  detail::RefreshLineErrorsLocked(*rec);
}

std::int32_t GetLineErrorCode(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return 0;
  std::lock_guard lock(rec->portLock);
  const std::uint32_t bits = rec->lineErrorBits;
  std::int32_t code = 0;
  if (bits & kCeRxOver) code = 1;
  else if (bits & kCeOverrun) code = 2;
  else if (bits & kCeRxParity) code = 3;
  else if (bits & kCeFrame) code = 4;
  else if (bits & kCeBreak) code = 9;
  if (code != 0) rec->lineErrorBits &= ~(kCeRxOver | kCeOverrun | kCeRxParity | kCeFrame);
  return code;
}

bool CheckLineBreak(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return false;
  std::lock_guard lock(rec->portLock);
  const bool seen = (rec->lineErrorBits & kCeBreak) != 0;
  rec->lineErrorBits &= ~kCeBreak;
  return seen;
}

bool DtrState(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return false;
  std::lock_guard lock(rec->portLock);
  return rec->dtrState;
}

bool RtsState(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return false;
  std::lock_guard lock(rec->portLock);
  return rec->rtsState;
}

}  // namespace comm
