#pragma once
// One send: a worker thread reads a command file record by record and puts
// each record on the link, waiting for the sign's answer when CRC checking is
// on and the sign ID is not "00" (at most 3 attempts, only '0' accepts). The
// progress steps, warnings and the failure beep run on the GUI thread by
// synchronous call; a stop request ends the send at its next pause or wait.
// Shared by the controller and the editor (the texts differ, see SendOptions).
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <QObject>

#include "sender/Link.h"
#include "sender/ReplyBuffer.h"
#include "sender/StopFlag.h"

namespace sender {

struct SendOptions {
  bool crcCheck = false;
  int crcWaitMs = 1000;
  std::string signId = "00";
  // "%s" is replaced by the path.
  std::string missingFileText = "File open error(%s does not exist) !!";
  std::string emptyFileText = "Message file is empty !!";
  // A file whose records do not add up; "%s" is replaced by the path.
  std::string invalidFileText = "%s is not a valid message file!";
  // Shown on the GUI thread after the beep of a failed record, with the
  // reason of the last refused attempt; the controller shows nothing.
  std::function<void(const std::string& failureText)> failureBox;
  // The reason carried over from an earlier send (the editor keeps one).
  std::string failureText;
  // The controller hands an empty step to the GUI thread after each accepted
  // record; the editor once, after the last.
  bool idleAfterEachRecord = true;
};

// The pause before every attempt.
constexpr int kRecordPauseMs = 150;
constexpr int kMaxAttempts = 3;

// The wait for an answer in whole ticks of 1/18 s, rounded up (1000 ms -> 18).
int EchoWaitTicks(int crcWaitMs);
// The reason the editor names for an answer ("CRC error" ...); empty for '0',
// "unknown answer" for a code the sign does not define.
std::string AnswerText(const std::string& reply);
// "[%.4d/%.4d]".
std::string ProgressText(int done, int total);

// The sending window's side of a send; called on the GUI thread.
class SendView {
 public:
  virtual ~SendView() = default;
  virtual void ShowProgressBar(int percent) = 0;
  virtual void ShowProgressText(const std::string& text) = 0;
};

class TSendThrd {
 public:
  // `gui` is the object on whose thread the progress steps, boxes and
  // `threadDone` run (null: on the sender thread itself); `view` may be null.
  // The link, buffer, gui object and view must outlive the thread object.
  TSendThrd(std::string path, SendOptions options, Link& link, ReplyBuffer& reply, QObject* gui, SendView* view);
  // Stops the send and waits for its thread.
  ~TSendThrd();
  TSendThrd(const TSendThrd&) = delete;
  TSendThrd& operator=(const TSendThrd&) = delete;

  // Starts the thread; `threadDone` is queued to the GUI thread once the
  // body has ended (the end handler is in place before the thread can end).
  void Start(std::function<void()> threadDone = {});
  // Asks the thread to stop at its next pause or wait.
  void Terminate();
  // Waits until the thread has ended.
  void WaitFor();
  bool Finished() const { return finished_.load(); }

  // The outcome, valid once Finished(): true only when every record was
  // accepted; false for a failure, an error or a stop.
  bool Result() const;
  bool WasStopped() const { return stop_.Requested(); }
  std::string FailureText() const;

 private:
  void Execute();
  bool SendFile(const std::string& path);
  bool SendRecord(const std::string& record);
  bool Transmit();
  void WaitEcho();
  // A synchronous step on the GUI thread; false when the stop withdrew it.
  bool Sync(std::function<void()> fn);
  void SyncSendFailure();

  const std::string path_;
  const SendOptions options_;
  Link& link_;
  ReplyBuffer& replyBuffer_;
  QObject* gui_;
  SendView* view_;
  StopFlag stop_;

  // Owned by the sender thread while it runs.
  int total_ = 0;
  int done_ = 0;
  std::string statusText_;
  std::string currentRecord_;
  std::string reply_;

  mutable std::mutex resultMutex_;
  bool result_ = false;
  std::string failureText_;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace sender
