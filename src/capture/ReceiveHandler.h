#pragma once

#include "ByteSource.h"
#include "ImpulseRow.h"
#include "JournalRecovery.h"
#include "TimerLine.h"
#include "Trace.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <functional>

namespace pistel {

struct AppState;
class ConnectionKeeper;
class TDM1;
class ImpulseJournal;
class Query;
class LineCapture;

// Turns the bytes of the timer port into timer lines: keeps the trace, journals each
// complete line, and writes it to pulsedata together with what the capture of the current
// run does with it, in one transaction. Every line has a receipt (its identity in the
// journal, stored with its row), so no path writes a line twice.
class ReceiveHandler : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    ReceiveHandler(AppState& app, TDM1& dm, ByteSource& port, ImpulseJournal* journal,
                   QObject* parent = nullptr);

    // The receive event of the timer port: reads `ReceiveSize` bytes one at a time. A line
    // ends at CR, at LF, or at CR LF (one end, never an empty line). A line with channel "RT"
    // ends the delivery; the bytes after it stay queued for the next event. A database error
    // leaves the handler; the bytes not yet read stay queued.
    void CommX1Receive(int ReceiveSize);

    // The port was opened (again): the next byte starts a fresh line. A line left unfinished
    // when the port closed is journaled and logged as it stands, never assigned, and never
    // glued to the front of the next line. The first `bytesWaiting` bytes were received
    // before the port opened: their lines are journaled and logged, not captured.
    void startFreshLine(int bytesWaiting = 0);

    // Where the lines are logged (the timer's own log by default). A second timer's handler
    // logs into its own table and never captures.
    void setImpulseLog(const ImpulseLog& log) { log_ = log; }
    // Captures through `capture` (nullptr: lines are only logged); its boxes are put back when
    // a line's writes are lost, and lines that waited are not captured around what its
    // operator changed.
    void setCapture(LineCapture* capture) { capture_ = capture; }
    // With a keeper, a lost connection does not cost lines: while the database is away each
    // line is journaled and kept, in order; flushPending writes them once the connection is
    // back, through the capture in their order as if the server had been up, unless the
    // operator changed the boxes meanwhile (then they are logged, marked unassigned).
    void setKeeper(ConnectionKeeper* keeper) { keeper_ = keeper; }
    int pendingCount() const { return static_cast<int>(pending_.size()); }
    // Lines the server refused for a reason other than the connection: kept in the journal
    // and the pending file, shown, never holding up the others.
    int setAsideCount() const { return setAside_; }
    // Writes the lines that waited; throws DbError when the connection is lost again (those
    // not yet written keep waiting). Their file is emptied by recoverPending, which finds
    // them written.
    void flushPending();
    // Writes the lines of the pending file that are not in pulsedata yet (a previous run of
    // the program ended while the database was away) and empties the file, and every line of
    // today's journal whose receipt never reached the database (the program was killed
    // between the journal and the commit), log only, marked unassigned; throws DbError.
    RecoveryCount recoverPending();
    // How many lines recoverPending wrote since the handler was made.
    int recoveredCount() const { return recovered_; }
    // Drops the waiting lines of a competition whose impulses a reset deleted.
    void dropPending(const QString& competitionCode);
    // Appends the lines the journal could not take yet (a full disk), in order; called with
    // every line and by the window's health clock, so the backlog goes in once space is
    // freed even when no line comes.
    void retryJournal();
    int unjournaledCount() const { return static_cast<int>(unjournaled_.size()); }
    // Why the journal (or, while lines wait only in memory, the pending file) cannot be
    // written; empty while it can.
    QString journalProblem() const {
        return journalProblem_.isEmpty() ? pendingFileProblem_ : journalProblem_;
    }
    // Why the capture of a line failed (the line is logged and marked unassigned); stays until
    // acknowledged.
    const QString& captureError() const { return captureError_; }
    void acknowledgeCaptureError();
    void setClock(Clock clock) { clock_ = std::move(clock); }
    const Trace& trace() const { return trace_; }

    // Tenths of a second since local midnight, as logged with each impulse.
    static int receiptTenths(const QDateTime& when);
    // Whether an impulse list can show a new impulse of this channel.
    static bool mayShow(const Query& list, const QString& channel);

signals:
    void traceChanged(const QString& text);
    // A complete line was handled; `logged` is true when its impulse row is written.
    void lineHandled(const QString& line, const pistel::TimerLine& fields, int receiptTenths,
                     bool logged);
    // The journal could not be written (once, when it starts failing); lines still go on to
    // the database.
    void journalFailed(const QString& message);
    // The number of waiting lines, the journal's state or the capture error changed.
    void statusChanged();

private:
    struct Line {
        QString code;
        TimerLine fields;
        int receiptTenths = 0;
        QString receipt;
        QDateTime received;
        QByteArray bytes;
        bool capture = false; // meant for the capture
        QString run;          // the run current when it arrived
        quint64 operatorChanges = 0;
        QString notCaptured; // why it is marked unassigned when it is only logged
    };

    // Returns false when the line ends the delivery.
    bool handleLine(const QString& line, bool capture = true);
    // One line's transaction: impulse row, receipt and, with `capture`, the capture's
    // updates. `mayBeLogged`: look for the receipt first (a reply may have been lost).
    void writeLine(const Line& l, bool capture, bool mayBeLogged);
    void keepInPendingFile(const Line& l);
    // What follows a written line: the lists; their failure never counts against the line.
    void afterLogged(const Line& l, const QString& unassignedWhy);
    void clearPendingFile();
    void refreshImpulseLists(const QString& channel);
    void journal(const Line& l);
    bool databaseAway() const;

    AppState& app_;
    TDM1& dm_;
    ByteSource& port_;
    ImpulseJournal* journal_;
    LineCapture* capture_ = nullptr;
    ImpulseLog log_ = kTimerLog;
    Clock clock_;
    Trace trace_;
    ConnectionKeeper* keeper_ = nullptr;
    QList<Line> pending_;
    QList<JournalEntry> unjournaled_; // received, not yet in the journal (oldest first)
    QSet<QString> dropped_;           // receipts of waiting lines a reset dropped
    int recovered_ = 0;
    int setAside_ = 0;
    int staleBytes_ = 0; // bytes still to read that arrived before the port opened
    bool afterCr_ = false;
    QString journalProblem_;
    QString pendingFileProblem_; // pending.log failed while lines wait in memory
    QString captureError_;
};

} // namespace pistel
