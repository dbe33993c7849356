#pragma once
// The sign's bitmap fonts: the fixed table of ten fonts, the layouts of their
// files (*.PTN, read only; they come with the sign) and the painting of one
// glyph into a cell bitmap.
//
// File layouts (bit 7 of a byte is the leftmost pixel; rows top first):
//   fonts 0-6  6 header bytes, then N-byte glyphs from code 31: code c at
//              6 + (c - 31) * N. N = 8 (8 rows), 16 (16 rows), 32 (16 rows of
//              two bytes). Codes 32..255 are drawn.
//   font 7     15-byte glyphs from offset 0, code c at c * 15, rows 0-14;
//              row 15 of the cell is drawn from a zero byte.
//   fonts 8-9  30-byte glyphs (15 rows of two bytes) drawn into cell rows
//              1-15; pair (L, T) at ((L - base) mod 256) * 4710 + t * 30, t =
//              T - 0x40 for T up to 0x7E, T - 0x62 from 0xA1.
//
// Glyphs are read from the open files every time (at most 30 bytes), never
// cached. Painting never shows a message box: a glyph the file does not hold
// comes back as GlyphStatus::kBeyondEnd, and the caller reports it once with
// FontWarning after its paint is done.
#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace signfont {

enum class ReaderKind {
  kGlyph8,          // fonts 0, 1
  kGlyph16,         // fonts 2, 3, 4
  kGlyphWide,       // fonts 5, 6 (32 bytes)
  kMingAscii,       // font 7
  kMingDoubleByte,  // fonts 8, 9
};

struct SignFontInfo {
  std::string_view fileName;
  std::string_view caption;  // inner blanks matter; empty for fonts 8 and 9
  int cellWidth;             // sign pixels
  int cellHeight;
  ReaderKind kind;
  int glyphSize;    // bytes a glyph
  int columnsRead;  // may exceed cellWidth (font 6 reads 12): the excess never shows
  std::uint8_t leadBase;  // double-byte fonts only
};

inline constexpr int kSignFontCount = 10;
// The drawing program uses the first seven, numbering them 1 to 7.
inline constexpr int kDrawingFontCount = 7;
// The editor's font box lists fonts 0 to 7.
inline constexpr int kEditorFontBoxCount = 8;
inline constexpr int kMingAsciiFont = 7;
inline constexpr int kMingStandardFont = 8;  // "MINGST15.PTN", lead base 0xA4
inline constexpr int kMingSymbolFont = 9;    // "MINGSP15.PTN", lead base 0xA1

inline constexpr char kFontNotFoundText[] = "Font not found!";

// The fixed table, index 0..9.
const std::array<SignFontInfo, kSignFontCount>& SignFontTableInfo();
// Raises std::out_of_range outside 0..9.
const SignFontInfo& FontInfo(int font);
// The index (0-based) of the font with exactly this caption (case and blanks
// count) among the first `count` fonts; nothing when none has it.
std::optional<int> FindSignFont(std::string_view caption, int count = kDrawingFontCount);

// Byte offsets of glyphs. Nothing where the layout has no glyph: a code below
// 32 in fonts 0-6, a trail byte outside 0x40-0x7E and 0xA1-0xFE.
std::optional<std::uint32_t> GlyphOffset(int font, std::uint8_t code);  // fonts 0..7
std::optional<std::uint32_t> GlyphOffsetST(std::uint8_t lead, std::uint8_t trail);
std::optional<std::uint32_t> GlyphOffsetSP(std::uint8_t lead, std::uint8_t trail);
// A complete file's size for fonts 0..9.
std::uint32_t CompleteFileSize(int font);

enum class GlyphStatus {
  kDrawn,      // painted
  kNoGlyph,    // nothing to draw (code below 32, a font that is not open or
               // not of this reader, a trail outside the trail ranges); no warning
  kBeyondEnd,  // the glyph lies past the end of its file: "Font not found!"
};

