#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <optional>
#include <stdexcept>

namespace pistel {

class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One entry of the impulse journal: a complete timer line as received, with when.
struct JournalEntry {
    QDateTime received;
    int receiptTenths = 0; // tenths of a second since midnight, as logged in pulsedata
    QString competitionCode;
    QByteArray line; // the bytes of the line without its CR
};

// Local append-only record of every complete timer line, written before the database is
// touched, so that no line is lost when a statement fails. One file per day,
// impulses-YYYY-MM-DD.log, one text line per timer line:
//   2026-12-08 10:04:55.651<TAB>363046<TAB>2026GS01<TAB> 0001 C0  10:04:55.6513 00
// Bytes outside printable ASCII and the backslash are written as \xHH.
class ImpulseJournal {
public:
    // PISTEL_JOURNAL_DIR, else $XDG_STATE_HOME/pistel/journal, else
    // ~/.local/state/pistel/journal.
    static QString defaultFolder();

    explicit ImpulseJournal(QString folder = defaultFolder());
    QString fileFor(const QDate& day) const;

    // Appends and flushes one entry; throws JournalError when it cannot be written.
    void append(const JournalEntry& entry);

    // The lines whose impulse row could not be written yet (the database was away), kept in
    // pending.log beside the day files so that a restart of the program does not lose them.
    QString pendingFile() const { return folder_ + QStringLiteral("/pending.log"); }
    void keepPending(const JournalEntry& entry);
    QList<JournalEntry> pendingEntries() const;
    // They were written: the file is emptied.
    void clearPending();

    static QByteArray format(const JournalEntry& entry);
    // The entry of one journal text line, or nothing when the text is not one.
    static std::optional<JournalEntry> parse(const QByteArray& text);

private:
    QString folder_;
    QFile file_;
    QDate fileDay_;
};

} // namespace pistel
