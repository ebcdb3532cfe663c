#include "OfficeBatch.h"

#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/Transaction.h"

namespace pistel {

QString quoted(const QString& value) {
    return QLatin1Char('\'') + sqlValue(value) + QLatin1Char('\'');
}

void writeTogether(odbc::Connection& db, QStringList statements) {
    if (statements.isEmpty())
        return;
    statements << QStringLiteral("commit");
    Transaction tx(db);
    Query q(db, QStringLiteral("office"), {statements.join(QStringLiteral(";\n"))});
    q.execSql();
    tx.committedByBatch();
}

} // namespace pistel
