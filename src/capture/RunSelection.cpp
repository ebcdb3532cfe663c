// Selecting a run: the run becomes current and its five lists are rebuilt, with the start
// and finish lists positioned on the competitors expected next.
#include "RunControl.h"
#include "data/AppState.h"
#include "data/TDM1.h"
#include "results/Expected.h"

namespace pistel {
QStringList RunControl::impulseListStatement(const QString& channel, int run) const {
    // id breaks ties of equal times (a line the timer repeats to take it back), so that the
    // order is the same whether the list is read whole or a new impulse is put in. A run page
    // lists the impulses that arrived while its run was timed, and those without a run.
    return {"select id,stat,bib,dtime from pulsedata where tcode = '" + code() + "'",
            "and not exists (select 1 from pulse_run r where r.pulse_id = pulsedata.id and "
            "r.run <> " +
                QString::number(run) + ")",
            "and stat = '" + channel + "' order by dtime desc,id desc"};
}

QString RunControl::firstExpectedStarter(const RunColumns& c) {
    // Classes from the highest down, start order within a class: the capture's own order.
    Query& q = dm.Qtemp;
    openWith(q, {"select zek from result where tcode = '" + code() + "'" +
                     expected::inRunCondition(c.run, app.competitionCode),
                 "and " + c.start + " = '' order by class1 desc, " + c.order + " limit 1"});
    return q.fieldByName(u"zek").asString();
}

void RunControl::placeFinishBox(RunPage& p, const QString& bib) {
    if (p.finishList.recordCount() > 0)
        position(p.finishList, bib);
    // Who has not started yet is not in the list; the box names them all the same.
    if (!bib.isEmpty())
        p.setFinishBox(bib);
}

void RunControl::selectRun1() {
    selectRun(1);
}

void RunControl::selectRun2() {
    selectRun(2);
}

void RunControl::selectRun(int run) {
    noteOperatorChange();
    app.currentRun = QString::number(run);
    RunPage& p = run == 1 ? page1 : page2;
    const RunColumns c = columnsOf(run);

    // Run 1 lists everyone not excluded, run 2 those allowed to start it; zek breaks ties, so
    // that the order is the same whether read whole or in part.
    const QString firstStarter = firstExpectedStarter(c);
    openWith(p.startList, {"select zek," + c.start + "," + c.order +
                               ",class1 from result where tcode = '" + code() + "'",
                           run == 1 ? QStringLiteral("and dropm <> '9'")
                                    : expected::mayStartRun2Condition(app.competitionCode),
                           "order by class1 desc," + c.order + " desc,zek"});
    if (p.startList.recordCount() > 0) {
        position(p.startList, firstStarter);
        p.setStartBox(p.startList.fieldByName(u"zek").asString());
    }

    const QString firstFinisher = expectedFinisher(p, c, {}, {});
    openWith(p.finishList, {"select zek," + c.finish + "," + c.start +
                                ",class1 from result where tcode = '" + code() + "'",
                            "and dropm <> '9' and " + c.flag + " <> 'N'",
                            "order by class1 desc," + c.start + " desc,zek"});
    placeFinishBox(p, firstFinisher);

    openWith(p.startPulses, impulseListStatement(QStringLiteral("C0"), run));
    openWith(p.finishPulses, impulseListStatement(QStringLiteral("C1"), run));
    // Who is kept out of run 2 by a run-1 status, and the times set by hand.
    rereadStatuses();
    rereadMarks();

    // Run 1's results start on the lowest class; run 2's follow the last finisher's class.
    if (run == 1) {
        openWith(p.results,
                 {"select class1 from result where tcode = '" + code() + "'", "order by class1"});
        resultsGridClass = p.results.fieldByName(u"class1").asInteger();
    }
    openWith(p.results,
             resultsStatement(c.flag, run == 1 ? resultsGridClass : lastFinisherClass, c.finish));
    rereadUnassigned();
}

void RunControl::keepBoxesAcrossReread(RunPage& p, const QString& changed) {
    // The lists are re-read (only the changed competitor's row when it is known), but the
    // boxes keep naming whom they named, even a competitor who is not (or no longer) in the
    // list.
    const QString s = p.startBox();
    const QString f = p.finishBox();
    for (Query* list : {&p.startList, &p.finishList, &p.results}) {
        if (!list->isOpen())
            continue;
        if (changed.isEmpty())
            list->reread();
        else
            list->refreshKey(u"zek", changed);
    }
    if (p.startList.isOpen())
        position(p.startList, s);
    if (p.finishList.isOpen())
        position(p.finishList, f);
    p.setStartBox(s);
    p.setFinishBox(f);
}

bool RunControl::listHolds(const RunPage& p, const Query& list,
                           const QHash<QString, QString>& row) const {
    // The conditions of the lists' statements above, for a row the capture wrote.
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

bool RunControl::resultsHold(const QString& flag, int cls, const QHash<QString, QString>& row) {
    const QString n = flag.endsWith(QLatin1Char('2')) ? QStringLiteral("2") : QString();
    const bool missingStart = !row.value(QStringLiteral("ALTIME") + n).isEmpty() &&
                              row.value(QStringLiteral("STTIME") + n).isEmpty();
    return (row.value(flag.toUpper()) == QLatin1String("F") || missingStart) &&
           row.value(QStringLiteral("CLASS1")).toInt() == cls;
}

void RunControl::refreshRowOf(RunPage& p, const QHash<QString, QString>& row, bool keepFinishBox) {
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

void RunControl::rereadCurrentPage() {
    RunPage& p = currentPage();
    keepBoxesAcrossReread(p);
    for (Query* list : {&p.startPulses, &p.finishPulses}) {
        if (list->isOpen())
            list->reread();
    }
    rereadUnassigned();
}

void RunControl::followOutsideChanges() {
    const int run = app.currentRun.toInt();
    const QHash<QString, RunStatus> before =
        run == 1 || run == 2 ? statuses_[run - 1] : QHash<QString, RunStatus>{};
    rereadStatuses();
    rereadMarks();
    if (run != 1 && run != 2)
        return;
    const QHash<QString, RunStatus>& after = statuses_[run - 1];
    QSet<QString> bibs;
    for (const QHash<QString, RunStatus>* statuses : {&before, &after}) {
        for (auto it = statuses->begin(); it != statuses->end(); ++it) {
            if (before.value(it.key()) != after.value(it.key()))
                bibs.insert(it.key());
        }
    }
    for (const QString& bib : bibs)
        boxesFollowStatus(bib, run);
    // Times given elsewhere only show: the operator may have put a box on a competitor who
    // has a time on purpose (a restart).
    // The competitor lists are read again; the impulse lists, which grow all day and which
    // no change elsewhere rewrites, only take impulses logged since.
    for (RunPage* p : {&page1, &page2}) {
        keepBoxesAcrossReread(*p);
        for (Query* list : {&p->startPulses, &p->finishPulses})
            if (list->isOpen())
                list->appendNewer(u"id");
    }
    rereadUnassigned();
    emit statusesChanged();
}

BoxState RunControl::boxState() {
    const RunPage& p = currentPage();
    return {app.currentRun, p.startBox(), p.finishBox()};
}

void RunControl::restoreBoxes(const BoxState& boxes) {
    if (boxes.run != app.currentRun)
        return;
    RunPage& p = currentPage();
    p.setStartBox(boxes.start);
    p.setFinishBox(boxes.finish);
    if (p.startList.isOpen())
        position(p.startList, boxes.start);
    if (p.finishList.isOpen())
        position(p.finishList, boxes.finish);
}

} // namespace pistel
