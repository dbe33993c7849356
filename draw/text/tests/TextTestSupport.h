#pragma once
// What the text box tests share: tagged sign fonts in a temporary folder, a
// drawing model, a font choice held fixed, and the box under test.
#include <QTemporaryDir>
#include <string>

#include "common/SignFont.h"
#include "draw/DrawModel.h"
#include "draw/text/TextBox.h"

namespace texttest {

inline const std::string kCur6x8 = "Cur   6x8";
inline const std::string kCur8x8 = "Cur   8x8";
inline const std::string kXmi8x16 = "Xmi   8x16";
inline const std::string kCuri11x16 = "Curi 11x16";

constexpr QRgb kRed = 0xFFFF1F3Fu;    // palette item "2"
constexpr QRgb kGreen = 0xFF1FFF3Fu;  // palette item "4"
constexpr QRgb kGrey = 0xFF606060u;

// The font and size boxes, as a test sets them.
struct FixedStyle : draw::TextStyleSource {
  draw::TextStyle style{kCur6x8, 0};
  draw::TextStyle CurrentStyle() const override { return style; }
};

// Whether pixel (x, y) of the tagged glyph of `code` in sign font `font`
// (0-based, 0..6) is lit, from the tagged fonts' description: row 0 holds the
// code, row 1 its complement, row r the number r; the wide fonts hold (code,
// ~code), (~code, code), then (r, 0xFF).
bool TaggedLit(int font, int code, int x, int y);

// Black or the colour, for every pixel of an image that must show a glyph.
QRgb TaggedColour(int font, int code, int x, int y, QRgb colour);

class TextBoxFixture {
 public:
  TextBoxFixture();
  std::string Dir() const { return dir_.path().toStdString(); }
  // Chooses a font item and types `text`.
  void Type(const std::string& font, const std::u32string& text, int pointSize = 0);

  QTemporaryDir dir_;
  signfont::SignFontTable fonts;
  draw::DrawModel model;
  FixedStyle style;
  draw::TextBox box;
};

}  // namespace texttest
