#pragma once

namespace pistel {

namespace odbc {
class Connection;
}

// One transaction on a connection that otherwise commits each statement by itself: the
// statements between construction and the caller's last batch, which ends with "commit",
// are written together or not at all. It begins with the connection's next write, without a
// round trip of its own; left without committedByBatch() (an exception), it is rolled back.
class Transaction {
public:
    explicit Transaction(odbc::Connection& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // The caller's last batch ended with "commit" (a commit whose reply is lost may have
    // landed: the receipts tell).
    void committedByBatch() { active_ = false; }

private:
    odbc::Connection& db_;
    bool active_ = false;
};

} // namespace pistel
