#pragma once
// Pseudo-terminal for a simulated peer: the peer works the master side, a
// program opens the slave (or a symlink to it) as its COM port.
#include <string>

namespace signsim {

class Pty {
 public:
  // Opens a pair with openpty, both sides raw, the master non-blocking.
  // With a link path, makes it a symlink to the slave (replacing an old link).
  // Throws std::system_error.
  explicit Pty(const std::string& linkPath = {});
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  const std::string& LinkPath() const { return linkPath_; }

 private:
  int master_ = -1;
  // Kept open by us so the master never sees a hang-up while no program has
  // the port open (poll would report POLLHUP without end).
  int slave_ = -1;
  std::string slavePath_;
  std::string linkPath_;
};

}  // namespace signsim
