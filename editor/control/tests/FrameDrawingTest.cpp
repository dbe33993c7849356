#include <gtest/gtest.h>

#include "EditorFixture.h"
#include "ExpectedPicture.h"
#include "common/ColorCode.h"

namespace editor {
namespace {

using testsupport::EditorFixture;
using testsupport::FirstDifference;
using testsupport::Filled;
using testsupport::PutStretched;
using testsupport::TaggedGlyph;

constexpr SignGeometry kSign160x16{160, 16};
constexpr SignGeometry kSign160x8{160, 8};
constexpr SignGeometry kSign80x7{80, 7};
constexpr int kCur6x8 = 0, kCur8x8 = 1, kXmi8x16 = 2, kTsw11x16 = 5;
constexpr QRgb kBlack = qRgb(0, 0, 0);

QRgb Colour(int index) { return colorcode::ColorIndexToColor(index); }

TEST(FrameDrawing, TwoLineFrameDrawsUpperAndLowerHalves) {
  EditorFixture fx(kSign160x16);
  fx.model.CurrentColor = 1;
  fx.TypeIn(kCur8x8, 1, U'B');  // line 1, the lower half
  fx.editor->KeyDown(EditorKey::Up);
  fx.model.CurrentColor = 2;
  fx.TypeIn(kCur8x8, 1, U'A');  // line 2, the upper half
  fx.editor->DrawFrame(fx.Frame().Picture, 0, true);

  QImage want = Filled(480, 48, kBlack);
  // One 8-pixel character centred: (480 - 24) / 2.
  PutStretched(want, TaggedGlyph('A', 8, 8, Colour(2)), 228, 0, 24, 24);
  PutStretched(want, TaggedGlyph('B', 8, 8, Colour(1)), 228, 24, 24, 24);
  EXPECT_EQ(FirstDifference(fx.Frame().Picture, want), "");
  EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
  // The current line is drawn last, so its band is the one left set.
  EXPECT_EQ(fx.editor->BandTop(), 0);
  EXPECT_EQ(fx.editor->BandBottom(), 24);
}

TEST(FrameDrawing, FixedPartIsSilverAndTextCentresBesideIt) {
  EditorFixture fx(kSign160x16);
  ASSERT_TRUE(fx.model.InsertFrame(1));
  ASSERT_TRUE(fx.model.MakeFixed(0, 40));
  fx.editor->SelectFrame(0, 1);
  fx.TypeIn(kXmi8x16, 1);
  EXPECT_EQ(fx.editor->FixedPartWidth(1), 120);

  QImage want = Filled(480, 48, kBlack);
  PutStretched(want, Filled(1, 1, 0xFFC0C0C0u), 0, 0, 120, 48);
  // Centred in the 360 columns beside the fixed part: 120 + (360 - 24) / 2.
  PutStretched(want, TaggedGlyph('A', 16, 8, Colour(0)), 288, 0, 24, 48);
  EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
}

TEST(FrameDrawing, CellSizesOnScreen) {
  struct Case {
    const char* what;
    int width;    // screen pixels
    int height;
  };
  EditorFixture fx(kSign160x8);
  QImage beep = Filled(20, 20, qRgb(255, 255, 255));
  fx.host.SetBeepPicture(beep);
  QImage logo = Filled(10, 7, qRgb(255, 0, 0));

  {
    SCOPED_TRACE("bold 6x8 character");
    fx.host.bold = true;
    fx.TypeIn(kCur6x8, 1);
    fx.host.bold = false;
    QImage want = Filled(480, 24, kBlack);
    PutStretched(want, TaggedGlyph('A', 8, 6, Colour(0)), (480 - 36) / 2, 0, 36, 24);
    EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
    fx.editor->ClearFrame();
  }
  {
    SCOPED_TRACE("beep");
    fx.editor->InsertCell('B', 'x', true);
    QImage want = Filled(480, 24, kBlack);
    PutStretched(want, beep, (480 - 24) / 2, 0, 24, 24);
    EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
    fx.editor->ClearFrame();
  }
  {
    SCOPED_TRACE("10 x 7 logo");
    ASSERT_TRUE(fx.editor->InsertLogo(logo));
    QImage want = Filled(480, 24, kBlack);
    PutStretched(want, logo, (480 - 30) / 2, 0, 30, 21);
    EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
  }
}

TEST(FrameDrawing, ReverseSwapsLitAndUnlit) {
  EditorFixture fx(kSign160x8);
  fx.host.reverse = true;
  fx.model.CurrentColor = 3;
  fx.TypeIn(kCur8x8, 1, U'Z');
  QImage want = Filled(480, 24, kBlack);
  PutStretched(want, TaggedGlyph('Z', 8, 8, Colour(3), true), 228, 0, 24, 24);
  EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
}

TEST(FrameDrawing, EightRowGlyphSqueezedOntoASevenRowSign) {
  EditorFixture fx(kSign80x7);
  fx.TypeIn(kCur8x8, 1);
  QImage want = Filled(240, 21, kBlack);
  PutStretched(want, TaggedGlyph('A', 8, 8, Colour(0)), (240 - 24) / 2, 0, 24, 21);
  EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
  // The glyph's top row (the code 0x41) and its bottom row (7: three columns) both show.
  EXPECT_EQ(fx.editor->Canvas().pixel(108 + 3, 0) & 0xFFFFFF, Colour(0) & 0xFFFFFF);
  EXPECT_EQ(fx.editor->Canvas().pixel(108 + 23, 20) & 0xFFFFFF, Colour(0) & 0xFFFFFF);
}

TEST(FrameDrawing, PairDrawnByItsLeadFromTheDoubleByteFont) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kXmi8x16, 0);
  fx.editor->TypeCharacter(U'\u4E00');  // A4 40: 30-byte glyph, rows 1-15 of the cell
  QImage glyph = Filled(16, 16, kBlack);
  for (int r = 0; r < 15; ++r) {
    const int bytes[2] = {r == 0 ? 0xA4 : r == 1 ? 0xA4 ^ 0xFF : r, r == 0 ? 0x40 : r == 1 ? 0x40 ^ 0xFF : r};
    for (int c = 0; c < 16; ++c)
      if (((bytes[c / 8] << (c % 8)) & 0x80) != 0) glyph.setPixel(c, r + 1, Colour(0));
  }
  QImage want = Filled(480, 48, kBlack);
  PutStretched(want, glyph, (480 - 48) / 2, 0, 48, 48);
  EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
}

