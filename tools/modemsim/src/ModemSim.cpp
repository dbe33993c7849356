#include "modemsim/ModemSim.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <stdexcept>
#include <system_error>

namespace modemsim {
namespace {

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string UpperText(std::string_view s) {
  std::string u(s);
  for (auto& c : u) c = Upper(c);
  return u;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the digits at s[i..]; none gives `none`.
int Digits(std::string_view s, std::size_t& i, int none) {
  if (i >= s.size() || !IsDigit(s[i])) return none;
  int v = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (v < 100000) v = v * 10 + (s[i] - '0');
    ++i;
  }
  return v;
}

// Numeric result codes for ATV0.
std::string NumericCode(const std::string& text) {
  std::string u = UpperText(text);
  if (u == "OK") return "0";
  if (u.rfind("CONNECT", 0) == 0) return "1";
  if (u == "RING") return "2";
  if (u == "NO CARRIER") return "3";
  if (u == "ERROR") return "4";
  if (u == "NO DIALTONE") return "6";
  if (u == "BUSY") return "7";
  if (u == "NO ANSWER") return "8";
  return text;
}

int PollTimeout(std::optional<SteadyClock::time_point> deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::ceil<milliseconds>(*deadline - SteadyClock::now()).count();
  if (left < 0) return 0;
  return static_cast<int>(std::min<long long>(left, 60000));
}

std::optional<SteadyClock::time_point> Earlier(std::optional<SteadyClock::time_point> a,
                                               std::optional<SteadyClock::time_point> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

bool DialOutcome::Connects() const { return !silent && UpperText(result).rfind("CONNECT", 0) == 0; }

std::vector<DialOutcome> ParseDialScript(std::string_view script) {
  std::vector<DialOutcome> out;
  if (script.empty()) return out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= script.size(); ++i) {
    if (i < script.size() && script[i] != ',') continue;
    std::string_view item = script.substr(start, i - start);
    start = i + 1;
    if (item.empty()) throw std::invalid_argument("empty dial outcome");
    if (item == "-") {
      out.push_back(DialOutcome::Silence());
      continue;
    }
    DialOutcome o;
    auto at = item.rfind('@');
    if (at != std::string_view::npos) {
      std::size_t k = at + 1;
      int ms = Digits(item, k, -1);
      if (ms < 0 || k != item.size()) throw std::invalid_argument("bad delay in dial outcome " + std::string(item));
      o.delay = milliseconds{ms};
      item = item.substr(0, at);
    }
    if (item.empty()) throw std::invalid_argument("empty dial outcome");
    o.result = std::string(item);
    out.push_back(std::move(o));
  }
  return out;
}

ModemSim::ModemSim(ModemOptions options) : options_(std::move(options)), sign_(options_.sign) {
  settings_.guard = options_.guard;
  if (options_.splitSize == 0) options_.splitSize = 1;
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  if (!options_.logFile.empty()) {
    logFile_ = std::fopen(options_.logFile.c_str(), "a");
    if (!logFile_) {
      close(wakeFd_);
      throw std::runtime_error("cannot open the log file " + options_.logFile);
    }
  }
}

ModemSim::~ModemSim() {
  Stop();
  close(wakeFd_);
  if (logFile_) std::fclose(logFile_);
}

std::string ModemSim::Start(const std::string& linkPath) {
  std::lock_guard lock(mutex_);
  if (started_) throw std::logic_error("the simulated modem is already started");
  pty_ = std::make_unique<signsim::Pty>(linkPath);
  started_ = true;
  thread_ = std::thread([this] { Run(); });
  return pty_->SlavePath();
}

void ModemSim::Stop() {
  std::thread t;
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    t = std::move(thread_);
  }
  stop_ = true;
  Wake();
  if (t.joinable()) t.join();
  std::lock_guard lock(mutex_);
  pty_.reset();
}

void ModemSim::Wake() {
  std::uint64_t one = 1;
  [[maybe_unused]] auto n = write(wakeFd_, &one, sizeof one);
}

void ModemSim::SetDialScript(std::vector<DialOutcome> outcomes) {
  std::lock_guard lock(mutex_);
  dialScript_.assign(outcomes.begin(), outcomes.end());
}

void ModemSim::SetSplitReplies(bool on) {
  std::lock_guard lock(mutex_);
  options_.splitReplies = on;
}

void ModemSim::SetGuardTime(milliseconds guard) {
  std::lock_guard lock(mutex_);
  options_.guard = guard;
  settings_.guard = guard;
}

void ModemSim::DropCarrier() {
  {
    std::lock_guard lock(mutex_);
    auto now = SteadyClock::now();
    if (mode_ == Mode::Online || mode_ == Mode::OnlineCommand) {
      HangUp(now, "carrier lost");
      Result("NO CARRIER", now);
    }
  }
  Wake();
}

ModemSim::Mode ModemSim::CurrentMode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

std::vector<ModemLogEntry> ModemSim::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<std::string> ModemSim::Commands() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> v;
  for (const auto& e : log_)
    if (e.kind == ModemLogEntry::Kind::Command) v.push_back(e.text);
  return v;
}

