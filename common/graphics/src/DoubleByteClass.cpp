#include "common/DoubleByteClass.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace signfont {

namespace {

bool In(std::uint8_t b, int low, int high) { return b >= low && b <= high; }
bool LowTrail(std::uint8_t t) { return In(t, 0x40, 0x7E); }
bool HighTrail(std::uint8_t t) { return In(t, 0xA1, 0xFE); }

// One converter per direction, opened on first use; iconv_t is not safe to
// share between threads, hence the lock.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of `in`; nothing when iconv refuses any of it.
  std::optional<std::string> Convert(const std::string& in) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string source = in;
    char out[16];
    char* inPtr = source.data();
    std::size_t inLeft = source.size();
    char* outPtr = out;
    std::size_t outLeft = sizeof out;
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
      return std::nullopt;
    }
    // Flush any shift state.
    if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    return std::string(out, static_cast<std::size_t>(outPtr - out));
  }

 private:
  iconv_t cd_;
  std::mutex mutex_;
};

std::string Utf32(char32_t c) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>((c >> (24 - 8 * i)) & 0xFF);
  return s;
}

}  // namespace

int DoubleByteClass(std::uint8_t lead, std::uint8_t trail) {
  if (In(lead, 0xA4, 0xC6) && LowTrail(trail)) return 1;
  if (In(lead, 0xA4, 0xC5) && HighTrail(trail)) return 1;
  if (In(lead, 0xC9, 0xF9) && (LowTrail(trail) || HighTrail(trail))) return 1;
  if (In(lead, 0xA1, 0xA3) && (LowTrail(trail) || HighTrail(trail))) return 2;
  if (In(lead, 0xC6, 0xC8) && HighTrail(trail)) return kReservedClass;
  return 0;
}

std::optional<int> PairFont(std::uint8_t lead, std::uint8_t trail) {
  const int cls = DoubleByteClass(lead, trail);
  if (cls == kReservedClass) return std::nullopt;
  return cls + 7;
}

std::optional<std::string> UnicodeToBig5(char32_t character) {
  static Converter converter("CP950", "UTF-32BE");
  return converter.Convert(Utf32(character));
}

std::optional<char32_t> Big5ToUnicode(std::uint8_t lead, std::uint8_t trail) {
  static Converter converter("UTF-32BE", "CP950");
  const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
  const std::optional<std::string> out = converter.Convert(pair);
  if (!out || out->size() != 4) return std::nullopt;
  char32_t c = 0;
  for (char b : *out) c = (c << 8) | static_cast<unsigned char>(b);
  return c;
}

}  // namespace signfont
