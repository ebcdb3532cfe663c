// Clearing the captured times of the current competition: everything (run-1 page) or the
// second run (run-2 page), after the operator confirms.
#include "Resets.h"

#include "BackupData.h"
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

void Resets::resetRunData() {
    if (run_.isRun1())
        resetAll();
    else
        resetRun2();
}

void Resets::clearBackupData(int scope) {
    // The stopwatch sheets and the second timer's lines go with the times they back up, so
    // that an old sheet is never matched again; the history keeps them for a reversion.
    HistoryEntry entry;
    if (!backupdata::clearedEntry(backupdata::read(run_.dm.Query2, run_.app.competitionCode, scope),
                                  entry))
        return;
    for (const QString& statement : backupdata::clearStatements(run_.app.competitionCode, scope))
        exec({statement});
    exec(historyInsert(run_.app.competitionCode, {entry}));
}

std::optional<QHash<QString, RowSnapshot>> Resets::confirmed(const char* question) {
    auto before = readSnapshots(run_.dm.Db1, run_.app.competitionCode);
    if (!ask(run_.dialog, question, kCannotUndo))
        return std::nullopt;
    // Timer lines are captured while the operator reads the question: a time that came in
    // meanwhile is never wiped by the answer.
    if (readSnapshots(run_.dm.Db1, run_.app.competitionCode) != before) {
        run_.tell(QString::fromUtf8(kTimesCameDuringQuestion));
        return std::nullopt;
    }
    return before;
}

void Resets::resetAll() {
    const QString code = run_.code();
    const auto before = confirmed("全ての計測データを削除します。");
    if (!before)
        return;
    clearBackupData(0);
    exec({"update result set sttime='' ,altime='' ,ttime=''", ",sttime2='' ,altime2=''",
          " ,th='' ,tm='',ts='' ,tms='' ,fl='N'",
          ",ttime2='',totaltime='' ,th2='' ,tm2='',ts2='' ,tms2='' ,fl2='N'",
          ",diff=null,point=null,df1=0,df2=0,cutoff=0", ",e1='',e2=''",
          ",BST1='99:99:99.9999',BFT1='99:99:99.9999',BRT1='99:99:99.99'",
          ",BST2='99:99:99.9999',BFT2='99:99:99.9999',BRT2='99:99:99.99'",
          ",HST1='99:99:99.999',HFT1='99:99:99.999',HRT1='99:99:99.99'",
          ",HST2='99:99:99.999',HFT2='99:99:99.999',HRT2='99:99:99.99'",
          "where tcode='" + code + "'"});
    exec({"delete from handtm where tcode='" + code + "'"});
    exec({"delete from run_status where tcode='" + code + "'"});
    recordChanges(run_.dm.Db1, run_.app.competitionCode, QString::fromLatin1(source::kReset),
                  *before, readSnapshots(run_.dm.Db1, run_.app.competitionCode));
    run_.noteOperatorChange();
    run_.dropKeptFinishes();
    // The impulses logged up to the question: one that comes in while it is open stays.
    Query& q = run_.dm.Query2;
    q.setSql({"select coalesce(max(id),0) from pulsedata where tcode='" + code + "'"});
    q.open();
    const QString last = q.text(0, 0);
    if (ask(run_.dialog, "Pulseデータを削除してよろしいですか？", "")) {
        exec({"delete from pulse_unassigned where tcode='" + code + "' and pulse_id <= '" + last +
              "'"});
        exec({"delete r from pulse_run r join pulsedata p on p.id = r.pulse_id",
              "where p.tcode='" + code + "' and p.id <= '" + last + "'"});
        exec({"delete from pulsedata where tcode='" + code + "' and id <= '" + last + "'"});
        emit run_.impulsesDeleted(run_.app.competitionCode);
    }
    TDM1& dm = run_.dm;
    for (Query* list : {&dm.Qdpst, &dm.Qdpfn, &dm.QresultBib, &dm.QPulseSt, &dm.QPulseFn})
        list->reread();
    run_.rereadUnassigned();
    run_.rereadStatuses();
    run_.rereadMarks();
    emit run_.statusesChanged();
}

void Resets::resetRun2() {
    const QString code = run_.code();
    const auto before = confirmed("２本目の計測データを削除します。");
    if (!before)
        return;
    clearBackupData(2);
    exec({"update result set ", "sttime2='' ,altime2=''",
          ",ttime2='',totaltime=ttime ,th2='' ,tm2='',ts2='' ,tms2='' ,fl2='N'",
          ",DF2=0,diff=null,point=null",
          ",BST2='99:99:99.9999',BFT2='99:99:99.9999',BRT2='99:99:99.99'",
          ",HST2='99:99:99.999',HFT2='99:99:99.999',HRT2='99:99:99.99'", ",e2=''",
          "where tcode='" + code + "'"});
    exec({"delete from handtm where tcode='" + code + "'", "and run = '2'"});
    exec({"delete from run_status where tcode='" + code + "' and run = 2"});
    recordChanges(run_.dm.Db1, run_.app.competitionCode, QString::fromLatin1(source::kReset),
                  *before, readSnapshots(run_.dm.Db1, run_.app.competitionCode));
    run_.noteOperatorChange();
    run_.dropKeptFinishes();
    TDM1& dm = run_.dm;
    for (Query* list : {&dm.Qdpst2, &dm.QPulseSt2, &dm.Qdpfn2, &dm.QPulseFn2, &dm.QresultBib2})
        list->reread();
    run_.rereadUnassigned();
    run_.rereadStatuses();
    run_.rereadMarks();
    emit run_.statusesChanged();
}

void Resets::exec(const QStringList& statement) {
    run_.dm.Query2.setSql(statement);
    run_.dm.Query2.execSql();
}

} // namespace pistel
