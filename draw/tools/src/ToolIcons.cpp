#include "draw/ToolIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace draw {

namespace {

const QColor kInk(0x20, 0x20, 0x20);

QPen Ink(qreal width = 1.5) { return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void DashedBox(QPainter& p, const QRectF& r) {
  QPen dashed = Ink(1.0);
  dashed.setDashPattern({2, 2});
  dashed.setCapStyle(Qt::FlatCap);
  p.setPen(dashed);
  p.setBrush(Qt::NoBrush);
  p.drawRect(r);
}

// The sign: a dark strip with a row of lit lamps, framed by the dashed box.
void SignFrame(QPainter& p) {
  DashedBox(p, QRectF(1.5, 6.5, 21, 11));
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRect(QRectF(4, 9, 16, 6));
  p.setBrush(QColor(0xFF, 0xC0, 0x00));
  for (int i = 0; i < 5; ++i) p.drawEllipse(QRectF(5 + i * 3, 11, 2, 2));
}

void Pencil(QPainter& p) {
  p.translate(12, 12);
  p.rotate(-45);
  p.setPen(Ink(1.0));
  p.setBrush(QColor(0xF0, 0xC0, 0x30));
  p.drawRect(QRectF(-6, -2.5, 12, 5));  // the body
  p.setBrush(QColor(0xE8, 0x90, 0x90));
  p.drawRect(QRectF(6, -2.5, 3, 5));  // the rubber end
  QPainterPath tip;
  tip.moveTo(-6, -2.5);
  tip.lineTo(-10.5, 0);
  tip.lineTo(-6, 2.5);
  tip.closeSubpath();
  p.setBrush(QColor(0xF0, 0xD8, 0xB0));
  p.drawPath(tip);
  p.setBrush(kInk);
  p.drawEllipse(QPointF(-9.5, 0), 1, 1);  // the lead
}

void Eraser(QPainter& p) {
  p.translate(12, 13);
  p.rotate(-30);
  p.setPen(Ink(1.0));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(-8, -4, 8, 8));
  p.setBrush(QColor(0xE0, 0x60, 0x80));
  p.drawRect(QRectF(0, -4, 8, 8));
  p.resetTransform();
  p.setPen(Ink(1.0));
  p.drawLine(QPointF(2, 21.5), QPointF(14, 21.5));  // the rubbed-out track
}

void Letter(QPainter& p) {
  QFont font("Sans Serif");
  font.setPixelSize(19);
  font.setBold(true);
  p.setFont(font);
  p.setPen(kInk);
  p.drawText(QRect(0, 0, kToolIconSize, kToolIconSize), Qt::AlignCenter, "A");
}

void Line(QPainter& p) {
  p.setPen(Ink(2.0));
  p.drawLine(QPointF(4, 20), QPointF(20, 4));
}

void Rectangle(QPainter& p) {
  p.setPen(Ink(2.0));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(3, 6, 18, 12));
}

void Ellipse(QPainter& p) {
  p.setPen(Ink(2.0));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(2, 6, 20, 12));
}

// A tipped bucket pouring a drop of paint.
void Bucket(QPainter& p) {
  p.save();
  p.translate(10, 12);
  p.rotate(-35);
  QPainterPath body;
  body.moveTo(-6, -5);
  body.lineTo(6, -5);
  body.lineTo(5, 7);
  body.lineTo(-5, 7);
  body.closeSubpath();
  p.setPen(Ink(1.0));
  p.setBrush(QColor(0xB0, 0xB8, 0xC8));
  p.drawPath(body);
  p.setBrush(QColor(0x30, 0x70, 0xE0));
  p.drawEllipse(QRectF(-6, -6.5, 12, 3));  // the paint at its mouth
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(-5, -11, 10, 10), 0, 180 * 16);  // the handle
  p.restore();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x30, 0x70, 0xE0));
  QPainterPath drop;
  drop.moveTo(19, 12);
  drop.cubicTo(21.5, 16, 22.5, 18, 19, 20.5);
  drop.cubicTo(15.5, 18, 16.5, 16, 19, 12);
  p.drawPath(drop);
}

void Magnifier(QPainter& p) {
  p.setPen(QPen(kInk, 3.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));  // the handle
  p.setPen(Ink(2.0));
  p.setBrush(QColor(0xD8, 0xEC, 0xFF));
  p.drawEllipse(QRectF(2.5, 2.5, 13, 13));
}

}  // namespace

QIcon ToolIcon(DrawTool tool) {
  QPixmap picture(kToolIconSize, kToolIconSize);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  switch (tool) {
    case DrawTool::kCustomFrame: DashedBox(p, QRectF(3.5, 3.5, 17, 17)); break;
    case DrawTool::kSignFrame: SignFrame(p); break;
    case DrawTool::kPencil: Pencil(p); break;
    case DrawTool::kEraser: Eraser(p); break;
    case DrawTool::kText: Letter(p); break;
    case DrawTool::kLine: Line(p); break;
    case DrawTool::kRectangle: Rectangle(p); break;
    case DrawTool::kEllipse: Ellipse(p); break;
    case DrawTool::kFill: Bucket(p); break;
    case DrawTool::kZoom: Magnifier(p); break;
  }
  p.end();
  return QIcon(picture);
}

}  // namespace draw
