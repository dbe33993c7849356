// Start-up of the message editor to its first painted window, beside a
// minimal window, each run a fresh process.
// Run offscreen: QT_QPA_PLATFORM=offscreen editor_app_startup_bench
#include <cstdlib>

#include "benchsupport/FreshStartUp.h"
#include "editorapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

int main(int argc, char** argv) {
  benchsupport::StartUpProgram selvanex;
  selvanex.name = "Selvanex";
  selvanex.prepare = [](const std::string& dir) {
    // A program directory of its own with the sign fonts; the settings file is
    // written with its defaults at the first start, as for a new user.
    signfontmaker::WriteTaggedFonts(dir);
    ::setenv("LEDSIGN_PROGRAM_DIR", dir.c_str(), 1);
    // No port to open: the start-up's serial set-up fails and says so.
    ::setenv("LEDSIGN_COM1", "/nonexistent-tty", 1);
  };
  selvanex.makeWindow = [] {
    // The serial warning is recorded, never waits for a click.
    static platform::ScopedRecordingBoxes boxes;
    return std::make_unique<editorapp::TfrmMain>();
  };
  return benchsupport::FreshStartUpMain(argc, argv, selvanex);
}
