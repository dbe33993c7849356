#pragma once
// The modal sending window "Sending Message File to Sign...": shows the
// progress (and, in the controller, the file's path) while a sender thread
// puts the file on the link, and closes itself 100 ms after the thread has
// ended. Cancel asks the thread to stop; the window returns only once the
// thread has ended, so two sends never share the link and no stale result is
// read. The send starts once per showing, not again when the window gets the
// focus back from a message box of its own send.
//
// The window draws its own title bar (the title, nothing else): a window
// manager's title bar carries the manager's own buttons, and some managers
// show them whatever the window asks for. A drag of it is handed to the
// desktop, which moves the window as it moves any other.
#include <functional>
#include <memory>
#include <string>

#include <QDialog>
#include <QPoint>
#include <QString>
#include <QTimer>

#include "sender/SendThrd.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sender {

// What the two programs' windows differ in.
struct SendingWindowLayout {
  bool showPath = true;             // the controller names the file; the editor does not
  QString cancelCaption = "Cancel";
};

class TfrmSending : public QDialog, public SendView {
  Q_OBJECT
 public:
  explicit TfrmSending(const SendingWindowLayout& layout, QWidget* parent = nullptr);
  ~TfrmSending() override;

  // One send of `path`, the window shown modally; returns the send's outcome
  // (false also when it was cancelled).
  bool Send(const std::string& path, const SendOptions& options, Link& link, ReplyBuffer& reply);

  void ShowProgressBar(int percent) override;
  void ShowProgressText(const std::string& text) override;

  QLabel* lblCaption = nullptr;  // the title bar
  QLabel* lblMsgFN = nullptr;  // hidden when the layout shows no path
  QLabel* lblStatus = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QPushButton* btnCancel = nullptr;
  QTimer tmrTimer;

  // Starts the desktop's own move of the window (X11 and Wayland alike):
  // false where the platform has none, and the window then follows the
  // drag itself, kept on the screen.
  std::function<bool()> startSystemMove;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormActivate();
  void FormClose();
  void ThreadDone(int generation);
  void tmrTimerTimer();

  struct Pending {
    std::string path;
    SendOptions options;
    Link* link;
    ReplyBuffer* reply;
  };
  std::unique_ptr<Pending> pending_;
  std::unique_ptr<TSendThrd> thread_;  // the current send thread
  int generation_ = 0;  // tells a late end handler of an earlier send from this one's
  QPoint dragOffset_;   // where the title bar was grabbed, from the window's corner
  bool dragging_ = false;
};

}  // namespace sender
