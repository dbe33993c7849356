#pragma once
// Start-up of a program to its first painted window, beside a minimal Qt
// Widgets window, in the same run. Each iteration starts the benchmark
// afresh as a child process (so the application, the platform plugin and the
// fonts are set up every time, as when a user starts the program); the child
// builds the window, shows and activates it, paints it once and exits.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace benchsupport {

struct StartUpProgram {
  // Reported as "<name>WindowToFirstPaint".
  std::string name;
  // Run once in the parent before any child: files the program reads at start
  // (its program directory, say) are written into `dir`, a fresh temporary
  // directory that is also the children's working directory.
  std::function<void(const std::string& dir)> prepare;
  // Run in the child, inside its QApplication: the program's main window.
  std::function<std::unique_ptr<QWidget>()> makeWindow;
};

// The benchmark's main(): runs the child when called as one, otherwise the
// two benchmarks (the program's and the minimal window's). Offscreen unless
// QT_QPA_PLATFORM says otherwise.
int FreshStartUpMain(int argc, char** argv, const StartUpProgram& program);

}  // namespace benchsupport
