#include "editor/Mode.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/Util.h"
#include "editor/DialogRules.h"

namespace editor {

const QStringList& ModeItems() {
  static const QStringList items = {
      "A: Auto",          "F: Flash",          "B: Full Wipe ON",   "b: Full Wipe OFF",
      "E: Half Wipe ON",  "e: Half Wipe OFF",  "H: Hold 2 Senonds", "I: Interlace ON",
      "i: Interlace OFF", "O: Open Door",      "L: Pile UP",        "l: Drop OFF",
      "C: Pitch",         "P: Pull",           "U: Scroll up ON",   "u: Scroll up OFF",
      "D: Scroll down ON", "d: Scroll down OFF", "X: Panning up",   "Y: Panning down",
      "N: Stand up down", "R: Spark ON",       "r: Spark OFF",      "Q: Stretch up",
      "q: Squeeze down",  "S: Spin H.",        "T: Snap",           "t: Time",
      "x: Temperature",   "W: Weave",          "Z: Zoom IN",        "z: Zoom OUT"};
  return items;
}

TfrmMode::TfrmMode(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Frame Presentation Functions");
  setModal(true);
  lstModes = new QListWidget;
  lstModes->addItems(ModeItems());
  lstModes->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  edtModes = new QLineEdit;
  edtModes->setMaxLength(static_cast<int>(kMaxModeLetters));
  // Typing takes only function letters, like the list.
  edtModes->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QString("[%1]*").arg(QString::fromLatin1(kModeLetters.data(),
                                                                  static_cast<int>(kModeLetters.size())))),
      edtModes));
  cboSpeed = new QComboBox;
  cboSpeed->addItems({"Fast", "Medium", "Slow"});
  btnClear = new QPushButton("Clea&r");
  btnOk = new QPushButton("&OK");
  btnOk->setDefault(true);
  btnCancel = new QPushButton("&Cancel");

  auto* right = new QGridLayout;
  auto* speedLabel = new QLabel("Speed");
  speedLabel->setBuddy(cboSpeed);
  right->addWidget(edtModes, 0, 0, 1, 2);
  right->addWidget(btnClear, 0, 2);
  right->addWidget(speedLabel, 1, 0);
  right->addWidget(cboSpeed, 1, 1);
  right->setRowStretch(2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  right->addLayout(buttons, 3, 0, 1, 3);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(lstModes);
  layout->addLayout(right, 1);
  resize(460, 320);

  connect(lstModes, &QListWidget::itemClicked, this, &TfrmMode::lstModesClick);
  connect(btnClear, &QPushButton::clicked, this, &TfrmMode::btnClearClick);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmMode::Fill(int speed, const std::string& modes) {
  cboSpeed->setCurrentIndex(speed >= 0 && speed <= 2 ? speed : 0);
  // The modes are the sign's function letters, bytes as the sign gets them:
  // one letter a byte, and back the same way.
  edtModes->setText(QString::fromLatin1(modes.data(), static_cast<qsizetype>(modes.size())));
}

int TfrmMode::Speed() const { return cboSpeed->currentIndex(); }

std::string TfrmMode::Modes() const { return edtModes->text().toLatin1().toStdString(); }

void TfrmMode::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormActivate();
}

void TfrmMode::FormActivate() {
  const int last = LastMode >= 0 && LastMode < lstModes->count() ? LastMode : 0;
  lstModes->setCurrentRow(last);
  lstModes->setFocus();
}

void TfrmMode::lstModesClick(QListWidgetItem* item) {
  if (item == nullptr) return;
  const QString text = edtModes->text();
  if (text.size() >= static_cast<int>(kMaxModeLetters)) {
    util::Beep();  // full: the letter is refused
  } else {
    edtModes->setText(text + item->text().left(1));
  }
  edtModes->setFocus();
  edtModes->end(false);
}

void TfrmMode::btnClearClick() {
  edtModes->clear();
  edtModes->setFocus();
}

void TfrmMode::done(int result) {
  // FormClose: the list's item is remembered whichever way the dialog closes.
  if (lstModes->currentRow() >= 0) LastMode = lstModes->currentRow();
  QDialog::done(result);
}

}  // namespace editor
