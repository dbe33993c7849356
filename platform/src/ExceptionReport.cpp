#include "platform/ExceptionReport.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <exception>

#include "platform/MessageBoxes.h"
#include "platform/QtText.h"

namespace platform {

void ShowExceptionBox(const std::string& text) {
  std::string caption;
  if (QCoreApplication::instance() != nullptr) caption = FromQt(QCoreApplication::applicationName());
  Boxes().Show({BoxType::Error, BoxButtons::Ok, caption, text});
}

void ShowExceptionBoxLater(const std::string& text) {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(app, [text] { ShowExceptionBox(text); }, Qt::QueuedConnection);
  } else {
    ShowExceptionBox(text);
  }
}

void Guarded(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const std::exception& e) {
    ShowExceptionBox(e.what());
  } catch (...) {
    ShowExceptionBox("Unknown error");
  }
}

}  // namespace platform
