#include "signsim/SignCore.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <stdexcept>

namespace signsim {

std::uint16_t Crc16(std::string_view bytes) {
  std::uint16_t crc = 0;
  for (unsigned char byte : bytes) {
    for (int bit = 7; bit >= 0; --bit) {
      bool top = (crc & 0x8000) != 0;
      bool in = ((byte >> bit) & 1) != 0;
      crc = static_cast<std::uint16_t>(crc << 1);
      if (top != in) crc ^= 0x1021;
    }
  }
  return crc;
}

std::uint16_t CommandCrc(std::string_view text) {
  if (text.size() < 3) return 0;
  return Crc16(text.substr(1, text.size() - 2));
}

std::string Answer::JoinedText() const {
  std::string s;
  for (const auto& p : pieces) s += p;
  return s;
}

std::string Printable(std::string_view bytes) {
  static const char* hex = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      s += static_cast<char>(c);
    } else {
      s += "\\x";
      s += hex[c >> 4];
      s += hex[c & 15];
    }
  }
  return s;
}

// --- script ---------------------------------------------------------------

namespace {

bool IsModifier(char c) { return c == '@' || c == '~' || c == '*'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void Bad(std::string_view item, const char* why) {
  throw std::invalid_argument("bad answer \"" + std::string(item) + "\": " + why);
}

long ParseCount(std::string_view item, std::string_view digits) {
  if (digits.empty() || digits.size() > 7) Bad(item, "expected a number");
  long v = 0;
  for (char d : digits) {
    if (d < '0' || d > '9') Bad(item, "expected a number");
    v = v * 10 + (d - '0');
  }
  return v;
}

void ParseItem(std::string_view item, std::vector<Answer>& out) {
  if (item.empty()) Bad(item, "empty");
  std::vector<std::string> pieces(1);
  bool escaped = false;
  std::size_t i = 0;
  for (; i < item.size(); ++i) {
    char c = item[i];
    if (c == '\\') {
      if (++i >= item.size()) Bad(item, "'\\' at the end");
      char e = item[i];
      escaped = true;
      switch (e) {
        case 'r': pieces.back() += '\r'; break;
        case 'n': pieces.back() += '\n'; break;
        case 't': pieces.back() += '\t'; break;
        case 'x': {
          if (i + 2 >= item.size()) Bad(item, "short \\x");
          int h = HexDigit(item[i + 1]);
          int l = HexDigit(item[i + 2]);
          if (h < 0 || l < 0) Bad(item, "bad \\x");
          pieces.back() += static_cast<char>(h * 16 + l);
          i += 2;
          break;
        }
        case '\\': case ',': case '|': case '@': case '~': case '*': case '-':
          pieces.back() += e;
          break;
        default: Bad(item, "unknown escape");
      }
    } else if (c == '|') {
      pieces.emplace_back();
    } else if (IsModifier(c)) {
      break;
    } else {
      pieces.back() += c;
    }
  }
  Answer a;
  if (!escaped && pieces.size() == 1 && pieces[0] == "auto") {
    a.kind = Answer::Kind::Auto;
  } else if (!escaped && pieces.size() == 1 && pieces[0] == "-") {
    a.kind = Answer::Kind::Silent;
  } else {
    for (const auto& p : pieces)
      if (p.empty()) Bad(item, "empty piece");
    a.kind = Answer::Kind::Text;
    a.pieces = std::move(pieces);
  }
  long count = 1;
  bool seen[3] = {false, false, false};
  while (i < item.size()) {
    char m = item[i++];
    if (!IsModifier(m)) Bad(item, "text after a modifier");
    std::size_t j = i;
    while (j < item.size() && !IsModifier(item[j])) ++j;
    long v = ParseCount(item, item.substr(i, j - i));
    int slot = m == '@' ? 0 : m == '~' ? 1 : 2;
    if (seen[slot]) Bad(item, "modifier given twice");
    seen[slot] = true;
    if (m == '@') a.delay = milliseconds{v};
    if (m == '~') a.gap = milliseconds{v};
    if (m == '*') {
      if (v < 1 || v > 10000) Bad(item, "count out of range");
      count = v;
    }
    i = j;
  }
  for (long k = 0; k < count; ++k) out.push_back(a);
}

}  // namespace

std::vector<Answer> ParseScript(std::string_view script) {
  std::vector<Answer> out;
  if (script.empty()) return out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= script.size(); ++i) {
    if (i < script.size() && script[i] == '\\') {
      ++i;  // the escaped byte never splits
      continue;
    }
    if (i == script.size() || script[i] == ',') {
      ParseItem(script.substr(start, i - start), out);
      start = i + 1;
    }
  }
  return out;
}

