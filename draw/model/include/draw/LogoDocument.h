#pragma once
// The drawing program's document: the list of logos (bitmaps at 3 screen
// pixels a sign pixel), the current logo, the current file name and the
// modified mark, saved and loaded as a logo file.
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "common/LogoFile.h"

namespace draw {

class LogoDocument {
 public:
  // Called with the new value whenever the file name or the modified flag is
  // set: the window shows them in its status bar.
  std::function<void(const std::string&)> onFileName;
  std::function<void(bool)> onModified;

  // The caption of the modified mark: "*File:" when set, "File:" when clear.
  static const char* ModifiedCaption(bool modified) { return modified ? "*File:" : "File:"; }

  void SetFileName(const std::string& name);
  const std::string& FileName() const { return fileName_; }
  void SetModified(bool modified);
  bool Modified() const { return modified_; }

  std::vector<QImage>& Logos() { return logos_; }
  const std::vector<QImage>& Logos() const { return logos_; }
  // The logo count, always the number of logos in the list.
  int Count() const { return static_cast<int>(logos_.size()); }
  // The current logo, -1 for none.
  int CurrentIndex() const { return currentIndex_; }
  void SetCurrentIndex(int index) { currentIndex_ = index; }
  // A logo file holds at most 255 logos: the list refuses the 256th.
  bool CanAddLogo() const { return logos_.size() < logofile::kMaxLogos; }

  // An empty list without a current logo (name and mark unchanged).
  void ClearLogos();

  // Writes every logo to `name`, always at the list's scale of 3 (also while
  // the zoom window has the view at 10). A failure leaves the old file whole
  // and this document unchanged; the caller clears the mark after success.
  void SaveLogoFile(const std::string& name) const;
  // Reads `name` (any magic is accepted) and appends its logos; with logos
  // in the list the first becomes current. A bad or unreadable file raises
  // its error and leaves the list, the count and the current logo as they were.
  void LoadLogoFile(const std::string& name);

 private:
  std::vector<QImage> logos_;
  int currentIndex_ = -1;
  std::string fileName_;
  bool modified_ = false;
};

}  // namespace draw
