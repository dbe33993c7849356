#include "editor/SetRGB.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace editor {

TfrmSetRGB::TfrmSetRGB(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Set RGB");
  auto* grid = new QGridLayout(this);
  // "R" over bits 7-5, "G" over 4-2, "B" over 1-0.
  grid->addWidget(new QLabel("R"), 0, 0, 1, 3, Qt::AlignCenter);
  grid->addWidget(new QLabel("G"), 0, 3, 1, 3, Qt::AlignCenter);
  grid->addWidget(new QLabel("B"), 0, 6, 1, 2, Qt::AlignCenter);
  for (int i = 0; i < 8; ++i) {
    Bits[static_cast<std::size_t>(i)] = new QCheckBox;
    Bits[static_cast<std::size_t>(i)]->setObjectName(QString("B%1").arg(8 - i));
    grid->addWidget(Bits[static_cast<std::size_t>(i)], 1, i, Qt::AlignCenter);
  }
  grid->addWidget(new QLabel("Bit 7"), 2, 0, 1, 2);
  grid->addWidget(new QLabel("Bit 0"), 2, 6, 1, 2, Qt::AlignRight);
  SpeedButton1 = new QPushButton("Change");
  grid->addWidget(SpeedButton1, 3, 0, 1, 4);
  palColor = new QWidget;
  palColor->setMinimumSize(60, 30);
  palColor->setAutoFillBackground(true);
  grid->addWidget(palColor, 3, 4, 1, 4);
  connect(SpeedButton1, &QPushButton::clicked, this, &TfrmSetRGB::SpeedButton1Click);
}

colorcode::ColorCode TfrmSetRGB::Code() const {
  int code = 0;
  for (int i = 0; i < 8; ++i) {
    if (Bits[static_cast<std::size_t>(i)]->isChecked()) code |= 0x80 >> i;
  }
  return static_cast<colorcode::ColorCode>(code);
}

QColor TfrmSetRGB::PreviewColor() const { return palColor->palette().color(QPalette::Window); }

void TfrmSetRGB::SpeedButton1Click() {
  QPalette p = palColor->palette();
  p.setColor(QPalette::Window, QColor::fromRgb(colorcode::CodeToColor(Code())));
  palColor->setPalette(p);
}

}  // namespace editor
