// The width and centring arithmetic that drawing and sending rely on.
#include <algorithm>

#include "CellData.h"
#include "common/ColorCode.h"
#include "editor/BillEditor.h"

namespace editor {

using celldata::At;
using celldata::DigitOf;
using celldata::FontWidth;

int TBillEditor::CellWidthOn(const TFrame& f, int line, int pos) const {
  if (pos > f.Length(line)) return FontWidth(model_.CurrentFont);  // where the next cell would go
  if (pos < 1) return 0;
  int width = 0;
  switch (At(f.Kinds[line], pos)) {
    case kKindBeep:
      width = kBeepWidth;
      break;
    case kKindCharacter:
      // A trail is as wide as its lead's font.
      width = FontWidth(DigitOf(At(f.Fonts[line], f.IsTrail(line, pos) ? pos - 1 : pos)));
      break;
    case kKindLogo:
      if (auto n = f.LogoNumberAt(line, pos); n && *n < model_.LogoCount())
        width = model_.LogoList()[static_cast<std::size_t>(*n)].width();
      break;
    default:
      break;
  }
  return celldata::IsBold(At(f.Attrs[line], pos)) ? 2 * width : width;
}

int TBillEditor::TextWidthOn(const TFrame& f, int line, int pos) const {
  const int length = f.Length(line);
  int sum = 0;
  for (int p = 1; p <= std::min(pos, length); ++p)
    if (!f.IsTrail(line, p)) sum += CellWidthOn(f, line, p);
  // The position after the last cell counts as a cell of the current font.
  if (pos > length) sum += CellWidthOn(f, line, length + 1);
  return sum;
}

std::vector<int> TBillEditor::TextWidths(const TFrame& f) const {
  const int line = f.CurLine;
  std::vector<int> widths(static_cast<std::size_t>(f.Length(line)) + 1, 0);
  for (int p = 1; p <= f.Length(line); ++p)
    widths[static_cast<std::size_t>(p)] =
        widths[static_cast<std::size_t>(p - 1)] + (f.IsTrail(line, p) ? 0 : CellWidthOn(f, line, p));
  return widths;
}

int TBillEditor::CellWidth(int frame, int pos) const {
  const TFrame& f = model_.Frame(frame);
  return CellWidthOn(f, f.CurLine, pos);
}

int TBillEditor::TextWidth(int frame, int pos) const {
  const TFrame& f = model_.Frame(frame);
  return TextWidthOn(f, f.CurLine, pos);
}

int TBillEditor::LineWidth(int frame, int line) const {
  const TFrame& f = model_.Frame(frame);
  return TextWidthOn(f, line, f.Length(line));
}

int TBillEditor::FrameTextWidth(int frame) const {
  const TFrame& f = model_.Frame(frame);
  switch (f.Layout) {
    case 1:
      return LineWidth(frame, f.CurLine);
    case 2:
      return std::max(LineWidth(frame, 1), LineWidth(frame, 2));
    default:
      return 0;
  }
}

int TBillEditor::FixedPartWidth(int frame) const {
  const TFrame& f = model_.Frame(frame);
  if (f.FixedFrame || !f.HasFixedPart) return 0;
  return f.FixedWidth * kPictureScale;
}

void TBillEditor::CenterText(int frame) {
  const TFrame& f = model_.Frame(frame);
  if (f.FixedFrame) {
    textOffset_ = 0;
    return;
  }
  const int available = EditorWidth() - FixedPartWidth(frame);
  const int width = LineWidth(frame, f.CurLine) * kPictureScale;
  textOffset_ = width < available ? (available - width) / 2 : 0;
}

int TBillEditor::CellCount(int frame, int line) const { return model_.Frame(frame).CellCount(line); }

QRgb TBillEditor::IndexColor(int index) { return colorcode::ColorIndexToColor(index); }

int TBillEditor::CellX(int frame, int pos) const {
  const TFrame& f = model_.Frame(frame);
  const int line = f.CurLine;
  return TextWidthOn(f, line, pos - 1) * kPictureScale + FixedPartWidth(frame) + textOffset_ -
         TextWidthOn(f, line, f.FirstCell[line] - 1) * kPictureScale;
}

}  // namespace editor
