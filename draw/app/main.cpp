// Pictanex: the picture drawing program. No command-line arguments.
#include <QApplication>

#include "drawapp/Main.h"
#include "platform/ExceptionReport.h"
#include "platform/QtMessageBoxes.h"

namespace {

// Catches what escapes an event handler: shown in a box, the program goes on.
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    bool result = false;
    platform::Guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
  }
};

}  // namespace

int main(int argc, char** argv) {
  Application app(argc, argv);
  platform::QtMessageBoxes boxes;
  platform::InstallBoxes(&boxes);
  int code = 1;
  {
    drawapp::TfrmMain main;
    main.showMaximized();
    code = app.exec();
  }
  platform::InstallBoxes(nullptr);
  return code;
}
