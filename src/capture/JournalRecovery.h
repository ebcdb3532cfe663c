#pragma once

#include "ImpulseJournal.h"
#include "ImpulseRow.h"

#include <QList>

namespace pistel {

class TDM1;

struct RecoveryCount {
    int written = 0;       // impulse rows written now
    int alreadyLogged = 0; // lines whose impulse row was there
    int notLogged = 0;     // "RT" lines, which are never logged
    int refused = 0;       // lines the server refused (not for a lost connection): set aside
};

// Writes to pulsedata, log only, the journal entries whose impulse row is not there yet:
// each under its own competition code and with its own receipt time, a start or finish
// marked as assigned to nobody. An entry with a receipt is looked up by it; an older one
// without: a line received n times needs n rows. Running it twice writes nothing more.
// Throws DbError when the connection is lost; a line the server refuses is counted and
// skipped, so that it never holds up the others.
RecoveryCount writeMissingImpulses(TDM1& dm, const QList<JournalEntry>& entries,
                                   const ImpulseLog& log = kTimerLog);

} // namespace pistel
