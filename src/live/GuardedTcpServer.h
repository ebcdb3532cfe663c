#pragma once

#include <QTcpServer>

namespace pistel::live {

// The live server's listening socket, guarding every connection before the HTTP layer reads
// it: a connection idle for `idleMs` (nothing received or sent) is closed; a request head over
// 16 KiB is answered 431, a body over `maxBody` bytes 413 (by its declared length before any
// of it is read, a chunked one as soon as it passes the limit), and the connection closed,
// what it still sends thrown away unread. A connection never buffers more than the largest
// request allowed.
class GuardedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    GuardedTcpServer(int idleMs, qsizetype maxBody, QObject* parent = nullptr)
        : QTcpServer(parent), idleMs_(idleMs), maxBody_(maxBody) {}

protected:
    void incomingConnection(qintptr handle) override;

private:
    int idleMs_;
    qsizetype maxBody_;
};

} // namespace pistel::live
