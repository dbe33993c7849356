#include "editor/FrameGeometry.h"

#include <algorithm>

namespace editor {

FrameListGeometry ComputeGeometry(int panelWidth, int panelHeight, const SignGeometry& sign) {
  const bool tall = sign.height == 16;
  FrameListGeometry g;
  g.RowHeight = sign.height * kPictureScale;
  g.EditorWidth = sign.width * kPictureScale;
  g.RowMargin = tall ? 6 : 4;
  g.RowGap = tall ? 30 : 35;
  g.LabelWidth = kLabelWidth;
  g.RowBoxHeight = g.RowHeight + 2 * g.RowMargin;
  g.VisibleRows = std::clamp(panelHeight / g.RowPitch(), 1, kMaxVisibleRows);
  // Integer division toward zero, as C++ divides: a narrow area may go negative.
  g.EditorLeft = (panelWidth - g.EditorWidth - 2 * g.RowMargin - kLabelWidth) / 2 + kLabelWidth;
  g.EditorTop = (panelHeight - g.RowPitch() * g.VisibleRows) / 2 + g.RowGap / 2;
  g.LabelLeft = g.EditorLeft - g.RowMargin - kLabelWidth;
  g.RowBoxTop = g.EditorTop - g.RowMargin;
  return g;
}

}  // namespace editor
