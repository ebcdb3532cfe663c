// Run time computation: run time and its parts, the total of both runs, the finished state,
// and the results list of the competitor's class.
#include "RunControl.h"
#include "TimeText.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

namespace pistel {

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
        dm.QresultBib.close();
        if (resultsGridClass != lastFinisherClass) {
            dm.QresultBib.setSql(resultsStatement(QStringLiteral("FL"), lastFinisherClass,
                                                  QStringLiteral("altime")));
            resultsGridClass = lastFinisherClass;
        }
        dm.QresultBib.open();
        return;
    }

    const QString r2 =
        runTimeText(q.fieldByName(u"sttime2").asString(), q.fieldByName(u"altime2").asString());
    const QString total = totalTimeText(q.fieldByName(u"ttime").asString(), r2);
    execWith(q, {"update result set ttime2 = '" + r2 + "' ,FL2 = 'F' ,totaltime = '" + total + "'",
                 ",TH2 = '" + r2.mid(0, 2) + "',TM2 = '" + r2.mid(3, 2) + "' ,TS2 = '" +
                     r2.mid(6, 2) + "' ,TMS2 = '" + r2.mid(9, 2) + "'",
                 where});
    dm.QresultBib2.close();
    if (resultsGridClass != lastFinisherClass) {
        dm.QresultBib2.setSql(
            resultsStatement(QStringLiteral("FL2"), lastFinisherClass, QStringLiteral("altime2")));
        resultsGridClass = lastFinisherClass;
    }
    dm.QresultBib2.open();
}

} // namespace pistel
