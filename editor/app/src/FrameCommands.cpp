#include "editorapp/FrameCommands.h"

#include <algorithm>

namespace editorapp {

std::optional<FrameClick> HitFrameRow(const editor::FrameListGeometry& g, const RowFlags& painted,
                                      int firstVisibleRow, int x, int y) {
  if (x < g.LabelLeft || x > g.LabelLeft + g.LabelWidth + g.EditorWidth + 2 * g.RowMargin) return std::nullopt;
  // However tall the panel, only the rows that have a flag are looked at.
  const int rows = std::min(g.VisibleRows, static_cast<int>(painted.size()));
  for (int r = 0; r < rows && painted[static_cast<std::size_t>(r)]; ++r) {
    const int top = g.RowBoxTop + r * g.RowPitch();
    if (top <= y && y <= top + g.RowBoxHeight) {
      return FrameClick{firstVisibleRow + r, g.LabelLeft <= x && x <= g.LabelLeft + g.LabelWidth};
    }
  }
  return std::nullopt;
}

bool ToggleFix(editor::MessageModel& model, int index, bool down, int textWidth, std::vector<int>& redraw) {
  redraw.clear();
  if (down) {
    if (!model.MakeFixed(index, textWidth)) return false;
  } else {
    model.ReleaseFixed(index);
  }
  for (int j = index + 1; j < model.FrameCount() && !model.Frame(j).FixedFrame; ++j) redraw.push_back(j);
  return down;
}

}  // namespace editorapp
