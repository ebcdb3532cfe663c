#include "Transaction.h"

#include "DbError.h"
#include "odbc/OdbcConnection.h"

namespace pistel {

Transaction::Transaction(odbc::Connection& db) : db_(db), active_(true) {
    db_.beginWithNextStatement();
}

Transaction::~Transaction() {
    if (!active_)
        return;
    if (db_.beginPending()) {
        db_.cancelBegin(); // nothing was written: nothing to undo
        return;
    }
    try {
        db_.execute(QByteArrayLiteral("rollback"), QStringLiteral("rollback"), nullptr);
    } catch (const DbError&) {
        // A connection lost meanwhile is closed: the server rolls back what it had begun.
    }
}

} // namespace pistel
