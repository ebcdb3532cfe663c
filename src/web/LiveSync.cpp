#include "LiveSync.h"

#include "LiveRaceState.h"
#include "WebClient.h"
#include "WebCommands.h"
#include "data/AppState.h"
#include "data/TDM1.h"

#include <QDateTime>
#include <QPointer>
#include <QUrl>
#include <algorithm>

namespace pistel {

LiveSync::LiveSync(AppState& app, TDM1& dm, WebCommands& web, WebClient& client, QObject* parent)
    : QObject(parent), app_(app), web_(web), client_(client),
      query_(dm.Db1, QStringLiteral("QliveSync")) {
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
    if (!active() || (databaseUp && !databaseUp()))
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString code = app_.competitionCode;
    const QString where =
        QStringLiteral("?code=") + QString::fromLatin1(QUrl::toPercentEncoding(code));
    QByteArray state;
    try {
        if (code != code_ || always || now - startListAt_ > kStartListMs) {
            client_.send(web_.baseUrl + QStringLiteral("startlist.php") + where,
                         startListBody(query_, code), "text/plain; charset=utf-8", nullptr);
            startListAt_ = now;
        }
        seq_ = std::max(seq_ + 1, now); // grows across restarts of the workstation too
        const int run = app_.isRun1() ? 1 : 2;
        state = raceStateBody(query_, code, run, seq_, QTime::currentTime());
        const QByteArray race = state.mid(state.indexOf("\nrun,"));
        if (always || scoreStale_ || code != code_ || race != scoredState_) {
            scoreLines_ = pointsAndOfficialLines(query_.connection(), code, run).toUtf8();
            scoredState_ = race;
            scoreStale_ = false;
        }
        state += scoreLines_;
    } catch (const std::exception& e) {
        // The database is out of reach: the window shows that already; try again later.
        sent(QStringLiteral("データベースを読めません: ") + QString::fromUtf8(e.what()));
        return;
    }
    // The lines up to the time (session, seq, now) are the stamp; the rest changes only with
    // the race.
    const QByteArray content = state.mid(state.indexOf("\nrun,"));
    if (!always && code == code_ && content == lastState_ && now - lastSentAt_ < kResendMs)
        return;
    code_ = code;
    lastState_ = content;
    lastSentAt_ = now;
    client_.send(web_.baseUrl + QStringLiteral("race.php") + where, state,
                 "text/plain; charset=utf-8",
                 [self = QPointer<LiveSync>(this)](const QString& error) {
                     if (self)
                         self->sent(error);
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
