#pragma once
// For tests: a serial set-up that records the calls made on it, in order, and
// raises at the first call that begins with `failAt` (as a port that cannot
// be opened does).
#include <stdexcept>
#include <string>
#include <vector>

#include "common/LinkSettings.h"

namespace settings {

class RecordingSerialSetup : public SerialSetup {
 public:
  void SetComNumber(int n) override { Step("ComNumber=" + std::to_string(n)); }
  void SetBaud(int b) override { Step("Baud=" + std::to_string(b)); }
  void SetOpen(bool o) override { Step(std::string("Open=") + (o ? "1" : "0")); }
  void SetModemStarted(bool m) override { Step(std::string("Modem=") + (m ? "1" : "0")); }
  std::vector<std::string> calls;
  std::string failAt;

 private:
  void Step(const std::string& call) {
    calls.push_back(call);
    if (!failAt.empty() && call.rfind(failAt, 0) == 0) throw std::runtime_error("the port cannot be set up");
  }
};

}  // namespace settings