std::string ModemSim::ReceivedBytes() const {
  std::lock_guard lock(mutex_);
  std::string bytes;
  for (const auto& e : log_)
    if (e.kind == ModemLogEntry::Kind::Received) bytes += e.text;
  return bytes;
}

std::vector<std::string> ModemSim::Replies() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> v;
  for (const auto& e : log_)
    if (e.kind == ModemLogEntry::Kind::Reply) v.push_back(e.text);
  return v;
}

bool ModemSim::WaitFor(const std::function<bool(const std::vector<ModemLogEntry>&)>& ready,
                       milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return ready(log_); });
}

bool ModemSim::WaitForReplies(std::size_t n, milliseconds timeout) const {
  return WaitFor(
      [n](const std::vector<ModemLogEntry>& log) {
        return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const ModemLogEntry& e) {
                 return e.kind == ModemLogEntry::Kind::Reply;
               })) >= n;
      },
      timeout);
}

bool ModemSim::WaitForMode(Mode mode, milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return mode_ == mode; });
}

void ModemSim::Run() {
  char buf[4096];
  std::string writeBuf;  // bytes due but not yet taken by the pty
  const int master = pty_->Master();
  while (!stop_) {
    std::optional<SteadyClock::time_point> deadline;
    {
      std::lock_guard lock(mutex_);
      deadline = NextDeadline();
    }
    deadline = Earlier(deadline, sign_.NextDeadline());
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {master, static_cast<short>(POLLIN | (writeBuf.empty() ? 0 : POLLOUT)), 0}};
    int n = poll(fds, 2, PollTimeout(deadline));
    if (n < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      std::uint64_t v;
      [[maybe_unused]] auto r = read(wakeFd_, &v, sizeof v);
    }
    if (fds[1].revents & POLLIN) {
      for (;;) {
        ssize_t r = read(master, buf, sizeof buf);
        if (r <= 0) break;
        std::lock_guard lock(mutex_);
        OnBytes(std::string_view(buf, static_cast<std::size_t>(r)), SteadyClock::now());
      }
    }
    auto now = SteadyClock::now();
    sign_.Tick(now);
    auto answers = sign_.TakeDue(now);
    {
      std::lock_guard lock(mutex_);
      for (auto& a : answers) {
        if (a.bytes.empty()) continue;
        if (mode_ == Mode::Online) {
          Emit(std::move(a.bytes), now, true);
        } else {
          AddLog(ModemLogEntry::Kind::Event, "sign answer dropped off line: " + signsim::Printable(a.bytes), now);
        }
      }
      Timers(now);
      while (!out_.empty() && out_.front().due <= now) {
        writeBuf += out_.front().bytes;
        out_.pop_front();
      }
      changed_.notify_all();
    }
    while (!writeBuf.empty()) {
      ssize_t w = write(master, writeBuf.data(), writeBuf.size());
      if (w > 0) {
        writeBuf.erase(0, static_cast<std::size_t>(w));
        continue;
      }
      if (w < 0 && errno == EINTR) continue;
      break;
    }
    // Nobody reading the pty for a long time: forget the oldest bytes.
    if (writeBuf.size() > 64 * 1024) writeBuf.erase(0, writeBuf.size() - 64 * 1024);
  }
}