// --- core -----------------------------------------------------------------

SignCore::SignCore(SignOptions options) : options_(std::move(options)) {
  if (options_.silence < milliseconds{1}) options_.silence = milliseconds{1};
  if (!options_.logFile.empty()) {
    logFile_ = std::fopen(options_.logFile.c_str(), "a");
    if (!logFile_) throw std::runtime_error("cannot open the log file " + options_.logFile);
  }
}

SignCore::~SignCore() {
  if (logFile_) std::fclose(logFile_);
}

void SignCore::Open(int connection, std::string source, int dropAfter) {
  std::lock_guard lock(mutex_);
  Conn c;
  c.source = std::move(source);
  c.dropAfter = dropAfter;
  conns_[connection] = std::move(c);
}

void SignCore::Close(int connection, std::string_view why) {
  std::lock_guard lock(mutex_);
  auto it = conns_.find(connection);
  if (it == conns_.end()) return;
  // What arrived before the close still counts, framed by the silence after it.
  if (!it->second.parser.Empty()) FlushSilence(connection, it->second);
  if (logFile_ && !why.empty()) {
    std::fprintf(logFile_, "# %s %s\n", it->second.source.c_str(), std::string(why).c_str());
    std::fflush(logFile_);
  }
  conns_.erase(it);
  std::erase_if(pending_, [&](const Pending& p) { return p.out.connection == connection; });
}

void SignCore::Note(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (!logFile_) return;
  std::fprintf(logFile_, "# %s\n", std::string(text).c_str());
  std::fflush(logFile_);
}

void SignCore::Feed(int connection, std::string_view bytes, SteadyClock::time_point now) {
  std::lock_guard lock(mutex_);
  auto it = conns_.find(connection);
  if (it == conns_.end()) {
    conns_[connection].source = "conn#" + std::to_string(connection);
    it = conns_.find(connection);
  }
  Conn& c = it->second;
  if (c.dropping) return;
  if (!c.parser.Empty() && now - c.parser.last >= options_.silence) FlushSilence(connection, c);
  for (char b : bytes) {
    if (c.dropping) break;
    FeedByte(connection, c, b, now);
  }
}

void SignCore::FeedByte(int id, Conn& c, char b, SteadyClock::time_point now) {
  Parser& p = c.parser;
  p.last = now;
  if (options_.framing == Framing::Silence) {
    if (p.burst.empty()) p.first = now;
    p.burst += b;
    return;
  }
  using S = Parser::State;
  switch (p.state) {
    case S::Outside:
      if (b == '@') {
        FlushNoise(id, c);
        if (p.ats.empty()) p.first = now;
        p.ats += b;
      } else if (b == '{') {
        FlushNoise(id, c);
        if (p.ats.empty()) p.first = now;
        p.wakeAts = static_cast<int>(p.ats.size());
        p.raw = p.ats + b;
        p.ats.clear();
        p.text = "{";
        p.crc.clear();
        p.state = S::Inside;
      } else if (b == 'C' && p.ats.size() >= 2) {
        SignEntry e;
        e.kind = SignEntry::Kind::HardwareClear;
        e.connection = id;
        e.source = c.source;
        e.raw = p.ats + b;
        e.firstByte = p.first;
        e.lastByte = now;
        p.ats.clear();
        Push(std::move(e));
      } else {
        if (p.noise.empty() && p.ats.empty()) p.first = now;
        p.noise += p.ats;
        p.noise += b;
        p.ats.clear();
      }
      break;
    case S::Inside:
      p.raw += b;
      p.text += b;
      if (b == '/') p.state = S::Escape;
      else if (b == '}') p.state = S::Crc;
      break;
    case S::Escape:
      p.raw += b;
      p.text += b;
      p.state = S::Inside;
      break;
    case S::Crc:
      p.raw += b;
      p.crc += b;
      if (p.crc.size() == 2) {
        std::string raw = std::move(p.raw), text = std::move(p.text), crc = std::move(p.crc);
        int ats = p.wakeAts;
        auto first = p.first;
        p.raw.clear();
        p.text.clear();
        p.crc.clear();
        p.wakeAts = 0;
        p.state = S::Outside;
        FinishRecord(id, c, std::move(raw), ats, std::move(text), std::move(crc), false, first, now, now);
      }
      break;
  }
}

