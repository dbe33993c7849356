#pragma once
// The library's error codes and its exception tree. Low layers return codes
// (0 or positive for success, negative for failure); the components turn a
// negative code into the exception of that code with RaiseForErrorCode.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "comm/CommErrorTable.h"

namespace comm {

// Every code of the table as a constant: kErrBadHandle = -1001, ...
#define COMM_DEFINE_CODE(code, Name, Group) inline constexpr std::int32_t kErr##Name = code;
COMM_ERROR_ROWS(COMM_DEFINE_CODE)
#undef COMM_DEFINE_CODE

// Platform file and device errors (a system error number, negated).
inline constexpr std::int32_t kErrFileNotFound = -2;
inline constexpr std::int32_t kErrPathNotFound = -3;
inline constexpr std::int32_t kErrTooManyOpenFiles = -4;
inline constexpr std::int32_t kErrAccessDenied = -5;
inline constexpr std::int32_t kErrInvalidHandle = -6;
inline constexpr std::int32_t kErrOutOfMemory = -8;
inline constexpr std::int32_t kErrDeviceNotOpen = -103;  // "File/device not open"

// The string-table id of a code's message.
std::uint16_t ErrorCodeToMessageId(std::int32_t code);

// The modem's and the dialer's own errors (-4xxx): about the call, not the line.
inline constexpr bool IsModemErrorCode(std::int32_t code) { return code <= -4000 && code > -5000; }
// The program's string table: the text of an id, empty when it has none.
std::string LoadMessageText(std::uint16_t id);

// The root of the library's exceptions.
class EVnkException : public std::runtime_error {
 public:
  // ErrorCode := code; the message is the string-table text of the code.
  explicit EVnkException(std::int32_t code);
  // ErrorCode := 0; the message is the given text.
  explicit EVnkException(const std::string& message);
  // ErrorCode := code; the message is the given text (a reason the layer
  // could name, such as the device's path).
  EVnkException(std::int32_t code, const std::string& message);

  std::int32_t ErrorCode() const { return errorCode_; }

 private:
  std::int32_t errorCode_ = 0;
};

#define COMM_DEFINE_GROUP(Group)                  \
  class Group : public EVnkException {           \
   public:                                        \
    using EVnkException::EVnkException;          \
  };
COMM_ERROR_GROUPS(COMM_DEFINE_GROUP)
#undef COMM_DEFINE_GROUP

#define COMM_DEFINE_LEAF(code, Name, Group) \
  class E##Name : public Group {            \
   public:                                  \
    using Group::Group;                     \
  };
COMM_ERROR_ROWS(COMM_DEFINE_LEAF)
#undef COMM_DEFINE_LEAF

// The runtime's input/output error as this library raises it: the message
// text of the code and the system error number (the code's absolute value).
class EInOutError : public std::runtime_error {
 public:
  EInOutError(const std::string& message, int errorCode)
      : std::runtime_error(message), errorCode_(errorCode) {}
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

// The runtime's out-of-memory error.
class EOutOfMemory : public std::runtime_error {
 public:
  explicit EOutOfMemory(const std::string& message) : std::runtime_error(message) {}
};

// Returns the code when it does not raise: codes >= 0, and every code while
// the component is being loaded. Otherwise raises the class of the code's
// row; -162..-2 the input/output error (-8 out of memory); anything else
// EVnkException("Venk exception").
std::int32_t RaiseForErrorCode(bool componentLoading, std::int32_t code);
inline std::int32_t RaiseForErrorCode(std::int32_t code) { return RaiseForErrorCode(false, code); }

// Raises the exception of a code (always raises; a code >= 0 gives EVnkException
// "Venk exception"). For callers that decided themselves that a code is an error.
[[noreturn]] void ThrowForErrorCode(std::int32_t code);
// The same with the given message in place of the code's own text.
[[noreturn]] void ThrowForErrorCode(std::int32_t code, const std::string& message);

}  // namespace comm