std::optional<SteadyClock::time_point> ModemSim::NextDeadline() const {
  std::optional<SteadyClock::time_point> next;
  if (!out_.empty()) next = out_.front().due;
  if (mode_ == Mode::Dialing && dialing_ && !dialing_->silent) next = Earlier(next, dialDue_);
  next = Earlier(next, escapeDue_);
  if (pluses_ > 0 && !escapeDue_) next = Earlier(next, lastPlus_ + settings_.guard);
  return next;
}

void ModemSim::OnBytes(std::string_view bytes, SteadyClock::time_point now) {
  AddLog(ModemLogEntry::Kind::Received, std::string(bytes), now);
  for (char c : bytes) {
    switch (mode_) {
      case Mode::Command:
      case Mode::OnlineCommand:
        OnCommandByte(c, now);
        break;
      case Mode::Dialing:
        // Any character ends a dial; it is not echoed.
        dialing_.reset();
        mode_ = Mode::Command;
        line_.clear();
        AddLog(ModemLogEntry::Kind::Event, "dial aborted by a character", now);
        Result("NO CARRIER", now);
        break;
      case Mode::Online:
        OnDataByte(c, now);
        break;
    }
  }
}

void ModemSim::OnCommandByte(char c, SteadyClock::time_point now) {
  if (settings_.echo) Emit(std::string(1, c), now, false);
  if (c == '\r') {
    std::string line = std::move(line_);
    line_.clear();
    ExecuteLine(line, now);
  } else if (c == '\n') {
    // a line feed after the CR is no part of the next command
  } else if (c == 8 || c == 127) {
    if (!line_.empty()) line_.pop_back();
  } else if (line_.size() < 255) {
    line_ += c;
  }
}

void ModemSim::OnDataByte(char c, SteadyClock::time_point now) {
  if (escapeDue_) {
    // Data within the guard time after "+++": no escape, the pluses were data.
    escapeDue_.reset();
    FlushHeldPluses(now);
  }
  const bool isEscape = static_cast<unsigned char>(c) == static_cast<unsigned char>(settings_.escapeChar);
  if (isEscape && pluses_ > 0) {
    if (now - lastPlus_ < settings_.guard) {
      ++pluses_;
      lastPlus_ = now;
      if (pluses_ == 3) escapeDue_ = now + settings_.guard;
      return;
    }
    FlushHeldPluses(now);
  }
  if (isEscape && pluses_ == 0 && now - lastData_ >= settings_.guard) {
    pluses_ = 1;
    lastPlus_ = now;
    return;
  }
  if (pluses_ > 0) FlushHeldPluses(now);
  sign_.Feed(kModemSignConnection, std::string_view(&c, 1), now);
  lastData_ = now;
}

void ModemSim::FlushHeldPluses(SteadyClock::time_point now) {
  if (pluses_ == 0) return;
  sign_.Feed(kModemSignConnection, std::string(static_cast<std::size_t>(pluses_), settings_.escapeChar), now);
  pluses_ = 0;
  lastData_ = lastPlus_;
}

void ModemSim::ExecuteLine(const std::string& line, SteadyClock::time_point now) {
  if (line.empty()) return;
  AddLog(ModemLogEntry::Kind::Command, line, now);
  // Bytes in front of "AT" (the pluses of a "+++" sent off line) are passed over.
  std::string upper = UpperText(line);
  auto at = upper.find("AT");
  if (at == std::string::npos) return;
  std::string extra;
  std::string body = line.substr(at + 2);
  bool reply = ExecuteCommands(body, now, extra);
  if (!extra.empty()) Emit(extra, now, true);
  if (reply) Result("OK", now);
}

