#include "drawapp/About.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace drawapp {

namespace {

constexpr char kRelease[] = "Release 1.0";

// A small picture of a sign: a lit border and a line of dots in the palette's colours.
QPixmap SignPicture(bool wide) {
  const int w = wide ? 64 : 32, h = 24;
  QPixmap picture(w, h);
  picture.fill(Qt::black);
  QPainter p(&picture);
  p.setPen(QColor(255, 255, 63));
  p.drawRect(0, 0, w - 1, h - 1);
  const QColor dots[] = {QColor(255, 31, 63), QColor(31, 255, 63), QColor(255, 95, 63)};
  for (int x = 4, i = 0; x < w - 4; x += 4, ++i) p.fillRect(x, h / 2 - 1, 3, 3, dots[i % 3]);
  return picture;
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle("About");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
  auto* name = new QLabel("Pictane");
  name->setObjectName("lblProgram");
  name->setStyleSheet("color: blue; font-weight: bold; font-size: 18pt;");
  auto* maker = new QLabel("Tessaly Signal Works, Inc.");
  maker->setObjectName("lblMaker");
  auto* release = new QLabel(kRelease);
  release->setObjectName("lblRelease");
  auto* left = new QLabel;
  left->setPixmap(SignPicture(false));
  auto* right = new QLabel;
  right->setPixmap(SignPicture(true));
  auto* ok = new QPushButton("&Ok");
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* pictures = new QHBoxLayout;
  pictures->addWidget(left);
  pictures->addStretch();
  pictures->addWidget(right);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* top = new QVBoxLayout(this);
  // A dialog border: the box keeps the size of its contents.
  top->setSizeConstraint(QLayout::SetFixedSize);
  top->addLayout(pictures);
  top->addWidget(name, 0, Qt::AlignHCenter);
  top->addWidget(maker, 0, Qt::AlignHCenter);
  top->addWidget(release, 0, Qt::AlignHCenter);
  top->addLayout(buttons);
}

}  // namespace drawapp
