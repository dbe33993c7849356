#pragma once
// A simulated Hayes modem on a pseudo-terminal. In command mode it echoes
// (ATE), answers with verbose result codes (ATV) and takes AT, ATZ, ATE, ATV,
// ATQ, ATH, ATO, ATS (S2 escape character, S12 guard time in 1/50 s) and the
// usual settings that need no action; ATD dials with a scripted outcome per
// dial. Any character during a dial aborts it (NO CARRIER). After CONNECT it
// is in data mode: every byte goes to an embedded simulated sign whose answers
// come back through the modem, until the "+++" escape (guard time before and
// after), after which ATH0 hangs up and ATO goes back on line.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "signsim/Pty.h"
#include "signsim/SignCore.h"

namespace modemsim {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What one dial ends in.
struct DialOutcome {
  std::string result;   // the result text as the modem writes it ("CONNECT 9600", "connect 2400", "BUSY")
  milliseconds delay{100};
  bool silent = false;  // no result ever; only a character from the program ends the dial

  static DialOutcome Result(std::string text, milliseconds delay = milliseconds{100}) {
    return {std::move(text), delay, false};
  }
  static DialOutcome Silence() { return {{}, milliseconds{0}, true}; }
  bool Connects() const;  // the result begins with CONNECT in any letter case
  bool operator==(const DialOutcome&) const = default;
};

// Parses dial outcomes separated by ',': "TEXT[@MS]" or "-" for silence,
// e.g. "BUSY,CONNECT 14400/ARQ/V42BIS@300,-". Throws std::invalid_argument.
std::vector<DialOutcome> ParseDialScript(std::string_view script);

struct ModemOptions {
  milliseconds guard{1000};       // "+++" guard time before and after (S12)
  DialOutcome defaultOutcome = DialOutcome::Result("CONNECT 9600");  // when the dial script is used up
  bool splitReplies = false;      // write every reply in pieces
  std::size_t splitSize = 1;      // bytes per piece
  milliseconds splitGap{5};       // pause between pieces
  std::string logFile;            // commands and replies, appended
  signsim::SignOptions sign;      // the sign behind the modem
};

struct ModemLogEntry {
  enum class Kind { Command, Reply, Event, Received };
  Kind kind = Kind::Event;
  // The command line without its CR, the result text, what happened, or the
  // bytes of one read from the program (Received; kept in memory only).
  std::string text;
  SteadyClock::time_point at;
};

class ModemSim {
 public:
  enum class Mode { Command, Dialing, Online, OnlineCommand };

  explicit ModemSim(ModemOptions options = {});
  ~ModemSim();  // stops
  ModemSim(const ModemSim&) = delete;
  ModemSim& operator=(const ModemSim&) = delete;

  // Opens the pseudo-terminal and starts; returns the slave's path.
  std::string Start(const std::string& linkPath = {});
  void Stop();

  void SetDialScript(std::vector<DialOutcome> outcomes);
  void SetDialScript(std::string_view script) { SetDialScript(ParseDialScript(script)); }
  void SetSplitReplies(bool on);
  void SetGuardTime(milliseconds guard);
  // The far end hangs up: NO CARRIER, back to command mode.
  void DropCarrier();

  Mode CurrentMode() const;
  std::vector<ModemLogEntry> Log() const;
  std::vector<std::string> Commands() const;
  std::vector<std::string> Replies() const;
  std::string ReceivedBytes() const;  // every byte the program wrote, in any mode
  bool WaitFor(const std::function<bool(const std::vector<ModemLogEntry>&)>& ready, milliseconds timeout) const;
  bool WaitForReplies(std::size_t n, milliseconds timeout) const;
  bool WaitForMode(Mode mode, milliseconds timeout) const;

  // The sign behind the modem (its script and its records).
  signsim::SignCore& Sign() { return sign_; }

 private:
  struct Settings {
    bool echo = true;
    bool verbose = true;
    bool quiet = false;
    char escapeChar = '+';
    milliseconds guard{1000};
    std::map<int, int> registers;
  };
  struct Out {
    SteadyClock::time_point due;
    std::string bytes;
  };

  void Run();
  void Wake();
  // All below run on the I/O thread with mutex_ held.
  void OnBytes(std::string_view bytes, SteadyClock::time_point now);
  void OnCommandByte(char c, SteadyClock::time_point now);
  void OnDataByte(char c, SteadyClock::time_point now);
  void ExecuteLine(const std::string& line, SteadyClock::time_point now);
  bool ExecuteCommands(std::string_view body, SteadyClock::time_point now, std::string& extra);
  void Dial(std::string number, SteadyClock::time_point now);
  void Result(const std::string& text, SteadyClock::time_point now);
  void Emit(std::string bytes, SteadyClock::time_point now, bool splittable);
  void FlushHeldPluses(SteadyClock::time_point now);
  void HangUp(SteadyClock::time_point now, const char* why);
  void Timers(SteadyClock::time_point now);
  std::optional<SteadyClock::time_point> NextDeadline() const;
  void AddLog(ModemLogEntry::Kind kind, std::string text, SteadyClock::time_point now);

  ModemOptions options_;
  signsim::SignCore sign_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Settings settings_;
  Mode mode_ = Mode::Command;
  std::string line_;
  std::deque<DialOutcome> dialScript_;
  std::optional<DialOutcome> dialing_;
  SteadyClock::time_point dialDue_{};
  std::string connectText_;
  SteadyClock::time_point lastData_{};  // last byte from the program in data mode
  int pluses_ = 0;
  SteadyClock::time_point lastPlus_{};
  std::optional<SteadyClock::time_point> escapeDue_;
  std::deque<Out> out_;
  std::vector<ModemLogEntry> log_;
  std::FILE* logFile_ = nullptr;

  std::unique_ptr<signsim::Pty> pty_;
  int wakeFd_ = -1;
  std::atomic<bool> stop_{false};
  bool started_ = false;
  bool stopped_ = false;
  std::thread thread_;
};

// The sign's connection number inside the modem.
inline constexpr int kModemSignConnection = 1;

}  // namespace modemsim
