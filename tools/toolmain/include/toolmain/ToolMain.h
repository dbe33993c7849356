#pragma once
// Pieces of the simulated peers' programs: the value of an option, and the
// signals that stop a program running its peer until then.
#include <signal.h>

namespace toolmain {

// The word after option argv[i], stepping i over it; without one, `usage`
// is shown and the program exits with 2.
const char* OptionValue(int& i, int argc, char** argv, void (*usage)());

// Blocks SIGINT, SIGTERM and SIGHUP for this thread and the threads it starts
// afterwards, so that they are taken by Wait and never by a handler: make it
// before the peer's threads.
class StopSignals {
 public:
  StopSignals();
  // Waits for one of them; returns it.
  int Wait();

 private:
  sigset_t set_;
};

}  // namespace toolmain
