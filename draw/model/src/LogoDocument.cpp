#include "draw/LogoDocument.h"

#include <iterator>

namespace draw {

void LogoDocument::SetFileName(const std::string& name) {
  fileName_ = name;
  if (onFileName) onFileName(fileName_);
}

void LogoDocument::SetModified(bool modified) {
  modified_ = modified;
  if (onModified) onModified(modified_);
}

void LogoDocument::ClearLogos() {
  logos_.clear();
  currentIndex_ = -1;
}

void LogoDocument::SaveLogoFile(const std::string& name) const { logofile::SaveLogoFile(name, logos_); }

void LogoDocument::LoadLogoFile(const std::string& name) {
  // Everything is read before the list is touched.
  std::vector<QImage> read = logofile::LoadLogoFile(name, logofile::MagicRule::kAnyMagic, logofile::kLogoScale);
  logos_.insert(logos_.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
  if (!logos_.empty()) currentIndex_ = 0;
}

}  // namespace draw
