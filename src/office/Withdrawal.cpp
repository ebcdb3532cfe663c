#include "Withdrawal.h"

#include "OfficeBatch.h"
#include "OfficeHistory.h"
#include "data/Query.h"
#include "data/Transaction.h"

#include <stdexcept>

namespace pistel {

void setWithdrawn(odbc::Connection& db, const QString& code, const QString& bib, bool withdrawn) {
    const QString where = " where tcode = " + quoted(code) + " and zek = " + quoted(bib);
    // The row is locked from the look to the write, so a time stored meanwhile is never hidden.
    Transaction tx(db);
    Query q(db, QStringLiteral("withdraw"),
            {"select concat(sttime,altime,sttime2,altime2),dropm,name from result" + where +
             " for update"});
    q.open();
    if (q.recordCount() == 0)
        throw std::invalid_argument(
            QStringLiteral("ビブ %1 はこの大会に登録されていません").arg(bib).toStdString());
    if (withdrawn && !q.text(0, 0).isEmpty())
        throw std::invalid_argument(
            QStringLiteral("ビブ %1 には時刻があります。欠場・途中棄権は状態で付けてください")
                .arg(bib)
                .toStdString());
    const bool was = q.text(0, 1) == u"9";
    QStringList batch{"update result set dropm = '" + QString(withdrawn ? "9" : "") + "'" + where};
    if (was != withdrawn) {
        const QString out = QStringLiteral("出走取消"), in = QStringLiteral("出走");
        batch << officeHistory(
                     code, {{bib, 0,
                             withdrawn ? QStringLiteral("出走取消: %1").arg(q.text(0, 2))
                                       : QStringLiteral("出走取消の取り消し: %1").arg(q.text(0, 2)),
                             was ? out : in, withdrawn ? out : in}})
                     .join(u'\n');
    }
    batch << QStringLiteral("commit");
    Query write(db, QStringLiteral("withdraw"), {batch.join(QStringLiteral(";\n"))});
    write.execSql();
    tx.committedByBatch();
}

} // namespace pistel
