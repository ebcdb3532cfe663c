#include "LiveRanking.h"

#include "results/Ranking.h"

#include <QJsonArray>
#include <QSet>
#include <algorithm>
#include <functional>

namespace pistel::live {

QJsonObject pageData(const LiveStore& store, qint64 nowMs) {
    // Until the operator chooses a race for the page, it follows the class racing now.
    return pageData(store, store.raceChosen() ? store.race() : store.racingNow(), nowMs);
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

namespace {

// A competitor still listed as on course this long after the start has surely finished or
// stopped; the operator's status has not arrived yet.
constexpr qint64 kOnCourseMs = 15 * 60 * 1000;

// Ranks `rows` by `time` (hundredths, -1 none): ties share a rank (1, 1, 3), the gap is to the
// leader; rows without a time follow unranked in the order they came.
QJsonArray ranked(const QList<ResultRow>& rows, const std::function<qint64(const ResultRow&)>& time,
                  const std::function<QString(const ResultRow&)>& shown,
                  const std::function<void(const ResultRow&, QJsonObject&)>& more = {}) {
    std::vector<const ResultRow*> pointers;
    for (const ResultRow& r : rows)
        pointers.push_back(&r);
    QJsonArray list;
    for (const Placed<ResultRow>& p :
         rankWithTies(pointers, time, [](const ResultRow& r) { return r.bib; })) {
        const ResultRow& r = *p.row;
        QJsonObject row{{QStringLiteral("rank"), p.rank},
                        {QStringLiteral("bib"), r.bib},
                        {QStringLiteral("name"), r.name},
                        {QStringLiteral("team"), r.team},
                        {QStringLiteral("result"), shown(r)},
                        {QStringLiteral("gap"), p.rank > 0 ? behindText(p.behind) : QString()}};
        if (more)
            more(r, row);
        list.append(row);
    }
    return list;
}

// Bib -> rank in one run, by the same rule as the lists.
QHash<QString, int> runRanks(const QList<ResultRow>& rows, QString ResultRow::*time) {
    std::vector<const ResultRow*> pointers;
    for (const ResultRow& r : rows)
        pointers.push_back(&r);
    QHash<QString, int> ranks;
    for (const Placed<ResultRow>& p : rankWithTies(
             pointers, [time](const ResultRow& r) { return shortTimeHundredths(r.*time); },
             [](const ResultRow& r) { return r.bib; }))
        if (p.rank > 0)
            ranks.insert(p.row->bib, p.rank);
    return ranks;
}

QJsonArray runnerList(const QList<LiveStore::Runner>& runners, bool withStart) {
    QJsonArray list;
    for (const LiveStore::Runner& r : runners) {
        QJsonObject o{{QStringLiteral("bib"), r.bib},
                      {QStringLiteral("name"), r.name},
                      {QStringLiteral("team"), r.team}};
        if (withStart)
            o[QStringLiteral("started")] = r.started;
        list.append(o);
    }
    return list;
}

} // namespace

QJsonObject pageData(const LiveStore& store, const RaceKey& race, qint64 nowMs) {
    const bool none = race.code.isEmpty();
    const QList<ResultRow> rows =
        none ? QList<ResultRow>{} : store.results(race.code, race.classCode);
    // Non-finishers are listed with their status, never ranked in that run or after it.
    const QList<LiveStore::StatusRow> statuses =
        none ? QList<LiveStore::StatusRow>{} : store.statuses(race.code, race.classCode);
    QJsonArray out;
    QSet<QString> outOfRun[2];
    for (const LiveStore::StatusRow& s : statuses) {
        outOfRun[s.run == 2 ? 1 : 0].insert(s.bib);
        out.append(QJsonObject{{QStringLiteral("bib"), s.bib},
                               {QStringLiteral("name"), s.name},
                               {QStringLiteral("team"), s.team},
                               {QStringLiteral("run"), s.run},
                               {QStringLiteral("status"), s.code}});
    }
    // Once run 2 has begun, a competitor who has not finished it has no result to rank
    // against two-run totals: they follow unranked, in run-1 order.
    const bool secondRun = (!none && store.currentRun(race.code) == 2) ||
                           std::any_of(rows.begin(), rows.end(),
                                       [](const ResultRow& r) { return !r.time2.isEmpty(); });
    QList<ResultRow> finals, firsts;
    for (const ResultRow& r : rows) {
        if (outOfRun[0].contains(r.bib))
            continue;
        if (shortTimeHundredths(r.time1) >= 0)
            firsts.append(r);
        if (!outOfRun[1].contains(r.bib))
            finals.append(r);
    }
    if (secondRun) // ordered by run 1 first, so that the unranked keep that order
        std::stable_sort(finals.begin(), finals.end(), [](const ResultRow& a, const ResultRow& b) {
            const qint64 x = shortTimeHundredths(a.time1), y = shortTimeHundredths(b.time1);
            return x != y ? (y < 0 || (x >= 0 && x < y)) : a.bib < b.bib;
        });
    // Each run's rank beside its time, and the points the workstation computed, as the lists.
    QList<ResultRow> seconds;
    for (const ResultRow& r : finals)
        if (!r.time2.isEmpty())
            seconds.append(r);
    const QHash<QString, int> rank1 = runRanks(firsts, &ResultRow::time1),
                              rank2 = runRanks(seconds, &ResultRow::time2);
    const auto points =
        none ? QHash<QString, std::pair<QString, QString>>{} : store.points(race.code);
    const QJsonArray list = ranked(
        finals,
        [secondRun](const ResultRow& r) {
            return secondRun && r.time2.isEmpty() ? -1 : hundredthsOf(r.timeod);
        },
        [](const ResultRow& r) { return r.ttime; },
        [&](const ResultRow& r, QJsonObject& row) {
            row[QStringLiteral("time1")] = r.time1;
            row[QStringLiteral("time2")] = r.time2;
            row[QStringLiteral("rank1")] = rank1.value(r.bib);
            row[QStringLiteral("rank2")] = rank2.value(r.bib);
            if (points.contains(r.bib)) {
                row[QStringLiteral("points")] = points[r.bib].first;
                row[QStringLiteral("finalPoints")] = points[r.bib].second;
            }
        });
    const QJsonArray run1 =
        secondRun ? ranked(
                        firsts, [](const ResultRow& r) { return shortTimeHundredths(r.time1); },
                        [](const ResultRow& r) { return r.time1; })
                  : QJsonArray{};
    // The latest finisher by finish time of day (a batch gives every row the same update
    // time), highlighted for a few seconds after it arrived.
    QString latest, latestFinish;
    qint64 latestAt = 0;
    for (const ResultRow& r : rows) {
        if (!r.altime.isEmpty() && (latest.isEmpty() || r.altime > latestFinish)) {
            latestFinish = r.altime;
            latest = r.bib;
            latestAt = r.updated;
        }
    }
    if (nowMs - latestAt > 8000)
        latest.clear();
    // On course: those the workstation last listed, unless their result or status came since.
    const int run = secondRun ? 2 : 1;
    QSet<QString> done = outOfRun[run - 1];
    for (const ResultRow& r : rows)
        if (!(run == 2 ? r.time2 : r.time1).isEmpty())
            done.insert(r.bib);
    QList<LiveStore::Runner> course =
        none ? QList<LiveStore::Runner>{} : store.onCourse(race.code, race.classCode);
    course.removeIf([&](const LiveStore::Runner& r) {
        return done.contains(r.bib) || nowMs - r.started > kOnCourseMs;
    });
    QList<LiveStore::Runner> next =
        none ? QList<LiveStore::Runner>{} : store.nextToStart(race.code, race.classCode);
    next.removeIf([&](const LiveStore::Runner& r) {
        return done.contains(r.bib) ||
               std::any_of(course.begin(), course.end(),
                           [&](const LiveStore::Runner& c) { return c.bib == r.bib; });
    });
    if (next.size() > 3)
        next.resize(3);
    const QString className = store.className(race.classCode);
    return QJsonObject{
        {QStringLiteral("version"), store.version()},
        {QStringLiteral("title"), store.title(race.code)},
        {QStringLiteral("code"), race.code},
        {QStringLiteral("class"), className.isEmpty() ? race.classCode : className},
        {QStringLiteral("classCode"), race.classCode},
        {QStringLiteral("message"), store.message()},
        {QStringLiteral("run"), run},
        {QStringLiteral("latest"), latest},
        {QStringLiteral("results"), list},
        {QStringLiteral("run1"), run1},
        {QStringLiteral("course"), runnerList(course, true)},
        {QStringLiteral("next"), runnerList(next, false)},
        {QStringLiteral("out"), out},
        // Unofficial until the workstation says the results shown are published.
        {QStringLiteral("official"), none ? QString() : store.officialSince(race.code)},
    };
}

} // namespace pistel::live
