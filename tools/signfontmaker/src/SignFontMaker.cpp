#include "signfontmaker/SignFontMaker.h"

#include <iconv.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <array>
#include <cstring>
#include <stdexcept>

#include "platform/BinaryFile.h"

namespace signfontmaker {

namespace {

constexpr int kHeader = 6;
constexpr int kSlotsPerLead = 157;

constexpr std::array<FontFileSpec, kFontFiles> kFiles = {{
    {"CUR0507.PTN", Layout::kFixed8, 6, 8, 0, 0},
    {"CUR0707.PTN", Layout::kFixed8, 8, 8, 0, 0},
    {"XMI0816.PTN", Layout::kFixed16, 8, 16, 0, 0},
    {"XMB0816.PTN", Layout::kFixed16, 8, 16, 0, 0},
    {"PCB0816.PTN", Layout::kFixed16, 8, 16, 0, 0},
    {"TSW1016.PTN", Layout::kFixed32, 11, 16, 0, 0},
    {"CURI1216.PTN", Layout::kFixed32, 11, 16, 0, 0},
    {"MINGAS15.PTN", Layout::kMingAscii, 8, 16, 0, 0},
    {"MINGST15.PTN", Layout::kMingDouble, 16, 16, 0xA4, 0xF9},
    {"MINGSP15.PTN", Layout::kMingDouble, 16, 16, 0xA1, 0xA3},
}};

int GlyphBytes(Layout layout) {
  switch (layout) {
    case Layout::kFixed8: return 8;
    case Layout::kFixed16: return 16;
    case Layout::kFixed32: return 32;
    case Layout::kMingAscii: return 15;
    case Layout::kMingDouble: return 30;
  }
  return 0;
}
int BytesPerRow(Layout layout) { return layout == Layout::kFixed32 || layout == Layout::kMingDouble ? 2 : 1; }

std::uint8_t B(int v) { return static_cast<std::uint8_t>(v & 0xFF); }

std::vector<std::uint8_t> TaggedSingle(Layout layout, int code) {
  std::vector<std::uint8_t> g;
  const int rows = GlyphBytes(layout) / BytesPerRow(layout);
  for (int r = 0; r < rows; ++r) {
    if (layout == Layout::kFixed32) {
      if (r == 0) {
        g.insert(g.end(), {B(code), B(code ^ 0xFF)});
      } else if (r == 1) {
        g.insert(g.end(), {B(code ^ 0xFF), B(code)});
      } else {
        g.insert(g.end(), {B(r), 0xFF});
      }
    } else {
      g.push_back(r == 0 ? B(code) : r == 1 ? B(code ^ 0xFF) : B(r));
    }
  }
  return g;
}

std::vector<std::uint8_t> TaggedPair(int lead, int trail) {
  std::vector<std::uint8_t> g = {B(lead), B(trail), B(lead ^ 0xFF), B(trail ^ 0xFF)};
  for (int r = 2; r < 15; ++r) g.insert(g.end(), {B(r), B(r)});
  return g;
}

void WriteFile(const std::string& directory, const char* name, const std::vector<std::uint8_t>& bytes) {
  platform::AtomicFileWriter out(directory.empty() ? std::string(name) : directory + "/" + name);
  out.Write(bytes.data(), bytes.size());
  out.Commit();
}

// iconv of one short string; empty when it fails.
std::string Iconv(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string source = in;
  char out[16];
  char* inPtr = source.data();
  std::size_t inLeft = source.size();
  char* outPtr = out;
  std::size_t outLeft = sizeof out;
  const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  return ok ? std::string(out, static_cast<std::size_t>(outPtr - out)) : std::string();
}

char32_t FromUtf32(const std::string& s) {
  if (s.size() != 4) return 0;
  char32_t c = 0;
  for (char b : s) c = (c << 8) | static_cast<unsigned char>(b);
  return c;
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

Bitmap GlyphFromRows(const std::uint8_t* data, int width, int height) {
  Bitmap g;
  g.width = width;
  g.height = height;
  g.pixels.assign(static_cast<std::size_t>(width * height), false);
  const int stride = (width + 7) / 8;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      g.pixels[static_cast<std::size_t>(y * width + x)] = (data[y * stride + x / 8] & (0x80 >> (x % 8))) != 0;
  return g;
}

// Decodes one UTF-8 character at `at` (PSF2 Unicode table); 0 when malformed.
char32_t NextUtf8(const std::vector<std::uint8_t>& b, std::size_t& at, std::size_t end) {
  const std::uint8_t first = b[at++];
  int extra = 0;
  char32_t c = 0;
  if (first < 0x80) return first;
  if ((first & 0xE0) == 0xC0) { extra = 1; c = first & 0x1F; }
  else if ((first & 0xF0) == 0xE0) { extra = 2; c = first & 0x0F; }
  else if ((first & 0xF8) == 0xF0) { extra = 3; c = first & 0x07; }
  else return 0;
  for (int i = 0; i < extra; ++i) {
    if (at >= end || (b[at] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b[at++] & 0x3F);
  }
  return c;
}

Bitmap Blank(int width, int height) {
  Bitmap b;
  b.width = width;
  b.height = height;
  b.pixels.assign(static_cast<std::size_t>(width * height), false);
  return b;
}

void Set(Bitmap& b, int x, int y, bool on) {
  if (x >= 0 && y >= 0 && x < b.width && y < b.height) b.pixels[static_cast<std::size_t>(y * b.width + x)] = on;
}

bool RowBlank(const Bitmap& b, int y) {
  for (int x = 0; x < b.width; ++x)
    if (b.At(x, y)) return false;
  return true;
}
bool ColumnBlank(const Bitmap& b, int x) {
  for (int y = 0; y < b.height; ++y)
    if (b.At(x, y)) return false;
  return true;
}

// `source` copied into a width x height picture at (dx, dy), each row r
// moved right by slant(r).
Bitmap Place(const Bitmap& source, int width, int height, int dx, int dy, int slantDivisor = 0) {
  Bitmap out = Blank(width, height);
  for (int y = 0; y < source.height; ++y) {
    const int shift = slantDivisor > 0 ? (source.height - 1 - y) / slantDivisor : 0;
    for (int x = 0; x < source.width; ++x)
      if (source.At(x, y)) Set(out, x + dx + shift, y + dy, true);
  }
  return out;
}

// A 16-row picture cut to the 15 rows a Ming glyph holds. One edge row is
// dropped for the whole font so the baseline stays put; the other one only
// where the preferred row has ink and the other is blank.
Bitmap FifteenRows(const Bitmap& b, bool dropTop) {
  if (dropTop && !RowBlank(b, 0) && RowBlank(b, 15)) dropTop = false;
  if (!dropTop && !RowBlank(b, 15) && RowBlank(b, 0)) dropTop = true;
  return Place(b, b.width, 15, 0, dropTop ? -1 : 0);
}

const Bitmap* ConsoleGlyph(const ConsoleFont& font, std::uint8_t code) {
  const auto it = font.glyphOf.find(SignCodeToUnicode(code));
  return it == font.glyphOf.end() ? nullptr : &font.glyphs[static_cast<std::size_t>(it->second)];
}

ConsoleFont LoadConsoleFont(const SampleSources& sources, std::initializer_list<const char*> names, int height) {
  for (const char* name : names) {
    const std::string path = sources.consoleFontDirectory + "/" + name;
    if (!platform::FileExists(path)) continue;
    ConsoleFont font = ParsePsf(Gunzip(path));
    if (font.height != height || font.width != 8) {
      throw std::runtime_error(path + " is not an 8 x " + std::to_string(height) + " font");
    }
    return font;
  }
  std::string list;
  for (const char* name : names) list += std::string(list.empty() ? "" : ", ") + name;
  throw std::runtime_error("none of the console fonts " + list + " is in " + sources.consoleFontDirectory +
                           " (Debian package console-setup-linux)");
}

// A single-byte font of layout `spec` from pictures made by `picture(code)`.
template <typename PictureOf>
std::vector<std::uint8_t> SingleByteFont(const FontFileSpec& spec, PictureOf picture) {
  std::vector<std::uint8_t> file;
  int first = 0;
  if (spec.layout != Layout::kMingAscii) {
    file.assign(kHeader, 0);
    first = 31;
  }
  for (int code = first; code < 256; ++code) {
    const std::vector<std::uint8_t> glyph = EncodeGlyph(spec.layout, picture(static_cast<std::uint8_t>(code)));
    file.insert(file.end(), glyph.begin(), glyph.end());
  }
  return file;
}

}  // namespace

const FontFileSpec& FontFile(int index) {
  if (index < 0 || index >= kFontFiles) throw std::out_of_range("no font file " + std::to_string(index));
  return kFiles[static_cast<std::size_t>(index)];
}

std::uint8_t TrailOfSlot(int slot) { return B(slot < 63 ? 0x40 + slot : 0x62 + slot); }

std::vector<std::uint8_t> TaggedFont(int index) {
  const FontFileSpec& spec = FontFile(index);
  std::vector<std::uint8_t> file;
  if (spec.layout == Layout::kMingDouble) {
    for (int lead = spec.firstLead; lead <= spec.lastLead; ++lead)
      for (int slot = 0; slot < kSlotsPerLead; ++slot) {
        const std::vector<std::uint8_t> g = TaggedPair(lead, TrailOfSlot(slot));
        file.insert(file.end(), g.begin(), g.end());
      }
    return file;
  }
  int first = 0;
  if (spec.layout != Layout::kMingAscii) {
    file = {'T', 'A', 'G', B(index), 0, 0};
    first = 31;
  }
  for (int code = first; code < 256; ++code) {
    const std::vector<std::uint8_t> g = TaggedSingle(spec.layout, code);
    file.insert(file.end(), g.begin(), g.end());
  }
  return file;
}

void WriteTaggedFonts(const std::string& directory) {
  for (int i = 0; i < kFontFiles; ++i) WriteFile(directory, kFiles[static_cast<std::size_t>(i)].fileName, TaggedFont(i));
}

void WriteTruncatedTaggedFont(const std::string& directory, int index, std::size_t size) {
  std::vector<std::uint8_t> bytes = TaggedFont(index);
  if (size < bytes.size()) bytes.resize(size);
  WriteFile(directory, FontFile(index).fileName, bytes);
}

std::vector<std::uint8_t> EncodeGlyph(Layout layout, const Bitmap& picture) {
  const int perRow = BytesPerRow(layout);
  const int rows = GlyphBytes(layout) / perRow;
  std::vector<std::uint8_t> g(static_cast<std::size_t>(GlyphBytes(layout)), 0);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < 8 * perRow; ++x)
      if (picture.At(x, y)) g[static_cast<std::size_t>(y * perRow + x / 8)] |= B(0x80 >> (x % 8));
  return g;
}

ConsoleFont ParsePsf(const std::vector<std::uint8_t>& bytes) {
  ConsoleFont font;
  std::size_t glyphStart = 0;
  std::size_t count = 0;
  std::size_t charSize = 0;
  bool unicode = false;
  bool psf2 = false;
  if (bytes.size() >= 4 && bytes[0] == 0x36 && bytes[1] == 0x04) {
    const std::uint8_t mode = bytes[2];
    charSize = bytes[3];
    count = (mode & 0x01) ? 512 : 256;
    unicode = (mode & 0x06) != 0;
    font.width = 8;
    font.height = static_cast<int>(charSize);
    glyphStart = 4;
  } else if (bytes.size() >= 32 && U32(bytes, 0) == 0x864AB572u) {
    psf2 = true;
    glyphStart = U32(bytes, 8);
    unicode = (U32(bytes, 12) & 1) != 0;
    count = U32(bytes, 16);
    charSize = U32(bytes, 20);
    font.height = static_cast<int>(U32(bytes, 24));
    font.width = static_cast<int>(U32(bytes, 28));
  } else {
    throw std::runtime_error("not a PSF console font");
  }
  if (font.width < 1 || font.width > 64 || font.height < 1 || font.height > 64 || count > 65536 ||
      charSize != static_cast<std::size_t>((font.width + 7) / 8 * font.height) ||
      glyphStart > bytes.size() || count * charSize > bytes.size() - glyphStart) {
    throw std::runtime_error("a PSF font with impossible sizes or cut short");
  }
  for (std::size_t i = 0; i < count; ++i)
    font.glyphs.push_back(GlyphFromRows(bytes.data() + glyphStart + i * charSize, font.width, font.height));
  std::size_t at = glyphStart + count * charSize;
  if (!unicode) {
    for (std::size_t i = 0; i < std::min<std::size_t>(count, 256); ++i) font.glyphOf[static_cast<char32_t>(i)] = static_cast<int>(i);
    return font;
  }
  for (std::size_t glyph = 0; glyph < count && at < bytes.size(); ++glyph) {
    bool sequence = false;
    if (!psf2) {
      while (at + 1 < bytes.size()) {
        const std::uint16_t v = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        at += 2;
        if (v == 0xFFFF) break;
        if (v == 0xFFFE) sequence = true;
        else if (!sequence) font.glyphOf.emplace(v, static_cast<int>(glyph));
      }
    } else {
      while (at < bytes.size()) {
        if (bytes[at] == 0xFF) { ++at; break; }
        if (bytes[at] == 0xFE) { sequence = true; ++at; continue; }
        const char32_t c = NextUtf8(bytes, at, bytes.size());
        if (!sequence && c != 0) font.glyphOf.emplace(c, static_cast<int>(glyph));
      }
    }
  }
  return font;
}

std::vector<std::uint8_t> Gunzip(const std::string& path) {
  QProcess gzip;
  gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), QString::fromStdString(path)});
  if (!gzip.waitForStarted(10000)) throw std::runtime_error("gzip could not be started for " + path);
  gzip.closeWriteChannel();
  if (!gzip.waitForFinished(60000)) {
    gzip.kill();
    gzip.waitForFinished();
    throw std::runtime_error("gzip did not finish for " + path);
  }
  const QByteArray out = gzip.readAllStandardOutput();
  if (gzip.exitStatus() != QProcess::NormalExit || gzip.exitCode() != 0) {
    throw std::runtime_error("gzip failed on " + path + ": " + gzip.readAllStandardError().trimmed().toStdString());
  }
  return {out.begin(), out.end()};
}