// Runs the commands of one line; false when it already answered (ERROR, a
// dial, ATO) so no OK follows.
bool ModemSim::ExecuteCommands(std::string_view body, SteadyClock::time_point now, std::string& extra) {
  std::size_t i = 0;
  while (i < body.size()) {
    char c = Upper(body[i++]);
    switch (c) {
      case ' ':
        break;
      case 'E':
        settings_.echo = Digits(body, i, 0) != 0;
        break;
      case 'V':
        settings_.verbose = Digits(body, i, 0) != 0;
        break;
      case 'Q':
        settings_.quiet = Digits(body, i, 0) != 0;
        break;
      case 'Z': {
        Digits(body, i, 0);
        if (mode_ == Mode::OnlineCommand) HangUp(now, "hung up by ATZ");
        Settings fresh;
        fresh.guard = options_.guard;
        settings_ = fresh;
        break;
      }
      case 'H': {
        int v = Digits(body, i, 0);
        if (v == 0 && mode_ == Mode::OnlineCommand) HangUp(now, "hung up by ATH");
        break;
      }
      case 'O':
        Digits(body, i, 0);
        if (mode_ != Mode::OnlineCommand) {
          Result("ERROR", now);
          return false;
        }
        mode_ = Mode::Online;
        lastData_ = now;
        AddLog(ModemLogEntry::Kind::Event, "back on line", now);
        Result(connectText_, now);
        return false;
      case 'D': {
        if (mode_ == Mode::OnlineCommand) {
          Result("ERROR", now);
          return false;
        }
        std::string number;
        for (std::size_t k = i; k < body.size(); ++k) {
          char d = body[k];
          if (d == ';' || d == ' ') continue;
          number += d;
        }
        // Tone or pulse dialling is all one here.
        if (!number.empty() && (Upper(number[0]) == 'T' || Upper(number[0]) == 'P')) number.erase(0, 1);
        if (number.empty()) {
          Result("ERROR", now);
          return false;
        }
        Dial(std::move(number), now);
        return false;
      }
      case 'A':
        Result("NO CARRIER", now);
        return false;
      case 'S': {
        int reg = Digits(body, i, -1);
        if (reg < 0 || i >= body.size()) {
          Result("ERROR", now);
          return false;
        }
        if (body[i] == '?') {
          ++i;
          auto it = settings_.registers.find(reg);
          int v = it != settings_.registers.end() ? it->second
                  : reg == 2                      ? static_cast<unsigned char>(settings_.escapeChar)
                  : reg == 3                      ? 13
                  : reg == 12                     ? static_cast<int>(settings_.guard.count() / 20)
                                                  : 0;
          char text[16];
          std::snprintf(text, sizeof text, "%03d", v);
          extra += settings_.verbose ? "\r\n" + std::string(text) + "\r\n" : std::string(text) + "\r\n";
        } else if (body[i] == '=') {
          ++i;
          int v = Digits(body, i, -1);
          if (v < 0 || v > 255) {
            Result("ERROR", now);
            return false;
          }
          settings_.registers[reg] = v;
          if (reg == 2) settings_.escapeChar = static_cast<char>(v);
          if (reg == 12) settings_.guard = milliseconds{v * 20};
        } else {
          Result("ERROR", now);
          return false;
        }
        break;
      }
      case 'X': case 'L': case 'M': case 'B': case 'C': case 'N': case 'W': case 'Y': case 'T': case 'P':
        Digits(body, i, 0);
        break;
      case 'I':
        Digits(body, i, 0);
        extra += settings_.verbose ? "\r\nSIMULATED HAYES MODEM\r\n" : "SIMULATED HAYES MODEM\r\n";
        break;
      case '&': case '\\': case '%':
        if (i < body.size()) ++i;
        Digits(body, i, 0);
        break;
      case '+': case '#':
        return true;  // extended commands: taken as they are
      default:
        Result("ERROR", now);
        return false;
    }
  }
  return true;
}

