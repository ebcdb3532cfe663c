#pragma once

namespace pistel {

namespace odbc {
class Connection;
}

// One transaction on a connection that otherwise commits each statement by itself: the
// statements between construction and commit() are written together or not at all. Left
// without commit() (an exception), it is rolled back. It begins with the connection's next
// statement, without a round trip of its own.
class Transaction {
public:
    explicit Transaction(odbc::Connection& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();   // throws DbError; a commit whose reply is lost may have landed
    void rollback(); // throws DbError
    // The caller's last batch ended with "commit".
    void committedByBatch() { active_ = false; }
    bool active() const { return active_; }

private:
    odbc::Connection& db_;
    bool active_ = false;
};

} // namespace pistel
