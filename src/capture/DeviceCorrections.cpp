// What the timer itself corrects: a line repeated with "c" or "d" takes back the time it
// carries, and a line flagged "i" brings a time the timer operator entered for a bib. The
// timer's own run time always comes from the bib's latest start and latest finish that it
// has not taken back.
#include "Capture.h"
#include "RecordedChange.h"
#include "RunTimeRule.h"
#include "TimerLine.h"
#include "data/AppState.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

#include <QScopeGuard>
#include <utility>

namespace pistel {

void Capture::takeBack(const TimerLine& line) {
    if (!line.isStart() && !line.isFinish())
        return; // a run time or total taken back changes nothing stored
    const RunColumns c = RunColumns::of(run_.isRun1() ? 1 : 2);
    const bool start = line.isStart();
    const QString timeColumn = start ? c.start : c.finish;
    Query& q = run_.dm.Qtemp;
    // The device repeats the line it takes back, so the time of day finds the competitor
    // who got it, whatever bib the line carries ("?0000" included).
    q.setSql({"select zek from result where tcode = '" + run_.code() + "'",
              "and " + timeColumn + " = '" + sqlValue(line.dtime) + "'"});
    q.open();
    if (q.recordCount() == 0)
        return;
    if (!q.locate(u"zek", line.bib))
        q.first();
    const QString zek = q.fieldByName(u"zek").asString();
    const RunRow row = rows_.read(c, zek).value_or(RunRow{});
    // No stale result stays: the run time goes, the total is what the other run alone gives.
    // A start taken back keeps the finish: an edited start is computed against it, and the
    // restart's finish replaces it.
    const QString s = start ? QString() : row.start;
    const QString f = start ? row.finish : QString();
    if (start && !f.isEmpty())
        run_.keepFinish(c.run, zek);
    // Not a valid line's own time: the change goes into the history, in the line's batch.
    const RowSnapshot before = readSnapshots(run_.dm.Db1, run_.app.competitionCode, zek).value(zek);
    const RunTimeState state = runTimeState(c.run, s, f, c.run == 1 ? row.time2 : row.time1);
    q.setSql({"update result set " + timeColumn + " = ''", "," + runTimeSet(c.run, state),
              "where tcode = '" + run_.code() + "' and zek = '" + sqlValue(zek) + "'"});
    q.execSql();
    HistoryEntry entry;
    if (describeChange(
            zek, QString::fromLatin1(source::kTakenBack), before,
            rowAfterStore(before, c.run, timeColumn, {}, state.runTime, state.total, state.state),
            entry)) {
        q.setSql(historyInsert(run_.app.competitionCode, {entry}));
        q.execSql();
    }
    RunPage& p = run_.currentPage();
    // The next impulse of that channel (the restart, the real finish) goes to them.
    if (start)
        p.setStartBox(zek);
    else
        p.setFinishBox(zek);
    lists_.rereadKeepingBoxes(p, {zek});
}

CaptureResult Capture::captureEdited(const TimerLine& line) {
    if (!line.isStart() && !line.isFinish())
        return {};
    RunPage& p = run_.currentPage();
    const bool start = line.isStart();
    if ((start ? p.startMode() : p.finishMode()) != RunPage::Auto)
        return {}; // manual mode: the operator assigns from the impulse list
    // A time entered on the timer is not a valid line's own: it goes into the history.
    const QString previousSource =
        std::exchange(store_.historySource, QString::fromLatin1(source::kEdited));
    const auto restore = qScopeGuard([&] { store_.historySource = previousSource; });
    if ((start ? p.startBox() : p.finishBox()) == line.bib) {
        // The competitor in the box: an ordinary assignment, the box advances as after any.
        TimerLine plain = line;
        plain.tstat = QStringLiteral(" ");
        return captureLine(plain);
    }
    // A correction after the fact, not the competitor now on course: the time goes to the
    // line's bib when it has none, and the boxes stay where they are.
    const RunColumns c = RunColumns::of(run_.isRun1() ? 1 : 2);
    const std::optional<RunRow> row = rows_.read(c, line.bib);
    if (!row)
        return {true, QStringLiteral("ビブ %1 はこの大会に登録されていません").arg(line.bib)};
    if (c.run == 2 && (row->flag1 != QLatin1String("F") || run_.statuses(1).contains(line.bib)))
        return {true, QStringLiteral("ビブ %1 は１本目を完走していません").arg(line.bib)};
    if (start ? !row->start.isEmpty() : rows_.finishStands(c, *row, line.bib, true))
        return {true, QStringLiteral("ビブ %1 には既に時刻があります").arg(line.bib)};
    const bool timed = store_.store(c, *row, start, line.bib, line.dtime).timed;
    // A finish shows in the results, with its run time or as one still missing its start.
    store_.afterWrites(
        [this, &p, bib = line.bib, shown = timed || !start, run = c.run, k = row->cls] {
            lists_.rereadKeepingBoxes(p, {bib});
            if (shown)
                lists_.showRunTime(bib, run, k, nullptr);
        });
    return {};
}

} // namespace pistel
