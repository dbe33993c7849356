#include <gtest/gtest.h>

#include "EditorFixture.h"

namespace editor {
namespace {

using testsupport::EditorFixture;

constexpr SignGeometry kSign160x16{160, 16};
constexpr SignGeometry kSign160x8{160, 8};
constexpr SignGeometry kSign80x7{80, 7};

constexpr int kCur6x8 = 0, kCur8x8 = 1, kXmi8x16 = 2, kPcb8x16 = 4, kTsw11x16 = 5, kMingAscii = 7;

TEST(TypingDecidesTheLayout, FirstCharacterOnATallSign) {
  struct Case {
    int font;
    int layout;
  };
  for (const Case c : {Case{kXmi8x16, 1}, Case{kCur6x8, 2}}) {
    SCOPED_TRACE(c.font);
    EditorFixture fx(kSign160x16);
    fx.model.CurrentFont = c.font;
    fx.editor->TypeCharacter(U'A');
    EXPECT_EQ(fx.Frame().Layout, c.layout);
    EXPECT_EQ(fx.Frame().CurLine, 1);
    EXPECT_EQ(fx.Codes(), "A");
    EXPECT_EQ(fx.Fonts(), std::string(1, static_cast<char>('0' + c.font)));
    EXPECT_EQ(fx.Caret(), 2);
    EXPECT_EQ(fx.host.modifiedCalls, std::vector<bool>{true});
  }
}

TEST(TypingDecidesTheLayout, DecisionStaysAfterALaterRefusal) {
  EditorFixture fx(kSign160x16);
  fx.Frame().FixedFrame = true;
  fx.Frame().HasFixedPart = true;
  fx.model.CurrentFont = kXmi8x16;
  // A logo wider than half the sign is refused, but the frame is now one line.
  QImage wide(100, 8, QImage::Format_RGB32);
  wide.fill(Qt::white);
  EXPECT_FALSE(fx.editor->InsertLogo(wide));
  EXPECT_EQ(fx.Frame().Layout, 1);
  EXPECT_EQ(fx.boxes->Texts(), std::vector<std::string>{kHalfLengthText});
  EXPECT_EQ(fx.model.LogoCount(), 0);
}

TEST(TypingChecksTheFont, RefusalsPerSignHeight) {
  struct Case {
    SignGeometry sign;
    int layout;  // preset before typing
    int font;
    bool accepted;
  };
  const Case cases[] = {
      {kSign160x16, 2, kPcb8x16, false}, {kSign160x16, 2, kCur8x8, true},   {kSign160x16, 1, kCur6x8, false},
      {kSign160x16, 1, kTsw11x16, true}, {kSign160x16, 1, kMingAscii, true}, {kSign160x8, 1, kXmi8x16, false},
      {kSign160x8, 1, kMingAscii, false}, {kSign160x8, 1, kCur6x8, true},    {kSign80x7, 1, kCur8x8, true},
      {kSign80x7, 1, kTsw11x16, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sign.height << " rows, layout " << c.layout << ", font " << c.font);
    EditorFixture fx(c.sign);
    fx.Frame().Layout = static_cast<std::uint8_t>(c.layout);
    fx.model.CurrentFont = c.font;
    EXPECT_EQ(fx.editor->InsertCell('N', 'A', true), c.accepted);
    EXPECT_EQ(fx.Frame().CellCount(1), c.accepted ? 1 : 0);
    EXPECT_EQ(fx.boxes->Texts(), c.accepted ? std::vector<std::string>{} : std::vector<std::string>{kFontUnacceptableText});
    EXPECT_EQ(fx.Frame().Layout, c.layout);
  }
}

TEST(FixedFrame, HalfTheSignWidthAtMost) {
  struct Case {
    int layout;
    int fillFont;   // 72 sign pixels of text in this font first
    int fillCount;
    int font;       // then one more character
    bool pair;      // or a double-byte pair
    bool accepted;
    int widthAfter;
  };
  const Case cases[] = {
      {2, kCur8x8, 9, kCur6x8, false, true, 78},     // +6
      {2, kCur8x8, 9, kCur8x8, true, false, 72},     // a pair counts 16
      {1, kXmi8x16, 9, kMingAscii, false, false, 72},  // Ming ASCII counts 16, though drawn 8 wide
      {1, kXmi8x16, 9, kXmi8x16, false, true, 80},   // 240 screen pixels: exactly half
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "font " << c.font << (c.pair ? " pair" : ""));
    EditorFixture fx(kSign160x16);
    fx.Frame().Layout = static_cast<std::uint8_t>(c.layout);
    fx.TypeIn(c.fillFont, c.fillCount);
    fx.Frame().FixedFrame = true;
    fx.Frame().HasFixedPart = true;
    ASSERT_EQ(fx.editor->FrameTextWidth(0), 72);
    fx.model.CurrentFont = c.font;
    const bool inserted = c.pair ? fx.editor->InsertPair(0xA4, 0x40) : fx.editor->InsertCell('N', 'B', true);
    EXPECT_EQ(inserted, c.accepted);
    EXPECT_EQ(fx.editor->LineWidth(0, 1), c.widthAfter);
    EXPECT_EQ(fx.Frame().FixedWidth, c.accepted ? c.widthAfter : 0);
    EXPECT_EQ(fx.boxes->Texts(), c.accepted ? std::vector<std::string>{} : std::vector<std::string>{kHalfLengthText});
  }
}

TEST(Pairs, TypedBig5CharacterIsTwoCellsCountedOnce) {
  EditorFixture fx(kSign160x16);
  fx.model.CurrentFont = kXmi8x16;
  fx.editor->TypeCharacter(U'\u4E00');  // Big5 A4 40
  EXPECT_EQ(fx.Codes(), "\xA4\x40");
  EXPECT_EQ(fx.Fonts(), "8X");
  EXPECT_EQ(fx.editor->CellCount(0, 1), 1);
  EXPECT_EQ(fx.editor->TextWidth(0, 2), 16);
  EXPECT_EQ(fx.editor->LineWidth(0, 1), 16);
  EXPECT_EQ(fx.Caret(), 3);
  EXPECT_EQ(fx.host.modifiedCalls, std::vector<bool>{true});
  EXPECT_EQ(fx.boxes->Beeps(), 0);
}

TEST(Pairs, ReservedAreaPairIsRefused) {
  EditorFixture fx(kSign160x16);
  fx.model.CurrentFont = kXmi8x16;
  EXPECT_FALSE(fx.editor->InsertPair(0xC6, 0xA1));
  EXPECT_EQ(fx.boxes->Texts(), std::vector<std::string>{kFontUnacceptableText});
  EXPECT_EQ(fx.Frame().Length(1), 0);
  EXPECT_TRUE(fx.host.modifiedCalls.empty());
}

TEST(Pairs, NoHalfPairIsEverStored) {
  // A lone byte of 128 or more typed on its own is not a pending lead.
  EditorFixture fx(kSign160x16);
  fx.model.CurrentFont = kXmi8x16;
  fx.editor->TypeCharacter(U'\u00E9');  // no Big5 character
  EXPECT_EQ(fx.boxes->Beeps(), 1);
  fx.editor->TypeCharacter(U'A');
  EXPECT_EQ(fx.Codes(), "A");
  EXPECT_EQ(fx.Fonts(), "2");
}

TEST(Limits, HundredCellsALine) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kXmi8x16, 99);
  fx.editor->TypeCharacter(U'\u4E00');  // the 100th cell, a pair
  EXPECT_EQ(fx.editor->CellCount(0, 1), 100);
  EXPECT_EQ(fx.boxes->Beeps(), 0);
  const std::string before = fx.Codes();
  fx.editor->TypeCharacter(U'B');
  fx.editor->TypeCharacter(U'\u4E00');
  fx.editor->InsertCell('B', 'x', true);
  EXPECT_EQ(fx.boxes->Beeps(), 3);
  EXPECT_EQ(fx.Codes(), before);
  EXPECT_EQ(fx.Caret(), 102);
}

