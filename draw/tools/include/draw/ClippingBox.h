#pragma once
// The clipping box: a rectangle of the working view, in view pixels, that Cut,
// Copy, Paste and the logo list work on. Geometry and key rules only; the
// widget that shows it and the commands that use it sit above.
#include <QImage>
#include <QPoint>
#include <QRect>

#include "common/Raster.h"

namespace draw {

class ClippingBox {
 public:
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  QRect Rect() const { return QRect(left_, top_, width_, height_); }
  raster::Box AsBox() const { return raster::Box{left_, top_, left_ + width_, top_ + height_}; }
  bool Shown() const { return shown_; }

  void Place(int left, int top, int width, int height);
  void MoveBy(int dx, int dy);
  void SetShown(bool shown) { shown_ = shown; }

  // A key while a frame tool is current (scale s, sign size in sign pixels):
  // the geometry is cut down to whole sign pixels; Ctrl+arrows resize by one
  // sign pixel within 1 and the sign size, plain arrows move by one. Returns
  // whether the key was consumed (every arrow key is).
  bool FrameKey(int key, bool ctrl, int s, int signWidth, int signHeight);

  // The rows x columns read-out of the box, "%dx%d" in sign pixels.
  QString SizeText(int s) const;

  // Dragging with the mouse, in box-relative points already snapped to s.
  void DragPress(QPoint local, bool leftButton);
  void DragMove(QPoint local);
  void DragRelease() { dragging_ = false; }
  bool Dragging() const { return dragging_; }

 private:
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool shown_ = false;
  bool dragging_ = false;
  QPoint dragStart_;
};

// What the box shows over the view: the view's pixels under a frame s pixels
// wide along its border, inverted (a black pen in the inverting mode), and
// transparent inside. The result is box-sized, ARGB32.
QImage ClippingFrameImage(const QImage& view, const ClippingBox& box, int s);

}  // namespace draw
