#include "editorapp/ImagePanel.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/ExceptionReport.h"

namespace editorapp {

void ImagePanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(128, 128, 128));
  if (!image_.isNull()) p.drawImage(0, 0, image_);
}

void ImagePanel::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (mousePressed) platform::Guarded([&] { mousePressed(at.x(), at.y()); });
}

}  // namespace editorapp
