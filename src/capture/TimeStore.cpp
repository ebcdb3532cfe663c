#include "TimeStore.h"

#include "RecordedChange.h"
#include "RunTimeRule.h"
#include "data/AppState.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

#include <utility>

namespace pistel {

void TimeStore::runAfterWrites() {
    const auto work = std::exchange(afterWrites_, {});
    for (const auto& f : work)
        f();
}

void TimeStore::writeOrDefer(const QStringList& statement) {
    if (deferred_) {
        *deferred_ << statement.join(QLatin1Char('\n')) + QLatin1Char(';');
        return;
    }
    run_.dm.Qtemp.setSql(statement);
    run_.dm.Qtemp.execSql();
}

void TimeStore::afterWrites(std::function<void()> work) {
    if (deferred_)
        afterWrites_.push_back(std::move(work));
    else
        work();
}

TimeStore::Stored TimeStore::store(const RunColumns& c, const RunRow& row, bool start,
                                   const QString& bib, const QString& time) {
    const QString s = start ? time : row.start;
    QString f = start ? row.finish : time;
    // A finish kept after its start was taken back pairs only with a start entered on the
    // timer (an edited start); a restart's start line waits for the restart's finish, and a
    // start after any finish never pairs with it (no run time, never a wrapped one).
    const bool restart =
        run_.finishKept(c.run, bib) && historySource != QLatin1String(source::kEdited);
    if (start && !f.isEmpty() && (restart || !finishFollows(s, f)))
        f.clear();
    if (!start)
        run_.dropKeptFinish(c.run, bib);
    const QString other = c.run == 1 ? row.time2 : row.time1;
    const RunTimeState state = runTimeState(c.run, s, f, other);
    // A time that is not a valid timer line's own (one entered on the timer) goes into the
    // history, in the same batch as the time.
    const QString timeColumn = start ? c.start : c.finish;
    const QString& code = run_.app.competitionCode;
    RowSnapshot before;
    if (!historySource.isEmpty())
        before = readSnapshots(run_.dm.Db1, code, bib).value(bib);
    writeOrDefer({"update result set " + timeColumn + " = '" + sqlValue(time) + "'",
                  "," + runTimeSet(c.run, state),
                  "where tcode = '" + run_.code() + "' and zek = '" + sqlValue(bib) + "'"});
    HistoryEntry entry;
    if (!historySource.isEmpty() &&
        describeChange(
            bib, historySource, before,
            rowAfterStore(before, c.run, timeColumn, time, state.runTime, state.total, state.state),
            entry)) {
        writeOrDefer(historyInsert(code, {entry}));
        afterWrites([this] { run_.rereadMarks(); });
    }
    // A status the time contradicts (DNS with a start, DNF with a finish) is asked about.
    const QString contradicted = start ? QStringLiteral("DNS") : QStringLiteral("DNF");
    if (run_.statuses(c.run).value(bib).code == contradicted)
        afterWrites([this, bib, run = c.run, contradicted] {
            emit run_.timeForStatus(bib, run, contradicted);
        });
    // The row as written, for the lists.
    Stored stored{!s.isEmpty() && !f.isEmpty(), row.values};
    stored.row.insert(timeColumn.toUpper(), time);
    stored.row.insert(QStringLiteral("TTIME") + c.n, state.runTime);
    stored.row.insert(QStringLiteral("TOTALTIME"), state.total);
    stored.row.insert(c.flag.toUpper(), state.state);
    // A finish without its start is shown until the start comes.
    if ((!start && s.isEmpty()) || (start && run_.missingStarts().contains(bib)))
        afterWrites([this] { run_.rereadUnassigned(); });
    return stored;
}

TimeStore::Stored TimeStore::replaceFinish(const RunColumns& c, const RunRow& row,
                                           const QString& bib, const QString& time) {
    // The finish that gives way (one before the start, or one kept from a taken-back start)
    // was an impulse of its own: it becomes unassigned, with the reason, and the change goes
    // into the history, so that nothing the timer sent disappears without a trace.
    const QString reason = QStringLiteral("ビブ %1 の後のフィニッシュ %2 に置き換えられました")
                               .arg(bib, time.left(11));
    writeOrDefer({"insert into pulse_unassigned (pulse_id,tcode,reason)",
                  "select id,tcode,'" + sqlValue(reason) + "' from pulsedata where tcode = '" +
                      run_.code() + "'",
                  "and stat = 'C1' and dtime = '" + sqlValue(row.finish) + "'",
                  "and not exists (select 1 from pulse_unassigned u where u.pulse_id = "
                  "pulsedata.id)",
                  "order by id desc limit 1"});
    const QString previous = historySource; // a time entered on the timer stays "edited"
    if (previous.isEmpty())
        historySource = QString::fromLatin1(source::kFinishReplaced);
    const Stored stored = store(c, row, false, bib, time);
    historySource = previous;
    afterWrites([this] { run_.rereadUnassigned(); });
    return stored;
}

} // namespace pistel
