#include "draw/Zoom.h"

#include <algorithm>
#include <cstdio>

#include "draw/DrawModel.h"

namespace draw {

using raster::Box;

void Zoom::SetUp(int viewWidth, int viewHeight) {
  zoomWidth_ = std::max(viewWidth, 0) / kZoomCell + 1;
  zoomHeight_ = std::max(viewHeight, 0) / kZoomCell + 1;
  cache_.assign(static_cast<std::size_t>(zoomWidth_) * static_cast<std::size_t>(zoomHeight_), 0u);
}

QRgb& Zoom::CacheAt(int column, int row) {
  return cache_[static_cast<std::size_t>(column) * static_cast<std::size_t>(zoomHeight_) +
                static_cast<std::size_t>(row)];
}

Box Zoom::ClampZoomRect(int x0, int y0, QSize picture) {
  const int right = std::max(x0, std::min(x0 + zoomWidth_, picture.width()));
  const int bottom = std::max(y0, std::min(y0 + zoomHeight_, picture.height()));
  const Box rect{x0, y0, right, bottom};
  for (int c = 0; c < right - x0; ++c) {
    for (int r = 0; r < bottom - y0; ++r) CacheAt(c, r) = 0u;
  }
  return rect;
}

void Zoom::DrawZoomGrid(Box rect) {
  const int w = static_cast<int>(rect.Width()) * kZoomCell;
  const int h = static_cast<int>(rect.Height()) * kZoomCell;
  grid_ = raster::NewImage(w, h, raster::kBlack);
  for (int y = 0; y < h; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(grid_.scanLine(y));
    if (y % kZoomCell == 0) {
      std::fill(row, row + w, raster::kWhite);
    } else {
      for (int x = 0; x < w; x += kZoomCell) row[x] = raster::kWhite;
    }
  }
}

void Zoom::PaintCell(int column, int row, QRgb color) {
  // Inside the grid lines, with a black gap of one pixel on the left and top.
  const int x = column * kZoomCell, y = row * kZoomCell;
  raster::FillBox(grid_, Box{x + 2, y + 2, x + kZoomCell, y + kZoomCell}, color);
}

int Zoom::RefreshZoomCells(const QImage& picture) {
  int painted = 0;
  for (int x = rect_.left; x < rect_.right; ++x) {
    for (int y = rect_.top; y < rect_.bottom; ++y) {
      const QRgb color = raster::PixelAt(picture, x, y);
      QRgb& cached = CacheAt(x - rect_.left, y - rect_.top);
      // Alpha is no colour: a black pixel matches the cache's 0.
      if (raster::SameColor(cached, color)) continue;
      cached = color;
      PaintCell(x - rect_.left, y - rect_.top, color);
      ++painted;
    }
  }
  return painted;
}

void Zoom::ZoomIn(DrawModel& model, QPoint p) {
  if (open_) ZoomOut(model);
  // The view is at its own scale here; the division truncates towards zero.
  const int x0 = std::max(p.x() / kViewScale - zoomWidth_ / 2, 0);
  const int y0 = std::max(p.y() / kViewScale - zoomHeight_ / 2, 0);
  model.CopyViewToPicture();
  rect_ = ClampZoomRect(x0, y0, model.Picture().size());
  navOffset_ = QPoint(-rect_.left, -rect_.top);
  navDragging_ = false;
  DrawZoomGrid(rect_);
  RefreshZoomCells(model.Picture());
  model.SetZoomed(true);
  open_ = true;
}

void Zoom::ZoomOut(DrawModel& model) {
  if (!open_) return;
  model.CopyPictureToView();
  model.SetZoomed(false);
  open_ = false;
  navDragging_ = false;
}

QPoint Zoom::PictureCellAt(QPoint p) const {
  return QPoint(p.x() / kZoomCell + rect_.left, p.y() / kZoomCell + rect_.top);
}

bool Zoom::PressCell(DrawModel& model, QPoint p, QRgb color) {
  if (!open_ || p.x() < 0 || p.y() < 0) return false;
  const int c = p.x() / kZoomCell, r = p.y() / kZoomCell;
  if (c >= rect_.Width() || r >= rect_.Height()) return false;
  QRgb& cached = CacheAt(c, r);
  if (raster::SameColor(cached, color)) return false;
  cached = color;
  PaintCell(c, r, color);
  raster::SetPixel(model.Picture(), c + rect_.left, r + rect_.top, color);
  return true;
}

void Zoom::NavPress(bool leftButton, QPoint p) {
  navDragging_ = leftButton && open_;
  navDragStart_ = p;
}

namespace {

// The picture's new offset along one axis: dragged by `delta`, kept so that
// the window never shows beyond the picture's edges.
int DraggedOffset(int offset, int delta, int window, int picture) {
  if (picture <= window) return 0;
  return std::clamp(offset + delta, window - picture, 0);
}

}  // namespace

bool Zoom::NavMove(QPoint p, QSize picture) {
  if (!navDragging_) return false;
  const QPoint moved(DraggedOffset(navOffset_.x(), p.x() - navDragStart_.x(), zoomWidth_, picture.width()),
                     DraggedOffset(navOffset_.y(), p.y() - navDragStart_.y(), zoomHeight_, picture.height()));
  if (moved == navOffset_) return false;
  navOffset_ = moved;
  return true;
}

bool Zoom::NavRelease(const QImage& picture) {
  if (!navDragging_) return false;
  navDragging_ = false;
  rect_ = ClampZoomRect(-navOffset_.x(), -navOffset_.y(), picture.size());
  DrawZoomGrid(rect_);
  RefreshZoomCells(picture);
  return true;
}

std::string Zoom::ClippingText() const {
  char text[32];
  std::snprintf(text, sizeof text, "%dx%d", zoomHeight_, zoomWidth_);
  return text;
}

}  // namespace draw
