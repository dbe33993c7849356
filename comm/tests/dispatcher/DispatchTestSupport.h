#pragma once
// Shared pieces of the dispatcher tests: a pseudo-terminal peer, the GUI
// thread's executor, and handlers that record what they were delivered.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/PortDispatch.h"
#include "comm/PosixLayer.h"
#include "platform/MainThreadExecutor.h"
#include "MainThreadPump.h"

namespace dispatch_test {

using namespace std::chrono_literals;

using comm_test::App;
using comm_test::PumpFor;
using comm_test::PumpUntil;

inline platform::MainThreadExecutor& GuiExecutor() {
  App();
  static platform::MainThreadExecutor* executor = new platform::MainThreadExecutor;
  return *executor;
}

// A pseudo-terminal: the dispatcher opens the slave by its path, the test
// plays the far end on the master.
struct Pty {
  int master = -1;
  int slave = -1;
  std::string path;

  Pty() {
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    path = name;
    termios tio{};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  void CloseMaster() {
    ::close(master);
    master = -1;
  }

  bool Write(const std::string& bytes, std::chrono::milliseconds limit = 5000ms) const {
    std::size_t done = 0;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (std::chrono::steady_clock::now() > end) return false;
      pollfd p = {master, POLLOUT, 0};
      ::poll(&p, 1, 10);
    }
    return true;
  }

  // Reads until `count` bytes came or the time is up.
  std::string Read(std::size_t count, std::chrono::milliseconds limit = 5000ms) const {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + limit;
    char buffer[4096];
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd p = {master, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, count - got.size()));
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
};

// Opens the slave of `pty` through the POSIX layer, 9600 8N1.
inline std::int32_t OpenPty(const Pty& pty, std::uint16_t& handle, std::uint16_t inSize = 4096,
                            std::uint16_t outSize = 4096) {
  comm::InstallPosixLayer();
  const std::int32_t result = comm::OpenPortRecord(handle, pty.path, inSize, outSize, 9600, 0, 8, 1);
  // As the serial port component does right after opening: counted reads.
  if (result == 0) comm::ClearDispatchOption(handle, comm::kOptDirectReads);
  return result;
}

struct Delivery {
  std::uint16_t message = 0;
  std::uint16_t wParam = 0;
  std::uint16_t lParamLow = 0;
  std::string read;  // bytes the handler took
  bool operator==(const Delivery&) const = default;
};

inline std::string Describe(const std::vector<Delivery>& list) {
  std::string text;
  for (const auto& d : list) {
    const char* name = d.message == comm::MsgTriggerAvail  ? "Avail"
                       : d.message == comm::MsgTriggerData ? "Data"
                       : d.message == comm::MsgTriggerTimer ? "Timer"
                                                            : "Status";
    text += std::string(name) + "(" + std::to_string(d.wParam) + "," +
            std::to_string(d.lParamLow) + ",'" + d.read + "') ";
  }
  return text;
}

// A window handler on the GUI thread that records its deliveries and, on
// request, reads the bytes offered.
class RecordingWindow : public comm::TriggerWindow {
 public:
  explicit RecordingWindow(std::uint16_t port) : TriggerWindow(GuiExecutor()), port_(port) {}

  std::int32_t WindowProc(std::uint32_t message, std::uint32_t wParam,
                          std::uint32_t lParam) override {
    Delivery d{static_cast<std::uint16_t>(message & 0xFFFF), static_cast<std::uint16_t>(wParam),
               static_cast<std::uint16_t>(lParam & 0xFFFF), {}};
    highWords.push_back({message >> 16, lParam >> 16});
    if (d.message == comm::MsgTriggerAvail && readOnAvail) {
      for (std::uint32_t i = 0; i < wParam; ++i) {
        std::uint8_t byte = 0;
        if (comm::ReadChar(port_, byte) == 0) d.read.push_back(static_cast<char>(byte));
      }
    }
    deliveries.push_back(d);
    if (onDelivery) onDelivery(d);
    return 0;
  }

  bool readOnAvail = true;
  std::vector<Delivery> deliveries;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> highWords;
  std::function<void(const Delivery&)> onDelivery;

 private:
  std::uint16_t port_;
};

}  // namespace dispatch_test
