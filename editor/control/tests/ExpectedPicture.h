#pragma once
// Expected screen pictures built by hand from the tagged fonts' documented
// bytes, independent of the readers and the drawing code under test.
#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

namespace editor::testsupport {

// A glyph of a tagged font with one byte a row (fonts 0-4): row 0 the code,
// row 1 its complement, row r the number r. `columns` of each byte show.
inline QImage TaggedGlyph(std::uint8_t code, int rows, int columns, QRgb lit, bool reverse = false) {
  QImage g(columns, rows, QImage::Format_RGB32);
  for (int r = 0; r < rows; ++r) {
    const int byte = r == 0 ? code : r == 1 ? (code ^ 0xFF) : r;
    for (int c = 0; c < columns; ++c) {
      const bool on = ((byte << c) & 0x80) != 0;
      g.setPixel(c, r, on != reverse ? lit : qRgb(0, 0, 0));
    }
  }
  return g;
}

// `source` stretched into the box at (x, y) of w x h: each target pixel takes
// the source pixel under its centre.
inline void PutStretched(QImage& target, const QImage& source, int x, int y, int w, int h) {
  for (int ty = 0; ty < h; ++ty)
    for (int tx = 0; tx < w; ++tx) {
      const int sx = (2 * tx + 1) * source.width() / (2 * w);
      const int sy = (2 * ty + 1) * source.height() / (2 * h);
      if (x + tx >= 0 && x + tx < target.width() && y + ty >= 0 && y + ty < target.height())
        target.setPixel(x + tx, y + ty, source.pixel(sx, sy));
    }
}

inline QImage Filled(int w, int h, QRgb colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

// The first pixel where two pictures differ, as text ("" when equal).
inline std::string FirstDifference(const QImage& got, const QImage& want) {
  if (got.size() != want.size()) return "sizes differ";
  for (int y = 0; y < want.height(); ++y)
    for (int x = 0; x < want.width(); ++x)
      if ((got.pixel(x, y) & 0xFFFFFF) != (want.pixel(x, y) & 0xFFFFFF))
        return "at " + std::to_string(x) + "," + std::to_string(y) + ": got " +
               std::to_string(got.pixel(x, y) & 0xFFFFFF) + " want " + std::to_string(want.pixel(x, y) & 0xFFFFFF);
  return "";
}

}  // namespace editor::testsupport
