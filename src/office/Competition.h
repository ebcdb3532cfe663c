#pragma once

#include "results/RaceData.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace pistel {

namespace odbc {
class Connection;
}

// A competition as the office creates it (taikai).
struct Competition {
    QString code, title, venue, discipline, category, sex;
    int runs = 2;
    QDate date;
    bool operator==(const Competition&) const = default;
};
// Disciplines the office knows.
inline const QStringList kDisciplines{"GS", "SL", "SG", "DH", "AC"};
// Why `c` cannot be saved; empty when it can.
QString competitionProblem(const Competition& c);
// Competition `code` as stored; nothing when there is none. Throws DbError.
std::optional<Competition> readCompetition(odbc::Connection& db, const QString& code);
// Creates or updates competition `c`. Throws DbError; std::invalid_argument for a problem.
void saveCompetition(odbc::Connection& db, const Competition& c);

// A class of the class list (cs_master): the highest number starts first.
struct ClassDef {
    QString name;
    int number = 0;
};
// Adds, renumbers or renames classes. Throws DbError.
void saveClasses(odbc::Connection& db, const QList<ClassDef>& classes);
// The classes competitors of competition `code` are entered in, the first to start first.
QList<int> readEnteredClasses(odbc::Connection& db, const QString& code);

// Sets items of competition `code` (run 0: the competition's own); an empty value removes
// one. Throws DbError; std::invalid_argument for an item not in kRaceDataItems.
void setRaceData(odbc::Connection& db, const QString& code, int run,
                 const QMap<QString, QString>& items);
// Every item of the competition, "run|item" -> value.
QMap<QString, QString> readRaceData(odbc::Connection& db, const QString& code);

} // namespace pistel
