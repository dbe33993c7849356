// The end of a job over TCP, against a listener on 127.0.0.1 that this test
// drives by hand: the job is complete only when the sign acknowledged every
// byte before the connection ended, whoever ended it.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <string>

#include "SenderTestSupport.h"
#include "sender/StopFlag.h"
#include "sender/TcpLink.h"

namespace {

using namespace std::chrono;

// More than a small receive window takes, less than the send buffer the test
// gives its own socket.
constexpr std::size_t kRecordBytes = 256 * 1024;

// Turns the event loop until `done` holds or `ms` have passed.
bool TurnUntil(const std::function<bool()>& done, int ms) {
  const auto end = steady_clock::now() + milliseconds(ms);
  while (!done() && steady_clock::now() < end) {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return done();
}

class TcpLinkEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    sendertest::App();
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener_, 0);
    // A small window: a sign that reads nothing leaves most of a record
    // unacknowledged in the sender's queue.
    const int small = 4096;
    ASSERT_EQ(::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener_, 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    port_ = ntohs(address.sin_port);
    Connect();
  }
  // A new connection of the link's socket, the sign's end accepted.
  void Connect() {
    socket_.connectToHost("127.0.0.1", port_);
    ASSERT_TRUE(socket_.waitForConnected(3000));
    const int large = 4 << 20;
    ASSERT_EQ(::setsockopt(static_cast<int>(socket_.socketDescriptor()), SOL_SOCKET, SO_SNDBUF, &large, sizeof large),
              0);
    sign_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(sign_, 0);
  }
  // After the sign ended the last one.
  void Reconnect() {
    socket_.abort();
    Connect();
  }
  void TearDown() override {
    socket_.abort();
    if (sign_ >= 0) ::close(sign_);
    ::close(listener_);
  }

  // The sign ends the connection with a reset: SO_LINGER of 0, then close.
  void ResetBySign() {
    const linger now{1, 0};
    ASSERT_EQ(::setsockopt(sign_, SOL_SOCKET, SO_LINGER, &now, sizeof now), 0);
    ::close(sign_);
    sign_ = -1;
  }

  // The sign reads `bytes` (the event loop turning, so the link keeps handing
  // them over) and then closes as usual.
  void ReadAllThenCloseBySign(std::size_t bytes) {
    std::size_t got = 0;
    char buffer[65536];
    const auto end = steady_clock::now() + seconds(10);
    while (got < bytes && steady_clock::now() < end) {
      const ssize_t n = ::recv(sign_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) {
        got += static_cast<std::size_t>(n);
      } else {
        TurnUntil([] { return false; }, 2);
      }
    }
    ASSERT_EQ(got, bytes);
    ::close(sign_);
    sign_ = -1;
  }

  // Waits until the system has had every byte written acknowledged.
  bool AllAcknowledged() {
    return TurnUntil(
        [&] {
          int queued = -1;
          return ::ioctl(static_cast<int>(socket_.socketDescriptor()), SIOCOUTQ, &queued) == 0 && queued == 0;
        },
        3000);
  }

  bool Ended() { return TurnUntil([&] { return socket_.state() == QAbstractSocket::UnconnectedState; }, 5000); }

  QTcpSocket socket_;
  sender::ReplyBuffer reply_;
  sender::TcpLink link_{socket_, reply_};
  sender::StopFlag stop_;
  int listener_ = -1;
  quint16 port_ = 0;
  int sign_ = -1;
};

// The system took the whole record, the sign read none of it and reset the
// connection before the end check: the job failed.
TEST_F(TcpLinkEnd, ASignThatReadNothingAndResetFailsTheJob) {
  ASSERT_TRUE(link_.Write(std::string(kRecordBytes, 'x'), stop_));
  ResetBySign();
  ASSERT_TRUE(Ended());
  EXPECT_FALSE(link_.FinishJob());
}

// The sign read every byte and closed before the end check: the job is complete.
TEST_F(TcpLinkEnd, ASignThatReadEverythingAndClosedCompletesTheJob) {
  ASSERT_TRUE(link_.Write(std::string(kRecordBytes, 'x'), stop_));
  ReadAllThenCloseBySign(kRecordBytes);
  ASSERT_TRUE(Ended());
  EXPECT_TRUE(link_.FinishJob());
}

// A short record fits the sign's receive window: its system acknowledges
// every byte at once, whether or not the sign ever reads them. A reset then is
// all the link learns of a sign that threw them away, so a reset is never a
// complete job, even where every byte was acknowledged; nor where the sign
// read them all first, which the system cannot tell apart. The link may see
// the reset before the end check or only in it.
TEST_F(TcpLinkEnd, AResetIsNoCompleteJobEvenWhereEveryByteWasAcknowledged) {
  struct Case {
    const char* what;
    bool signReads;
    bool seenBeforeTheEndCheck;
  } cases[] = {
      {"read nothing, reset seen before the end check", false, true},
      {"read nothing, reset seen in the end check", false, false},
      {"read everything, reset seen before the end check", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (sign_ < 0) Reconnect();
    ASSERT_TRUE(link_.Write(std::string(200, 'x'), stop_));
    ASSERT_TRUE(AllAcknowledged());
    if (c.signReads) {
      char buffer[256];
      ASSERT_EQ(::recv(sign_, buffer, sizeof buffer, 0), 200);
    }
    ResetBySign();
    if (c.seenBeforeTheEndCheck) {
      ASSERT_TRUE(Ended());
    }
    EXPECT_FALSE(link_.FinishJob());
  }
}

// The same short record read whole and the connection closed as usual: complete.
TEST_F(TcpLinkEnd, ASignThatReadAShortRecordAndClosedCompletesTheJob) {
  ASSERT_TRUE(link_.Write(std::string(200, 'x'), stop_));
  ReadAllThenCloseBySign(200);
  ASSERT_TRUE(Ended());
  EXPECT_TRUE(link_.FinishJob());
}

// Still connected, the sign reading everything: the end waits for the
// acknowledgements and succeeds, whether the sign then closes when it sees the
// link's end (which closes the connection whole on this side too) or stays.
TEST_F(TcpLinkEnd, AConnectedSignThatReadsEverythingCompletesTheJob) {
  for (const bool closesAtTheEnd : {true, false}) {
    SCOPED_TRACE(closesAtTheEnd ? "the sign closes at the end" : "the sign stays");
    if (sign_ < 0) Reconnect();
    ASSERT_TRUE(link_.Write(std::string(kRecordBytes, 'x'), stop_));
    std::size_t got = 0;
    bool sawTheEnd = false;
    char buffer[65536];
    QTimer sign;
    sign.setInterval(1);
    QObject::connect(&sign, &QTimer::timeout, [&] {
      if (sign_ < 0) return;
      ssize_t n;
      while ((n = ::recv(sign_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) got += static_cast<std::size_t>(n);
      if (n != 0) return;  // the link's end not seen yet
      sawTheEnd = true;
      if (!closesAtTheEnd) return;
      ::close(sign_);
      sign_ = -1;
    });
    sign.start();
    EXPECT_TRUE(link_.FinishJob());
    sign.stop();
    EXPECT_EQ(got, kRecordBytes);
    EXPECT_TRUE(sawTheEnd);
  }
}

}  // namespace
