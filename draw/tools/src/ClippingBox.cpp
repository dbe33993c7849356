#include "draw/ClippingBox.h"

#include <Qt>

namespace draw {

void ClippingBox::Place(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void ClippingBox::MoveBy(int dx, int dy) {
  left_ += dx;
  top_ += dy;
}

bool ClippingBox::FrameKey(int key, bool ctrl, int s, int signWidth, int signHeight) {
  left_ = left_ / s * s;
  top_ = top_ / s * s;
  width_ = width_ / s * s;
  height_ = height_ / s * s;
  const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
  if (!arrow) return false;
  if (ctrl) {
    // Consumed also when a limit holds the size, so the key never moves the box.
    switch (key) {
      case Qt::Key_Left:
        if (width_ > s) width_ -= s;
        break;
      case Qt::Key_Right:
        if (width_ < signWidth * s) width_ += s;
        break;
      case Qt::Key_Up:
        if (height_ > s) height_ -= s;
        break;
      default:
        if (height_ < signHeight * s) height_ += s;
        break;
    }
    return true;
  }
  switch (key) {
    case Qt::Key_Left:
      left_ -= s;
      break;
    case Qt::Key_Right:
      left_ += s;
      break;
    case Qt::Key_Up:
      top_ -= s;
      break;
    default:
      top_ += s;
      break;
  }
  return true;
}

QString ClippingBox::SizeText(int s) const { return QString("%1x%2").arg(height_ / s).arg(width_ / s); }

void ClippingBox::DragPress(QPoint local, bool leftButton) {
  dragging_ = leftButton;
  if (leftButton) dragStart_ = local;
}

void ClippingBox::DragMove(QPoint local) {
  if (dragging_) MoveBy(local.x() - dragStart_.x(), local.y() - dragStart_.y());
}

QImage ClippingFrameImage(const QImage& view, const ClippingBox& box, int s) {
  QImage frame(box.Width() > 0 ? box.Width() : 0, box.Height() > 0 ? box.Height() : 0, QImage::Format_ARGB32);
  frame.fill(Qt::transparent);
  for (const QPoint& p : raster::FramePixels(raster::Box{0, 0, frame.width(), frame.height()}, s)) {
    const QRgb under = raster::PixelAt(view, box.Left() + p.x(), box.Top() + p.y());
    // A black pen in the inverting mode: NOT (0 XOR pixel).
    raster::SetPixel(frame, p.x(), p.y(), raster::Opaque(~under));
  }
  return frame;
}

}  // namespace draw