TEST(FrameDrawing, CellsWithoutAFontPaintNothing) {
  EditorFixture fx(kSign160x16);
  TFrame& f = fx.Frame();
  f.Layout = 1;
  f.InsertCellAt(1, 1, {'N', static_cast<char>(0xA4), '8', '0', '2'});  // a lead without its trail, reverse
  f.InsertCellAt(1, 2, {'N', 'A', 'Q', '0', '2'});                        // no font digit
  f.InsertCellAt(1, 3, {'@', '0', '0', '9', '0'});                        // a logo the list does not hold
  fx.editor->DrawFrame(f.Picture, 0, true);
  EXPECT_EQ(FirstDifference(f.Picture, Filled(480, 48, kBlack)), "");
  EXPECT_TRUE(fx.boxes->Texts().empty());
}

TEST(FrameDrawing, FontNotFoundShownOnceAfterTheDrawing) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kXmi8x16, 3);
  // Code 'A' of a 16-byte font lies at 6 + 34 x 16 = 550: beyond a 300-byte file.
  signfontmaker::WriteTruncatedTaggedFont(fx.fontDir.path().toStdString(), kXmi8x16, 300);
  fx.fonts.Open(fx.fontDir.path().toStdString());
  ASSERT_TRUE(fx.boxes->Texts().empty());
  fx.editor->DrawFrame(fx.Frame().Picture, 0, true);
  EXPECT_EQ(fx.boxes->Texts(), std::vector<std::string>{signfont::kFontNotFoundText});
  EXPECT_EQ(FirstDifference(fx.Frame().Picture, Filled(480, 48, kBlack)), "");
}

TEST(FrameDrawing, LineWiderThanTheControlShowsFromItsFirstCell) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kXmi8x16, 25, U'C');
  fx.editor->KeyDown(EditorKey::Left);  // keeps the view from cell 7
  ASSERT_EQ(fx.Frame().FirstCell[1], 7);
  QImage want = Filled(480, 48, kBlack);
  for (int i = 0; i < 19; ++i) PutStretched(want, TaggedGlyph('C', 16, 8, Colour(0)), 24 * i, 0, 24, 48);
  EXPECT_EQ(FirstDifference(fx.editor->Canvas(), want), "");
}

