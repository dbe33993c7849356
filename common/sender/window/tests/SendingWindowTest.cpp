// The sending window offscreen: the title bar it draws itself hands a drag
// to the desktop's own move (which works under X11 and Wayland alike), Cancel
// sits apart from the progress bar and the window's lower edge, and Cancel
// ends a send at once, also while the port waits for the device to send the
// last bytes it holds.
#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <chrono>

#include "QueueingDeviceTest.h"
#include "SenderTestSupport.h"
#include "comm/FakeLayer.h"
#include "comm/PortDispatch.h"
#include "comm/SerialPort.h"
#include "platform/MessageBoxes.h"
#include "sender/SendingWindow.h"
#include "sender/SerialLink.h"
#include "testsupport/OffscreenApp.h"

namespace {

using namespace std::chrono;
using sender::SendingWindowLayout;
using sender::TfrmSending;

QApplication& App() { return testsupport::OffscreenApp("sending_window_tests"); }

void Mouse(QWidget* target, QEvent::Type type, QPoint global) {
  const QPointF local = target->mapFromGlobal(global);
  QMouseEvent event(type, local, local, global, Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

class SendingWindowTitleBar : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.show();
    QApplication::processEvents();
    grab_ = window_.lblCaption->mapToGlobal(window_.lblCaption->rect().center());
  }
  QApplication& app_ = App();
  TfrmSending window_{SendingWindowLayout{}};
  QPoint grab_;
};

TEST_F(SendingWindowTitleBar, ADragIsTheDesktopsOwnMove) {
  int asked = 0;
  window_.startSystemMove = [&] {
    ++asked;
    return true;
  };
  const QPoint before = window_.pos();
  Mouse(window_.lblCaption, QEvent::MouseButtonPress, grab_);
  Mouse(window_.lblCaption, QEvent::MouseMove, grab_ + QPoint(40, 30));
  Mouse(window_.lblCaption, QEvent::MouseButtonRelease, grab_ + QPoint(40, 30));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(window_.pos(), before) << "the desktop moves it, not the window itself";
}

TEST_F(SendingWindowTitleBar, WithoutTheDesktopsMoveADragMovesItAndKeepsItOnTheScreen) {
  window_.startSystemMove = [] { return false; };
  const QPoint before = window_.pos();
  Mouse(window_.lblCaption, QEvent::MouseButtonPress, grab_);
  Mouse(window_.lblCaption, QEvent::MouseMove, grab_ + QPoint(40, 30));
  EXPECT_EQ(window_.pos(), before + QPoint(40, 30));
  Mouse(window_.lblCaption, QEvent::MouseMove, grab_ + QPoint(20000, 20000));
  Mouse(window_.lblCaption, QEvent::MouseButtonRelease, grab_ + QPoint(20000, 20000));
  const QRect screen = window_.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(window_.frameGeometry())) << "dragged past the corner, it stays in sight";
  Mouse(window_.lblCaption, QEvent::MouseButtonPress, window_.lblCaption->mapToGlobal(QPoint(5, 5)));
  Mouse(window_.lblCaption, QEvent::MouseMove, QPoint(-20000, -20000));
  EXPECT_TRUE(screen.contains(window_.frameGeometry()));
}

TEST(SendingWindowLayout, CancelKeepsTheStylesSpacingFromTheBarAndTheLowerEdge) {
  App();
  for (bool showPath : {true, false}) {
    SCOPED_TRACE(showPath ? "the controller's window" : "the editor's window");
    TfrmSending window{SendingWindowLayout{showPath, "Cancel"}};
    window.show();
    QApplication::processEvents();
    const int spacing = window.style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing);
    const int margin = window.style()->pixelMetric(QStyle::PM_LayoutBottomMargin);
    const QRect bar = window.ProgressBar->geometry();
    const QRect cancel = window.btnCancel->geometry();
    EXPECT_GE(cancel.top() - bar.bottom() - 1, spacing);
    EXPECT_GE(window.height() - cancel.bottom() - 1, margin);
    EXPECT_EQ(cancel.size(), window.btnCancel->sizeHint()) << "the button is not squeezed";
  }
}

// A send on the fake layer's port, whose device holds what its far end has
// not read: here nothing is read, so the last record stays in the device.
class SendingWindowCancel : public sendertest::QueueingDeviceTest {
 protected:
  void SetUp() override {
    App();
    OpenPort(9600);
  }
  // Bytes the device holds for its far end.
  int Held() const {
    int unread = 0;
    ::ioctl(comm::fake::PeerFd(device_), FIONREAD, &unread);
    return unread;
  }

  platform::ScopedRecordingBoxes boxes_;
  sendertest::TempDir dir_;
};

TEST_F(SendingWindowCancel, CancelWhileTheDeviceStillHoldsTheLastRecordEndsTheSendAtOnce) {
  // 4002 bytes, over four seconds at 9600 bit/s.
  const std::string path = dir_.Write("long.msg", sendertest::FileOf({"{" + std::string(3998, 'x') + "}"}));
  TfrmSending window{SendingWindowLayout{}};
  steady_clock::time_point heldSince{}, cancelledAt{};
  bool stillSending = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!window.isVisible() || cancelledAt != steady_clock::time_point{}) return;
    // The record has left the port's ring for the device; the send waits for
    // the device. Cancel a little later, well inside that wait.
    if (Held() < 4002 || comm::OutBuffUsed(port_.DispatcherHandle()) != 0) return;
    if (heldSince == steady_clock::time_point{}) heldSince = steady_clock::now();
    if (steady_clock::now() - heldSince < 300ms) return;
    stillSending = window.isVisible();
    cancelledAt = steady_clock::now();
    window.btnCancel->click();
  });
  poll.start(5);
  const bool result = window.Send(path, sender::SendOptions{}, link_, reply_);
  const auto ended = steady_clock::now();
  poll.stop();
  ASSERT_NE(cancelledAt, steady_clock::time_point{}) << "the send ended while the device still held its bytes";
  EXPECT_TRUE(stillSending);
  EXPECT_FALSE(result);
  EXPECT_LT(ended - cancelledAt, 300ms) << "Cancel does not wait for the device";
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
