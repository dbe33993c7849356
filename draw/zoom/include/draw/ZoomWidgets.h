#pragma once
// The zoom window's widgets on the drawing area: the grid (`ZoomImg`) and the
// navigator (`palZoomWin` holding `palZ` with the picture `ImgS`), driven by
// the zoom logic of Zoom.h. `ZoomWindow` opens and closes them together.
#include <QFrame>
#include <QWidget>
#include <functional>
#include <string>

#include "draw/Zoom.h"

namespace draw {

class DrawModel;

// Paints the zoom grid; a press edits one cell, a move reads out the cell.
class ZoomGridWidget : public QWidget {
  Q_OBJECT
 public:
  ZoomGridWidget(Zoom& zoom, QWidget* parent);
  std::function<void(QPoint)> onPress;  // grid point
  std::function<void(QPoint)> onMove;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  Zoom& zoom_;
};

// The picture at one pixel a sign pixel, shifted inside the navigator; the
// left button drags it.
class NavigatorPicture : public QWidget {
  Q_OBJECT
 public:
  NavigatorPicture(const QImage& picture, QWidget* parent);
  std::function<void(bool left, QPoint)> onPress;
  std::function<void(QPoint)> onMove;
  std::function<void()> onRelease;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const QImage& picture_;
};

class ZoomWindow : public QObject {
  Q_OBJECT
 public:
  // The widgets become children of the drawing area, hidden.
  ZoomWindow(DrawModel& model, QWidget* drawingArea);

  // Sizes the window for the view (start-up).
  void SetUp(int viewWidth, int viewHeight);
  void ZoomIn(QPoint viewPoint);
  void ZoomOut();
  bool Zoomed() const { return zoom_.Open(); }

  // The colour a cell press paints (the colour box's palette colour).
  std::function<QRgb()> currentColor;
  // The view's widget, hidden while the zoom window is open.
  std::function<void(bool shown)> showView;
  // The status bar's read-outs: the cell under the pointer and the window's size.
  std::function<void(const std::string&)> showXY;
  std::function<void(const std::string&)> showClipping;

  Zoom& Logic() { return zoom_; }
  ZoomGridWidget* ZoomImg() { return zoomImg_; }
  QFrame* palZoomWin() { return palZoomWin_; }
  NavigatorPicture* ImgS() { return imgS_; }

  // Grid and navigator redrawn from the logic.
  void Repaint();

 private:
  void ZoomImgMouseDown(QPoint p);
  void ZoomImgMouseMove(QPoint p);
  void ImgSMouseDown(bool left, QPoint p);
  void ImgSMouseMove(QPoint p);
  void ImgSMouseUp();

  DrawModel& model_;
  Zoom zoom_;
  ZoomGridWidget* zoomImg_;
  QFrame* palZoomWin_;
  QWidget* palZ_;
  NavigatorPicture* imgS_;
};

}  // namespace draw
