#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <memory>
#include <vector>

class Phone;

// Spectators' phones: each keeps one TLS connection to the front and asks for the page data
// once a second (with the ETag it has, as a browser revalidates), from a random moment of the
// first second on, until `seconds` are over. Each answer is searched for the results being
// watched, to learn when each phone first showed each of them.
class Phones : public QObject {
public:
    Phones(quint16 port, QByteArray path, int count, int seconds);
    ~Phones() override;

    // A result that became known to the server's writer at `postedAtMs` (clock()).
    void watch(const QByteArray& bib, qint64 postedAtMs);
    const QElapsedTimer& clock() const { return clock_; }
    bool finished() const;

    struct Watched {
        QByteArray bib;
        qint64 postedAt = 0;
        std::vector<qint64> delays; // per phone that showed it, ms after it was posted
    };
    std::vector<qint64> latencies; // ms from asking to the whole answer
    int status200 = 0, status304 = 0, errors = 0;
    std::vector<Watched> watched;
    // The same once every phone has connected (2,000 TLS handshakes in one second are a
    // burst of their own).
    static constexpr qint64 kSettledMs = 5000;
    std::vector<qint64> settledLatencies;

private:
    friend class Phone;
    QByteArray path_;
    int seconds_;
    QElapsedTimer clock_;
    std::vector<std::unique_ptr<Phone>> phones_;
};
