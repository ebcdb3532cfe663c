#pragma once

#include "LiveStore.h"

#include <QHash>
#include <QHostAddress>
#include <QHttpServer>
#include <QString>
#include <QUrlQuery>
#include <functional>
#include <optional>

namespace pistel::live {

// The live results server: the three endpoints the workstation sends to, a start list
// upload, the page and its data.
//   settaikai.php?tcode=KEY&tdummy=...        the race and class the page shows
//   sokuhoup.php?message=TEXT&...              the message line ("erase" removes it)
//   sokuhoup.php?tcode=KEY&zek=BIB&...&fl2=F|N one competitor's result, or its removal
//   SokuhoTextUpdate.php (POST, multipart)     the batch update file, parsed as data
//   startlist.php?code=TCODE&title=... (POST)  competitors as "bib,name,team,class" lines
//   race.php?code=TCODE (POST)                 the workstation's whole race state: results,
//                                              statuses, on course, next to start
//   /  and  /data[?code=TCODE&class=CLS]       the page and what it shows (by default the race
//                                              the workstation chose)
//   /races                                     the competitions and classes to choose from
// A write carries the header X-Pistel-Key. With a key set it must match; without one, writes
// come from loopback only. Race states carry the workstation's session: "seq" orders them
// within one, and a stale one is answered 409.
// A store that cannot be written answers 503 (logged once); the page data is served from
// what was last read, with an ETag and a one-second public Cache-Control, 304 when unchanged.
class LiveServer {
public:
    static constexpr qsizetype kMaxBody = 1 << 20; // bytes
    static constexpr qsizetype kMaxField = 200;    // characters of one query value
    static constexpr int kIdleMs = 30000;          // an idle connection is closed after this

    LiveServer(LiveStore& store, QString key, int idleMs = kIdleMs);
    // Listens on `address`:`port` (0: any free port); returns the port, 0 on failure.
    quint16 listen(const QHostAddress& address, quint16 port);

private:
    void routes();
    bool mayWrite(const QHttpServerRequest& req) const;
    // Why a write is refused (the key, a value too long), or nothing with `query` set.
    std::optional<QHttpServerResponse> writeRefusal(const QHttpServerRequest& req,
                                                    QUrlQuery& query) const;
    // One function a route.
    QHttpServerResponse pageDataAnswer(const QHttpServerRequest& req);
    QHttpServerResponse raceListAnswer();
    using Write = QHttpServerResponse (LiveServer::*)(const QHttpServerRequest&, const QUrlQuery&);
    QHttpServerResponse selectRace(const QHttpServerRequest& req, const QUrlQuery& query);
    QHttpServerResponse setMessageOrResult(const QHttpServerRequest& req, const QUrlQuery& query);
    QHttpServerResponse applyBatchUpload(const QHttpServerRequest& req, const QUrlQuery& query);
    QHttpServerResponse applyRaceState(const QHttpServerRequest& req, const QUrlQuery& query);
    QHttpServerResponse setStartList(const QHttpServerRequest& req, const QUrlQuery& query);
    // Runs a write against the store: its answer, or 503 when the store fails.
    QHttpServerResponse guarded(const std::function<QHttpServerResponse()>& write);
    LiveStore& store_;
    QString key_;
    int idleMs_;
    QHttpServer http_;
    // The page data as last built, per chosen competition and class ("" : the workstation's).
    struct Cached {
        QByteArray data;
        QByteArray etag;
        qint64 version = -1;
        qint64 at = 0;
    };
    QHash<QString, Cached> cached_;
    QString storeError_;     // why the store last failed; empty while it works
    qint64 dateSecond_ = -1; // the second date_ tells
    QByteArray date_;
};

} // namespace pistel::live
