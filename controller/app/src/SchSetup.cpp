#include "controllerapp/SchSetup.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controllerapp/Lists.h"
#include "platform/QtText.h"

namespace ctlapp {
namespace {

// Our masks are written as "!99/99;1;_": the Qt mask is the part before the
// first ';' without the '!' plus the blank character.
QString QtMask(const std::string& mask) {
  QString m = platform::ToQt(mask.substr(0, mask.find(';')));
  if (m.startsWith('!')) m.remove(0, 1);
  return m + ";_";
}

// The field's text with unfilled places as blanks ("  :  " when empty).
std::string MaskedText(const QLineEdit* e) {
  if (e->inputMask().isEmpty()) return platform::FromQt(e->text());
  return platform::FromQt(e->displayText().replace('_', ' '));
}

}  // namespace

TfrmSchSetup::TfrmSchSetup(QWidget* parent) : QDialog(parent) {
  setObjectName("frmSchSetup");
  setWindowTitle("Setup for Schedule");

  auto* grid = new QGridLayout;
  auto* lblD = new QLabel("Date:");
  edtD = new QLineEdit;
  edtD->setObjectName("edtD");
  edtD->installEventFilter(this);
  lblDateHelp = new QLabel("mm/dd");
  lblDateHelp->setObjectName("lblDateHelp");
  auto* lblT = new QLabel("Time:");
  edtT = new QLineEdit;
  edtT->setObjectName("edtT");
  edtT->setInputMask(QtMask(kTimeMask));
  lblD->setBuddy(edtD);
  lblT->setBuddy(edtT);
  grid->addWidget(lblD, 0, 0);
  grid->addWidget(edtD, 0, 1);
  grid->addWidget(lblDateHelp, 0, 2);
  grid->addWidget(lblT, 1, 0);
  grid->addWidget(edtT, 1, 1);

  pmuDate = new QMenu(this);
  pmuDate->setObjectName("pmuDate");
  for (const DayWord& w : DayWords()) {
    QAction* a = pmuDate->addAction(w.caption);
    a->setData(w.tag);
    const int tag = w.tag;
    connect(a, &QAction::triggered, this, [this, tag] { DateItemClick(tag); });
  }

  btnOk = new QPushButton("&OK");
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnCancel = new QPushButton("&Cancel");
  btnCancel->setObjectName("btnCancel");
  btnClear = new QPushButton("C&lear");
  btnClear->setObjectName("btnClear");
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnClear, &QPushButton::clicked, this, &TfrmSchSetup::btnClearClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnClear);
  auto* top = new QVBoxLayout(this);
  top->addLayout(grid);
  top->addLayout(buttons);
  SetTypedDate("");
}

void TfrmSchSetup::SetDateWord(const std::string& word) {
  edtD->setInputMask(QString());
  edtD->setReadOnly(true);
  edtD->setText(platform::ToQt(word));
  shownDate_ = word;
  lblDateHelp->setVisible(false);
}

void TfrmSchSetup::SetTypedDate(const std::string& date) {
  edtD->setReadOnly(false);
  edtD->setInputMask(QtMask(kDateMask));
  edtD->setText(platform::ToQt(date));
  shownDate_ = date;
  lblDateHelp->setVisible(true);
}

void TfrmSchSetup::Prepare(const std::string& date, const std::string& time) {
  if (IsTypedDate(date)) {
    SetTypedDate(date);
  } else {
    SetDateWord(date);
  }
  edtT->setText(platform::ToQt(IsEmptyTime(time) ? std::string() : time));
}

bool TfrmSchSetup::DateEditable() const { return !edtD->isReadOnly(); }

std::string TfrmSchSetup::DateCell() const {
  // A word the field was given goes back with its own bytes while it stands.
  std::string d = edtD->inputMask().isEmpty() ? platform::FromQt(edtD->text(), shownDate_) : MaskedText(edtD);
  return IsEmptyDate(d) ? std::string() : d;
}

std::string TfrmSchSetup::TimeCell() const { return MaskedText(edtT); }

void TfrmSchSetup::DateItemClick(int tag) {
  if (tag == 1) {
    SetTypedDate("");
    edtD->setFocus();
    edtD->selectAll();
    return;
  }
  for (const DayWord& w : DayWords()) {
    if (w.tag == tag) SetDateWord(w.word);
  }
  edtT->setFocus();
}

void TfrmSchSetup::btnClearClick() {
  SetDateWord("");
  edtD->setFocus();
  edtT->clear();
}

void TfrmSchSetup::FormActivate() {
  lblDateHelp->setVisible(DateEditable());
  if (!edtD->text().isEmpty() && edtD->isReadOnly()) {
    edtT->setFocus();
    edtT->selectAll();
  } else {
    edtD->setFocus();
  }
}

void TfrmSchSetup::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormActivate();
}

bool TfrmSchSetup::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edtD && event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    const QPoint at = me->globalPosition().toPoint();
    // Opened after the press is delivered, so the field keeps its own handling.
    QTimer::singleShot(0, this, [this, at] { pmuDate->popup(at); });
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace ctlapp
