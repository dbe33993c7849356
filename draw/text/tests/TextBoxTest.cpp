#include "draw/text/TextBox.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <random>

#include "TextTestSupport.h"
#include "common/Raster.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

using draw::TextKey;
using raster::kBlack;
using raster::PixelAt;
using namespace texttest;

namespace {

class TextBoxTest : public testing::Test, public TextBoxFixture {
 protected:
  platform::ScopedRecordingBoxes boxes;
};

// Every pixel of the cell of a tagged glyph drawn at `at` (box pixels) at scale s.
void ExpectGlyphAt(const QImage& image, QPoint at, int font, int code, QRgb colour, int s) {
  const signfont::SignFontInfo& info = signfont::FontInfo(font);
  for (int y = 0; y < info.cellHeight * s; ++y) {
    for (int x = 0; x < info.cellWidth * s; ++x) {
      ASSERT_EQ(PixelAt(image, at.x() + x, at.y() + y), TaggedColour(font, code, x / s, y / s, colour))
          << "font " << font << " code " << code << " at " << x << "," << y;
    }
  }
}

void ExpectBlack(const QImage& image, QRect r) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) ASSERT_EQ(PixelAt(image, x, y), kBlack) << x << "," << y;
}

TEST_F(TextBoxTest, TwoLettersInTheSixByEightFont) {
  Type(kCur6x8, U"AB");
  ASSERT_EQ(box.Lines().size(), 1u);
  ASSERT_EQ(box.Lines()[0].size(), 2u);
  EXPECT_EQ(box.Lines()[0][0].code, 'A');
  EXPECT_EQ(box.Lines()[0][1].code, 'B');
  EXPECT_EQ(box.Lines()[0][1].fontName, kCur6x8);
  EXPECT_EQ(box.Lines()[0][1].colour, kRed);
  EXPECT_EQ(box.ContentWidth(), 12);
  EXPECT_EQ(box.ContentHeight(), 8);
  EXPECT_EQ(box.Size(), QSize(66, 24));
  EXPECT_EQ(box.CaretColumn(), 2);
  EXPECT_EQ(box.CaretRect(), QRect(36, 0, 3, 24));
  ExpectGlyphAt(box.Image(), {0, 0}, 0, 'A', kRed, 3);
  ExpectGlyphAt(box.Image(), {18, 0}, 0, 'B', kRed, 3);
  ExpectBlack(box.Image(), QRect(36, 0, 30, 24));  // the margin
  EXPECT_EQ(boxes->Beeps(), 0);
}

TEST_F(TextBoxTest, AnEmptyBoxIsTenByTenSignPixels) {
  EXPECT_EQ(box.Size(), QSize(30, 30));
  EXPECT_EQ(box.LineHeight(0), 10);
  EXPECT_EQ(box.CaretRect(), QRect(0, 0, 3, 30));
  ExpectBlack(box.Image(), QRect(0, 0, 30, 30));
}

TEST_F(TextBoxTest, MixedRowsStandOnTheLineBottom) {
  Type(kCur6x8, U"A");
  Type(kXmi8x16, U"B");
  EXPECT_EQ(box.LineHeight(0), 16);
  EXPECT_EQ(box.Size(), QSize((14 + 10) * 3, 48));
  ExpectBlack(box.Image(), QRect(0, 0, 18, 24));  // rows 0 to 7 above the 8-row character
  ExpectGlyphAt(box.Image(), {0, 24}, 0, 'A', kRed, 3);
  ExpectGlyphAt(box.Image(), {18, 0}, 2, 'B', kRed, 3);
  EXPECT_EQ(box.CaretRect(), QRect(42, 0, 3, 48));
}

TEST_F(TextBoxTest, EnterInMidLineOpensAnEmptyLineBelow) {
  Type(kCur6x8, U"AB");
  box.KeyDown(TextKey::kLeft);
  box.KeyDown(TextKey::kEnter);
  ASSERT_EQ(box.Lines().size(), 2u);
  EXPECT_EQ(box.Lines()[0].size(), 2u);  // the line stays whole
  EXPECT_TRUE(box.Lines()[1].empty());
  EXPECT_EQ(box.CurrentLine(), 1);
  EXPECT_EQ(box.CaretColumn(), 0);
  EXPECT_EQ(box.LineHeight(1), 10);
  EXPECT_EQ(box.LineTop(1), 24);
  EXPECT_EQ(box.ContentHeight(), 18);
  EXPECT_EQ(box.CaretRect(), QRect(0, 24, 3, 30));
  // Typed on the new line, a character takes its height.
  Type(kCur6x8, U"C");
  EXPECT_EQ(box.LineHeight(1), 8);
  ExpectGlyphAt(box.Image(), {0, 24}, 0, 'C', kRed, 3);
}

