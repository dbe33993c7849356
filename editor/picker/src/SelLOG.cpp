#include "editor/SelLOG.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <algorithm>

#include "common/LogoFile.h"
#include "common/Util.h"
#include "editor/LogoRecordLimits.h"
#include "platform/ExceptionReport.h"
#include "platform/InOutError.h"
#include "platform/QtText.h"

namespace editor {

namespace {
// The preview panel is never wider than this; a wider logo is cut at its edge.
constexpr int kMaxPreviewWidth = 320;
constexpr int kPreviewScale = 2;
}  // namespace

TfrmSelLOG::TfrmSelLOG(QWidget* parent) : QDialog(parent) {
  setWindowTitle("SELECT A LOGO OF");
  setModal(true);
  setFixedSize(454, 118);
  auto* panel1 = new QFrame(this);
  panel1->setGeometry(0, 0, 454, 118 - 41);
  spdPrev = new QToolButton(panel1);
  spdPrev->setGeometry(12, 24, 20, 22);
  spdPrev->setArrowType(Qt::LeftArrow);
  spdPrev->setToolTip("Previous Frame");
  cboFrame = new QComboBox(panel1);
  cboFrame->setGeometry(34, 24, 54, 22);
  spdNext = new QToolButton(panel1);
  spdNext->setGeometry(90, 24, 20, 22);
  spdNext->setArrowType(Qt::RightArrow);
  spdNext->setToolTip("Next Frame");
  palSign = new QWidget(panel1);
  palSign->setGeometry(119, 24, 320, 26);
  palSign->setAutoFillBackground(true);
  QPalette grey = palSign->palette();
  grey.setColor(QPalette::Window, Qt::gray);
  palSign->setPalette(grey);
  ImgF = new QLabel(palSign);
  ImgF->setGeometry(0, 0, 0, 0);
  palFrameInfo = new QLabel("001/100   999 x 999", panel1);
  palFrameInfo->setGeometry(9, 50, 102, 16);
  palFrameInfo->setAutoFillBackground(true);
  QPalette silver = palFrameInfo->palette();
  silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  palFrameInfo->setPalette(silver);
  auto* panel2 = new QFrame(this);
  panel2->setGeometry(0, 118 - 41, 454, 41);
  BitBtn1 = new QPushButton("Insert", panel2);
  BitBtn1->setGeometry(156, 10, 60, 22);
  BitBtn2 = new QPushButton("Down", panel2);
  BitBtn2->setGeometry(239, 10, 60, 22);
  tmrClose.setInterval(100);
  tmrClose.setSingleShot(true);

  connect(cboFrame, &QComboBox::currentIndexChanged, this, &TfrmSelLOG::cboFrameChange);
  connect(spdPrev, &QToolButton::clicked, this, &TfrmSelLOG::spdPrevClick);
  connect(spdNext, &QToolButton::clicked, this, &TfrmSelLOG::spdNextClick);
  connect(BitBtn1, &QPushButton::clicked, this, &TfrmSelLOG::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  connect(&tmrClose, &QTimer::timeout, this, &TfrmSelLOG::tmrCloseTimer);
}

void TfrmSelLOG::SetSign(int width, int height) {
  signWidth_ = width;
  signHeight_ = height;
}

void TfrmSelLOG::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Once per showing: a message box of the picker's own gives the focus back
  // without a new show event.
  if (!event->spontaneous()) platform::Guarded([this] { FormActivate(); });
}

void TfrmSelLOG::FormActivate() {
  setWindowTitle(platform::ToQt("SELECT A LOGO OF " + LogoFileName));
  tmrClose.stop();
  try {
    logos_.Load(LogoFileName, signHeight_);
  } catch (const logofile::BadLogoFile&) {
    // A wrong magic, no logo or too many, an impossible size or a file cut short.
    RefuseFile(LogoFileName + " is not a valid logo file!");
  } catch (const platform::InOutError& e) {
    // Missing, no regular file, unreadable: the reason on the line below.
    RefuseFile(LogoFileName + " cannot be read!\n" + e.what());
  } catch (const std::exception& e) {
    RefuseFile(e.what());
  }
  filling_ = true;
  cboFrame->clear();
  for (int i = 1; i <= logos_.Count(); ++i) cboFrame->addItem(QString::number(i));
  cboFrame->setCurrentIndex(logos_.CurrentIndex());
  filling_ = false;
  if (logos_.Count() > 0) {
    palSign->resize(std::min(kPreviewScale * signWidth_, kMaxPreviewWidth), kPreviewScale * signHeight_);
  }
  Refresh();
}

void TfrmSelLOG::RefuseFile(const std::string& text) {
  logos_.Clear();
  util::ShowWarning(text);
  tmrClose.start();
}

void TfrmSelLOG::tmrCloseTimer() {
  tmrClose.stop();
  reject();
}

void TfrmSelLOG::done(int result) {
  // FormClose: the logos are read afresh at the next showing.
  tmrClose.stop();
  logos_.Clear();
  filling_ = true;
  cboFrame->clear();
  filling_ = false;
  QDialog::done(result);
}

void TfrmSelLOG::cboFrameChange(int index) {
  if (filling_) return;
  logos_.Select(index);
  Refresh();
}

void TfrmSelLOG::spdPrevClick() {
  if (cboFrame->currentIndex() > 0) cboFrame->setCurrentIndex(cboFrame->currentIndex() - 1);
}

void TfrmSelLOG::spdNextClick() {
  if (cboFrame->currentIndex() < cboFrame->count() - 1) cboFrame->setCurrentIndex(cboFrame->currentIndex() + 1);
}

void TfrmSelLOG::BitBtn1Click() {
  const QImage* logo = logos_.Current();
  if (logo == nullptr) return;  // nothing read: nothing to insert
  platform::Guarded([&] {
    // Refused before the dialog ends, so that another logo can be chosen.
    if (!AcceptLogoSize(*logo)) return;
    if (insertLogo_) insertLogo_(*logo);
    accept();
  });
}

void TfrmSelLOG::Refresh() {
  palFrameInfo->setText(platform::ToQt(logos_.InfoText()));
  ImgF->hide();
  if (const QImage* logo = logos_.Current()) {
    const QSize size(kPreviewScale * logo->width(), kPreviewScale * logo->height());
    ImgF->setGeometry(0, 0, size.width(), size.height());
    // Every sign pixel a 2 x 2 block, no smoothing.
    ImgF->setPixmap(QPixmap::fromImage(logo->scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    ImgF->show();
  }
  spdPrev->setEnabled(logos_.CanGoBack());
  spdNext->setEnabled(logos_.CanGoOn());
}

}  // namespace editor
