#pragma once
// What the editor's dialogs accept, below the forms.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace editor {

// The letters of the 32 presentation functions, in the mode list's order.
inline constexpr std::string_view kModeLetters = "AFBbEeHIiOLlCPUuDdXYNRrQqSTtxWZz";
// The most letters a frame's modes hold (their length is one byte in the frame file).
inline constexpr std::size_t kMaxModeLetters = 255;
// Whether every character is a mode letter and there are at most 255.
bool ValidModes(std::string_view modes);

// The sign ID 0..99 of the ID edit; nothing when it is no such number.
std::optional<int> ParseSignId(const std::string& text);
// The sign width 1..1024 of the width edit; nothing when it is no such number.
std::optional<int> ParseSignWidth(const std::string& text);

// The European character under (x, y) of the picker's 96 x 384 image: four
// columns and twelve rows of 24 x 32 cells from 128. Nothing outside it.
std::optional<std::uint8_t> EuropeanCharAt(int x, int y);

}  // namespace editor
