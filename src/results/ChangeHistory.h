#pragma once

#include "RunStatus.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace pistel {

namespace odbc {
class Connection;
}

// Where a change came from (the history's source column).
namespace source {
inline constexpr char kStartAssigned[] = "N1";  // an impulse made a start by hand
inline constexpr char kFinishAssigned[] = "N2"; // an impulse made a finish by hand
inline constexpr char kStartCleared[] = "N3";
inline constexpr char kFinishCleared[] = "N4";
inline constexpr char kEdited[] = "edited";      // a time entered on the timer ("i" line)
inline constexpr char kTakenBack[] = "takeback"; // the timer took a line back ("c"/"d")
inline constexpr char kReset[] = "reset";
inline constexpr char kStatus[] = "status";
inline constexpr char kRevert[] = "revert";
inline constexpr char kImport[] = "import";
inline constexpr char kReplacement[] = "backup";      // a replacement time from backup timing
inline constexpr char kFinishReplaced[] = "replaced"; // a later finish line took its place
// The race office: entries, bibs, start orders, withdrawals. Never a time or a status, so
// never reverted from the history (the office changes them again).
inline constexpr char kOffice[] = "office";
inline constexpr char kPublish[] = "publish"; // results published as official, or taken back
} // namespace source

// The operator's name for a source.
QString sourceCaption(const QString& source);
// Whether a time a change of this source stores counts as set by hand (it is marked).
bool isManualSource(const QString& source);

// One competitor's times and statuses as stored: everything a change can touch, so that a
// reversion puts the row back exactly.
inline constexpr char kHandTimesKey[] = "HANDTM";
// An impulse an operator's assignment used: "id|reason" while it was unassigned, "id|" once
// assigned. Kept with the entry, never part of a row read from the tables.
inline constexpr char kUnassignedKey[] = "UNASSIGNED";

struct RowSnapshot {
    QMap<QString, QString> values; // upper-case result columns, and STATUS1/STATUS2

    // The result columns a snapshot holds (besides HANDTM, the competitor's hand times, and
    // STATUS1/STATUS2).
    static const QStringList& resultColumns();
    RunStatus status(int run) const;
    void setStatus(int run, const RunStatus& status);
    QString value(const QString& column) const { return values.value(column); }
    QString encode() const;
    // The snapshot as the tables alone give it (without the impulse an assignment used).
    RowSnapshot stored() const {
        RowSnapshot s = *this;
        s.values.remove(QString::fromLatin1(kUnassignedKey));
        return s;
    }
    static RowSnapshot decode(const QString& text);
    bool operator==(const RowSnapshot&) const = default;
};

// The snapshots of the competitors of a competition (or of one bib), by bib.
QHash<QString, RowSnapshot> readSnapshots(odbc::Connection& db, const QString& code,
                                          const QString& bib = {});

// This workstation, as the history names it.
QString workstationName();

struct HistoryEntry {
    long long id = 0;
    QDateTime at;
    QString host;
    QString zek;
    int run = 0; // 0: both runs
    QString source;
    QString what;
    QString beforeText;
    QString afterText;
    RowSnapshot before;
    RowSnapshot after;
};

// The entry for one competitor's change from `before` to `after`, its texts filled in;
// false when nothing changed.
bool describeChange(const QString& zek, const QString& source, const RowSnapshot& before,
                    const RowSnapshot& after, HistoryEntry& entry);
// The statement that records entries (one insert; empty for none).
QStringList historyInsert(const QString& code, const std::vector<HistoryEntry>& entries);
// Records the changes between two sets of snapshots (a reset, a status list); returns how many
// competitors changed.
int recordChanges(odbc::Connection& db, const QString& code, const QString& source,
                  const QHash<QString, RowSnapshot>& before,
                  const QHash<QString, RowSnapshot>& after);

// The history of a competition, newest first; `bib` non-empty: that competitor's only.
std::vector<HistoryEntry> readHistory(odbc::Connection& db, const QString& code,
                                      const QString& bib = {});

// The statements that put the row of `entry.zek` to `target` (its result columns and both
// statuses), and the entry that records it.
QStringList restoreStatements(const QString& code, const QString& zek, const RowSnapshot& target);

// Which start and finish times of each competitor stand as set by hand: the latest change of
// the time came from a manual source and the time is still what it stored. Keys: bib, then
// STTIME/ALTIME/STTIME2/ALTIME2; values: the source (a replacement is "backup").
using ManualTimes = QHash<QString, QHash<QString, QString>>;
ManualTimes readManualTimes(odbc::Connection& db, const QString& code,
                            const QHash<QString, RowSnapshot>& current);

} // namespace pistel
