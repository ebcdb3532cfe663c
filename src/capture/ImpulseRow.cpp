#include "ImpulseRow.h"

#include "TimerLine.h"
#include "data/Query.h"
#include "data/SqlValue.h"

namespace pistel {

namespace {
QString impulseInsert(const QString& code, int receiptTenths, const TimerLine& t,
                      const ImpulseLog& log) {
    return QStringLiteral("insert into ") + QLatin1String(log.table) +
           QStringLiteral(" (tcode,ttime,tstat,bib,stat,dtime) values ('") + sqlValue(code) +
           QStringLiteral("','") + QString::number(receiptTenths) + QStringLiteral("','") +
           sqlValue(t.tstat) + QStringLiteral("','") + sqlValue(t.bib) + QStringLiteral("','") +
           sqlValue(t.stat) + QStringLiteral("','") + sqlValue(t.dtime) + QStringLiteral("')");
}
} // namespace

QStringList impulseRowStatements(const QString& code, int receiptTenths, const TimerLine& t,
                                 const QString& receipt, const ImpulseLog& log) {
    // LAST_INSERT_ID() stays the impulse row's id: no other table written in a line's
    // transaction has an auto-increment column. A receipt left by a row that was deleted
    // since (a reset) names the new row.
    return {impulseInsert(code, receiptTenths, t, log) + QLatin1Char(';'),
            "insert into " + QLatin1String(log.receipts) + " (receipt,pulse_id) values ('" +
                sqlValue(receipt) +
                "',LAST_INSERT_ID()) on duplicate key update pulse_id = values(pulse_id);"};
}

QString markUnassignedStatement(const QString& code, const QString& reason) {
    return "insert into pulse_unassigned (pulse_id,tcode,reason) values (LAST_INSERT_ID(),'" +
           sqlValue(code) + "','" + sqlValue(reason.left(80)) + "');";
}

bool receiptLogged(Query& q, const QString& receipt, const ImpulseLog& log) {
    // The row itself must be there: a receipt of a deleted row (a reset) counts for nothing.
    q.setSql({"select r.pulse_id from " + QLatin1String(log.receipts) + " r join " +
                  QLatin1String(log.table) + " p on p.id = r.pulse_id",
              "where r.receipt = '" + sqlValue(receipt) + "'"});
    q.open();
    const bool there = q.recordCount() > 0;
    q.close();
    return there;
}

QString runTagStatement(const QString& run, const ImpulseLog& log) {
    if (run != u"1" && run != u"2")
        return {};
    if (!log.timer)
        return "update " + QLatin1String(log.table) + " set run = '" + run +
               "' where id = LAST_INSERT_ID();";
    return "insert into pulse_run (pulse_id,run) values (LAST_INSERT_ID(),'" + run + "');";
}

QSet<QString> receiptsEverLogged(Query& q, const QStringList& receipts, const ImpulseLog& log) {
    QSet<QString> found;
    constexpr qsizetype kChunk = 500; // a day's journal in a few statements
    for (qsizetype i = 0; i < receipts.size(); i += kChunk) {
        QStringList quoted;
        for (const QString& r : receipts.mid(i, kChunk))
            quoted << "'" + sqlValue(r) + "'";
        q.setSql({"select receipt from " + QLatin1String(log.receipts) + " where receipt in (" +
                  quoted.join(QLatin1Char(',')) + ")"});
        q.open();
        for (int r = 0; r < q.recordCount(); ++r)
            found.insert(q.text(r, 0));
        q.close();
    }
    return found;
}

bool assignable(const TimerLine& t) {
    if (!t.isStart() && !t.isFinish())
        return false;
    if (t.tstat == QLatin1String("m"))
        return t.isStart(); // a finish from the device's memory is not to be assigned
    return t.tstat == QLatin1String(" ") || t.tstat == QLatin1String("?") || t.isEdited();
}

} // namespace pistel
