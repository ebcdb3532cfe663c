#include "WebClient.h"

#include "LiveResults.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

namespace pistel {

void WebClient::withKey(QNetworkRequest& request) const {
    // The live results server accepts writes with the key it was given. The header goes out
    // even without a key (Qt drops an empty one): it marks the request as the workstation's
    // own write, which a web page in a browser cannot forge.
    request.setRawHeader("X-Pistel-Key", key.isEmpty() ? QByteArray("-") : key.toUtf8());
}

WebClient::WebClient(QObject* parent) : QObject(parent) {}

void WebClient::navigate(const QString& url) {
    QPointer<QNetworkReply> previous = loading_;
    QNetworkRequest request{QUrl(url, QUrl::StrictMode)};
    request.setTransferTimeout(timeoutMs);
    withKey(request);
    QNetworkReply* reply = manager_.get(request);
    loading_ = reply;
    if (previous)
        previous->abort(); // replaced by the newer request; its end is not shown
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::OperationCanceledError && loading_ != reply)
            return; // replaced
        const QString body = QString::fromUtf8(reply->readAll());
        emit pageShown(reply->error() == QNetworkReply::NoError
                           ? body
                           : reply->errorString() + QStringLiteral("\n\n") + body);
    });
}

void WebClient::pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void WebClient::postFile(const QString& url, const QByteArray& fileBytes) {
    const QByteArray boundary =
        "pistel" + QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    emit pageShown(post(url, multipartBody(boundary, fileBytes),
                        QByteArray("multipart/form-data; boundary=") + boundary));
}

QNetworkRequest WebClient::postRequest(const QString& url, const QByteArray& contentType) const {
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(timeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("User-Agent", "Mozilla/3.0 (compatible; Indy Library)");
    withKey(request);
    return request;
}

void WebClient::send(const QString& url, const QByteArray& body, const QByteArray& contentType,
                     const std::function<void(const QString&)>& done) {
    QNetworkReply* reply = manager_.post(postRequest(url, contentType), body);
    // Its answer is not waited for: an error (a server without this request) costs nothing.
    connect(reply, &QNetworkReply::finished, reply, [reply, done] {
        reply->deleteLater();
        if (done)
            done(reply->error() == QNetworkReply::NoError
                     ? QString()
                     : reply->errorString() + u' ' + QString::fromUtf8(reply->readAll()).trimmed());
    });
}

QString WebClient::post(const QString& url, const QByteArray& body, const QByteArray& contentType) {
    QNetworkReply* reply = manager_.post(postRequest(url, contentType), body);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        throw std::runtime_error(reply->errorString().toStdString());
    return QString::fromUtf8(reply->readAll());
}

} // namespace pistel
