// Feeds arbitrary bytes to the packet decoder: the first two bytes give the
// logo's size, the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/LogoRle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int width = data[0] + 1;
  const int height = data[1] % 32 + 1;
  const std::span<const std::uint8_t> stream(data + 2, size - 2);
  const logorle::DecodedLogo logo = logorle::DecodeLogoPixels(stream, width, height);
  if (logo.codes.size() != static_cast<std::size_t>(width * height) || logo.consumed > stream.size()) std::abort();
  // A complete logo re-encodes to a stream that decodes to the same codes.
  if (logo.complete) {
    const std::vector<std::uint8_t> again = logorle::EncodeLogoPixels(logo.codes);
    const logorle::DecodedLogo back = logorle::DecodeLogoPixels(again, width, height);
    if (!back.complete || back.codes != logo.codes || back.consumed != again.size()) std::abort();
  }
  return 0;
}