TEST(Limits, TypedControlCodesAreIgnoredSilently) {
  EditorFixture fx(kSign160x16);
  fx.model.CurrentFont = kXmi8x16;
  fx.editor->TypeText(U"\r\t\x1B" U"A");
  EXPECT_EQ(fx.Codes(), "A");
  EXPECT_EQ(fx.boxes->Beeps(), 0);
  EXPECT_TRUE(fx.boxes->Texts().empty());
}

TEST(Deleting, PairGoesWholeWhateverItsClass) {
  struct Case {
    std::uint8_t lead, trail;
    const char* fonts;
  };
  for (const Case c : {Case{0xA4, 0x40, "8X"}, Case{0xA1, 0x40, "9X"}, Case{0xFA, 0x40, "7X"}}) {
    SCOPED_TRACE(c.fonts);
    for (bool backspace : {false, true}) {
      EditorFixture fx(kSign160x16);
      fx.model.CurrentFont = kXmi8x16;
      fx.editor->TypeCharacter(U'A');
      ASSERT_TRUE(fx.editor->InsertPair(c.lead, c.trail));
      fx.editor->TypeCharacter(U'B');
      EXPECT_EQ(fx.Fonts(), std::string("2") + c.fonts + "2");
      fx.editor->KeyDown(EditorKey::Left);  // onto B
      if (backspace) {
        fx.editor->KeyDown(EditorKey::Backspace);
      } else {
        fx.editor->KeyDown(EditorKey::Left);  // onto the lead, past the trail
        EXPECT_EQ(fx.Caret(), 2);
        fx.editor->KeyDown(EditorKey::Delete);
      }
      EXPECT_EQ(fx.Codes(), "AB");
      EXPECT_EQ(fx.Caret(), 2);
      EXPECT_EQ(fx.boxes->Beeps(), 0);
    }
  }
}

