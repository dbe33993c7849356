#include "draw/text/FontChoice.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/SignFont.h"
#include "platform/QtText.h"

namespace draw {

namespace {

// Font names sort and match as the font list always did: ignoring case.
int CompareNoCase(const std::string& a, const std::string& b) {
  return platform::ToQt(a).compare(platform::ToQt(b), Qt::CaseInsensitive);
}

// n / d rounded to the nearest whole number, a half to the even one (n, d >= 0).
int DivideRoundHalfEven(long long n, long long d) {
  long long q = n / d;
  const long long twiceRest = 2 * (n % d);
  if (twiceRest > d || (twiceRest == d && q % 2 != 0)) ++q;
  return static_cast<int>(q);
}

}  // namespace

const std::vector<std::string>& ScalableFontSizes() {
  static const std::vector<std::string> sizes = {"08", "09", "10", "11", "12", "14", "16", "18", "20",
                                                 "22", "24", "26", "28", "36", "48", "66", "72"};
  return sizes;
}

std::string FontSizeText(const FaceSize& size, int dpiY) {
  if (size.scalable || dpiY <= 0) return {};
  const long long pixels = std::max(0, size.height - size.internalLeading);
  char text[16];
  std::snprintf(text, sizeof text, "%.2d", DivideRoundHalfEven(pixels * 72, dpiY));
  return text;
}

bool AddFontSize(std::vector<std::string>& sizes, const FaceSize& size, int dpiY) {
  if (size.scalable) return false;
  const std::string text = FontSizeText(size, dpiY);
  if (text.empty()) return true;
  const auto at = std::lower_bound(sizes.begin(), sizes.end(), text);
  if (at == sizes.end() || *at != text) sizes.insert(at, text);
  return true;
}

std::vector<FaceSize> QtFaceSizes(const std::string& family) {
  const QString name = platform::ToQt(family);
  if (QFontDatabase::isSmoothlyScalable(name)) return {FaceSize{true, 0, 0}};
  std::vector<FaceSize> sizes;
  for (int points : QFontDatabase::pointSizes(name)) {
    QFont font(name);
    font.setPointSize(points);
    const QFontMetrics metrics(font);
    // The cell height less the em height is the internal leading.
    sizes.push_back(FaceSize{false, metrics.height(), metrics.height() - QFontInfo(font).pixelSize()});
  }
  return sizes;
}

std::vector<std::string> QtFontFamilies() {
  std::vector<std::string> families;
  for (const QString& f : QFontDatabase::families()) families.push_back(platform::FromQt(f));
  return families;
}

FontChoice::FontChoice(int dpiY, FaceSizeSource sizes) : dpiY_(dpiY), sizeSource_(std::move(sizes)) {
  SetScreenFonts({});
}

void FontChoice::SetScreenFonts(std::vector<std::string> families) {
  families.push_back(kDefaultFontName);
  std::stable_sort(families.begin(), families.end(),
                   [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) < 0; });
  families.erase(std::unique(families.begin(), families.end(),
                             [](const std::string& a, const std::string& b) { return CompareNoCase(a, b) == 0; }),
                 families.end());
  fonts_.clear();
  for (int i = 0; i < kTextSignFonts; ++i) fonts_.emplace_back(signfont::FontInfo(i).caption);
  fonts_.insert(fonts_.end(), families.begin(), families.end());
  SelectFont(0);
}

void FontChoice::SelectFont(int index) {
  fontIndex_ = index >= 0 && index < static_cast<int>(fonts_.size()) ? index : -1;
  FillSizes();
}

std::string FontChoice::FontName() const {
  return fontIndex_ >= 0 ? fonts_[static_cast<std::size_t>(fontIndex_)] : std::string();
}

void FontChoice::FillSizes() {
  sizes_.clear();
  sizeIndex_ = -1;
  // A sign font has the one size of its cell.
  sizesEnabled_ = fontIndex_ >= kTextSignFonts;
  if (!sizesEnabled_) return;
  if (sizeSource_) {
    for (const FaceSize& size : sizeSource_(FontName())) {
      if (!AddFontSize(sizes_, size, dpiY_)) break;
    }
  }
  if (sizes_.empty()) sizes_ = ScalableFontSizes();
  sizeIndex_ = 0;
}

void FontChoice::SelectSize(int index) {
  sizeIndex_ = index >= 0 && index < static_cast<int>(sizes_.size()) ? index : -1;
}

int FontChoice::PointSize() const {
  return sizeIndex_ >= 0 ? std::atoi(sizes_[static_cast<std::size_t>(sizeIndex_)].c_str()) : 0;
}

TextStyle FontChoice::CurrentStyle() const { return TextStyle{FontName(), PointSize()}; }

}  // namespace draw
