#include "draw/ToolController.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Util.h"
#include "draw/BitmapFile.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"

namespace draw {

using raster::PenMode;

namespace {

constexpr const char* kBoxInvisible = "Clipping box is invisible !";
constexpr const char* kNotABitmap = "File format is not accepted!";
// A 24-bit bitmap of some 22 million pixels, far wider than any sign.
constexpr std::size_t kMaxBitmapBytes = std::size_t{64} << 20;

bool IsFrameTool(DrawTool t) { return t == DrawTool::kCustomFrame || t == DrawTool::kSignFrame; }

raster::Box WholeImage(const QImage& image) { return raster::Box{0, 0, image.width(), image.height()}; }

}  // namespace

ToolController::ToolController(DrawModel& model, QObject* parent) : QObject(parent), model_(model) {}

void ToolController::SetZoomHost(ZoomHost* zoom) { zoom_ = zoom != nullptr ? zoom : &defaultZoom_; }

void ToolController::CloseZoom() {
  if (model_.Zoomed()) zoom_->ZoomOut();
}

void ToolController::SetXyText(const QString& text) {
  xyText_ = text;
  emit xyTextChanged(text);
}

void ToolController::SetClippingText(const QString& text) {
  clippingText_ = text;
  emit clippingTextChanged(text);
}

void ToolController::ChooseTool(DrawTool tool) {
  if (textBox_ != nullptr && textBox_->IsShown()) textBox_->CommitAndHide();
  if (box_.Shown()) ShowClippingBox(false);
  SetClippingText(QString());
  CloseZoom();
  const DrawTool current = model_.CurrentTool();
  const bool toggles = IsFrameTool(current) || current == DrawTool::kZoom;
  if (toggles && tool == current) {
    tool = model_.LastDrawTool();
    emit toolButtonShown(static_cast<int>(tool));
  }
  if (tool == DrawTool::kSignFrame) {
    const int s = model_.Scale();
    box_.Place(0, 0, model_.SignWidth() * s, model_.SignHeight() * s);
    ShowClippingBox(true);
    SetClippingText(QString("%1x%2").arg(model_.SignHeight()).arg(model_.SignWidth()));
  }
  model_.SetCurrentTool(tool);
  model_.SetToolPen();
  emit viewChanged();
}

bool ToolController::BandTool() const {
  switch (model_.CurrentTool()) {
    case DrawTool::kCustomFrame:
    case DrawTool::kLine:
    case DrawTool::kRectangle:
    case DrawTool::kEllipse:
      return true;
    default:
      return false;
  }
}

void ToolController::RemoveBand() {
  model_.DrawShapeOnView(model_.startPoint, model_.endPoint, PenMode::kNotXor);
}

void ToolController::ViewPress(QPoint p) {
  const QPoint at = model_.Snap(p);
  const DrawTool tool = model_.CurrentTool();
  switch (tool) {
    case DrawTool::kCustomFrame:
      if (box_.Shown()) ShowClippingBox(false);
      if (model_.bandShown) {
        RemoveBand();
        model_.bandShown = false;
      }
      break;
    case DrawTool::kEraser:
      model_.DrawShapeOnView(at, at, PenMode::kCopy);
      break;
    case DrawTool::kText:
      if (textBox_ != nullptr) {
        if (textBox_->IsShown()) {
          textBox_->CommitAndHide();
        } else {
          textBox_->OpenAt(at);
        }
      }
      break;
    case DrawTool::kFill:
      model_.ViewBrush().color = model_.CurrentColor();
      model_.ViewBrush().clear = false;
      raster::FloodFillSurface(model_.View(), at, model_.CurrentColor());
      break;
    default:
      break;
  }
  model_.startPoint = model_.endPoint = model_.penPoint = at;
  model_.MoveTo(at);
  model_.drawing = !(tool == DrawTool::kSignFrame || tool == DrawTool::kText || tool == DrawTool::kFill ||
                     tool == DrawTool::kZoom);
  bandDrawn_ = false;
  emit viewChanged();
}

void ToolController::ViewMove(QPoint p) {
  const QPoint at = model_.Snap(p);
  const int s = model_.Scale();
  if (model_.drawing) {
    switch (model_.CurrentTool()) {
      case DrawTool::kPencil:
        model_.ViewPen().color = model_.CurrentColor();
        model_.MoveTo(model_.penPoint);
        model_.LineTo(at);
        model_.penPoint = at;
        break;
      case DrawTool::kEraser:
        model_.DrawShapeOnView(at, at, PenMode::kCopy);
        break;
      default:
        if (BandTool()) {
          if (bandDrawn_) RemoveBand();
          model_.endPoint = at;
          model_.DrawShapeOnView(model_.startPoint, model_.endPoint, PenMode::kNotXor);
          bandDrawn_ = true;
          const QPoint a = model_.startPoint, b = model_.endPoint;
          SetClippingText(
              QString("%1x%2").arg(std::abs(b.y() / s - a.y() / s) + 1).arg(std::abs(b.x() / s - a.x() / s) + 1));
        }
        break;
    }
    emit viewChanged();
  }
  SetXyText(QString("(%1,%2)").arg(at.x() / s).arg(at.y() / s));
}

void ToolController::ViewRelease(QPoint p) {
  const QPoint at = model_.Snap(p);
  const DrawTool tool = model_.CurrentTool();
  if (tool == DrawTool::kZoom) {
    zoom_->ZoomIn(at);
    model_.drawing = false;
    emit viewChanged();
    return;
  }
  if (!model_.drawing) return;
  const bool click = at == model_.startPoint;
  const int s = model_.Scale();
  switch (tool) {
    case DrawTool::kCustomFrame:
      if (model_.bandShown) {
        RemoveBand();
        model_.bandShown = false;
      }
      if (click) {
        ShowClippingBox(false);
      } else {
        const QPoint a = model_.startPoint, b = model_.endPoint;
        const int left = std::min(a.x(), b.x()), top = std::min(a.y(), b.y());
        box_.Place(left, top, std::max(a.x(), b.x()) - left + s, std::max(a.y(), b.y()) - top + s);
        ShowClippingBox(true);
      }
      break;
    case DrawTool::kPencil:
      if (click) model_.SetPicturePixel(at);
      break;
    case DrawTool::kLine:
      if (click) {
        if (bandDrawn_) RemoveBand();
        model_.SetPicturePixel(at);
      } else {
        if (bandDrawn_) RemoveBand();
        model_.DrawShapeOnPicture(model_.startPoint, at, PenMode::kCopy);
      }
      break;
    case DrawTool::kRectangle:
    case DrawTool::kEllipse:
      if (bandDrawn_) RemoveBand();
      model_.DrawShapeOnPicture(model_.startPoint, at, PenMode::kCopy);
      break;
    case DrawTool::kEraser:
      model_.DrawShapeOnView(model_.startPoint, at, PenMode::kNotXor);
      break;
    default:
      break;
  }
  model_.drawing = false;
  bandDrawn_ = false;
  emit viewChanged();
}

void ToolController::ShowClippingBox(bool shown) {
  box_.SetShown(shown);
  if (!shown) SetClippingText(QString());
  emit clippingBoxChanged();
  emit clippingBoxShown(shown);
}

void ToolController::FrameRegion(QRect region) {
  ChooseTool(DrawTool::kPencil);
  ChooseTool(DrawTool::kCustomFrame);
  emit toolButtonShown(static_cast<int>(DrawTool::kCustomFrame));
  const QRect r = region.intersected(QRect(QPoint(0, 0), model_.ViewControl()));
  box_.Place(r.left(), r.top(), std::max(r.width(), 0), std::max(r.height(), 0));
  ShowClippingBox(true);
  SetClippingText(box_.SizeText(model_.Scale()));
}

void ToolController::BoxPress(QPoint local, bool leftButton) { box_.DragPress(model_.Snap(local), leftButton); }

void ToolController::BoxMove(QPoint local) {
  const QPoint at = model_.Snap(local);
  const bool moved = box_.Dragging();
  box_.DragMove(at);
  if (moved) emit clippingBoxChanged();
  const int s = model_.Scale();
  SetXyText(QString("%1,%2").arg((at.x() + box_.Left()) / s).arg((at.y() + box_.Top()) / s));
}

void ToolController::BoxRelease() {
  box_.DragRelease();
  emit clippingBoxChanged();
}

bool ToolController::FrameKey(int key, bool ctrl) {
  if (!IsFrameTool(model_.CurrentTool())) return false;
  const int s = model_.Scale();
  const bool consumed = box_.FrameKey(key, ctrl, s, model_.SignWidth(), model_.SignHeight());
  SetClippingText(box_.SizeText(s));
  if (consumed) emit clippingBoxChanged();
  return consumed;
}

void ToolController::CopyClipping(bool cut) {
  if (!box_.Shown()) {
    util::ShowWarning(kBoxInvisible);
    return;
  }
  clip_ = raster::NewImage(box_.Width(), box_.Height());
  raster::StretchCopy(model_.View(), box_.AsBox(), clip_, WholeImage(clip_), raster::CopyMode::kSrcCopy);
  if (cut) {
    raster::FillBox(model_.View(), box_.AsBox(), raster::kBlack);
    emit viewChanged();
  }
}

void ToolController::Paste() {
  if (!box_.Shown()) {
    util::ShowWarning(kBoxInvisible);
    return;
  }
  const auto mode = transparent_ ? raster::CopyMode::kSrcPaint : raster::CopyMode::kSrcCopy;
  raster::StretchCopy(clip_, WholeImage(clip_), model_.View(), box_.AsBox(), mode);
  emit viewChanged();
}

void ToolController::SetTransparent(bool on) {
  if (transparent_ == on) return;
  transparent_ = on;
  emit transparentChanged(on);
}

void ToolController::ClearScratch() {
  // The zoom first, so that its closing copy cannot land on the cleared view
  // and the view keeps the scale of 3 against the picture.
  CloseZoom();
  // The drawing area's size: a working picture of another size goes.
  model_.ResetView(model_.ViewControl().width(), model_.ViewControl().height(), false);
  model_.SetToolPen();
  emit viewChanged();
}

bool ToolController::ImportBitmap(const std::string& path) {
  // Read here rather than by QImage, which would wait on a FIFO for good.
  QImage bitmap;
  std::string cutShort;
  try {
    const std::vector<std::uint8_t> bytes = platform::ReadWholeFile(path, kMaxBitmapBytes);
    bitmap = DecodeWholeBitmap(bytes, cutShort);
  } catch (const platform::InOutError& e) {
    util::ShowWarning(e.error() == ENOENT ? std::string(kNotABitmap) : std::string(kNotABitmap) + "\n" + e.what());
    return false;
  }
  if (bitmap.isNull()) {
    util::ShowWarning(cutShort.empty() ? std::string(kNotABitmap) : std::string(kNotABitmap) + "\n" + cutShort);
    return false;
  }
  raster::MakeRgb32(bitmap);
  // Closed before drawing: its closing copy would put the picture back over
  // the imported pixels.
  CloseZoom();
  const int s = model_.Scale();
  raster::StretchCopy(bitmap, WholeImage(bitmap), model_.View(), raster::Box{0, 0, bitmap.width() * s, bitmap.height() * s},
                      raster::CopyMode::kSrcCopy);
  FrameRegion(QRect(0, 0, bitmap.width() * s, bitmap.height() * s));
  emit viewChanged();
  return true;
}

}  // namespace draw
