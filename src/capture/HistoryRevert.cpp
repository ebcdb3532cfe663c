#include "HistoryRevert.h"

#include "BackupData.h"
#include "RecordedChange.h"
#include "RunContext.h"
#include "RunTimeRule.h"
#include "data/OperatorDialog.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/Transaction.h"

#include <stdexcept>

namespace pistel {
namespace {
const char kChangedSince[] =
    "ビブ %1 はこの変更の後にも変更されています。この変更の前の時刻と状態に戻しますか？";
const char kBackupDataChangedSince[] =
    "予備計時のデータはこの変更の後に変わっています。元に戻せません。";
const char kPublication[] =
    "公式発表はここでは元に戻せません。成績の「公式発表の取り消し」を使ってください。";
const char kOfficeChange[] = "大会準備の変更（エントリー・ビブ・スタート順）はここでは元に戻せませ"
                             "ん。大会準備で直してください。";
} // namespace

HistoryRevert::Outcome HistoryRevert::revert(long long id) {
    Query q(db_, QStringLiteral("revert"),
            {"select zek,before_row,after_row,source from change_history where tcode = '" +
             sqlValue(code_) + "' and id = '" + QString::number(id) + "'"});
    q.open();
    if (q.recordCount() == 0)
        return {};
    if (q.text(0, 3) == QLatin1String(source::kOffice)) {
        tell(QString::fromUtf8(kOfficeChange));
        return {};
    }
    if (q.text(0, 3) == QLatin1String(source::kPublish)) {
        tell(QString::fromUtf8(kPublication));
        return {};
    }
    const QString bib = q.text(0, 0);
    const RowSnapshot was = RowSnapshot::decode(q.text(0, 1));
    const RowSnapshot became = RowSnapshot::decode(q.text(0, 2));
    if (bib.isEmpty())
        return {revertBackupData(was, became), {}};
    // The question comes first; the row is then read again inside the reversion's own
    // transaction, and a line captured while the operator was asked stops it.
    const RowSnapshot asked = readSnapshots(db_, code_, bib).value(bib);
    if (asked != became.stored() && !confirm(QString::fromUtf8(kChangedSince).arg(bib)))
        return {};
    RecordedChange change(db_, code_, bib, source::kRevert);
    if (!change.known())
        return {};
    if (change.before() != asked) {
        tell(QString::fromUtf8(kChangedWhileAsked).arg(bib));
        return {};
    }
    const RowSnapshot target =
        change.before() == became.stored() ? was : partlyBack(change.before(), was, became);
    exec(restoreStatements(code_, bib, target));
    const QString mark = QString::fromLatin1(kUnassignedKey);
    if (target.values.contains(mark)) // a revert of this reversion puts the mark back again
        change.changesImpulseMark(became.value(mark), target.value(mark));
    change.commit();
    return {true, bib};
}

RowSnapshot HistoryRevert::partlyBack(const RowSnapshot& now, const RowSnapshot& was,
                                      const RowSnapshot& became) {
    // Only what the entry changed goes back, and the run times follow from the times as they
    // then stand.
    RowSnapshot target = now;
    for (auto it = was.values.cbegin(); it != was.values.cend(); ++it)
        if (became.value(it.key()) != it.value())
            target.values.insert(it.key(), it.value());
    for (int run = 1; run <= 2; ++run) {
        const QString n = run == 1 ? QString() : QStringLiteral("2");
        const QString st = QStringLiteral("STTIME") + n, fin = QStringLiteral("ALTIME") + n;
        if (was.value(st) == became.value(st) && was.value(fin) == became.value(fin))
            continue;
        const RunTimeState state = runTimeState(
            run, target.value(st), target.value(fin),
            target.value(run == 1 ? QStringLiteral("TTIME2") : QStringLiteral("TTIME")));
        target = rowAfterStore(target, run, st, target.value(st), state.runTime, state.total,
                               state.state);
    }
    return target;
}

bool HistoryRevert::revertBackupData(const RowSnapshot& was, const RowSnapshot& became) {
    if (!backupdata::isBackupData(was))
        return false;
    const int scope = was.value(QStringLiteral("SCOPE")).toInt();
    Query q(db_, QStringLiteral("backupData"));
    const RowSnapshot now = backupdata::read(q, code_, scope);
    if (now != became) { // exact or not at all
        tell(QString::fromUtf8(kBackupDataChangedSince));
        return false;
    }
    Transaction tx(db_);
    exec(backupdata::restoreStatements(code_, was));
    QStringList history =
        historyInsert(code_, {backupdata::changeEntry(now, was, source::kRevert)});
    history.last() += QStringLiteral(";\ncommit");
    exec(history);
    tx.committedByBatch();
    return true;
}

bool HistoryRevert::confirm(const QString& text) {
    if (!dialog_)
        throw std::runtime_error(text.toStdString());
    return dialog_->askYesNo(text, QStringLiteral("確認"));
}

void HistoryRevert::tell(const QString& text) {
    if (!dialog_)
        throw std::runtime_error(text.toStdString());
    dialog_->showMessage(text);
}

void HistoryRevert::exec(const QStringList& statement) {
    Query q(db_, QStringLiteral("revert"), statement);
    q.execSql();
}

} // namespace pistel
