// Feeds arbitrary bytes to the logo file reader. A file it accepts must hold
// exactly its records: written again and read back it gives the same records,
// and its logos survive the trip through bitmaps at the logo scale.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/LogoFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  for (logofile::MagicRule rule : {logofile::MagicRule::kAnyMagic, logofile::MagicRule::kExactMagic}) {
    std::vector<logofile::LogoRecord> records;
    try {
      records = logofile::DecodeLogoFile(bytes, rule, "fuzz");
    } catch (const logofile::BadLogoFile&) {
      continue;
    }
    if (records.size() > logofile::kMaxLogos) std::abort();
    for (const auto& logo : records) {
      if (logo.width < 1 || logo.height < 1 || logo.width > logofile::kMaxLogoSide ||
          logo.height > logofile::kMaxLogoSide ||
          logo.codes.size() != static_cast<std::size_t>(logo.width) * static_cast<std::size_t>(logo.height)) {
        std::abort();
      }
    }
    if (records.empty()) continue;
    const auto again = logofile::DecodeLogoFile(logofile::EncodeLogoFile(records), logofile::MagicRule::kExactMagic);
    if (again != records) std::abort();
    for (const auto& logo : records) {
      if (logo.codes.size() > 4096) continue;  // keep each run fast
      if (logofile::ImageToLogo(logofile::LogoToImage(logo, logofile::kLogoScale), logofile::kLogoScale) != logo) {
        std::abort();
      }
    }
  }
  return 0;
}
