#pragma once
// Makes sign font files (*.PTN) in the sign's ten layouts: tagged fonts for
// tests, whose every glyph names its own code, and a sample set for trying the
// programs, drawn from fonts in Debian's packages. The sign's own fonts come
// with the sign; these only stand in for them.
//
// This writer keeps its own description of the layouts, apart from the
// readers in common/graphics, so that tests of the readers meet an
// independent account of the bytes.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace signfontmaker {

enum class Layout {
  kFixed8,       // 6 header bytes, 8-byte glyphs from code 31
  kFixed16,      // 6 header bytes, 16-byte glyphs from code 31
  kFixed32,      // 6 header bytes, 32-byte glyphs (16 rows of two bytes) from code 31
  kMingAscii,    // 15-byte glyphs from code 0
  kMingDouble,   // 30-byte glyphs, 157 slots a lead byte
};

struct FontFileSpec {
  const char* fileName;
  Layout layout;
  int cellWidth;
  int cellHeight;
  std::uint8_t firstLead;  // double-byte fonts
  std::uint8_t lastLead;
};

inline constexpr int kFontFiles = 10;
const FontFileSpec& FontFile(int index);  // 0..9, std::out_of_range otherwise

// Slot t (0..156) of a lead byte holds trail 0x40 + t for t < 63, else 0x62 + t.
std::uint8_t TrailOfSlot(int slot);

// --- Tagged fonts -------------------------------------------------------
// Every glyph tells which code it belongs to:
//   8- and 16-byte glyphs and the 15-byte Ming glyph of code c:
//     row 0 = c, row 1 = c ^ 0xFF, row r (r >= 2) = r
//   32-byte glyphs of code c (two bytes a row):
//     row 0 = (c, c ^ 0xFF), row 1 = (c ^ 0xFF, c), row r >= 2 = (r, 0xFF)
//   30-byte Ming glyphs of the pair (L, T):
//     row 0 = (L, T), row 1 = (L ^ 0xFF, T ^ 0xFF), row r >= 2 = (r, r)
//   The 6 header bytes of fonts 0-6 are 'T', 'A', 'G', index, 0, 0.
std::vector<std::uint8_t> TaggedFont(int index);
// Writes the ten tagged fonts into `directory` under their file names.
void WriteTaggedFonts(const std::string& directory);
// Writes the first `size` bytes of font `index`'s tagged file into `directory`
// under its file name (a truncated copy).
void WriteTruncatedTaggedFont(const std::string& directory, int index, std::size_t size);

// --- Sample fonts ---------------------------------------------------------
// A glyph picture: `rows` of `width` pixels, row-major, true = lit.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<bool> pixels;
  bool At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && pixels[static_cast<std::size_t>(y * width + x)];
  }
};

// A console font (PSF version 1 or 2) with its Unicode table.
struct ConsoleFont {
  int width = 0;
  int height = 0;
  std::vector<Bitmap> glyphs;
  std::map<char32_t, int> glyphOf;  // Unicode character -> glyph index
};
// Raises std::runtime_error for bytes that are not a whole PSF font.
ConsoleFont ParsePsf(const std::vector<std::uint8_t>& bytes);
// The bytes of a gzip file, through "gzip -dc" (no shell involved); raises
// std::runtime_error when gzip cannot run or fails.
std::vector<std::uint8_t> Gunzip(const std::string& path);

// GNU Unifont's .hex lines: "XXXX:" then 32 hex digits (8 x 16) or 64 (16 x 16).
using Unifont = std::map<char32_t, Bitmap>;
Unifont ParseUnifontHex(const std::string& text);

// The character a sign code stands for in the sample fonts: code page 437
// (its 128-175 are the accented letters the editor's European picker offers).
char32_t SignCodeToUnicode(std::uint8_t code);
// The Unicode character of a Big5 pair (code page 950) through iconv, or 0.
char32_t Big5PairToUnicode(std::uint8_t lead, std::uint8_t trail);

struct SampleSources {
  std::string consoleFontDirectory = "/usr/share/consolefonts";
  std::string unifontHex = "/usr/share/unifont/unifont.hex";
};
// Writes the ten sample fonts into `directory`. Raises std::runtime_error
// (or platform::InOutError) naming what is missing.
void WriteSampleFonts(const std::string& directory, const SampleSources& sources = {});

// The bytes of one glyph of `layout` from a picture (its top-left cell part).
std::vector<std::uint8_t> EncodeGlyph(Layout layout, const Bitmap& picture);

}  // namespace signfontmaker
