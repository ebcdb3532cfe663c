#include "GuardedTcpServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace pistel::live {

namespace {
constexpr qsizetype kMaxHead = 16 * 1024; // a request head longer than this is refused too

// Answers and closes. What the client still sends is read and thrown away (never reaching the
// HTTP layer) for a moment, so that a client busy sending its body reads the answer.
void refuse(QTcpSocket* socket, const QByteArray& status, const QByteArray& body) {
    socket->setProperty("refused", true);
    socket->readAll();
    socket->write("HTTP/1.1 " + status +
                  "\r\nContent-Type: text/plain; charset=utf-8\r\nConnection: close\r\n"
                  "Content-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QTimer::singleShot(1000, socket, [socket] { socket->disconnectFromHost(); });
}
} // namespace

qint64 GuardedTcpServer::declaredLength(const QByteArray& head) {
    for (const QByteArray& line : head.split('\n')) {
        const QByteArray l = line.trimmed();
        const qsizetype colon = l.indexOf(':');
        if (colon > 0 && l.left(colon).trimmed().toLower() == "content-length") {
            bool ok = false;
            const qint64 n = l.mid(colon + 1).trimmed().toLongLong(&ok);
            return ok && n >= 0 ? n : std::numeric_limits<qint64>::max();
        }
    }
    return -1;
}

void GuardedTcpServer::incomingConnection(qintptr handle) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(idleMs_);
    connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
    connect(socket, &QTcpSocket::bytesWritten, idle, qOverload<>(&QTimer::start));
    // Connected before the HTTP layer takes the socket: this runs first on every read.
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, idle] {
        idle->start();
        if (socket->property("refused").toBool()) {
            socket->readAll();
            return;
        }
        const QByteArray waiting = socket->peek(socket->bytesAvailable());
        const qsizetype end = waiting.indexOf("\r\n\r\n");
        if (end < 0) {
            if (waiting.size() > kMaxHead)
                refuse(socket, "431 Request Header Fields Too Large",
                       "エラー: 要求が大きすぎます (request head too large)\n");
            return;
        }
        if (declaredLength(waiting.left(end)) > maxBody_)
            refuse(socket, "413 Payload Too Large", "エラー: 大きすぎます (body too large)\n");
    });
    idle->start();
    addPendingConnection(socket);
}

} // namespace pistel::live
