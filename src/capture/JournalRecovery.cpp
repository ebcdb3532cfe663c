#include "JournalRecovery.h"

#include "ImpulseRow.h"
#include "TimerLine.h"
#include "data/DbError.h"
#include "data/SjisText.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "data/Transaction.h"

#include <QHash>

namespace pistel {
namespace {

// A field as the database gives it back: through Shift-JIS (a byte without a form there
// becomes "?").
QString stored(const QString& field) {
    return fromSjis(toSjis(field));
}

QString keyOf(int tenths, const QString& tstat, const QString& bib, const QString& stat,
              const QString& dtime) {
    return QString::number(tenths) + QLatin1Char('\x1f') + tstat + QLatin1Char('\x1f') + bib +
           QLatin1Char('\x1f') + stat + QLatin1Char('\x1f') + dtime;
}

// One batch: the impulse row, its receipt, its mark (received while nothing captured:
// nobody got the time yet), and the commit of the transaction.
void writeEntry(Query& q, const JournalEntry& e, const TimerLine& t, const ImpulseLog& log) {
    QStringList batch;
    if (e.receipt.isEmpty())
        batch
            << impulseRowStatements(e.competitionCode, e.receiptTenths, t, e.receipt, log).first();
    else
        batch << impulseRowStatements(e.competitionCode, e.receiptTenths, t, e.receipt, log);
    if (log.timer && assignable(t))
        batch << markUnassignedStatement(e.competitionCode,
                                         QStringLiteral("取り込まれずに記録された時刻"));
    q.setSql(batch << QStringLiteral("commit"));
    q.execSql();
}

} // namespace

RecoveryCount writeMissingImpulses(TDM1& dm, const QList<JournalEntry>& entries,
                                   const ImpulseLog& log) {
    RecoveryCount count;
    QHash<QString, QHash<QString, int>> logged; // competition -> row -> how many
    Query& q = dm.Qedit;
    // An entry without a receipt (an older journal) is found by its fields: a line received
    // n times needs n rows.
    auto loggedByFields = [&](const JournalEntry& e, const TimerLine& t) {
        if (!logged.contains(e.competitionCode)) {
            QHash<QString, int>& rows = logged[e.competitionCode];
            q.setSql({"select ttime,tstat,bib,stat,dtime from " + QLatin1String(log.table) +
                      " where tcode = '" + sqlValue(e.competitionCode) + "'"});
            q.open();
            for (int r = 0; r < q.recordCount(); ++r)
                ++rows[keyOf(q.text(r, 0).toInt(), q.text(r, 1), q.text(r, 2), q.text(r, 3),
                             q.text(r, 4))];
            q.close();
        }
        int& there = logged[e.competitionCode][keyOf(
            e.receiptTenths, stored(t.tstat), stored(t.bib), stored(t.stat), stored(t.dtime))];
        return there > 0 && there-- > 0;
    };
    for (const JournalEntry& e : entries) {
        const TimerLine t = splitTimerLine(QString::fromLatin1(e.line));
        if (t.endsDelivery()) {
            ++count.notLogged;
            continue;
        }
        try {
            if (e.receipt.isEmpty() ? loggedByFields(e, t) : receiptLogged(q, e.receipt, log)) {
                ++count.alreadyLogged;
                continue;
            }
            Transaction tx(dm.Db1);
            writeEntry(q, e, t, log);
            tx.committedByBatch();
            ++count.written;
        } catch (const DbError& err) {
            if (err.connectionLost())
                throw;
            ++count.refused;
        }
    }
    return count;
}

} // namespace pistel
