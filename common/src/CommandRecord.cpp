#include "common/CommandRecord.h"

namespace cmdfile {

std::uint16_t CalcCRC(std::string_view text) {
  if (text.size() < 3) return 0;
  std::uint16_t crc = 0;
  for (std::size_t k = 1; k + 1 < text.size(); ++k) {
    auto b = static_cast<std::uint8_t>(text[k]);
    crc = static_cast<std::uint16_t>(CRCTable[b ^ (crc >> 8)] ^ ((crc << 8) & 0xFFFF));
  }
  return crc;
}

RecordTooLong::RecordTooLong(std::size_t size)
    : std::length_error("command text of " + std::to_string(size) + " bytes is longer than a record can carry") {}

std::string EncodeRecord(std::string_view text, std::uint16_t crc) {
  if (text.size() > kMaxRecordText) throw RecordTooLong(text.size());
  const std::size_t length = text.size() + 2;
  std::string out;
  out.reserve(length + 2);
  out.push_back(static_cast<char>(length & 0xFF));
  out.push_back(static_cast<char>(length >> 8));
  out.append(text);
  out.push_back(static_cast<char>(crc >> 8));
  out.push_back(static_cast<char>(crc & 0xFF));
  return out;
}

void WriteRecord(platform::AtomicFileWriter& file, std::string_view text, std::uint16_t crc) {
  if (text.size() > kMaxRecordText) throw RecordTooLong(text.size());
  file.WriteU16LE(static_cast<std::uint16_t>(text.size() + 2));
  file.Write(text);
  file.WriteByte(static_cast<std::uint8_t>(crc >> 8));
  file.WriteByte(static_cast<std::uint8_t>(crc & 0xFF));
}

BadCommandFile::BadCommandFile(const std::string& reason, std::size_t offset)
    : std::runtime_error(reason + " at offset " + std::to_string(offset)), offset_(offset) {}

std::string CommandRecord::Payload() const {
  std::string p = text;
  p.push_back(static_cast<char>(crc >> 8));
  p.push_back(static_cast<char>(crc & 0xFF));
  return p;
}

std::optional<CommandRecord> CommandFileReader::Next() {
  if (pos_ >= bytes_.size()) return std::nullopt;
  if (bytes_.size() - pos_ < 2) throw BadCommandFile("length word cut off", pos_);
  std::size_t length = bytes_[pos_] | (static_cast<std::size_t>(bytes_[pos_ + 1]) << 8);
  if (length < 2) throw BadCommandFile("record length below 2", pos_);
  if (bytes_.size() - pos_ - 2 < length) throw BadCommandFile("record cut off", pos_);
  const auto* p = bytes_.data() + pos_ + 2;
  CommandRecord r;
  r.text.assign(reinterpret_cast<const char*>(p), length - 2);
  r.crc = static_cast<std::uint16_t>((p[length - 2] << 8) | p[length - 1]);
  pos_ += 2 + length;
  return r;
}

std::vector<CommandRecord> ReadCommandRecords(const std::vector<std::uint8_t>& bytes) {
  CommandFileReader reader(bytes);
  std::vector<CommandRecord> records;
  while (auto r = reader.Next()) records.push_back(std::move(*r));
  return records;
}

}  // namespace cmdfile
