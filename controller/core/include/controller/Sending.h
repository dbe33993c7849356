#pragma once
// The modal sending window "Sending Message File to Sign...": shows the file's
// path and the progress while a sender thread puts the file on the link, and
// closes itself 100 ms after the thread has ended. Cancel asks the thread to
// stop; the window returns only once the thread has ended, so two sends never
// share the link and no stale result is read.
#include <memory>
#include <string>

#include <QDialog>
#include <QTimer>

#include "sender/SendThrd.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace controller {

class TfrmSending : public QDialog, public sender::SendView {
  Q_OBJECT
 public:
  explicit TfrmSending(QWidget* parent = nullptr);
  ~TfrmSending() override;

  // One send of `path`, the window shown modally; returns the send's outcome
  // (false also when it was cancelled).
  bool Send(const std::string& path, const sender::SendOptions& options, sender::Link& link,
            sender::ReplyBuffer& reply);

  void ShowProgressBar(int percent) override;
  void ShowProgressText(const std::string& text) override;

  QLabel* lblMsgFN = nullptr;
  QLabel* lblStatus = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QPushButton* btnCancel = nullptr;
  QTimer tmrTimer;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void FormActivate();
  void FormClose();
  void ThreadDone(int generation);
  void tmrTimerTimer();

  struct Pending {
    std::string path;
    sender::SendOptions options;
    sender::Link* link;
    sender::ReplyBuffer* reply;
  };
  std::unique_ptr<Pending> pending_;
  std::unique_ptr<sender::TSendThrd> thread_;  // the current send thread
  int generation_ = 0;  // tells a late end handler of an earlier send from this one's
};

}  // namespace controller