Unifont ParseUnifontHex(const std::string& text) {
  Unifont font;
  std::size_t at = 0;
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + at, end - at);
    at = end + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 6) continue;
    char32_t code = 0;
    bool ok = true;
    for (char c : line.substr(0, colon)) {
      const int v = hex(c);
      if (v < 0) { ok = false; break; }
      code = code * 16 + static_cast<char32_t>(v);
    }
    std::string_view digits = line.substr(colon + 1);
    while (!digits.empty() && (digits.back() == '\r' || digits.back() == ' ')) digits.remove_suffix(1);
    if (!ok || (digits.size() != 32 && digits.size() != 64)) continue;
    const int width = digits.size() == 32 ? 8 : 16;
    std::vector<std::uint8_t> rows;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
      const int hi = hex(digits[i]);
      const int lo = hex(digits[i + 1]);
      if (hi < 0 || lo < 0) { ok = false; break; }
      rows.push_back(B(hi * 16 + lo));
    }
    if (ok) font[code] = GlyphFromRows(rows.data(), width, 16);
  }
  return font;
}

char32_t SignCodeToUnicode(std::uint8_t code) {
  if (code < 0x80) return code;
  const char32_t c = FromUtf32(Iconv("UTF-32BE", "CP437", std::string(1, static_cast<char>(code))));
  return c != 0 ? c : code;
}

