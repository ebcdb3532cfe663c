#pragma once

#include "ImpulseJournal.h"

#include <QList>

namespace pistel {

class TDM1;

struct RecoveryCount {
    int written = 0;       // impulse rows written now
    int alreadyLogged = 0; // lines whose impulse row was there
    int notLogged = 0;     // "RT" lines, which are never logged
};

// Writes to pulsedata, log only, the journal entries whose impulse row is not there yet:
// each under its own competition code and with its own receipt time. A line received n
// times needs n rows, so running it twice writes nothing more. Throws DbError.
RecoveryCount writeMissingImpulses(TDM1& dm, const QList<JournalEntry>& entries);

} // namespace pistel
