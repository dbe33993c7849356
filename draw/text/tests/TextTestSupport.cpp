#include "TextTestSupport.h"

#include "signfontmaker/SignFontMaker.h"

namespace texttest {

bool TaggedLit(int font, int code, int x, int y) {
  auto bit = [](int byte, int column) { return (byte & (0x80 >> column)) != 0; };
  const int c = code & 0xFF;
  if (font >= 5) {
    const int b0 = y == 0 ? c : y == 1 ? (c ^ 0xFF) : y;
    const int b1 = y == 0 ? (c ^ 0xFF) : y == 1 ? c : 0xFF;
    return x < 8 ? bit(b0, x) : bit(b1, x - 8);
  }
  const int b = y == 0 ? c : y == 1 ? (c ^ 0xFF) : y;
  return bit(b, x);
}

QRgb TaggedColour(int font, int code, int x, int y, QRgb colour) {
  return TaggedLit(font, code, x, y) ? colour : raster::kBlack;
}

TextBoxFixture::TextBoxFixture() : box(model, fonts, style) {
  signfontmaker::WriteTaggedFonts(Dir());
  fonts.Open(Dir(), signfont::kDrawingFontCount);
  model.ResetView(480, 90, true);
  model.SetColorIndex(1);  // red
}

void TextBoxFixture::Type(const std::string& font, const std::u32string& text, int pointSize) {
  style.style = draw::TextStyle{font, pointSize};
  box.TypeText(text);
}

}  // namespace texttest