TEST(Caret, BarUnderTheCellAfterTheLastTswCell) {
  EditorFixture fx(kSign160x16);
  fx.TypeIn(kTsw11x16, 1);
  // One 33-pixel cell centred: (480 - 33) / 2 = 223, so the caret starts at 256.
  EXPECT_TRUE(fx.editor->Caret().shown);
  EXPECT_EQ(fx.editor->Caret().rect, QRect(256, 44, 33, 3));
  EXPECT_EQ(fx.host.columns.back(), 2);
  fx.editor->KeyDown(EditorKey::Left);
  EXPECT_EQ(fx.editor->Caret().rect, QRect(223, 44, 33, 3));
  // The caret never enters the picture.
  EXPECT_EQ(fx.editor->Canvas().pixel(230, 45) & 0xFFFFFF, 0u);
}

TEST(Caret, InTheUpperHalfLine) {
  EditorFixture fx(kSign160x16);
  fx.model.CurrentFont = kCur8x8;
  fx.editor->KeyDown(EditorKey::Up);
  EXPECT_EQ(fx.editor->Caret().rect, QRect(240, 20, 24, 3));
}

class RecordingView : public BillEditorView {
 public:
  void CanvasChanged() override { ++canvasChanges; }
  void CaretChanged() override { ++caretChanges; }
  void MoveControl(QPoint topLeft) override { moves.push_back(topLeft); }
  void TakeFocus() override { ++focusTakes; }
  int canvasChanges = 0, caretChanges = 0, focusTakes = 0;
  std::vector<QPoint> moves;
};

TEST(SelectFrame, ScrollsTheListSoTheFrameIsTheLastVisibleRow) {
  EditorFixture fx(kSign160x16);
  RecordingView view;
  fx.editor->SetView(&view);
  for (int i = 1; i <= 12; ++i) ASSERT_TRUE(fx.model.InsertFrame(i));
  fx.model.Frame(12).HasFixedPart = true;
  fx.model.VisibleRows = 8;
  fx.TypeIn(kXmi8x16, 1);
  const QImage shown = fx.editor->Canvas().copy();
  fx.host.fixStates.clear();

  fx.editor->SelectFrame(0, 12);
  EXPECT_EQ(fx.model.CurrentFrame, 12);
  EXPECT_EQ(fx.model.FirstVisibleRow, 5);
  EXPECT_EQ(fx.host.fixStates, std::vector<bool>{true});
  // Row 7 of the list: EditorTop + 7 x (48 + 30).
  EXPECT_EQ(view.moves, std::vector<QPoint>{QPoint(209, 40 + 7 * 78)});
  EXPECT_EQ(view.focusTakes, 1);
  EXPECT_EQ(fx.host.frameListDraws, 1);
  EXPECT_EQ(FirstDifference(fx.model.Frame(0).Picture, shown), "");
  EXPECT_GT(view.canvasChanges, 0);

  // Back to the top: all 13 frames do not fit, so the list scrolls to frame 0.
  fx.editor->SelectFrame(12, 0);
  EXPECT_EQ(fx.model.FirstVisibleRow, 0);
  fx.editor->SetView(nullptr);
}

TEST(SelectFrame, TopRowWhenEveryFrameFits) {
  EditorFixture fx(kSign160x16);
  for (int i = 1; i <= 3; ++i) ASSERT_TRUE(fx.model.InsertFrame(i));
  fx.model.FirstVisibleRow = 2;
  fx.editor->SelectFrame(0, 2);
  EXPECT_EQ(fx.model.FirstVisibleRow, 0);
}

TEST(DrawFrame, LeavesTheTextOffsetOfTheFrameDrawn) {
  EditorFixture fx(kSign160x16);
  ASSERT_TRUE(fx.model.InsertFrame(1));
  fx.TypeIn(kXmi8x16, 2);
  const int current = fx.editor->TextOffset();
  EXPECT_EQ(current, (480 - 48) / 2);
  fx.editor->DrawFrame(fx.model.Frame(1).Picture, 1, true);
  EXPECT_EQ(fx.editor->TextOffset(), 240);  // frame 1's empty line centred
}

}  // namespace
}  // namespace editor
