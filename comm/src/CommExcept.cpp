#include "comm/CommExcept.h"

#include <algorithm>
#include <array>
#include <utility>

namespace comm {
namespace {

struct MessageRow {
  std::uint16_t id;
  const char* text;
};

// The program's string table: the library's error texts. Ids without a row
// have no text.
constexpr MessageRow kMessages[] = {
    {11002, "File not found"},
    {11003, "Path not found"},
    {11004, "Too many open files"},
    {11005, "File access denied"},
    {11006, "Invalid file handle"},
    {11008, "Insufficient memory"},
    {11015, "Invalid drive"},
    {11018, "No more files"},
    {11101, "Bad handle passed to com function"},
    {11102, "Bad argument passed to function"},
    {11103, "Got quit message"},
    {11104, "Terminal buffer greater than 65521"},
    {11105, "ComPort component not assigned"},
    {11106, "Internal error creating window class"},
    {11107, "Modem component not assigned"},
    {11108, "Phonebook component not assigned"},
    {11109, "Component not compatible with WinSock"},
    {11201, "ie_BadId - Specified comport doesn't exist"},
    {11202, "ie_Baudrate - unsupported baud rate"},
    {11203, "ie_Bytesize - invalid byte size"},
    {11204, "ie_Default - error in default parameters"},
    {11205, "ie_Hardware - Specified comport in use"},
    {11206, "ie_Memory - unable to allocate queues"},
    {11207, "ie_NOpen - device not open"},
    {11208, "ie_Open - device already open"},
    {11209, "No more handles, can't open port"},
    {11210, "No timers available"},
    {11211, "The ComNumber property of the TVnkComPort has not been set"},
    {11301, "No device layer specified"},
    {11302, "Function not supported by driver"},
    {11303, "EnableCommNotification failed"},
    {11304, "Failed to put entire block"},
    {11305, "Failed to get entire block"},
    {11306, "Output buffer too small for block"},
    {11307, "Buffer is empty"},
    {11308, "Tracing not enabled"},
    {11309, "Logging not enabled"},
    {11401, "StartModem has not been called"},
    {11402, "Modem is busy elsewhere"},
    {11403, "Modem is not currently dialing"},
    {11404, "Dialer is not dialing"},
    {11405, "Dialer is already dialing"},
    {11406, "Modem is not responding"},
    {11407, "Invalid command sent to modem"},
    {11408, "Wrong modem status requested"},
    {11501, "No more trigger slots"},
    {11502, "Data trigger too long"},
    {11503, "Bad trigger handle"},
    {11900, "Attempt to read beyond end of file"},
    {11901, "Disk is full"},
    {11902, "File/device not assigned"},
    {11903, "File/device not open"},
    {11904, "File/device not open for input"},
    {11905, "File/device not open for output"},
    {11950, "Disk is write-protected"},
    {11951, "Unknown disk unit"},
    {11952, "Drive is not ready"},
    {11953, "Unknown command"},
    {11954, "Data error"},
    {11955, "Bad request structure length"},
    {11956, "Seek error"},
    {11957, "Unknown media type"},
    {11958, "Disk sector not found"},
    {11959, "Printer is out of paper"},
    {11960, "Device write error"},
    {11961, "Device read error"},
    {11962, "General failure"},
};

// `message` null: the code's own text.
[[noreturn]] void ThrowRow(std::int32_t code, const std::string* message = nullptr) {
  const std::string text = message != nullptr ? *message : LoadMessageText(ErrorCodeToMessageId(code));
  switch (code) {
#define COMM_THROW_ROW(rowCode, Name, Group) \
  case rowCode: throw E##Name(code, text);
    COMM_ERROR_ROWS(COMM_THROW_ROW)
#undef COMM_THROW_ROW
#define COMM_THROW_SHARED(rowCode, Class) \
  case rowCode: throw Class(code, text);
    COMM_SHARED_CLASS_ROWS(COMM_THROW_SHARED)
#undef COMM_THROW_SHARED
    default: break;
  }
  if (code >= -162 && code <= -2) {
    if (code == kErrOutOfMemory) throw EOutOfMemory(text);
    throw EInOutError(text, -code);
  }
  throw EVnkException(message != nullptr ? *message : std::string("Venk exception"));
}

}  // namespace

std::uint16_t ErrorCodeToMessageId(std::int32_t code) {
  const std::uint16_t n = static_cast<std::uint16_t>(code < 0 ? 0u - static_cast<std::uint32_t>(code)
                                                              : static_cast<std::uint32_t>(code));
  if (n >= 13800 && n <= 13900) return n;
  if (n >= 100 && n <= 199) return static_cast<std::uint16_t>(n + 11800);
  return static_cast<std::uint16_t>(n % 1000 + (n / 1000) * 100 + 11000);
}

std::string LoadMessageText(std::uint16_t id) {
  const auto* end = std::end(kMessages);
  const auto* it = std::lower_bound(std::begin(kMessages), end, id,
                                    [](const MessageRow& row, std::uint16_t key) { return row.id < key; });
  return it != end && it->id == id ? std::string(it->text) : std::string();
}

EVnkException::EVnkException(std::int32_t code)
    : std::runtime_error(LoadMessageText(ErrorCodeToMessageId(code))), errorCode_(code) {}

EVnkException::EVnkException(const std::string& message) : std::runtime_error(message) {}

EVnkException::EVnkException(std::int32_t code, const std::string& message)
    : std::runtime_error(message), errorCode_(code) {}

std::int32_t RaiseForErrorCode(bool componentLoading, std::int32_t code) {
  if (code >= 0 || componentLoading) return code;
  ThrowRow(code);
}

void ThrowForErrorCode(std::int32_t code) { ThrowRow(code); }

void ThrowForErrorCode(std::int32_t code, const std::string& message) { ThrowRow(code, &message); }

}  // namespace comm
