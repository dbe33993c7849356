#pragma once
// Helpers for byte-for-byte fixtures written by hand in the tests.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testbytes {

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<std::uint8_t> v;
  for (int b : list) v.push_back(static_cast<std::uint8_t>(b));
  return v;
}

inline std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// CRC-16/XMODEM computed bit by bit, independent of the table the code uses.
inline std::uint16_t BitwiseCrc(const std::string& data) {
  std::uint16_t crc = 0;
  for (unsigned char c : data) {
    crc ^= static_cast<std::uint16_t>(c << 8);
    for (int i = 0; i < 8; ++i) crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
  }
  return crc;
}

// A record laid out by hand: length word, text, CRC high and low.
inline std::vector<std::uint8_t> Record(const std::string& text, std::uint16_t crc) {
  std::size_t len = text.size() + 2;
  std::vector<std::uint8_t> v = {static_cast<std::uint8_t>(len & 0xFF), static_cast<std::uint8_t>(len >> 8)};
  v.insert(v.end(), text.begin(), text.end());
  v.push_back(static_cast<std::uint8_t>(crc >> 8));
  v.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  return v;
}

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

}  // namespace testbytes
