#pragma once
// The TCP link: a QTcpSocket living on the GUI thread. Writes from the sender
// thread are handed to the socket's thread and their result awaited, so a
// write on an unconnected or dropped socket fails the record. A record counts
// as written once the socket has handed all of it to the system, even when
// the sign closes right after. Received
// text is appended to the reply buffer by the socket's read handler.
#include <string_view>

#include <QObject>
#include <QTcpSocket>

#include "sender/Link.h"
#include "sender/ReplyBuffer.h"

namespace sender {

// A record, or the job's end, fails when the sign has taken none of what is
// left for this long: a slow sign that keeps reading is waited for, a sign
// that reads nothing more is not.
constexpr int kTcpStallMs = 5000;
// How long the sign is given to close after the job's end was sent.
constexpr int kTcpCloseWaitMs = 2000;

class TcpLink : public QObject, public Link {
  Q_OBJECT
 public:
  // Neither is owned; both outlive the link.
  TcpLink(QTcpSocket& socket, ReplyBuffer& reply, QObject* parent = nullptr);
  bool Write(std::string_view bytes, StopFlag& stop) override;

  // Ends a job on the GUI thread: waits until the sign has acknowledged every
  // byte (false when it has not within the wait, or the connection broke with
  // bytes unsent), then shuts down the sending side and lets the sign close,
  // reading what it still answers, so no close resets the connection under
  // bytes in flight. A connection the sign already closed counts as ended.
  bool FinishJob();

 private:
  void CSRead();
  // Bytes not yet acknowledged by the sign: the socket's own buffer and the
  // system's send queue; -1 when the socket is not connected.
  qint64 Unacknowledged() const;
  // The sign has closed its side, whether or not the socket has seen it.
  bool PeerClosed() const;
  QTcpSocket& socket_;
  ReplyBuffer& reply_;
  // Bytes the socket has handed to the system (GUI thread).
  qint64 handed_ = 0;
};

}  // namespace sender
