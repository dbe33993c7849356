#include "controllerapp/About.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ctlapp {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle("About Marvane for Windows");
  auto* title = new QLabel("<b>Marvane for Windows</b>");
  auto* text = new QLabel(
      "Marvanex, the sign controller: sends message files to LED message signs over RS-232,\n"
      "a dialled modem or TCP/IP, and runs them by sequence, schedule or interrupt.");
  auto* ok = new QPushButton("OK");
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* top = new QVBoxLayout(this);
  top->addWidget(title);
  top->addWidget(text);
  top->addLayout(buttons);
}

}  // namespace ctlapp
