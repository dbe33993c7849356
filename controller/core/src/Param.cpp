#include "controller/Param.h"

#include <cstdio>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/Util.h"
#include "platform/QtText.h"

namespace controller {

ParamFields FieldsOf(const TSettings& settings, const SignTable& table) {
  ParamFields f;
  f.linkKind = settings.IsTcp() ? 1 : 0;
  f.timeFormat = settings.timeFormat;
  f.crcCheck = settings.crcCheck != 0;
  f.crcWaitText = std::to_string(settings.crcWaitMs);
  f.portIndex = settings.portIndex;
  f.speedIndex = settings.speedIndex;
  f.rows = table;
  return f;
}

std::optional<std::string> CheckParamFields(const ParamFields& f) {
  int wait = 0;
  if (!ParseSetting(f.crcWaitText, 0, kMaxCrcWaitMs, wait)) {
    return "Waiting time for CRC echo error!";
  }
  return std::nullopt;
}

void TakeParamFields(const ParamFields& f, TSettings& settings, SignTable& table) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    table[i].name = util::TrimBlanks(f.rows[i].name);
    table[i].ip = util::TrimBlanks(f.rows[i].ip);
    table[i].tel = util::TrimBlanks(f.rows[i].tel);
  }
  settings.linkKind = static_cast<std::uint8_t>(f.linkKind);
  settings.timeFormat = static_cast<std::uint8_t>(f.timeFormat);
  settings.crcCheck = f.crcCheck ? 1 : 0;
  int wait = settings.crcWaitMs;
  if (ParseSetting(f.crcWaitText, 0, kMaxCrcWaitMs, wait)) settings.crcWaitMs = wait;
  settings.portIndex = f.portIndex;
  settings.speedIndex = f.speedIndex;
}

TfrmParam::TfrmParam(QWidget* parent) : QDialog(parent) {
  setWindowTitle("System Parameters Setup");
  setModal(true);
  pages = new QTabWidget(this);

  auto* comm = new QWidget;
  auto* commForm = new QFormLayout(comm);
  cboIsTCP = new QComboBox;
  cboIsTCP->addItems({"RS 232", "TCP / IP"});
  commForm->addRow("Kind:", cboIsTCP);
  cboTime = new QComboBox;
  cboTime->addItems({"12H", "24H"});
  commForm->addRow("&Time Format", cboTime);
  chkCRC = new QCheckBox("&CRC Check");
  commForm->addRow(chkCRC);
  auto* waitRow = new QHBoxLayout;
  edtCRCWaitMSec = new QLineEdit;
  waitRow->addWidget(edtCRCWaitMSec);
  waitRow->addWidget(new QLabel("(MSec.)"));
  commForm->addRow("Waiting time for CRC echo:", waitRow);
  pages->addTab(comm, "Communication");

  auto* rs232 = new QWidget;
  auto* rsForm = new QFormLayout(rs232);
  cboPort = new QComboBox;
  cboPort->addItems({"COM1", "COM2", "COM3", "COM4"});
  rsForm->addRow("&Serial Port", cboPort);
  cboSpeed = new QComboBox;
  for (int baud : BaudTable) cboSpeed->addItem(QString("%1 bps").arg(baud));
  rsForm->addRow("S&peed", cboSpeed);
  pages->addTab(rs232, "RS232");

  tblIP = new QTableWidget(kSignEntries, 3);
  tblIP->setHorizontalHeaderLabels({"Name", "IP Address", "Tel. Number"});
  QStringList numbers;
  for (int r = 1; r <= kSignEntries; ++r) numbers << QString::asprintf("%.2d", r);
  tblIP->setVerticalHeaderLabels(numbers);
  tblIP->horizontalHeader()->setStretchLastSection(true);
  pages->addTab(tblIP, "Sign Table");

  btnSave = new QPushButton("&Ok");
  btnSave->setDefault(true);
  btnCancel = new QPushButton("&Cancel");
  connect(btnSave, &QPushButton::clicked, this, &TfrmParam::btnSaveClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnSave);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages);
  layout->addLayout(buttons);
}

void TfrmParam::Load(const TSettings& settings, const SignTable& table) {
  ParamFields f = FieldsOf(settings, table);
  cboIsTCP->setCurrentIndex(f.linkKind);
  chkCRC->setChecked(f.crcCheck);
  edtCRCWaitMSec->setText(platform::ToQt(f.crcWaitText));
  cboPort->setCurrentIndex(f.portIndex);
  cboSpeed->setCurrentIndex(f.speedIndex);
  cboTime->setCurrentIndex(f.timeFormat);
  table_ = table;
}

void TfrmParam::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

void TfrmParam::FormActivate() {
  pages->setCurrentWidget(tblIP);
  for (int r = 0; r < kSignEntries; ++r) {
    const TSignRecord& e = table_[static_cast<std::size_t>(r)];
    tblIP->setItem(r, 0, new QTableWidgetItem(platform::ToQt(util::TrimBlanks(e.name))));
    tblIP->setItem(r, 1, new QTableWidgetItem(platform::ToQt(util::TrimBlanks(e.ip))));
    tblIP->setItem(r, 2, new QTableWidgetItem(platform::ToQt(util::TrimBlanks(e.tel))));
  }
  tblIP->setCurrentCell(0, 0);
  tblIP->setFocus();
}

ParamFields TfrmParam::Fields() const {
  ParamFields f;
  f.linkKind = cboIsTCP->currentIndex();
  f.timeFormat = cboTime->currentIndex();
  f.crcCheck = chkCRC->isChecked();
  f.crcWaitText = platform::FromQt(edtCRCWaitMSec->text());
  f.portIndex = cboPort->currentIndex();
  f.speedIndex = cboSpeed->currentIndex();
  for (int r = 0; r < kSignEntries; ++r) {
    const TSignRecord& shown = table_[static_cast<std::size_t>(r)];
    // A cell the user left alone keeps the bytes it was read with, so a
    // Latin-1 name from an old file goes back to it unchanged.
    auto cell = [&](int c, const std::string& original) {
      const QTableWidgetItem* item = tblIP->item(r, c);
      return item ? platform::FromQt(item->text(), util::TrimBlanks(original)) : std::string();
    };
    f.rows[static_cast<std::size_t>(r)] = {cell(0, shown.name), cell(1, shown.ip), cell(2, shown.tel)};
  }
  return f;
}

void TfrmParam::btnSaveClick() {
  ParamFields f = Fields();
  if (auto refusal = CheckParamFields(f)) {
    util::ShowWarning(*refusal);
    pages->setCurrentIndex(0);
    edtCRCWaitMSec->setFocus();
    return;
  }
  accepted_ = f;
  accept();
}

bool ParameterSetup(TfrmParam& dialog, TSettings& settings, SignTable& table, const std::string& programDir,
                    platform::ProfileKeysRead& read, QComboBox* signs, SerialSetup* serial) {
  dialog.Load(settings, table);
  if (dialog.exec() != QDialog::Accepted) return false;
  TakeParamFields(dialog.Accepted(), settings, table);
  if (signs) FillSignCombo(*signs, table);
  SaveSettings(programDir, settings, table, read);
  if (!settings.IsTcp() && serial) ApplySerialSettings(*serial, settings);
  return true;
}

}  // namespace controller
