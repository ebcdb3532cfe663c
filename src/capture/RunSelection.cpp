#include "RunSelection.h"

#include "data/AppState.h"
#include "data/BibText.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "results/Expected.h"

#include <algorithm>

namespace pistel {

const char* const kBibNotANumber = "ビブ番号は数字で入力してください。";
const char* const kBibNotInCompetition =
    "ビブ %1 はこの大会に登録されていません。このビブにしますか？";

namespace {
void openWith(Query& q, const QStringList& lines) {
    q.setSql(lines);
    q.open();
}
} // namespace

void RunSelection::selectRun(int run) {
    run_.noteOperatorChange();
    run_.app.currentRun = QString::number(run);
    RunPage& p = run == 1 ? run_.page1 : run_.page2;
    const RunColumns c = RunColumns::of(run);
    const QString code = run_.code();

    // Run 1 lists everyone not excluded, run 2 those allowed to start it; zek breaks ties, so
    // that the order is the same whether read whole or in part.
    const QString firstStarter = rows_.firstExpectedStarter(c);
    openWith(p.startList, {"select zek," + c.start + "," + c.order +
                               ",class1 from result where tcode = '" + code + "'",
                           run == 1 ? QStringLiteral("and dropm <> '9'")
                                    : expected::mayStartRun2Condition(run_.app.competitionCode),
                           "order by class1 desc," + c.order + " desc,zek"});
    if (p.startList.recordCount() > 0) {
        RunLists::position(p.startList, firstStarter);
        p.setStartBox(p.startList.fieldByName(u"zek").asString());
    }

    const QString firstFinisher = rows_.expectedFinisher(p, c, {}, {});
    openWith(p.finishList, {"select zek," + c.finish + "," + c.start +
                                ",class1 from result where tcode = '" + code + "'",
                            "and dropm <> '9' and " + c.flag + " <> 'N'",
                            "order by class1 desc," + c.start + " desc,zek"});
    RunBoxes::finishBoxTo(p, firstFinisher);

    openWith(p.startPulses, lists_.impulses(QStringLiteral("C0"), run));
    openWith(p.finishPulses, lists_.impulses(QStringLiteral("C1"), run));
    // Who is kept out of run 2 by a run-1 status, and the times set by hand.
    run_.rereadStatuses();
    run_.rereadMarks();

    // Run 1's results start on the lowest class; run 2's follow the last finisher's class.
    if (run == 1) {
        openWith(p.results,
                 {"select class1 from result where tcode = '" + code + "'", "order by class1"});
        run_.resultsGridClass = p.results.fieldByName(u"class1").asInteger();
    }
    openWith(p.results,
             lists_.results(c.flag, run == 1 ? run_.resultsGridClass : run_.lastFinisherClass,
                            c.finish));
    run_.rereadUnassigned();
}

void RunSelection::followOutsideChanges(const OutsideChange& change) {
    const int run = run_.app.currentRun.toInt();
    if (change.everything || change.statuses) {
        const QHash<QString, RunStatus> before =
            run == 1 || run == 2 ? run_.statuses(run) : QHash<QString, RunStatus>{};
        run_.rereadStatuses();
        if (run == 1 || run == 2) {
            const QHash<QString, RunStatus>& after = run_.statuses(run);
            QSet<QString> bibs;
            for (const QHash<QString, RunStatus>* statuses : {&before, &after}) {
                for (auto it = statuses->begin(); it != statuses->end(); ++it) {
                    if (before.value(it.key()) != after.value(it.key()))
                        bibs.insert(it.key());
                }
            }
            for (const QString& bib : bibs)
                statuses_.boxesFollowStatus(bib, run);
        }
    }
    // A time set by hand stays marked while it stands: the marks change with the history, or
    // when a marked competitor's row changes.
    const ManualTimes& marked = run_.manualTimes();
    if (change.everything || change.history ||
        std::any_of(change.bibs.cbegin(), change.bibs.cend(),
                    [&marked](const QString& bib) { return marked.contains(bib); }))
        run_.rereadMarks();
    if (run != 1 && run != 2)
        return;
    // Times given elsewhere only show: the operator may have put a box on a competitor who
    // has a time on purpose (a restart). The competitor lists take the rows that changed; the
    // impulse lists, which grow all day and which no change elsewhere rewrites, only take
    // impulses logged since.
    for (RunPage* p : {&run_.page1, &run_.page2}) {
        if (change.everything)
            lists_.rereadKeepingBoxes(*p);
        else if (!change.bibs.isEmpty())
            lists_.rereadKeepingBoxes(*p, change.bibs);
        for (Query* list : {&p->startPulses, &p->finishPulses})
            if (list->isOpen())
                list->appendNewer(u"id");
    }
    // A time elsewhere may give a finish without its start, or the start missing.
    if (change.everything || change.unassigned || !change.bibs.isEmpty())
        run_.rereadUnassigned();
    if (change.everything || change.statuses)
        emit run_.statusesChanged();
}

QString RunSelection::currentZek(const Query& list) {
    return list.fieldByName(u"zek").asString();
}

void RunSelection::moveBox(Query& list, int step, void (RunPage::*setBox)(const QString&),
                           RunPage& page) {
    run_.noteOperatorChange();
    // The lists run backwards (latest first), so the competitor who comes next is above.
    if (step < 0)
        list.prior();
    else
        list.next();
    (page.*setBox)(currentZek(list));
}

void RunSelection::moveBoxToNext(RunPage& page, BoxKind box) {
    const bool start = box == BoxKind::Start;
    moveBox(start ? page.startList : page.finishList, -1,
            start ? &RunPage::setStartBox : &RunPage::setFinishBox, page);
}

void RunSelection::moveBoxToPrevious(RunPage& page, BoxKind box) {
    const bool start = box == BoxKind::Start;
    moveBox(start ? page.startList : page.finishList, +1,
            start ? &RunPage::setStartBox : &RunPage::setFinishBox, page);
}

void RunSelection::boxToChosenRow(RunPage& page, BoxKind box) {
    run_.noteOperatorChange();
    if (box == BoxKind::Start) {
        page.setStartBox(currentZek(page.startList));
        return;
    }
    page.setFinishBox(currentZek(page.finishList));
    if (&page != &run_.page1)
        return;
    const int cls = page.finishList.fieldByName(u"class1").asInteger();
    if (cls == run_.resultsGridClass)
        return;
    run_.resultsGridClass = cls;
    openWith(run_.dm.QresultBib,
             lists_.results(QStringLiteral("FL"), cls, QStringLiteral("altime")));
}

bool RunSelection::enterBib(Query& list, void (RunPage::*setBox)(const QString&), RunPage& page,
                            const QString& typed) {
    bool ok = false;
    const int number = typed.trimmed().toInt(&ok);
    if (!ok) {
        run_.tell(QString::fromUtf8(kBibNotANumber));
        return false;
    }
    const QString bib = bibText(number);
    Query& q = run_.dm.Qedit;
    openWith(q, {"select zek from result where tcode = '" + run_.code() + "'",
                 "and zek = '" + sqlValue(bib) + "'"});
    if (q.recordCount() == 0 && !run_.confirm(QString::fromUtf8(kBibNotInCompetition).arg(bib)))
        return false;
    run_.noteOperatorChange();
    (page.*setBox)(bib);
    if (list.isOpen())
        RunLists::position(list, bib);
    return true;
}

bool RunSelection::findStartBib(RunPage& page, const QString& typed) {
    return enterBib(page.startList, &RunPage::setStartBox, page, typed);
}

bool RunSelection::findFinishBib(RunPage& page, const QString& typed) {
    return enterBib(page.finishList, &RunPage::setFinishBox, page, typed);
}

} // namespace pistel
