#include "LiveServer.h"

#include "GuardedTcpServer.h"
#include "LivePage.h"
#include "LiveRanking.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QUrlQuery>

namespace pistel::live {
namespace {

using Status = QHttpServerResponder::StatusCode;

QHttpServerResponse text(const QString& body, Status status = Status::Ok) {
    return QHttpServerResponse(QByteArrayLiteral("text/plain; charset=utf-8"), body.toUtf8(),
                               status);
}

std::optional<QString> headerValue(const QHttpServerRequest& req, const QByteArray& name) {
    for (const auto& [key, value] : req.headers()) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(value);
    }
    return std::nullopt;
}

QString header(const QHttpServerRequest& req, const QByteArray& name) {
    return headerValue(req, name).value_or(QString());
}

// The query's values, decoded; nothing when one is longer than any the workstation sends.
std::optional<QUrlQuery> values(const QHttpServerRequest& req) {
    const QUrlQuery q = req.query();
    for (const auto& [key, value] : q.queryItems(QUrl::FullyDecoded)) {
        if (key.size() > LiveServer::kMaxField || value.size() > LiveServer::kMaxField)
            return std::nullopt;
    }
    return q;
}

QString valueOf(const QUrlQuery& q, const char* key) {
    return q.queryItemValue(QString::fromLatin1(key), QUrl::FullyDecoded);
}

} // namespace

LiveServer::LiveServer(LiveStore& store, QString key, int idleMs)
    : store_(store), key_(std::move(key)), idleMs_(idleMs) {
    routes();
}

quint16 LiveServer::listen(const QHostAddress& address, quint16 port) {
    auto* tcp = new GuardedTcpServer(idleMs_, kMaxBody);
    if (!tcp->listen(address, port)) {
        delete tcp;
        return 0;
    }
    http_.bind(tcp); // the HTTP server owns it
    return tcp->serverPort();
}

QHttpServerResponse LiveServer::guarded(const std::function<QHttpServerResponse()>& write) {
    try {
        QHttpServerResponse response = write();
        if (!storeError_.isEmpty()) {
            qInfo("live store: writable again");
            storeError_.clear();
        }
        return response;
    } catch (const std::exception& e) {
        // Logged once per outage; the page keeps being served from what was last read.
        if (storeError_.isEmpty())
            qWarning("live store: cannot be written: %s", e.what());
        storeError_ = QString::fromUtf8(e.what());
        return text(
            QStringLiteral("エラー: 速報データを保存できません。しばらくして送り直してください "
                           "(store unavailable: %1)")
                .arg(storeError_),
            Status::ServiceUnavailable);
    }
}

void LiveServer::routes() {
    // The page's three files, read once.
    for (const auto& [path, file, type] :
         {std::tuple{"/", "index.html", "text/html; charset=utf-8"},
          std::tuple{"/live.css", "live.css", "text/css; charset=utf-8"},
          std::tuple{"/live.js", "live.js", "text/javascript; charset=utf-8"}}) {
        const QByteArray body = livePageFile(QString::fromLatin1(file));
        const QByteArray contentType(type);
        http_.route(QString::fromLatin1(path),
                    [body, contentType] { return QHttpServerResponse(contentType, body); });
    }
    http_.route(QStringLiteral("/data"),
                [this](const QHttpServerRequest& req) { return pageDataAnswer(req); });
    http_.route(QStringLiteral("/races"), [this] { return raceListAnswer(); });
    // Writes: the key and the values are checked first.
    const auto write = [this](Write handler) {
        return [this, handler](const QHttpServerRequest& req) {
            QUrlQuery query;
            if (auto refusal = writeRefusal(req, query))
                return std::move(*refusal);
            return (this->*handler)(req, query);
        };
    };
    http_.route(QStringLiteral("/settaikai.php"), write(&LiveServer::selectRace));
    http_.route(QStringLiteral("/sokuhoup.php"), write(&LiveServer::setMessageOrResult));
    http_.route(QStringLiteral("/SokuhoTextUpdate.php"), QHttpServerRequest::Method::Post,
                write(&LiveServer::applyBatchUpload));
    http_.route(QStringLiteral("/race.php"), QHttpServerRequest::Method::Post,
                write(&LiveServer::applyRaceState));
    http_.route(QStringLiteral("/startlist.php"), QHttpServerRequest::Method::Post,
                write(&LiveServer::setStartList));
}