void ModemSim::Dial(std::string number, SteadyClock::time_point now) {
  DialOutcome o = options_.defaultOutcome;
  if (!dialScript_.empty()) {
    o = dialScript_.front();
    dialScript_.pop_front();
  }
  AddLog(ModemLogEntry::Kind::Event,
         "dialing " + number + (o.silent ? " (no answer)" : " -> " + o.result), now);
  mode_ = Mode::Dialing;
  dialing_ = o;
  dialDue_ = now + o.delay;
}

void ModemSim::Timers(SteadyClock::time_point now) {
  if (mode_ == Mode::Dialing && dialing_ && !dialing_->silent && now >= dialDue_) {
    DialOutcome o = *dialing_;
    dialing_.reset();
    if (o.Connects()) {
      mode_ = Mode::Online;
      connectText_ = o.result;
      lastData_ = now;
      pluses_ = 0;
      escapeDue_.reset();
      sign_.Open(kModemSignConnection, "modem");
      Result(o.result, now);
      AddLog(ModemLogEntry::Kind::Event, "on line", now);
    } else {
      mode_ = Mode::Command;
      Result(o.result, now);
    }
  }
  // One or two pluses and then quiet: no escape can follow, they were data.
  if (mode_ == Mode::Online && pluses_ > 0 && !escapeDue_ && now - lastPlus_ >= settings_.guard) FlushHeldPluses(now);
  if (escapeDue_ && now >= *escapeDue_) {
    escapeDue_.reset();
    pluses_ = 0;
    mode_ = Mode::OnlineCommand;
    AddLog(ModemLogEntry::Kind::Event, "escape to command mode", now);
    Result("OK", now);
  }
}

void ModemSim::HangUp(SteadyClock::time_point now, const char* why) {
  mode_ = Mode::Command;
  connectText_.clear();
  pluses_ = 0;
  escapeDue_.reset();
  sign_.Close(kModemSignConnection, why);
  AddLog(ModemLogEntry::Kind::Event, why, now);
}

void ModemSim::Result(const std::string& text, SteadyClock::time_point now) {
  AddLog(ModemLogEntry::Kind::Reply, text, now);
  if (settings_.quiet) return;
  Emit(settings_.verbose ? "\r\n" + text + "\r\n" : NumericCode(text) + "\r", now, true);
}

void ModemSim::Emit(std::string bytes, SteadyClock::time_point now, bool splittable) {
  if (bytes.empty()) return;
  auto due = out_.empty() ? now : std::max(now, out_.back().due);
  if (!(options_.splitReplies && splittable)) {
    out_.push_back({due, std::move(bytes)});
    return;
  }
  bool first = out_.empty();
  for (std::size_t k = 0; k < bytes.size(); k += options_.splitSize) {
    if (!first) due += options_.splitGap;
    first = false;
    out_.push_back({due, bytes.substr(k, options_.splitSize)});
  }
}

void ModemSim::AddLog(ModemLogEntry::Kind kind, std::string text, SteadyClock::time_point now) {
  if (logFile_ && kind != ModemLogEntry::Kind::Received) {
    auto wall = std::chrono::system_clock::now();
    auto t = std::chrono::system_clock::to_time_t(wall);
    auto ms = std::chrono::duration_cast<milliseconds>(wall.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char stamp[40];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    const char* mark = kind == ModemLogEntry::Kind::Command ? ">" : kind == ModemLogEntry::Kind::Reply ? "<" : "#";
    std::fprintf(logFile_, "%s.%03dZ %s %s\n", stamp, static_cast<int>(ms), mark, signsim::Printable(text).c_str());
    std::fflush(logFile_);
  }
  log_.push_back({kind, std::move(text), now});
  changed_.notify_all();
}

}  // namespace modemsim
