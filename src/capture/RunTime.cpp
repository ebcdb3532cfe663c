// Run time computation: run time and its parts, the total of both runs, the finished state,
// and the results list of the competitor's class.
#include "RunControl.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "data/TimeText.h"

namespace pistel {

void RunControl::showInResults(Query& results, const QString& flag, const QString& order,
                               const QString& bib, const QHash<QString, QString>* written) {
    if (resultsGridClass != lastFinisherClass) {
        results.setSql(resultsStatement(flag, lastFinisherClass, order));
        resultsGridClass = lastFinisherClass;
        results.open();
        return;
    }
    // The same class: only the finisher's row changes.
    if (!written ||
        !results.putRow(u"zek", bib, *written, resultsHold(flag, resultsGridClass, *written)))
        results.refreshKey(u"zek", bib);
}

void RunControl::showRunTime(const QString& bib, int run, const QString& cls,
                             const QHash<QString, QString>* written) {
    lastFinisherClass = cls.toInt();
    if (run == 1)
        showInResults(dm.QresultBib, QStringLiteral("FL"), QStringLiteral("altime"), bib, written);
    else
        showInResults(dm.QresultBib2, QStringLiteral("FL2"), QStringLiteral("altime2"), bib,
                      written);
}

void RunControl::calcruntime(const QString& bib, int run) {
    const RunColumns c = columnsOf(run);
    const std::optional<RunRow> row = readRunRow(c, bib);
    if (!row)
        return;
    const QString f = finishStands(c, *row, bib, false) ? row->finish : QString();
    execWith(dm.Qtemp2, {"update result set " +
                             runTimeSet(run, row->start, f, run == 1 ? row->time2 : row->time1),
                         "where tcode = '" + code() + "' and zek = '" + sqlValue(bib) + "'"});
    showRunTime(bib, run, row->cls, nullptr);
}

} // namespace pistel
