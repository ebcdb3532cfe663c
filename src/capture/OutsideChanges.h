#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace pistel {

namespace odbc {
class Connection;
}

// What changed in a competition since the last look, as the lists and boxes need it.
struct OutsideChange {
    QStringList bibs;        // competitors whose row changed, came or went
    bool entries = false;    // of those, an entry (name, team, class, order, withdrawal)
    bool everything = false; // too many rows changed to follow one by one: read all again
    bool statuses = false;   // a status was set, changed or taken back
    bool history = false;    // the change history grew (a correction, a reversion)
    bool unassigned = false; // impulses were marked unassigned or assigned
    bool any() const { return everything || statuses || history || unassigned || !bibs.isEmpty(); }
};

// Other programs (the race office, a second workstation, plain SQL) change entries, times and
// statuses without telling the station. A digest of the competition, one row, shows that
// something changed; then each competitor's checksums tell which rows, so the lists take
// those rows instead of being read whole (the station's own captures change a few rows a
// second during a race).
class OutsideChanges {
public:
    // What differs from the last look at the same competition; the first look (and the first
    // after forget) only remembers what it finds. Throws DbError.
    OutsideChange changedSinceLastLook(odbc::Connection& db, const QString& code);
    // After our own re-reads: the next look takes what it finds as the new starting point.
    void forget();

    // More changed rows than this are read whole.
    static constexpr int kMostRowsOneByOne = 200;

private:
    struct RowSums {
        quint32 entry = 0, times = 0;
    };
    static QHash<QString, RowSums> readRowSums(odbc::Connection& db, const QString& code);

    QString code_;
    QStringList parts_; // rows, statuses, history, unassigned
    QHash<QString, RowSums> rows_;
};

} // namespace pistel
