#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace pistel::test {

// A small HTTP server on loopback that records every request and answers "OK", after a
// delay when asked to, or never.
class HttpServer : public QObject {
public:
    struct Request {
        QByteArray method, target, body;
        QMap<QByteArray, QByteArray> headers; // lower-case names
        qint64 atMs = 0;
    };

    HttpServer() {
        clock.start();
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { readFrom(s); });
        });
    }
    QString base() const {
        return QStringLiteral("http://127.0.0.1:%1/live/").arg(server.serverPort());
    }

    QList<Request> requests;
    int delayMs = 0;
    bool silent = false;
    QElapsedTimer clock;

private:
    void readFrom(QTcpSocket* s) {
        QByteArray& buf = buffers[s];
        buf += s->readAll();
        const qsizetype end = buf.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request r;
        const QList<QByteArray> lines = buf.left(end).split('\n');
        const QList<QByteArray> first = lines[0].trimmed().split(' ');
        r.method = first.value(0);
        r.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                r.headers[lines[i].left(colon).trimmed().toLower()] =
                    lines[i].mid(colon + 1).trimmed();
        }
        const int length = r.headers.value("content-length").toInt();
        if (buf.size() < end + 4 + length)
            return;
        r.body = buf.mid(end + 4, length);
        r.atMs = clock.elapsed();
        buffers.remove(s);
        requests.append(r);
        if (silent)
            return;
        auto answer = [s] {
            s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2\r\n"
                     "Connection: close\r\n\r\nOK");
            s->disconnectFromHost();
        };
        if (delayMs > 0)
            QTimer::singleShot(delayMs, s, answer);
        else
            answer();
    }

    QTcpServer server;
    QMap<QTcpSocket*, QByteArray> buffers;
};

} // namespace pistel::test
