#pragma once

#include <QString>
#include <stdexcept>

namespace pistel {

// A failed database operation: the driver's (or our own) message and the statement that failed.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message, const QString& statement = {},
                     bool connectionLost = false)
        : std::runtime_error(compose(message, statement).toStdString()), message_(message),
          statement_(statement), connectionLost_(connectionLost) {}

    const QString& message() const { return message_; }
    const QString& statement() const { return statement_; }
    // The connection itself failed (server gone, stalled, timed out), not the statement:
    // the connection is closed and can be opened again.
    bool connectionLost() const { return connectionLost_; }
    // The connection was lost while a write was on its way: the server may have done it.
    bool outcomeUnknown() const { return outcomeUnknown_; }
    DbError& markOutcomeUnknown() {
        outcomeUnknown_ = true;
        return *this;
    }

private:
    static QString compose(const QString& message, const QString& statement) {
        return statement.isEmpty() ? message : message + QStringLiteral("\n\n") + statement;
    }
    QString message_;
    QString statement_;
    bool connectionLost_ = false;
    bool outcomeUnknown_ = false;
};

} // namespace pistel
