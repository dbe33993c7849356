#include "controller/Job.h"

#include <exception>

#include <QNetworkProxy>

#include "common/Util.h"
#include "controller/Sending.h"
#include "platform/QtText.h"

namespace controller {
namespace {

// The link when RS-232 is chosen but no serial port exists: every write fails.
class NoLink : public sender::Link {
 public:
  bool Write(std::string_view, sender::StopFlag&) override { return false; }
};

}  // namespace

JobRunner::JobRunner(const TSettings& settings, const SignTable& table, std::string systemDir,
                     TfrmSending& sending, QObject* parent)
    : QObject(parent),
      settings_(settings),
      table_(table),
      systemDir_(std::move(systemDir)),
      sending_(sending),
      tcpLink_(cs_, reply_) {
  // The sign is reached directly, never through a proxy of the desktop.
  cs_.setProxy(QNetworkProxy::NoProxy);
  connect(&cs_, &QTcpSocket::connected, this, &JobRunner::CSConnect);
  connect(&cs_, &QTcpSocket::disconnected, this, &JobRunner::CSDisconnect);
  connect(&cs_, &QTcpSocket::errorOccurred, this, &JobRunner::CSError);
  connectTimer_.setSingleShot(true);
  connectTimer_.setInterval(10000);
  connect(&connectTimer_, &QTimer::timeout, this, &JobRunner::ConnectTimedOut);
  // A close the peer does not take part in is cut short.
  closeTimer_.setSingleShot(true);
  closeTimer_.setInterval(2000);
  connect(&closeTimer_, &QTimer::timeout, this, [this] {
    if (cs_.state() != QAbstractSocket::UnconnectedState) cs_.abort();
  });
  tmrJob_.setInterval(1000);
  connect(&tmrJob_, &QTimer::timeout, this, &JobRunner::tmrJOBTimer);
  tmrJob_.start();
}

JobRunner::~JobRunner() {
  tmrJob_.stop();
  cs_.disconnect(this);
  cs_.abort();
}

bool JobRunner::RequestJob(int jobType, const JobRequest& request) {
  if (running_) {
    util::ShowWarning("System is busy. Please try again later!");
    return false;
  }
  // The runner is never asked to write an empty run.
  if ((jobType == kJobSequence && request.sequence.empty()) ||
      (jobType == kJobSchedule && request.schedule.empty())) {
    return false;
  }
  // The job is in place before a connection can stand, so its connect
  // event always finds it.
  const int previousJob = jobType_;
  const JobRequest previousRequest = request_;
  jobType_ = jobType;
  request_ = request;
  if (!PrepareLink(request)) {
    jobType_ = previousJob;
    request_ = previousRequest;
    return false;
  }
  return true;
}

bool JobRunner::PrepareLink(const JobRequest& request) {
  if (!settings_.IsTcp()) {
    // A port left dead by a hung-up line is opened again for this job.
    if (serialLink_ != nullptr) serialLink_->Prepare();
    linkReady_ = true;
    return true;
  }
  if (cs_.state() != QAbstractSocket::UnconnectedState) {
    util::ShowWarning("System is busy. Please try again later!");
    return false;
  }
  const std::vector<std::string> names = SignNames(table_);
  if (names.empty() || request.signIndex < 0 || request.signIndex >= static_cast<int>(names.size())) {
    util::ShowWarning("Sign table is empty. Please fill in first!");
    return false;
  }
  const TSignRecord* sign = SignEntry(table_, request.signIndex + 1);
  const std::string ip = sign ? util::TrimBlanks(sign->ip) : std::string();
  if (ip.empty()) {
    util::ShowWarning("IP address is not set!");
    return false;
  }
  try {
    linkReady_ = false;
    reply_.Clear();
    connecting_ = true;
    connectTimer_.start();
    cs_.connectToHost(platform::ToQt(ip), tcpPort_);
  } catch (...) {
    util::ShowWarning("Client Socket initiate error !!");
  }
  return true;
}

void JobRunner::CSConnect() {
  connecting_ = false;
  connectTimer_.stop();
  linkReady_ = true;
}

void JobRunner::CSDisconnect() {
  connectTimer_.stop();
  closeTimer_.stop();
  linkReady_ = false;
  jobType_ = kJobNone;
}

void JobRunner::CSError(QAbstractSocket::SocketError) {
  // Only a connect that fails is ours to report; a connection lost later is
  // its disconnect, and the job under way fails at its next write.
  if (!connecting_) return;
  ConnectFailed(platform::FromQt(cs_.errorString()));
}

void JobRunner::ConnectTimedOut() {
  if (!connecting_ || cs_.state() == QAbstractSocket::ConnectedState) return;
  ConnectFailed("Socket operation timed out");
}

void JobRunner::ConnectFailed(const std::string& text) {
  connecting_ = false;
  connectTimer_.stop();
  cs_.abort();
  linkReady_ = false;
  jobType_ = kJobNone;
  // Shown after the socket's signal has returned.
  QMetaObject::invokeMethod(this, [text] { util::ShowWarning(text); }, Qt::QueuedConnection);
}

void JobRunner::CloseLink() {
  connecting_ = false;
  connectTimer_.stop();
  // Whatever the link kind now, a connection of ours does not outlive the job.
  if (cs_.state() != QAbstractSocket::UnconnectedState) {
    cs_.disconnectFromHost();
    if (cs_.state() != QAbstractSocket::UnconnectedState) closeTimer_.start();
  }
  linkReady_ = false;
  jobType_ = kJobNone;
}

void JobRunner::tmrJOBTimer() {
  if (!linkReady_ || running_) return;
  tmrJob_.stop();
  signNumber_ = request_.signIndex + 1;
  RunJob();
  tmrJob_.start();
}

bool JobRunner::Send(const std::string& path) {
  sendResult_ = false;
  sender::SendOptions options;
  options.crcCheck = settings_.crcCheck != 0;
  options.crcWaitMs = settings_.crcWaitMs;
  options.signId = request_.signId;
  NoLink none;
  sender::Link* link = settings_.IsTcp() ? static_cast<sender::Link*>(&tcpLink_) : serialLink_;
  if (link == nullptr) link = &none;
  sendResult_ = sending_.Send(path, options, *link, reply_);
  return sendResult_;
}

bool JobRunner::RunSteps(int jobType, const cmdfile::ControllerContext& context) {
  using cmdfile::ControlCode;
  switch (jobType) {
    case kJobReset: return Send(cmdfile::WriteCommandFile(context, ControlCode::ResetSign));
    case kJobClearAll: return Send(cmdfile::WriteCommandFile(context, ControlCode::ClearAll));
    case kJobRunAll: return Send(cmdfile::WriteCommandFile(context, ControlCode::RunAll));
    case kJobOldMode: return Send(cmdfile::WriteCommandFile(context, ControlCode::RunOldMode));
    case kJobAutoDimming: return Send(cmdfile::WriteCommandFile(context, ControlCode::AutoDimming));
    case kJobDayDimming: return Send(cmdfile::WriteCommandFile(context, ControlCode::DayDimming));
    case kJobNightDimming: return Send(cmdfile::WriteCommandFile(context, ControlCode::NightDimming));
    case kJobSequence:
    case kJobSchedule: {
      if (!Send(cmdfile::WriteWakeUpFile(context))) return false;
      if (jobType == kJobSequence) {
        for (const std::string& path : request_.sequence) {
          if (!Send(path)) return false;
        }
        if (!Send(cmdfile::WriteSequenceFile(context, request_.sequence))) return false;
      } else {
        for (const cmdfile::ScheduleRow& row : request_.schedule) {
          if (!Send(row.file)) return false;
        }
        if (!Send(cmdfile::WriteScheduleFile(context, request_.schedule))) return false;
      }
      return Send(cmdfile::WriteOverFile(context));
    }
    case kJobInterrupt:
      return Send(cmdfile::WriteWakeUpFile(context)) && Send(request_.interruptFile) &&
             Send(cmdfile::WriteInterruptFile(context, request_.interruptEntry, request_.playingTimes)) &&
             Send(cmdfile::WriteOverFile(context));
    default:
      sendResult_ = false;
      return false;
  }
}

void JobRunner::RunJob() {
  running_ = true;
  const int jobType = jobType_;
  bool success = false;
  QString report;
  try {
    cmdfile::ControllerContext context;
    context.systemDirectory = systemDir_;
    context.signId = request_.signId;
    context.timeFormat = settings_.timeFormat;
    context.crcCheck = settings_.crcCheck != 0;
    context.clock = clock_;
    sendResult_ = false;
    RunSteps(jobType, context);
    success = sendResult_;
    // Over TCP the job is done only when the sign has every byte of it.
    if (success && settings_.IsTcp()) success = tcpLink_.FinishJob();
    const TSignRecord* sign = SignEntry(table_, signNumber_);
    std::string text = (sign ? sign->name : std::string()) + (success ? ": Sended completely !!" : ": Sended fail !!");
    report = platform::ToQt(text);
    util::ShowInfo(text);
  } catch (const std::exception& e) {
    success = false;
    report = platform::ToQt(e.what());
    util::ShowWarning(e.what());
  } catch (...) {
    success = false;
    util::ShowWarning("Unknown error");
  }
  running_ = false;
  CloseLink();
  jobType_ = kJobNone;
  emit jobFinished(success, report);
}

}  // namespace controller
