// Run time computation: run time and its parts, the total of both runs, the finished state,
// and the results list of the competitor's class.
#include "RunControl.h"
#include "TimeText.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

namespace pistel {

void RunControl::showInResults(Query& results, const QString& flag, const QString& order,
                               const QString& bib) {
    if (resultsGridClass != lastFinisherClass) {
        results.setSql(resultsStatement(flag, lastFinisherClass, order));
        resultsGridClass = lastFinisherClass;
        results.open();
        return;
    }
    // The same class: only the finisher's row changes.
    results.refreshKey(u"zek", bib);
}

void RunControl::calcruntime(const QString& bib, int run) {
    Query& q = dm.Qtemp2;
    openWith(q, {"select * from result where tcode = '" + code() + "'",
                 "and zek = '" + sqlValue(bib) + "'"});
    if (q.recordCount() == 0)
        return;
    lastFinisherClass = q.fieldByName(u"class1").asInteger();
    const QString where = "where tcode = '" + code() + "' and zek = '" + sqlValue(bib) + "'";

    if (run == 1) {
        const QString r =
            runTimeText(q.fieldByName(u"sttime").asString(), q.fieldByName(u"altime").asString());
        // The total of run 1 alone is its time; a run-2 time already stored adds to it.
        const QString total = totalTimeText(r, q.fieldByName(u"ttime2").asString());
        execWith(q,
                 {"update result set ttime = '" + r + "' , totaltime = '" + total + "' ,FL = 'F'",
                  ",TH = '" + r.mid(0, 2) + "',TM = '" + r.mid(3, 2) + "' ,TS = '" + r.mid(6, 2) +
                      "' ,TMS = '" + r.mid(9, 2) + "'",
                  where});
        showInResults(dm.QresultBib, QStringLiteral("FL"), QStringLiteral("altime"), bib);
        return;
    }

    const QString r2 =
        runTimeText(q.fieldByName(u"sttime2").asString(), q.fieldByName(u"altime2").asString());
    const QString total = totalTimeText(q.fieldByName(u"ttime").asString(), r2);
    execWith(q, {"update result set ttime2 = '" + r2 + "' ,FL2 = 'F' ,totaltime = '" + total + "'",
                 ",TH2 = '" + r2.mid(0, 2) + "',TM2 = '" + r2.mid(3, 2) + "' ,TS2 = '" +
                     r2.mid(6, 2) + "' ,TMS2 = '" + r2.mid(9, 2) + "'",
                 where});
    showInResults(dm.QresultBib2, QStringLiteral("FL2"), QStringLiteral("altime2"), bib);
}

} // namespace pistel
