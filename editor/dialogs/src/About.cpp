#include "editor/About.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "common/ColorCode.h"
#include "common/Raster.h"

namespace editor {

namespace {

// A small sign of lit pixels in the palette's colours, drawn rather than
// shipped as a file.
QPixmap SignPicture(int phase) {
  QImage image = raster::NewImage(48, 24);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 16; ++x) {
      if ((x + y + phase) % 3 == 0) continue;
      raster::FillBox(image, {x * 3, y * 3, x * 3 + 2, y * 3 + 2}, colorcode::ColorIndexToColor((x / 4 + phase) % 8));
    }
  }
  return QPixmap::fromImage(image.scaled(96, 48));
}

}  // namespace

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About");
  auto* grid = new QGridLayout(this);
  auto* left = new QLabel;
  left->setPixmap(SignPicture(0));
  auto* right = new QLabel;
  right->setPixmap(SignPicture(1));
  auto* name = new QLabel(kProgramName);
  QFont big = name->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  name->setFont(big);
  name->setAlignment(Qt::AlignCenter);
  auto* maker = new QLabel(kMakerName);
  maker->setAlignment(Qt::AlignCenter);
  btnOk = new QPushButton("&Ok");
  btnOk->setDefault(true);
  grid->addWidget(left, 0, 0, 2, 1);
  grid->addWidget(name, 0, 1);
  grid->addWidget(maker, 1, 1);
  grid->addWidget(right, 0, 2, 2, 1);
  grid->addWidget(btnOk, 2, 1, Qt::AlignCenter);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace editor
