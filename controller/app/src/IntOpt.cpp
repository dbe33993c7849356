#include "controllerapp/IntOpt.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ctlapp {

TfrmIntOpt::TfrmIntOpt(QWidget* parent) : QDialog(parent) {
  setObjectName("frmIntOpt");
  setWindowTitle("Options for Interrupt");
  auto* label = new QLabel("Playing times:");
  cbxN = new QComboBox;
  cbxN->setObjectName("cbxN");
  for (int i = 0; i <= 9; ++i) cbxN->addItem(QString::asprintf("%.2d", i));
  cbxN->setCurrentIndex(-1);
  label->setBuddy(cbxN);
  auto* note = new QLabel("00 always run until [Run Old Mode] command appear");
  btnOk = new QPushButton("&Ok");
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnCancel = new QPushButton("&Cancel");
  btnCancel->setObjectName("btnCancel");
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(cbxN);
  row->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* top = new QVBoxLayout(this);
  top->addLayout(row);
  top->addWidget(note);
  top->addLayout(buttons);
}

int TfrmIntOpt::PlayingTimes() const { return cbxN->currentIndex() < 0 ? 0 : cbxN->currentIndex(); }

void TfrmIntOpt::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (cbxN->currentIndex() < 0) cbxN->setCurrentIndex(0);
  cbxN->setFocus();
}

}  // namespace ctlapp
