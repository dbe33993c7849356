// Typing, deleting and the caret keys on the current frame. The model does
// the cell edits and their limits; the checks that need widths, fonts and the
// layout are made here first.
#include <algorithm>

#include "CellData.h"
#include "common/DoubleByteClass.h"
#include "common/Util.h"
#include "editor/BillEditor.h"

namespace editor {

using celldata::FontHeight;
using celldata::FontWidth;

TBillEditor::TBillEditor(MessageModel& model, EditorHost& host, const signfont::SignFontTable& fonts)
    : model_(model), host_(host), fonts_(fonts), geometry_(host.Geometry()) {
  canvas_ = QImage(geometry_.EditorWidth, geometry_.RowHeight, QImage::Format_RGB32);
  canvas_.fill(qRgb(0, 0, 0));
  model_.VisibleRows = geometry_.VisibleRows;
  bandBottom_ = geometry_.RowHeight;
}

TFrame& TBillEditor::Current() {
  TFrame& f = model_.Frame(CurrentIndex());
  Normalize(f);
  return f;
}

void TBillEditor::Normalize(TFrame& f) const {
  if (f.CurLine != 1 && f.CurLine != 2) f.CurLine = 1;
  const int line = f.CurLine;
  const int end = f.Length(line) + 1;
  for (std::int32_t* pos : {&f.CaretCell[line], &f.FirstCell[line]}) {
    *pos = std::clamp(*pos, 1, end);
    if (f.IsTrail(line, *pos)) ++*pos;
  }
}

// --- input ---

void TBillEditor::KeyDown(EditorKey key) {
  if (!HasFrame()) return;
  switch (key) {
    case EditorKey::Backspace: BackspaceCell(); break;
    case EditorKey::PageUp: host_.GotoPreviousFrame(); break;
    case EditorKey::PageDown: host_.GotoNextFrame(); break;
    case EditorKey::End: CaretEnd(); break;
    case EditorKey::Home: CaretHome(); break;
    case EditorKey::Left: CaretLeft(); break;
    case EditorKey::Up: CaretUp(); break;
    case EditorKey::Right: CaretRight(); break;
    case EditorKey::Down: CaretDown(); break;
    case EditorKey::Delete: DeleteCell(); break;
  }
}

void TBillEditor::TypeText(const std::u32string& text) {
  for (char32_t c : text) TypeCharacter(c);
}

void TBillEditor::TypeCharacter(char32_t character) {
  if (character < 32 || !HasFrame()) return;  // control codes are no characters of the sign
  const std::optional<std::string> big5 = signfont::UnicodeToBig5(character);
  if (big5 && big5->size() == 1 && static_cast<std::uint8_t>((*big5)[0]) < 0x80) {
    InsertCell(kKindCharacter, static_cast<std::uint8_t>((*big5)[0]), true);
  } else if (big5 && big5->size() == 2) {
    InsertPair(static_cast<std::uint8_t>((*big5)[0]), static_cast<std::uint8_t>((*big5)[1]));
  } else {
    util::Beep();  // the sign's code page has no such character
  }
}

// --- inserting ---

bool TBillEditor::CheckFontForLayout(TFrame& f) {
  const int height = FontHeight(model_.CurrentFont);
  bool acceptable = true;
  if (model_.Sign().height == 16) {
    if (f.Layout == 1) {
      acceptable = height == 16;
    } else if (f.Layout == 2) {
      acceptable = height == 8;
    } else if (height == 16) {
      // The first cell decides the layout, and it stays decided after a later refusal.
      f.Layout = 1;
      f.CurLine = 1;
    } else if (height == 8) {
      f.Layout = 2;
    }
  } else {
    acceptable = height != 16;  // 8-row fonts also go on a 7-row sign
  }
  if (!acceptable) util::ShowWarning(kFontUnacceptableText);
  return acceptable;
}

bool TBillEditor::FitsFixedFrame(const TFrame& f, int width) {
  if (!f.FixedFrame) return true;
  if ((TextWidthOn(f, f.CurLine, f.Length(f.CurLine)) + width) * kPictureScale <= EditorWidth() / 2) return true;
  util::ShowWarning(kHalfLengthText);
  return false;
}

char TBillEditor::CurrentAttr() const { return AttrDigit(host_.BoldDown(), host_.ReverseDown()); }

void TBillEditor::AfterInsert(bool fixedFrame) {
  const int index = CurrentIndex();
  if (fixedFrame) model_.Frame(index).FixedWidth = static_cast<std::uint16_t>(FrameTextWidth(index));
  CenterText(index);
  DrawLine(canvas_, index);
  CaretRight();
  host_.SetModified(true);
}

bool TBillEditor::InsertCell(char kind, std::uint8_t code, bool redraw) {
  if (kind != kKindCharacter && kind != kKindBeep) throw std::invalid_argument("InsertCell takes a character or a beep");
  if ((kind == kKindCharacter && code < 32) || !HasFrame()) return false;
  TFrame& f = Current();
  if (!CheckFontForLayout(f)) return false;
  // The Ming single-byte font is drawn 8 wide but counts as wide as a pair here.
  const int font = model_.CurrentFont;
  const int width = kind == kKindBeep ? kBeepWidth : (font == signfont::kMingAsciiFont ? kWideCellWidth : FontWidth(font));
  if (!FitsFixedFrame(f, width)) return false;
  const int line = f.CurLine;
  const int pos = f.CaretCell[line];
  const bool inserted =
      kind == kKindBeep ? model_.InsertBeep(CurrentIndex(), line, pos, font, model_.CurrentColor)
                        : model_.InsertCharacter(CurrentIndex(), line, pos, code, font, model_.CurrentColor, CurrentAttr());
  if (!inserted) return false;
  if (redraw) {
    AfterInsert(f.FixedFrame);
  } else {
    if (f.FixedFrame) f.FixedWidth = static_cast<std::uint16_t>(FrameTextWidth(CurrentIndex()));
    f.CaretCell[line] = pos + 1;
  }
  return true;
}

bool TBillEditor::InsertPair(std::uint8_t lead, std::uint8_t trail) {
  if (!signfont::IsBig5LeadByte(lead) || !signfont::IsBig5TrailByte(trail)) {
    util::Beep();
    return false;
  }
  if (!HasFrame()) return false;
  TFrame& f = Current();
  if (!CheckFontForLayout(f)) return false;
  if (!FitsFixedFrame(f, kWideCellWidth)) return false;
  const int line = f.CurLine;
  if (!model_.InsertPair(CurrentIndex(), line, f.CaretCell[line], lead, trail, model_.CurrentColor, CurrentAttr()))
    return false;
  AfterInsert(f.FixedFrame);
  return true;
}

bool TBillEditor::InsertLogo(const QImage& bitmap) {
  if (!HasFrame()) return false;
  TFrame& f = Current();
  if (f.Layout == 2) {
    util::ShowWarning(kLogoUnacceptableText);
    return false;
  }
  if (f.Layout == 0) {
    f.Layout = 1;
    f.CurLine = 1;
  }
  if (!FitsFixedFrame(f, bitmap.width())) return false;
  if (!model_.InsertLogo(CurrentIndex(), f.CurLine, f.CaretCell[f.CurLine], bitmap)) return false;
  AfterInsert(f.FixedFrame);
  return true;
}

// --- clearing and deleting ---

void TBillEditor::ClearFrame() {
  if (!HasFrame()) return;
  const int index = CurrentIndex();
  model_.ClearFrame(index);
  DrawFrame(canvas_, index, false);
  show_caret();
}

void TBillEditor::DeleteCell() {
  TFrame& f = Current();
  const int index = CurrentIndex();
  const int line = f.CurLine;
  if (!model_.DeleteCell(index, line, f.CaretCell[line])) return;  // beeps after the last cell
  if (f.LinesEmpty()) PaintBackground(canvas_, index);
  if (f.FixedFrame) f.FixedWidth = static_cast<std::uint16_t>(FrameTextWidth(index));
  CenterText(index);
  if (textOffset_ != 0) f.FirstCell[line] = 1;  // the line fits and is centred
  DrawLine(canvas_, index);
  show_caret();
  host_.SetModified(true);
}

void TBillEditor::RenumberLogos(int removed) { model_.RenumberLogos(removed); }

// --- caret ---

void TBillEditor::ScrollToCaret(int frame) {
  TFrame& f = model_.Frame(frame);
  Normalize(f);
  const int line = f.CurLine;
  const int caret = f.CaretCell[line];
  std::int32_t& first = f.FirstCell[line];
  if (caret == 1 || caret < first) {
    first = caret;
    return;
  }
  const int available = EditorWidth() - FixedPartWidth(frame);
  if ((TextWidthOn(f, line, caret) - TextWidthOn(f, line, first - 1)) * kPictureScale <= available) return;
  // Back from the caret cell as far as the cells fit; a trail counts with its lead's width.
  int shown = CellWidthOn(f, line, caret) * kPictureScale;
  for (int i = caret - 1; i >= 1; --i) {
    const int width = CellWidthOn(f, line, i) * kPictureScale;
    if (shown + width > available) {
      first = i + 1;
      // Cell i is the lead of a pair that does not fit: the line starts after the pair.
      if (f.IsTrail(line, first)) ++first;
      return;
    }
    shown += width;
  }
  first = 1;
}

void TBillEditor::StepCaret(int direction) {
  TFrame& f = Current();
  const int line = f.CurLine;
  std::int32_t& caret = f.CaretCell[line];
  caret += direction;
  if (f.IsTrail(line, caret)) caret += direction;  // the caret never rests on a trail
  const int firstBefore = f.FirstCell[line];
  ScrollToCaret(CurrentIndex());
  if (f.FirstCell[line] != firstBefore) DrawLine(canvas_, CurrentIndex());
  show_caret();
}

void TBillEditor::CaretLeft() {
  const TFrame& f = Current();
  if (f.CaretCell[f.CurLine] <= 1) {
    util::Beep();
    return;
  }
  StepCaret(-1);
}

void TBillEditor::CaretRight() {
  const TFrame& f = Current();
  if (f.CaretCell[f.CurLine] > f.Length(f.CurLine)) {
    util::Beep();
    return;
  }
  StepCaret(+1);
}

void TBillEditor::JumpCaret(bool alreadyThere, int target) {
  TFrame& f = Current();
  if (alreadyThere) {
    util::Beep();
    return;
  }
  f.CaretCell[f.CurLine] = target;
  ScrollToCaret(CurrentIndex());
  DrawLine(canvas_, CurrentIndex());
  show_caret();
}

void TBillEditor::CaretHome() {
  const TFrame& f = Current();
  JumpCaret(f.CaretCell[f.CurLine] == 1 && f.FirstCell[f.CurLine] == 1, 1);
}

void TBillEditor::CaretEnd() {
  const TFrame& f = Current();
  JumpCaret(f.CaretCell[f.CurLine] > f.Length(f.CurLine), f.Length(f.CurLine) + 1);
}

void TBillEditor::BackspaceCell() {
  TFrame& f = Current();
  const int line = f.CurLine;
  std::int32_t& caret = f.CaretCell[line];
  if (caret <= 1) {
    util::Beep();
    return;
  }
  --caret;
  if (f.IsTrail(line, caret)) --caret;
  ScrollToCaret(CurrentIndex());
  DeleteCell();
}

void TBillEditor::CaretUp() {
  TFrame& f = Current();
  // The upper half line exists only in two-line frames of a 16-row sign; an
  // undecided frame goes there only with an 8-row font at hand.
  const bool allowed = model_.Sign().height == 16 && f.CurLine != 2 && f.Layout != 1 &&
                       (f.Layout != 0 || FontHeight(model_.CurrentFont) == 8);
  if (!allowed) {
    util::Beep();
    return;
  }
  f.CurLine = 2;
  CenterText(CurrentIndex());
  show_caret();
}

void TBillEditor::CaretDown() {
  TFrame& f = Current();
  if (f.CurLine == 1) {
    util::Beep();
    return;
  }
  f.CurLine = 1;
  CenterText(CurrentIndex());
  show_caret();
}

}  // namespace editor
