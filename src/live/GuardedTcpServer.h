#pragma once

#include <QTcpServer>

namespace pistel::live {

// The live server's listening socket, guarding every connection before the HTTP layer reads
// it: a connection idle for `idleMs` (nothing received or sent) is closed, and a request that
// declares a body over `maxBody` bytes is answered 413 and closed before its body is read.
class GuardedTcpServer : public QTcpServer {
    Q_OBJECT
public:
    GuardedTcpServer(int idleMs, qsizetype maxBody, QObject* parent = nullptr)
        : QTcpServer(parent), idleMs_(idleMs), maxBody_(maxBody) {}

    // The body length a request head declares; -1 when it declares none. `head` is the bytes
    // up to the blank line that ends it.
    static qint64 declaredLength(const QByteArray& head);

protected:
    void incomingConnection(qintptr handle) override;

private:
    int idleMs_;
    qsizetype maxBody_;
};

} // namespace pistel::live
