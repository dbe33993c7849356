#include "sender/TcpLink.h"

#include <string>

#include "sender/GuiCall.h"

namespace sender {

TcpLink::TcpLink(QTcpSocket& socket, ReplyBuffer& reply, QObject* parent)
    : QObject(parent), socket_(socket), reply_(reply) {
  connect(&socket_, &QTcpSocket::readyRead, this, &TcpLink::CSRead);
}

void TcpLink::CSRead() {
  QByteArray bytes = socket_.readAll();
  reply_.Append(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

bool TcpLink::Write(std::string_view bytes, StopFlag& stop) {
  std::string copy(bytes);
  bool ok = false;
  bool ran = CallOnThread(
      &socket_,
      [&] {
        if (socket_.state() != QAbstractSocket::ConnectedState) return;
        qint64 n = socket_.write(copy.data(), static_cast<qint64>(copy.size()));
        if (n != static_cast<qint64>(copy.size())) return;
        // Hand the bytes to the system now rather than at the next event-loop turn;
        // flush() returning false only means nothing was left to write.
        socket_.flush();
        ok = socket_.state() == QAbstractSocket::ConnectedState;
      },
      stop);
  return ran && ok;
}

}  // namespace sender
