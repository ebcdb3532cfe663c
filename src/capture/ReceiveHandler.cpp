#include "ReceiveHandler.h"

#include "ImpulseJournal.h"
#include "ImpulseRow.h"
#include "LineCapture.h"
#include "data/AppState.h"
#include "data/ConnectionKeeper.h"
#include "data/DbError.h"
#include "data/TDM1.h"
#include "data/Transaction.h"

#include <QRegularExpression>
#include <array>
#include <optional>

namespace pistel {
namespace {
const char kBeforeOpen[] = "ポートを開く前に届いた時刻";
const char kChangedMeanwhile[] = "接続が切れている間に枠が変更されたため未割当";
const char kCaptureFailed[] = "取り込みでエラー: ";
} // namespace

ReceiveHandler::ReceiveHandler(AppState& app, TDM1& dm, ByteSource& port, ImpulseJournal* journal,
                               QObject* parent)
    : QObject(parent), app_(app), dm_(dm), port_(port), journal_(journal),
      clock_([] { return QDateTime::currentDateTime(); }) {}

int ReceiveHandler::receiptTenths(const QDateTime& when) {
    return when.time().msecsSinceStartOfDay() / 100;
}

void ReceiveHandler::CommX1Receive(int ReceiveSize) {
    // The timer's switch gates only the timer's lines; a second timer's port reads whenever
    // it is open.
    if ((log_.timer && !app_.timerPortOpen) || ReceiveSize <= 0)
        return;
    // The trace shows what arrived even when a line's handling fails.
    struct TraceNotifier {
        ReceiveHandler& h;
        ~TraceNotifier() { emit h.traceChanged(h.trace_.text()); }
    } notifier{*this};
    for (int i = 0; i < ReceiveSize; ++i) {
        const int b = port_.ReadByte();
        const bool stale = staleBytes_ > 0;
        if (stale)
            --staleBytes_;
        const QChar c(static_cast<ushort>(b & 0xFF)); // a failed read (-1) appends 0xFF
        const bool lf = c == QLatin1Char('\n');
        if (lf && afterCr_) { // CR LF is one line end
            afterCr_ = false;
            continue;
        }
        afterCr_ = c == QLatin1Char('\r');
        // A line ended by LF alone shows in the trace as one ended by CR.
        trace_.append(lf ? QChar(QLatin1Char('\r')) : c);
        if (!afterCr_ && !lf)
            continue;
        if (!handleLine(trace_.endLine(), !stale))
            return;
    }
}

void ReceiveHandler::startFreshLine(int bytesWaiting) {
    staleBytes_ = std::max(bytesWaiting, 0);
    afterCr_ = false;
    const std::optional<QString> leftover = trace_.breakLine();
    if (!leftover)
        return;
    emit traceChanged(trace_.text());
    handleLine(*leftover, false);
}

void ReceiveHandler::journal(const Line& l) {
    if (!journal_)
        return;
    unjournaled_.append({l.received, l.receiptTenths, l.code, l.bytes, l.receipt});
    retryJournal();
}

void ReceiveHandler::retryJournal() {
    if (!journal_ || unjournaled_.isEmpty())
        return;
    // Lines that could not be journaled (a full disk) go in first, in their order, as soon as
    // the journal takes writes again; the message stays until the last of them is in.
    try {
        while (!unjournaled_.isEmpty()) {
            journal_->append(unjournaled_.first());
            unjournaled_.removeFirst();
        }
    } catch (const JournalError& e) {
        const bool first = journalProblem_.isEmpty();
        journalProblem_ = QString::fromStdString(e.what());
        if (first) {
            emit journalFailed(journalProblem_);
            emit statusChanged();
        }
        return;
    }
    if (!journalProblem_.isEmpty()) {
        journalProblem_.clear();
        emit statusChanged();
    }
}

bool ReceiveHandler::databaseAway() const {
    return keeper_ && keeper_->isDown();
}

bool ReceiveHandler::handleLine(const QString& text, bool capture) {
    Line l;
    l.received = clock_();
    l.receiptTenths = receiptTenths(l.received);
    l.code = app_.competitionCode;
    l.bytes = text.toLatin1();
    l.receipt = ImpulseJournal::newReceipt();
    l.fields = splitTimerLine(text);
    l.run = app_.currentRun;
    l.operatorChanges = capture_ ? capture_->operatorChanges() : 0;
    l.capture = capture && capture_;
    if (!capture && assignable(l.fields))
        l.notCaptured = QString::fromUtf8(kBeforeOpen);
    journal(l);

    if (l.fields.endsDelivery()) { // a run time: never logged, nothing to capture
        emit lineHandled(text, l.fields, l.receiptTenths, false);
        return false;
    }
    bool logged = false;
    std::optional<DbError> refused;
    if (!databaseAway()) {
        try {
            flushPending(); // lines that waited go first, in order
            writeLine(l, l.capture, false);
            logged = true;
        } catch (const DbError& e) {
            if (e.connectionLost() && keeper_)
                keeper_->connectionLost();
            else if (!e.connectionLost())
                refused = e;
        }
    }
    if (!logged) {
        keepInPendingFile(l);
        if (refused)
            ++setAside_; // kept in the file, never holding up the lines after it
        else
            pending_.append(l);
        emit statusChanged();
    }
    emit lineHandled(text, l.fields, l.receiptTenths, logged);
    if (refused)
        throw *refused;
    return true;
}

void ReceiveHandler::keepInPendingFile(const Line& l) {
    if (journal_) {
        try {
            journal_->keepPending({l.received, l.receiptTenths, l.code, l.bytes, l.receipt});
        } catch (const JournalError& e) {
            // The line is in the day's journal (if that works) and in memory; the status
            // stays red while it waits only there.
            pendingFileProblem_ = QString::fromStdString(e.what());
        }
    }
}

void ReceiveHandler::writeLine(const Line& l, bool capture, bool mayBeLogged) {
    Query& q = dm_.Qedit;
    if (mayBeLogged && receiptLogged(q, l.receipt, log_))
        return; // its reply was lost after the server had it
    // The line's writes end with one batch: what the capture writes, the impulse row, its
    // receipt and mark, and the commit.
    QStringList captureWrites;
    auto commitLine = [&](Transaction& tx, const QString& unassignedWhy) {
        QStringList batch = captureWrites;
        batch << impulseRowStatements(l.code, l.receiptTenths, l.fields, l.receipt, log_);
        if (const QString tag = runTagStatement(l.run, log_); !tag.isEmpty())
            batch << tag;
        if (!unassignedWhy.isEmpty() && log_.timer)
            batch << markUnassignedStatement(l.code, unassignedWhy);
        q.setSql(batch << QStringLiteral("commit"));
        q.execSql();
        tx.committedByBatch();
    };
    std::optional<BoxState> boxes;
    if (capture && capture_)
        boxes = capture_->boxState();
    QString unassignedWhy = l.notCaptured;
    try {
        // Begun by the capture's first statement (or the batch itself when only logged).
        Transaction tx(dm_.Db1);
        if (capture && capture_) {
            struct Deferral {
                LineCapture* target;
                ~Deferral() { target->deferWrites(nullptr); }
            } deferral{capture_};
            capture_->deferWrites(&captureWrites);
            CaptureResult r;
            try {
                r = capture_->captureLine(l.fields);
            } catch (const DbError&) {
                throw;
            } catch (const std::exception& e) { // any failure of the capture is one
                throw DbError(QString::fromStdString(e.what()));
            }
            unassignedWhy = r.unassigned ? r.reason : QString();
            commitLine(tx, unassignedWhy);
        } else {
            commitLine(tx, unassignedWhy);
        }
    } catch (const DbError& e) {
        if (capture_)
            capture_->discardAfterWrites(); // nothing of the capture was written
        if (boxes)
            capture_->restoreBoxes(*boxes);
        if (e.connectionLost() || !capture)
            throw;
        // The capture failed: its writes are rolled back and the impulse is logged on its
        // own, unassigned, with the error shown until seen; then the lists are read again.
        captureError_ = e.message();
        captureWrites.clear();
        unassignedWhy =
            assignable(l.fields) ? QString::fromUtf8(kCaptureFailed) + e.message() : QString();
        Transaction tx(dm_.Db1);
        commitLine(tx, unassignedWhy);
        emit statusChanged();
        if (capture_) {
            try {
                capture_->rereadCurrentPage();
            } catch (const DbError& again) {
                if (again.connectionLost())
                    throw;
                // The lists fail for the same reason as the capture, which is shown; the
                // boxes keep naming whom they named.
            }
            if (boxes)
                capture_->restoreBoxes(*boxes);
        }
    }
    afterLogged(l, unassignedWhy);
}

void ReceiveHandler::afterLogged(const Line& l, const QString& unassignedWhy) {
    // The line is written: a failure from here on costs only what the lists show.
    try {
        if (capture_) {
            capture_->runAfterWrites(); // the lists take what the capture wrote
            if (!unassignedWhy.isEmpty())
                capture_->rereadUnassigned();
        }
        if (log_.timer)
            refreshImpulseLists(l.fields.stat);
    } catch (const DbError& e) {
        if (e.connectionLost() && keeper_)
            keeper_->connectionLost(); // the lists are read again when it is back
        else
            captureError_ = e.message();
        emit statusChanged();
    }
}

void ReceiveHandler::flushPending() {
    if (pending_.isEmpty())
        return;
    // Once the operator changed the boxes (or the run, or the competition) the waiting lines
    // no longer fit them: the rest are only logged, each marked unassigned.
    bool captureOn = true;
    while (!pending_.isEmpty()) {
        Line l = pending_.first();
        const bool unchanged = l.code == app_.competitionCode && l.run == app_.currentRun &&
                               (!capture_ || capture_->operatorChanges() == l.operatorChanges);
        captureOn = captureOn && unchanged;
        if (l.capture && !captureOn && assignable(l.fields))
            l.notCaptured = QString::fromUtf8(kChangedMeanwhile);
        try {
            writeLine(l, l.capture && captureOn, true);
        } catch (const DbError& e) {
            if (e.connectionLost())
                throw;
            ++setAside_; // refused by the server: the pending file keeps it
        }
        pending_.removeFirst();
        emit statusChanged();
    }
    pendingFileProblem_.clear();
    refreshImpulseLists(QStringLiteral("C0"));
    refreshImpulseLists(QStringLiteral("C1"));
    emit statusChanged();
}

void ReceiveHandler::dropPending(const QString& competitionCode) {
    for (const Line& l : pending_)
        if (l.code == competitionCode)
            dropped_.insert(l.receipt); // the journal's copy is not brought back either
    pending_.removeIf([&](const Line& l) { return l.code == competitionCode; });
    emit statusChanged();
}

void ReceiveHandler::acknowledgeCaptureError() {
    if (captureError_.isEmpty())
        return;
    captureError_.clear();
    emit statusChanged();
}

void ReceiveHandler::clearPendingFile() {
    if (!journal_)
        return;
    try {
        journal_->clearPending();
    } catch (const JournalError& e) {
        // The rows are written; a stale pending file only makes the next start look them up.
        journalProblem_ = QString::fromStdString(e.what());
        emit statusChanged();
    }
}

RecoveryCount ReceiveHandler::recoverPending() {
    if (!journal_)
        return {};
    // The pending file's lines, then every line of today's journal that never reached the
    // database: the program may have been killed between journaling a line and committing it.
    QList<JournalEntry> entries = journal_->pendingEntries();
    QSet<QString> known;
    for (const JournalEntry& e : entries)
        known.insert(e.receipt);
    for (const Line& l : pending_)
        known.insert(l.receipt); // written with their capture by flushPending
    known.unite(dropped_);
    const QList<JournalEntry> day = journal_->dayEntries(clock_().date());
    QStringList receipts;
    for (const JournalEntry& e : day)
        if (!e.receipt.isEmpty() && !known.contains(e.receipt))
            receipts << e.receipt;
    const QSet<QString> logged = receiptsEverLogged(dm_.Qedit, receipts, log_);
    for (const JournalEntry& e : day)
        if (!e.receipt.isEmpty() && !known.contains(e.receipt) && !logged.contains(e.receipt))
            entries.append(e);
    const RecoveryCount count = writeMissingImpulses(dm_, entries, log_);
    recovered_ += count.written;
    setAside_ = count.refused;
    // A refused line stays in the file, to be tried again at the next start.
    if (count.refused == 0 && pending_.isEmpty())
        clearPendingFile();
    if (capture_)
        capture_->rereadUnassigned();
    emit statusChanged();
    return count;
}

void ReceiveHandler::refreshImpulseLists(const QString& channel) {
    for (Query* list : app_.isRun1() ? std::array{&dm_.QPulseSt, &dm_.QPulseFn}
                                     : std::array{&dm_.QPulseSt2, &dm_.QPulseFn2}) {
        // A new impulse is put in by its id; a list not shown yet is read whole.
        if (mayShow(*list, channel))
            list->appendNewer(u"id");
    }
}

bool ReceiveHandler::mayShow(const Query& list, const QString& channel) {
    // A run page's impulse list selects one channel ("stat = 'C0'"); re-reading it for an
    // impulse of another channel would only cost time and move the operator's selection.
    static const QRegularExpression filter(QStringLiteral(R"(\bstat\s*=\s*'([^']*)')"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = filter.match(list.statementText());
    return !m.hasMatch() || m.captured(1).compare(channel, Qt::CaseInsensitive) == 0;
}

} // namespace pistel
