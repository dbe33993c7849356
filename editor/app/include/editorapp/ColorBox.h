#pragma once
// The colour box's items: colours 0 to 7 as swatches, 8 and 9 as the sign's
// two rainbow modes, named in their colour on black.
#include <QComboBox>
#include <QRect>
#include <QStyledItemDelegate>

class QPainter;

namespace editorapp {

// One item of the colour box into `rect`.
void PaintColorItem(QPainter& painter, const QRect& rect, int index);

class ColorItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Items "0" to "9" drawn by PaintColorItem, also in the closed box.
class ColorComboBox : public QComboBox {
 public:
  explicit ColorComboBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace editorapp
