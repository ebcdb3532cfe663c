#include "Query.h"

#include "DbError.h"
#include "SjisText.h"
#include "odbc/OdbcConnection.h"

namespace pistel {

QString Field::asString() const {
    const int row = query_.current_;
    return row < 0 ? QString() : query_.rows_.text(row, column_);
}

int Field::asInteger() const {
    const QString s = asString().trimmed();
    if (s.isEmpty())
        return 0;
    bool ok = false;
    const int v = s.toInt(&ok);
    if (!ok)
        throw DbError(QStringLiteral("%1: '%2' of field %3 is not a whole number")
                          .arg(query_.name_, s, query_.rows_.columnName(column_)));
    return v;
}

bool Field::isNull() const {
    const int row = query_.current_;
    return row < 0 || query_.rows_.isNull(row, column_);
}

Query::Query(odbc::Connection& db, const QString& name, const QStringList& initialSql,
             QObject* parent)
    : QObject(parent), db_(db), name_(name), sql_(initialSql) {}

void Query::setSql(const QStringList& lines) {
    close();
    sql_ = lines;
}

void Query::addSql(const QString& line) {
    close();
    sql_.append(line);
}

void Query::open() {
    if (open_)
        close();
    const QString text = statementText();
    ResultSet fresh;
    db_.execute(toSjis(text), text, &fresh);
    showRead(std::move(fresh));
}

void Query::showRead(ResultSet read) {
    if (open_)
        close();
    emit aboutToReset();
    rows_ = std::move(read);
    newest_ = -1;
    open_ = true;
    current_ = rows_.rowCount() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = rows_.rowCount() == 0;
    emit reset();
    emit rowsChanged();
    emit currentRowChanged();
}

void Query::close() {
    if (!open_)
        return;
    emit aboutToReset();
    rows_.clear();
    newest_ = -1;
    open_ = false;
    current_ = -1;
    bof_ = eof_ = true;
    emit reset();
}

long long Query::execSql() {
    const QString text = statementText();
    return db_.execute(toSjis(text), text, nullptr);
}

void Query::reread() {
    close();
    open();
}

void Query::requireOpen(const char* what) const {
    if (!open_)
        throw DbError(
            QStringLiteral("%1: cannot %2 a closed dataset").arg(name_, QLatin1String(what)));
}

void Query::setCurrent(int row, bool notifyAlways) {
    bof_ = false;
    eof_ = false;
    if (row == current_ && !notifyAlways)
        return;
    current_ = row;
    emit currentRowChanged();
}

void Query::first() {
    requireOpen("move in");
    if (rows_.rowCount() == 0)
        return;
    setCurrent(0, true);
    bof_ = true;
}

void Query::last() {
    requireOpen("move in");
    if (rows_.rowCount() == 0)
        return;
    setCurrent(rows_.rowCount() - 1, true);
    eof_ = true;
}

void Query::next() {
    requireOpen("move in");
    if (current_ + 1 >= rows_.rowCount()) {
        eof_ = true;
        return;
    }
    setCurrent(current_ + 1);
}

void Query::prior() {
    requireOpen("move in");
    if (current_ <= 0) {
        bof_ = true;
        return;
    }
    setCurrent(current_ - 1);
}

void Query::moveTo(int row) {
    requireOpen("move in");
    if (row < 0 || row >= rows_.rowCount())
        return;
    setCurrent(row);
}

bool Query::locate(QStringView field, const QString& value) {
    requireOpen("search");
    const int column = rows_.columnIndex(field);
    if (column < 0)
        throw DbError(QStringLiteral("%1: field '%2' not found").arg(name_, field.toString()));
    const QByteArray wanted = toSjis(value);
    for (int row = 0; row < rows_.rowCount(); ++row) {
        if (!rows_.isNull(row, column) && rows_.raw(row, column) == wanted) {
            setCurrent(row, true); // a found row always counts as a change, as on open
            return true;
        }
    }
    return false;
}

Field Query::fieldByName(QStringView field) const {
    requireOpen("read");
    const int column = rows_.columnIndex(field);
    if (column < 0)
        throw DbError(QStringLiteral("%1: field '%2' not found").arg(name_, field.toString()));
    return Field(*this, column);
}

} // namespace pistel
