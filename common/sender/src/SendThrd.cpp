#include "sender/SendThrd.h"

#include <cerrno>

#include <chrono>
#include <cstdio>
#include <exception>
#include <vector>

#include <QMetaObject>

#include "common/CommandRecord.h"
#include "common/Util.h"
#include "platform/BinaryFile.h"
#include "platform/InOutError.h"
#include "sender/GuiCall.h"

namespace sender {

int EchoWaitTicks(int crcWaitMs) {
  if (crcWaitMs <= 0) return 0;
  return static_cast<int>((static_cast<long long>(crcWaitMs) * 18 + 999) / 1000);
}

std::string AnswerText(const std::string& reply) {
  if (reply.empty()) return "no respond";
  switch (reply[0]) {
    case '1': return "CRC error";
    case '2': return "unknown command";
    case '3': return "illegal value in parameter";
    case '4': return "command format error";
    case '5': return "insufficient memory";
    case '0': return {};
    // Named too, so a failure box never shows an empty or an earlier reason.
    default: return "unknown answer";
  }
}

std::string ProgressText(int done, int total) {
  char text[40];
  std::snprintf(text, sizeof text, "[%.4d/%.4d]", done, total);
  return text;
}

TSendThrd::TSendThrd(std::string path, SendOptions options, Link& link, ReplyBuffer& reply, QObject* gui,
                     SendView* view)
    : path_(std::move(path)),
      options_(std::move(options)),
      link_(link),
      replyBuffer_(reply),
      gui_(gui),
      view_(view),
      failureText_(options_.failureText) {}

TSendThrd::~TSendThrd() {
  Terminate();
  WaitFor();
}

void TSendThrd::Start(std::function<void()> threadDone) {
  thread_ = std::thread([this, threadDone = std::move(threadDone)] {
    Execute();
    finished_.store(true);
    if (!threadDone) return;
    if (gui_ == nullptr) {
      threadDone();
    } else {
      PostToThread(gui_, threadDone);
    }
  });
}

void TSendThrd::Terminate() {
  stop_.Request();
}

void TSendThrd::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

bool TSendThrd::Result() const {
  std::lock_guard lock(resultMutex_);
  return result_;
}

std::string TSendThrd::FailureText() const {
  std::lock_guard lock(resultMutex_);
  return failureText_;
}

void TSendThrd::Execute() {
  bool ok = false;
  replyBuffer_.SetReceiving(true);
  try {
    ok = SendFile(path_);
  } catch (...) {
    // A read error, a link or GUI-step failure: the send ends as failed.
    ok = false;
    try {
      SyncSendFailure();
    } catch (...) {
    }
  }
  if (stop_.Requested()) ok = false;
  replyBuffer_.SetReceiving(false);
  std::lock_guard lock(resultMutex_);
  result_ = ok;
}

bool TSendThrd::Sync(std::function<void()> fn) {
  return CallOnThread(gui_, std::move(fn), stop_);
}

void TSendThrd::SyncSendFailure() {
  std::string reason = FailureText();
  Sync([this, reason] {
    util::Beep();
    if (options_.failureBox) options_.failureBox(reason);
  });
}

namespace {
// A warning's text with its "%s" replaced by the file's path.
std::string WithPath(std::string text, const std::string& path) {
  if (auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, path);
  return text;
}
}  // namespace

bool TSendThrd::SendFile(const std::string& path) {
  // A FIFO or a device is refused at the open, never waited on or read.
  std::vector<std::uint8_t> bytes;
  try {
    bytes = platform::ReadWholeFile(path, cmdfile::kMaxCommandFileBytes);
  } catch (const platform::InOutError& e) {
    if (e.error() == ENOENT || e.error() == ENOTDIR) {
      Sync([text = WithPath(options_.missingFileText, path)] { util::ShowWarning(text); });
    } else {
      Sync([text = WithPath(options_.invalidFileText, path) + "\n" + e.what()] { util::ShowWarning(text); });
    }
    return false;
  }
  if (bytes.empty()) {
    Sync([this] { util::ShowWarning(options_.emptyFileText); });
    return false;
  }
  total_ = static_cast<int>(bytes.size());
  // The whole file is checked before anything goes out: a record cut off by
  // the end of the file or with a length word below 2 fails the send, and no
  // part of a damaged message reaches the sign.
  std::vector<cmdfile::CommandRecord> records;
  try {
    records = cmdfile::ReadCommandRecords(bytes);
  } catch (const cmdfile::BadCommandFile& e) {
    Sync([text = WithPath(options_.invalidFileText, path) + "\n" + e.what()] { util::ShowWarning(text); });
    SyncSendFailure();
    return false;
  }
  done_ = 0;
  for (const cmdfile::CommandRecord& record : records) {
    std::string payload = record.Payload();
    done_ += 2 + static_cast<int>(payload.size());
    int percent = static_cast<int>(static_cast<long long>(done_) * 100 / total_);
    statusText_ = ProgressText(done_, total_);
    if (!Sync([this, percent] { if (view_) view_->ShowProgressBar(percent); })) return false;
    if (!Sync([this, text = statusText_] { if (view_) view_->ShowProgressText(text); })) return false;
    if (!SendRecord(payload)) {
      if (!stop_.Requested()) SyncSendFailure();
      return false;
    }
    if (options_.idleAfterEachRecord && !Sync([] {})) return false;  // SyncIdle
  }
  // Without answers to wait for, the last records may still sit in the
  // link: the send succeeds only once they have left it.
  if (!link_.Drain(stop_)) {
    if (!stop_.Requested()) {
      {
        std::lock_guard lock(resultMutex_);
        failureText_ = "no respond";
      }
      SyncSendFailure();
    }
    return false;
  }
  if (!options_.idleAfterEachRecord && !Sync([] {})) return false;
  return true;
}

bool TSendThrd::SendRecord(const std::string& record) {
  const bool awaitAnswer = options_.crcCheck && options_.signId != "00";
  for (int attempts = 0; attempts < kMaxAttempts; ++attempts) {
    if (!stop_.SleepFor(std::chrono::milliseconds(kRecordPauseMs))) return false;
    currentRecord_ = record;
    // A link that cannot take the record fails it at once: there is nobody to retry with.
    if (!Transmit()) {
      std::lock_guard lock(resultMutex_);
      failureText_ = "no respond";
      return false;
    }
    if (!awaitAnswer) return true;
    WaitEcho();
    if (stop_.Requested()) return false;
    if (!reply_.empty() && reply_[0] == '0') return true;
    std::string reason = AnswerText(reply_);
    if (!reason.empty()) {
      std::lock_guard lock(resultMutex_);
      failureText_ = reason;
    }
  }
  return false;
}

bool TSendThrd::Transmit() {
  replyBuffer_.Clear();
  return link_.Write(currentRecord_, stop_);
}

void TSendThrd::WaitEcho() {
  const int limit = EchoWaitTicks(options_.crcWaitMs);
  // The loop of the tick timer ends once elapsed whole ticks reach the limit,
  // that is after limit * 1000 / 18 ms, rounded up.
  const auto wait = std::chrono::milliseconds((static_cast<long long>(limit) * 1000 + 17) / 18);
  reply_ = replyBuffer_.WaitForText(std::chrono::steady_clock::now() + wait, stop_);
}

}  // namespace sender