char32_t Big5PairToUnicode(std::uint8_t lead, std::uint8_t trail) {
  return FromUtf32(Iconv("UTF-32BE", "CP950", std::string{static_cast<char>(lead), static_cast<char>(trail)}));
}

void WriteSampleFonts(const std::string& directory, const SampleSources& sources) {
  const ConsoleFont vga8 = LoadConsoleFont(sources, {"Uni2-VGA8.psf.gz", "Lat15-VGA8.psf.gz"}, 8);
  const ConsoleFont vga16 = LoadConsoleFont(sources, {"Uni2-VGA16.psf.gz", "Lat15-VGA16.psf.gz"}, 16);
  const ConsoleFont bold16 =
      LoadConsoleFont(sources, {"Uni2-TerminusBold16.psf.gz", "Lat15-TerminusBold16.psf.gz"}, 16);
  const ConsoleFont fixed16 = LoadConsoleFont(sources, {"Uni2-Fixed16.psf.gz", "Lat15-Fixed16.psf.gz"}, 16);
  const ConsoleFont term16 = LoadConsoleFont(sources, {"Uni2-Terminus16.psf.gz", "Lat15-Terminus16.psf.gz"}, 16);
  if (!platform::FileExists(sources.unifontHex)) {
    throw std::runtime_error(sources.unifontHex + " is missing (Debian package unifont)");
  }
  const std::vector<std::uint8_t> hexBytes = platform::ReadWholeFile(sources.unifontHex);
  const Unifont unifont = ParseUnifontHex(std::string(hexBytes.begin(), hexBytes.end()));

  auto from = [](const ConsoleFont& font, int width, int height, int dx, int slant = 0) {
    return [&font, width, height, dx, slant](std::uint8_t code) {
      const Bitmap* g = ConsoleGlyph(font, code);
      return g ? Place(*g, width, height, dx, 0, slant) : Blank(width, height);
    };
  };
  // The 6-column font: the VGA glyph moved left when its first column is
  // empty; a glyph still 7 columns wide has its two middle columns merged.
  auto narrow = [&vga8](std::uint8_t code) {
    const Bitmap* g = ConsoleGlyph(vga8, code);
    if (!g) return Blank(6, 8);
    const Bitmap wide = Place(*g, 8, 8, ColumnBlank(*g, 0) ? -1 : 0, 0);
    if (ColumnBlank(wide, 6)) return Place(wide, 6, 8, 0, 0);
    Bitmap out = Blank(6, 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 6; ++x) {
        const bool on = x < 3 ? wide.At(x, y) : x == 3 ? (wide.At(3, y) || wide.At(4, y)) : wide.At(x + 1, y);
        Set(out, x, y, on);
      }
    return out;
  };
  auto ming = [&unifont](std::uint8_t code) {
    const auto it = unifont.find(SignCodeToUnicode(code));
    if (it == unifont.end() || it->second.width != 8) return Blank(8, 15);
    return FifteenRows(it->second, true);  // Unifont's top row is the blank one
  };

  WriteFile(directory, kFiles[0].fileName, SingleByteFont(kFiles[0], narrow));
  WriteFile(directory, kFiles[1].fileName, SingleByteFont(kFiles[1], from(vga8, 8, 8, 0)));
  WriteFile(directory, kFiles[2].fileName, SingleByteFont(kFiles[2], from(vga16, 8, 16, 0)));
  WriteFile(directory, kFiles[3].fileName, SingleByteFont(kFiles[3], from(bold16, 8, 16, 0)));
  WriteFile(directory, kFiles[4].fileName, SingleByteFont(kFiles[4], from(fixed16, 8, 16, 0)));
  // The 11-column fonts: an 8-column glyph with a margin, upright and slanted.
  WriteFile(directory, kFiles[5].fileName, SingleByteFont(kFiles[5], from(term16, 16, 16, 1)));
  WriteFile(directory, kFiles[6].fileName, SingleByteFont(kFiles[6], from(bold16, 16, 16, 0, 5)));
  WriteFile(directory, kFiles[7].fileName, SingleByteFont(kFiles[7], ming));

  for (int index : {8, 9}) {
    const FontFileSpec& spec = kFiles[static_cast<std::size_t>(index)];
    std::vector<std::uint8_t> file;
    for (int lead = spec.firstLead; lead <= spec.lastLead; ++lead) {
      for (int slot = 0; slot < kSlotsPerLead; ++slot) {
        Bitmap picture = Blank(16, 15);
        const char32_t c = Big5PairToUnicode(B(lead), TrailOfSlot(slot));
        const auto it = c ? unifont.find(c) : unifont.end();
        if (it != unifont.end()) {
          const Bitmap& g = it->second;
          picture = FifteenRows(g.width == 16 ? g : Place(g, 16, 16, 4, 0), false);
        }
        const std::vector<std::uint8_t> glyph = EncodeGlyph(Layout::kMingDouble, picture);
        file.insert(file.end(), glyph.begin(), glyph.end());
      }
    }
    WriteFile(directory, spec.fileName, file);
  }
}

}  // namespace signfontmaker
