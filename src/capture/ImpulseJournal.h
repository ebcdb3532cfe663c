#pragma once

#include <QByteArray>
#include <QDateTime>
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
    // The line's own identity, stored with its impulse row so that no path writes it twice;
    // empty in journals written before it existed.
    QString receipt;
};

// Local append-only record of every complete timer line, written before the database is
// touched, so that no line is lost when a statement fails. One file per day,
// impulses-YYYY-MM-DD.log, one text line per timer line:
//   2026-12-08 10:04:55.651<TAB>363046<TAB>2026GS01<TAB> 0001 C0  10:04:55.6513 00<TAB>receipt
// Bytes outside printable ASCII and the backslash are written as \xHH. A record goes out in
// one write and is cut back when that write fails (a full disk), so the file only ever holds
// whole records.
class ImpulseJournal {
public:
    // PISTEL_JOURNAL_DIR, else $XDG_STATE_HOME/pistel/journal, else
    // ~/.local/state/pistel/journal.
    static QString defaultFolder();

    explicit ImpulseJournal(QString folder = defaultFolder());
    ~ImpulseJournal();
    ImpulseJournal(const ImpulseJournal&) = delete;
    ImpulseJournal& operator=(const ImpulseJournal&) = delete;
    QString fileFor(const QDate& day) const;

    // Appends and syncs one entry; throws JournalError (a message in Japanese) when it
    // cannot be written, and then the file holds nothing of it.
    void append(const JournalEntry& entry);

    // The lines whose impulse row could not be written yet (the database was away), kept in
    // pending.log beside the day files so that a restart of the program does not lose them.
    QString pendingFile() const { return folder_ + QStringLiteral("/pending.log"); }
    void keepPending(const JournalEntry& entry);
    QList<JournalEntry> pendingEntries() const;
    // They were written: the file is emptied.
    void clearPending();
    // The whole records of one day's file (a torn one of an older file skipped).
    QList<JournalEntry> dayEntries(const QDate& day) const;

    static QByteArray format(const JournalEntry& entry);
    // The entry of one journal text line, or nothing when the text is not one.
    static std::optional<JournalEntry> parse(const QByteArray& text);
    // Whether a text that parse() refused starts like an entry: a record torn by a failed
    // write in an older file, never to be taken for a timer line.
    static bool looksTorn(const QByteArray& text);
    // The whole record at the end of a torn text, if one follows the torn part.
    static std::optional<JournalEntry> salvage(const QByteArray& text);
    // A new identity for a received line.
    static QString newReceipt();

private:
    QString folder_;
    int fd_ = -1;
    QDate fileDay_;
};

// Appends `record` to the open file `fd` in one write and syncs it; when that fails, the file
// is cut back to its length before. Throws JournalError naming `file`.
void appendWhole(int fd, const QByteArray& record, const QString& file);

} // namespace pistel
