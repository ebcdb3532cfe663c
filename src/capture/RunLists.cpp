#include "RunLists.h"

#include "data/TDM1.h"
#include "results/Expected.h"

namespace pistel {

QStringList RunLists::impulses(const QString& channel, int run) const {
    // id breaks ties of equal times (a line the timer repeats to take it back), so that the
    // order is the same whether the list is read whole or a new impulse is put in. A run page
    // lists the impulses that arrived while its run was timed, and those without a run.
    return {"select id,stat,bib,dtime from pulsedata where tcode = '" + run_.code() + "'",
            "and not exists (select 1 from pulse_run r where r.pulse_id = pulsedata.id and "
            "r.run <> " +
                QString::number(run) + ")",
            "and stat = '" + channel + "' order by dtime desc,id desc"};
}

QStringList RunLists::results(const QString& flag, int cls, const QString& order) const {
    // A finisher whose start is missing is listed too, without a run time, until it comes.
    const QString start =
        order == QLatin1String("altime") ? QStringLiteral("sttime") : QStringLiteral("sttime2");
    return {"select zek,class1,altime,altime2,ttime,ttime2,totaltime from result where tcode = '" +
                run_.code() + "'",
            "and (" + flag + " = 'F' or " + order + " <> '' and " + start +
                " = '') and class1 = '" + QString::number(cls) + "'",
            // zek breaks ties of equal finish times, so that the order is total.
            "order by " + order + " desc,zek"};
}

void RunLists::position(Query& list, const QString& bib) {
    list.locate(u"zek", bib);
}

void RunLists::rereadKeepingBoxes(RunPage& p, const QStringList& changed) {
    const QString s = p.startBox();
    const QString f = p.finishBox();
    for (Query* list : {&p.startList, &p.finishList, &p.results}) {
        if (!list->isOpen())
            continue;
        if (changed.isEmpty())
            list->reread();
        else
            list->refreshKeys(u"zek", changed);
    }
    if (p.startList.isOpen())
        position(p.startList, s);
    if (p.finishList.isOpen())
        position(p.finishList, f);
    p.setStartBox(s);
    p.setFinishBox(f);
}

void RunLists::rereadCurrentPage() {
    RunPage& p = run_.currentPage();
    rereadKeepingBoxes(p);
    for (Query* list : {&p.startPulses, &p.finishPulses}) {
        if (list->isOpen())
            list->reread();
    }
    run_.rereadUnassigned();
}

bool RunLists::listHolds(const RunPage& p, const Query& list,
                         const QHash<QString, QString>& row) const {
    // The conditions of the lists' statements (see the run selection), for a row written.
    const bool listed = row.value(QStringLiteral("DROPM")) != QLatin1String("9");
    if (&list == &p.startList)
        return p.run() == 1
                   ? listed
                   : expected::mayStartRun2(row.value(QStringLiteral("DROPM")),
                                            row.value(QStringLiteral("FL")),
                                            row.value(QStringLiteral("STATUS_RUN1")).toInt() > 0);
    const QString state = row.value(p.run() == 1 ? QStringLiteral("FL") : QStringLiteral("FL2"));
    return listed && state != QLatin1String("N");
}

bool RunLists::resultsHold(const QString& flag, int cls, const QHash<QString, QString>& row) {
    const QString n = flag.endsWith(QLatin1Char('2')) ? QStringLiteral("2") : QString();
    const bool missingStart = !row.value(QStringLiteral("ALTIME") + n).isEmpty() &&
                              row.value(QStringLiteral("STTIME") + n).isEmpty();
    return (row.value(flag.toUpper()) == QLatin1String("F") || missingStart) &&
           row.value(QStringLiteral("CLASS1")).toInt() == cls;
}

void RunLists::putRow(RunPage& p, const QHash<QString, QString>& row, bool keepFinishBox) {
    const QString bib = row.value(QStringLiteral("ZEK"));
    const QString s = p.startBox();
    const QString f = p.finishBox();
    // The row as written is put in without reading it again; a list that cannot take it so
    // reads it.
    for (Query* list : {&p.startList, &p.finishList}) {
        if (keepFinishBox && list == &p.startList)
            continue; // a finish changes nothing the start list shows
        if (!list->putRow(u"zek", bib, row, listHolds(p, *list, row)))
            list->refreshKey(u"zek", bib);
    }
    if (p.startList.isOpen())
        position(p.startList, s);
    p.setStartBox(s);
    // After a start the finish box keeps its competitor when the finish list has them, else
    // it takes the list's top row (the latest starter), as the box rule gives it.
    if (p.finishList.isOpen())
        position(p.finishList, f);
    if (keepFinishBox)
        p.setFinishBox(f);
}

void RunLists::showInResults(Query& list, const QString& flag, const QString& order,
                             const QString& bib, const QHash<QString, QString>* written) {
    if (run_.resultsGridClass != run_.lastFinisherClass) {
        list.setSql(results(flag, run_.lastFinisherClass, order));
        run_.resultsGridClass = run_.lastFinisherClass;
        list.open();
        return;
    }
    // The same class: only the finisher's row changes.
    if (!written ||
        !list.putRow(u"zek", bib, *written, resultsHold(flag, run_.resultsGridClass, *written)))
        list.refreshKey(u"zek", bib);
}

void RunLists::showRunTime(const QString& bib, int run, const QString& cls,
                           const QHash<QString, QString>* written) {
    run_.lastFinisherClass = cls.toInt();
    if (run == 1)
        showInResults(run_.dm.QresultBib, QStringLiteral("FL"), QStringLiteral("altime"), bib,
                      written);
    else
        showInResults(run_.dm.QresultBib2, QStringLiteral("FL2"), QStringLiteral("altime2"), bib,
                      written);
}

} // namespace pistel
