#include "Transaction.h"

#include "DbError.h"
#include "odbc/OdbcConnection.h"

namespace pistel {
namespace {
void run(odbc::Connection& db, const char* statement) {
    db.execute(QByteArray(statement), QString::fromLatin1(statement), nullptr);
}
} // namespace

Transaction::Transaction(odbc::Connection& db) : db_(db) {
    run(db_, "start transaction");
    active_ = true;
}

Transaction::Transaction(odbc::Connection& db, BegunByBatch) : db_(db), active_(true) {}

Transaction::~Transaction() {
    if (!active_)
        return;
    try {
        rollback();
    } catch (const DbError&) {
        // A connection lost meanwhile is closed: the server rolls back what it had begun.
    }
}

void Transaction::commit() {
    active_ = false;
    run(db_, "commit");
}

void Transaction::rollback() {
    active_ = false;
    run(db_, "rollback");
}

} // namespace pistel
