#pragma once
// Logo files (*.LOG): an ordered library of logos, written by the drawing
// program and read by it and by the editor's logo picker.
//
// Layout, little-endian, nothing after the last record:
//   count   u16      number of logo records, 1 to 255
//   magic   6 bytes  "-LOGO-", no terminator
//   records count times: width u16, height u16 (sign pixels), then run-length
//           packets that decode to width x height colour codes, row by row
//           from the top, each row left to right; packets run on across row
//           ends. A record ends where its last pixel has been decoded.
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/InOutError.h"

namespace logofile {

inline constexpr char kMagic[] = "-LOGO-";
inline constexpr std::size_t kMagicSize = 6;
// Every reader and writer counts records with 8 bits.
inline constexpr std::size_t kMaxLogos = 255;
// Sizes no drawing can produce; a record beyond them is a bad file.
inline constexpr int kMaxLogoSide = 4096;
inline constexpr std::int64_t kMaxLogoPixels = std::int64_t{1} << 20;
// All the logos of one file together: as many sign pixels as 255 logos the
// size of the largest sign (1024 x 16) hold. A file beyond it asks for more
// than any sign can show (and for gigabytes once drawn at the list's scale).
inline constexpr std::int64_t kMaxFilePixels = std::int64_t{kMaxLogos} * 1024 * 16;
// The longest file of that many pixels: its header, the sizes of 255 logos and
// a packet of two bytes for every pixel. A longer file is refused unread.
inline constexpr std::size_t kMaxFileBytes = 2 + kMagicSize + kMaxLogos * 4 + 2 * static_cast<std::size_t>(kMaxFilePixels);
// The largest bitmap a logo is drawn into (256 MB of 32-bit pixels).
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{64} << 20;
// Screen pixels a sign pixel in the drawing program's logo list, whatever the
// view's zoom.
inline constexpr int kLogoScale = 3;

// One logo in sign pixels: width x height colour codes in row order.
struct LogoRecord {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> codes;
  bool operator==(const LogoRecord&) const = default;
};

// A file that is not a whole logo file: cut off inside a record, a count above
// 255, or a record of absurd size. reason() says which in plain words;
// `offset` is where the fault lies.
class BadLogoFile : public platform::InOutError {
 public:
  BadLogoFile(const std::string& path, const std::string& reason, std::size_t offset);
  std::size_t offset() const { return offset_; }

 private:
  std::size_t offset_;
};

// Refused by the logo picker's rule: the magic is not "-LOGO-", or the count is 0.
class NotALogoFile : public BadLogoFile {
 public:
  NotALogoFile(const std::string& path, const std::string& reason);
};

// A list the file cannot hold: no logo, more than 255, or a logo smaller than
// one sign pixel or larger than the limits. Raised before anything is written.
class LogoListNotWritable : public std::invalid_argument {
 public:
  explicit LogoListNotWritable(const std::string& reason);
};

enum class MagicRule {
  kAnyMagic,    // the drawing program: any six bytes will do
  kExactMagic,  // the logo picker: "-LOGO-" and at least one logo
};

// The records of a logo file's bytes. Count, sizes and packets are all bounded
// by the bytes there are. Raises BadLogoFile (NotALogoFile) naming `path`.
// A packet that runs past its record's last pixel is read whole and its surplus
// dropped (at the end of the file, what is there of the surplus will do); a
// packet of count 0 sets nothing. Bytes after the last record are ignored.
std::vector<LogoRecord> DecodeLogoFile(const std::vector<std::uint8_t>& bytes, MagicRule rule,
                                       const std::string& path = "logo file");
// The bytes of a logo file of these records (LogoListNotWritable when it cannot be one).
std::vector<std::uint8_t> EncodeLogoFile(const std::vector<LogoRecord>& logos);

// A logo bitmap of `scale` screen pixels a sign pixel shrunk to sign pixels:
// (width div scale) x (height div scale), each sign pixel the colour code of
// the middle pixel of its block; surplus screen columns and rows are dropped.
LogoRecord ImageToLogo(const QImage& bitmap, int scale = kLogoScale);
// A record as a bitmap of `scale` screen pixels a sign pixel (24-bit RGB32),
// each pixel the code's colour with its low bits filled. std::bad_alloc when
// the bitmap cannot be had.
QImage LogoToImage(const LogoRecord& logo, int scale = kLogoScale);

// Writes the bitmaps (at the logo list's scale of 3) as a logo file, through a
// temporary file and a rename: a failure leaves the old file whole.
// LogoListNotWritable or platform::InOutError.
void SaveLogoFile(const std::string& path, const std::vector<QImage>& logos);
// Reads a logo file as bitmaps at `scale`. platform::InOutError when the file
// cannot be read (also when it is no regular file or longer than
// kMaxFileBytes) or its bitmaps not be had, BadLogoFile (NotALogoFile) when it
// is not a logo file.
std::vector<QImage> LoadLogoFile(const std::string& path, MagicRule rule, int scale = kLogoScale);

}  // namespace logofile
