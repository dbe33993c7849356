#pragma once
// For window tests: acts on a modal dialog once it is up, since its exec()
// does not return to the test until the dialog is closed.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// Runs `act` on the first modal dialog of type D once it is shown, looking
// every 10 ms.
template <typename D>
void WhenModal(std::function<void(D*)> act) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(d);
    }
  });
  timer->start();
}

}  // namespace testsupport
