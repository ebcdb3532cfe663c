#include "GuardedTcpServer.h"

#include "RequestMeter.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace pistel::live {

namespace {
constexpr qsizetype kMaxHead = 16 * 1024; // a request head longer than this is refused too
constexpr qint64 kSlack = 64 * 1024;      // chunk framing, blank lines between requests

// Answers and closes. What the client still sends is read and thrown away (never reaching the
// HTTP layer) for a moment, so that a client busy sending its body reads the answer.
void refuse(QTcpSocket* socket, const QByteArray& status, const QByteArray& body) {
    socket->setProperty("refused", true);
    socket->skip(socket->bytesAvailable());
    socket->write("HTTP/1.1 " + status +
                  "\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n"
                  "Content-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QTimer::singleShot(1000, socket, [socket] { socket->disconnectFromHost(); });
}
} // namespace

void GuardedTcpServer::incomingConnection(qintptr handle) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    // An answer leaves at once: held back for the client's acknowledgement of the one before
    // (Nagle's rule against a delayed ACK), each answer on a kept-alive connection waited
    // 40 ms, and a phone's poll took that long.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(idleMs_);
    connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
    connect(socket, &QTcpSocket::bytesWritten, idle, qOverload<>(&QTimer::start));
    // The HTTP layer keeps a request's bytes in the socket's buffer until the request is
    // complete, so the bound is the largest request allowed.
    socket->setReadBufferSize(kMaxHead + maxBody_ + kSlack);
    // Connected before the HTTP layer takes the socket: this runs first on every read, and
    // sees the bytes that arrived since the last (the HTTP layer reads all it is given).
    auto meter = std::make_shared<RequestMeter>(kMaxHead, maxBody_);
    connect(socket, &QTcpSocket::readyRead, socket, [socket, idle, meter] {
        idle->start();
        if (socket->property("refused").toBool()) {
            socket->skip(socket->bytesAvailable());
            return;
        }
        switch (meter->take(socket->peek(socket->bytesAvailable()))) {
        case RequestMeter::Verdict::Fine:
            break;
        case RequestMeter::Verdict::HeadTooLarge:
            refuse(socket, "431 Request Header Fields Too Large",
                   "エラー: 要求が大きすぎます (request head too large)\n");
            break;
        case RequestMeter::Verdict::BodyTooLarge:
            refuse(socket, "413 Payload Too Large", "エラー: 大きすぎます (body too large)\n");
            break;
        }
    });
    idle->start();
    addPendingConnection(socket);
}

} // namespace pistel::live
