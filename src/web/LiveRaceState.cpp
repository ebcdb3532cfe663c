#include "LiveRaceState.h"

#include "LiveResults.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "results/ClassScore.h"
#include "results/Expected.h"
#include "results/Publication.h"
#include "results/Ranking.h"

#include <QHash>
#include <QSet>
#include <QUuid>

namespace pistel {
namespace {
QString field(const QString& text) {
    // A comma would split the line; names and teams keep an ideographic one instead.
    return QString(text).replace(QLatin1Char(','), QStringLiteral("、"));
}
} // namespace

QByteArray startListBody(Query& q, const QString& code) {
    q.setSql({"select zek,name,team,class1 from result where tcode='" + sqlValue(code) + "'",
              "and dropm <> '9' order by class1 desc, st1"});
    q.open();
    QString out;
    for (int r = 0; r < q.recordCount(); ++r)
        out += webBib(q.text(r, 0)) + u',' + field(q.text(r, 1)) + u',' + field(q.text(r, 2)) +
               u',' + QStringLiteral("%1").arg(q.text(r, 3).toInt(), 3, 10, QLatin1Char('0')) +
               u'\n';
    q.close();
    return out.toUtf8();
}

const QString& uploadSession() {
    static const QString session = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return session;
}

QByteArray raceStateBody(Query& q, const QString& code, int run, qint64 seq, const QTime& now) {
    QString out = QStringLiteral("session,%1\nseq,%2\nnow,%3\nrun,%4\n")
                      .arg(uploadSession())
                      .arg(seq)
                      .arg(now.toString(QStringLiteral("HH:mm:ss.zzz")))
                      .arg(run);
    q.setSql({"select zek,run,code from run_status where tcode='" + sqlValue(code) +
              "' order by run, zek"});
    q.open();
    QSet<QString> withStatus[2];
    for (int r = 0; r < q.recordCount(); ++r) {
        const int statusRun = q.text(r, 1).toInt();
        withStatus[statusRun == 2 ? 1 : 0].insert(q.text(r, 0));
        out += QStringLiteral("status,") + webBib(q.text(r, 0)) + u',' + q.text(r, 1) + u',' +
               q.text(r, 2) + u'\n';
    }
    q.close();
    q.setSql({"select zek,ttime,ttime2,FL,FL2,totaltime,altime,altime2,sttime,sttime2,class1,dropm "
              "from result where tcode='" +
                  sqlValue(code) + "'",
              run == 2 ? "order by class1 desc, st2, zek" : "order by class1 desc, st1, zek"});
    q.open();
    QHash<QString, int> nextOfClass;
    const QSet<QString>& outOfRun = withStatus[run - 1];
    for (int r = 0; r < q.recordCount(); ++r) {
        auto v = [&](int column) { return q.text(r, column); };
        const CompetitorTimes row{v(0), v(1), v(2), v(3), v(4), v(5), v(6), v(7)};
        const QString bib = webBib(row.zek);
        const bool finished2 = row.fl2 == u"F", finished1 = row.fl == u"F";
        if (finished1 || finished2) {
            const LiveTimes t = liveTimes(row, finished2);
            out += QStringLiteral("result,") + bib + u',' + t.time1 + u',' + t.time2 + u',' +
                   t.ttime + u',' + t.timeod + u',' + t.altime + u'\n';
        }
        // Forerunners, those who finished this run and those with a status in it are neither
        // on course nor next.
        if (v(11) == u"9" || outOfRun.contains(row.zek) || (run == 2 ? finished2 : finished1))
            continue;
        const QString start = run == 2 ? v(9) : v(8);
        const QString finish = run == 2 ? row.altime2 : row.altime;
        if (!start.isEmpty() && finish.isEmpty()) {
            out += QStringLiteral("course,") + bib + u',' + start + u'\n';
        } else if (start.isEmpty() &&
                   expected::inRun(run, v(11), row.fl, withStatus[0].contains(row.zek),
                                   outOfRun.contains(row.zek))) {
            int& count = nextOfClass[v(10)];
            if (count++ < 3)
                out += QStringLiteral("next,") + bib + u'\n';
        }
    }
    q.close();
    return out.toUtf8();
}

QString pointsAndOfficialLines(odbc::Connection& db, const QString& code, int run) {
    Race race;
    if (!readRace(db, code, race))
        return {};
    QString out;
    if (const std::optional<PointsRule> rule = pointsRule(race))
        for (int cls : race.classes())
            if (const auto score = scoreClass(classMembers(race, cls), *rule))
                for (auto it = score->racePoints.cbegin(); it != score->racePoints.cend(); ++it)
                    out += QStringLiteral("points,") + webBib(it.key()) + u',' +
                           pointsText(it.value()) + u',' +
                           pointsText(score->finalPoints(it.key())) + u'\n';
    // The page says official as the list of the run in progress does.
    if (const auto since = officialSince(race, run == 1 ? PublishScope::Run1 : PublishScope::Race))
        out += QStringLiteral("official,") + since->toString(QStringLiteral("yyyy-MM-dd HH:mm")) +
               u'\n';
    return out;
}

} // namespace pistel
