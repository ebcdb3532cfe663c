#pragma once

#include "ByteSource.h"
#include "JournalRecovery.h"
#include "TimerLine.h"
#include "Trace.h"

#include <QDateTime>
#include <QObject>
#include <functional>

namespace pistel {

struct AppState;
class ConnectionKeeper;
class TDM1;
class ImpulseJournal;
class Query;

// Turns the bytes of the timer port into timer lines: keeps the trace, journals each
// complete line, hands it to the capture of the current run, and logs it in pulsedata.
class ReceiveHandler : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    using CaptureHook = std::function<void(const TimerLine&)>;

    ReceiveHandler(AppState& app, TDM1& dm, ByteSource& port, ImpulseJournal* journal,
                   QObject* parent = nullptr);

    // The receive event of the timer port: reads `ReceiveSize` bytes one at a time. A line
    // with channel "RT" ends the delivery; the bytes after it stay queued for the next event.
    // A database error leaves the handler; the bytes not yet read stay queued.
    void CommX1Receive(int ReceiveSize);

    // The port was opened (again): the next byte starts a fresh line. A line left unfinished
    // when the port closed is journaled and logged as it stands, never assigned, and never
    // glued to the front of the next line.
    void startFreshLine();

    void setCaptureHook(CaptureHook hook) { capture_ = std::move(hook); }
    // With a keeper, a lost connection does not cost lines: while the database is away each
    // line is journaled and kept, in order, unassigned; flushPending writes them to pulsedata
    // (log only, with their own receipt times) once the connection is back.
    void setKeeper(ConnectionKeeper* keeper) { keeper_ = keeper; }
    int pendingCount() const { return static_cast<int>(pending_.size()); }
    // Writes the lines that waited; throws DbError when the database fails again (those not
    // yet written keep waiting). Their file is emptied by recoverPending, which finds them
    // written.
    void flushPending();
    // Writes the lines of the pending file that are not in pulsedata yet (a previous run of
    // the program ended while the database was away) and empties the file; throws DbError.
    RecoveryCount recoverPending();
    // Why the journal cannot be written, empty while it can.
    const QString& journalProblem() const { return journalProblem_; }
    void setClock(Clock clock) { clock_ = std::move(clock); }
    const Trace& trace() const { return trace_; }

    // Tenths of a second since local midnight, as logged with each impulse.
    static int receiptTenths(const QDateTime& when);
    // Whether an impulse list can show a new impulse of this channel.
    static bool mayShow(const Query& list, const QString& channel);

signals:
    void traceChanged(const QString& text);
    // A complete line was handled; `logged` is false for an "RT" line.
    void lineHandled(const QString& line, const pistel::TimerLine& fields, int receiptTenths,
                     bool logged);
    // The journal could not be written (once, when it starts failing); lines still go on to
    // the database.
    void journalFailed(const QString& message);
    // The number of waiting lines or the journal's state changed.
    void statusChanged();

private:
    // Returns false when the line ends the delivery. Without `capture` the line is only
    // journaled and logged.
    bool handleLine(const QString& line, bool capture = true);
    void logImpulse(const TimerLine& t, int receiptTenths);
    void clearPendingFile();
    void refreshImpulseLists(const QString& channel);
    void journal(const QDateTime& now, int tenths, const QString& line);
    bool databaseAway() const;

    struct Pending {
        QString code;
        TimerLine fields;
        int receiptTenths;
    };

    AppState& app_;
    TDM1& dm_;
    ByteSource& port_;
    ImpulseJournal* journal_;
    CaptureHook capture_;
    Clock clock_;
    Trace trace_;
    ConnectionKeeper* keeper_ = nullptr;
    QList<Pending> pending_;
    QString journalProblem_;
};

} // namespace pistel
