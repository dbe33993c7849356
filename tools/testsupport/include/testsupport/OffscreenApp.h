#pragma once
// For widget tests without a main of their own: the one QApplication of the
// test program, made on first use on the offscreen platform unless
// QT_QPA_PLATFORM already names one.
#include <QApplication>

#include <cstdlib>
#include <string>

namespace testsupport {

// `name` is the program's name (its argv[0]); the first call's name stays.
inline QApplication& OffscreenApp(const char* name) {
  static std::string program = name;
  static int argc = 1;
  static char* argv[] = {program.data(), nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace testsupport