// Paints glyph bytes of font `font`'s layout into `glyph` from its top-left
// corner: a lit bit in `colour`, a clear bit black; `reverse` swaps the two.
// Pixels outside the cell or the bitmap are not touched. A shorter `bytes`
// than the glyph size paints nothing and gives kBeyondEnd.
GlyphStatus PaintGlyphBytes(QImage& glyph, int font, std::span<const std::uint8_t> bytes, QRgb colour, bool reverse);

// The font file name found in `directory`: the exact name when that file
// exists, else the first entry (in name order) equal to it ignoring case;
// nothing when neither exists.
std::optional<std::string> FindFontFile(const std::string& directory, std::string_view fileName);

// One open font file, read only.
class SignFontFile {
 public:
  // Raises platform::InOutError when the file cannot be opened.
  explicit SignFontFile(const std::string& path);
  ~SignFontFile();
  SignFontFile(const SignFontFile&) = delete;
  SignFontFile& operator=(const SignFontFile&) = delete;

  // Up to `size` bytes at `offset`; fewer at the end of the file. Raises
  // platform::InOutError on a read error.
  std::vector<std::uint8_t> Read(std::uint32_t offset, std::size_t size) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

class SignFontTable {
 public:
  SignFontTable();
  ~SignFontTable();
  SignFontTable(SignFontTable&&) noexcept;
  SignFontTable& operator=(SignFontTable&&) noexcept;

  // Opens fonts 0 .. count-1 in order from `directory`, closing any open
  // before. The first font that is missing or cannot be opened raises
  // platform::InOutError; the fonts before it stay open, the rest are not.
  void Open(const std::string& directory, int count = kSignFontCount);
  // Open(platform::ProgramDirectory(), count).
  void OpenSignFonts(int count = kSignFontCount);
  // Opens every font of 0 .. count-1 it can from `directory`, closing any open
  // before; a missing or unreadable one is skipped. Returns the error text of
  // each skipped font, in order.
  std::vector<std::string> OpenAvailable(const std::string& directory, int count = kSignFontCount);
  void Close();
  bool IsOpen(int font) const;
  // The path a font was opened from ("" when not open).
  std::string PathOf(int font) const;

  // A single-byte glyph of fonts 0..7 (DrawGlyph8, DrawGlyph16, DrawGlyphWide,
  // DrawGlyphMingAscii by the font's reader). `glyph` is the caller's cell
  // bitmap, already black.
  GlyphStatus DrawGlyph(QImage& glyph, int font, std::uint8_t code, QRgb colour, bool reverse) const;
  // A pair of fonts 8 and 9 (GlyphOffsetST / GlyphOffsetSP).
  GlyphStatus DrawGlyphDoubleByte(QImage& glyph, int font, std::uint8_t lead, std::uint8_t trail, QRgb colour,
                                  bool reverse) const;
  // By the font digit of a cell: 0..7 take `code`, 8 and 9 the pair (code,
  // trail); any other font paints nothing.
  GlyphStatus DrawCellGlyph(QImage& glyph, int font, std::uint8_t code, std::uint8_t trail, QRgb colour,
                            bool reverse) const;
  // A new black RGB32 bitmap of the font's cell size with the glyph painted;
  // a code above 255 is a pair (lead * 256 + trail) for fonts 8 and 9.
  QImage RenderGlyph(int font, std::uint16_t code, QRgb colour, bool reverse, GlyphStatus* status = nullptr) const;

 private:
  std::array<std::unique_ptr<SignFontFile>, kSignFontCount> files_;
};

// Collects the statuses of one paint and shows "Font not found!" afterwards,
// once, when any glyph lay beyond its file.
class FontWarning {
 public:
  void Note(GlyphStatus status) {
    if (status == GlyphStatus::kBeyondEnd) pending_ = true;
  }
  bool Pending() const { return pending_; }
  // Shows the warning (util::ShowWarning) if pending, then clears it.
  void ShowIfPending();

 private:
  bool pending_ = false;
};

}  // namespace signfont
