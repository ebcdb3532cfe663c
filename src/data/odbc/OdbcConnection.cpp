#include "OdbcConnection.h"

#include "../DbError.h"
#include "../ResultSet.h"
#include "../SjisText.h"
#include "DataSourceFile.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace pistel::odbc {
namespace {

// Bytes a cell of this column can need as SQL_C_CHAR text (NUL included), 0 when unbounded.
SQLLEN textBufferSize(SQLSMALLINT type, SQLULEN size) {
    switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_BINARY:
    case SQL_VARBINARY:
        // A Shift-JIS character takes up to two bytes; be generous with the driver's size.
        return size == 0 || size > 8192 ? 0 : static_cast<SQLLEN>(size) * 4 + 1;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_LONGVARBINARY:
        return 0;
    default: // numbers, dates and times print short
        return 80;
    }
}

struct Column {
    QString name;
    SQLLEN bufferSize = 0;
    char* buffer = nullptr;
    SQLLEN* indicators = nullptr;
};

[[noreturn]] void fail(SQLSMALLINT type, SQLHANDLE h, const QString& text) {
    throw DbError(diagnostics(type, h), text, connectionFailed(type, h));
}

void fetchBlocks(SQLHSTMT st, std::vector<Column>& cols, FetchBuffers& scratch, ResultSet& rows,
                 const QString& text) {
    SQLLEN rowBytes = 0;
    for (const Column& c : cols)
        rowBytes += c.bufferSize;
    const SQLULEN rowset = std::clamp<SQLLEN>(262144 / std::max<SQLLEN>(rowBytes, 1), 1, 256);
    // The buffers are kept between statements: fresh ones would cost page faults each time.
    scratch.bytes.resize(std::max(scratch.bytes.size(), static_cast<size_t>(rowBytes) * rowset));
    scratch.indicators.resize(std::max(scratch.indicators.size(), cols.size() * rowset));
    SQLLEN expected = 0; // the driver knows the row count of a stored result
    if (succeeded(SQLRowCount(st, &expected)) && expected > 0)
        rows.reserve(expected, expected * rowBytes / 8);
    {
        char* b = scratch.bytes.data();
        SQLLEN* ind = scratch.indicators.data();
        for (Column& c : cols) {
            c.buffer = b;
            c.indicators = ind;
            b += c.bufferSize * rowset;
            ind += rowset;
        }
    }
    SQLULEN fetched = 0;
    if (!succeeded(SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0)) ||
        !succeeded(
            SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0)) ||
        !succeeded(SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)))
        fail(SQL_HANDLE_STMT, st, text);
    for (size_t i = 0; i < cols.size(); ++i) {
        Column& c = cols[i];
        if (!succeeded(SQLBindCol(st, static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR, c.buffer,
                                  c.bufferSize, c.indicators)))
            fail(SQL_HANDLE_STMT, st, text);
    }
    for (;;) {
        const SQLRETURN rc = SQLFetch(st);
        if (rc == SQL_NO_DATA)
            break;
        if (!succeeded(rc))
            fail(SQL_HANDLE_STMT, st, text);
        for (SQLULEN r = 0; r < fetched; ++r) {
            for (const Column& c : cols) {
                const SQLLEN ind = c.indicators[r];
                if (ind == SQL_NULL_DATA) {
                    rows.appendCell(nullptr, -1);
                } else if (ind == SQL_NO_TOTAL || ind >= c.bufferSize) {
                    throw DbError(QStringLiteral("ODBC: value of column %1 longer than the "
                                                 "driver announced")
                                      .arg(c.name),
                                  text);
                } else {
                    rows.appendCell(c.buffer + r * c.bufferSize, ind);
                }
            }
        }
    }
}

// Row by row for results with columns of unbounded size (TEXT, BLOB).
void fetchRows(SQLHSTMT st, size_t columnCount, ResultSet& rows, const QString& text) {
    std::vector<char> cell;
    char chunk[4096];
    for (;;) {
        SQLRETURN rc = SQLFetch(st);
        if (rc == SQL_NO_DATA)
            break;
        if (!succeeded(rc))
            fail(SQL_HANDLE_STMT, st, text);
        for (size_t i = 0; i < columnCount; ++i) {
            cell.clear();
            bool isNull = false;
            for (;;) {
                SQLLEN ind = 0;
                rc = SQLGetData(st, static_cast<SQLUSMALLINT>(i + 1), SQL_C_CHAR, chunk,
                                sizeof chunk, &ind);
                if (rc == SQL_NO_DATA)
                    break;
                if (!succeeded(rc))
                    fail(SQL_HANDLE_STMT, st, text);
                if (ind == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                const bool more = ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof chunk);
                const size_t n = more ? sizeof chunk - 1 : static_cast<size_t>(ind);
                cell.insert(cell.end(), chunk, chunk + n);
                if (!more)
                    break;
            }
            rows.appendCell(cell.data(), isNull ? -1 : static_cast<qsizetype>(cell.size()));
        }
    }
}

} // namespace

