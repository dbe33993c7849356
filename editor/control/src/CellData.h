#pragma once
// Reading a frame line's column characters safely: cell data comes from files
// and pastes, so every digit and index is checked before it is used.
#include <string>

#include "common/SignFont.h"
#include "editor/MessageModel.h"

namespace editor::celldata {

// The value of a digit character, -1 for anything else.
constexpr int DigitOf(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

// The character of a column at cell `pos` (1-based), '\0' outside the line.
inline char At(const std::string& column, int pos) {
  return pos >= 1 && pos <= static_cast<int>(column.size()) ? column[static_cast<std::size_t>(pos - 1)] : '\0';
}

// A font's cell width and height in sign pixels; 0 for a number that names no font.
inline int FontWidth(int font) {
  return font >= 0 && font < signfont::kSignFontCount ? signfont::FontInfo(font).cellWidth : 0;
}
inline int FontHeight(int font) {
  return font >= 0 && font < signfont::kSignFontCount ? signfont::FontInfo(font).cellHeight : 0;
}

// Bold is bit 0 of the attribute digit, reverse bit 1.
inline bool IsBold(char attr) { return DigitOf(attr) >= 0 && (DigitOf(attr) & 1) != 0; }
inline bool IsReverse(char attr) { return DigitOf(attr) >= 0 && (DigitOf(attr) & 2) != 0; }

}  // namespace editor::celldata
