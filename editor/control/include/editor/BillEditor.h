#pragma once
// The message line editor control's logic: typing, the caret, the width
// arithmetic and the drawing of frames, all below any widget. It works on the
// model's current frame and draws into QImages: its own canvas (what the
// control shows) or a frame's Picture. The widget (BillEditorWidget) only
// forwards keys, focus and text to it and shows the canvas with the caret.
//
// Units: widths are sign pixels unless named screen pixels; the canvas shows
// kPictureScale screen pixels a sign pixel.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "common/SignFont.h"
#include "editor/EditorHost.h"
#include "editor/LogoRecordLimits.h"
#include "editor/MessageModel.h"

namespace editor {

// Screen pixels a beep cell takes across; its sign width is kBeepWidth.
constexpr int kBeepWidth = 8;
// Sign pixels a pair (and a Ming single-byte character) counts when checked
// against the fixed frame's half width.
constexpr int kWideCellWidth = 16;
constexpr int kCaretHeight = 3;
constexpr QRgb kSilver = 0xFFC0C0C0u;

// What the control's window does with the logic's changes. The widget
// implements it; without one the logic still draws and keeps its caret.
class BillEditorView {
 public:
  virtual ~BillEditorView() = default;
  // The canvas changed and must be shown again.
  virtual void CanvasChanged() = 0;
  // The caret was placed, shown or hidden.
  virtual void CaretChanged() = 0;
  // The control moves onto another row of the frame list panel.
  virtual void MoveControl(QPoint topLeft) = 0;
  virtual void TakeFocus() = 0;
};

// The caret: a bar under the caret cell at the bottom of the current line's
// band. Painted over the canvas by the widget, never into it.
struct CaretState {
  bool shown = false;
  QRect rect;  // canvas coordinates
};

// The keys the control acts on (without modifiers).
enum class EditorKey { Backspace, PageUp, PageDown, End, Home, Left, Up, Right, Down, Delete };

class TBillEditor {
 public:
  // The canvas is EditorWidth x RowHeight of the host's geometry. The model's
  // VisibleRows is set from the geometry: the frame list and SelectFrame
  // scroll by it.
  TBillEditor(MessageModel& model, EditorHost& host, const signfont::SignFontTable& fonts);
  TBillEditor(const TBillEditor&) = delete;
  TBillEditor& operator=(const TBillEditor&) = delete;

  void SetView(BillEditorView* view) { view_ = view; }

  const QImage& Canvas() const { return canvas_; }
  const CaretState& Caret() const { return caret_; }
  int TextOffset() const { return textOffset_; }
  void SetTextOffset(int offset) { textOffset_ = offset; }
  int BandTop() const { return bandTop_; }
  int BandBottom() const { return bandBottom_; }
  int EditorWidth() const { return geometry_.EditorWidth; }
  int RowHeight() const { return geometry_.RowHeight; }

  // Whether the model has a current frame to edit. Until the first message is
  // made it has none: keys, typing and the caret then do nothing.
  bool HasFrame() const { return CurrentIndex() >= 0 && CurrentIndex() < model_.FrameCount(); }

  // --- input ---
  // A key without modifiers.
  void KeyDown(EditorKey key);
  // Typed or committed text: each character is encoded to Big5; a control
  // code (below 32) is ignored, ASCII gives one cell, a Big5 pair one pair,
  // anything else beeps.
  void TypeText(const std::u32string& text);
  void TypeCharacter(char32_t character);

  // --- editing the current frame ---
  // One cell at the caret: kind 'N' (a character, code 32..255, in the
  // current font) or 'B' (a beep). Returns whether it was inserted.
  bool InsertCell(char kind, std::uint8_t code, bool redraw);
  // A Big5 pair, checked once as one cell 16 wide and inserted whole.
  bool InsertPair(std::uint8_t lead, std::uint8_t trail);
  // A logo (one pixel a sign pixel) at the caret; a copy joins the logo list.
  bool InsertLogo(const QImage& bitmap);
  void ClearFrame();
  void DeleteCell();
  void RenumberLogos(int removed);
  void ScrollToCaret(int frame);

  void CaretLeft();
  void CaretRight();
  void CaretUp();
  void CaretDown();
  void CaretHome();
  void CaretEnd();
  void BackspaceCell();

  // --- width arithmetic on a frame's current line ---
  int CellWidth(int frame, int pos) const;
  int TextWidth(int frame, int pos) const;
  int LineWidth(int frame, int line) const;
  int FrameTextWidth(int frame) const;
  int FixedPartWidth(int frame) const;  // screen pixels
  void CenterText(int frame);
  int CellCount(int frame, int line) const;
  static QRgb IndexColor(int index);

  // --- drawing ---
  void PaintBackground(QImage& canvas, int frame);
  void LineBand(int frame);
  // Leaves TextOffset computed for `frame`; a caller drawing another frame's
  // picture while this control shows the current one restores it.
  void DrawFrame(QImage& canvas, int frame, bool paintBackground);
  void DrawLine(QImage& canvas, int frame);
  void DrawCell(QImage& canvas, int pos, int frame);
  void DrawBeep(QImage& canvas, int pos, int frame);
  void DrawLogo(QImage& canvas, int pos, int frame);
  // Screen x of cell `pos` of the frame's current line (also the caret's).
  int CellX(int frame, int pos) const;

  // Makes frame `next` current, saving the old one's picture (old -1: none).
  void SelectFrame(int old, int next);
  void SaveFramePicture(int frame);
  void show_caret();
  void HideCaret();

 private:
  TFrame& Current();
  int CurrentIndex() const { return model_.CurrentFrame; }
  // The width arithmetic on any line of a frame.
  int CellWidthOn(const TFrame& f, int line, int pos) const;
  int TextWidthOn(const TFrame& f, int line, int pos) const;
  // The current line 1 or 2, its caret and first cell inside the line and off
  // a trail cell: the frame may come from a file.
  void Normalize(TFrame& f) const;
  void DrawCellAt(QImage& canvas, const TFrame& f, int pos, int x);
  void DrawBeepAt(QImage& canvas, int x);
  void DrawLogoAt(QImage& canvas, const TFrame& f, int pos, int x);
  bool CheckFontForLayout(TFrame& f);
  bool FitsFixedFrame(const TFrame& f, int width);
  char CurrentAttr() const;
  void AfterInsert(bool fixedFrame);
  void StepCaret(int direction);
  // Home and End: the caret to `target`, or a beep when it is there already.
  void JumpCaret(bool alreadyThere, int target);
  void ChangedCanvas(const QImage& canvas);
  // TextWidth(0 .. Length) of the frame's current line.
  std::vector<int> TextWidths(const TFrame& f) const;
  void DrawLineInner(QImage& canvas, int frame);
  void DrawFrameInner(QImage& canvas, int frame, bool paintBackground);

  // Collects "Font not found!" during one drawing and shows it after.
  class PaintScope;
  friend class PaintScope;

  MessageModel& model_;
  EditorHost& host_;
  const signfont::SignFontTable& fonts_;
  FrameListGeometry geometry_;
  BillEditorView* view_ = nullptr;
  QImage canvas_;
  CaretState caret_;
  int textOffset_ = 0;
  int bandTop_ = 0;
  int bandBottom_ = 0;
  signfont::FontWarning fontWarning_;
  int paintDepth_ = 0;
};

}  // namespace editor
