// The trace (every byte read or written) and the dispatch log (what the
// dispatcher did), kept in fixed rings and dumped as text.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "comm/CommExcept.h"
#include "comm/PortDispatchRecord.h"

namespace comm {
namespace detail {
namespace {

const char* const kTypeNames[] = {"no event", "dispatch", "trigger", "error", "thread"};
const char* const kSubtypeNames[] = {"",       "readcom", "writecom", "line status", "modem status",
                                     "avail",  "timer",   "data",     "status",      "start",
                                     "exit",   "sleep",   "wake"};
const char* const kModemBitNames[] = {"DCTS ", "DDSR ", "TERI ", "DDCD ",
                                      "CTS ",  "DSR ",  "RI ",   "DCD "};

std::string Padded(const char* text, std::size_t width) {
  std::string s(text);
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

// A failed dump's system error as the library's file error, whose text the
// component's exception carries.
std::int32_t DumpErrorCode(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return kErrPathNotFound;
    case EMFILE:
    case ENFILE: return kErrTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY: return kErrAccessDenied;
    case ENOMEM: return kErrOutOfMemory;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return -101;  // "Disk is full"
    case EROFS: return -150;  // "Disk is write-protected"
    case EIO: return -160;    // "Device write error"
    default: return -162;     // "General failure"
  }
}

// Opens a dump file: appended to when asked and it exists, else created.
std::FILE* OpenDump(const std::string& name, bool append, int& error) {
  std::FILE* file = std::fopen(name.c_str(), append && FileExistsPlain(name) ? "ab" : "wb");
  error = file == nullptr ? (errno != 0 ? errno : EIO) : 0;
  return file;
}

// Writes and closes: 0, or the library's file error.
std::int32_t FinishDump(std::FILE* file, const std::string& text) {
  int error = 0;
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) error = errno ? errno : EIO;
  if (std::fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
  return error == 0 ? 0 : DumpErrorCode(error);
}

void CopyIn(LogState& log, const std::uint8_t* bytes, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) {
    log.ring[log.writePos] = bytes[i];
    log.writePos = static_cast<std::uint16_t>((log.writePos + 1) % log.size);
  }
  log.freeBytes -= n;
}

void CopyOut(const LogState& log, std::uint16_t from, std::uint8_t* bytes, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) bytes[i] = log.ring[(from + i) % log.size];
}

std::uint16_t EntryLength(const LogState& log, std::uint16_t at) {
  std::uint8_t head[kLogHeadSize];
  CopyOut(log, at, head, kLogHeadSize);
  return static_cast<std::uint16_t>(head[10] | (head[11] << 8));
}

void DropOldest(LogState& log) {
  const std::uint32_t whole = kLogHeadSize + EntryLength(log, log.readPos);
  log.readPos = static_cast<std::uint16_t>((log.readPos + whole) % log.size);
  log.freeBytes += whole;
}

}  // namespace

std::string DumpByteText(std::uint8_t byte, bool hex) {
  const std::uint8_t threshold = hex ? '!' : ' ';
  if (byte >= threshold && byte <= '~') return std::string(1, static_cast<char>(byte));
  char text[8];
  if (hex) std::snprintf(text, sizeof text, "[%02X]", byte);
  else std::snprintf(text, sizeof text, "[%u]", byte);
  return text;
}

void AddTraceEntryLocked(PortRecord& r, char type, std::uint8_t byte) {
  TraceState& t = r.trace;
  if (!t.exists || t.size == 0) return;
  t.entries[2u * t.next] = static_cast<std::uint8_t>(type);
  t.entries[2u * t.next + 1] = byte;
  if (++t.next >= t.size) {
    t.next = 0;
    t.wrapped = true;
  }
}

