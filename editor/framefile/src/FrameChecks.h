#pragma once
// What a frame read from a file must be for the editor to trust it: only
// frames the editor itself could have made get into an open message.
#include "editor/MessageModel.h"

namespace editor::framefile_detail {

// Raises BadFrameFile naming frame `number` (from 1), the line and the cell
// when `frame` breaks a rule of the message model or does not fit the sign.
// Logo cells must name a logo below `logoCount`.
void CheckFrame(const TFrame& frame, int number, const SignGeometry& sign, int logoCount);

}  // namespace editor::framefile_detail
