#include "Run2Order.h"

#include "OfficeBatch.h"
#include "OfficeHistory.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "results/Ranking.h"

#include <algorithm>

namespace pistel {

QStringList run2StartOrder(std::vector<Run1Standing> standings, const Run2Rules& rules) {
    // Ties are broken by bib as the rules say; bibs compare as numbers.
    const auto bibBefore = [&](const Run1Standing& a, const Run1Standing& b) {
        return rules.lowerBibFirst ? a.bib.toInt() < b.bib.toInt() : a.bib.toInt() > b.bib.toInt();
    };
    std::vector<Run1Standing> ranked, others;
    for (const Run1Standing& s : standings)
        (s.hundredths >= 0 && !s.status ? ranked : others).push_back(s);
    // Rank order: faster first, ties by the rules' bib order.
    std::sort(ranked.begin(), ranked.end(), [&](const Run1Standing& a, const Run1Standing& b) {
        return a.hundredths != b.hundredths ? a.hundredths < b.hundredths : bibBefore(a, b);
    });
    // Those ranked within the first `reversed`: everybody as fast as the one on that place.
    size_t group = std::min<size_t>(ranked.size(), std::max(rules.reversed, 0));
    while (group > 0 && group < ranked.size() &&
           ranked[group].hundredths == ranked[group - 1].hundredths)
        ++group;
    // The group reversed: the slowest first; tied competitors keep the rules' bib order.
    std::stable_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(group),
                     [&](const Run1Standing& a, const Run1Standing& b) {
                         return a.hundredths != b.hundredths ? a.hundredths > b.hundredths
                                                             : bibBefore(a, b);
                     });
    QStringList order;
    for (const Run1Standing& s : ranked)
        order << s.bib;
    if (rules.othersAfter) {
        std::sort(others.begin(), others.end(), [](const Run1Standing& a, const Run1Standing& b) {
            return a.bib.toInt() < b.bib.toInt();
        });
        for (const Run1Standing& s : others)
            order << s.bib;
    }
    return order;
}

ClassRun2 readClassRun2(odbc::Connection& db, const QString& code, int cls) {
    const QString tcode = "'" + sqlValue(code) + "'";
    Query q(db, QStringLiteral("run2 order"),
            {"select zek,ttime,sttime2,altime2,",
             "(select count(*) from run_status s where s.tcode = result.tcode and s.zek = "
             "result.zek and s.run = 1) as status1",
             "from result where tcode = " + tcode + " and class1 = " + QString::number(cls),
             "and dropm <> '9' order by zek"});
    q.open();
    ClassRun2 c;
    for (int r = 0; r < q.recordCount(); ++r) {
        c.standings.push_back({q.text(r, 0), hundredthsOf(q.text(r, 1)), q.text(r, 4).toInt() > 0});
        if (!q.text(r, 2).isEmpty() || !q.text(r, 3).isEmpty())
            c.started << q.text(r, 0);
    }
    return c;
}

void writeRun2Order(odbc::Connection& db, const QString& code, int cls, const QStringList& order) {
    const QString where =
        " where tcode = " + quoted(code) + " and class1 = " + QString::number(cls);
    QStringList batch{"update result set st2 = 0" + where};
    for (int i = 0; i < order.size(); ++i)
        batch << "update result set st2 = " + QString::number(i + 1) + where +
                     " and zek = " + quoted(order[i]);
    batch << officeHistory(code, {{{},
                                   2,
                                   QStringLiteral("2本目スタート順: クラス %1").arg(cls),
                                   {},
                                   order.join(u' ')}})
                 .join(u'\n');
    writeTogether(db, batch);
}

Run2Rules readRun2Rules(odbc::Connection& db, const QString& code, int cls) {
    Query q(
        db, QStringLiteral("run2 rules"),
        {"select reversed,lower_first,others_after from run2_rule where tcode = " + quoted(code) +
         " and class1 in (0," + QString::number(cls) + ") order by class1 desc limit 1"});
    q.open();
    if (q.recordCount() == 0)
        return {};
    return {q.text(0, 0).toInt(), q.text(0, 1) == u"1", q.text(0, 2) == u"1"};
}

void saveRun2Rules(odbc::Connection& db, const QString& code, int cls, const Run2Rules& rules) {
    writeTogether(db, {"replace into run2_rule (tcode,class1,reversed,lower_first,others_after) "
                       "values (" +
                       quoted(code) + "," + QString::number(cls) + "," +
                       QString::number(rules.reversed) + "," + (rules.lowerBibFirst ? "1" : "0") +
                       "," + (rules.othersAfter ? "1" : "0") + ")"});
}

} // namespace pistel
