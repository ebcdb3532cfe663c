#include "LiveRanking.h"

#include "results/Ranking.h"

#include <QJsonArray>
#include <QSet>
#include <algorithm>

namespace pistel::live {

qint64 resultHundredths(const QString& timeod) {
    return hundredthsOf(timeod); // the workstation's own reading of a stored time
}

qint64 shownHundredths(const QString& shown) {
    return shortTimeHundredths(shown); // as the workstation shortens run times
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
    return pageData(store, store.race(), nowMs);
}

QJsonArray raceList(const LiveStore& store) {
    QJsonArray races;
    for (const auto& [code, title] : store.competitions()) {
        QJsonArray classes;
        for (const QString& cls : store.classesOf(code)) {
            const QString name = store.className(cls);
            classes.append(QJsonObject{{QStringLiteral("code"), cls},
                                       {QStringLiteral("name"), name.isEmpty() ? cls : name}});
        }
        races.append(QJsonObject{{QStringLiteral("code"), code},
                                 {QStringLiteral("title"), title.isEmpty() ? code : title},
                                 {QStringLiteral("classes"), classes}});
    }
    return races;
}

QJsonObject pageData(const LiveStore& store, const RaceKey& race, qint64 nowMs) {
    QList<ResultRow> rows =
        race.code.isEmpty() ? QList<ResultRow>{} : store.results(race.code, race.classCode);
    // Non-finishers are listed with their status, never ranked.
    const QList<LiveStore::StatusRow> statuses = race.code.isEmpty()
                                                     ? QList<LiveStore::StatusRow>{}
                                                     : store.statuses(race.code, race.classCode);
    QJsonArray out;
    QSet<QString> withStatus;
    for (const LiveStore::StatusRow& s : statuses) {
        withStatus.insert(s.bib);
        out.append(QJsonObject{{QStringLiteral("bib"), s.bib},
                               {QStringLiteral("name"), s.name},
                               {QStringLiteral("team"), s.team},
                               {QStringLiteral("run"), s.run},
                               {QStringLiteral("status"), s.code}});
    }
    rows.removeIf([&](const ResultRow& r) { return withStatus.contains(r.bib); });
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
        if (x < 0) {      // then by their run-1 time, those still to run 2 in the order it gives
            const qint64 p = shownHundredths(a.time1), q = shownHundredths(b.time1);
            if (p != q)
                return q < 0 || (p >= 0 && p < q);
        }
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
    // During run 2 the run-1 ranking stays on the page, from the run-1 times.
    QJsonArray run1;
    if (secondRun) {
        QList<ResultRow> firsts;
        for (const ResultRow& r : rows)
            if (shownHundredths(r.time1) >= 0)
                firsts.append(r);
        std::stable_sort(firsts.begin(), firsts.end(), [](const ResultRow& a, const ResultRow& b) {
            const qint64 x = shownHundredths(a.time1), y = shownHundredths(b.time1);
            return x != y ? x < y : a.bib < b.bib;
        });
        qint64 best = -1, last = -1;
        int place = 0;
        for (int i = 0; i < firsts.size(); ++i) {
            const ResultRow& r = firsts[i];
            const qint64 h = shownHundredths(r.time1);
            if (h != last)
                place = i + 1;
            last = h;
            if (best < 0)
                best = h;
            run1.append(
                QJsonObject{{QStringLiteral("rank"), place},
                            {QStringLiteral("bib"), r.bib},
                            {QStringLiteral("name"), r.name},
                            {QStringLiteral("team"), r.team},
                            {QStringLiteral("result"), r.time1},
                            {QStringLiteral("gap"), h > best ? gapText(h - best) : QString()}});
        }
    }
    const QString className = store.className(race.classCode);
    return QJsonObject{
        {QStringLiteral("version"), store.version()},
        {QStringLiteral("title"), store.title(race.code)},
        {QStringLiteral("code"), race.code},
        {QStringLiteral("class"), className.isEmpty() ? race.classCode : className},
        {QStringLiteral("classCode"), race.classCode},
        {QStringLiteral("message"), store.message()},
        {QStringLiteral("latest"), latest},
        {QStringLiteral("results"), list},
        {QStringLiteral("run1"), run1},
        {QStringLiteral("out"), out},
    };
}

} // namespace pistel::live
