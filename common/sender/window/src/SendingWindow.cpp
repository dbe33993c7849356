#include "sender/SendingWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

#include "platform/ScreenCentre.h"
#include "platform/QtText.h"

namespace sender {
namespace {

// Where `window` may go near `wanted` with all of it on its screen.
QPoint KeptOnScreen(const QWidget& window, QPoint wanted) {
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return wanted;
  const QRect area = screen->availableGeometry();
  const QSize size = window.frameGeometry().size();
  return {std::clamp(wanted.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())),
          std::clamp(wanted.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height()))};
}

}  // namespace

TfrmSending::TfrmSending(const SendingWindowLayout& layout, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Sending Message File to Sign...");
  // No frame from the window manager: its title bar would bring its buttons.
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setModal(true);
  setObjectName("frmSending");
  setStyleSheet("#frmSending { border: 1px solid palette(dark); }"
                "#lblCaption { background: palette(highlight); color: palette(highlighted-text);"
                " font-weight: bold; padding: 3px 6px; }");
  lblCaption = new QLabel(windowTitle());
  lblCaption->setObjectName("lblCaption");
  lblCaption->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  lblCaption->installEventFilter(this);
  lblMsgFN = new QLabel;
  lblStatus = new QLabel;
  lblStatus->setAlignment(Qt::AlignCenter);
  ProgressBar = new QProgressBar;
  ProgressBar->setRange(0, 100);
  btnCancel = new QPushButton(layout.cancelCaption);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  tmrTimer.setInterval(100);
  tmrTimer.setSingleShot(true);
  connect(&tmrTimer, &QTimer::timeout, this, &TfrmSending::tmrTimerTimer);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(1, 1, 1, 1);
  outer->setSpacing(0);
  outer->addWidget(lblCaption);
  auto* box = new QVBoxLayout;
  // What a dialog's own layout would have: the style's margins and spacing
  // (a nested layout would take the title bar's spacing of 0).
  const QStyle* look = style();
  box->setContentsMargins(look->pixelMetric(QStyle::PM_LayoutLeftMargin), look->pixelMetric(QStyle::PM_LayoutTopMargin),
                          look->pixelMetric(QStyle::PM_LayoutRightMargin),
                          look->pixelMetric(QStyle::PM_LayoutBottomMargin));
  box->setSpacing(look->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
  outer->addLayout(box);
  box->addWidget(lblMsgFN);
  lblMsgFN->setVisible(layout.showPath);
  box->addWidget(lblStatus);
  box->addWidget(ProgressBar);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  buttons->addStretch();
  box->addLayout(buttons);
  // A compact box of its own size (with its title bar), not the platform's default window size.
  resize(420, sizeHint().height());
  startSystemMove = [this] {
    QWindow* handle = windowHandle();
    return handle != nullptr && handle->startSystemMove();
  };
}

TfrmSending::~TfrmSending() {
  if (thread_) {
    thread_->Terminate();
    thread_->WaitFor();
  }
}

bool TfrmSending::Send(const std::string& path, const SendOptions& options, Link& link, ReplyBuffer& reply) {
  pending_ = std::make_unique<Pending>(Pending{path, options, &link, &reply});
  ++generation_;
  tmrTimer.stop();
  exec();
  pending_.reset();
  tmrTimer.stop();
  if (!thread_) return false;
  // Closed by Cancel (or otherwise) before the thread ended: stop it. Either
  // way the send is over only when its thread has ended.
  const bool endedByItself = thread_->Finished();
  if (!endedByItself) thread_->Terminate();
  thread_->WaitFor();
  bool result = endedByItself && thread_->Result();
  thread_.reset();
  return result;
}

bool TfrmSending::eventFilter(QObject* watched, QEvent* event) {
  if (watched != lblCaption) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) break;
      // The desktop moves it as any other window, and keeps it where it may
      // be; move() would be ignored under Wayland.
      if (startSystemMove && startSystemMove()) return true;
      dragging_ = true;
      dragOffset_ = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
      return true;
    }
    case QEvent::MouseMove:
      if (!dragging_) break;
      move(KeptOnScreen(*this, static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_));
      return true;
    case QEvent::MouseButtonRelease:
      dragging_ = false;
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmSending::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) platform::CentreOnScreen(*this);
  FormActivate();
}

void TfrmSending::FormActivate() {
  if (!pending_ || thread_) return;
  lblMsgFN->setText(platform::ToQt(pending_->path));
  lblStatus->clear();
  ProgressBar->setValue(0);
  thread_ = std::make_unique<TSendThrd>(pending_->path, pending_->options, *pending_->link, *pending_->reply, this,
                                        this);
  int generation = generation_;
  thread_->Start([this, generation] { ThreadDone(generation); });
}

void TfrmSending::ThreadDone(int generation) {
  if (generation != generation_ || !isVisible()) return;
  tmrTimer.start();
}

void TfrmSending::tmrTimerTimer() {
  tmrTimer.stop();
  accept();
}

void TfrmSending::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TfrmSending::FormClose() {
  if (thread_ && !thread_->Finished()) thread_->Terminate();
}

void TfrmSending::ShowProgressBar(int percent) { ProgressBar->setValue(percent); }

void TfrmSending::ShowProgressText(const std::string& text) { lblStatus->setText(QString::fromStdString(text)); }

}  // namespace sender
