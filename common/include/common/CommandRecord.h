#pragma once
// Command records: every file of sign commands (*.MSG) is a run of records of
// a little-endian length word L (text length + 2), the text, and the CRC-16 of
// the text high byte first. Only the L bytes after the length word go on the link.
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/BinaryFile.h"

namespace cmdfile {

// The CRC-16 table of polynomial 0x1021, high-order bit first.
extern const std::array<std::uint16_t, 256> CRCTable;

// CRC-16 (polynomial 0x1021, initial 0, no final XOR) over the text without its
// first and last character; 0 for a text shorter than 3 characters.
std::uint16_t CalcCRC(std::string_view text);

// The longest text a record can carry.
constexpr std::size_t kMaxRecordText = 65533;

// A command file of a thousand records of the longest text; no message or
// command file comes near it.
constexpr std::size_t kMaxCommandFileBytes = std::size_t{64} << 20;

// A text too long for a record; raised before any byte of the record is written.
class RecordTooLong : public std::length_error {
 public:
  explicit RecordTooLong(std::size_t size);
};

// Appends one record of `text` and `crc` to the open file.
void WriteRecord(platform::AtomicFileWriter& file, std::string_view text, std::uint16_t crc);
// The record's bytes, length word included.
std::string EncodeRecord(std::string_view text, std::uint16_t crc);

// A malformed command file: a record cut off by the end of the file, or a
// length word below 2. `offset` is where the bad record starts.
class BadCommandFile : public std::runtime_error {
 public:
  BadCommandFile(const std::string& reason, std::size_t offset);
  std::size_t offset() const { return offset_; }

 private:
  std::size_t offset_;
};

struct CommandRecord {
  std::string text;        // without the CRC
  std::uint16_t crc = 0;   // as stored
  std::string Payload() const;  // the bytes sent on the link: text, CRC high, CRC low
};

// Walks a command file's bytes record by record from offset 0.
class CommandFileReader {
 public:
  explicit CommandFileReader(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  // The next record; nullopt at the end of the file; BadCommandFile when the
  // next record is malformed.
  std::optional<CommandRecord> Next();
  std::size_t Offset() const { return pos_; }
  std::size_t Size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// Every record of a file's bytes (BadCommandFile when one is malformed).
std::vector<CommandRecord> ReadCommandRecords(const std::vector<std::uint8_t>& bytes);

}  // namespace cmdfile
