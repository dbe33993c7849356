#pragma once
// The simulated sign on its links: a pseudo-terminal (whose slave a COM number
// is pointed at) and/or a TCP port on 127.0.0.1. One I/O thread polls every
// link; the framing, answers and log are those of SignCore.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "signsim/Pty.h"
#include "signsim/SignCore.h"

namespace signsim {

class SignSim {
 public:
  explicit SignSim(SignOptions options = {});
  ~SignSim();  // stops
  SignSim(const SignSim&) = delete;
  SignSim& operator=(const SignSim&) = delete;

  // Opens the pseudo-terminal (and the symlink to its slave when a path is
  // given); returns the slave's path. Throws std::system_error.
  std::string StartPty(const std::string& linkPath = {});
  // Listens on 127.0.0.1; port 0 picks a free port. Returns the port.
  // Throws std::system_error.
  std::uint16_t StartTcp(std::uint16_t port = 0);
  // TCP connections accepted from now on are closed after n records (0: never).
  void SetDropAfter(int n) { dropAfter_ = n; }
  // Stops the thread, closes every link and removes the symlink.
  void Stop();

  SignCore& Core() { return core_; }
  const SignCore& Core() const { return core_; }
  void SetScript(std::string_view script) { core_.SetScript(script); }
  void SetScript(std::vector<Answer> script) { core_.SetScript(std::move(script)); }
  std::vector<SignEntry> Records() const { return core_.Records(); }
  bool WaitForRecords(std::size_t n, milliseconds timeout) const { return core_.WaitForRecords(n, timeout); }

 private:
  struct Client {
    int fd = -1;
    int id = 0;
    std::string out;
    bool closeAfterOut = false;
  };
  void EnsureThread();
  void Wake();
  void Run();
  void HandleOutputs(SteadyClock::time_point now);
  void FlushOut(int fd, std::string& out);
  void DropClient(std::size_t index, const char* why);

  SignCore core_;
  std::atomic<int> dropAfter_{0};
  std::mutex mutex_;  // guards pty_, listenFd_ and starting or stopping the thread
  std::unique_ptr<Pty> pty_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::atomic<bool> stop_{false};
  bool stopped_ = false;
  std::thread thread_;
  // Owned by the I/O thread.
  std::vector<Client> clients_;
  std::string ptyOut_;
  int nextId_ = 2;
};

// Connection numbers in the log: the pty is 1, TCP clients from 2 on.
inline constexpr int kPtyConnection = 1;

}  // namespace signsim
