#pragma once
// What the Text tool's font box (cboFonts) and size box (cboFontSizes) hold:
// the seven sign-font captions followed by the screen fonts, and for a screen
// font its sizes in points. No widgets: TextFontBoxes shows this in combo boxes.
#include <functional>
#include <string>
#include <vector>

#include "draw/text/TextBox.h"

namespace draw {

// The drawing program's seven sign fonts, numbered 1 to 7 (common index 0 to 6).
inline constexpr int kTextSignFonts = 7;
inline constexpr char kDefaultFontName[] = "Default";

// The sizes a scalable face offers, one text each, in this order.
const std::vector<std::string>& ScalableFontSizes();

// One size a face is made in, as the system's font list describes it.
struct FaceSize {
  bool scalable = false;  // an outline face: every size, no list of its own
  int height = 0;         // cell height in pixels
  int internalLeading = 0;
};
// The sizes of a face, by family name.
using FaceSizeSource = std::function<std::vector<FaceSize>(const std::string& family)>;
// The sizes Qt's font database knows for a family.
std::vector<FaceSize> QtFaceSizes(const std::string& family);
// The names of every installed font family, from Qt's font database.
std::vector<std::string> QtFontFamilies();

// The size text of one face size at `dpiY` pixels an inch: (height - internal
// leading) x 72 / dpiY, rounded to the nearest whole number (a half to the
// even one), at least two digits ("08"). Nothing for a scalable face.
std::string FontSizeText(const FaceSize& size, int dpiY);
// Adds the size's text to the sorted, duplicate-free `sizes`; false for a
// scalable face, which ends the listing of the face.
bool AddFontSize(std::vector<std::string>& sizes, const FaceSize& size, int dpiY);

class FontChoice : public TextStyleSource {
 public:
  explicit FontChoice(int dpiY = 96, FaceSizeSource sizes = QtFaceSizes);

  // The font box's items: the seven captions, then `families` and "Default"
  // sorted by name (ignoring case), each once. Selects item 0.
  void SetScreenFonts(std::vector<std::string> families);
  const std::vector<std::string>& FontItems() const { return fonts_; }
  int FontIndex() const { return fontIndex_; }
  // Selects a font item (out of range: none) and refills the sizes.
  void SelectFont(int index);
  std::string FontName() const;

  // The size box: empty and disabled for a sign font; a screen font's own
  // sizes, or the 17 sizes for a scalable face, with the smallest selected.
  const std::vector<std::string>& SizeItems() const { return sizes_; }
  bool SizesEnabled() const { return sizesEnabled_; }
  int SizeIndex() const { return sizeIndex_; }
  void SelectSize(int index);
  // The selected size as a whole number; 0 with none.
  int PointSize() const;

  TextStyle CurrentStyle() const override;
  int DpiY() const { return dpiY_; }

 private:
  void FillSizes();

  int dpiY_;
  FaceSizeSource sizeSource_;
  std::vector<std::string> fonts_;
  int fontIndex_ = -1;
  std::vector<std::string> sizes_;
  int sizeIndex_ = -1;
  bool sizesEnabled_ = false;
};

}  // namespace draw
