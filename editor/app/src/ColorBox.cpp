#include "editorapp/ColorBox.h"

#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "common/ColorCode.h"
#include "platform/QtText.h"

namespace editorapp {

void PaintColorItem(QPainter& p, const QRect& rect, int index) {
  p.fillRect(rect, Qt::white);
  const QColor colour = QColor::fromRgb(colorcode::ColorIndexToColor(index));
  if (index >= 0 && index < colorcode::kFirstRainbowIndex) {
    p.fillRect(rect.adjusted(3, 2, -3, -2), colour);
    return;
  }
  p.fillRect(rect, Qt::black);
  p.setPen(colour);
  const QRect text = rect.adjusted(5, 1, 0, 0);
  p.drawText(text, Qt::AlignLeft | Qt::AlignTop, platform::ToQt(colorcode::RainbowCaption(index)));
}

void ColorItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  painter->save();
  PaintColorItem(*painter, option.rect, index.row());
  if (option.state & QStyle::State_Selected) {
    painter->setPen(QPen(option.palette.highlight(), 2));
    painter->drawRect(option.rect.adjusted(1, 1, -1, -1));
  }
  painter->restore();
}

ColorComboBox::ColorComboBox(QWidget* parent) : QComboBox(parent) {
  for (int i = 0; i < colorcode::kPaletteSize; ++i) addItem(QString::number(i));
  setItemDelegate(new ColorItemDelegate(this));
  setMaxVisibleItems(11);
}

void ColorComboBox::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  p.drawComplexControl(QStyle::CC_ComboBox, option);
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  if (currentIndex() >= 0) PaintColorItem(p, field, currentIndex());
}

}  // namespace editorapp
