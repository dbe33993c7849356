#include "draw/text/TextFontBoxes.h"

#include <QFontDatabase>
#include <QStyledItemDelegate>

#include "platform/ExceptionReport.h"
#include "platform/QtText.h"

namespace draw {

namespace {

constexpr int kItemHeight = 20;
constexpr int kBoxFontPixels = 16;

// Items of a fixed height, as the boxes always drew them.
class FixedHeightItems : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight);
  }
};

QComboBox* MakeBox(const char* name, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setItemDelegate(new FixedHeightItems(box));
  // Fixed pitch, so the captions' inner blanks line up; maroon on white.
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(kBoxFontPixels);
  box->setFont(font);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Text, QColor(128, 0, 0));
  palette.setColor(QPalette::ButtonText, QColor(128, 0, 0));
  palette.setColor(QPalette::Base, Qt::white);
  box->setPalette(palette);
  return box;
}

}  // namespace

TextFontBoxes::TextFontBoxes(FontChoice& choice, QWidget* parent)
    : QObject(parent), choice_(choice), fonts_(MakeBox("cboFonts", parent)), sizes_(MakeBox("cboFontSizes", parent)) {
  fonts_->setMaxVisibleItems(kTextSignFonts);
  fonts_->setFocusPolicy(Qt::NoFocus);  // not a tab stop
  connect(fonts_, &QComboBox::activated, this, [this](int index) { platform::Guarded([&] { FontClicked(index); }); });
  connect(sizes_, &QComboBox::activated, this, [this](int index) { platform::Guarded([&] { SizeChosen(index); }); });
  Refresh();
}

void TextFontBoxes::Refresh() {
  filling_ = true;
  fonts_->clear();
  for (const std::string& item : choice_.FontItems()) fonts_->addItem(platform::ToQt(item));
  fonts_->setCurrentIndex(choice_.FontIndex());
  filling_ = false;
  RefreshSizes();
}

void TextFontBoxes::FontClicked(int index) {
  if (filling_) return;
  choice_.SelectFont(index);
  RefreshSizes();
}

void TextFontBoxes::SizeChosen(int index) {
  if (filling_) return;
  choice_.SelectSize(index);
}

void TextFontBoxes::RefreshSizes() {
  filling_ = true;
  sizes_->clear();
  for (const std::string& item : choice_.SizeItems()) sizes_->addItem(platform::ToQt(item));
  sizes_->setCurrentIndex(choice_.SizeIndex());
  sizes_->setEnabled(choice_.SizesEnabled());
  filling_ = false;
}

}  // namespace draw
