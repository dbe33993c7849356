#pragma once
// Colour codes: one byte per sign pixel, bits RRRGGGBB (red 7-5, green 4-2,
// blue 1-0), and the editor's ten-entry palette that a text cell's colour
// digit indexes.
//
// The byte functions need no QGuiApplication: QRgb is a plain 32-bit value
// (0xAARRGGBB) and QColor a value class.
#include <QColor>
#include <QRgb>
#include <cstdint>
#include <optional>
#include <string>

namespace colorcode {

using ColorCode = std::uint8_t;

// Code of a colour: the top three bits of red and green, the top two of blue.
constexpr ColorCode ColorToCode(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<ColorCode>((red & 0xE0) + ((green & 0xE0) >> 3) + ((blue & 0xE0) >> 6));
}
inline ColorCode ColorToCode(QRgb colour) {
  return ColorToCode(static_cast<std::uint8_t>(qRed(colour)), static_cast<std::uint8_t>(qGreen(colour)),
                     static_cast<std::uint8_t>(qBlue(colour)));
}
// A named colour (Qt::white) resolves to its value first; without this
// overload the enum would convert to a QRgb number.
ColorCode ColorToCode(const QColor& colour);
ColorCode ColorToCode(Qt::GlobalColor colour);

// Red and green only: how logo pixels are classified for the sign.
constexpr ColorCode ColorToRedGreenCode(std::uint8_t red, std::uint8_t green) {
  return static_cast<ColorCode>((red & 0xE0) + ((green & 0xE0) >> 3));
}
inline ColorCode ColorToRedGreenCode(QRgb colour) {
  return ColorToRedGreenCode(static_cast<std::uint8_t>(qRed(colour)), static_cast<std::uint8_t>(qGreen(colour)));
}

// Screen colour of a code with the low bits filled (R+0x1F, G+0x1F, B+0x3F):
// palette entries, logos of logo files, the drawing program. Opaque.
constexpr QRgb CodeToColor(ColorCode code) {
  return qRgb((code & 0xE0) + 0x1F, ((code & 0x1C) << 3) + 0x1F, ((code & 0x03) << 6) + 0x3F);
}
// The exact expansion, low bits clear: logos of frame files. Opaque.
constexpr QRgb CodeToColorExact(ColorCode code) {
  return qRgb(code & 0xE0, (code & 0x1C) << 3, (code & 0x03) << 6);
}

// Which expansion a decoder paints with.
enum class Expansion { kFilled, kExact };
constexpr QRgb ExpandCode(ColorCode code, Expansion expansion) {
  return expansion == Expansion::kExact ? CodeToColorExact(code) : CodeToColor(code);
}

// Editor palette: indices 0..9. 0..7 are CodeToColor of their codes; 8 and 9
// stand for the sign's two rainbow modes and have no code.
inline constexpr int kPaletteSize = 10;
inline constexpr int kFirstRainbowIndex = 8;
// Opaque black for any index outside 0..9.
QRgb ColorIndexToColor(int index);
// The colour code of indices 0..7; nothing for 8, 9 and others.
std::optional<ColorCode> ColorIndexToCode(int index);
// The caret code sent for an index ("^RH" .. "^A2"); empty outside 0..9.
std::string ColorIndexCaretCode(int index);
// The colour box's text of a rainbow item: "Rainbow(1)" for 8, "Rainbow(2)"
// for 9; empty for the others.
std::string RainbowCaption(int index);

}  // namespace colorcode
