#pragma once

#include "EntryFile.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace pistel {

namespace odbc {
class Connection;
}

// What an import does (or would do).
struct ImportCount {
    int added = 0;
    int updated = 0;
    int unchanged = 0;
};

// How an entry finds the competitor it is about.
enum class EntryMatch {
    LicenceOrName, // a file: by licence, else by name and team
    Bib,           // one entry edited: by its bib
};

// An import worked out against the competition as it stands, before anything is written.
struct ImportPlan {
    ImportCount count;
    QStringList changes;    // one line per competitor added or changed, for the operator
    QStringList statements; // the writes, with their change-history rows
};

// Plans writing a clean entry file (no problems) into competition `code`: a competitor already
// there is updated, never entered twice, and one whose entry is as stored is left alone; a new
// one gets the file's bib or the next free one and the next start position of the class.
// `classNumbers`: class name -> its number (cs_master). Names keep every character the club
// typed, those only Windows' Shift-JIS has (髙, 﨑, ①, ㈱) included: the tables take their bytes
// as they are. Throws DbError; std::invalid_argument for a file with problems, a bib that
// another competitor holds, or a new bib for a competitor who has a time.
ImportPlan planImport(odbc::Connection& db, const QString& code, const EntryFile& file,
                      const QHash<QString, int>& classNumbers,
                      EntryMatch match = EntryMatch::LicenceOrName);
// Writes a plan all or nothing, in one transaction. Throws DbError.
void writeImport(odbc::Connection& db, const ImportPlan& plan);
// Plans and writes.
ImportCount importEntries(odbc::Connection& db, const QString& code, const EntryFile& file,
                          const QHash<QString, int>& classNumbers,
                          EntryMatch match = EntryMatch::LicenceOrName);

// The entry of `bib` as stored (its class by name); nothing when the bib is not entered.
std::optional<Entry> readEntry(odbc::Connection& db, const QString& code, const QString& bib);

// The classes of a competition's class list (cs_master), name -> number. Throws DbError.
QHash<QString, int> readClassNumbers(odbc::Connection& db);
// What a class column may hold: every class's name and its number.
QStringList classColumnValues(const QHash<QString, int>& classNumbers);

} // namespace pistel
