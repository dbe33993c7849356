#include "common/ColorCode.h"

#include <array>

namespace colorcode {

namespace {

struct PaletteEntry {
  int code;  // -1: none
  QRgb colour;
  const char* caret;
};

constexpr std::array<PaletteEntry, kPaletteSize> kPalette = {{
    {0xE0, qRgb(255, 31, 63), "^RH"},
    {0xA0, qRgb(191, 31, 63), "^RL"},
    {0x1C, qRgb(31, 255, 63), "^GH"},
    {0x14, qRgb(31, 191, 63), "^GL"},
    {0xFC, qRgb(255, 255, 63), "^YH"},
    {0xD8, qRgb(223, 223, 63), "^YL"},
    {0xE8, qRgb(255, 95, 63), "^OR"},
    {0xC8, qRgb(223, 95, 63), "^BR"},
    {-1, qRgb(255, 255, 255), "^A1"},
    {-1, qRgb(0, 255, 255), "^A2"},
}};

// The table and the expansion must agree for the coded entries.
constexpr bool PaletteMatchesExpansion() {
  for (const PaletteEntry& e : kPalette) {
    if (e.code >= 0 && CodeToColor(static_cast<ColorCode>(e.code)) != e.colour) return false;
  }
  return true;
}
static_assert(PaletteMatchesExpansion());

bool InPalette(int index) { return index >= 0 && index < kPaletteSize; }

}  // namespace

ColorCode ColorToCode(const QColor& colour) { return ColorToCode(colour.rgb()); }
ColorCode ColorToCode(Qt::GlobalColor colour) { return ColorToCode(QColor(colour).rgb()); }

QRgb ColorIndexToColor(int index) {
  return InPalette(index) ? kPalette[static_cast<std::size_t>(index)].colour : qRgb(0, 0, 0);
}

std::optional<ColorCode> ColorIndexToCode(int index) {
  if (!InPalette(index) || kPalette[static_cast<std::size_t>(index)].code < 0) return std::nullopt;
  return static_cast<ColorCode>(kPalette[static_cast<std::size_t>(index)].code);
}

std::string ColorIndexCaretCode(int index) {
  return InPalette(index) ? kPalette[static_cast<std::size_t>(index)].caret : "";
}

std::string RainbowCaption(int index) {
  if (index < kFirstRainbowIndex || index >= kPaletteSize) return "";
  return "Rainbow(" + std::to_string(index - kFirstRainbowIndex + 1) + ")";
}

}  // namespace colorcode
