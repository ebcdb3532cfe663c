#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>

namespace pistel {

class Query;
namespace odbc {
class Connection;
}

// What our own live results server shows beyond the three requests, read from the database
// with `q` (any query of the connection; its statement is replaced).

// The competitors with their classes, one a line "bib,name,team,class" (web bib, three-digit
// class); those excluded from the lists are left out, so that they show on no class's page.
QByteArray startListBody(Query& q, const QString& code);

// This workstation's upload session: a random id made once per run of the program. The live
// server orders states by `seq` within a session only, so that a workstation started again
// (its clock perhaps set back) is never refused as stale.
const QString& uploadSession();

// The whole race state of run `run` as lines "session,", "seq,", "now,", "run,", then
// "result," for every finished competitor (both runs' times once run 2 is finished, as the
// batch gives them), "status," for each run status, "course," with the start time of day for
// those started and not finished in `run`, and "next," for the next three to start in each
// class.
QByteArray raceStateBody(Query& q, const QString& code, int run, qint64 seq, const QTime& now);
// The lines that follow the race state: "points,bib,race,final" for each classified
// competitor (when the discipline has points values), and "official,YYYY-MM-DD HH:MM" when the
// results of `run` (run 2: the race) are published and unchanged since. They read the whole
// competition, so they are made again only when something changed.
QString pointsAndOfficialLines(odbc::Connection& db, const QString& code, int run);

} // namespace pistel
