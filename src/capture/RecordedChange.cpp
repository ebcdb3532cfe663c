#include "RecordedChange.h"

#include "data/Query.h"
#include "data/odbc/OdbcConnection.h"

namespace pistel {

RecordedChange::RecordedChange(odbc::Connection& db, const QString& code, const QString& bib,
                               const char* source)
    : db_(db), code_(code), bib_(bib), source_(QString::fromLatin1(source)), transaction_(db) {
    const QHash<QString, RowSnapshot> rows = readSnapshots(db, code, bib);
    known_ = rows.contains(bib);
    before_ = rows.value(bib);
}

void RecordedChange::takesImpulse(const QString& impulseId, const QString& reason) {
    changesImpulseMark(impulseId + u'|' + reason, impulseId + u'|');
}

void RecordedChange::changesImpulseMark(const QString& before, const QString& after) {
    impulseBefore_ = before;
    impulseAfter_ = after;
}

void RecordedChange::commit() {
    HistoryEntry entry;
    QHash<QString, RowSnapshot> rows =
        known_ ? readSnapshots(db_, code_, bib_) : QHash<QString, RowSnapshot>{};
    if (!impulseBefore_.isEmpty() && rows.contains(bib_)) {
        before_.values.insert(QString::fromLatin1(kUnassignedKey), impulseBefore_);
        rows[bib_].values.insert(QString::fromLatin1(kUnassignedKey), impulseAfter_);
    }
    QStringList batch;
    if (rows.contains(bib_) && describeChange(bib_, source_, before_, rows[bib_], entry))
        batch = historyInsert(code_, {entry}) << QStringLiteral(";commit");
    else if (!db_.beginPending())
        batch = QStringList{QStringLiteral("commit")}; // written, but nothing the history keeps
    if (!batch.isEmpty()) {
        Query q(db_, QStringLiteral("history"));
        q.setSql(batch);
        q.execSql();
    }
    transaction_.committedByBatch();
}

RowSnapshot rowAfterStore(RowSnapshot row, int run, const QString& timeColumn, const QString& time,
                          const QString& runTime, const QString& total, const QString& state) {
    const QString n = run == 1 ? QString() : QStringLiteral("2");
    row.values.insert(timeColumn.toUpper(), time);
    row.values.insert("TTIME" + n, runTime);
    row.values.insert(QStringLiteral("TOTALTIME"), total);
    row.values.insert("FL" + n, state);
    row.values.insert("TH" + n, runTime.mid(0, 2));
    row.values.insert("TM" + n, runTime.mid(3, 2));
    row.values.insert("TS" + n, runTime.mid(6, 2));
    row.values.insert("TMS" + n, runTime.mid(9, 2));
    return row;
}

} // namespace pistel
