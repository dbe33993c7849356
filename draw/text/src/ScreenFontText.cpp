#include "ScreenFontText.h"

#include <QFontMetrics>
#include <QPainter>

#include "common/DoubleByteClass.h"
#include "common/Raster.h"
#include "platform/QtText.h"

namespace draw {

QFont ScreenFont(const TextChar& c, int dpiY) {
  QFont font(platform::ToQt(c.fontName));
  // Points to pixels as the system sizes a font: size x dpi / 72, rounded.
  if (c.pointSize > 0 && dpiY > 0) font.setPixelSize(std::max(1, (c.pointSize * dpiY + 36) / 72));
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

QString ScreenCharText(const TextChar& c) {
  if (c.IsPair()) {
    if (const std::optional<char32_t> u = signfont::Big5ToUnicode(c.Lead(), c.Trail())) {
      const char32_t text[] = {*u};
      return QString::fromUcs4(text, 1);
    }
    return QString();
  }
  return QString(QChar(static_cast<char16_t>(c.code)));
}

QImage RenderScreenChar(const TextChar& c, int dpiY) {
  const QFont font = ScreenFont(c, dpiY);
  const QFontMetrics metrics(font);
  const QString text = ScreenCharText(c);
  QImage glyph = raster::NewImage(metrics.horizontalAdvance(text), metrics.height());
  if (glyph.isNull()) return glyph;
  QPainter painter(&glyph);
  painter.setFont(font);
  painter.setPen(QColor::fromRgb(c.colour));
  painter.drawText(QPoint(0, metrics.ascent()), text);
  return glyph;
}

}  // namespace draw
