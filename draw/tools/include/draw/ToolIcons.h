#pragma once
// The pictures on the tool buttons, drawn by the program itself.
#include <QIcon>

#include "draw/DrawModel.h"

namespace draw {

// The side of a tool picture in pixels.
inline constexpr int kToolIconSize = 24;

// A picture of what the tool does: a dashed box, a box around the sign, a
// pencil, an eraser, an "A", a line, a rectangle, an ellipse, a paint bucket,
// a magnifier.
QIcon ToolIcon(DrawTool tool);

}  // namespace draw
