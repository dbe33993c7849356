#pragma once
// The simulated sign without its I/O: frames what a link carries into
// records, checks each record's CRC, decides the answer (from a script or
// automatically) and keeps a time-stamped log. The owner of the I/O feeds it
// bytes and asks it for the bytes that are due; the log and the script may be
// used from any thread.
//
// Framing: outside a record a run of '@' is the wake-up preamble, '{' opens a
// record and "@@C" is the raw hardware clear (logged, never answered). Inside
// a record '/' takes the next byte as it is (escaped text and logo data),
// '}' closes it and the two bytes after it are the CRC, high byte first. The
// CRC covers the bytes between the braces. A record still open when the link
// falls silent is closed there, its last two bytes taken as its CRC.
// With Framing::Silence the braces are not looked at: every burst of bytes
// between silences is one record ending in its CRC.
//
// Answers: the sign answers every record it frames, whether or not the last
// wake-up asked for answers with ",S". The programs only wait for an answer
// when CRC checking is on and the sign ID is not "00"; otherwise they do not
// read the answers, which pile up in their receive buffers. A sign that kept
// quiet would hide that from the tests.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace signsim {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// CRC-16 with polynomial 0x1021, initial 0, high bit first, no final XOR,
// computed bit by bit (the sign's own routine, not the programs' table).
std::uint16_t Crc16(std::string_view bytes);
// The CRC of a command text: over the text without its first and last byte;
// 0 for a text shorter than 3 bytes.
std::uint16_t CommandCrc(std::string_view text);

enum class Framing { Braces, Silence };

// One scripted answer.
struct Answer {
  enum class Kind { Auto, Text, Silent };
  Kind kind = Kind::Auto;
  std::vector<std::string> pieces;  // Text: sent piece by piece
  milliseconds delay{0};            // from the end of the record to the first piece
  milliseconds gap{20};             // between pieces

  static Answer Auto() { return {}; }
  static Answer Silent() { return {Kind::Silent, {}, milliseconds{0}, milliseconds{20}}; }
  static Answer Text(std::string text, milliseconds delay = milliseconds{0}) {
    return {Kind::Text, {std::move(text)}, delay, milliseconds{20}};
  }
  std::string JoinedText() const;
  bool operator==(const Answer&) const = default;
};

// Parses a script: items separated by ','; each item is
//   auto | - | PIECE('|'PIECE)*   then optionally @DELAY_MS ~GAP_MS *COUNT
// "-" is silence, "auto" the automatic answer; a piece is text with the
// escapes \r \n \t \\ \, \| \@ \~ \* \- \xHH. Example: "0,1*2,-,0@300,0|K~50".
// Throws std::invalid_argument on a malformed script.
std::vector<Answer> ParseScript(std::string_view script);

struct SignEntry {
  enum class Kind { Record, HardwareClear, Noise };
  Kind kind = Kind::Record;
  std::size_t index = 0;          // position in the log, from 0
  int connection = 0;             // the link's connection number
  std::string source;             // "pty", "tcp#1", "modem"
  std::string raw;                // every byte of it as received (preamble and CRC too)
  std::string text;               // the command text, brace to brace
  int wakeAts = 0;                // '@' bytes in front of the command
  std::uint16_t crcReceived = 0;
  std::uint16_t crcComputed = 0;
  bool crcOk = false;
  bool framedBySilence = false;   // closed by the link going quiet, not by its brace
  std::string answer;             // what the sign answered (empty: nothing)
  SteadyClock::time_point firstByte;
  SteadyClock::time_point lastByte;
  std::chrono::system_clock::time_point wallTime;
};

struct SignOptions {
  Framing framing = Framing::Braces;
  milliseconds silence{100};  // the sender pauses 150 ms before every record
  std::string logFile;        // empty: log in memory only
};

class SignCore {
 public:
  struct Output {
    int connection = 0;
    std::string bytes;
    bool close = false;  // drop the connection after these bytes
  };

  explicit SignCore(SignOptions options = {});
  ~SignCore();
  SignCore(const SignCore&) = delete;
  SignCore& operator=(const SignCore&) = delete;

  // --- for the I/O owner ---
  // A connection; with dropAfter > 0 it is closed after that many records.
  void Open(int connection, std::string source, int dropAfter = 0);
  void Close(int connection, std::string_view why = {});
  void Feed(int connection, std::string_view bytes, SteadyClock::time_point now);
  // Closes records and preambles the silence has ended; call when the deadline passes.
  void Tick(SteadyClock::time_point now);
  std::optional<SteadyClock::time_point> NextDeadline() const;
  std::vector<Output> TakeDue(SteadyClock::time_point now);
  // A line in the log file only (connections, drops).
  void Note(std::string_view text);

  // --- for tests and the command line, any thread ---
  void SetScript(std::vector<Answer> script);
  void SetScript(std::string_view script) { SetScript(ParseScript(script)); }
  std::size_t ScriptLeft() const;
  std::vector<SignEntry> Log() const;      // every entry
  std::vector<SignEntry> Records() const;  // command records only
  void ClearLog();
  // Waits (without spinning) until at least n command records are logged.
  bool WaitForRecords(std::size_t n, milliseconds timeout) const;
  bool WaitFor(const std::function<bool(const std::vector<SignEntry>&)>& ready, milliseconds timeout) const;

 private:
  struct Parser {
    enum class State { Outside, Inside, Escape, Crc };
    State state = State::Outside;
    std::string noise;  // bytes outside a record that are no preamble
    std::string ats;    // the '@' run now being read
    std::string raw;    // the record's bytes from its preamble on
    std::string text;
    std::string crc;
    std::string burst;  // Framing::Silence: everything since the last silence
    int wakeAts = 0;
    SteadyClock::time_point first{};
    SteadyClock::time_point last{};
    bool Empty() const { return noise.empty() && ats.empty() && raw.empty() && burst.empty(); }
  };
  struct Pending {
    SteadyClock::time_point due;
    std::uint64_t order;
    Output out;
  };
  struct Conn {
    std::string source;
    int dropAfter = 0;
    int records = 0;
    bool dropping = false;
    Parser parser;
  };

  void FeedByte(int id, Conn& c, char b, SteadyClock::time_point now);
  void FlushSilence(int id, Conn& c);
  void FlushNoise(int id, Conn& c);
  void FinishRecord(int id, Conn& c, std::string raw, int wakeAts, std::string text, std::string crc, bool bySilence,
                    SteadyClock::time_point first, SteadyClock::time_point last, SteadyClock::time_point decided);
  void Push(SignEntry e);
  void Schedule(SteadyClock::time_point due, Output out);
  void WriteLogLine(const SignEntry& e);

  SignOptions options_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<int, Conn> conns_;
  std::deque<Answer> script_;
  std::vector<SignEntry> log_;
  std::vector<Pending> pending_;
  std::uint64_t order_ = 0;
  std::FILE* logFile_ = nullptr;
};

// Shows bytes readably: printable ASCII as it is, the rest as \xHH.
std::string Printable(std::string_view bytes);

}  // namespace signsim
