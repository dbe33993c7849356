// Selvanex: the message editor. No command-line arguments.
#include "editorapp/Main.h"
#include "platform/GuardedApplication.h"
#include "platform/QtMessageBoxes.h"

int main(int argc, char** argv) {
  platform::GuardedApplication app(argc, argv);
  platform::QtMessageBoxes boxes;
  platform::InstallBoxes(&boxes);
  int code = 1;
  {
    editorapp::TfrmMain main;
    main.showMaximized();
    code = app.exec();
  }
  platform::InstallBoxes(nullptr);
  return code;
}