bool LiveServer::mayWrite(const QHttpServerRequest& req) const {
    // The key header, which no web page in a browser can send to another site without a
    // preflight that this server never grants (a form or a text/plain POST cannot carry it).
    // With a key set the header must match it; without one, only this machine writes.
    const std::optional<QString> given = headerValue(req, "X-Pistel-Key");
    if (!given)
        return false;
    return key_.isEmpty() ? req.remoteAddress().isLoopback() : *given == key_;
}

std::optional<QHttpServerResponse> LiveServer::writeRefusal(const QHttpServerRequest& req,
                                                            QUrlQuery& query) const {
    if (!mayWrite(req))
        return text(QStringLiteral("エラー: 書き込みの鍵が違います (wrong key)"),
                    Status::Forbidden);
    const auto v = values(req);
    if (!v)
        return text(QStringLiteral("エラー: 値が長すぎます (value too long)"), Status::BadRequest);
    query = *v;
    return std::nullopt;
}

QHttpServerResponse LiveServer::pageDataAnswer(const QHttpServerRequest& req) {
    // Every phone asks about once a second: the answer is built once per change (and
    // again each second, for the latest finisher's highlight to end). A store that cannot
    // be read leaves the answer as it was last read.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QUrlQuery query = req.query();
    const QString code = valueOf(query, "code").left(kMaxField);
    const QString cls = valueOf(query, "class").left(kMaxField);
    const QString key = code.isEmpty() ? QString() : code + u'/' + cls;
    // A phone may ask for any competition: only as many answers are kept as it knows.
    if (!cached_.contains(key) && cached_.size() > 200)
        cached_.clear();
    Cached& c = cached_[key];
    try {
        const qint64 version = store_.version();
        if (version != c.version || now - c.at > 1000) {
            const QJsonObject d =
                key.isEmpty() ? pageData(store_, now) : pageData(store_, {code, cls}, now);
            c.data = QJsonDocument(d).toJson(QJsonDocument::Compact);
            c.etag = '"' +
                     QCryptographicHash::hash(c.data, QCryptographicHash::Sha1).toHex().left(16) +
                     '"';
            c.version = version;
            c.at = now;
        }
    } catch (const std::exception& e) {
        if (storeError_.isEmpty())
            qWarning("live store: cannot be read: %s", e.what());
        storeError_ = QString::fromUtf8(e.what());
        if (c.data.isEmpty())
            return text(QStringLiteral("エラー: 速報データを読めません (store unavailable)"),
                        Status::ServiceUnavailable);
    }
    // Any HTTP cache in front (nginx, a CDN) may serve it for a second.
    const bool unchanged = header(req, "If-None-Match").toLatin1() == c.etag;
    QHttpServerResponse response =
        unchanged ? QHttpServerResponse(Status::NotModified)
                  : QHttpServerResponse(QByteArrayLiteral("application/json"), c.data);
    // The page learns the server's clock from it (a cache in front sets its own). Made
    // once a second: formatting it for every phone's request would cost more than the rest.
    const qint64 second = now / 1000;
    if (second != dateSecond_) {
        dateSecond_ = second;
        date_ = QLocale::c()
                    .toString(QDateTime::fromSecsSinceEpoch(second, Qt::UTC),
                              QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                    .toLatin1();
    }
    response.setHeader(QByteArrayLiteral("Date"), date_);
    response.setHeader(QByteArrayLiteral("ETag"), c.etag);
    response.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("public, max-age=1"));
    // nginx in front (on this machine) keeps it to the end of the current second only:
    // its cache counts whole seconds, and max-age=1 would let an answer live up to two.
    response.setHeader(QByteArrayLiteral("X-Accel-Expires"), '@' + QByteArray::number(second));
    return response;
}

QHttpServerResponse LiveServer::raceListAnswer() {
    try {
        QHttpServerResponse response(
            QByteArrayLiteral("application/json"),
            QJsonDocument(raceList(store_)).toJson(QJsonDocument::Compact));
        response.setHeader(QByteArrayLiteral("Cache-Control"),
                           QByteArrayLiteral("public, max-age=5"));
        return response;
    } catch (const std::exception&) {
        return text(QStringLiteral("エラー: 速報データを読めません (store unavailable)"),
                    Status::ServiceUnavailable);
    }
}

QHttpServerResponse LiveServer::selectRace(const QHttpServerRequest&, const QUrlQuery& query) {
    const auto race = parseRaceKey(valueOf(query, "tcode"));
    if (!race)
        return text(QStringLiteral("エラー: レースの鍵がありません (unknown or missing tcode)"),
                    Status::BadRequest);
    return guarded([&] {
        store_.setRace(*race);
        return text(
            race->code.isEmpty()
                ? QStringLiteral("OK: 速報画面を初期化しました")
                : QStringLiteral("OK: レース %1 クラス %2").arg(race->code, race->classCode));
    });
}

