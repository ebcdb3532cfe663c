#include "Transaction.h"

#include "DbError.h"
#include "odbc/OdbcConnection.h"

namespace pistel {
namespace {
void run(odbc::Connection& db, const char* statement) {
    db.execute(QByteArray(statement), QString::fromLatin1(statement), nullptr);
}
} // namespace

Transaction::Transaction(odbc::Connection& db) : db_(db), active_(true) {
    db_.beginWithNextStatement();
}

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
    if (db_.beginPending())
        db_.cancelBegin(); // nothing was written
    else
        run(db_, "commit");
}

void Transaction::rollback() {
    active_ = false;
    if (db_.beginPending())
        db_.cancelBegin(); // nothing was begun
    else
        run(db_, "rollback");
}

} // namespace pistel
