// Any font file: the first input byte picks the font (its value mod 10; the
// tenth digit chooses reverse drawing), the rest is the file's content. The
// file is written into a directory of the harness, opened through the font
// table, and every glyph whose offset reaches the end of the file is drawn.
// The harness keeps its own account of the offsets: a glyph must be drawn
// exactly when all its bytes lie inside the file, "beyond the end" otherwise,
// and a drawn glyph must be the painting of the bytes at its offset.
#include <unistd.h>

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <span>
#include <string>

#include "common/SignFont.h"

namespace {

using signfont::GlyphStatus;

constexpr std::uint32_t kLeadSlotBytes = 157 * 30;

[[noreturn]] void Fail(const char* what, int font, unsigned code) {
  std::fprintf(stderr, "font %d, code 0x%04X: %s\n", font, code, what);
  std::abort();
}

const std::string& WorkDirectory() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/signfont_fuzzer.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern);
  }();
  return dir;
}

// Glyph sizes and offsets as the file layouts give them, apart from the
// readers' own arithmetic.
int GlyphBytes(int font) {
  static constexpr int kSizes[signfont::kSignFontCount] = {8, 8, 16, 16, 16, 32, 32, 15, 30, 30};
  return kSizes[font];
}

std::optional<std::uint32_t> SingleByteOffset(int font, unsigned code) {
  if (font == signfont::kMingAsciiFont) return code * 15u;
  if (code < 32) return std::nullopt;
  return 6u + (code - 31u) * static_cast<std::uint32_t>(GlyphBytes(font));
}

std::optional<std::uint32_t> PairOffset(unsigned leadSlot, unsigned trail) {
  unsigned t = 0;
  if (trail >= 0x40 && trail <= 0x7E) {
    t = trail - 0x40;
  } else if (trail >= 0xA1 && trail <= 0xFE) {
    t = trail - 0x62;
  } else {
    return std::nullopt;
  }
  return leadSlot * kLeadSlotBytes + t * 30u;
}

// Renders one glyph through the table and holds it against the layout.
void CheckGlyph(const signfont::SignFontTable& table, int font, std::uint16_t code, bool reverse,
                std::optional<std::uint32_t> offset, std::span<const std::uint8_t> file) {
  constexpr QRgb kColour = qRgb(255, 0, 0);
  GlyphStatus status = GlyphStatus::kNoGlyph;
  const QImage drawn = table.RenderGlyph(font, code, kColour, reverse, &status);
  const signfont::SignFontInfo& info = signfont::FontInfo(font);
  QImage black(info.cellWidth, info.cellHeight, QImage::Format_RGB32);
  black.fill(qRgb(0, 0, 0));
  if (!offset) {
    if (status != GlyphStatus::kNoGlyph) Fail("a code without a glyph was drawn or missed", font, code);
    if (drawn != black) Fail("a code without a glyph painted the cell", font, code);
    return;
  }
  const std::size_t size = static_cast<std::size_t>(GlyphBytes(font));
  if (*offset + size > file.size()) {
    if (status != GlyphStatus::kBeyondEnd) Fail("a glyph past the end of the file was not refused", font, code);
    if (drawn != black) Fail("a glyph past the end of the file painted the cell", font, code);
    return;
  }
  if (status != GlyphStatus::kDrawn) Fail("a glyph inside the file was not drawn", font, code);
  QImage expected = black;
  signfont::PaintGlyphBytes(expected, font, file.subspan(*offset, size), kColour, reverse);
  if (drawn != expected) Fail("a drawn glyph differs from the bytes at its offset", font, code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int font = data[0] % signfont::kSignFontCount;
  const bool reverse = (data[0] / signfont::kSignFontCount) % 2 == 1;
  const std::span<const std::uint8_t> file(data + 1, size - 1);
  const signfont::SignFontInfo& info = signfont::FontInfo(font);
  const std::string path = WorkDirectory() + "/" + std::string(info.fileName);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) std::abort();
  }
  signfont::SignFontTable table;
  table.OpenAvailable(WorkDirectory());
  for (int other = 0; other < signfont::kSignFontCount; ++other) {
    if (table.IsOpen(other) != (other == font)) Fail("only the written font may open", other, 0);
  }

  if (info.kind != signfont::ReaderKind::kMingDoubleByte) {
    for (unsigned code = 0; code < 256; ++code) {
      CheckGlyph(table, font, static_cast<std::uint16_t>(code), reverse, SingleByteOffset(font, code), file);
    }
  } else {
    // The lead whose slots hold the end of the file, and one on either side.
    const unsigned endSlot = static_cast<unsigned>(file.size() / kLeadSlotBytes);
    for (unsigned slot = endSlot == 0 ? 0 : endSlot - 1; slot <= endSlot + 1 && slot < 256; ++slot) {
      const unsigned lead = (info.leadBase + slot) % 256;
      for (unsigned trail = 0; trail < 256; ++trail) {
        CheckGlyph(table, font, static_cast<std::uint16_t>(lead << 8 | trail), reverse, PairOffset(slot, trail),
                   file);
      }
    }
  }
  table.Close();
  ::unlink(path.c_str());
  return 0;
}
