// Drawing frames at three screen pixels a sign pixel: the background with the
// fixed part, the band of each line, the cells, selecting the current frame
// and placing the caret.
#include "CellData.h"
#include "common/Raster.h"
#include "editor/BillEditor.h"

namespace editor {

using celldata::At;
using celldata::DigitOf;

// Glyphs beyond the end of a font file are collected while drawing and
// reported once, after the outermost drawing step.
class TBillEditor::PaintScope {
 public:
  explicit PaintScope(TBillEditor& editor) : editor_(editor) { ++editor_.paintDepth_; }
  ~PaintScope() {
    if (--editor_.paintDepth_ == 0 && editor_.fontWarning_.Pending()) {
      try {
        editor_.fontWarning_.ShowIfPending();
      } catch (...) {  // a failing message box must not end the drawing's caller
      }
    }
  }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

 private:
  TBillEditor& editor_;
};

void TBillEditor::ChangedCanvas(const QImage& canvas) {
  if (view_ && &canvas == &canvas_) view_->CanvasChanged();
}

void TBillEditor::PaintBackground(QImage& canvas, int frame) {
  const int fixed = FixedPartWidth(frame);
  raster::FillBox(canvas, {0, 0, fixed, RowHeight()}, kSilver);
  raster::FillBox(canvas, {fixed, 0, EditorWidth(), RowHeight()}, raster::kBlack);
  ChangedCanvas(canvas);
}

void TBillEditor::LineBand(int frame) {
  const TFrame& f = model_.Frame(frame);
  const bool tall = model_.Sign().height == 16;
  bandTop_ = 0;
  bandBottom_ = RowHeight();
  if (tall && f.CurLine == 2) {
    bandBottom_ = RowHeight() / 2;
  } else if (tall && f.Layout == 2) {
    bandTop_ = RowHeight() / 2;
  }
}

void TBillEditor::DrawFrame(QImage& canvas, int frame, bool paintBackground) {
  PaintScope scope(*this);
  DrawFrameInner(canvas, frame, paintBackground);
}

void TBillEditor::DrawFrameInner(QImage& canvas, int frame, bool paintBackground) {
  if (paintBackground) PaintBackground(canvas, frame);
  TFrame& f = model_.Frame(frame);
  Normalize(f);
  if (model_.Sign().height == 16 && f.Layout == 2) {
    // The other line first, so the current one is drawn last.
    const std::uint8_t current = f.CurLine;
    f.CurLine = current == 1 ? 2 : 1;
    Normalize(f);
    CenterText(frame);
    DrawLineInner(canvas, frame);
    f.CurLine = current;
  }
  CenterText(frame);
  DrawLineInner(canvas, frame);
}

void TBillEditor::DrawLine(QImage& canvas, int frame) {
  PaintScope scope(*this);
  TFrame& f = model_.Frame(frame);
  Normalize(f);
  DrawLineInner(canvas, frame);
}

void TBillEditor::DrawLineInner(QImage& canvas, int frame) {
  const TFrame& f = model_.Frame(frame);
  const int line = f.CurLine;
  LineBand(frame);
  const int fixed = FixedPartWidth(frame);
  raster::FillBox(canvas, {fixed, bandTop_, canvas.width(), bandBottom_}, raster::kBlack);
  const std::vector<int> widths = TextWidths(f);
  const int first = f.FirstCell[line];
  const int hidden = widths[static_cast<std::size_t>(first - 1)];
  const int visible = EditorWidth() - fixed;
  for (int p = first; p <= f.Length(line); ++p) {
    const int before = (widths[static_cast<std::size_t>(p - 1)] - hidden) * kPictureScale;
    // Only cells that start inside the visible width; the canvas clips the last one.
    if (before > visible) break;
    const int x = before + fixed + textOffset_;
    switch (At(f.Kinds[line], p)) {
      case kKindBeep:
        DrawBeepAt(canvas, x);
        break;
      case kKindLogo:
        DrawLogoAt(canvas, f, p, x);
        break;
      case kKindCharacter:
        if (!f.IsTrail(line, p)) DrawCellAt(canvas, f, p, x);  // the lead draws the pair
        break;
      default:
        break;
    }
  }
  ChangedCanvas(canvas);
}

void TBillEditor::DrawCell(QImage& canvas, int pos, int frame) {
  PaintScope scope(*this);
  LineBand(frame);
  DrawCellAt(canvas, model_.Frame(frame), pos, CellX(frame, pos));
  ChangedCanvas(canvas);
}

void TBillEditor::DrawBeep(QImage& canvas, int pos, int frame) {
  LineBand(frame);
  DrawBeepAt(canvas, CellX(frame, pos));
  ChangedCanvas(canvas);
}

void TBillEditor::DrawLogo(QImage& canvas, int pos, int frame) {
  LineBand(frame);
  DrawLogoAt(canvas, model_.Frame(frame), pos, CellX(frame, pos));
  ChangedCanvas(canvas);
}

void TBillEditor::DrawCellAt(QImage& canvas, const TFrame& f, int pos, int x) {
  const int line = f.CurLine;
  const int font = DigitOf(At(f.Fonts[line], pos));
  if (font < 0) return;  // no font of the table: nothing to draw
  const auto code = static_cast<std::uint8_t>(At(f.Codes[line], pos));
  const bool hasTrail = code > 128 && pos < f.Length(line) && f.IsTrail(line, pos + 1);
  const bool doubleByte = font == signfont::kMingStandardFont || font == signfont::kMingSymbolFont;
  if (doubleByte && !hasTrail) return;  // a double-byte font without its trail has no glyph
  const signfont::SignFontInfo& info = signfont::FontInfo(font);
  const char attr = At(f.Attrs[line], pos);
  const int scale = celldata::IsBold(attr) ? 2 * kPictureScale : kPictureScale;

  QImage glyph = raster::NewImage(info.cellWidth, info.cellHeight, raster::kBlack);
  const QRgb colour = IndexColor(DigitOf(At(f.Colors[line], pos)));
  const bool reverse = celldata::IsReverse(attr);
  const auto trail = hasTrail ? static_cast<std::uint8_t>(At(f.Codes[line], pos + 1)) : std::uint8_t{0};
  fontWarning_.Note(fonts_.DrawCellGlyph(glyph, font, code, trail, colour, reverse));
  raster::StretchCopy(glyph, {0, 0, info.cellWidth, info.cellHeight}, canvas,
                      {x, bandTop_, x + info.cellWidth * scale, bandBottom_}, raster::CopyMode::kSrcCopy);
}

void TBillEditor::DrawBeepAt(QImage& canvas, int x) {
  const QImage& beep = host_.BeepPicture();
  if (beep.isNull()) return;
  raster::StretchCopy(beep, {0, 0, beep.width(), beep.height()}, canvas,
                      {x, bandTop_, x + kBeepWidth * kPictureScale, bandBottom_}, raster::CopyMode::kSrcCopy);
}

void TBillEditor::DrawLogoAt(QImage& canvas, const TFrame& f, int pos, int x) {
  const std::optional<int> n = f.LogoNumberAt(f.CurLine, pos);
  if (!n || *n >= model_.LogoCount()) return;  // a number the logo list does not hold
  const QImage& logo = model_.LogoList()[static_cast<std::size_t>(*n)];
  // Not clipped to the band: logos stand only in one-line frames.
  raster::StretchCopy(logo, {0, 0, logo.width(), logo.height()}, canvas,
                      {x, bandTop_, x + kPictureScale * logo.width(), bandTop_ + kPictureScale * logo.height()},
                      raster::CopyMode::kSrcCopy);
}

// --- the current frame ---

void TBillEditor::SelectFrame(int old, int next) {
  PaintScope scope(*this);
  if (old != -1) SaveFramePicture(old);
  if (next < 0 || next >= model_.FrameCount()) throw std::out_of_range("no such frame to select");
  model_.CurrentFrame = next;
  int& firstRow = model_.FirstVisibleRow;
  const int rows = model_.VisibleRows;
  if (next < firstRow) firstRow = next;
  if (next == firstRow && rows >= model_.FrameCount()) firstRow = 0;
  if (next - firstRow > rows - 1) firstRow = next - rows + 1;
  host_.ShowFixState(model_.Frame(next).HasFixedPart);
  if (view_) view_->MoveControl({host_.EditorLeft(), host_.EditorTop() + (next - firstRow) * (RowHeight() + host_.RowGap())});
  DrawFrameInner(canvas_, next, true);
  show_caret();
  host_.DrawFrameList();
  if (view_) view_->TakeFocus();
}

void TBillEditor::SaveFramePicture(int frame) {
  TFrame& f = model_.Frame(frame);
  // The caret lies over the canvas, never in it, so the picture takes no caret.
  if (f.Picture.size() == canvas_.size() && f.Picture.format() == canvas_.format()) {
    raster::CopyBox(canvas_, {0, 0, EditorWidth(), RowHeight()}, f.Picture, {0, 0}, raster::CopyMode::kSrcCopy);
  } else {
    f.Picture = canvas_.copy();
  }
}

void TBillEditor::show_caret() {
  if (!HasFrame()) {
    HideCaret();
    return;
  }
  const int index = CurrentIndex();
  TFrame& f = Current();
  const int line = f.CurLine;
  const int caret = f.CaretCell[line];
  // After the last cell the caret is as wide as a cell of the current font.
  const int width = (caret > f.Length(line) ? celldata::FontWidth(model_.CurrentFont) : CellWidth(index, caret)) *
                    kPictureScale;
  LineBand(index);
  caret_.shown = true;
  caret_.rect = QRect(CellX(index, caret), bandBottom_ - 4, width, kCaretHeight);
  if (view_) view_->CaretChanged();
  host_.ShowColumn(caret);
}

void TBillEditor::HideCaret() {
  caret_.shown = false;
  if (view_) view_->CaretChanged();
}

}  // namespace editor
