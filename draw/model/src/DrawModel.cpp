#include "draw/DrawModel.h"

#include <algorithm>
#include <array>
#include <utility>

namespace draw {

using raster::Box;
using raster::PenMode;

QRgb ColorIndexToColor(int index) {
  // Item "1" is true black, the view's background; items "2" to "9" are the
  // sign colours 0xE0, 0xA0, 0x1C, 0x14, 0xFC, 0xD8, 0xE8, 0xC8 expanded with
  // their low bits filled.
  static constexpr std::array<QRgb, kPaletteSize> kPalette = {
      0xFF000000u, 0xFFFF1F3Fu, 0xFFBF1F3Fu, 0xFF1FFF3Fu, 0xFF1FBF3Fu,
      0xFFFFFF3Fu, 0xFFDFDF3Fu, 0xFFFF5F3Fu, 0xFFDF5F3Fu,
  };
  if (index < 0 || index >= kPaletteSize) return kNoSelectionColor;
  return kPalette[static_cast<std::size_t>(index)];
}

void IncludeEndPoint(QPoint& p1, QPoint& p2) {
  if (p2.x() < p1.x()) {
    p1.rx() += 1;
  } else {
    p2.rx() += 1;
  }
  if (p2.y() < p1.y()) {
    p1.ry() += 1;
  } else {
    p2.ry() += 1;
  }
}

namespace {

Box BoxOf(QPoint a, QPoint b) { return Box{a.x(), a.y(), b.x(), b.y()}.Normalized(); }

}  // namespace

DrawModel::DrawModel() { ResetView(0, 0, true); }

void DrawModel::ResetView(int areaWidth, int areaHeight, bool resizePicture) {
  // Always whole blocks of the view scale, also when Clear Scratch runs while
  // the zoom window has the scale at 10: the view must stay a multiple of 3.
  const int w = std::max(areaWidth, 0) / kViewScale * kViewScale;
  const int h = std::max(areaHeight, 0) / kViewScale * kViewScale;
  view_ = raster::NewImage(w, h, raster::kBlack);
  if (resizePicture) {
    control_ = QSize(w, h);
    picture_ = raster::NewImage(w / kViewScale, h / kViewScale, raster::kBlack);
  }
}

void DrawModel::SetView(QImage image) {
  raster::MakeRgb32(image);
  view_ = std::move(image);
}

void DrawModel::CopyViewToPicture() {
  raster::StretchCopy(view_, Box{0, 0, control_.width(), control_.height()}, picture_,
                      Box{0, 0, picture_.width(), picture_.height()}, raster::CopyMode::kSrcCopy);
}

void DrawModel::CopyPictureToView() {
  raster::StretchCopy(picture_, Box{0, 0, picture_.width(), picture_.height()}, view_,
                      Box{0, 0, control_.width(), control_.height()}, raster::CopyMode::kSrcCopy);
}

void DrawModel::SetZoomed(bool zoomed) {
  zoomed_ = zoomed;
  scale_ = zoomed ? kZoomScale : kViewScale;
}

QPoint DrawModel::Snap(QPoint p) const { return QPoint(p.x() / scale_ * scale_, p.y() / scale_ * scale_); }

QPoint DrawModel::SignPixel(QPoint p) const { return QPoint(p.x() / scale_, p.y() / scale_); }

void DrawModel::SetSignSize(int width, int height) {
  signWidth_ = width;
  signHeight_ = height;
}

void DrawModel::SetCurrentTool(DrawTool tool) {
  currentTool_ = tool;
  if (tool >= DrawTool::kPencil && tool <= DrawTool::kFill) lastDrawTool_ = tool;
}

void DrawModel::LineTo(QPoint p) {
  if (pen_.width <= 1) {
    // The canvas's one-pixel line leaves out its end point.
    raster::ApplyPen(view_, raster::LinePixels(penPosition_, p, false), pen_.color, pen_.mode);
  } else {
    raster::ApplyPen(view_, raster::WideLinePixels(penPosition_, p, pen_.width), pen_.color, pen_.mode);
  }
  penPosition_ = p;
}

void DrawModel::SetToolPen() {
  switch (currentTool_) {
    case DrawTool::kCustomFrame:
      pen_.color = raster::kBlack;
      pen_.width = 1;
      brush_.clear = true;
      break;
    case DrawTool::kPencil:
      pen_.mode = PenMode::kCopy;
      pen_.width = scale_;
      pen_.color = CurrentColor();
      break;
    case DrawTool::kEraser:
      // Giving a hollow brush a colour makes it solid again.
      brush_.color = raster::kBlack;
      brush_.clear = false;
      break;
    case DrawTool::kLine:
    case DrawTool::kRectangle:
    case DrawTool::kEllipse:
      pen_.width = 1;
      pen_.color = raster::kBlack;
      brush_.clear = true;
      break;
    case DrawTool::kSignFrame:
    case DrawTool::kText:
    case DrawTool::kFill:
    case DrawTool::kZoom:
      break;
  }
}

void DrawModel::DrawShapeOnView(QPoint p1, QPoint p2, PenMode mode) {
  const QPoint lineFrom = p1, lineTo = p2;
  IncludeEndPoint(p1, p2);
  pen_.mode = mode;
  switch (currentTool_) {
    case DrawTool::kCustomFrame:
      raster::ApplyPen(view_, raster::RectanglePixels(BoxOf(p1, p2)), pen_.color, mode);
      bandShown = true;
      break;
    case DrawTool::kEraser:
      raster::FillBox(view_, Box{p2.x() - 5, p2.y() - 5, p2.x() + 5, p2.y() + 5}, brush_.color);
      break;
    case DrawTool::kLine:
      // Both end points, on the line between them: widening the end point of a
      // line would tilt it (a level line would end one row lower).
      raster::ApplyPen(view_, raster::LinePixels(lineFrom, lineTo, true), pen_.color, mode);
      penPosition_ = lineTo;
      break;
    case DrawTool::kRectangle:
      raster::ApplyPen(view_, raster::RectanglePixels(BoxOf(p1, p2)), pen_.color, mode);
      break;
    case DrawTool::kEllipse:
      raster::ApplyPen(view_, raster::EllipsePixels(BoxOf(p1, p2)), pen_.color, mode);
      break;
    default:
      break;
  }
}

void DrawModel::DrawShapeOnPicture(QPoint p1, QPoint p2, PenMode mode) {
  CopyViewToPicture();
  p1 = QPoint(p1.x() / scale_, p1.y() / scale_);
  p2 = QPoint(p2.x() / scale_, p2.y() / scale_);
  const QPoint lineFrom = p1, lineTo = p2;
  IncludeEndPoint(p1, p2);
  const QRgb color = CurrentColor();
  switch (currentTool_) {
    case DrawTool::kLine:
      raster::ApplyPen(picture_, raster::LinePixels(lineFrom, lineTo, true), color, mode);
      break;
    case DrawTool::kRectangle:
      raster::ApplyPen(picture_, raster::RectanglePixels(BoxOf(p1, p2)), color, mode);
      break;
    case DrawTool::kEllipse:
      raster::ApplyPen(picture_, raster::EllipsePixels(BoxOf(p1, p2)), color, mode);
      break;
    default:
      break;
  }
  CopyPictureToView();
}

void DrawModel::SetPicturePixel(QPoint p) {
  CopyViewToPicture();
  raster::SetPixel(picture_, p.x() / scale_, p.y() / scale_, CurrentColor());
  CopyPictureToView();
}

}  // namespace draw