TEST(Deleting, EmptyingBothLinesUndecidesTheLayout) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kCur8x8, 1);
  ASSERT_EQ(fx.Frame().Layout, 2);
  fx.editor->KeyDown(EditorKey::Backspace);
  EXPECT_EQ(fx.Frame().Layout, 0);
  fx.editor->KeyDown(EditorKey::Delete);  // nothing after the caret
  EXPECT_EQ(fx.boxes->Beeps(), 1);
}

TEST(Logos, DeletingLogoTwoRenumbersEveryFrame) {
  EditorFixture fx(kSign160x16);
  ASSERT_TRUE(fx.model.InsertFrame(1));
  QImage logo(4, 4, QImage::Format_RGB32);
  // Frame 0 holds logos 0, 1, 2 and a character; frame 1 logos 3 and 4.
  for (int i = 0; i < 5; ++i) {
    if (i == 3) fx.editor->SelectFrame(0, 1);
    logo.fill(qRgb(10 * i, 0, 0));
    ASSERT_TRUE(fx.editor->InsertLogo(logo));
  }
  fx.editor->SelectFrame(1, 0);
  fx.model.CurrentFont = kXmi8x16;
  fx.editor->TypeCharacter(U'A');
  fx.editor->KeyDown(EditorKey::Home);
  fx.editor->KeyDown(EditorKey::Right);
  fx.editor->KeyDown(EditorKey::Right);
  fx.editor->KeyDown(EditorKey::Delete);  // the cell of logo 2
  EXPECT_EQ(fx.model.LogoCount(), 4);
  EXPECT_EQ(fx.model.LogoList()[2].pixel(0, 0), qRgb(30, 0, 0));
  const TFrame& first = fx.model.Frame(0);
  EXPECT_EQ(first.LogoNumberAt(1, 1), 0);
  EXPECT_EQ(first.LogoNumberAt(1, 2), 1);
  EXPECT_EQ(first.Codes[1].substr(2), "A");
  const TFrame& second = fx.model.Frame(1);
  EXPECT_EQ(second.LogoNumberAt(1, 1), 2);
  EXPECT_EQ(second.LogoNumberAt(1, 2), 3);
  // A character cell renumbers nothing.
  fx.editor->KeyDown(EditorKey::Delete);
  EXPECT_EQ(fx.model.LogoCount(), 4);
  EXPECT_EQ(second.LogoNumberAt(1, 2), 3);
}

TEST(Logos, RefusedOnTwoLineFrames) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kCur8x8, 1);
  EXPECT_FALSE(fx.editor->InsertLogo(QImage(4, 4, QImage::Format_RGB32)));
  EXPECT_EQ(fx.boxes->Texts(), std::vector<std::string>{kLogoUnacceptableText});
  EXPECT_EQ(fx.model.LogoCount(), 0);
}

TEST(Logos, ClearFrameFreesThemAndKeepsTheFixedFrame) {
  EditorFixture fx(kSign160x16);
  ASSERT_TRUE(fx.model.InsertFrame(1));
  QImage logo(4, 4, QImage::Format_RGB32);
  logo.fill(Qt::red);
  fx.editor->InsertLogo(logo);
  fx.editor->SelectFrame(0, 1);
  fx.editor->InsertLogo(logo);
  fx.editor->SelectFrame(1, 0);
  fx.Frame().FixedFrame = true;
  fx.host.modifiedCalls.clear();
  fx.editor->ClearFrame();
  EXPECT_TRUE(fx.Frame().FixedFrame);
  EXPECT_EQ(fx.Frame().Layout, 0);
  EXPECT_EQ(fx.model.LogoCount(), 1);
  EXPECT_EQ(fx.model.Frame(1).LogoNumberAt(1, 1), 0);
  EXPECT_TRUE(fx.host.modifiedCalls.empty());
}

