#include "common/Raster.h"

#include <algorithm>
#include <cstdlib>

namespace raster {

namespace {

bool Inside(const QImage& image, int x, int y) {
  return x >= 0 && y >= 0 && x < image.width() && y < image.height();
}

bool TooLarge(std::int64_t w, std::int64_t h) { return w > kMaxShapeExtent || h > kMaxShapeExtent; }

void SortUnique(std::vector<QPoint>& points) {
  std::sort(points.begin(), points.end(), [](const QPoint& a, const QPoint& b) {
    return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
  });
  points.erase(std::unique(points.begin(), points.end()), points.end());
}

// Clips [lo, hi) to [0, limit).
void ClipRange(std::int64_t& lo, std::int64_t& hi, int limit) {
  lo = std::max<std::int64_t>(lo, 0);
  hi = std::min<std::int64_t>(hi, limit);
}

}  // namespace

Box Box::Normalized() const {
  return Box{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

QImage NewImage(int w, int h, QRgb fill) {
  QImage image(std::max(w, 0), std::max(h, 0), QImage::Format_RGB32);
  image.fill(Opaque(fill));
  return image;
}

void MakeRgb32(QImage& image) {
  if (image.format() != QImage::Format_RGB32) {
    image = image.convertToFormat(QImage::Format_RGB32);
  }
}

QRgb PixelAt(const QImage& image, int x, int y) {
  if (!Inside(image, x, y)) return kBlack;
  return Opaque(reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]);
}

void SetPixel(QImage& image, int x, int y, QRgb color) {
  if (!Inside(image, x, y)) return;
  reinterpret_cast<QRgb*>(image.scanLine(y))[x] = Opaque(color);
}

void PenPixel(QImage& image, int x, int y, QRgb pen, PenMode mode) {
  if (!Inside(image, x, y)) return;
  QRgb& p = reinterpret_cast<QRgb*>(image.scanLine(y))[x];
  p = mode == PenMode::kCopy ? Opaque(pen) : Opaque(~(pen ^ p));
}

void ApplyPen(QImage& image, const std::vector<QPoint>& points, QRgb pen, PenMode mode) {
  for (const QPoint& p : points) PenPixel(image, p.x(), p.y(), pen, mode);
}

void FillBox(QImage& image, Box box, QRgb color) {
  Box b = box.Normalized();
  std::int64_t x0 = b.left, x1 = b.right, y0 = b.top, y1 = b.bottom;
  ClipRange(x0, x1, image.width());
  ClipRange(y0, y1, image.height());
  if (x0 >= x1 || y0 >= y1) return;
  const QRgb c = Opaque(color);
  for (std::int64_t y = y0; y < y1; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    std::fill(row + x0, row + x1, c);
  }
}

void StretchCopy(const QImage& src, Box from, QImage& dst, Box to, CopyMode mode) {
  if (&src == &dst) {
    const QImage copy = src.copy();
    StretchCopy(copy, from, dst, to, mode);
    return;
  }
  const Box f = from.Normalized();
  const Box t = to.Normalized();
  if (f.Empty() || t.Empty()) return;
  const std::int64_t sw = f.Width(), sh = f.Height(), dw = t.Width(), dh = t.Height();

  std::int64_t x0 = t.left, x1 = t.right, y0 = t.top, y1 = t.bottom;
  ClipRange(x0, x1, dst.width());
  ClipRange(y0, y1, dst.height());
  if (x0 >= x1 || y0 >= y1) return;

  // The source column of each target column: the one under the target pixel's
  // centre. 128-bit so that no box size can overflow.
  auto sourceOf = [](std::int64_t d, std::int64_t srcLen, std::int64_t dstLen, int srcStart) {
    __int128 num = static_cast<__int128>(2 * d + 1) * srcLen;
    return static_cast<std::int64_t>(srcStart + static_cast<std::int64_t>(num / (2 * dstLen)));
  };
  std::vector<std::int64_t> columns(static_cast<std::size_t>(x1 - x0));
  for (std::int64_t x = x0; x < x1; ++x) columns[static_cast<std::size_t>(x - x0)] = sourceOf(x - t.left, sw, dw, f.left);

  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int64_t sy = sourceOf(y - t.top, sh, dh, f.top);
    const bool rowInside = sy >= 0 && sy < src.height();
    const QRgb* srow = rowInside ? reinterpret_cast<const QRgb*>(src.constScanLine(static_cast<int>(sy))) : nullptr;
    QRgb* drow = reinterpret_cast<QRgb*>(dst.scanLine(static_cast<int>(y)));
    for (std::int64_t x = x0; x < x1; ++x) {
      const std::int64_t sx = columns[static_cast<std::size_t>(x - x0)];
      const QRgb s = (srow != nullptr && sx >= 0 && sx < src.width()) ? Opaque(srow[sx]) : kBlack;
      drow[x] = mode == CopyMode::kSrcCopy ? s : Opaque(drow[x] | s);
    }
  }
}

void CopyBox(const QImage& src, Box from, QImage& dst, QPoint at, CopyMode mode) {
  const Box f = from.Normalized();
  const Box t{at.x(), at.y(), static_cast<int>(at.x() + f.Width()), static_cast<int>(at.y() + f.Height())};
  StretchCopy(src, f, dst, t, mode);
}

std::vector<QPoint> LinePixels(QPoint from, QPoint to, bool includeEnd) {
  std::vector<QPoint> points;
  const std::int64_t dx = std::llabs(static_cast<std::int64_t>(to.x()) - from.x());
  const std::int64_t dy = -std::llabs(static_cast<std::int64_t>(to.y()) - from.y());
  if (TooLarge(dx, -dy)) return points;
  const int sx = from.x() < to.x() ? 1 : -1;
  const int sy = from.y() < to.y() ? 1 : -1;
  std::int64_t err = dx + dy;
  int x = from.x(), y = from.y();
  points.reserve(static_cast<std::size_t>(std::max(dx, -dy) + 1));
  for (;;) {
    const bool atEnd = x == to.x() && y == to.y();
    if (atEnd) {
      if (includeEnd) points.emplace_back(x, y);
      break;
    }
    points.emplace_back(x, y);
    const std::int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  return points;
}

std::vector<QPoint> RectanglePixels(Box box) {
  std::vector<QPoint> points;
  const Box b = box.Normalized();
  if (b.Empty() || TooLarge(b.Width(), b.Height())) return points;
  const int r = b.right - 1, btm = b.bottom - 1;
  for (int x = b.left; x <= r; ++x) points.emplace_back(x, b.top);
  for (int y = b.top + 1; y < btm; ++y) {
    points.emplace_back(b.left, y);
    if (r != b.left) points.emplace_back(r, y);
  }
  if (btm != b.top) {
    for (int x = b.left; x <= r; ++x) points.emplace_back(x, btm);
  }
  return points;
}

std::vector<QPoint> EllipsePixels(Box box) {
  std::vector<QPoint> points;
  const Box b = box.Normalized();
  if (b.Empty() || TooLarge(b.Width(), b.Height())) return points;
  // Midpoint ellipse in the box of inclusive corners (x0, y0) .. (x1, y1); its
  // error terms work for even and odd diameters alike.
  std::int64_t x0 = b.left, x1 = b.right - 1, y0 = b.top, y1 = b.bottom - 1;
  std::int64_t a = x1 - x0, bb = y1 - y0, b1 = bb & 1;
  std::int64_t dx = 4 * (1 - a) * bb * bb, dy = 4 * (b1 + 1) * a * a;
  std::int64_t err = dx + dy + b1 * a * a;
  y0 += (bb + 1) / 2;
  y1 = y0 - b1;
  a *= 8 * a;
  b1 = 8 * bb * bb;
  auto plot = [&points](std::int64_t x, std::int64_t y) { points.emplace_back(static_cast<int>(x), static_cast<int>(y)); };
  do {
    plot(x1, y0);
    plot(x0, y0);
    plot(x0, y1);
    plot(x1, y1);
    const std::int64_t e2 = 2 * err;
    if (e2 <= dy) {
      ++y0;
      --y1;
      dy += a;
      err += dy;
    }
    if (e2 >= dx || 2 * err > dy) {
      ++x0;
      --x1;
      dx += b1;
      err += dx;
    }
  } while (x0 <= x1);
  // A flat ellipse (width 1 or 2) stops early: finish its tips.
  while (y0 - y1 <= bb) {
    plot(x0 - 1, y0);
    plot(x1 + 1, y0++);
    plot(x0 - 1, y1);
    plot(x1 + 1, y1--);
  }
  SortUnique(points);
  return points;
}

std::vector<QPoint> FramePixels(Box box, int width) {
  std::vector<QPoint> points;
  const Box b = box.Normalized();
  if (b.Empty() || width <= 0 || TooLarge(b.Width(), b.Height())) return points;
  const std::int64_t w = width;
  for (int y = b.top; y < b.bottom; ++y) {
    const bool bandRow = y - b.top < w || b.bottom - 1 - y < w;
    for (int x = b.left; x < b.right; ++x) {
      if (bandRow) {
        points.emplace_back(x, y);
      } else if (x - b.left < w || b.right - 1 - x < w) {
        points.emplace_back(x, y);
      } else {
        // Skip the inside of the frame.
        x = static_cast<int>(std::max<std::int64_t>(x, b.right - 1 - w));
      }
    }
  }
  return points;
}

std::vector<QPoint> WideLinePixels(QPoint from, QPoint to, int width) {
  std::vector<QPoint> points;
  if (width <= 0 || width > kMaxShapeExtent) return points;
  for (const QPoint& p : LinePixels(from, to, true)) {
    for (int dy = 0; dy < width; ++dy) {
      for (int dx = 0; dx < width; ++dx) points.emplace_back(p.x() + dx, p.y() + dy);
    }
  }
  SortUnique(points);
  return points;
}

std::size_t FloodFillSurface(QImage& image, QPoint seed, QRgb color) {
  if (!Inside(image, seed.x(), seed.y())) return 0;
  const QRgb target = PixelAt(image, seed.x(), seed.y());
  const QRgb fill = Opaque(color);
  if (SameColor(target, fill)) return 0;
  const int w = image.width(), h = image.height();
  auto row = [&image](int y) { return reinterpret_cast<QRgb*>(image.scanLine(y)); };
  auto isTarget = [target](QRgb p) { return SameColor(p, target); };

  std::size_t changed = 0;
  std::vector<QPoint> stack{seed};
  while (!stack.empty()) {
    const QPoint p = stack.back();
    stack.pop_back();
    QRgb* r = row(p.y());
    if (!isTarget(r[p.x()])) continue;
    int left = p.x(), right = p.x();
    while (left > 0 && isTarget(r[left - 1])) --left;
    while (right < w - 1 && isTarget(r[right + 1])) ++right;
    for (int x = left; x <= right; ++x) r[x] = fill;
    changed += static_cast<std::size_t>(right - left + 1);
    // One seed for each run of the target colour in the rows above and below.
    for (int ny : {p.y() - 1, p.y() + 1}) {
      if (ny < 0 || ny >= h) continue;
      const QRgb* n = row(ny);
      bool inRun = false;
      for (int x = left; x <= right; ++x) {
        const bool t = isTarget(n[x]);
        if (t && !inRun) stack.emplace_back(x, ny);
        inRun = t;
      }
    }
  }
  return changed;
}

}  // namespace raster
