#pragma once
// The TCP link: a QTcpSocket living on the GUI thread. Writes from the sender
// thread are handed to the socket's thread and their result awaited, so a
// write on an unconnected or dropped socket fails the record. A record counts
// as written once the socket has handed all of it to the system, even when
// the sign closes right after. Received
// text is appended to the reply buffer by the socket's read handler.
//
// Whether the sign acknowledged every byte is the system's count of bytes
// sent and not yet acknowledged (SIOCOUTQ: the send sequence less the oldest
// unacknowledged one) reaching 0, with nothing left in the socket's own
// buffer. The socket closes its descriptor as soon as it sees the sign's close
// or reset, so the link keeps a duplicate of the descriptor for as long as the
// connection stands and reads the count there at the moment the end is seen:
// a reset does not move that count, so bytes the sign never took still show.
// A reset ends no job well: a short record is acknowledged by the sign's
// system as it arrives, whether or not the sign reads it, and a sign that
// closes with bytes unread resets. So the connection's state is read too
// (TCP_INFO): the sign's close leaves it half open, a reset closes it.
#include <optional>
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

  ~TcpLink() override;

  // Ends a job on the GUI thread: waits until the sign has acknowledged every
  // byte (false when it has not within the wait), then shuts down the sending
  // side and lets the sign close, reading what it still answers, so no close
  // resets the connection under bytes in flight. A connection that ended
  // before, by the sign's close or reset, is a complete job only when every
  // byte had been acknowledged when its end was seen.
  bool FinishJob();

 private:
  void CSRead();
  // A new connection: the link counts its bytes afresh and keeps a duplicate
  // of its descriptor.
  void Connected();
  // The connection's end as the socket saw it: whether every byte written was
  // acknowledged by then; the duplicate descriptor is let go.
  void Ended();
  // Whether the connection on `fd`, whose sending side the link has not shut,
  // was ended by a reset.
  static bool EndedByReset(int fd);
  // Bytes the system has not had acknowledged on `fd`; -1 when it cannot say.
  static qint64 SystemQueue(int fd);
  // Bytes not yet acknowledged by the sign: the socket's own buffer and the
  // system's send queue; -1 when the socket is not connected.
  qint64 Unacknowledged() const;
  // The sign has closed its side, whether or not the socket has seen it.
  bool PeerClosed() const;
  QTcpSocket& socket_;
  ReplyBuffer& reply_;
  // Bytes the socket has handed to the system, and bytes written to the
  // socket, on this connection (GUI thread).
  qint64 handed_ = 0;
  qint64 written_ = 0;
  // The connection's descriptor, kept open beside the socket's own while the
  // connection stands; -1 when there is none.
  int keptFd_ = -1;
  // Set when the connection ended: every byte acknowledged by then.
  std::optional<bool> endedAcknowledged_;

};

}  // namespace sender
