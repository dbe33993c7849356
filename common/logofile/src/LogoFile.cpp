#include "common/LogoFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>
#include <span>
#include <utility>

#include "platform/BinaryFile.h"
#include "common/ColorCode.h"
#include "common/LogoRle.h"

namespace logofile {

BadLogoFile::BadLogoFile(const std::string& path, const std::string& reason, std::size_t offset)
    : platform::InOutError(path, reason), offset_(offset) {}

NotALogoFile::NotALogoFile(const std::string& path, const std::string& reason) : BadLogoFile(path, reason, 0) {}

LogoListNotWritable::LogoListNotWritable(const std::string& reason) : std::invalid_argument(reason) {}

namespace {

// Reads the file's bytes in order; running past the end is a bad file.
class ByteReader {
 public:
  ByteReader(const std::vector<std::uint8_t>& bytes, const std::string& path) : bytes_(bytes), path_(path) {}

  std::size_t Offset() const { return pos_; }
  std::size_t Left() const { return bytes_.size() - pos_; }

  void Need(std::size_t n, const std::string& where) const {
    if (Left() < n) throw BadLogoFile(path_, "It ends in the middle of " + where + ".", bytes_.size());
  }
  std::uint16_t U16(const std::string& where) {
    Need(2, where);
    const std::uint16_t v = static_cast<std::uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  const std::uint8_t* Rest() const { return bytes_.data() + pos_; }
  void Skip(std::size_t n) { pos_ += std::min(n, Left()); }
  const std::uint8_t* Take(std::size_t n, const std::string& where) {
    Need(n, where);
    const std::uint8_t* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  const std::string& path_;
  std::size_t pos_ = 0;
};

bool SizeAllowed(std::int64_t width, std::int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxLogoSide && height <= kMaxLogoSide &&
         width * height <= kMaxLogoPixels;
}

std::string Capitalized(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

std::string SizeText(std::int64_t width, std::int64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

LogoRecord ReadLogo(ByteReader& in, std::size_t number, const std::string& path) {
  const std::string where = "logo " + std::to_string(number);
  const std::size_t start = in.Offset();
  LogoRecord logo;
  logo.width = in.U16(where);
  logo.height = in.U16(where);
  const std::int64_t pixels = static_cast<std::int64_t>(logo.width) * logo.height;
  if (!SizeAllowed(logo.width, logo.height)) {
    throw BadLogoFile(path, Capitalized(where) + " is " + SizeText(logo.width, logo.height) + " pixels, a size no logo has.",
                      start);
  }
  // A packet of two bytes stands for at most 127 pixels: a record that needs
  // more bytes than the file has left is cut off, whatever its packets say.
  const std::int64_t reachable = static_cast<std::int64_t>((in.Left() + 1) / 2) * 127;
  if (pixels > reachable) {
    throw BadLogoFile(path, "It ends in the middle of " + where + ".", start);
  }
  const std::size_t offset = in.Offset();
  logorle::DecodedLogo decoded =
      logorle::DecodeLogoPixels(std::span<const std::uint8_t>(in.Rest(), in.Left()), logo.width, logo.height);
  if (!decoded.complete) {
    throw BadLogoFile(path, "It ends in the middle of " + where + ".", offset + decoded.consumed);
  }
  in.Skip(decoded.consumed);
  logo.codes = std::move(decoded.codes);
  return logo;
}

void CheckWritable(const LogoRecord& logo, std::size_t number) {
  if (!SizeAllowed(logo.width, logo.height)) {
    throw LogoListNotWritable("logo " + std::to_string(number) + " of " + SizeText(logo.width, logo.height) +
                              " sign pixels cannot be stored");
  }
  if (logo.codes.size() != static_cast<std::size_t>(logo.width) * static_cast<std::size_t>(logo.height)) {
    throw LogoListNotWritable("logo " + std::to_string(number) + " does not hold width x height pixels");
  }
}

void CheckCount(std::size_t count) {
  if (count == 0) throw LogoListNotWritable("a logo file holds at least one logo");
  if (count > kMaxLogos) {
    throw LogoListNotWritable("a logo file holds at most " + std::to_string(kMaxLogos) + " logos, not " +
                              std::to_string(count));
  }
}

void AppendU16(std::vector<std::uint8_t>& out, int v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

}  // namespace

std::vector<LogoRecord> DecodeLogoFile(const std::vector<std::uint8_t>& bytes, MagicRule rule,
                                       const std::string& path) {
  if (bytes.size() < 2 + kMagicSize) throw BadLogoFile(path, "It is too short to be a logo file.", bytes.size());
  ByteReader in(bytes, path);
  const std::uint16_t count = in.U16("the logo count");
  const std::uint8_t* magic = in.Take(kMagicSize, "the magic");
  if (rule == MagicRule::kExactMagic) {
    if (std::memcmp(magic, kMagic, kMagicSize) != 0) throw NotALogoFile(path, "It does not begin with \"-LOGO-\".");
    if (count == 0) throw NotALogoFile(path, "It holds no logo.");
  }
  if (count > kMaxLogos) {
    throw BadLogoFile(path, "It counts " + std::to_string(count) + " logos; a logo file holds at most " +
                                std::to_string(kMaxLogos) + ".", 0);
  }
  // Every record takes at least six bytes: its sizes and one packet of one pixel.
  if (static_cast<std::size_t>(count) * 6 > in.Left()) {
    throw BadLogoFile(path, "It is too short for the " + std::to_string(count) + " logos it counts.", 0);
  }
  std::vector<LogoRecord> logos;
  logos.reserve(count);
  std::int64_t pixels = 0;
  for (std::size_t i = 0; i < count; ++i) {
    // The sizes are checked against the budget before the pixels are decoded.
    const std::size_t start = in.Offset();
    if (in.Left() >= 4) {
      const std::uint8_t* p = in.Rest();
      const int width = p[0] | (p[1] << 8), height = p[2] | (p[3] << 8);
      if (!SizeAllowed(width, height)) {
        throw BadLogoFile(path,
                          "Logo " + std::to_string(i + 1) + " is " + SizeText(width, height) +
                              " pixels, a size no logo has.",
                          start);
      }
      pixels += static_cast<std::int64_t>(width) * height;
      if (pixels > kMaxFilePixels) {
        throw BadLogoFile(path,
                          "Its logos hold more than " + std::to_string(kMaxFilePixels) +
                              " sign pixels, more than any sign can show.",
                          start);
      }
    }
    logos.push_back(ReadLogo(in, i + 1, path));
  }
  return logos;
}

std::vector<std::uint8_t> EncodeLogoFile(const std::vector<LogoRecord>& logos) {
  CheckCount(logos.size());
  std::int64_t pixels = 0;
  for (std::size_t i = 0; i < logos.size(); ++i) {
    CheckWritable(logos[i], i + 1);
    pixels += static_cast<std::int64_t>(logos[i].width) * logos[i].height;
  }
  // Nothing is written that the readers would refuse.
  if (pixels > kMaxFilePixels) {
    throw LogoListNotWritable("the logos hold more than " + std::to_string(kMaxFilePixels) + " sign pixels");
  }
  std::vector<std::uint8_t> out;
  AppendU16(out, static_cast<int>(logos.size()));
  out.insert(out.end(), kMagic, kMagic + kMagicSize);
  for (const LogoRecord& logo : logos) {
    AppendU16(out, logo.width);
    AppendU16(out, logo.height);
    const std::vector<std::uint8_t> packets = logorle::EncodeLogoPixels(logo.codes);
    out.insert(out.end(), packets.begin(), packets.end());
  }
  return out;
}

LogoRecord ImageToLogo(const QImage& bitmap, int scale) {
  if (scale < 1 || scale > 64) throw std::invalid_argument("scale outside 1 to 64");
  QImage image = bitmap.format() == QImage::Format_RGB32 ? bitmap : bitmap.convertToFormat(QImage::Format_RGB32);
  LogoRecord logo;
  logo.width = image.width() / scale;
  logo.height = image.height() / scale;
  logo.codes.reserve(static_cast<std::size_t>(logo.width) * static_cast<std::size_t>(logo.height));
  // One pixel of each block, the middle one, as the view's own shrink takes.
  for (int y = 0; y < logo.height; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y * scale + scale / 2));
    for (int x = 0; x < logo.width; ++x) logo.codes.push_back(colorcode::ColorToCode(row[x * scale + scale / 2]));
  }
  return logo;
}

QImage LogoToImage(const LogoRecord& logo, int scale) {
  if (scale < 1 || scale > 64) throw std::invalid_argument("scale outside 1 to 64");
  if (logo.width < 0 || logo.height < 0 || logo.width > kMaxLogoSide || logo.height > kMaxLogoSide) {
    throw std::invalid_argument("logo of impossible size " + SizeText(logo.width, logo.height));
  }
  // A bitmap beyond a quarter of a gigabyte is never asked for, and one the
  // system does not give is an error rather than a write through nothing.
  const std::int64_t screenPixels = static_cast<std::int64_t>(logo.width) * logo.height * scale * scale;
  if (screenPixels > kMaxBitmapPixels) throw std::bad_alloc();
  QImage image(logo.width * scale, logo.height * scale, QImage::Format_RGB32);
  if (image.isNull() && screenPixels > 0) throw std::bad_alloc();
  image.fill(0xFF000000u);
  for (int y = 0; y < logo.height; ++y) {
    for (int x = 0; x < logo.width; ++x) {
      const std::size_t n = static_cast<std::size_t>(y) * static_cast<std::size_t>(logo.width) + static_cast<std::size_t>(x);
      const QRgb c = 0xFF000000u | colorcode::CodeToColor(n < logo.codes.size() ? logo.codes[n] : 0);
      for (int dy = 0; dy < scale; ++dy) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y * scale + dy));
        std::fill_n(row + x * scale, scale, c);
      }
    }
  }
  return image;
}

void SaveLogoFile(const std::string& path, const std::vector<QImage>& logos) {
  CheckCount(logos.size());
  std::vector<LogoRecord> records;
  records.reserve(logos.size());
  for (const QImage& bitmap : logos) records.push_back(ImageToLogo(bitmap, kLogoScale));
  // All bytes first, so that a list the file cannot hold writes nothing at all.
  const std::vector<std::uint8_t> bytes = EncodeLogoFile(records);
  platform::AtomicFileWriter file(path);
  file.Write(bytes.data(), bytes.size());
  file.Commit();
}

std::vector<QImage> LoadLogoFile(const std::string& path, MagicRule rule, int scale) {
  const std::vector<std::uint8_t> bytes = platform::ReadWholeFile(path, kMaxFileBytes);
  const std::vector<LogoRecord> records = DecodeLogoFile(bytes, rule, path);
  std::vector<QImage> images;
  images.reserve(records.size());
  try {
    for (const LogoRecord& logo : records) images.push_back(LogoToImage(logo, scale));
  } catch (const std::bad_alloc&) {
    throw platform::InOutError(path, ENOMEM);
  }
  return images;
}

}  // namespace logofile