TEST(CaretKeys, UpAndDown) {
  struct Case {
    SignGeometry sign;
    int layout;
    int font;
    bool upMoves;
  };
  const Case cases[] = {
      {kSign160x16, 1, kXmi8x16, false}, {kSign160x16, 0, kCur8x8, true}, {kSign160x16, 0, kXmi8x16, false},
      {kSign160x16, 2, kXmi8x16, true},  {kSign160x8, 1, kCur8x8, false}, {kSign80x7, 1, kCur6x8, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sign.height << " rows, layout " << c.layout << ", font " << c.font);
    EditorFixture fx(c.sign);
    fx.Frame().Layout = static_cast<std::uint8_t>(c.layout);
    fx.model.CurrentFont = c.font;
    fx.editor->KeyDown(EditorKey::Up);
    EXPECT_EQ(fx.Frame().CurLine, c.upMoves ? 2 : 1);
    EXPECT_EQ(fx.boxes->Beeps(), c.upMoves ? 0 : 1);
    EXPECT_EQ(fx.Frame().Layout, c.layout);  // only typing decides it
    fx.editor->KeyDown(EditorKey::Up);       // already up, or still refused
    EXPECT_EQ(fx.boxes->Beeps(), c.upMoves ? 1 : 2);
    fx.editor->KeyDown(EditorKey::Down);
    EXPECT_EQ(fx.Frame().CurLine, 1);
    EXPECT_EQ(fx.boxes->Beeps(), c.upMoves ? 1 : 3);
  }
}

TEST(CaretKeys, EndsOfTheLineBeep) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kXmi8x16, 2);
  fx.editor->KeyDown(EditorKey::Right);
  fx.editor->KeyDown(EditorKey::End);
  EXPECT_EQ(fx.boxes->Beeps(), 2);
  fx.editor->KeyDown(EditorKey::Home);
  EXPECT_EQ(fx.Caret(), 1);
  fx.editor->KeyDown(EditorKey::Left);
  fx.editor->KeyDown(EditorKey::Home);
  fx.editor->KeyDown(EditorKey::Backspace);
  EXPECT_EQ(fx.boxes->Beeps(), 5);
  fx.editor->KeyDown(EditorKey::End);
  EXPECT_EQ(fx.Caret(), 3);
  EXPECT_EQ(fx.host.columns.back(), 3);
}

TEST(CaretKeys, PageKeysStepTheFrameListOnce) {
  EditorFixture fx(kSign160x16);
  fx.editor->KeyDown(EditorKey::PageUp);
  fx.editor->KeyDown(EditorKey::PageDown);
  fx.editor->KeyDown(EditorKey::PageDown);
  EXPECT_EQ(fx.host.previousSteps, 1);
  EXPECT_EQ(fx.host.nextSteps, 2);
}

TEST(Scrolling, LongLineShowsFromTheFirstCellThatFits) {
  EditorFixture fx(kSign160x16);
  // 25 cells of 24 screen pixels and the caret after them: 19 cells and the caret fill 480.
  fx.TypeIn(kXmi8x16, 25);
  EXPECT_EQ(fx.Frame().FirstCell[1], 7);
  fx.editor->KeyDown(EditorKey::Home);
  EXPECT_EQ(fx.Frame().FirstCell[1], 1);
  fx.editor->KeyDown(EditorKey::End);
  EXPECT_EQ(fx.Frame().FirstCell[1], 7);
  // Deleting until the line fits again centres it and shows it from the start.
  for (int i = 0; i < 6; ++i) fx.editor->KeyDown(EditorKey::Backspace);
  EXPECT_EQ(fx.Frame().FirstCell[1], 1);
  EXPECT_EQ(fx.editor->TextOffset(), (480 - 19 * 24) / 2);
}

TEST(Scrolling, FirstCellNeverLandsOnATrail) {
  EditorFixture fx(kSign160x16);
  fx.model.CurrentFont = kXmi8x16;
  for (int i = 0; i < 12; ++i) fx.editor->TypeCharacter(U'\u4E00');
  // From the start of the line to its end in one jump: counting back from the
  // caret, a pair counts with both its cells and the lead of cells 15-16 is
  // the first that does not fit.
  fx.editor->KeyDown(EditorKey::Home);
  fx.editor->KeyDown(EditorKey::End);
  const TFrame& f = fx.Frame();
  EXPECT_EQ(f.FirstCell[1], 17);
  EXPECT_FALSE(f.IsTrail(1, f.FirstCell[1]));
}

