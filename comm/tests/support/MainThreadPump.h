#pragma once
// The application object of a communications test program and pumping of the
// main thread's events, which the port components deliver their events on.
#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <thread>

namespace comm_test {

using namespace std::chrono_literals;

// Made on first use and kept until the program exits.
inline QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "comm_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

// Runs the main thread's events until `done` holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
  App();
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

inline void PumpFor(std::chrono::milliseconds span) {
  PumpUntil([] { return false; }, span);
}

}  // namespace comm_test
