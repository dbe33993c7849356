#include "common/ColorCode.h"

#include <gtest/gtest.h>

namespace {

using colorcode::ColorCode;

struct PaletteCase {
  int index;
  int code;  // -1: none
  int r, g, b;
  const char* caret;
};

// The editor's palette as the sign expects it, written out by hand.
const PaletteCase kPalette[] = {
    {0, 0xE0, 255, 31, 63, "^RH"},  {1, 0xA0, 191, 31, 63, "^RL"},  {2, 0x1C, 31, 255, 63, "^GH"},
    {3, 0x14, 31, 191, 63, "^GL"},  {4, 0xFC, 255, 255, 63, "^YH"}, {5, 0xD8, 223, 223, 63, "^YL"},
    {6, 0xE8, 255, 95, 63, "^OR"},  {7, 0xC8, 223, 95, 63, "^BR"},  {8, -1, 255, 255, 255, "^A1"},
    {9, -1, 0, 255, 255, "^A2"},
};

TEST(ColorCode, PaletteColoursCodesAndCaretCodes) {
  for (const PaletteCase& c : kPalette) {
    SCOPED_TRACE(c.index);
    const QRgb colour = colorcode::ColorIndexToColor(c.index);
    EXPECT_EQ(qRed(colour), c.r);
    EXPECT_EQ(qGreen(colour), c.g);
    EXPECT_EQ(qBlue(colour), c.b);
    EXPECT_EQ(qAlpha(colour), 255);
    EXPECT_EQ(colorcode::ColorIndexCaretCode(c.index), c.caret);
    if (c.code >= 0) {
      ASSERT_TRUE(colorcode::ColorIndexToCode(c.index).has_value());
      EXPECT_EQ(*colorcode::ColorIndexToCode(c.index), c.code);
      EXPECT_EQ(colorcode::ColorToCode(colour), c.code);
      EXPECT_EQ(colorcode::CodeToColor(static_cast<ColorCode>(c.code)), colour);
    } else {
      EXPECT_FALSE(colorcode::ColorIndexToCode(c.index).has_value());
    }
  }
  for (int outside : {-1, 10, 255}) {
    EXPECT_EQ(colorcode::ColorIndexToColor(outside), qRgb(0, 0, 0)) << outside;
    EXPECT_EQ(colorcode::ColorIndexCaretCode(outside), "") << outside;
    EXPECT_FALSE(colorcode::ColorIndexToCode(outside).has_value()) << outside;
  }
  EXPECT_EQ(colorcode::RainbowCaption(8), "Rainbow(1)");
  EXPECT_EQ(colorcode::RainbowCaption(9), "Rainbow(2)");
  EXPECT_EQ(colorcode::RainbowCaption(7), "");
}

TEST(ColorCode, ColorToCodeKeepsTopBits) {
  struct Case {
    int r, g, b, code, redGreen;
  };
  const Case cases[] = {
      {255, 255, 255, 0xFF, 0xFC}, {0, 0, 0, 0x00, 0x00},       {0x20, 0, 0, 0x20, 0x20},
      {0x1F, 0x1F, 0x3F, 0x00, 0x00}, {0, 0x20, 0, 0x04, 0x04},  {0, 0, 0x40, 0x01, 0x00},
      {0, 0, 0x20, 0x00, 0x00},    {0xA5, 0x5A, 0xC3, 0xA0 | 0x08 | 0x03, 0xA8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b);
    EXPECT_EQ(colorcode::ColorToCode(qRgb(c.r, c.g, c.b)), c.code);
    EXPECT_EQ(colorcode::ColorToCode(QColor(c.r, c.g, c.b)), c.code);
    EXPECT_EQ(colorcode::ColorToRedGreenCode(qRgb(c.r, c.g, c.b)), c.redGreen);
  }
  // A named colour is resolved to its value, not taken as a number.
  EXPECT_EQ(colorcode::ColorToCode(Qt::white), 0xFF);
  EXPECT_EQ(colorcode::ColorToCode(Qt::red), 0xE0);
}

TEST(ColorCode, RedGreenCodeIgnoresBlue) {
  const QRgb red = colorcode::ColorIndexToColor(0);
  for (int blue : {0, 63, 128, 255}) {
    EXPECT_EQ(colorcode::ColorToRedGreenCode(qRgb(qRed(red), qGreen(red), blue)), 224) << blue;
  }
}

TEST(ColorCode, BothExpansionsGiveTheCodeBack) {
  for (int code = 0; code < 256; ++code) {
    const auto c = static_cast<ColorCode>(code);
    EXPECT_EQ(colorcode::ColorToCode(colorcode::CodeToColor(c)), c);
    EXPECT_EQ(colorcode::ColorToCode(colorcode::CodeToColorExact(c)), c);
  }
  // 0xB6 = 101 101 10: exact 0xA0,0xA0,0x80; filled 0xBF,0xBF,0xBF.
  EXPECT_EQ(colorcode::CodeToColorExact(0xB6), qRgb(0xA0, 0xA0, 0x80));
  EXPECT_EQ(colorcode::CodeToColor(0xB6), qRgb(0xBF, 0xBF, 0xBF));
  EXPECT_EQ(colorcode::CodeToColor(0x00), qRgb(0x1F, 0x1F, 0x3F));
  EXPECT_EQ(colorcode::CodeToColorExact(0xFF), qRgb(0xE0, 0xE0, 0xC0));
  EXPECT_EQ(colorcode::ExpandCode(0xFF, colorcode::Expansion::kExact), qRgb(0xE0, 0xE0, 0xC0));
  EXPECT_EQ(colorcode::ExpandCode(0xFF, colorcode::Expansion::kFilled), qRgb(0xFF, 0xFF, 0xFF));
}

}  // namespace
