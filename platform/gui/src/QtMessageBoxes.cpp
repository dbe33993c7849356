#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QMetaObject>
#include <QThread>

#include "platform/QtText.h"

namespace platform {
namespace {

int ShowOnThisThread(const BoxRequest& r) {
  QMessageBox box;
  switch (r.type) {
    case BoxType::Warning: box.setIcon(QMessageBox::Warning); break;
    case BoxType::Information: box.setIcon(QMessageBox::Information); break;
    case BoxType::Error: box.setIcon(QMessageBox::Critical); break;
    case BoxType::Confirmation: box.setIcon(QMessageBox::Question); break;
  }
  box.setWindowTitle(ToQt(r.caption));
  box.setText(ToQt(r.text));
  switch (r.buttons) {
    case BoxButtons::Ok:
      box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
      box.exec();
      return kResultOk;
    case BoxButtons::YesNo: {
      QAbstractButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
      QAbstractButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
      box.setEscapeButton(no);
      if (r.defaultResult == kResultNo) box.setDefaultButton(static_cast<QPushButton*>(no));
      box.exec();
      return box.clickedButton() == yes ? kResultYes : kResultNo;
    }
    case BoxButtons::YesNoCancel: {
      QAbstractButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
      QAbstractButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
      QAbstractButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
      box.setEscapeButton(cancel);
      box.exec();
      if (box.clickedButton() == yes) return kResultYes;
      if (box.clickedButton() == no) return kResultNo;
      return kResultCancel;
    }
  }
  return kResultCancel;
}

}  // namespace

int QtMessageBoxes::Show(const BoxRequest& request) {
  // Boxes are widgets: a call from another thread is carried to the main thread.
  if (QThread::currentThread() != qApp->thread()) {
    int result = kResultCancel;
    QMetaObject::invokeMethod(
        qApp, [&] { result = ShowOnThisThread(request); }, Qt::BlockingQueuedConnection);
    return result;
  }
  return ShowOnThisThread(request);
}

void QtMessageBoxes::Beep() {
  if (QThread::currentThread() != qApp->thread()) {
    QMetaObject::invokeMethod(qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
    return;
  }
  QApplication::beep();
}

}  // namespace platform
