#include "toolmain/ToolMain.h"

#include <pthread.h>

#include <cstdlib>

namespace toolmain {

const char* OptionValue(int& i, int argc, char** argv, void (*usage)()) {
  if (i + 1 >= argc) {
    usage();
    std::exit(2);
  }
  return argv[++i];
}

StopSignals::StopSignals() {
  sigemptyset(&set_);
  sigaddset(&set_, SIGINT);
  sigaddset(&set_, SIGTERM);
  sigaddset(&set_, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
}

int StopSignals::Wait() {
  int sig = 0;
  sigwait(&set_, &sig);
  return sig;
}

}  // namespace toolmain
