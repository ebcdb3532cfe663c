// The operator's corrections on the run pages: moving the boxes, assigning a logged impulse
// by hand, and cancelling start or finish times.
#include "RecordedChange.h"
#include "RunControl.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "data/TimeText.h"

#include <stdexcept>

namespace pistel {

const char* const kNoImpulseSelected =
    "時刻が選択されていません。割り当てる時刻を一覧で選択してください。";
const char* const kBibNotANumber = "ビブ番号は数字で入力してください。";

const char* const kImpulseGone = "選択した時刻が見つかりません。一覧を確認してください。";
const char* const kConfirmCaption = "確認";
const char* const kTimeUsedTwice =
    "この時刻は既にビブ %1 に割り当てられています。ビブ %2 にも割り当てますか？";
const char* const kFinishBeforeStart =
    "フィニッシュ時刻 %1 がスタート時刻 %2 より前です。このまま割り当てますか？";
const char* const kChangedWhileAsked = "質問の間にビブ %1 の時刻か状態が変わりました。"
                                       "何も変更していません。もう一度操作してください。";
const char* const kBibNotInCompetition =
    "ビブ %1 はこの大会に登録されていません。このビブにしますか？";

void RunControl::tell(const QString& text) {
    if (!dialog)
        throw std::runtime_error(text.toStdString());
    dialog->showMessage(text);
}

bool RunControl::confirm(const QString& text) {
    if (!dialog)
        throw std::runtime_error(text.toStdString());
    return dialog->askYesNo(text, QString::fromUtf8(kConfirmCaption));
}

QString RunControl::currentZek(const Query& list) {
    return list.fieldByName(u"zek").asString();
}

void RunControl::moveBox(Query& list, int step, void (RunPage::*setBox)(const QString&),
                         RunPage& page) {
    noteOperatorChange();
    // The lists run backwards (latest first), so the competitor who comes next is above.
    if (step < 0)
        list.prior();
    else
        list.next();
    (page.*setBox)(currentZek(list));
}

void RunControl::moveBoxToNext(RunPage& page, BoxKind box) {
    const bool start = box == BoxKind::Start;
    moveBox(start ? page.startList : page.finishList, -1,
            start ? &RunPage::setStartBox : &RunPage::setFinishBox, page);
}

void RunControl::moveBoxToPrevious(RunPage& page, BoxKind box) {
    const bool start = box == BoxKind::Start;
    moveBox(start ? page.startList : page.finishList, +1,
            start ? &RunPage::setStartBox : &RunPage::setFinishBox, page);
}

void RunControl::boxToChosenRow(RunPage& page, BoxKind box) {
    noteOperatorChange();
    if (box == BoxKind::Start) {
        page.setStartBox(currentZek(page.startList));
        return;
    }
    page.setFinishBox(currentZek(page.finishList));
    if (&page != &page1)
        return;
    const int cls = page1.finishList.fieldByName(u"class1").asInteger();
    if (cls == resultsGridClass)
        return;
    resultsGridClass = cls;
    openWith(dm.QresultBib, resultsStatement(QStringLiteral("FL"), cls, QStringLiteral("altime")));
}

QString RunControl::selectedImpulseId(const Query& impulses) {
    if (!impulses.isOpen() || impulses.currentRow() < 0)
        return {};
    return impulses.fieldByName(u"id").asString();
}

bool RunControl::selectedImpulseTime(const Query& impulses, const QString& impulseId, QString& time,
                                     QString& id) {
    // Assigning without a selected impulse would store an empty time of day.
    id = impulseId.isEmpty() ? selectedImpulseId(impulses) : impulseId;
    if (id.isEmpty()) {
        tell(QString::fromUtf8(kNoImpulseSelected));
        return false;
    }
    // Read by its row id: the list may have been re-read since the operator chose it.
    openWith(dm.Qedit, {"select dtime from pulsedata where tcode = '" + code() + "'",
                        "and id = '" + sqlValue(id) + "'"});
    if (dm.Qedit.recordCount() == 0) {
        tell(QString::fromUtf8(kImpulseGone));
        return false;
    }
    time = dm.Qedit.fieldByName(u"dtime").asString();
    return true;
}

bool RunControl::unchangedSinceAsked(const QString& bib, const RowSnapshot& asked) {
    // Timer lines are captured while a question is open: what the answer acts on must still
    // be what the question was about, or the answer would undo a captured time.
    if (readSnapshots(dm.Db1, app.competitionCode, bib).value(bib) == asked)
        return true;
    tell(QString::fromUtf8(kChangedWhileAsked).arg(bib));
    return false;
}

bool RunControl::confirmSingleUse(const QString& timeColumn, const QString& time,
                                  const QString& bib) {
    openWith(dm.Qedit, {"select zek from result where tcode = '" + code() + "'",
                        "and " + timeColumn + " = '" + sqlValue(time) + "'",
                        "and zek <> '" + sqlValue(bib) + "' order by zek"});
    if (dm.Qedit.recordCount() == 0)
        return true;
    return confirm(
        QString::fromUtf8(kTimeUsedTwice).arg(dm.Qedit.fieldByName(u"zek").asString(), bib));
}

void RunControl::assignStartImpulse(const QString& impulseId) {
    RunPage& p = currentPage();
    const RunColumns c = columnsOf(p.run());
    const QString b = p.startBox();
    QString t;
    QString id;
    if (!selectedImpulseTime(p.startPulses, impulseId, t, id))
        return;
    const RowSnapshot asked = readSnapshots(dm.Db1, app.competitionCode, b).value(b);
    if (!confirmSingleUse(c.start, t, b) || !unchangedSinceAsked(b, asked))
        return;
    noteOperatorChange();
    bool timed = false;
    QString cls;
    {
        RecordedChange change(dm.Db1, app.competitionCode, b, source::kStartAssigned);
        // A finish that waited for its start gets its run time now.
        if (const std::optional<RunRow> row = readRunRow(c, b)) {
            timed = storeTime(c, *row, true, b, t).timed;
            cls = row->cls;
        } else
            execWith(
                dm.Qedit,
                {"update result set " + c.start + " = '" + sqlValue(t) + "',fl" + c.n + " = 'S'",
                 "where tcode = '" + code() + "'", "and zek = '" + sqlValue(b) + "'"});
        if (const QString reason = unassignedReason(id); !reason.isEmpty())
            change.takesImpulse(id, reason);
        assigned(id);
        change.commit();
    }
    if (timed)
        showRunTime(b, c.run, cls, nullptr);
    rereadMarks();
    askAboutStatus(b, c.run, true);
    p.startList.reread();
    position(p.startList, b);
    // On to the next starter (the row above), as "次" does: the row below started before.
    p.startList.prior();
    p.setStartBox(currentZek(p.startList));
    const QString f = p.finishBox();
    p.finishList.reread();
    position(p.finishList, f);
}

void RunControl::assignFinishImpulse(const QString& impulseId) {
    RunPage& p = currentPage();
    const RunColumns c = columnsOf(p.run());
    const QString b = p.finishBox();
    QString fin;
    QString id;
    if (!selectedImpulseTime(p.finishPulses, impulseId, fin, id))
        return;
    const RowSnapshot asked = readSnapshots(dm.Db1, app.competitionCode, b).value(b);
    if (!confirmSingleUse(c.finish, fin, b))
        return;
    std::optional<RunRow> row = readRunRow(c, b);
    if (row && !row->start.isEmpty() && timeOfDayUnits(fin) < timeOfDayUnits(row->start) &&
        !confirm(QString::fromUtf8(kFinishBeforeStart).arg(fin.trimmed(), row->start.trimmed())))
        return;
    // Nothing written when the competitor's times changed during the questions; otherwise
    // the row as it stands after them.
    if (!unchangedSinceAsked(b, asked))
        return;
    row = readRunRow(c, b);
    const bool known = row.has_value();
    const QString s = known ? row->start : QString();
    const QString cls = known ? row->cls : QString();
    noteOperatorChange();
    // What the operator assigns stands, even before the start (a run across midnight);
    // without a start there is no run time yet.
    keptFinishes_.remove(keptKey(c.run, b));
    {
        RecordedChange change(dm.Db1, app.competitionCode, b, source::kFinishAssigned);
        execWith(dm.Qedit, {"update result set " + c.finish + " = '" + sqlValue(fin) + "'",
                            "," + runTimeSet(c.run, s, fin,
                                             !known       ? QString()
                                             : c.run == 1 ? row->time2
                                                          : row->time1),
                            "where tcode = '" + code() + "'", "and zek = '" + sqlValue(b) + "'"});
        if (const QString reason = unassignedReason(id); !reason.isEmpty())
            change.takesImpulse(id, reason);
        assigned(id);
        change.commit();
    }
    rereadMarks();
    askAboutStatus(b, c.run, false);
    if (known && !s.isEmpty())
        showRunTime(b, c.run, cls, nullptr);
    p.finishList.reread();
    position(p.finishList, b);
    p.finishList.prior();
    p.setFinishBox(currentZek(p.finishList));
    // The row above is not always who finishes next (the newest starter has none above):
    // then the box goes where a captured finish would send it, never stays on a finisher.
    // The box goes on from the class of the competitor it stands on when that one has
    // finished too.
    QString fromClass = cls;
    const auto finished = [&](const QString& bib) {
        const std::optional<RunRow> r = readRunRow(c, bib);
        if (r)
            fromClass = r->cls;
        return r && finishStands(c, *r, bib, false);
    };
    if (known && (p.finishBox() == b || finished(p.finishBox()))) {
        advanceFinish(p, c, fromClass, {});
        if (p.finishList.isOpen())
            position(p.finishList, p.finishBox());
    }
    p.finishPulses.reread();
    p.results.reread();
    position(p.results, b);
}

void RunControl::cancelStartTime(const QString& bib) {
    RunPage& p = currentPage();
    const QString b = bib.isEmpty() ? p.startBox() : bib;
    noteOperatorChange();
    {
        RecordedChange change(dm.Db1, app.competitionCode, b, source::kStartCleared);
        execWith(dm.Qedit, {isRun1() ? QStringLiteral("update result set sttime = '',fl = 'N'")
                                     : QStringLiteral("update result set sttime2 = '',fl2 = 'N'"),
                            "where tcode = '" + code() + "'", "and zek = '" + sqlValue(b) + "'"});
        change.commit();
    }
    p.startList.reread();
    position(p.startList, b);
    // The finish box keeps its competitor, as after a start: left on the list's first row
    // it would hand the next finish impulse to the latest starter instead.
    const QString f = p.finishBox();
    p.finishList.reread();
    position(p.finishList, f);
    rereadUnassigned(); // a finish left without its start is shown
}

void RunControl::cancelFinishTime(const QString& bib) {
    RunPage& p = currentPage();
    const QString b = bib.isEmpty() ? p.finishBox() : bib;
    noteOperatorChange();
    keptFinishes_.remove(keptKey(p.run(), b));
    {
        RecordedChange change(dm.Db1, app.competitionCode, b, source::kFinishCleared);
        execWith(dm.Qedit, {isRun1() ? QStringLiteral("update result set altime = '',fl = 'S'")
                                     : QStringLiteral("update result set altime2 = '',fl2 = 'S'"),
                            "where tcode = '" + code() + "'", "and zek = '" + sqlValue(b) + "'"});
        change.commit();
    }
    p.finishList.reread();
    position(p.finishList, b);
    p.results.prior();
    const QString above = currentZek(p.results);
    p.results.reread();
    position(p.results, above);
    rereadUnassigned();
}

QString RunControl::unassignedReason(const QString& impulseId) {
    if (!unassigned_.contains(impulseId))
        return {};
    openWith(dm.Qedit, {"select reason from pulse_unassigned where pulse_id = '" +
                        sqlValue(impulseId) + "'"});
    // A mark without a reason of its own still comes back as a mark.
    const QString reason = dm.Qedit.fieldByName(u"reason").asString();
    return dm.Qedit.recordCount() == 0 ? QString()
           : reason.isEmpty()          ? QStringLiteral("-")
                                       : reason;
}

void RunControl::assigned(const QString& impulseId) {
    if (!unassigned_.contains(impulseId))
        return; // only impulses marked here are in the table
    execWith(dm.Qedit,
             {"delete from pulse_unassigned where pulse_id = '" + sqlValue(impulseId) + "'"});
    rereadUnassigned();
}

void RunControl::dismissImpulse(const QString& impulseId) {
    noteOperatorChange();
    assigned(impulseId);
}

void RunControl::rereadUnassigned() {
    Query& q = dm.Qedit;
    openWith(q, {"select pulse_id from pulse_unassigned where tcode = '" + code() + "'"});
    QSet<QString> ids;
    for (int r = 0; r < q.recordCount(); ++r)
        ids.insert(q.text(r, 0));
    QStringList missing;
    if (!app.currentRun.isEmpty()) {
        const RunColumns c = columnsOf(isRun1() ? 1 : 2);
        openWith(q, {"select zek from result where tcode = '" + code() + "'",
                     "and " + c.finish + " <> '' and " + c.start + " = '' order by zek"});
        for (int r = 0; r < q.recordCount(); ++r)
            missing << q.text(r, 0);
    }
    q.close();
    if (ids == unassigned_ && missing == missingStarts_)
        return;
    unassigned_ = ids;
    missingStarts_ = missing;
    emit unassignedChanged();
}

bool RunControl::enterBib(Query& list, void (RunPage::*setBox)(const QString&), RunPage& page,
                          const QString& typed) {
    bool ok = false;
    const int number = typed.trimmed().toInt(&ok);
    if (!ok) {
        tell(QString::fromUtf8(kBibNotANumber));
        return false;
    }
    const QString bib = QString::asprintf("%.4d", number);
    noteOperatorChange();
    openWith(dm.Qedit, {"select zek from result where tcode = '" + code() + "'",
                        "and zek = '" + sqlValue(bib) + "'"});
    if (dm.Qedit.recordCount() == 0 && !confirm(QString::fromUtf8(kBibNotInCompetition).arg(bib)))
        return false;
    (page.*setBox)(bib);
    if (list.isOpen())
        position(list, bib);
    return true;
}

bool RunControl::findStartBib(RunPage& page, const QString& typed) {
    return enterBib(page.startList, &RunPage::setStartBox, page, typed);
}

bool RunControl::findFinishBib(RunPage& page, const QString& typed) {
    return enterBib(page.finishList, &RunPage::setFinishBox, page, typed);
}

} // namespace pistel
