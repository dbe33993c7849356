#pragma once
// The TCP link: a QTcpSocket living on the GUI thread. Writes from the sender
// thread are handed to the socket's thread and their result awaited, so a
// write on an unconnected or dropped socket fails the record. Received text
// is appended to the reply buffer by the socket's read handler.
#include <string_view>

#include <QObject>
#include <QTcpSocket>

#include "sender/Link.h"
#include "sender/ReplyBuffer.h"

namespace sender {

class TcpLink : public QObject, public Link {
  Q_OBJECT
 public:
  // Neither is owned; both outlive the link.
  TcpLink(QTcpSocket& socket, ReplyBuffer& reply, QObject* parent = nullptr);
  bool Write(std::string_view bytes, StopFlag& stop) override;

 private:
  void CSRead();
  QTcpSocket& socket_;
  ReplyBuffer& reply_;
};

}  // namespace sender
