#include "LiveSync.h"

#include "LiveRaceState.h"
#include "WebClient.h"
#include "WebCommands.h"
#include "data/AppState.h"
#include "data/Query.h"
#include "data/TDM1.h"

#include <QDateTime>
#include <QPointer>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <utility>

namespace pistel {

LiveSync::LiveSync(AppState& app, TDM1& dm, WebCommands& web, WebClient& client, QObject* parent)
    : QObject(parent), app_(app), dm_(dm), web_(web), client_(client) {
    delay_.setSingleShot(true);
    delay_.setInterval(kDelayMs);
    connect(&delay_, &QTimer::timeout, this, [this] { sendNow(); });
    check_.setInterval(kCheckMs);
    connect(&check_, &QTimer::timeout, this, [this] { sendNow(); });
    check_.start();
}

bool LiveSync::active() const {
    return web_.uploadTarget != 0 && web_.realTime == 1 && !app_.competitionCode.isEmpty() &&
           (app_.currentRun == u"1" || app_.currentRun == u"2");
}

void LiveSync::changed() {
    scoreStale_ = true;
    if (active() && !delay_.isActive())
        delay_.start();
}

void LiveSync::startListChanged() {
    startListAt_ = 0;
    changed();
}

void LiveSync::sendNow(bool always) {
    if (!active() || (databaseUp && !databaseUp()) || !dm_.Db1.isOpen())
        return;
    if (reader_.busy()) {
        readAgainAlways_ = readAgainAlways_ || always;
        reader_.readAgainAfter([this] { sendNow(std::exchange(readAgainAlways_, false)); });
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString code = app_.competitionCode;
    const bool startList = code != code_ || always || now - startListAt_ > kStartListMs;
    seq_ = std::max(seq_ + 1, now); // grows across restarts of the workstation too
    const int run = app_.isRun1() ? 1 : 2;
    // The points and official lines read the whole competition: made again only when the race
    // state changed, a change was told, or everything goes.
    const bool score = always || scoreStale_ || code != code_;
    scoreStale_ = false;
    auto read = std::make_shared<Read>();
    read->withStartList = startList;
    reader_.read(
        dm_.Db1,
        [read, code, run, seq = seq_, time = QTime::currentTime(), startList, score,
         scored = scoredState_](odbc::Connection& db) {
            Query q(db, QStringLiteral("QliveSync"));
            if (startList)
                read->startList = startListBody(q, code);
            read->state = raceStateBody(q, code, run, seq, time);
            if (score || read->state.mid(read->state.indexOf("\nrun,")) != scored) {
                read->scoreLines = pointsAndOfficialLines(db, code, run).toUtf8();
                read->scored = true;
            }
        },
        [this, read, code, now, always](const QString& error, bool) {
            readDone(*read, code, now, always, error);
        });
}

void LiveSync::readDone(const Read& read, const QString& code, qint64 at, bool always,
                        const QString& error) {
    if (!error.isEmpty()) {
        // The database is out of reach: the window shows that already; try again later, with
        // the points made afresh.
        scoreStale_ = true;
        sent(QStringLiteral("データベースを読めません: ") + error);
        return;
    }
    const QString where =
        QStringLiteral("?code=") + QString::fromLatin1(QUrl::toPercentEncoding(code));
    if (read.withStartList) {
        client_.send(web_.baseUrl + QStringLiteral("startlist.php") + where, read.startList,
                     "text/plain; charset=utf-8", nullptr);
        startListAt_ = at;
    }
    const QByteArray race = read.state.mid(read.state.indexOf("\nrun,"));
    if (read.scored) {
        scoreLines_ = read.scoreLines;
        scoredState_ = race;
    }
    const QByteArray state = read.state + scoreLines_;
    // The lines up to the time (session, seq, now) are the stamp; the rest changes only with
    // the race.
    const QByteArray content = state.mid(state.indexOf("\nrun,"));
    if (!always && code == code_ && content == lastState_ && at - lastSentAt_ < kResendMs)
        return;
    code_ = code;
    lastState_ = content;
    lastSentAt_ = at;
    client_.send(web_.baseUrl + QStringLiteral("race.php") + where, state,
                 "text/plain; charset=utf-8",
                 [self = QPointer<LiveSync>(this)](const QString& sendError) {
                     if (self)
                         self->sent(sendError);
                 });
}

void LiveSync::sent(const QString& error) {
    if (!error.isEmpty()) {
        // Sent again at the next look, with the start list: the server may have restarted
        // without its data.
        lastState_.clear();
        startListAt_ = 0;
    }
    if (error == error_)
        return;
    error_ = error;
    emit healthChanged(
        error.isEmpty()
            ? QStringLiteral("速報の自動送信: 送信を再開しました。")
            : QStringLiteral("速報の自動送信: 送れません。%1（次の変更で再送します）").arg(error));
}

} // namespace pistel
