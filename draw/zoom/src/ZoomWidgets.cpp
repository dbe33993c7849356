#include "draw/ZoomWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstdio>

#include "draw/DrawModel.h"
#include "platform/ExceptionReport.h"

namespace draw {

namespace {

QPoint At(const QMouseEvent* event) { return event->position().toPoint(); }

constexpr int kBevel = 4;  // the navigator's frame and palZ's inset

}  // namespace

ZoomGridWidget::ZoomGridWidget(Zoom& zoom, QWidget* parent) : QWidget(parent), zoom_(zoom) {
  setObjectName("ZoomImg");
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ZoomGridWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, zoom_.Grid());
}

void ZoomGridWidget::mousePressEvent(QMouseEvent* event) {
  // Every button edits alike.
  if (onPress) platform::Guarded([&] { onPress(At(event)); });
}

void ZoomGridWidget::mouseMoveEvent(QMouseEvent* event) {
  if (onMove) platform::Guarded([&] { onMove(At(event)); });
}

NavigatorPicture::NavigatorPicture(const QImage& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
  setObjectName("ImgS");
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void NavigatorPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
}

void NavigatorPicture::mousePressEvent(QMouseEvent* event) {
  if (onPress) platform::Guarded([&] { onPress(event->button() == Qt::LeftButton, At(event)); });
}

void NavigatorPicture::mouseMoveEvent(QMouseEvent* event) {
  if (onMove) platform::Guarded([&] { onMove(At(event)); });
}

void NavigatorPicture::mouseReleaseEvent(QMouseEvent*) {
  if (onRelease) platform::Guarded([&] { onRelease(); });
}

ZoomWindow::ZoomWindow(DrawModel& model, QWidget* drawingArea) : QObject(drawingArea), model_(model) {
  zoomImg_ = new ZoomGridWidget(zoom_, drawingArea);
  zoomImg_->hide();
  palZoomWin_ = new QFrame(drawingArea);
  palZoomWin_->setObjectName("palZoomWin");
  palZoomWin_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  palZoomWin_->setLineWidth(2);
  palZoomWin_->setAutoFillBackground(true);
  QPalette aqua = palZoomWin_->palette();
  aqua.setColor(QPalette::Window, QColor(0, 255, 255));
  palZoomWin_->setPalette(aqua);
  palZoomWin_->hide();
  palZ_ = new QWidget(palZoomWin_);
  palZ_->setObjectName("palZ");
  imgS_ = new NavigatorPicture(model_.Picture(), palZ_);

  zoomImg_->onPress = [this](QPoint p) { ZoomImgMouseDown(p); };
  zoomImg_->onMove = [this](QPoint p) { ZoomImgMouseMove(p); };
  imgS_->onPress = [this](bool left, QPoint p) { ImgSMouseDown(left, p); };
  imgS_->onMove = [this](QPoint p) { ImgSMouseMove(p); };
  imgS_->onRelease = [this] { ImgSMouseUp(); };
}

void ZoomWindow::SetUp(int viewWidth, int viewHeight) {
  zoom_.SetUp(viewWidth, viewHeight);
  const QSize nav = zoom_.NavigatorSize();
  palZoomWin_->setGeometry(0, 0, nav.width(), nav.height());
  palZ_->setGeometry(kBevel, kBevel, zoom_.ZoomWidth(), zoom_.ZoomHeight());
  imgS_->resize(model_.Picture().size());
}

void ZoomWindow::Repaint() {
  zoomImg_->setGeometry(0, 0, zoom_.Grid().width(), zoom_.Grid().height());
  zoomImg_->update();
  imgS_->setGeometry(QRect(zoom_.NavOffset(), model_.Picture().size()));
  imgS_->update();
}

void ZoomWindow::ZoomIn(QPoint viewPoint) {
  if (showView) showView(false);
  zoom_.ZoomIn(model_, viewPoint);
  Repaint();
  palZoomWin_->show();
  palZoomWin_->raise();
  zoomImg_->show();
  if (showClipping) showClipping(zoom_.ClippingText());
}

void ZoomWindow::ZoomOut() {
  if (!zoom_.Open()) return;
  zoom_.ZoomOut(model_);
  palZoomWin_->hide();
  zoomImg_->hide();
  if (showView) showView(true);
  if (showClipping) showClipping("");
}

void ZoomWindow::ZoomImgMouseDown(QPoint p) {
  const QRgb color = currentColor ? currentColor() : model_.CurrentColor();
  if (zoom_.PressCell(model_, p, color)) {
    zoomImg_->update();
    imgS_->update();
  }
}

void ZoomWindow::ZoomImgMouseMove(QPoint p) {
  if (!showXY) return;
  const QPoint cell = zoom_.PictureCellAt(p);
  char text[32];
  std::snprintf(text, sizeof text, "%d,%d", cell.x(), cell.y());
  showXY(text);
}

void ZoomWindow::ImgSMouseDown(bool left, QPoint p) { zoom_.NavPress(left, p); }

void ZoomWindow::ImgSMouseMove(QPoint p) {
  if (zoom_.NavMove(p, model_.Picture().size())) imgS_->move(zoom_.NavOffset());
}

void ZoomWindow::ImgSMouseUp() {
  if (zoom_.NavRelease(model_.Picture())) Repaint();
}

}  // namespace draw