void SignCore::FlushNoise(int id, Conn& c) {
  Parser& p = c.parser;
  if (p.noise.empty()) return;
  SignEntry e;
  e.kind = SignEntry::Kind::Noise;
  e.connection = id;
  e.source = c.source;
  e.raw = std::move(p.noise);
  e.firstByte = p.first;
  e.lastByte = p.last;
  p.noise.clear();
  Push(std::move(e));
}

void SignCore::FlushSilence(int id, Conn& c) {
  Parser& p = c.parser;
  const auto decided = p.last + options_.silence;
  if (options_.framing == Framing::Silence) {
    std::string burst = std::move(p.burst);
    p.burst.clear();
    std::size_t ats = 0;
    while (ats < burst.size() && burst[ats] == '@') ++ats;
    std::string rest = burst.substr(ats);
    SignEntry e;
    e.connection = id;
    e.source = c.source;
    e.raw = burst;
    e.firstByte = p.first;
    e.lastByte = p.last;
    if (rest == "C" && ats >= 2) {
      e.kind = SignEntry::Kind::HardwareClear;
      Push(std::move(e));
    } else if (rest.size() >= 2) {
      std::string crc = rest.substr(rest.size() - 2);
      rest.resize(rest.size() - 2);
      FinishRecord(id, c, std::move(burst), static_cast<int>(ats), std::move(rest), std::move(crc), true, p.first,
                   p.last, decided);
    } else {
      e.kind = SignEntry::Kind::Noise;
      Push(std::move(e));
    }
    return;
  }
  if (p.state == Parser::State::Outside) {
    p.noise += p.ats;
    p.ats.clear();
    FlushNoise(id, c);
    return;
  }
  // A record the link left open: its last two bytes stand for the CRC.
  std::string all = p.text + p.crc;
  std::string crc;
  if (all.size() >= 2) {
    crc = all.substr(all.size() - 2);
    all.resize(all.size() - 2);
  }
  std::string raw = std::move(p.raw);
  int ats = p.wakeAts;
  p.raw.clear();
  p.text.clear();
  p.crc.clear();
  p.wakeAts = 0;
  p.state = Parser::State::Outside;
  FinishRecord(id, c, std::move(raw), ats, std::move(all), std::move(crc), true, p.first, p.last, decided);
}

void SignCore::FinishRecord(int id, Conn& c, std::string raw, int wakeAts, std::string text, std::string crc,
                            bool bySilence, SteadyClock::time_point first, SteadyClock::time_point last,
                            SteadyClock::time_point decided) {
  SignEntry e;
  e.kind = SignEntry::Kind::Record;
  e.connection = id;
  e.source = c.source;
  e.raw = std::move(raw);
  e.text = std::move(text);
  e.wakeAts = wakeAts;
  e.crcComputed = CommandCrc(e.text);
  if (crc.size() == 2) {
    e.crcReceived = static_cast<std::uint16_t>((static_cast<unsigned char>(crc[0]) << 8) |
                                               static_cast<unsigned char>(crc[1]));
    e.crcOk = e.crcReceived == e.crcComputed;
  }
  e.framedBySilence = bySilence;
  e.firstByte = first;
  e.lastByte = last;

  Answer a;
  if (!script_.empty()) {
    a = std::move(script_.front());
    script_.pop_front();
  }
  if (a.kind == Answer::Kind::Auto) a.pieces = {e.crcOk ? "0" : "1"};
  if (a.kind == Answer::Kind::Silent) a.pieces.clear();
  e.answer = a.JoinedText();

  auto due = decided + a.delay;
  for (std::size_t i = 0; i < a.pieces.size(); ++i) {
    if (i > 0) due += a.gap;
    Schedule(due, {id, a.pieces[i], false});
  }
  ++c.records;
  if (c.dropAfter > 0 && c.records >= c.dropAfter) {
    c.dropping = true;
    Schedule(due, {id, {}, true});
  }
  Push(std::move(e));
}

