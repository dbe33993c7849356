#include "editor/LogoRecordLimits.h"

#include "common/Util.h"

namespace editor {

std::string LogoRecordSizeProblem(int width, int height) {
  if (width <= kMaxLogoRecordWidth && height <= kMaxLogoRecordHeight) return {};
  return "The logo is " + std::to_string(width) + " pixels wide and " + std::to_string(height) +
         " high; a logo record holds at most " + std::to_string(kMaxLogoRecordWidth) + " columns and " +
         std::to_string(kMaxLogoRecordHeight) + " rows.";
}

bool AcceptLogoSize(const QImage& logo) {
  const std::string why = LogoRecordSizeProblem(logo.width(), logo.height());
  if (why.empty()) return true;
  util::ShowWarning(std::string(kLogoUnacceptableText) + "\n" + why);
  return false;
}

}  // namespace editor
