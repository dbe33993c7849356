#pragma once
// The message line editor control as a widget: it shows the logic's canvas
// with a blinking caret painted over it (never into it), hands keys, typed
// text and input-method commits to the logic, and moves and takes the focus
// when the logic asks.
#include <QTimer>
#include <QWidget>

#include "editor/BillEditor.h"

namespace editor {

class BillEditorWidget : public QWidget, public BillEditorView {
  Q_OBJECT

 public:
  // Placed at (10, 10) of `parent`, EditorWidth x RowHeight of the host's
  // geometry; a tab stop.
  BillEditorWidget(MessageModel& model, EditorHost& host, const signfont::SignFontTable& fonts,
                   QWidget* parent = nullptr);

  TBillEditor& Editor() { return editor_; }
  const TBillEditor& Editor() const { return editor_; }
  // Whether the caret's blink phase shows it now (with the focus).
  bool CaretVisibleNow() const;

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  // BillEditorView
  void CanvasChanged() override;
  void CaretChanged() override;
  void MoveControl(QPoint topLeft) override;
  void TakeFocus() override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Blink();

  TBillEditor editor_;
  QTimer blink_;
  bool blinkOn_ = true;
};

}  // namespace editor
