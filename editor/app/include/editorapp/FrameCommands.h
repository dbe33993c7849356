#pragma once
// The main window's frame commands that need no window: where a click on the
// frame list panel lands, and the Fix button's rule for the fixed part.
#include <array>
#include <optional>
#include <vector>

#include "editor/FrameGeometry.h"
#include "editor/MessageModel.h"

namespace editorapp {

inline constexpr char kNotForFunctionsText[] = "This Frame is not for functions !";

// One flag per row of the frame list panel: its background is painted for a frame.
using RowFlags = std::array<bool, editor::kMaxVisibleRows>;

struct FrameClick {
  int frame = 0;         // the frame of the row clicked
  bool onLabel = false;  // inside the row's label box
};

// The row under (x, y), looking only at the painted rows from the top; nothing
// left or right of the rows, between them or below the last painted one.
std::optional<FrameClick> HitFrameRow(const editor::FrameListGeometry& g, const RowFlags& painted,
                                      int firstVisibleRow, int x, int y);

// The Fix button of frame `index` just went down (`down`) or up. Down makes
// the frame fixed with its text width `textWidth` (refused with the half-length
// warning: false, the button goes up again). Up ends the fixed part from the
// frame on, or gives back the one before a released fixed frame. Returns
// whether the button stays down; `redraw` gets the following frames whose
// fixed part changed, whose pictures are to be redrawn.
bool ToggleFix(editor::MessageModel& model, int index, bool down, int textWidth, std::vector<int>& redraw);

}  // namespace editorapp
