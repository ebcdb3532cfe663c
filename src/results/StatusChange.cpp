#include "StatusChange.h"

#include "ChangeHistory.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/Transaction.h"

namespace pistel {

QString statusContradiction(const RowSnapshot& row, const QString& bib, int run,
                            const RunStatus& status) {
    const QString n = run == 2 ? QStringLiteral("2") : QString();
    if (status.code == u"DNS" && !row.value("STTIME" + n).isEmpty())
        return QStringLiteral("ビブ %1 には%2本目のスタート時刻があります。").arg(bib).arg(run);
    if (status.code == u"DNF" && row.value("FL" + n) == u"F" && !row.value("TTIME" + n).isEmpty())
        return QStringLiteral("ビブ %1 には%2本目のタイムがあります。").arg(bib).arg(run);
    return {};
}

bool changeStatus(odbc::Connection& db, const QString& code, const QString& bib, int run,
                  const RunStatus& status) {
    const QHash<QString, RowSnapshot> rows = readSnapshots(db, code, bib);
    if (!rows.contains(bib))
        return false;
    const RowSnapshot before = rows[bib];
    RowSnapshot after = before;
    after.setStatus(run, status);
    HistoryEntry entry;
    if (!describeChange(bib, QString::fromLatin1(source::kStatus), before, after, entry))
        return true;
    const QString where = "tcode = '" + sqlValue(code) + "' and zek = '" + sqlValue(bib) +
                          "' and run = '" + QString::number(run) + "'";
    QStringList batch{"delete from run_status where " + where + ";"};
    if (status.isSet())
        batch << "insert into run_status (tcode,zek,run,code,gate,reason) values ('" +
                     sqlValue(code) + "','" + sqlValue(bib) + "','" + QString::number(run) + "','" +
                     sqlValue(status.code) + "','" + sqlValue(status.gate) + "','" +
                     sqlValue(status.reason) + "');";
    batch << historyInsert(code, {entry}) << ";commit";
    Transaction transaction(db);
    Query q(db, QStringLiteral("status"));
    q.setSql(batch);
    q.execSql();
    transaction.committedByBatch();
    return true;
}

} // namespace pistel