TEST_F(TextBoxTest, DeleteOnAnEmptyLineRemovesIt) {
  struct Case {
    const char* name;
    int emptyLineAt;  // of three lines "A", "B", "C" with an empty line inserted
    int lineAfter;
  };
  for (const Case& c : {Case{"second of four", 1, 1}, Case{"last", 3, 2}}) {
    SCOPED_TRACE(c.name);
    box.ClearText();
    Type(kCur6x8, U"A");
    box.KeyDown(TextKey::kEnter);
    Type(kCur6x8, U"B");
    box.KeyDown(TextKey::kEnter);
    Type(kCur6x8, U"C");
    // Up to the line above the empty one, then Enter opens it.
    while (box.CurrentLine() > c.emptyLineAt - 1) box.KeyDown(TextKey::kUp);
    box.KeyDown(TextKey::kEnter);
    ASSERT_EQ(box.Lines().size(), 4u);
    ASSERT_TRUE(box.Lines()[static_cast<std::size_t>(c.emptyLineAt)].empty());
    box.KeyDown(TextKey::kDelete);
    ASSERT_EQ(box.Lines().size(), 3u);
    EXPECT_EQ(box.Lines()[0][0].code, 'A');
    EXPECT_EQ(box.Lines()[1][0].code, 'B');
    EXPECT_EQ(box.Lines()[2][0].code, 'C');
    EXPECT_EQ(box.CurrentLine(), c.lineAfter);
    EXPECT_EQ(box.CaretColumn(), 0);
  }
  EXPECT_EQ(boxes->Beeps(), 0);
}