Connection::Connection() : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    if (!succeeded(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION,
                                 reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
        throw DbError(diagnostics(SQL_HANDLE_ENV, env_.get()));
}

Connection::~Connection() {
    close();
}

void Connection::open(const QString& connectionString) {
    close();
    dbc_ = Handle(SQL_HANDLE_DBC, env_.get());
    // No statement may wait for ever on a stalled server or network: the driver gives up
    // connecting, and waiting for a reply or for a write to go out, after the time-out. (A
    // shorter read time-out would also cut off a long statement on a working server.)
    const QString t = QString::number(timeoutSeconds);
    // MULTI_STATEMENTS (67108864): a timer line's transaction goes out with its first writes
    // in one round trip. Every spliced value is quoted, so a batch cannot be smuggled in.
    QByteArray cs =
        toSjis(withCurrentAddress(connectionString) + QStringLiteral(";CONN_TIMEOUT=") + t +
               QStringLiteral(";READ_TIMEOUT=") + t + QStringLiteral(";WRITE_TIMEOUT=") + t +
               QStringLiteral(";OPTION=67108864"));
    SQLSetConnectAttr(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
    SQLCHAR out[1024];
    SQLSMALLINT outLen = 0;
    const SQLRETURN rc = SQLDriverConnect(
        dbc_.get(), nullptr, reinterpret_cast<SQLCHAR*>(cs.data()),
        static_cast<SQLSMALLINT>(cs.size()), out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    if (!succeeded(rc)) {
        const QString message = diagnostics(SQL_HANDLE_DBC, dbc_.get());
        const bool lost = connectionFailed(SQL_HANDLE_DBC, dbc_.get());
        dbc_.reset();
        throw DbError(message, {}, lost);
    }
    connected_ = true;
    connectionString_ = connectionString;
}

void Connection::reopen() {
    if (connectionString_.isEmpty())
        throw DbError(QStringLiteral("The database was never connected."), {}, true);
    open(connectionString_);
}

void Connection::close() {
    if (connected_)
        SQLDisconnect(dbc_.get());
    connected_ = false;
    dbc_.reset();
}

long long Connection::execute(const QByteArray& sql, const QString& text, ResultSet* rows) {
    if (!connected_)
        throw DbError(QStringLiteral("The database is not connected."), text, true);
    try {
        // A transaction begins with its first write: what it read before needs no snapshot.
        if (!rows && std::exchange(beginPending_, false))
            return run("start transaction;\n" + sql, text, rows);
        return run(sql, text, rows);
    } catch (const DbError& e) {
        // The driver reports a connection lost in the middle of a batch without its code;
        // it knows the connection is dead all the same.
        const bool lost = e.connectionLost() || dead();
        // A lost connection is closed, so every later statement fails at once instead of
        // waiting for the time-out again, until it is opened anew.
        if (!lost)
            throw;
        close();
        DbError gone(e.message(), e.statement(), true);
        // A write that went out may have been done by the server all the same (a stalled
        // server that answers again runs what it had received).
        if (!rows)
            gone.markOutcomeUnknown();
        throw gone;
    }
}

long long Connection::run(const QByteArray& sql, const QString& text, ResultSet* rows) {
    std::optional<Handle> statement;
    try {
        statement.emplace(SQL_HANDLE_STMT, dbc_.get());
    } catch (const DbError&) {
        // The driver cannot even make a statement: the connection itself is gone (seen
        // after the server was killed).
        throw DbError(diagnostics(SQL_HANDLE_DBC, dbc_.get()), text, true);
    }
    SQLHSTMT st = statement->get();
    // The length is passed explicitly: a statement may hold a NUL inside a literal.
    const SQLRETURN rc =
        SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.data())),
                      static_cast<SQLINTEGER>(sql.size()));
    if (rc == SQL_NO_DATA)
        return drainBatch(st, text, 0); // a searched update or delete that matched nothing
    if (!succeeded(rc))
        fail(SQL_HANDLE_STMT, st, text);

    SQLSMALLINT columnCount = 0;
    if (!succeeded(SQLNumResultCols(st, &columnCount)))
        fail(SQL_HANDLE_STMT, st, text);
    if (columnCount == 0) {
        SQLLEN count = -1;
        if (!succeeded(SQLRowCount(st, &count)))
            count = -1;
        return drainBatch(st, text, count);
    }
    if (!rows)
        return drainBatch(st, text, -1);

    std::vector<Column> cols(static_cast<size_t>(columnCount));
    QStringList names;
    std::vector<bool> numeric;
    bool bounded = true;
    for (SQLSMALLINT i = 0; i < columnCount; ++i) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!succeeded(SQLDescribeCol(st, static_cast<SQLUSMALLINT>(i + 1), name, sizeof name,
                                      &nameLen, &type, &size, &digits, &nullable)))
            fail(SQL_HANDLE_STMT, st, text);
        Column& c = cols[static_cast<size_t>(i)];
        c.name = fromSjis(QByteArrayView(reinterpret_cast<const char*>(name),
                                         std::min<qsizetype>(nameLen, sizeof name - 1)));
        c.bufferSize = textBufferSize(type, size);
        bounded = bounded && c.bufferSize > 0;
        names << c.name;
        numeric.push_back(type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT ||
                          type == SQL_BIGINT || type == SQL_DECIMAL || type == SQL_NUMERIC ||
                          type == SQL_REAL || type == SQL_FLOAT || type == SQL_DOUBLE);
    }
    rows->setColumns(names, numeric);
    if (bounded)
        fetchBlocks(st, cols, scratch_, *rows, text);
    else
        fetchRows(st, cols.size(), *rows, text);
    return drainBatch(st, text, -1);
}

bool Connection::dead() {
    SQLUINTEGER state = SQL_CD_FALSE;
    return succeeded(SQLGetConnectAttr(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &state, 0, nullptr)) &&
           state == SQL_CD_TRUE;
}

long long Connection::drainBatch(SQLHSTMT st, const QString& text, long long count) {
    // The statements after the first of a batch: each must succeed, or the batch failed
    // (and the connection would be out of step with the server).
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(st);
        if (rc == SQL_NO_DATA)
            return count;
        if (!succeeded(rc))
            fail(SQL_HANDLE_STMT, st, text);
    }
}

} // namespace pistel::odbc
