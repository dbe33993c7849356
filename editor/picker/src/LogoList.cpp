#include "editor/LogoList.h"

#include <QPainter>
#include <cstdio>

#include "common/LogoFile.h"

namespace editor {

QImage FitLogoToSign(const QImage& logo, int signHeight) {
  QImage fitted(logo.width(), signHeight, QImage::Format_RGB32);
  fitted.fill(qRgb(0, 0, 0));
  QPainter painter(&fitted);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, logo.convertToFormat(QImage::Format_RGB32));  // rows below the sign are cut off
  return fitted;
}

void LogoList::Load(const std::string& path, int signHeight) {
  Clear();
  std::vector<QImage> read = logofile::LoadLogoFile(path, logofile::MagicRule::kExactMagic, 1);
  for (const QImage& logo : read) logos_.push_back(FitLogoToSign(logo, signHeight));
  if (!logos_.empty()) current_ = 0;
}

void LogoList::Clear() {
  logos_.clear();
  current_ = -1;
}

const QImage* LogoList::Current() const {
  if (current_ < 0 || current_ >= Count()) return nullptr;
  return &logos_[static_cast<std::size_t>(current_)];
}

bool LogoList::Select(int index) {
  if (index < 0 || index >= Count()) return false;
  current_ = index;
  return true;
}

std::string LogoList::InfoText() const {
  const QImage* logo = Current();
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d  %d X %d", current_ + 1, Count(), logo ? logo->height() : 0,
                logo ? logo->width() : 0);
  return text;
}

}  // namespace editor
