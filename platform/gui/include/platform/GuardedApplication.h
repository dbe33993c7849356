#pragma once
// The programs' application object: an exception that escapes an event
// handler is shown in a box and the program goes on, as the class library's
// default handler did.
#include <QApplication>

#include "platform/ExceptionReport.h"

namespace platform {

class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    bool result = false;
    Guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
  }
};

}  // namespace platform
