#include "Corrections.h"

#include "HistoryRevert.h"
#include "RecordedChange.h"
#include "ReplacementTimes.h"
#include "RunSelection.h"
#include "RunTimeRule.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "data/TimeText.h"

namespace pistel {

const char* const kNoImpulseSelected =
    "時刻が選択されていません。割り当てる時刻を一覧で選択してください。";
const char* const kImpulseGone = "選択した時刻が見つかりません。一覧を確認してください。";
const char* const kTimeUsedTwice =
    "この時刻は既にビブ %1 に割り当てられています。ビブ %2 にも割り当てますか？";
const char* const kFinishBeforeStart =
    "フィニッシュ時刻 %1 がスタート時刻 %2 より前です。このまま割り当てますか？";

QString Corrections::selectedImpulseId(const Query& impulses) {
    if (!impulses.isOpen() || impulses.currentRow() < 0)
        return {};
    return impulses.fieldByName(u"id").asString();
}

bool Corrections::selectedImpulseTime(const Query& impulses, const QString& impulseId,
                                      QString& time, QString& id) {
    // Assigning without a selected impulse would store an empty time of day.
    id = impulseId.isEmpty() ? selectedImpulseId(impulses) : impulseId;
    if (id.isEmpty()) {
        run_.tell(QString::fromUtf8(kNoImpulseSelected));
        return false;
    }
    // Read by its row id: the list may have been re-read since the operator chose it.
    Query& q = run_.dm.Qedit;
    q.setSql({"select dtime from pulsedata where tcode = '" + run_.code() + "'",
              "and id = '" + sqlValue(id) + "'"});
    q.open();
    if (q.recordCount() == 0) {
        run_.tell(QString::fromUtf8(kImpulseGone));
        return false;
    }
    time = q.fieldByName(u"dtime").asString();
    return true;
}

bool Corrections::confirmSingleUse(const QString& timeColumn, const QString& time,
                                   const QString& bib) {
    Query& q = run_.dm.Qedit;
    q.setSql({"select zek from result where tcode = '" + run_.code() + "'",
              "and " + timeColumn + " = '" + sqlValue(time) + "'",
              "and zek <> '" + sqlValue(bib) + "' order by zek"});
    q.open();
    if (q.recordCount() == 0)
        return true;
    return run_.confirm(
        QString::fromUtf8(kTimeUsedTwice).arg(q.fieldByName(u"zek").asString(), bib));
}

void Corrections::assignStartImpulse(const QString& impulseId) {
    RunPage& p = run_.currentPage();
    const RunColumns c = RunColumns::of(p.run());
    const QString b = p.startBox();
    QString t;
    QString id;
    if (!selectedImpulseTime(p.startPulses, impulseId, t, id))
        return;
    const RowSnapshot asked = readSnapshots(run_.dm.Db1, run_.app.competitionCode, b).value(b);
    if (!confirmSingleUse(c.start, t, b) || !run_.unchangedSinceAsked(b, asked))
        return;
    bool timed = false;
    QString cls;
    {
        RecordedChange change(run_.dm.Db1, run_.app.competitionCode, b, source::kStartAssigned);
        // A finish that waited for its start gets its run time now.
        if (const std::optional<RunRow> row = rows_.read(c, b)) {
            timed = store_.store(c, *row, true, b, t).timed;
            cls = row->cls;
        } else
            exec({"update result set " + c.start + " = '" + sqlValue(t) + "',fl" + c.n + " = 'S'",
                  "where tcode = '" + run_.code() + "'", "and zek = '" + sqlValue(b) + "'"});
        if (const QString reason = unassignedReason(id); !reason.isEmpty())
            change.takesImpulse(id, reason);
        assigned(id);
        change.commit();
    }
    // Counted once written: an operation the server refused changed nothing, and lines that
    // waited for the database are captured as they would have been.
    run_.noteOperatorChange();
    if (timed)
        lists_.showRunTime(b, c.run, cls, nullptr);
    run_.rereadMarks();
    statuses_.askAboutStatus(b, c.run, true);
    p.startList.reread();
    RunLists::position(p.startList, b);
    // On to the next starter (the row above), as "次" does: the row below started before.
    p.startList.prior();
    p.setStartBox(RunSelection::currentZek(p.startList));
    const QString f = p.finishBox();
    p.finishList.reread();
    RunLists::position(p.finishList, f);
}

void Corrections::assignFinishImpulse(const QString& impulseId) {
    RunPage& p = run_.currentPage();
    const RunColumns c = RunColumns::of(p.run());
    const QString b = p.finishBox();
    QString fin;
    QString id;
    if (!selectedImpulseTime(p.finishPulses, impulseId, fin, id))
        return;
    const RowSnapshot asked = readSnapshots(run_.dm.Db1, run_.app.competitionCode, b).value(b);
    if (!confirmSingleUse(c.finish, fin, b))
        return;
    std::optional<RunRow> row = rows_.read(c, b);
    if (row && !row->start.isEmpty() && !finishFollows(row->start, fin) &&
        !run_.confirm(
            QString::fromUtf8(kFinishBeforeStart).arg(fin.trimmed(), row->start.trimmed())))
        return;
    // Nothing written when the competitor's times changed during the questions; otherwise
    // the row as it stands after them.
    if (!run_.unchangedSinceAsked(b, asked))
        return;
    row = rows_.read(c, b);
    const bool known = row.has_value();
    const QString s = known ? row->start : QString();
    const QString cls = known ? row->cls : QString();
    {
        RecordedChange change(run_.dm.Db1, run_.app.competitionCode, b, source::kFinishAssigned);
        exec({"update result set " + c.finish + " = '" + sqlValue(fin) + "'",
              "," + runTimeSet(c.run, s, fin,
                               !known       ? QString()
                               : c.run == 1 ? row->time2
                                            : row->time1),
              "where tcode = '" + run_.code() + "'", "and zek = '" + sqlValue(b) + "'"});
        if (const QString reason = unassignedReason(id); !reason.isEmpty())
            change.takesImpulse(id, reason);
        assigned(id);
        change.commit();
    }
    run_.noteOperatorChange();
    // What the operator assigns stands, even before the start (a run across midnight);
    // without a start there is no run time yet.
    run_.dropKeptFinish(c.run, b);
    run_.rereadMarks();
    statuses_.askAboutStatus(b, c.run, false);
    if (known && !s.isEmpty())
        lists_.showRunTime(b, c.run, cls, nullptr);
    p.finishList.reread();
    RunLists::position(p.finishList, b);
    p.finishList.prior();
    p.setFinishBox(RunSelection::currentZek(p.finishList));
    // The row above is not always who finishes next (the newest starter has none above):
    // then the box goes where a captured finish would send it, never stays on a finisher.
    // The box goes on from the class of the competitor it stands on when that one has
    // finished too.
    QString fromClass = cls;
    const auto finished = [&](const QString& bib) {
        const std::optional<RunRow> r = rows_.read(c, bib);
        if (r)
            fromClass = r->cls;
        return r && rows_.finishStands(c, *r, bib, false);
    };
    if (known && (p.finishBox() == b || finished(p.finishBox()))) {
        boxes_.advanceFinish(p, c, fromClass, {});
        if (p.finishList.isOpen())
            RunLists::position(p.finishList, p.finishBox());
    }
    p.finishPulses.reread();
    p.results.reread();
    RunLists::position(p.results, b);
}

void Corrections::cancelStartTime(const QString& bib) {
    RunPage& p = run_.currentPage();
    const QString b = bib.isEmpty() ? p.startBox() : bib;
    {
        RecordedChange change(run_.dm.Db1, run_.app.competitionCode, b, source::kStartCleared);
        exec({run_.isRun1() ? QStringLiteral("update result set sttime = '',fl = 'N'")
                            : QStringLiteral("update result set sttime2 = '',fl2 = 'N'"),
              "where tcode = '" + run_.code() + "'", "and zek = '" + sqlValue(b) + "'"});
        change.commit();
    }
    run_.noteOperatorChange();
    p.startList.reread();
    RunLists::position(p.startList, b);
    // The finish box keeps its competitor, as after a start: left on the list's first row
    // it would hand the next finish impulse to the latest starter instead.
    const QString f = p.finishBox();
    p.finishList.reread();
    RunLists::position(p.finishList, f);
    run_.rereadUnassigned(); // a finish left without its start is shown
}

void Corrections::cancelFinishTime(const QString& bib) {
    RunPage& p = run_.currentPage();
    const QString b = bib.isEmpty() ? p.finishBox() : bib;
    {
        RecordedChange change(run_.dm.Db1, run_.app.competitionCode, b, source::kFinishCleared);
        exec({run_.isRun1() ? QStringLiteral("update result set altime = '',fl = 'S'")
                            : QStringLiteral("update result set altime2 = '',fl2 = 'S'"),
              "where tcode = '" + run_.code() + "'", "and zek = '" + sqlValue(b) + "'"});
        change.commit();
    }
    run_.noteOperatorChange();
    run_.dropKeptFinish(p.run(), b);
    p.finishList.reread();
    RunLists::position(p.finishList, b);
    p.results.prior();
    const QString above = RunSelection::currentZek(p.results);
    p.results.reread();
    RunLists::position(p.results, above);
    run_.rereadUnassigned();
}

QString Corrections::unassignedReason(const QString& impulseId) {
    if (!run_.unassigned().contains(impulseId))
        return {};
    Query& q = run_.dm.Qedit;
    q.setSql(
        {"select reason from pulse_unassigned where pulse_id = '" + sqlValue(impulseId) + "'"});
    q.open();
    // A mark without a reason of its own still comes back as a mark.
    const QString reason = q.fieldByName(u"reason").asString();
    return q.recordCount() == 0 ? QString() : reason.isEmpty() ? QStringLiteral("-") : reason;
}

void Corrections::assigned(const QString& impulseId) {
    if (!run_.unassigned().contains(impulseId))
        return; // only impulses marked here are in the table
    exec({"delete from pulse_unassigned where pulse_id = '" + sqlValue(impulseId) + "'"});
    run_.rereadUnassigned();
}

void Corrections::dismissImpulse(const QString& impulseId) {
    assigned(impulseId);
    run_.noteOperatorChange();
}

void Corrections::exec(const QStringList& statement) {
    run_.dm.Qedit.setSql(statement);
    run_.dm.Qedit.execSql();
}

void Corrections::calcruntime(const QString& bib, int run) {
    const RunColumns c = RunColumns::of(run);
    const std::optional<RunRow> row = rows_.read(c, bib);
    if (!row)
        return;
    const QString f = rows_.finishStands(c, *row, bib, false) ? row->finish : QString();
    run_.dm.Qtemp2.setSql(
        {"update result set " + runTimeSet(run, row->start, f, run == 1 ? row->time2 : row->time1),
         "where tcode = '" + run_.code() + "' and zek = '" + sqlValue(bib) + "'"});
    run_.dm.Qtemp2.execSql();
    lists_.showRunTime(bib, run, row->cls, nullptr);
}

bool Corrections::applyReplacement(const QString& bib, int run, bool start, const QString& time) {
    const ReplacementOutcome outcome =
        storeReplacementTime(run_.dm.Db1, run_.app.competitionCode, bib, run, start, time);
    if (outcome != ReplacementOutcome::Stored)
        return outcome == ReplacementOutcome::AlreadySo;
    followReplacement(bib, run, start);
    return true;
}

void Corrections::followReplacement(const QString& bib, int run, bool start) {
    run_.noteOperatorChange();
    run_.rereadMarks();
    run_.rereadUnassigned(); // a finish without its start, or the start that was missing
    if (!run_.app.currentRun.isEmpty())
        lists_.rereadCurrentPage();
    // A status the time contradicts (DNS with a start, DNF with a finish) is asked about.
    const QString contradicted = start ? QStringLiteral("DNS") : QStringLiteral("DNF");
    if (run_.statuses(run).value(bib).code == contradicted)
        emit run_.timeForStatus(bib, run, contradicted);
}

bool Corrections::revertChange(long long id) {
    const HistoryRevert::Outcome outcome =
        HistoryRevert(run_.dm.Db1, run_.app.competitionCode, run_.dialog).revert(id);
    if (!outcome.reverted)
        return false;
    // Counted once written: lines that waited for the database are not captured around it.
    run_.noteOperatorChange();
    if (!outcome.bib.isEmpty()) {
        run_.dropKeptFinish(1, outcome.bib);
        run_.dropKeptFinish(2, outcome.bib);
        run_.rereadStatuses();
        lists_.rereadCurrentPage();
        run_.rereadMarks();
    }
    emit run_.statusesChanged();
    return true;
}

} // namespace pistel
