#include "Phones.h"

#include <QRandomGenerator>
#include <QSslSocket>
#include <QTimer>

class Phone : public QObject {
public:
    Phone(Phones& all, quint16 port, int firstMs) : all_(all), port_(port) {
        socket_.setPeerVerifyMode(QSslSocket::VerifyNone); // the test's own certificate
        connect(&socket_, &QSslSocket::encrypted, this, [this] { ask(); });
        connect(&socket_, &QSslSocket::readyRead, this, [this] { read(); });
        connect(&socket_, &QSslSocket::disconnected, this, [this] {
            if (waiting_) {
                ++all_.errors;
                waiting_ = false;
            }
            buffer_.clear();
            if (!done())
                QTimer::singleShot(200, this, [this] { open(); });
        });
        next_.setSingleShot(true);
        connect(&next_, &QTimer::timeout, this, [this] { ask(); });
        QTimer::singleShot(firstMs, this, [this] { open(); });
    }
    ~Phone() override { disconnect(&socket_, nullptr, this, nullptr); }
    bool finished() const { return done() && !waiting_; }

private:
    bool done() const { return all_.clock_.elapsed() >= all_.seconds_ * 1000LL; }
    void open() {
        if (done() || socket_.state() != QAbstractSocket::UnconnectedState)
            return;
        socket_.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port_);
    }
    void ask() {
        if (done() || waiting_)
            return;
        if (!socket_.isEncrypted()) {
            open();
            return;
        }
        askedAt_ = all_.clock_.elapsed();
        waiting_ = true;
        QByteArray request = "GET " + all_.path_ + " HTTP/1.1\r\nHost: localhost\r\n";
        if (!etag_.isEmpty())
            request += "If-None-Match: " + etag_ + "\r\n";
        socket_.write(request + "\r\n");
    }
    void read() {
        buffer_ += socket_.readAll();
        const qsizetype end = buffer_.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer_.left(end).split('\n');
        const int status = lines[0].split(' ').value(1).toInt();
        qsizetype length = 0;
        bool chunked = false;
        QByteArray etag;
        for (const QByteArray& raw : lines) {
            const QByteArray line = raw.trimmed();
            const qsizetype colon = line.indexOf(':');
            const QByteArray name = line.left(colon).toLower(),
                             value = line.mid(colon + 1).trimmed();
            if (name == "content-length")
                length = value.toLongLong();
            else if (name == "transfer-encoding" && value.toLower() == "chunked")
                chunked = true;
            else if (name == "etag")
                etag = value;
        }
        QByteArray body;
        qsizetype used = end + 4;
        if (chunked) {
            for (;;) {
                const qsizetype lineEnd = buffer_.indexOf("\r\n", used);
                if (lineEnd < 0)
                    return;
                const qsizetype size = buffer_.mid(used, lineEnd - used).toLongLong(nullptr, 16);
                if (buffer_.size() < lineEnd + 2 + size + 2)
                    return;
                body += buffer_.mid(lineEnd + 2, size);
                used = lineEnd + 2 + size + 2;
                if (size == 0)
                    break;
            }
        } else {
            if (buffer_.size() < used + length)
                return;
            body = buffer_.mid(used, length);
            used += length;
        }
        buffer_.remove(0, used);
        const qint64 now = all_.clock_.elapsed();
        all_.latencies.push_back(now - askedAt_);
        if (askedAt_ >= Phones::kSettledMs)
            all_.settledLatencies.push_back(now - askedAt_);
        waiting_ = false;
        if (status == 200) {
            ++all_.status200;
            etag_ = etag;
            for (size_t i = seen_.size(); i < all_.watched.size(); ++i)
                seen_.push_back(false);
            for (size_t i = 0; i < all_.watched.size(); ++i) {
                Phones::Watched& w = all_.watched[i];
                if (!seen_[i] && body.contains("\"bib\":\"" + w.bib + "\"")) {
                    seen_[i] = true;
                    w.delays.push_back(now - w.postedAt);
                }
            }
        } else if (status == 304) {
            ++all_.status304;
        } else {
            ++all_.errors;
        }
        next_.start(static_cast<int>(std::max<qint64>(0, askedAt_ + 1000 - now)));
    }

    Phones& all_;
    quint16 port_;
    QSslSocket socket_;
    QTimer next_;
    QByteArray buffer_, etag_;
    qint64 askedAt_ = 0;
    bool waiting_ = false;
    std::vector<bool> seen_;
};

Phones::Phones(quint16 port, QByteArray path, int count, int seconds)
    : path_(std::move(path)), seconds_(seconds) {
    clock_.start();
    for (int i = 0; i < count; ++i)
        phones_.push_back(
            std::make_unique<Phone>(*this, port, QRandomGenerator::global()->bounded(1000)));
}

Phones::~Phones() = default;

void Phones::watch(const QByteArray& bib, qint64 postedAtMs) {
    watched.push_back({bib, postedAtMs, {}});
}

bool Phones::finished() const {
    return std::all_of(phones_.begin(), phones_.end(),
                       [](const std::unique_ptr<Phone>& p) { return p->finished(); });
}
