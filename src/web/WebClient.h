#pragma once

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <functional>

class QNetworkReply;

namespace pistel {

// The HTTP side of the live results: GET requests whose replies are shown to the operator
// (the last one replaces any still loading), and the one multipart POST. Every request has
// a time-out, and waiting never takes user input, so a slow server cannot freeze the window
// for long or let a second command start inside the first; received timer lines are still
// handled meanwhile.
class WebClient : public QObject {
    Q_OBJECT
public:
    explicit WebClient(QObject* parent = nullptr);

    int timeoutMs = 5000;
    QString key; // the live results server's write key, sent with every request; may be empty

    // Loads a page; the reply (or the error) arrives by pageShown.
    void navigate(const QString& url);
    // Waits `ms` with the window still handling timer lines, but no operator input.
    void pause(int ms);
    // Posts a file part and waits for the reply, which is shown like a page's; throws
    // std::runtime_error on failure.
    void postFile(const QString& url, const QByteArray& fileBytes);
    // Posts `body` as it is and waits; returns the reply's text, throws on failure.
    QString post(const QString& url, const QByteArray& body, const QByteArray& contentType);
    // Posts `body` without waiting for the reply (within the time-out it is dropped with its
    // connection); for a request whose answer changes nothing the operator does. `done`, when
    // given, learns the outcome: empty on success, else why it failed.
    void send(const QString& url, const QByteArray& body, const QByteArray& contentType,
              const std::function<void(const QString& error)>& done = nullptr);

signals:
    void pageShown(const QString& text);

private:
    void withKey(QNetworkRequest& request) const;
    QNetworkRequest postRequest(const QString& url, const QByteArray& contentType) const;

    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> loading_;
};

} // namespace pistel
