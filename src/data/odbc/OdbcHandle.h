#pragma once

#include <QString>
#include <sql.h>
#include <sqlext.h>

namespace pistel::odbc {

// Owns one ODBC handle and frees it once.
class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent);
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : type_(other.type_), handle_(other.handle_) {
        other.handle_ = SQL_NULL_HANDLE;
    }
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
    void reset();

private:
    SQLSMALLINT type_ = SQL_HANDLE_ENV;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The diagnostic records of a handle, joined into one readable message.
QString diagnostics(SQLSMALLINT type, SQLHANDLE handle);
// Whether the first diagnostic says the connection failed: SQLSTATE class 08, a time-out
// (HYT00, HYT01), or the client's "cannot connect", "server has gone away" and "lost
// connection" errors.
bool connectionFailed(SQLSMALLINT type, SQLHANDLE handle);

inline bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

} // namespace pistel::odbc
