#pragma once
// The text box's window on the drawing area: shows the box's image with its
// frame and the caret, and hands keys, typed text and the mouse to TextBox.
#include <QTimer>
#include <QWidget>

#include "draw/text/TextBox.h"

namespace draw {

class TextBoxWidget : public QWidget {
  Q_OBJECT

 public:
  // `box` must outlive the widget; the widget follows its position, size and
  // visibility.
  TextBoxWidget(TextBox& box, QWidget* parent = nullptr);
  ~TextBoxWidget() override;

  // True while the caret is drawn (it blinks while the box has the focus).
  bool CaretVisible() const { return hasFocus() && caretOn_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Follow();
  void RestartCaret();

  TextBox& box_;
  QTimer blink_;
  bool caretOn_ = true;
};

}  // namespace draw
