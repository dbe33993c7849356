#pragma once
// The logo picker's list below its window: the logos of one logo file, each
// fitted to the sign's height, and the one being looked at.
#include <QImage>
#include <string>
#include <vector>

namespace editor {

// A logo made exactly `signHeight` rows high: a shorter one gets black rows
// at the bottom, a taller one loses its bottom rows. 24 bits a pixel.
QImage FitLogoToSign(const QImage& logo, int signHeight);

class LogoList {
 public:
  // Reads the file (exact magic, one pixel a sign pixel) and fits every logo
  // to the sign; the first becomes current. Raises logofile::NotALogoFile for
  // a wrong magic or no logo, logofile::BadLogoFile for a count above 255, a
  // logo of impossible size or a file cut short, platform::InOutError when
  // it cannot be read. The list is left empty on failure.
  void Load(const std::string& path, int signHeight);
  void Clear();

  int Count() const { return static_cast<int>(logos_.size()); }
  int CurrentIndex() const { return current_; }
  // Null when there is no current logo.
  const QImage* Current() const;
  // Makes logo `index` current when there is one; false otherwise.
  bool Select(int index);
  bool CanGoBack() const { return current_ > 0; }
  bool CanGoOn() const { return current_ >= 0 && current_ < Count() - 1; }

  // "%d/%d  %d X %d": number, count, height and width (0 and 0 without a logo).
  std::string InfoText() const;

 private:
  std::vector<QImage> logos_;
  int current_ = -1;
};

}  // namespace editor
