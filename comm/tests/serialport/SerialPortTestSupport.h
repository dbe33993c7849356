#pragma once
// Shared pieces of the serial port component's tests: the application object,
// pumping the main thread, COM numbers pointed at pseudo-terminals.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "comm/SerialPort.h"
#include "signsim/Pty.h"
#include "MainThreadPump.h"
#include "testsupport/ScopedEnv.h"
#include "testsupport/TempDir.h"

namespace serialport_test {

using namespace std::chrono_literals;

using comm_test::App;
using comm_test::PumpFor;
using comm_test::PumpUntil;

// Points COM n at a path for the scope.
class ScopedComPath : public testsupport::ScopedEnv {
 public:
  ScopedComPath(int n, const std::string& path) : ScopedEnv(("LEDSIGN_COM" + std::to_string(n)).c_str(), path) {}
};

// A pseudo-terminal that COM n stands for.
struct PtyCom {
  explicit PtyCom(int n) : pty(), com(n, pty.SlavePath()) {}
  signsim::Pty pty;
  ScopedComPath com;

  int Master() const { return pty.Master(); }

  void Write(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t w = ::write(pty.Master(), bytes.data() + done, bytes.size() - done);
      if (w > 0) done += static_cast<std::size_t>(w);
      else std::this_thread::sleep_for(1ms);
    }
  }

  // Reads until `count` bytes came or the time is up, pumping the main thread.
  std::string Read(std::size_t count, std::chrono::milliseconds limit = 3000ms) const {
    std::string got;
    char buffer[1024];
    PumpUntil(
        [&] {
          const ssize_t n = ::read(pty.Master(), buffer, sizeof buffer);
          if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
          return got.size() >= count;
        },
        limit);
    return got;
  }

  // The output speed the slave's line is set to.
  speed_t SlaveSpeed() const {
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return ::cfgetospeed(&tio);
  }
};

// A fresh directory under the system's temporary one, removed afterwards.
using testsupport::TempDir;

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace serialport_test