TEST_F(TextBoxTest, KeyTable) {
  struct Case {
    const char* name;
    std::vector<std::u32string> text;  // one string a line
    int line, column;                  // the caret before the key
    TextKey key;
    bool beep;
    int lineAfter, columnAfter;
    std::vector<std::size_t> lengthsAfter;
  };
  const Case cases[] = {
      {"Backspace at column 0", {U""}, 0, 0, TextKey::kBackspace, true, 0, 0, {0}},
      {"Backspace deletes before the caret", {U"AB"}, 0, 1, TextKey::kBackspace, false, 0, 0, {1}},
      {"Backspace never joins lines", {U"AB", U"C"}, 1, 0, TextKey::kBackspace, true, 1, 0, {2, 1}},
      {"Enter", {U"AB"}, 0, 2, TextKey::kEnter, false, 1, 0, {2, 0}},
      {"End at the end", {U"AB"}, 0, 2, TextKey::kEnd, true, 0, 2, {2}},
      {"End", {U"AB"}, 0, 0, TextKey::kEnd, false, 0, 2, {2}},
      {"Home at column 0", {U"AB"}, 0, 0, TextKey::kHome, true, 0, 0, {2}},
      {"Home", {U"AB"}, 0, 1, TextKey::kHome, false, 0, 0, {2}},
      {"Left at column 0", {U"AB"}, 0, 0, TextKey::kLeft, true, 0, 0, {2}},
      {"Left", {U"AB"}, 0, 2, TextKey::kLeft, false, 0, 1, {2}},
      {"Up on line 0", {U"AB"}, 0, 1, TextKey::kUp, true, 0, 1, {2}},
      {"Up goes to column 0", {U"AB", U"CD"}, 1, 2, TextKey::kUp, false, 0, 0, {2, 2}},
      {"Right at the end", {U"AB"}, 0, 2, TextKey::kRight, true, 0, 2, {2}},
      {"Right", {U"AB"}, 0, 0, TextKey::kRight, false, 0, 1, {2}},
      {"Down on the last line", {U"AB"}, 0, 1, TextKey::kDown, true, 0, 1, {2}},
      {"Down goes to column 0", {U"AB", U"CD"}, 0, 2, TextKey::kDown, false, 1, 0, {2, 2}},
      {"Delete at the caret", {U"AB"}, 0, 0, TextKey::kDelete, false, 0, 0, {1}},
      {"Delete at the end", {U"AB"}, 0, 2, TextKey::kDelete, true, 0, 2, {2}},
      {"Delete never joins lines", {U"AB", U"C"}, 0, 2, TextKey::kDelete, true, 0, 2, {2, 1}},
      {"Delete on the only line, empty", {U""}, 0, 0, TextKey::kDelete, true, 0, 0, {0}},
      {"Delete on an empty line among others", {U"A", U""}, 1, 0, TextKey::kDelete, false, 0, 0, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    box.ClearText();
    for (std::size_t i = 0; i < c.text.size(); ++i) {
      if (i > 0) box.KeyDown(TextKey::kEnter);
      Type(kCur6x8, c.text[i]);
    }
    while (box.CurrentLine() > c.line) box.KeyDown(TextKey::kUp);
    if (box.CaretColumn() > 0) box.KeyDown(TextKey::kHome);
    for (int i = 0; i < c.column; ++i) box.KeyDown(TextKey::kRight);
    ASSERT_EQ(box.CurrentLine(), c.line);
    ASSERT_EQ(box.CaretColumn(), c.column);
    boxes->Clear();
    box.KeyDown(c.key);
    EXPECT_EQ(boxes->Beeps(), c.beep ? 1 : 0);
    EXPECT_EQ(box.CurrentLine(), c.lineAfter);
    EXPECT_EQ(box.CaretColumn(), c.columnAfter);
    std::vector<std::size_t> lengths;
    for (const draw::TextLine& line : box.Lines()) lengths.push_back(line.size());
    EXPECT_EQ(lengths, c.lengthsAfter);
    EXPECT_TRUE(boxes->Texts().empty());
  }
}

TEST_F(TextBoxTest, ControlCharactersAreIgnored) {
  Type(kCur6x8, U"A");
  Type(kCur6x8, std::u32string{U'\b', U'\r', U'\x1B', U'\t', U'\x1F'});
  EXPECT_EQ(box.Lines()[0].size(), 1u);
  EXPECT_EQ(box.CaretColumn(), 1);
  EXPECT_EQ(boxes->Beeps(), 0);
}

TEST_F(TextBoxTest, TypingInTheMiddleInsertsAtTheCaret) {
  Type(kCur6x8, U"AC");
  box.KeyDown(TextKey::kLeft);
  Type(kCur8x8, U"B");
  ASSERT_EQ(box.Lines()[0].size(), 3u);
  EXPECT_EQ(box.Lines()[0][1].code, 'B');
  EXPECT_EQ(box.Lines()[0][1].fontName, kCur8x8);
  EXPECT_EQ(box.CaretColumn(), 2);
  EXPECT_EQ(box.CaretRect().x(), (6 + 8) * 3);
  ExpectGlyphAt(box.Image(), {18, 0}, 1, 'B', kRed, 3);
  ExpectGlyphAt(box.Image(), {42, 0}, 0, 'C', kRed, 3);
}

TEST_F(TextBoxTest, EachCharacterKeepsItsColour) {
  Type(kCur6x8, U"A");
  model.SetColorIndex(3);
  Type(kCur6x8, U"B");
  EXPECT_EQ(box.Lines()[0][0].colour, kRed);
  EXPECT_EQ(box.Lines()[0][1].colour, kGreen);
  ExpectGlyphAt(box.Image(), {0, 0}, 0, 'A', kRed, 3);
  ExpectGlyphAt(box.Image(), {18, 0}, 0, 'B', kGreen, 3);
}

TEST_F(TextBoxTest, APairInASignFontBeepsAndIsNotInserted) {
  Type(kCur6x8, U"A\u4E00");
  EXPECT_EQ(box.Lines()[0].size(), 1u);
  EXPECT_EQ(boxes->Beeps(), 1);
  // Were it inserted, its trail byte 0x40 would paint the glyph of "@".
  EXPECT_EQ(box.ContentWidth(), 6);
}

TEST_F(TextBoxTest, ACharacterOutsideTheCodePageBeeps) {
  Type(kCur6x8, U"\u0E01");
  EXPECT_TRUE(box.Lines()[0].empty());
  EXPECT_EQ(boxes->Beeps(), 1);
}

TEST_F(TextBoxTest, FontNotFoundIsShownOnceWhenTyped) {
  // Cut the font inside the glyph of 'A' (code 0x41: 6 + (0x41 - 31) * 8 bytes in).
  signfontmaker::WriteTruncatedTaggedFont(Dir(), 0, 6 + (0x41 - 31) * 8 + 3);
  fonts.Open(Dir(), signfont::kDrawingFontCount);
  Type(kCur6x8, U"A");
  EXPECT_EQ(boxes->Texts(), std::vector<std::string>{"Font not found!"});
  // Laying out, painting and further edits never show it again.
  box.Relayout();
  (void)box.FramedImage();
  Type(kCur6x8, U"!");  // before the cut: drawn
  box.KeyDown(TextKey::kEnter);
  box.KeyDown(TextKey::kUp);
  EXPECT_EQ(boxes->Texts().size(), 1u);
  // The character stays, a black cell.
  ASSERT_EQ(box.Lines()[0].size(), 2u);
  ExpectBlack(box.Image(), QRect(0, 0, 18, 24));
  ExpectGlyphAt(box.Image(), {18, 0}, 0, '!', kRed, 3);
  // Typed again, it warns again.
  Type(kCur6x8, U"A");
  EXPECT_EQ(boxes->Texts().size(), 2u);
}

TEST_F(TextBoxTest, DragsInWholeSignPixels) {
  struct Case {
    QPoint press, to;
    QPoint moved;
  };
  const Case cases[] = {
      {{0, 0}, {4, 0}, {3, 0}},   {{0, 0}, {2, 0}, {0, 0}},     {{5, 5}, {5, 11}, {0, 6}},
      {{9, 9}, {5, 9}, {-3, 0}},  {{9, 9}, {7, 7}, {0, 0}},     {{0, 0}, {-7, 10}, {-6, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.to.x() << "," << c.to.y());
    box.Open({30, 60});
    box.PressAt(c.press);
    EXPECT_TRUE(box.Dragging());
    EXPECT_EQ(box.DragTo(c.to), c.moved != QPoint(0, 0));
    EXPECT_EQ(box.Position(), QPoint(30, 60) + c.moved);
    box.Release();
    EXPECT_FALSE(box.Dragging());
    EXPECT_FALSE(box.DragTo(c.to + QPoint(30, 30)));  // no drag without the button
  }
}

TEST_F(TextBoxTest, FrameIsDottedAndInverting) {
  Type(kCur6x8, U"A");
  const QImage framed = box.FramedImage();
  ASSERT_EQ(framed.size(), box.Size());
  int inverted = 0;
  for (int y = 0; y < framed.height(); ++y) {
    for (int x = 0; x < framed.width(); ++x) {
      const QRgb plain = PixelAt(box.Image(), x, y);
      const bool border = x == 0 || y == 0 || x == framed.width() - 1 || y == framed.height() - 1;
      const QRgb want = border && (x + y) % 2 == 0 ? (plain ^ 0x00FFFFFFu) : plain;
      ASSERT_EQ(PixelAt(framed, x, y), want) << x << "," << y;
      inverted += want != plain;
    }
  }
  EXPECT_GT(inverted, 0);
  QImage twice = framed;
  draw::DrawDottedFrame(twice);
  EXPECT_EQ(twice, box.Image());
}

TEST_F(TextBoxTest, OpenPlacesAndClears) {
  Type(kCur6x8, U"AB");
  box.Open({33, 66});
  EXPECT_TRUE(box.IsShown());
  EXPECT_EQ(box.Position(), QPoint(33, 66));
  EXPECT_EQ(box.Lines().size(), 1u);
  EXPECT_TRUE(box.Lines()[0].empty());
  EXPECT_EQ(box.Size(), QSize(30, 30));
  box.Hide();
  EXPECT_FALSE(box.IsShown());
}

TEST_F(TextBoxTest, FollowsTheScale) {
  Type(kCur6x8, U"A");
  model.SetZoomed(true);
  box.Relayout();
  EXPECT_EQ(box.Scale(), model.Scale());
  EXPECT_EQ(box.Size(), QSize(16 * model.Scale(), 8 * model.Scale()));
  ExpectGlyphAt(box.Image(), {0, 0}, 0, 'A', kRed, model.Scale());
}

// A screen font installed here, for the screen-font cases.
QString SomeScreenFamily() {
  const QStringList families = QFontDatabase::families();
  return families.isEmpty() ? QString() : families.front();
}

TEST_F(TextBoxTest, ScreenFontCharactersAreMeasuredInPixels) {
  const QString family = SomeScreenFamily();
  if (family.isEmpty()) GTEST_SKIP() << "no screen font installed";
  Type(family.toStdString(), U"W", 12);
  ASSERT_EQ(box.Lines()[0].size(), 1u);
  EXPECT_EQ(box.Lines()[0][0].pointSize, 12);
  // 12 points at 96 pixels an inch are 16 pixels.
  QFont font(family);
  font.setPixelSize(16);
  font.setStyleStrategy(QFont::NoAntialias);
  const QFontMetrics metrics(font);
  EXPECT_EQ(box.ContentWidth(), metrics.horizontalAdvance(QStringLiteral("W")));
  EXPECT_EQ(box.ContentHeight(), metrics.height());
  EXPECT_EQ(box.Size(), QSize((box.ContentWidth() + 10) * 3, box.ContentHeight() * 3));
  // Unsmoothed: only the colour and black, and some of the colour.
  int lit = 0;
  for (int y = 0; y < box.Size().height(); ++y) {
    for (int x = 0; x < box.Size().width(); ++x) {
      const QRgb p = PixelAt(box.Image(), x, y);
      ASSERT_TRUE(p == kBlack || p == kRed) << x << "," << y;
      lit += p == kRed;
    }
  }
  EXPECT_GT(lit, 0);
  EXPECT_EQ(lit % 9, 0);  // whole sign pixels
}

TEST_F(TextBoxTest, APairInAScreenFontIsOneCharacter) {
  const QString family = SomeScreenFamily();
  if (family.isEmpty()) GTEST_SKIP() << "no screen font installed";
  Type(family.toStdString(), U"\u4E00A", 10);
  ASSERT_EQ(box.Lines()[0].size(), 2u);
  EXPECT_EQ(box.Lines()[0][0].code, 0xA440);
  EXPECT_TRUE(box.Lines()[0][0].IsPair());
  EXPECT_EQ(box.Lines()[0][0].pointSize, 10);
  EXPECT_EQ(box.Lines()[0][1].code, 'A');
  EXPECT_EQ(box.CaretColumn(), 2);
  EXPECT_EQ(boxes->Beeps(), 0);
}

TEST_F(TextBoxTest, SignFontCharactersKeepNoPointSize) {
  Type(kCur6x8, U"A", 24);
  EXPECT_EQ(box.Lines()[0][0].pointSize, 0);
}

TEST_F(TextBoxTest, AnyRunOfKeysKeepsTheBoxWhole) {
  std::mt19937 random(19);
  const TextKey keys[] = {TextKey::kBackspace, TextKey::kEnter, TextKey::kEnd,   TextKey::kHome, TextKey::kLeft,
                          TextKey::kUp,        TextKey::kRight, TextKey::kDown, TextKey::kDelete};
  const std::string fontsToType[] = {kCur6x8, kCur8x8, kXmi8x16, kCuri11x16};
  const std::u32string characters = U"A~ \u4E00\u0E01\x7F";
  for (int step = 0; step < 3000; ++step) {
    if (step % 100 == 0) box.ClearText();  // a box's worth of text at a time
    if (random() % 3 == 0) {
      Type(fontsToType[random() % 4], std::u32string(1, characters[random() % characters.size()]));
    } else {
      box.KeyDown(keys[random() % 9]);
    }
    ASSERT_GE(box.Lines().size(), 1u);
    ASSERT_GE(box.CurrentLine(), 0);
    ASSERT_LT(box.CurrentLine(), static_cast<int>(box.Lines().size()));
    const int length = static_cast<int>(box.Lines()[static_cast<std::size_t>(box.CurrentLine())].size());
    ASSERT_GE(box.CaretColumn(), 0);
    ASSERT_LE(box.CaretColumn(), length);
    int height = 0;
    int width = 0;
    for (int i = 0; i < static_cast<int>(box.Lines().size()); ++i) {
      ASSERT_EQ(box.LineTop(i), height * 3);
      height += box.LineHeight(i);
      int w = 0;
      for (const draw::TextChar& c : box.Lines()[static_cast<std::size_t>(i)]) {
        ASSERT_FALSE(c.IsPair());  // never in a sign font
        w += signfont::FontInfo(*signfont::FindSignFont(c.fontName)).cellWidth;
      }
      width = std::max(width, w);
    }
    ASSERT_EQ(box.ContentHeight(), height);
    ASSERT_EQ(box.ContentWidth(), width);
    ASSERT_EQ(box.Size(), QSize((width + 10) * 3, height * 3));
    ASSERT_LE(box.CaretRect().right(), box.Size().width());
  }
  EXPECT_TRUE(boxes->Texts().empty());
}

}  // namespace
