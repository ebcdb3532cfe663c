#pragma once

#include "data/BibText.h"

#include <QString>
#include <QStringList>

namespace pistel {

namespace odbc {
class Connection;
}

// `value` as an SQL string literal.
QString quoted(const QString& value);

// Writes `statements` together or not at all, in one round trip ending with the commit.
// Throws DbError (then nothing is written).
void writeTogether(odbc::Connection& db, QStringList statements);

} // namespace pistel
