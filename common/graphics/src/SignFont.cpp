#include "common/SignFont.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "common/Util.h"
#include "platform/BinaryFile.h"
#include "platform/Directories.h"
#include "platform/InOutError.h"

namespace signfont {

namespace {

constexpr std::uint32_t kHeaderSize = 6;
constexpr std::uint32_t kLeadSlotSize = 4710;  // 157 glyphs of 30 bytes
constexpr int kMingRows = 15;

constexpr std::array<SignFontInfo, kSignFontCount> kTable = {{
    {"CUR0507.PTN", "Cur   6x8", 6, 8, ReaderKind::kGlyph8, 8, 6, 0},
    {"CUR0707.PTN", "Cur   8x8", 8, 8, ReaderKind::kGlyph8, 8, 8, 0},
    {"XMI0816.PTN", "Xmi   8x16", 8, 16, ReaderKind::kGlyph16, 16, 8, 0},
    {"XMB0816.PTN", "Xmb   8x16", 8, 16, ReaderKind::kGlyph16, 16, 8, 0},
    {"PCB0816.PTN", "Pcb   8x16", 8, 16, ReaderKind::kGlyph16, 16, 8, 0},
    {"TSW1016.PTN", "Tsw  11x16", 11, 16, ReaderKind::kGlyphWide, 32, 11, 0},
    {"CURI1216.PTN", "Curi 11x16", 11, 16, ReaderKind::kGlyphWide, 32, 12, 0},
    {"MINGAS15.PTN", "Ming ASCII", 8, 16, ReaderKind::kMingAscii, 15, 8, 0},
    {"MINGST15.PTN", "", 16, 16, ReaderKind::kMingDoubleByte, 30, 16, 0xA4},
    {"MINGSP15.PTN", "", 16, 16, ReaderKind::kMingDoubleByte, 30, 16, 0xA1},
}};

bool ValidFont(int font) { return font >= 0 && font < kSignFontCount; }

std::optional<std::uint32_t> TrailIndex(std::uint8_t trail) {
  if (trail >= 0x40 && trail <= 0x7E) return trail - 0x40u;
  if (trail >= 0xA1 && trail <= 0xFE) return trail - 0x62u;
  return std::nullopt;
}

std::optional<std::uint32_t> DoubleByteOffset(std::uint8_t base, std::uint8_t lead, std::uint8_t trail) {
  const std::optional<std::uint32_t> t = TrailIndex(trail);
  if (!t) return std::nullopt;
  const auto slot = static_cast<std::uint8_t>(lead - base);
  return slot * kLeadSlotSize + *t * 30u;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// Row r, column x of a glyph's bytes: lit or not.
bool BitAt(const SignFontInfo& info, std::span<const std::uint8_t> bytes, int row, int column) {
  const int bytesPerRow = info.kind == ReaderKind::kGlyphWide || info.kind == ReaderKind::kMingDoubleByte ? 2 : 1;
  const std::size_t index = static_cast<std::size_t>(row * bytesPerRow + column / 8);
  return (bytes[index] & (0x80 >> (column % 8))) != 0;
}

}  // namespace

const std::array<SignFontInfo, kSignFontCount>& SignFontTableInfo() { return kTable; }

const SignFontInfo& FontInfo(int font) {
  if (!ValidFont(font)) throw std::out_of_range("sign font " + std::to_string(font) + " does not exist");
  return kTable[static_cast<std::size_t>(font)];
}

std::optional<int> FindSignFont(std::string_view caption, int count) {
  for (int i = 0; i < std::min(count, kSignFontCount); ++i) {
    if (!kTable[static_cast<std::size_t>(i)].caption.empty() && kTable[static_cast<std::size_t>(i)].caption == caption) return i;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> GlyphOffset(int font, std::uint8_t code) {
  if (!ValidFont(font)) return std::nullopt;
  const SignFontInfo& info = kTable[static_cast<std::size_t>(font)];
  switch (info.kind) {
    case ReaderKind::kGlyph8:
    case ReaderKind::kGlyph16:
    case ReaderKind::kGlyphWide:
      if (code < 32) return std::nullopt;
      return kHeaderSize + (code - 31u) * static_cast<std::uint32_t>(info.glyphSize);
    case ReaderKind::kMingAscii:
      return code * 15u;
    case ReaderKind::kMingDoubleByte:
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> GlyphOffsetST(std::uint8_t lead, std::uint8_t trail) {
  return DoubleByteOffset(0xA4, lead, trail);
}
std::optional<std::uint32_t> GlyphOffsetSP(std::uint8_t lead, std::uint8_t trail) {
  return DoubleByteOffset(0xA1, lead, trail);
}

std::uint32_t CompleteFileSize(int font) {
  const SignFontInfo& info = FontInfo(font);
  switch (info.kind) {
    case ReaderKind::kMingAscii:
      return 256u * 15u;
    case ReaderKind::kMingDoubleByte:
      return (font == kMingStandardFont ? 0xF9u - 0xA4u + 1u : 0xA3u - 0xA1u + 1u) * kLeadSlotSize;
    default:
      return kHeaderSize + 225u * static_cast<std::uint32_t>(info.glyphSize);
  }
}

GlyphStatus PaintGlyphBytes(QImage& glyph, int font, std::span<const std::uint8_t> bytes, QRgb colour, bool reverse) {
  if (!ValidFont(font)) return GlyphStatus::kNoGlyph;
  const SignFontInfo& info = kTable[static_cast<std::size_t>(font)];
  if (bytes.size() < static_cast<std::size_t>(info.glyphSize)) return GlyphStatus::kBeyondEnd;
  const QRgb black = qRgb(0, 0, 0);
  const QRgb lit = reverse ? black : colour;
  const QRgb unlit = reverse ? colour : black;
  // Column 11 of font 6 is read but lies outside its cell: clip to the cell.
  const int columns = std::min({info.columnsRead, info.cellWidth, glyph.width()});
  const int rows = std::min(info.cellHeight, glyph.height());
  for (int y = 0; y < rows; ++y) {
    int row = y;  // the glyph row drawn into cell row y
    bool zeroRow = false;
    if (info.kind == ReaderKind::kMingDoubleByte) {
      if (y == 0) continue;  // stays black even in reverse
      row = y - 1;
    } else if (info.kind == ReaderKind::kMingAscii && y >= kMingRows) {
      zeroRow = true;
    }
    for (int x = 0; x < columns; ++x) {
      const bool set = !zeroRow && BitAt(info, bytes, row, x);
      glyph.setPixel(x, y, set ? lit : unlit);
    }
  }
  return GlyphStatus::kDrawn;
}

std::optional<std::string> FindFontFile(const std::string& directory, std::string_view fileName) {
  namespace fs = std::filesystem;
  const std::string exact = util::JoinPath(directory, std::string(fileName));
  std::error_code ec;
  if (fs::is_regular_file(exact, ec)) return exact;
  const std::string dir = directory.empty() ? std::string(".") : directory;
  std::vector<std::string> matches;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (SameIgnoringCase(name, fileName) && it->is_regular_file(ec)) matches.push_back(name);
  }
  if (matches.empty()) return std::nullopt;
  std::sort(matches.begin(), matches.end());
  return util::JoinPath(directory, matches.front());
}

SignFontFile::SignFontFile(const std::string& path) : path_(path) {
  // Never waits on a FIFO or reads a device: a font is a regular file.
  fd_ = platform::OpenRegularFile(path);
}

SignFontFile::~SignFontFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::vector<std::uint8_t> SignFontFile::Read(std::uint32_t offset, std::size_t size) const {
  std::vector<std::uint8_t> bytes(size);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd_, bytes.data() + got, size - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw platform::InOutError(path_, errno);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

SignFontTable::SignFontTable() = default;
SignFontTable::~SignFontTable() = default;
SignFontTable::SignFontTable(SignFontTable&&) noexcept = default;
SignFontTable& SignFontTable::operator=(SignFontTable&&) noexcept = default;

void SignFontTable::Open(const std::string& directory, int count) {
  Close();
  for (int i = 0; i < std::min(count, kSignFontCount); ++i) {
    const SignFontInfo& info = kTable[static_cast<std::size_t>(i)];
    const std::optional<std::string> path = FindFontFile(directory, info.fileName);
    if (!path) throw platform::InOutError(util::JoinPath(directory, std::string(info.fileName)), ENOENT);
    files_[static_cast<std::size_t>(i)] = std::make_unique<SignFontFile>(*path);
  }
}

void SignFontTable::OpenSignFonts(int count) { Open(platform::ProgramDirectory(), count); }

std::vector<std::string> SignFontTable::OpenAvailable(const std::string& directory, int count) {
  Close();
  std::vector<std::string> errors;
  for (int i = 0; i < std::min(count, kSignFontCount); ++i) {
    const SignFontInfo& info = kTable[static_cast<std::size_t>(i)];
    try {
      const std::optional<std::string> path = FindFontFile(directory, info.fileName);
      if (!path) throw platform::InOutError(util::JoinPath(directory, std::string(info.fileName)), ENOENT);
      files_[static_cast<std::size_t>(i)] = std::make_unique<SignFontFile>(*path);
    } catch (const std::exception& e) {
      errors.emplace_back(e.what());
    }
  }
  return errors;
}

void SignFontTable::Close() {
  for (auto& f : files_) f.reset();
}

bool SignFontTable::IsOpen(int font) const { return ValidFont(font) && files_[static_cast<std::size_t>(font)] != nullptr; }

std::string SignFontTable::PathOf(int font) const {
  return IsOpen(font) ? files_[static_cast<std::size_t>(font)]->path() : std::string();
}

GlyphStatus SignFontTable::DrawGlyph(QImage& glyph, int font, std::uint8_t code, QRgb colour, bool reverse) const {
  if (!IsOpen(font) || kTable[static_cast<std::size_t>(font)].kind == ReaderKind::kMingDoubleByte) {
    return GlyphStatus::kNoGlyph;
  }
  const std::optional<std::uint32_t> offset = GlyphOffset(font, code);
  if (!offset) return GlyphStatus::kNoGlyph;
  const std::size_t size = static_cast<std::size_t>(kTable[static_cast<std::size_t>(font)].glyphSize);
  const std::vector<std::uint8_t> bytes = files_[static_cast<std::size_t>(font)]->Read(*offset, size);
  return PaintGlyphBytes(glyph, font, bytes, colour, reverse);
}

GlyphStatus SignFontTable::DrawGlyphDoubleByte(QImage& glyph, int font, std::uint8_t lead, std::uint8_t trail,
                                               QRgb colour, bool reverse) const {
  if (!IsOpen(font) || kTable[static_cast<std::size_t>(font)].kind != ReaderKind::kMingDoubleByte) {
    return GlyphStatus::kNoGlyph;
  }
  const std::optional<std::uint32_t> offset =
      font == kMingStandardFont ? GlyphOffsetST(lead, trail) : GlyphOffsetSP(lead, trail);
  if (!offset) return GlyphStatus::kNoGlyph;
  const std::vector<std::uint8_t> bytes = files_[static_cast<std::size_t>(font)]->Read(*offset, 30);
  return PaintGlyphBytes(glyph, font, bytes, colour, reverse);
}

GlyphStatus SignFontTable::DrawCellGlyph(QImage& glyph, int font, std::uint8_t code, std::uint8_t trail, QRgb colour,
                                         bool reverse) const {
  if (font == kMingStandardFont || font == kMingSymbolFont) {
    return DrawGlyphDoubleByte(glyph, font, code, trail, colour, reverse);
  }
  return DrawGlyph(glyph, font, code, colour, reverse);
}

QImage SignFontTable::RenderGlyph(int font, std::uint16_t code, QRgb colour, bool reverse, GlyphStatus* status) const {
  GlyphStatus result = GlyphStatus::kNoGlyph;
  QImage glyph;
  if (ValidFont(font)) {
    const SignFontInfo& info = kTable[static_cast<std::size_t>(font)];
    glyph = QImage(info.cellWidth, info.cellHeight, QImage::Format_RGB32);
    glyph.fill(qRgb(0, 0, 0));
    if (info.kind == ReaderKind::kMingDoubleByte) {
      result = DrawGlyphDoubleByte(glyph, font, static_cast<std::uint8_t>(code >> 8),
                                   static_cast<std::uint8_t>(code & 0xFF), colour, reverse);
    } else {
      // The reader takes the code's low byte as the character.
      result = DrawGlyph(glyph, font, static_cast<std::uint8_t>(code & 0xFF), colour, reverse);
    }
  }
  if (status) *status = result;
  return glyph;
}

void FontWarning::ShowIfPending() {
  if (!pending_) return;
  pending_ = false;
  util::ShowWarning(kFontNotFoundText);
}

}  // namespace signfont