void SignCore::Schedule(SteadyClock::time_point due, Output out) {
  Pending p{due, order_++, std::move(out)};
  auto at = std::upper_bound(pending_.begin(), pending_.end(), p, [](const Pending& a, const Pending& b) {
    return a.due < b.due || (a.due == b.due && a.order < b.order);
  });
  pending_.insert(at, std::move(p));
}

void SignCore::Push(SignEntry e) {
  e.index = log_.size();
  e.wallTime = std::chrono::system_clock::now();
  WriteLogLine(e);
  log_.push_back(std::move(e));
  changed_.notify_all();
}

void SignCore::WriteLogLine(const SignEntry& e) {
  if (!logFile_) return;
  auto wall = std::chrono::system_clock::to_time_t(e.wallTime);
  auto ms = std::chrono::duration_cast<milliseconds>(e.wallTime.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&wall, &tm);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
  switch (e.kind) {
    case SignEntry::Kind::Record:
      std::fprintf(logFile_, "%s.%03dZ %s record #%zu ats=%d text=\"%s\" crc=%04X/%04X %s%s answer=\"%s\"\n", stamp,
                   static_cast<int>(ms), e.source.c_str(), e.index, e.wakeAts, Printable(e.text).c_str(),
                   e.crcReceived, e.crcComputed, e.crcOk ? "ok" : "BAD", e.framedBySilence ? " (cut by silence)" : "",
                   Printable(e.answer).c_str());
      break;
    case SignEntry::Kind::HardwareClear:
      std::fprintf(logFile_, "%s.%03dZ %s hardware-clear #%zu raw=\"%s\"\n", stamp, static_cast<int>(ms),
                   e.source.c_str(), e.index, Printable(e.raw).c_str());
      break;
    case SignEntry::Kind::Noise:
      std::fprintf(logFile_, "%s.%03dZ %s noise #%zu raw=\"%s\"\n", stamp, static_cast<int>(ms), e.source.c_str(),
                   e.index, Printable(e.raw).c_str());
      break;
  }
  std::fflush(logFile_);
}

void SignCore::Tick(SteadyClock::time_point now) {
  std::lock_guard lock(mutex_);
  for (auto& [id, c] : conns_)
    if (!c.parser.Empty() && now - c.parser.last >= options_.silence) FlushSilence(id, c);
}

std::optional<SteadyClock::time_point> SignCore::NextDeadline() const {
  std::lock_guard lock(mutex_);
  std::optional<SteadyClock::time_point> next;
  if (!pending_.empty()) next = pending_.front().due;
  for (const auto& [id, c] : conns_) {
    if (c.parser.Empty()) continue;
    auto t = c.parser.last + options_.silence;
    if (!next || t < *next) next = t;
  }
  return next;
}

std::vector<SignCore::Output> SignCore::TakeDue(SteadyClock::time_point now) {
  std::lock_guard lock(mutex_);
  std::vector<Output> out;
  std::size_t n = 0;
  while (n < pending_.size() && pending_[n].due <= now) {
    out.push_back(std::move(pending_[n].out));
    ++n;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
  return out;
}

void SignCore::SetScript(std::vector<Answer> script) {
  std::lock_guard lock(mutex_);
  script_.assign(std::make_move_iterator(script.begin()), std::make_move_iterator(script.end()));
}

std::size_t SignCore::ScriptLeft() const {
  std::lock_guard lock(mutex_);
  return script_.size();
}

std::vector<SignEntry> SignCore::Log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<SignEntry> SignCore::Records() const {
  std::lock_guard lock(mutex_);
  std::vector<SignEntry> out;
  for (const auto& e : log_)
    if (e.kind == SignEntry::Kind::Record) out.push_back(e);
  return out;
}

void SignCore::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

bool SignCore::WaitForRecords(std::size_t n, milliseconds timeout) const {
  return WaitFor(
      [n](const std::vector<SignEntry>& log) {
        return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const SignEntry& e) {
                 return e.kind == SignEntry::Kind::Record;
               })) >= n;
      },
      timeout);
}

bool SignCore::WaitFor(const std::function<bool(const std::vector<SignEntry>&)>& ready, milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return ready(log_); });
}

}  // namespace signsim
