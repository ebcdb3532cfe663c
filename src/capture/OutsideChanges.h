#pragma once

#include <QString>

namespace pistel {

namespace odbc {
class Connection;
}

// Other programs (the command line, a second workstation, plain SQL) change times and
// statuses without telling the run window. A digest of the competition's rows, read on the
// window's clock, shows that something changed; the lists are then read again.
class OutsideChanges {
public:
    // True when the competition's times, statuses, history or unassigned impulses differ
    // from the last look at the same competition (the first look only remembers them).
    // Throws DbError.
    bool changedSinceLastLook(odbc::Connection& db, const QString& code);
    // After our own change: the next look takes what it finds as the new starting point.
    void forget() { digest_.clear(); }

private:
    QString code_;
    QString digest_;
};

} // namespace pistel
