// Start-up of the drawing program to its first painted window, beside a
// minimal window, each run a fresh process.
// Run offscreen: QT_QPA_PLATFORM=offscreen draw_app_startup_bench
#include <cstdlib>

#include "benchsupport/FreshStartUp.h"
#include "drawapp/Main.h"
#include "platform/MessageBoxes.h"
#include "signfontmaker/SignFontMaker.h"

int main(int argc, char** argv) {
  benchsupport::StartUpProgram pictanex;
  pictanex.name = "Pictanex";
  pictanex.prepare = [](const std::string& dir) {
    // A program directory of its own with the sign fonts the window opens.
    signfontmaker::WriteTaggedFonts(dir);
    ::setenv("LEDSIGN_PROGRAM_DIR", dir.c_str(), 1);
  };
  pictanex.makeWindow = [] {
    // A warning at start-up is recorded, never waits for a click.
    static platform::ScopedRecordingBoxes boxes;
    return std::make_unique<drawapp::TfrmMain>();
  };
  return benchsupport::FreshStartUpMain(argc, argv, pictanex);
}
