#include "draw/LogoPanel.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>

#include "platform/ExceptionReport.h"
#include "platform/QtText.h"

namespace draw {

LogoPreview::LogoPreview(QWidget* parent) : QWidget(parent) {
  setObjectName("ImgF");
  hide();
}

void LogoPreview::SetLogo(const QImage* logo) {
  if (!logo) {
    hide();
    image_ = QImage();
    return;
  }
  image_ = logo->copy();
  setGeometry(0, 0, image_.width(), image_.height());
  show();
  update();
}

void LogoPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, image_);
}

namespace {

QToolButton* Button(QWidget* parent, const char* name, const char* text, const char* hint = nullptr) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(text);
  if (hint) b->setToolTip(hint);
  b->setAutoRaise(false);
  return b;
}

}  // namespace

LogoPanel::LogoPanel(LogoList& list, QWidget* parent) : QWidget(parent), list_(list) {
  setObjectName("palLogo");
  spdPrev = Button(this, "spdPrev", "", "Previous Frame");
  spdPrev->setArrowType(Qt::LeftArrow);
  cboFrame = new QComboBox(this);
  cboFrame->setObjectName("cboFrame");
  cboFrame->setMinimumContentsLength(3);
  spdNext = Button(this, "spdNext", "", "Next Frame");
  spdNext->setArrowType(Qt::RightArrow);
  spdInsert = Button(this, "spdInsert", "Insert");
  spdReplace = Button(this, "spdReplace", "Replace");
  spdDelete = Button(this, "spdDelete", "Delete");
  spdClear = Button(this, "spdClear", "Clear");
  spdEdit = Button(this, "spdEdit", "Edit");
  palF = new QWidget(this);
  palF->setObjectName("palF");
  palF->setAutoFillBackground(true);
  QPalette black = palF->palette();
  black.setColor(QPalette::Window, Qt::black);
  palF->setPalette(black);
  ImgF = new LogoPreview(palF);
  palFrameInfo = new QLabel(this);
  palFrameInfo->setObjectName("palFrameInfo");
  palFrameInfo->setMinimumWidth(110);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  for (QWidget* w : {static_cast<QWidget*>(spdPrev), static_cast<QWidget*>(cboFrame), static_cast<QWidget*>(spdNext),
                     static_cast<QWidget*>(spdInsert), static_cast<QWidget*>(spdReplace),
                     static_cast<QWidget*>(spdDelete), static_cast<QWidget*>(spdClear),
                     static_cast<QWidget*>(spdEdit)}) {
    row->addWidget(w);
  }
  // The information line first: a narrow window cuts the preview, not the line.
  row->addWidget(palFrameInfo);
  row->addWidget(palF);
  row->addStretch();

  auto on = [this](QToolButton* b, void (LogoPanel::*handler)()) {
    connect(b, &QToolButton::clicked, this, [this, handler] { platform::Guarded([&] { (this->*handler)(); }); });
  };
  on(spdPrev, &LogoPanel::spdPrevClick);
  on(spdNext, &LogoPanel::spdNextClick);
  on(spdInsert, &LogoPanel::spdInsertClick);
  on(spdReplace, &LogoPanel::spdReplaceClick);
  on(spdDelete, &LogoPanel::spdDeleteClick);
  on(spdClear, &LogoPanel::spdClearClick);
  on(spdEdit, &LogoPanel::spdEditClick);
  connect(cboFrame, &QComboBox::activated, this,
          [this](int index) { platform::Guarded([&] { cboFrameChange(index); }); });
  SetClippingBoxShown(false);
  RefreshLogoView();
}

void LogoPanel::AttachMenu(QAction* insert, QAction* replace, QAction* deleteLogo, QAction* clear, QAction* edit) {
  miInsert_ = insert;
  miReplace_ = replace;
  miDelete_ = deleteLogo;
  miClear_ = clear;
  miEdit_ = edit;
  SetClippingBoxShown(boxShown_);
  RefreshLogoView();
}

void LogoPanel::SetClippingBoxShown(bool shown) {
  boxShown_ = shown;
  spdInsert->setEnabled(shown);
  spdReplace->setEnabled(shown);
  if (miInsert_) miInsert_->setEnabled(shown);
  if (miReplace_) miReplace_->setEnabled(shown);
}

void LogoPanel::SetPreviewArea(QSize size) { palF->setFixedSize(size); }

void LogoPanel::FillFrameList() {
  const QSignalBlocker block(cboFrame);
  if (cboFrame->count() != list_.Count()) {
    cboFrame->clear();
    for (int i = 1; i <= list_.Count(); ++i) cboFrame->addItem(QString::number(i));
  }
  cboFrame->setCurrentIndex(list_.CurrentIndex());
}

void LogoPanel::RefreshLogoView() {
  FillFrameList();
  palFrameInfo->setText(platform::ToQt(list_.InfoText()));
  ImgF->SetLogo(list_.CurrentLogo());
  const LogoButtons b = list_.Buttons();
  spdDelete->setEnabled(b.deleteLogo);
  spdClear->setEnabled(b.clear);
  spdEdit->setEnabled(b.edit);
  spdPrev->setEnabled(b.previous);
  spdNext->setEnabled(b.next);
  if (miDelete_) miDelete_->setEnabled(b.deleteLogo);
  if (miClear_) miClear_->setEnabled(b.clear);
  if (miEdit_) miEdit_->setEnabled(b.edit);
}

void LogoPanel::Capture(bool replace) {
  const std::optional<raster::Box> box = clippingBox ? clippingBox() : std::nullopt;
  if (!box || !view) return;
  const QSize sign = signSize ? signSize() : QSize(160, 8);
  const bool done = replace ? list_.Replace(view(), *box, sign.width(), sign.height())
                            : list_.Insert(view(), *box, sign.width(), sign.height());
  RefreshLogoView();
  if (done && !replace) cboFrame->setFocus();
}

void LogoPanel::spdInsertClick() { Capture(false); }
void LogoPanel::spdReplaceClick() { Capture(true); }

void LogoPanel::spdDeleteClick() {
  if (list_.Delete()) RefreshLogoView();
}

void LogoPanel::spdClearClick() {
  list_.Clear();
  RefreshLogoView();
}

void LogoPanel::spdPrevClick() {
  list_.Previous();
  RefreshLogoView();
}

void LogoPanel::spdNextClick() {
  list_.Next();
  RefreshLogoView();
}

void LogoPanel::cboFrameChange(int index) {
  list_.Choose(index);
  RefreshLogoView();
}

void LogoPanel::spdEditClick() {
  if (!list_.CurrentLogo() || !view) return;
  if (beforeEdit) beforeEdit();
  const std::optional<QRect> region = list_.Edit(view());
  if (region && frameRegion) frameRegion(*region);
}

}  // namespace draw
