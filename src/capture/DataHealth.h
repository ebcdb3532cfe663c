#pragma once

#include <QDateTime>
#include <QString>

namespace pistel {

// What the run window knows of where impulses are kept.
struct DataHealth {
    bool databaseDown = false;
    QDateTime downSince;
    int waiting = 0;        // lines received but not yet in pulsedata
    QString journalProblem; // why the journal cannot be written, empty while it can
    QString lineError;      // why the last delivery of timer lines failed, empty if it did not
};

struct DataHealthText {
    QString text;
    bool alarm = false;
};

// The run pages' database and journal status line, in the operator's language.
DataHealthText describeDataHealth(const DataHealth& health);

} // namespace pistel
