#pragma once

#include <QString>
#include <QStringList>

namespace pistel {

namespace odbc {
class Connection;
}

// A bib number as the tables keep it: four digits ("0007").
QString bibText(int number);

// `value` as an SQL string literal.
QString quoted(const QString& value);

// Writes `statements` together or not at all, in one round trip ending with the commit.
// Throws DbError (then nothing is written).
void writeTogether(odbc::Connection& db, QStringList statements);

} // namespace pistel
