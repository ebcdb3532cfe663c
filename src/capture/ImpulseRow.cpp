#include "ImpulseRow.h"

#include "TimerLine.h"
#include "data/Query.h"
#include "data/SqlValue.h"

namespace pistel {

void insertImpulse(Query& q, const QString& code, int receiptTenths, const TimerLine& t) {
    q.clearSql();
    q.addSql(QStringLiteral("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values ("));
    q.addSql(QLatin1Char('\'') + sqlValue(code) + QStringLiteral("','") +
             QString::number(receiptTenths) + QStringLiteral("','") + sqlValue(t.tstat) +
             QStringLiteral("','") + sqlValue(t.bib) + QStringLiteral("','") + sqlValue(t.stat) +
             QStringLiteral("','") + sqlValue(t.dtime) + QStringLiteral("')"));
    q.execSql();
}

} // namespace pistel
