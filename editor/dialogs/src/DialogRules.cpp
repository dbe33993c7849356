#include "editor/DialogRules.h"

#include "common/LinkSettings.h"
#include "editor/EditorSettings.h"

namespace editor {

bool ValidModes(std::string_view modes) {
  if (modes.size() > kMaxModeLetters) return false;
  return modes.find_first_not_of(kModeLetters) == std::string_view::npos;
}

std::optional<int> ParseSignId(const std::string& text) {
  int id = 0;
  if (!settings::ParseSetting(text, 0, 99, id)) return std::nullopt;
  return id;
}

std::optional<int> ParseSignWidth(const std::string& text) {
  int width = 0;
  if (!settings::ParseSetting(text, 1, kMaxSignWidth, width)) return std::nullopt;
  return width;
}

std::optional<std::uint8_t> EuropeanCharAt(int x, int y) {
  if (x < 0 || y < 0 || x >= 4 * 24 || y >= 12 * 32) return std::nullopt;
  return static_cast<std::uint8_t>(128 + x / 24 + 4 * (y / 32));
}

}  // namespace editor
