#include "Withdrawal.h"

#include "data/Query.h"
#include "data/SqlValue.h"

#include <stdexcept>

namespace pistel {

void setWithdrawn(odbc::Connection& db, const QString& code, const QString& bib, bool withdrawn) {
    const QString where =
        " where tcode = '" + sqlValue(code) + "' and zek = '" + sqlValue(bib) + "'";
    Query q(db, QStringLiteral("withdraw"),
            {"select sttime,altime,sttime2,altime2 from result" + where});
    q.open();
    if (q.recordCount() == 0)
        throw std::invalid_argument(
            QStringLiteral("ビブ %1 はこの大会に登録されていません").arg(bib).toStdString());
    for (int c = 0; c < 4; ++c)
        if (withdrawn && !q.text(0, c).isEmpty())
            throw std::invalid_argument(
                QStringLiteral("ビブ %1 には時刻があります。欠場・途中棄権は状態で付けてください")
                    .arg(bib)
                    .toStdString());
    // The statement itself checks again, so a time stored since the look is never hidden.
    Query update(db, QStringLiteral("withdraw"),
                 {"update result set dropm = '" + QString(withdrawn ? "9" : "") + "'" + where +
                  (withdrawn ? " and sttime = '' and altime = '' and sttime2 = '' and altime2 = ''"
                             : QString())});
    if (update.execSql() == 0 && withdrawn)
        throw std::invalid_argument(
            QStringLiteral("ビブ %1 には時刻があります").arg(bib).toStdString());
}

} // namespace pistel
