#include "editor/Param.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/LinkSettings.h"
#include "common/Util.h"
#include "editor/DialogRules.h"
#include "platform/ExceptionReport.h"
#include "platform/QtText.h"

namespace editor {

namespace {

QLabel* Buddy(const char* text, QWidget* control) {
  auto* label = new QLabel(text);
  label->setBuddy(control);
  return label;
}

// "Height" [list] "Pixels" on one row.
QWidget* InPixels(QWidget* control) {
  auto* row = new QWidget;
  auto* box = new QHBoxLayout(row);
  box->setContentsMargins(0, 0, 0, 0);
  box->addWidget(control);
  box->addWidget(new QLabel("Pixels"));
  return row;
}

}  // namespace

TfrmParam::TfrmParam(QWidget* parent) : QDialog(parent) {
  setWindowTitle("System Parameters Setup");
  setModal(true);
  PageControl = new QTabWidget;

  auto* communication = new QWidget;
  auto* commForm = new QFormLayout(communication);
  edtSignID = new QLineEdit;
  cboPort = new QComboBox;
  cboPort->addItems({"COM1", "COM2", "COM3", "COM4"});
  cboSpeed = new QComboBox;
  for (int baud : settings::BaudTable) cboSpeed->addItem(QString("%1 bps").arg(baud));
  cboTime = new QComboBox;
  cboTime->addItems({"12H", "24H"});
  chkCRC = new QCheckBox("C&RC Check");
  commForm->addRow(Buddy("Sign &ID", edtSignID), edtSignID);
  commForm->addRow(Buddy("&Serial Port", cboPort), cboPort);
  commForm->addRow(Buddy("S&peed", cboSpeed), cboSpeed);
  commForm->addRow(Buddy("&Time Format", cboTime), cboTime);
  commForm->addRow(chkCRC);
  PageControl->addTab(communication, "Communication");

  auto* sign = new QWidget;
  auto* signForm = new QFormLayout(sign);
  spdHW_CLEAR = new QPushButton("HARDWARE CLEAR SIGN");
  cboSIGN_H = new QComboBox;
  cboSIGN_H->addItems({"7", "8", "16"});
  edtSIGN_W = new QLineEdit;
  cboColorType = new QComboBox;
  cboColorType->addItems({"9 Colors", "Mono"});
  signForm->addRow(spdHW_CLEAR);
  signForm->addRow(Buddy("Height", cboSIGN_H), InPixels(cboSIGN_H));
  signForm->addRow(Buddy("Width", edtSIGN_W), InPixels(edtSIGN_W));
  signForm->addRow(Buddy("Color", cboColorType), cboColorType);
  PageControl->addTab(sign, "Sign");

  btnSave = new QPushButton("&OK");
  btnSave->setDefault(true);
  btnCancel = new QPushButton("&Cancel");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnSave);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl);
  layout->addLayout(buttons);

  connect(btnSave, &QPushButton::clicked, this, [this] { platform::Guarded([this] { btnSaveClick(); }); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(spdHW_CLEAR, &QPushButton::clicked, this, [this] { platform::Guarded([this] { spdHW_CLEARClick(); }); });
}

void TfrmParam::Fill(const EditorSettings& s) {
  edtSignID->setText(QString::number(s.signId));
  cboPort->setCurrentIndex(s.portIndex);
  cboSpeed->setCurrentIndex(s.speedIndex);
  cboTime->setCurrentIndex(s.timeFormat <= 1 ? s.timeFormat : 1);
  chkCRC->setChecked(s.crcCheck != 0);
  cboSIGN_H->setCurrentText(QString::number(s.signHeight));
  edtSIGN_W->setText(QString::number(s.signWidth));
  cboColorType->setCurrentIndex(s.colorType);
}

void TfrmParam::TakeInto(EditorSettings& s) const {
  s.colorType = cboColorType->currentIndex();
  s.signHeight = cboSIGN_H->currentText().toInt();
  s.signWidth = ParseSignWidth(platform::FromQt(edtSIGN_W->text())).value_or(s.signWidth);
  s.signId = static_cast<std::uint8_t>(ParseSignId(platform::FromQt(edtSignID->text())).value_or(s.signId));
  s.portIndex = cboPort->currentIndex();
  s.speedIndex = cboSpeed->currentIndex();
  s.timeFormat = static_cast<std::uint8_t>(cboTime->currentIndex());
  s.crcCheck = chkCRC->isChecked() ? 1 : 0;
}

void TfrmParam::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormActivate();
}

void TfrmParam::FormActivate() {
  PageControl->setCurrentIndex(0);
  QWidget* const targets[] = {edtSignID, cboPort, cboSpeed, cboTime};
  if (FocusSelector >= 1 && FocusSelector <= 4) targets[FocusSelector - 1]->setFocus();
}

void TfrmParam::btnSaveClick() {
  // Every field is checked before any is taken, so a refusal changes nothing.
  if (!ParseSignId(platform::FromQt(edtSignID->text()))) {
    util::ShowWarning(kSignIdErrorText);
    PageControl->setCurrentIndex(0);
    edtSignID->setFocus();
    return;
  }
  if (!ParseSignWidth(platform::FromQt(edtSIGN_W->text()))) {
    util::ShowWarning(kSignWidthErrorText);
    PageControl->setCurrentIndex(1);
    edtSIGN_W->setFocus();
    return;
  }
  accept();
}

void TfrmParam::spdHW_CLEARClick() {
  if (HardwareClear) HardwareClear();
}

}  // namespace editor