QHttpServerResponse LiveServer::setMessageOrResult(const QHttpServerRequest&,
                                                   const QUrlQuery& query) {
    if (query.hasQueryItem(QStringLiteral("message"))) {
        const QString message = valueOf(query, "message");
        return guarded([&] {
            store_.setMessage(message == QLatin1String("erase") ? QString() : message);
            return text(message == QLatin1String("erase")
                            ? QStringLiteral("OK: メッセージを消去しました")
                            : QStringLiteral("OK: メッセージ"));
        });
    }
    const auto race = parseRaceKey(valueOf(query, "tcode"));
    const QString bib = valueOf(query, "zek");
    const QString flag = valueOf(query, "fl2");
    if (!race || race->code.isEmpty() || bib.isEmpty() || bib.size() > 4 ||
        (flag != QLatin1String("F") && flag != QLatin1String("N")))
        return text(QStringLiteral("エラー: tcode, zek, fl2 (F/N) が必要です (missing field)"),
                    Status::BadRequest);
    return guarded([&] {
        if (flag == QLatin1String("N")) {
            store_.removeResult(race->code, bib);
            return text(QStringLiteral("OK: %1 を削除しました").arg(bib));
        }
        store_.setResult(race->code, {bib,
                                      {},
                                      {},
                                      race->classCode,
                                      valueOf(query, "st1"),
                                      valueOf(query, "st2"),
                                      valueOf(query, "ttime"),
                                      valueOf(query, "timeod"),
                                      valueOf(query, "altime"),
                                      0});
        return text(QStringLiteral("OK: %1 %2").arg(bib, valueOf(query, "ttime")));
    });
}

QHttpServerResponse LiveServer::applyBatchUpload(const QHttpServerRequest& req, const QUrlQuery&) {
    if (req.body().size() > kMaxBody)
        return text(QStringLiteral("エラー: ファイルが大きすぎます (body too large)"),
                    Status::PayloadTooLarge);
    const auto file =
        multipartFile(header(req, "Content-Type").toLatin1(), req.body(), QByteArrayLiteral("fl"));
    const auto batch = file ? parseBatchFile(*file) : std::nullopt;
    if (!batch)
        return text(QStringLiteral("エラー: 速報ファイルの形式が違います "
                                   "(malformed upload)"),
                    Status::BadRequest);
    return guarded([&] {
        const int applied = store_.applyBatch(*batch);
        return text(QStringLiteral("OK: %1 行を反映、%2 行をスキップしました "
                                   "(%1 applied, %2 skipped)")
                        .arg(applied)
                        .arg(batch->skipped));
    });
}

QHttpServerResponse LiveServer::applyRaceState(const QHttpServerRequest& req,
                                               const QUrlQuery& query) {
    const QString code = valueOf(query, "code");
    const auto state = parseRaceState(req.body());
    if (code.isEmpty() || !state)
        return text(QStringLiteral("エラー: code と seq, now, run が必要です "
                                   "(missing code, seq, now or run)"),
                    Status::BadRequest);
    return guarded([&] {
        if (!store_.applyRaceState(code, *state, QDateTime::currentMSecsSinceEpoch()))
            return text(QStringLiteral("エラー: より新しい状態があります。古い状態は"
                                       "反映しません (stale state)"),
                        Status::Conflict);
        return text(QStringLiteral("OK: 結果 %1、状態 %2、コース上 %3、次 %4、"
                                   "%5 行をスキップしました")
                        .arg(state->results.size())
                        .arg(state->statuses.size())
                        .arg(state->course.size())
                        .arg(state->next.size())
                        .arg(state->skipped));
    });
}

QHttpServerResponse LiveServer::setStartList(const QHttpServerRequest& req,
                                             const QUrlQuery& query) {
    if (req.body().size() > kMaxBody)
        return text(QStringLiteral("エラー: 大きすぎます (body too large)"),
                    Status::PayloadTooLarge);
    if (valueOf(query, "code").isEmpty())
        return text(QStringLiteral("エラー: code が必要です (missing code)"), Status::BadRequest);
    int skipped = 0;
    const auto entries = parseStartList(req.body(), &skipped);
    return guarded([&] {
        store_.setStartList(valueOf(query, "code"), entries);
        if (query.hasQueryItem(QStringLiteral("title")))
            store_.setTitle(valueOf(query, "code"), valueOf(query, "title"));
        return text(
            QStringLiteral("OK: %1 人、%2 行をスキップしました").arg(entries.size()).arg(skipped));
    });
}

} // namespace pistel::live