TEST(Widths, CellWidthsByKind) {
  EditorFixture fx(kSign160x16);
  fx.model.CurrentFont = kTsw11x16;
  fx.editor->TypeCharacter(U'A');
  fx.host.bold = true;
  fx.editor->TypeCharacter(U'B');
  fx.editor->InsertCell('B', 'x', true);
  QImage logo(10, 7, QImage::Format_RGB32);
  fx.editor->InsertLogo(logo);
  fx.editor->TypeCharacter(U'\u4E00');  // bold pair
  EXPECT_EQ(fx.editor->CellWidth(0, 1), 11);
  EXPECT_EQ(fx.editor->CellWidth(0, 2), 22);
  EXPECT_EQ(fx.editor->CellWidth(0, 3), 8);
  EXPECT_EQ(fx.editor->CellWidth(0, 4), 10);
  EXPECT_EQ(fx.editor->CellWidth(0, 5), 32);
  EXPECT_EQ(fx.editor->CellWidth(0, 6), 32);  // the trail as wide as its lead
  EXPECT_EQ(fx.editor->CellWidth(0, 7), 11);  // after the last cell: the current font, never doubled
  EXPECT_EQ(fx.editor->TextWidth(0, 6), 11 + 22 + 8 + 10 + 32);
  EXPECT_EQ(fx.editor->CellCount(0, 1), 5);
}

// Before the first message is made the model has no frame: the focus, keys,
// typing and inserts that reach the control then change and show nothing.
TEST(NoFrameYet, FocusKeysAndTypingDoNothing) {
  platform::ScopedRecordingBoxes boxes;
  const SignGeometry sign = kSign160x16;
  MessageModel model(sign);
  testsupport::RecordingHost host(ComputeGeometry(testsupport::kPanelWidth, testsupport::kPanelHeight, sign));
  QTemporaryDir fontDir;
  signfontmaker::WriteTaggedFonts(fontDir.path().toStdString());
  signfont::SignFontTable fonts;
  fonts.Open(fontDir.path().toStdString());
  TBillEditor editor(model, host, fonts);
  ASSERT_EQ(model.CurrentFrame, -1);
  EXPECT_FALSE(editor.HasFrame());
  editor.show_caret();
  EXPECT_FALSE(editor.Caret().shown);
  for (const EditorKey key : {EditorKey::End, EditorKey::Left, EditorKey::Up, EditorKey::Home, EditorKey::Right,
                              EditorKey::Delete, EditorKey::Down, EditorKey::Backspace}) {
    editor.KeyDown(key);
  }
  editor.TypeCharacter(U'A');
  editor.TypeCharacter(U'\u4E00');
  EXPECT_FALSE(editor.InsertCell(kKindBeep, kBeepCode, true));
  QImage logo(4, 4, QImage::Format_RGB32);
  logo.fill(Qt::red);
  EXPECT_FALSE(editor.InsertLogo(logo));
  editor.ClearFrame();
  EXPECT_EQ(model.FrameCount(), 0);
  EXPECT_EQ(model.LogoCount(), 0);
  EXPECT_TRUE(host.modifiedCalls.empty());
  EXPECT_TRUE(host.columns.empty());
  EXPECT_TRUE(boxes->Texts().empty());
  // Once the message is there the control works on its frame.
  model.NewMessage(fontDir.path().toStdString());
  editor.SelectFrame(-1, 0);
  EXPECT_TRUE(editor.HasFrame());
  EXPECT_TRUE(editor.Caret().shown);
  model.CurrentFont = kXmi8x16;
  editor.TypeCharacter(U'A');
  EXPECT_EQ(model.Frame(0).Codes[1], "A");
}

TEST(Widths, CellDataOutsideTheTablesCountsNothing) {
  EditorFixture fx(kSign160x16);
  TFrame& f = fx.Frame();
  f.Layout = 1;
  f.InsertCellAt(1, 1, {'N', 'A', 'Q', '0', '0'});  // no font digit
  f.InsertCellAt(1, 2, {'@', '0', '4', '2', '0'});  // logo 42 of none
  f.InsertCellAt(1, 3, {'?', 'A', '2', '0', '0'});  // no kind
  for (int p = 1; p <= 3; ++p) EXPECT_EQ(fx.editor->CellWidth(0, p), 0) << p;
  EXPECT_EQ(fx.editor->LineWidth(0, 1), 0);
  fx.editor->DrawFrame(f.Picture, 0, true);
  EXPECT_TRUE(fx.boxes->Texts().empty());
}

}  // namespace
}  // namespace editor