void AddLogEntryLocked(PortRecord& r, std::uint8_t type, std::uint8_t subtype,
                       std::uint16_t dataLength, const std::uint8_t* data,
                       std::uint16_t dataWord) {
  LogState& log = r.log;
  if (!log.exists || !log.on) return;
  if (data == nullptr) dataLength = 0;
  // Head and data are stored as one: an entry is whole or absent.
  const std::uint32_t whole = kLogHeadSize + static_cast<std::uint32_t>(dataLength);
  if (whole >= log.size) return;
  while (log.freeBytes < whole && log.freeBytes < log.size) DropOldest(log);
  const std::uint32_t time = TickNow() - r.openTime;
  std::uint8_t head[kLogHeadSize] = {type,
                                     subtype,
                                     0,
                                     0,
                                     static_cast<std::uint8_t>(time),
                                     static_cast<std::uint8_t>(time >> 8),
                                     static_cast<std::uint8_t>(time >> 16),
                                     static_cast<std::uint8_t>(time >> 24),
                                     static_cast<std::uint8_t>(dataWord),
                                     static_cast<std::uint8_t>(dataWord >> 8),
                                     static_cast<std::uint8_t>(dataLength),
                                     static_cast<std::uint8_t>(dataLength >> 8)};
  CopyIn(log, head, kLogHeadSize);
  if (dataLength != 0) CopyIn(log, data, dataLength);
}

}  // namespace detail

using detail::AcquirePort;

std::int32_t StartTrace(std::uint16_t handle, std::uint16_t size) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  auto& t = rec->trace;
  if (t.exists) {
    t.next = 0;
    t.wrapped = false;
    t.on = true;
    return 0;
  }
  if (size == 0 || size > kMaxTraceSize) return kErrBadArgument;
  try {
    t.entries.assign(2u * size, 0);
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  t.size = size;
  t.next = 0;
  t.wrapped = false;
  t.exists = true;
  t.on = true;
  return 0;
}

std::int32_t ClearTrace(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->trace.next = 0;
  rec->trace.wrapped = false;
  return 0;
}

std::int32_t PauseTrace(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->trace.on = false;
  return 0;
}

std::int32_t ResumeTrace(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->trace.on = rec->trace.exists;
  return 0;
}

std::int32_t FreeTrace(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->trace = detail::TraceState{};
  return 0;
}

std::int32_t AddTraceEntry(std::uint16_t handle, char type, std::uint8_t byte) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  detail::AddTraceEntryLocked(*rec, type, byte);
  return 0;
}

std::int32_t DumpTraceFile(std::uint16_t handle, const std::string& fileName, bool append,
                           bool hex) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  detail::TraceState trace;
  {
    // Take the trace out under the lock; the file is written without it.
    std::lock_guard lock(rec->portLock);
    if (!rec->trace.exists) return 0;
    trace = std::move(rec->trace);
    rec->trace = detail::TraceState{};
  }
  if (!trace.wrapped && trace.next == 0) return 0;
  int error = 0;
  std::FILE* file = detail::OpenDump(fileName, append, error);
  if (file == nullptr) return detail::DumpErrorCode(error);
  std::string text;
  const std::uint32_t count = trace.wrapped ? trace.size : trace.next;
  const std::uint32_t first = trace.wrapped ? trace.next : 0;
  int column = 0;
  int previous = -1;
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t at = (first + k) % trace.size;
    const std::uint8_t type = trace.entries[2 * at];
    const std::uint8_t byte = trace.entries[2 * at + 1];
    if (type != previous) {
      if (previous != -1) text += "\n\n";
      column = 0;
      if (type == 'R') text += "Receive: ";
      else if (type == 'T') text += "Transmit: ";
      else text += std::string("Special-") + static_cast<char>(type) + ": ";
      text += "\n";
      previous = type;
    }
    const std::string item = detail::DumpByteText(byte, hex);
    const int width = static_cast<int>(item.size());
    if (column + width > 78) {
      text += "\n";
      column = 0;
    }
    text += item;
    column += width;
  }
  text += "\n";
  return detail::FinishDump(file, text);
}

std::int32_t StartLog(std::uint16_t handle, std::uint16_t size) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  auto& log = rec->log;
  if (log.exists) {
    log.writePos = log.readPos = 0;
    log.freeBytes = log.size;
    return 0;
  }
  if (size <= detail::kLogHeadSize) return kErrBadArgument;
  try {
    log.ring.assign(size, 0);
    log.entry.reserve(std::max(rec->inSize, rec->outSize));
  } catch (const std::bad_alloc&) {
    return kErrOutOfMemory;
  }
  log.size = size;
  log.writePos = log.readPos = 0;
  log.freeBytes = size;
  log.exists = true;
  log.on = true;
  return 0;
}

