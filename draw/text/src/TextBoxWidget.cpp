#include "draw/text/TextBoxWidget.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <optional>

#include "platform/ExceptionReport.h"

namespace draw {

namespace {

constexpr QRgb kCaretGrey = 0xFF808080u;

std::optional<TextKey> BoxKey(int key) {
  switch (key) {
    case Qt::Key_Backspace: return TextKey::kBackspace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return TextKey::kEnter;
    case Qt::Key_End: return TextKey::kEnd;
    case Qt::Key_Home: return TextKey::kHome;
    case Qt::Key_Left: return TextKey::kLeft;
    case Qt::Key_Up: return TextKey::kUp;
    case Qt::Key_Right: return TextKey::kRight;
    case Qt::Key_Down: return TextKey::kDown;
    case Qt::Key_Delete: return TextKey::kDelete;
    default: return std::nullopt;
  }
}

}  // namespace

TextBoxWidget::TextBoxWidget(TextBox& box, QWidget* parent) : QWidget(parent), box_(box) {
  setObjectName("TextBox");
  setFocusPolicy(Qt::StrongFocus);  // a tab stop
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_OpaquePaintEvent);
  const int flash = QApplication::cursorFlashTime();
  blink_.setInterval(flash > 0 ? flash / 2 : 500);
  connect(&blink_, &QTimer::timeout, this, [this] {
    caretOn_ = !caretOn_;
    update(box_.CaretRect());
  });
  box_.SetChangeListener([this] { Follow(); });
  Follow();
}

TextBoxWidget::~TextBoxWidget() { box_.SetChangeListener(nullptr); }

void TextBoxWidget::Follow() {
  setGeometry(QRect(box_.Position(), box_.Size()));
  const bool opening = box_.IsShown() && isHidden();
  setVisible(box_.IsShown());
  if (opening) {
    raise();
    setFocus(Qt::OtherFocusReason);
  }
  RestartCaret();
  update();
}

void TextBoxWidget::RestartCaret() {
  caretOn_ = true;
  if (hasFocus() && blink_.interval() > 0) {
    blink_.start();
  } else {
    blink_.stop();
  }
}

void TextBoxWidget::paintEvent(QPaintEvent*) {
  platform::Guarded([&] {
    QPainter painter(this);
    painter.drawImage(0, 0, box_.FramedImage());
    if (CaretVisible()) painter.fillRect(box_.CaretRect(), QColor::fromRgb(kCaretGrey));
  });
}

void TextBoxWidget::keyPressEvent(QKeyEvent* event) {
  platform::Guarded([&] {
    if (const std::optional<TextKey> key = BoxKey(event->key())) {
      box_.KeyDown(*key);
    } else if (!event->text().isEmpty()) {
      box_.TypeText(event->text().toStdU32String());
    }
  });
  event->accept();
}

void TextBoxWidget::inputMethodEvent(QInputMethodEvent* event) {
  platform::Guarded([&] {
    if (!event->commitString().isEmpty()) box_.TypeText(event->commitString().toStdU32String());
  });
  event->accept();
}

QVariant TextBoxWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
  if (query == Qt::ImCursorRectangle) return QVariant(box_.CaretRect());
  return QWidget::inputMethodQuery(query);
}

void TextBoxWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  platform::Guarded([&] {
    box_.PressAt(event->position().toPoint());
    setFocus(Qt::MouseFocusReason);
  });
}

void TextBoxWidget::mouseMoveEvent(QMouseEvent* event) {
  platform::Guarded([&] { box_.DragTo(event->position().toPoint()); });
}

void TextBoxWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  platform::Guarded([&] { box_.Release(); });
}

void TextBoxWidget::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  RestartCaret();
  update();
}

void TextBoxWidget::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  blink_.stop();
  update();
}

}  // namespace draw
