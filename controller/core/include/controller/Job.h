#pragma once
// The job runner: an operator's command checks and prepares the link and
// records a pending job; the job timer (1000 ms) starts it once the link is
// ready; the runner writes the command files, sends them and the operator's
// message files one after the other through the sending window, reports the
// outcome in one box and closes the link.
//
// The main window only wires its widgets to it: it hands over what a job
// needs as plain values (JobRequest) when the job is asked for, appends the
// serial port's received bytes to Reply(), and supplies the serial link.
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include "common/ControllerCommandFiles.h"
#include "controller/Settings.h"
#include "sender/Link.h"
#include "sender/ReplyBuffer.h"
#include "sender/TcpLink.h"

namespace controller {

class TfrmSending;

enum JobKind : int {
  kJobNone = 0,
  kJobReset = 1,
  kJobClearAll = 2,
  kJobRunAll = 3,
  kJobSequence = 4,
  kJobSchedule = 5,
  kJobInterrupt = 6,
  kJobOldMode = 7,
  kJobAutoDimming = 11,
  kJobDayDimming = 12,
  kJobNightDimming = 13,
};

// What the main window holds when a job is asked for.
struct JobRequest {
  int signIndex = -1;       // index in the sign list; -1 when it is empty
  std::string signId = "00";  // the ID list's choice
  std::vector<std::string> sequence;             // the sequence list, full paths in order
  std::vector<cmdfile::ScheduleRow> schedule;    // the schedule grid's rows 1 to the last
  std::string interruptFile;   // the selected file-list entry as a full path
  std::string interruptEntry;  // that entry as listed (named in INT.MSG)
  int playingTimes = 0;        // 0..9 from the interrupt dialog
};

constexpr quint16 kSignTcpPort = 3001;

class JobRunner : public QObject {
  Q_OBJECT
 public:
  // None of the arguments is owned; all outlive the runner. `settings` and
  // `table` are read when a job is asked for and when it runs.
  JobRunner(const TSettings& settings, const SignTable& table, std::string systemDir, TfrmSending& sending,
            QObject* parent = nullptr);
  ~JobRunner() override;

  // A request handler's work: PrepareLink, then the job recorded. False when
  // refused (a warning has been shown); the job is then not recorded.
  bool RequestJob(int jobType, const JobRequest& request);
  void CloseLink();
  void RunJob();
  void tmrJOBTimer();

  int JobType() const { return jobType_; }
  bool LinkReady() const { return linkReady_; }
  bool Running() const { return running_; }
  // The outcome of the last send.
  bool SendResult() const { return sendResult_; }
  // The text the sign sent since the last transmission; the serial port's
  // receive handler appends to it.
  sender::ReplyBuffer& Reply() { return reply_; }
  // The serial link (the adapter over the serial port component); null until
  // one exists, and sends over RS-232 then fail.
  void SetSerialLink(sender::Link* link) { serialLink_ = link; }
  QTcpSocket& CS() { return cs_; }
  QTimer& tmrJOB() { return tmrJob_; }

  // For tests only: the sign's TCP port, how long a connect may take, and the
  // clock stamped into the wake-up.
  void SetTcpPortForTests(quint16 port) { tcpPort_ = port; }
  void SetConnectTimeoutMs(int ms) { connectTimer_.setInterval(ms); }
  void SetClockForTests(const platform::Clock* clock) { clock_ = clock; }

 signals:
  // After the report of a job (or its abandonment by an error).
  void jobFinished(bool success, const QString& report);

 private:
  bool PrepareLink(const JobRequest& request);
  bool Send(const std::string& path);
  bool RunSteps(int jobType, const cmdfile::ControllerContext& context);
  void CSConnect();
  void CSDisconnect();
  void CSError(QAbstractSocket::SocketError error);
  void ConnectTimedOut();
  void ConnectFailed(const std::string& text);

  const TSettings& settings_;
  const SignTable& table_;
  const std::string systemDir_;
  TfrmSending& sending_;
  const platform::Clock* clock_ = &platform::DefaultClock();

  int jobType_ = kJobNone;
  bool linkReady_ = false;
  bool connecting_ = false;  // a connect of ours is under way
  bool running_ = false;
  bool sendResult_ = false;
  JobRequest request_;  // taken when the job was asked for
  int signNumber_ = 0;

  sender::ReplyBuffer reply_{false};  // nothing is kept while no job sends
  QTcpSocket cs_;
  sender::TcpLink tcpLink_;
  sender::Link* serialLink_ = nullptr;
  quint16 tcpPort_ = kSignTcpPort;
  QTimer tmrJob_;
  QTimer connectTimer_;
  QTimer closeTimer_;
};

}  // namespace controller
