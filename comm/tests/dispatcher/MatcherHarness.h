#pragma once
// The dispatcher's data-trigger matching against a plain matcher: a port on a
// pseudo-terminal with a procedure handler that records the data triggers it
// is told about and reads every byte offered, and the reference that says
// which triggers a stream completes.
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "DispatchTestSupport.h"
#include "comm/PortDispatch.h"

namespace matcher_test {

struct TriggerText {
  std::string text;
  bool ignoreCase = false;
};

// Which triggers (as indexes into `triggers`, 0-based) complete, byte by
// byte, in table order on a byte. A trigger completes on a byte when the
// bytes ending there spell it and none of them belongs to its previous match.
inline std::vector<int> ReferenceMatches(const std::vector<TriggerText>& triggers,
                                         const std::string& stream) {
  std::vector<int> fired;
  std::vector<long> lastEnd(triggers.size(), -1);
  auto same = [](char a, char b, bool ignoreCase) {
    if (!ignoreCase) return a == b;
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
  };
  for (long end = 0; end < static_cast<long>(stream.size()); ++end) {
    for (std::size_t t = 0; t < triggers.size(); ++t) {
      const std::string& text = triggers[t].text;
      const long length = static_cast<long>(text.size());
      const long start = end + 1 - length;
      if (length == 0 || start < 0 || start <= lastEnd[t]) continue;
      bool match = true;
      for (long k = 0; k < length && match; ++k)
        match = same(stream[static_cast<std::size_t>(start + k)], text[static_cast<std::size_t>(k)],
                     triggers[t].ignoreCase);
      if (!match) continue;
      lastEnd[t] = end;
      fired.push_back(static_cast<int>(t));
    }
  }
  return fired;
}

// A byte no test stream carries: the stream's end is its own trigger, so the
// run knows when the dispatcher has scanned everything.
inline constexpr char kEndByte = '\x7f';

// One open port, fed stream after stream.
class MatcherPort {
 public:
  MatcherPort() {
    comm_test::App();
    opened_ = dispatch_test::OpenPty(pty_, port_) == 0;
  }
  ~MatcherPort() {
    if (!opened_) return;
    comm::DeregisterTriggerHandler(port_, nullptr, &Proc);
    comm::ClosePortRecord(port_);
    Current() = nullptr;
  }
  MatcherPort(const MatcherPort&) = delete;
  MatcherPort& operator=(const MatcherPort&) = delete;

  bool Opened() const { return opened_; }

  struct Outcome {
    bool finished = false;
    std::vector<int> fired;  // indexes into the trigger list, in order
    std::string read;        // what the avail deliveries offered, in order
  };

  // Sends `stream` (without kEndByte) in pieces of `chunk` bytes and returns
  // what the dispatcher delivered for the triggers at `triggerLength`.
  Outcome Run(const std::vector<TriggerText>& triggers, const std::string& stream,
              std::uint16_t triggerLength, std::size_t chunk) {
    Outcome outcome;
    if (!opened_ || triggers.size() + 1 > comm::kDataTriggers) return outcome;
    {
      std::lock_guard lock(mutex_);
      handles_.clear();
      fired_.clear();
      read_.clear();
      readAtEnd_.clear();
      ended_ = false;
    }
    Current() = this;
    if (!registered_) {
      registered_ = comm::RegisterTriggerWindow(port_, nullptr, &Proc, true) == 0;
      if (!registered_) return outcome;
    }
    comm::SetTriggerLength(port_, triggerLength);
    std::vector<std::int32_t> handles;
    for (const auto& t : triggers)
      handles.push_back(comm::AddDataTrigger(port_, t.text.data(),
                                             static_cast<std::uint16_t>(t.text.size()), t.ignoreCase));
    const std::int32_t end = comm::AddDataTrigger(port_, &kEndByte, 1, false);
    {
      std::lock_guard lock(mutex_);
      handles_ = handles;
      endHandle_ = end;
    }
    const std::string all = stream + kEndByte;
    for (std::size_t at = 0; at < all.size(); at += chunk) {
      if (!pty_.Write(all.substr(at, chunk))) return outcome;
      if (chunk < all.size()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    {
      std::unique_lock lock(mutex_);
      outcome.finished = changed_.wait_for(lock, std::chrono::seconds(10), [&] { return ended_; });
      outcome.fired = fired_;
      outcome.read = readAtEnd_;
      // The end byte itself is offered after its match: wait for it, so no
      // delivery of this run reaches the next.
      if (triggerLength != 0)
        outcome.finished = outcome.finished && changed_.wait_for(lock, std::chrono::seconds(10), [&] {
          return read_.size() >= all.size();
        });
    }
    // With trigger length 0 nothing was read: clear the ring for the next run.
    std::uint8_t buffer[512];
    if (triggerLength == 0)
      while (comm::ReadBlock(port_, buffer, sizeof buffer) > 0) {
      }
    for (std::int32_t h : handles)
      if (h > 0) comm::ReleaseTrigger(port_, static_cast<std::uint16_t>(h));
    if (end > 0) comm::ReleaseTrigger(port_, static_cast<std::uint16_t>(end));
    return outcome;
  }

 private:
  static MatcherPort*& Current() {
    static MatcherPort* current = nullptr;
    return current;
  }

  // The procedure handler, on the dispatch thread.
  static std::int32_t Proc(std::intptr_t, std::uint32_t message, std::uint32_t wParam,
                           std::uint32_t lParam) {
    MatcherPort* self = Current();
    if (self == nullptr) return 0;
    const auto msg = static_cast<std::uint16_t>(message & 0xFFFF);
    const auto port = static_cast<std::uint16_t>(lParam >> 16);
    if (msg == comm::MsgTriggerAvail) {
      std::string bytes(wParam, '\0');
      const std::int32_t n = comm::ReadBlock(port, reinterpret_cast<std::uint8_t*>(bytes.data()),
                                             static_cast<std::uint16_t>(wParam));
      bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      std::lock_guard lock(self->mutex_);
      self->read_ += bytes;
      self->changed_.notify_all();
    } else if (msg == comm::MsgTriggerData) {
      std::lock_guard lock(self->mutex_);
      if (static_cast<std::int32_t>(wParam) == self->endHandle_) {
        self->ended_ = true;
        self->readAtEnd_ = self->read_;
        self->changed_.notify_all();
        return 0;
      }
      int index = -1;
      for (std::size_t i = 0; i < self->handles_.size(); ++i)
        if (self->handles_[i] == static_cast<std::int32_t>(wParam)) index = static_cast<int>(i);
      self->fired_.push_back(index);
    }
    return 0;
  }

  dispatch_test::Pty pty_;
  std::uint16_t port_ = 0;
  bool opened_ = false;
  bool registered_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::int32_t> handles_;
  std::int32_t endHandle_ = 0;
  std::vector<int> fired_;
  std::string read_;
  std::string readAtEnd_;  // what was read when the end byte matched
  bool ended_ = false;
};

}  // namespace matcher_test
