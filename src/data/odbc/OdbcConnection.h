#pragma once

#include "OdbcHandle.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace pistel {
class ResultSet;
}

namespace pistel::odbc {

// Bind buffers for block fetches, reused from statement to statement.
struct FetchBuffers {
    std::vector<char> bytes;
    std::vector<SQLLEN> indicators;
};

// One ODBC connection over the narrow (byte) API: statements go out as Shift-JIS bytes
// and text comes back unchanged, so the driver never converts Japanese text itself.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects by an ODBC connection string, never prompting; throws DbError.
    void open(const QString& connectionString);
    void close();
    bool isOpen() const { return connected_; }
    // Opens again with the connection string of the last successful open (after a lost
    // connection); throws DbError.
    void reopen();
    // Opens as open does, and remembers the string even when the server cannot be reached,
    // so that reopen tries again.
    void openRemembering(const QString& connectionString) {
        connectionString_ = connectionString;
        open(connectionString);
    }
    // Whether it was ever opened, so that reopen knows where to.
    bool wasOpened() const { return !connectionString_.isEmpty(); }
    const QString& lastConnectionString() const { return connectionString_; }

    // Seconds after which connecting, reading or writing gives up (taken at open).
    int timeoutSeconds = 3;

    // The next statement that writes (executed without rows) opens a transaction ("start
    // transaction;" goes out in front of it, saving a round trip of its own); cancelled when
    // nothing was written meanwhile.
    void beginWithNextStatement() { beginPending_ = true; }
    bool beginPending() const { return beginPending_; }
    void cancelBegin() { beginPending_ = false; }

    // Executes one statement (or a batch of them, joined by ";"). When its first statement
    // yields rows and `rows` is given they are read into it.
    // Returns the affected row count of a change, -1 when the driver does not tell.
    // `text` names the statement in an error.
    long long execute(const QByteArray& sql, const QString& text, ResultSet* rows);

private:
    long long run(const QByteArray& sql, const QString& text, ResultSet* rows);
    long long drainBatch(SQLHSTMT st, const QString& text, long long count);
    // Whether the driver found the connection gone (without asking the server).
    bool dead();

    QString connectionString_;
    Handle env_;
    Handle dbc_;
    FetchBuffers scratch_;
    bool connected_ = false;
    bool beginPending_ = false;
};

} // namespace pistel::odbc
