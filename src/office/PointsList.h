#pragma once

#include "TextTable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pistel {

namespace odbc {
class Connection;
}

// A points list applied to a competition's entries: the FIS list's CSV, or a national list
// with the same columns (a licence column: Fiscode, FIS code, licence, 登録番号; a column of the
// competition's discipline: GSpoints, GS points, GSポイント or GS), each entry found by its
// licence. Nothing is written while the list has a problem.
struct PointsPlan {
    QString encoding;
    QList<LineProblem> problems;
    int listed = 0;      // entries the list has points for
    int changed = 0;     // of them, with points other than stored
    QStringList missing; // bibs with a licence the list lacks
    QStringList changes; // one line per entry changed, for the operator
    QStringList statements;
};
// Throws DbError; std::invalid_argument when the competition is unknown or its discipline has
// no column name.
PointsPlan planPoints(odbc::Connection& db, const QString& code, const QByteArray& bytes,
                      const QString& encoding = {});

} // namespace pistel
