#pragma once

namespace pistel {

namespace odbc {
class Connection;
}

// One transaction on a connection that otherwise commits each statement by itself: the
// statements between construction and commit() are written together or not at all. Left
// without commit() (an exception), it is rolled back.
class Transaction {
public:
    explicit Transaction(odbc::Connection& db);
    // Begun by the caller's own first batch ("start transaction;" and its first writes in one
    // round trip); rolled back like any other when left without commit.
    struct BegunByBatch {};
    Transaction(odbc::Connection& db, BegunByBatch);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();    // throws DbError; a commit whose reply is lost may have landed
    void rollback();  // throws DbError
    // The caller's batch ended with "commit".
    void committedByBatch() { active_ = false; }
    bool active() const { return active_; }

private:
    odbc::Connection& db_;
    bool active_ = false;
};

} // namespace pistel
