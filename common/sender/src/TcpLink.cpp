#include "sender/TcpLink.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include <QEventLoop>
#include <QTimer>

#include "sender/GuiCall.h"

namespace sender {
namespace {

using namespace std::chrono;

// Turns the GUI thread's event loop until `done` holds or `ms` have passed,
// looking every 10 ms; true when it holds. `progressed` (when given) puts the
// end off again: it says whether anything moved since it was last asked.
bool TurnUntil(const std::function<bool()>& done, int ms, const std::function<bool()>& progressed = {}) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(10);
  auto end = steady_clock::now() + milliseconds(ms);
  bool held = false;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    held = done();
    if (!held && progressed && progressed()) end = steady_clock::now() + milliseconds(ms);
    if (held || steady_clock::now() >= end) loop.quit();
  });
  poll.start();
  loop.exec();
  return held;
}

}  // namespace

TcpLink::TcpLink(QTcpSocket& socket, ReplyBuffer& reply, QObject* parent)
    : QObject(parent), socket_(socket), reply_(reply) {
  connect(&socket_, &QTcpSocket::readyRead, this, &TcpLink::CSRead);
  connect(&socket_, &QIODevice::bytesWritten, this, [this](qint64 n) { handed_ += n; });
  connect(&socket_, &QAbstractSocket::connected, this, &TcpLink::Connected);
  connect(&socket_, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
    if (state == QAbstractSocket::UnconnectedState) Ended();
  });
  if (socket_.state() == QAbstractSocket::ConnectedState) Connected();
}

TcpLink::~TcpLink() {
  if (keptFd_ >= 0) ::close(keptFd_);
}

void TcpLink::Connected() {
  if (keptFd_ >= 0) ::close(keptFd_);
  const auto fd = static_cast<int>(socket_.socketDescriptor());
  keptFd_ = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
  handed_ = 0;
  written_ = 0;
  endedAcknowledged_.reset();
}

void TcpLink::Ended() {
  if (keptFd_ < 0) return;
  // The socket's own buffer was dropped with its descriptor: what it had not
  // handed to the system never left.
  endedAcknowledged_ = handed_ >= written_ && SystemQueue(keptFd_) == 0 && !EndedByReset(keptFd_);
  ::close(keptFd_);
  keptFd_ = -1;
}

bool TcpLink::EndedByReset(int fd) {
  // Before the link shuts its own side, the sign's close leaves the
  // connection half open; only a reset closes it whole. (After the link's own
  // end an orderly close closes it whole too, so this says nothing then.)
  tcp_info info{};
  socklen_t size = sizeof info;
  return fd >= 0 && ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && info.tcpi_state == TCP_CLOSE;
}

qint64 TcpLink::SystemQueue(int fd) {
  int queued = 0;
  if (fd < 0 || ::ioctl(fd, SIOCOUTQ, &queued) != 0) return -1;
  return queued;
}

void TcpLink::CSRead() {
  QByteArray bytes = socket_.readAll();
  reply_.Append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

bool TcpLink::PeerClosed() const {
  // The sign's close may not have reached the socket's own state yet.
  pollfd p{static_cast<int>(socket_.socketDescriptor()), POLLRDHUP, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool TcpLink::Write(std::string_view bytes, StopFlag& stop) {
  std::string copy(bytes);
  bool ok = false;
  // The record is written once the system has taken this many bytes in all:
  // what the socket still held, then the record.
  qint64 target = 0;
  bool ran = CallOnThread(
      &socket_,
      [&] {
        if (socket_.state() != QAbstractSocket::ConnectedState || PeerClosed()) return;
        if (keptFd_ < 0) Connected();
        target = handed_ + socket_.bytesToWrite() + static_cast<qint64>(copy.size());
        qint64 n = socket_.write(copy.data(), static_cast<qint64>(copy.size()));
        if (n > 0) written_ += n;
        if (n != static_cast<qint64>(copy.size())) return;
        // Hand the bytes to the system now rather than at the next event-loop turn;
        // flush() returning false only means nothing was left to write.
        socket_.flush();
        ok = true;
      },
      stop);
  if (!ran || !ok) return false;
  // A sign that reads nothing more keeps the record in the socket, and it
  // fails in time. Once the system has all of it, a close of the sign's no
  // longer matters here: the end of the job decides.
  auto end = steady_clock::now() + milliseconds(kTcpStallMs);
  qint64 lastLeft = -1;
  for (;;) {
    qint64 left = -1;
    if (!CallOnThread(
            &socket_,
            [&] {
              if (handed_ >= target) {
                left = 0;
                return;
              }
              if (socket_.state() != QAbstractSocket::ConnectedState) return;
              socket_.flush();
              left = std::max<qint64>(target - handed_, 0);
            },
            stop)) {
      return false;
    }
    if (left < 0) return false;
    if (left == 0) return true;
    if (left != lastLeft) end = steady_clock::now() + milliseconds(kTcpStallMs);
    lastLeft = left;
    if (steady_clock::now() >= end || !stop.SleepFor(milliseconds(10))) return false;
  }
}

qint64 TcpLink::Unacknowledged() const {
  if (socket_.state() != QAbstractSocket::ConnectedState) return -1;
  const qint64 queued = SystemQueue(static_cast<int>(socket_.socketDescriptor()));
  return socket_.bytesToWrite() + std::max<qint64>(queued, 0);
}

bool TcpLink::FinishJob() {
  qint64 left = Unacknowledged();
  // The connection ended before the end check: by the count taken then.
  if (left < 0) return endedAcknowledged_.value_or(written_ == 0);
  qint64 seen = left;
  bool broke = false;
  const bool acknowledged = TurnUntil(
      [&] {
        socket_.flush();
        left = Unacknowledged();
        broke = left < 0;
        return left <= 0;
      },
      kTcpStallMs,
      [&] {
        const bool moved = left != seen;
        seen = left;
        return moved;
      });
  // A connection that ended during the wait is judged as it stood at its end.
  if (broke) return endedAcknowledged_.value_or(false);
  if (!acknowledged) return false;
  // A reset the socket has not seen yet: the system acknowledged bytes the
  // sign may have thrown away.
  if (EndedByReset(static_cast<int>(socket_.socketDescriptor()))) return false;
  // Only the sending side is shut: the sign's last answers are still read,
  // and the connection ends with the sign's own close.
  ::shutdown(static_cast<int>(socket_.socketDescriptor()), SHUT_WR);
  TurnUntil([&] { return socket_.state() == QAbstractSocket::UnconnectedState; }, kTcpCloseWaitMs);
  return true;
}

}  // namespace sender
