#pragma once
// Messages made in code: the try-out folder's sample message, and large
// messages for the benchmarks. Cells go in through the model's own operations.
#include <memory>
#include <string>

#include "editor/MessageModel.h"

namespace editorsamples {

// Three frames on a 160 x 16 sign: a full-height line with a logo, two half
// lines, and a rainbow line with presentation functions.
std::unique_ptr<editor::MessageModel> SampleMessage(const std::string& directory);

// `frames` frames of `cellsPerFrame` cells each on a 160 x 16 sign (one
// full-height line in the 16-row fonts), and `logos` logos of 16 x 16, one
// at the start of each of the first frames.
std::unique_ptr<editor::MessageModel> LargeMessage(int frames, int cellsPerFrame, int logos);

// Writes `name` (a frame file) and its message file into `directory` unless
// the frame file exists; returns the frame file's path, or "" when kept.
std::string WriteSampleMessage(const std::string& directory, const std::string& name = "SHOP.SML");

}  // namespace editorsamples
