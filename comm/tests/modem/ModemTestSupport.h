#pragma once
// Shared pieces of the modem tests: the application object, a recorder of
// notices (or events) with their time and thread, and a handler that reads
// every byte offered, as the programs' data-available handler does.
#include <QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/ModemEngine.h"
#include "comm/PortDispatch.h"
#include "MainThreadPump.h"

namespace modemtest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using comm_test::App;
using comm_test::PumpFor;
using comm_test::PumpUntil;

struct Heard {
  std::uint32_t msg = 0;
  std::int32_t first = 0;
  std::int32_t second = 0;
  std::int32_t lineSpeed = 0;
  Clock::time_point at;
  std::thread::id thread;
};

class Recorder {
 public:
  void Add(std::uint32_t msg, std::int32_t first, std::int32_t second, std::int32_t lineSpeed) {
    std::lock_guard lock(mutex_);
    list_.push_back({msg, first, second, lineSpeed, Clock::now(), std::this_thread::get_id()});
    changed_.notify_all();
  }
  comm::TModemUserProc Proc() {
    return [this](const comm::TModemNotice& n) { Add(n.Msg, n.First, n.Second, n.LineSpeed); };
  }
  std::vector<Heard> List() const {
    std::lock_guard lock(mutex_);
    return list_;
  }
  std::vector<std::uint32_t> Msgs() const {
    std::vector<std::uint32_t> msgs;
    for (const auto& h : List()) msgs.push_back(h.msg);
    return msgs;
  }
  // Waits (without pumping) until `msg` was heard.
  bool WaitFor(std::uint32_t msg, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
      for (const auto& h : list_)
        if (h.msg == msg) return true;
      return false;
    });
  }
  const Heard* Find(const std::vector<Heard>& list, std::uint32_t msg) const {
    for (const auto& h : list)
      if (h.msg == msg) return &h;
    return nullptr;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Heard> list_;
};

// A procedure handler that takes every byte offered (the programs' own
// data-available handler does the same behind the serial port component).
inline std::int32_t ReadAllHandler(std::intptr_t, std::uint32_t message, std::uint32_t wParam,
                                   std::uint32_t lParam) {
  if ((message & 0xFFFF) != comm::MsgTriggerAvail) return 0;
  const auto port = static_cast<std::uint16_t>(lParam >> 16);
  for (std::uint32_t i = 0; i < wParam; ++i) {
    std::uint8_t byte = 0;
    if (comm::ReadChar(port, byte) != 0) break;
  }
  return 0;
}

inline const char* MsgName(std::uint32_t msg) {
  switch (msg) {
    case comm::MsgModemOk: return "Ok";
    case comm::MsgModemConnect: return "Connect";
    case comm::MsgModemBusy: return "Busy";
    case comm::MsgModemVoice: return "Voice";
    case comm::MsgModemNoCarrier: return "NoCarrier";
    case comm::MsgModemNoDialTone: return "NoDialTone";
    case comm::MsgModemError: return "Error";
    case comm::MsgGotLineSpeed: return "GotLineSpeed";
    case comm::MsgGotErrCorrection: return "GotErrCorrection";
    case comm::MsgGotDataCompression: return "GotDataCompression";
    case comm::MsgCmdTimedOut: return "CmdTimedOut";
    case comm::MsgDialTimedOut: return "DialTimedOut";
    case comm::MsgAnswerTimedOut: return "AnswerTimedOut";
    case comm::MsgDialCount: return "DialCount";
    case comm::MsgAnswerCount: return "AnswerCount";
    case comm::MsgModemRing: return "Ring";
    case comm::MsgModemIsConnected: return "IsConnected";
    case comm::MsgConnectFailed: return "ConnectFailed";
    case comm::MsgCommandProcessed: return "CommandProcessed";
    default: return "?";
  }
}

// "Connect GotLineSpeed(0,9600) ..." for failure messages.
inline std::string Describe(const std::vector<Heard>& list) {
  std::string text;
  for (const auto& h : list) {
    text += MsgName(h.msg);
    if (h.first != 0 || h.second != 0)
      text += "(" + std::to_string(h.first) + "," + std::to_string(h.second) + ")";
    text += " ";
  }
  return text;
}

// A component's event as the test heard it: its name, value, moment and
// whether it came on the main thread.
struct Seen {
  std::string name;
  std::int32_t value = 0;
  Clock::time_point at{};
  bool onMainThread = false;
  bool operator==(const Seen& o) const { return name == o.name && value == o.value; }
};

inline std::string Describe(const std::vector<Seen>& list) {
  std::string text;
  for (const auto& e : list) text += e.name + "(" + std::to_string(e.value) + ") ";
  return text;
}

// Pumps the main thread until an event `name` was heard or the time is up.
inline bool WaitForSeen(const std::vector<Seen>& events, const std::string& name,
                        std::chrono::milliseconds limit) {
  return PumpUntil(
      [&] {
        for (const auto& e : events)
          if (e.name == name) return true;
        return false;
      },
      limit);
}

inline long long MsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

}  // namespace modemtest
