#pragma once
// Where the frame list panel puts its rows and the line editor control, in
// screen pixels, from the work area's size and the sign's size. Computed once
// at start-up; nothing here needs a widget.
#include "editor/MessageModel.h"

namespace editor {

// Rows the frame list panel keeps a painted flag for: the visible rows never
// exceed it, however tall the work area.
constexpr int kMaxVisibleRows = 11;
constexpr int kLabelWidth = 120;

struct FrameListGeometry {
  int RowHeight = 0;     // sign height x 3
  int EditorWidth = 0;   // sign width x 3
  int RowMargin = 0;     // box border around a row's picture
  int RowGap = 0;        // vertical distance between two rows' pictures
  int LabelWidth = kLabelWidth;
  int RowBoxHeight = 0;  // RowHeight + 2 x RowMargin
  int VisibleRows = 0;   // rows (not pixels), 1..kMaxVisibleRows
  int EditorLeft = 0;    // x of every row's picture
  int EditorTop = 0;     // y of the first row's picture
  int LabelLeft = 0;
  int RowBoxTop = 0;

  // Rows are this far apart, top to top.
  int RowPitch() const { return RowHeight + RowGap; }
  // y of row r's picture (r 0-based from the top).
  int RowTop(int row) const { return EditorTop + row * RowPitch(); }
  friend bool operator==(const FrameListGeometry&, const FrameListGeometry&) = default;
};

// The geometry for a work area of panelWidth x panelHeight screen pixels.
// The rows are centred in the area; at least one row is kept even when the
// area is too small to show it whole, so the control always has a place.
FrameListGeometry ComputeGeometry(int panelWidth, int panelHeight, const SignGeometry& sign);

}  // namespace editor
