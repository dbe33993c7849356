#pragma once
// The zoom window: a part of the picture shown at 10 screen pixels a sign
// pixel on a white grid, edited one cell per press, and the navigator that
// pans it. While it is open the picture is the master; closing copies the
// picture back over the view.
//
// This is the logic only: the grid image, the cell cache and the navigator's
// offset. The widgets that show them are in ZoomWidgets.h.
#include <QImage>
#include <QPoint>
#include <QSize>
#include <string>
#include <vector>

#include "common/Raster.h"

namespace draw {

class DrawModel;

constexpr int kZoomCell = 10;  // screen pixels a cell, grid line included

class Zoom {
 public:
  // The zoom window's size in cells for a view of w x h screen pixels:
  // w div 10 + 1 by h div 10 + 1. Clears the cache and closes nothing.
  void SetUp(int viewWidth, int viewHeight);
  int ZoomWidth() const { return zoomWidth_; }
  int ZoomHeight() const { return zoomHeight_; }
  // The navigator is the zoom window's size plus its bevels.
  QSize NavigatorSize() const { return QSize(zoomWidth_ + 8, zoomHeight_ + 8); }

  // Opens the zoom window around the (snapped) view point p: hides nothing
  // itself, but brings the picture up to date, draws the grid and its cells and
  // puts the model at the zoom scale.
  void ZoomIn(DrawModel& model, QPoint p);
  // Copies the picture over the view and puts the model back at the view scale.
  void ZoomOut(DrawModel& model);
  bool Open() const { return open_; }

  // The rectangle of picture pixels for the origin (x0, y0): ZoomWidth x
  // ZoomHeight cells, cut at the picture's right and bottom edge (the origin
  // never moves back). The cache of its cells is cleared.
  raster::Box ClampZoomRect(int x0, int y0, QSize picture);
  // The grid image for the rectangle: black, with white lines every 10 pixels.
  void DrawZoomGrid(raster::Box rect);
  // Paints every cell whose picture colour differs from what was last painted
  // there; returns how many were painted.
  int RefreshZoomCells(const QImage& picture);

  // A press on the grid at grid point p with `color`: the cell and its picture
  // pixel take the colour unless the cell shows it already. True when painted.
  bool PressCell(DrawModel& model, QPoint p, QRgb color);
  // The picture pixel under grid point p.
  QPoint PictureCellAt(QPoint p) const;

  // Panning: a press on the navigator's picture at p (its own coordinates),
  // moves while pressed, and the release that moves the grid there.
  void NavPress(bool leftButton, QPoint p);
  // True when the picture's offset in the navigator changed.
  bool NavMove(QPoint p, QSize picture);
  // True when a drag ended (and the grid was redrawn).
  bool NavRelease(const QImage& picture);
  bool NavDragging() const { return navDragging_; }

  raster::Box ZoomRect() const { return rect_; }
  const QImage& Grid() const { return grid_; }
  // Where the navigator shows the picture: minus the rectangle's origin while
  // not dragged, the dragged place while dragged.
  QPoint NavOffset() const { return navOffset_; }
  // The read-out of the open window: "%dx%d" with its height and width in cells.
  std::string ClippingText() const;

 private:
  QRgb& CacheAt(int column, int row);
  void PaintCell(int column, int row, QRgb color);

  int zoomWidth_ = 1;
  int zoomHeight_ = 1;
  bool open_ = false;
  raster::Box rect_;
  // The colour last painted into each cell of the window, 0 (the grid's
  // black) for none; column c, row r at c * zoomHeight_ + r. Sized to the
  // window, so any view size fits.
  std::vector<QRgb> cache_;
  QImage grid_;
  QPoint navOffset_;
  bool navDragging_ = false;
  QPoint navDragStart_;
};

}  // namespace draw
