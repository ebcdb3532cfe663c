#include "OdbcHandle.h"

#include "../DbError.h"
#include "../SjisText.h"

#include <QStringList>
#include <algorithm>

namespace pistel::odbc {

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!succeeded(SQLAllocHandle(type, parent, &handle_))) {
        handle_ = SQL_NULL_HANDLE;
        throw DbError(QStringLiteral("ODBC: cannot allocate a handle (type %1)").arg(type));
    }
}

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        reset();
        type_ = other.type_;
        handle_ = other.handle_;
        other.handle_ = SQL_NULL_HANDLE;
    }
    return *this;
}

void Handle::reset() {
    if (handle_ != SQL_NULL_HANDLE)
        SQLFreeHandle(type_, handle_);
    handle_ = SQL_NULL_HANDLE;
}

QString diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    QStringList parts;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[2048] = {};
        SQLSMALLINT len = 0;
        const SQLRETURN rc =
            SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &len);
        if (!succeeded(rc))
            break;
        const auto n = std::min<qsizetype>(len, sizeof text - 1);
        parts << QStringLiteral("[%1] %2").arg(
            QString::fromLatin1(reinterpret_cast<const char*>(state)),
            fromSjis(QByteArrayView(reinterpret_cast<const char*>(text), n)));
    }
    return parts.isEmpty() ? QStringLiteral("ODBC: unknown error") : parts.join(QLatin1Char('\n'));
}

bool connectionFailed(SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[16] = {};
    SQLSMALLINT len = 0;
    if (!succeeded(SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &len)))
        return false;
    const QByteArray s(reinterpret_cast<const char*>(state));
    // 2002/2003: cannot connect; 2006: server has gone away; 2013/2055: lost connection.
    return s.startsWith("08") || s == "HYT00" || s == "HYT01" || native == 2002 ||
           native == 2003 || native == 2006 || native == 2013 || native == 2055;
}

} // namespace pistel::odbc
