#include "Race.h"

#include "ChangeHistory.h"
#include "data/Query.h"
#include "data/SqlValue.h"

#include <set>

namespace pistel {

std::vector<int> Race::classes() const {
    std::set<int, std::greater<>> found;
    for (const Competitor& c : competitors)
        if (!c.excluded())
            found.insert(c.class1);
    return {found.begin(), found.end()};
}

QString Race::className(int cls) const {
    return classNames.value(cls, QStringLiteral("クラス %1").arg(cls));
}

bool readRaceInfo(odbc::Connection& db, const QString& code, RaceInfo& info) {
    Query q(db, QStringLiteral("raceInfo"));
    q.setSql({"select tcode,tname,TPLACE,GAME,HON,tdate,TCLASS,SEX from taikai where tcode = '" +
              sqlValue(code) + "'"});
    q.open();
    if (q.recordCount() == 0)
        return false;
    info = {q.text(0, 0), q.text(0, 1), q.text(0, 2), q.text(0, 5),
            q.text(0, 3), q.text(0, 4), q.text(0, 6), q.text(0, 7)};
    return true;
}

bool readRace(odbc::Connection& db, const QString& code, Race& race) {
    race = {};
    if (!readRaceInfo(db, code, race.info))
        return false;
    Query q(db, QStringLiteral("race"));

    q.setSql({"select run,item,value from race_data where tcode = '" + sqlValue(code) + "'"});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r)
        race.raceData.insert(q.text(r, 0) + u'|' + q.text(r, 1), q.text(r, 2));

    q.setSql({"select cname, ccode from cs_master"});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r) {
        bool ok = false;
        const int cls = q.text(r, 1).trimmed().toInt(&ok);
        if (ok)
            race.classNames.insert(cls, q.text(r, 0));
    }

    q.setSql({"select scope,published_at,digest from publication where tcode = '" + sqlValue(code) +
              "'"});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r)
        race.published.insert(
            q.text(r, 0),
            {QDateTime::fromString(q.text(r, 1).left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             q.text(r, 2)});

    // The latest draw of each class, as the run-1 start list states it.
    q.setSql({"select d.class1,d.method,d.seed from start_draw d where d.tcode = '" +
              sqlValue(code) +
              "' and d.id = (select max(id) from start_draw e where e.tcode = "
              "d.tcode and e.class1 = d.class1)"});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r)
        race.draws.insert(q.text(r, 0).toInt(), {q.text(r, 1), q.text(r, 2)});

    q.setSql({"select r.zek,r.name,r.team,r.st1,r.st2,r.class1,r.dropm,r.sttime,r.altime,r.ttime,"
              "r.FL,r.sttime2,r.altime2,r.ttime2,r.FL2,r.totaltime,coalesce(d.birth_year,''),",
              "coalesce(d.nation,''),coalesce(d.licence,''),coalesce(d.points,'') from result r",
              "left join entry_detail d on d.tcode = r.tcode and d.zek = r.zek",
              "where r.tcode = '" + sqlValue(code) + "' order by r.zek"});
    q.open();
    const QHash<QString, RowSnapshot> snapshots = readSnapshots(db, code);
    const ManualTimes manual = readManualTimes(db, code, snapshots);
    race.competitors.reserve(static_cast<size_t>(q.recordCount()));
    for (int r = 0; r < q.recordCount(); ++r) {
        Competitor c;
        c.zek = q.text(r, 0);
        c.name = q.text(r, 1);
        c.team = q.text(r, 2);
        c.st1 = q.text(r, 3).toInt();
        c.st2 = q.text(r, 4).toInt();
        c.class1 = q.text(r, 5).toInt();
        c.dropm = q.text(r, 6);
        for (int run = 0; run < 2; ++run) {
            c.start[run] = q.text(r, 7 + run * 4);
            c.finish[run] = q.text(r, 8 + run * 4);
            c.runTime[run] = q.text(r, 9 + run * 4);
            c.state[run] = q.text(r, 10 + run * 4);
            c.status[run] = snapshots.value(c.zek).status(run + 1);
            const QHash<QString, QString> marks = manual.value(c.zek);
            const QString n = run ? QStringLiteral("2") : QString();
            c.manualStart[run] = marks.contains("STTIME" + n);
            c.manualFinish[run] = marks.contains("ALTIME" + n);
            c.replaced[run] = marks.value("STTIME" + n) == QLatin1String(source::kReplacement) ||
                              marks.value("ALTIME" + n) == QLatin1String(source::kReplacement);
        }
        c.total = q.text(r, 15);
        c.birthYear = q.text(r, 16);
        c.nation = q.text(r, 17);
        c.licence = q.text(r, 18);
        c.points = q.text(r, 19);
        race.competitors.push_back(c);
    }
    return true;
}

} // namespace pistel
