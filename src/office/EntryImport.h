#pragma once

#include "EntryFile.h"

#include <QHash>
#include <QString>

namespace pistel {

namespace odbc {
class Connection;
}

// What an import did.
struct ImportCount {
    int added = 0;
    int updated = 0;
};

// Writes a clean entry file (no problems) into competition `code`, all or nothing in one
// transaction: a competitor already there (by licence, else by name and team) is updated,
// never entered twice; a new one gets the file's bib or the next free one and the next start
// position of the class. `classNumbers`: class name -> its number (cs_master). Names keep
// every character the club typed, those only Windows' Shift-JIS has (髙, 﨑, ①, ㈱) included:
// the tables take their bytes as they are. Throws DbError; std::invalid_argument for a file
// with problems or a bib that another competitor holds.
ImportCount importEntries(odbc::Connection& db, const QString& code, const EntryFile& file,
                          const QHash<QString, int>& classNumbers);

// The classes of a competition's class list (cs_master), name -> number. Throws DbError.
QHash<QString, int> readClassNumbers(odbc::Connection& db);

} // namespace pistel