std::int32_t ClearLog(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->log.writePos = rec->log.readPos = 0;
  rec->log.freeBytes = rec->log.size;
  return 0;
}

std::int32_t PauseLog(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->log.on = false;
  return 0;
}

std::int32_t ResumeLog(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->log.on = rec->log.exists;
  return 0;
}

std::int32_t FreeLog(std::uint16_t handle) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  rec->log = detail::LogState{};
  return 0;
}

std::int32_t AddLogEntry(std::uint16_t handle, std::uint8_t type, std::uint8_t subtype,
                         std::uint16_t dataLength, const std::uint8_t* data,
                         std::uint16_t dataWord) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  std::lock_guard lock(rec->portLock);
  detail::AddLogEntryLocked(*rec, type, subtype, dataLength, data, dataWord);
  return 0;
}

std::int32_t DumpLogFile(std::uint16_t handle, const std::string& fileName, bool append,
                         bool hex) {
  auto rec = AcquirePort(handle);
  if (!rec) return kErrBadHandle;
  detail::LogState log;
  {
    std::lock_guard lock(rec->portLock);
    auto& live = rec->log;
    if (!live.exists || live.freeBytes >= live.size) {
      live = detail::LogState{};
      return 0;
    }
    live.on = false;
    int error = 0;
    std::FILE* probe = detail::OpenDump(fileName, append, error);
    if (probe == nullptr) return detail::DumpErrorCode(error);  // the ring stays, logging off
    std::fclose(probe);
    log = std::move(live);
    live = detail::LogState{};
  }
  // Opened above to test it; appending now keeps what the probe created.
  std::FILE* file = std::fopen(fileName.c_str(), "ab");
  if (file == nullptr) return detail::DumpErrorCode(errno ? errno : EIO);
  std::string text =
      "Time      Type      SubType       Data  OtherData\n"
      "----      ----      -------       ----  ---------\n";
  std::uint16_t at = log.readPos;
  std::uint32_t left = log.size - log.freeBytes;
  std::vector<std::uint8_t> data;
  while (left >= detail::kLogHeadSize) {
    std::uint8_t head[detail::kLogHeadSize];
    detail::CopyOut(log, at, head, detail::kLogHeadSize);
    const std::uint8_t type = head[0], subtype = head[1];
    const std::uint32_t time = head[4] | (head[5] << 8) | (head[6] << 16) |
                               (static_cast<std::uint32_t>(head[7]) << 24);
    const std::uint16_t word = static_cast<std::uint16_t>(head[8] | (head[9] << 8));
    const std::uint16_t length = static_cast<std::uint16_t>(head[10] | (head[11] << 8));
    if (static_cast<std::uint32_t>(detail::kLogHeadSize + length) > left) break;
    data.resize(length);
    detail::CopyOut(log, static_cast<std::uint16_t>((at + detail::kLogHeadSize) % log.size),
                    data.data(), length);
    at = static_cast<std::uint16_t>((at + detail::kLogHeadSize + length) % log.size);
    left -= detail::kLogHeadSize + length;

    char line[64];
    // Every digit of the time: at least 8, more when the port ran longer.
    std::snprintf(line, sizeof line, "%08u  ", time);
    text += line;
    text += detail::Padded(type < 5 ? detail::kTypeNames[type] : "", 8) + "  ";
    text += detail::Padded(subtype < 13 ? detail::kSubtypeNames[subtype] : "", 12) + "  ";
    std::snprintf(line, sizeof line, "%04X  ", word);
    text += line;
    int column = 41;
    for (const std::uint8_t byte : data) {
      const std::string item = detail::DumpByteText(byte, hex);
      const int width = static_cast<int>(item.size());
      if (column + width >= 79) {
        text += "\n" + std::string(40, ' ');
        column = 41;
      }
      text += item;
      column += width;
    }
    text += "\n";
    if (subtype == kSubModemStatus) {
      text += std::string(40, ' ');
      for (int bit = 0; bit < 8; ++bit)
        if (word & (1u << bit)) text += detail::kModemBitNames[bit];
      text += "\n";
    }
  }
  return detail::FinishDump(file, text);
}

}  // namespace comm
