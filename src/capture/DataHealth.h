#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace pistel {

// What the run window knows of where impulses are kept.
struct DataHealth {
    bool databaseDown = false;
    QDateTime downSince;
    int waiting = 0;           // lines received but not yet in pulsedata
    QString journalProblem;    // why the journal cannot be written, empty while it can
    QString lineError;         // why the last line could not be written, empty if it could
    int setAside = 0;          // lines the server refused, kept in the pending file
    QString captureError;      // why a line's capture failed (the line itself is logged)
    int unassigned = 0;        // impulses nobody got, until assigned or dismissed
    QStringList missingStarts; // competitors with a finish and no start in this run
    int recovered = 0;         // journaled lines written at start-up or after a reconnect
    QString watchError;        // why changes made elsewhere cannot be looked for, while so
};

struct DataHealthText {
    QString text;
    bool alarm = false;
};

// The run pages' database and journal status line, in the operator's language.
DataHealthText describeDataHealth(const DataHealth& health);

} // namespace pistel
