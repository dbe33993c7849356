#include "draw/FrameKeyFilter.h"

#include <QApplication>
#include <QKeyEvent>

#include "platform/ExceptionReport.h"

namespace draw {

FrameKeyFilter::FrameKeyFilter(ToolController& tools, QWidget* window)
    : QObject(window), tools_(tools), window_(window) {
  qApp->installEventFilter(this);
}

FrameKeyFilter::~FrameKeyFilter() {
  if (qApp != nullptr) qApp->removeEventFilter(this);
}

bool FrameKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || window_ == nullptr) return false;
  auto* target = qobject_cast<QWidget*>(watched);
  // A key travels up from the focused control when it is ignored; look at it
  // once, where it starts.
  if (target == nullptr || target->window() != window_) return false;
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr ? target != focus : target != window_) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  bool consumed = false;
  platform::Guarded([&] { consumed = tools_.FrameKey(key->key(), key->modifiers().testFlag(Qt::ControlModifier)); });
  return consumed;
}

}  // namespace draw
