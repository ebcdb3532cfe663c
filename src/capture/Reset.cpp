// Clearing the captured times of the current competition: everything (run-1 page) or the
// second run (run-2 page), after the operator confirms.
#include "BackupData.h"
#include "RunControl.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"
#include "results/ChangeHistory.h"

#include <stdexcept>

namespace pistel {
namespace {
const char kCannotUndo[] = "削除後の復旧は出来ません。";
const char kTimesCameDuringQuestion[] =
    "質問の間に時刻か状態が変わりました。何も削除していません。もう一度操作してください。";

bool ask(OperatorDialog* dialog, const char* text, const char* caption) {
    if (!dialog)
        throw std::runtime_error("no operator to confirm the reset");
    return dialog->askYesNo(QString::fromUtf8(text), QString::fromUtf8(caption));
}
} // namespace

void RunControl::resetRunData() {
    if (isRun1())
        resetAll();
    else
        resetRun2();
}

void RunControl::clearBackupData(int scope) {
    // The stopwatch sheets and the second timer's lines go with the times they back up, so
    // that an old sheet is never matched again; the history keeps them for a reversion.
    HistoryEntry entry;
    if (!backupdata::clearedEntry(backupdata::read(dm.Query2, app.competitionCode, scope), entry))
        return;
    for (const QString& statement : backupdata::clearStatements(app.competitionCode, scope))
        execWith(dm.Query2, {statement});
    execWith(dm.Query2, historyInsert(app.competitionCode, {entry}));
}

bool RunControl::unchangedDuringQuestion(const QHash<QString, RowSnapshot>& asked) {
    // Timer lines are captured while the operator reads the question: a time that came in
    // meanwhile is never wiped by the answer.
    if (readSnapshots(dm.Db1, app.competitionCode) == asked)
        return true;
    tell(QString::fromUtf8(kTimesCameDuringQuestion));
    return false;
}

void RunControl::resetAll() {
    const auto before = readSnapshots(dm.Db1, app.competitionCode);
    if (!ask(dialog, "全ての計測データを削除します。", kCannotUndo) ||
        !unchangedDuringQuestion(before))
        return;
    clearBackupData(0);
    execWith(dm.Query2, {"update result set sttime='' ,altime='' ,ttime=''",
                         ",sttime2='' ,altime2=''", " ,th='' ,tm='',ts='' ,tms='' ,fl='N'",
                         ",ttime2='',totaltime='' ,th2='' ,tm2='',ts2='' ,tms2='' ,fl2='N'",
                         ",diff=null,point=null,df1=0,df2=0,cutoff=0", ",e1='',e2=''",
                         ",BST1='99:99:99.9999',BFT1='99:99:99.9999',BRT1='99:99:99.99'",
                         ",BST2='99:99:99.9999',BFT2='99:99:99.9999',BRT2='99:99:99.99'",
                         ",HST1='99:99:99.999',HFT1='99:99:99.999',HRT1='99:99:99.99'",
                         ",HST2='99:99:99.999',HFT2='99:99:99.999',HRT2='99:99:99.99'",
                         "where tcode='" + code() + "'"});
    execWith(dm.Query2, {"delete from handtm where tcode='" + code() + "'"});
    execWith(dm.Query2, {"delete from run_status where tcode='" + code() + "'"});
    recordChanges(dm.Db1, app.competitionCode, QString::fromLatin1(source::kReset), before,
                  readSnapshots(dm.Db1, app.competitionCode));
    noteOperatorChange();
    keptFinishes_.clear();
    // The impulses logged up to the question: one that comes in while it is open stays.
    openWith(dm.Query2, {"select coalesce(max(id),0) from pulsedata where tcode='" + code() + "'"});
    const QString last = dm.Query2.text(0, 0);
    if (ask(dialog, "Pulseデータを削除してよろしいですか？", "")) {
        execWith(dm.Query2, {"delete from pulse_unassigned where tcode='" + code() +
                             "' and pulse_id <= '" + last + "'"});
        execWith(dm.Query2, {"delete r from pulse_run r join pulsedata p on p.id = r.pulse_id",
                             "where p.tcode='" + code() + "' and p.id <= '" + last + "'"});
        execWith(dm.Query2,
                 {"delete from pulsedata where tcode='" + code() + "' and id <= '" + last + "'"});
        emit impulsesDeleted(app.competitionCode);
    }
    for (Query* q : {&dm.Qdpst, &dm.Qdpfn, &dm.QresultBib, &dm.QPulseSt, &dm.QPulseFn})
        q->reread();
    rereadUnassigned();
    rereadStatuses();
    rereadMarks();
    emit statusesChanged();
}

void RunControl::resetRun2() {
    const auto before = readSnapshots(dm.Db1, app.competitionCode);
    if (!ask(dialog, "２本目の計測データを削除します。", kCannotUndo) ||
        !unchangedDuringQuestion(before))
        return;
    clearBackupData(2);
    execWith(dm.Query2, {"update result set ", "sttime2='' ,altime2=''",
                         ",ttime2='',totaltime=ttime ,th2='' ,tm2='',ts2='' ,tms2='' ,fl2='N'",
                         ",DF2=0,diff=null,point=null",
                         ",BST2='99:99:99.9999',BFT2='99:99:99.9999',BRT2='99:99:99.99'",
                         ",HST2='99:99:99.999',HFT2='99:99:99.999',HRT2='99:99:99.99'", ",e2=''",
                         "where tcode='" + code() + "'"});
    execWith(dm.Query2, {"delete from handtm where tcode='" + code() + "'", "and run = '2'"});
    execWith(dm.Query2, {"delete from run_status where tcode='" + code() + "' and run = 2"});
    recordChanges(dm.Db1, app.competitionCode, QString::fromLatin1(source::kReset), before,
                  readSnapshots(dm.Db1, app.competitionCode));
    noteOperatorChange();
    keptFinishes_.clear();
    for (Query* q : {&dm.Qdpst2, &dm.QPulseSt2, &dm.Qdpfn2, &dm.QPulseFn2, &dm.QresultBib2})
        q->reread();
    rereadUnassigned();
    rereadStatuses();
    rereadMarks();
    emit statusesChanged();
}

} // namespace pistel
