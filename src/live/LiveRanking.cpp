#include "LiveRanking.h"

#include "results/Ranking.h"

#include <QJsonArray>
#include <algorithm>

namespace pistel::live {

qint64 resultHundredths(const QString& timeod) {
    return hundredthsOf(timeod); // the workstation's own reading of a stored time
}

QString gapText(qint64 h) {
    const qint64 seconds = h / 100;
    const QString fraction = QStringLiteral(".%1").arg(h % 100, 2, 10, QLatin1Char('0'));
    if (seconds < 60)
        return QStringLiteral("+%1").arg(seconds) + fraction;
    return QStringLiteral("+%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0')) +
           fraction;
}

QJsonObject pageData(const LiveStore& store, qint64 nowMs) {
    const RaceKey race = store.race();
    QList<ResultRow> rows =
        race.code.isEmpty() ? QList<ResultRow>{} : store.results(race.code, race.classCode);
    // Once run 2 has begun, the result so far of a competitor who has not finished it is their
    // run-1 time: it is not ranked against two-run totals.
    const bool secondRun = std::any_of(rows.begin(), rows.end(),
                                       [](const ResultRow& r) { return !r.time2.isEmpty(); });
    auto result = [secondRun](const ResultRow& r) {
        return secondRun && r.time2.isEmpty() ? -1 : resultHundredths(r.timeod);
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const ResultRow& a, const ResultRow& b) {
        const qint64 x = result(a), y = result(b);
        if ((x < 0) != (y < 0))
            return y < 0; // rows without a result last
        return x != y ? x < y : a.bib < b.bib;
    });
    QJsonArray list;
    qint64 leader = -1, previous = -1, latestAt = 0;
    int rank = 0;
    QString latest, latestFinish;
    for (int i = 0; i < rows.size(); ++i) {
        const ResultRow& r = rows[i];
        const qint64 h = result(r);
        if (h >= 0 && h != previous)
            rank = i + 1; // equal results share a rank
        previous = h;
        if (leader < 0 && h >= 0)
            leader = h;
        // The latest finisher by finish time of day (a batch gives every row the same update
        // time), highlighted while the change is fresh.
        if (!r.altime.isEmpty() && (latest.isEmpty() || r.altime > latestFinish)) {
            latestFinish = r.altime;
            latest = r.bib;
            latestAt = r.updated;
        }
        list.append(QJsonObject{
            {QStringLiteral("rank"), h >= 0 ? rank : 0},
            {QStringLiteral("bib"), r.bib},
            {QStringLiteral("name"), r.name},
            {QStringLiteral("team"), r.team},
            {QStringLiteral("time1"), r.time1},
            {QStringLiteral("time2"), r.time2},
            {QStringLiteral("result"), r.ttime},
            {QStringLiteral("gap"), h > leader && leader >= 0 ? gapText(h - leader) : QString()}});
    }
    // The latest finisher is highlighted for a few seconds.
    if (nowMs - latestAt > 8000)
        latest.clear();
    const QString className = store.className(race.classCode);
    return QJsonObject{
        {QStringLiteral("version"), store.version()},
        {QStringLiteral("title"), store.title(race.code)},
        {QStringLiteral("code"), race.code},
        {QStringLiteral("class"), className.isEmpty() ? race.classCode : className},
        {QStringLiteral("message"), store.message()},
        {QStringLiteral("latest"), latest},
        {QStringLiteral("results"), list},
    };
}

} // namespace pistel::live
