#include "ReceiveHandler.h"

#include "ImpulseJournal.h"
#include "ImpulseRow.h"
#include "data/AppState.h"
#include "data/ConnectionKeeper.h"
#include "data/DbError.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"

#include <QRegularExpression>
#include <array>
#include <exception>

namespace pistel {

ReceiveHandler::ReceiveHandler(AppState& app, TDM1& dm, ByteSource& port, ImpulseJournal* journal,
                               QObject* parent)
    : QObject(parent), app_(app), dm_(dm), port_(port), journal_(journal),
      clock_([] { return QDateTime::currentDateTime(); }) {}

int ReceiveHandler::receiptTenths(const QDateTime& when) {
    return when.time().msecsSinceStartOfDay() / 100;
}

void ReceiveHandler::CommX1Receive(int ReceiveSize) {
    if (!app_.timerPortOpen || ReceiveSize <= 0)
        return;
    // The trace shows what arrived even when a line's handling fails.
    struct TraceNotifier {
        ReceiveHandler& h;
        ~TraceNotifier() { emit h.traceChanged(h.trace_.text()); }
    } notifier{*this};
    for (int i = 0; i < ReceiveSize; ++i) {
        const int b = port_.ReadByte();
        const QChar c(static_cast<ushort>(b & 0xFF)); // a failed read (-1) appends 0xFF
        trace_.append(c);
        if (c != QLatin1Char('\r'))
            continue;
        if (!handleLine(trace_.endLine()))
            return;
    }
}

void ReceiveHandler::startFreshLine() {
    const std::optional<QString> leftover = trace_.breakLine();
    if (!leftover)
        return;
    emit traceChanged(trace_.text());
    handleLine(*leftover, false);
}

void ReceiveHandler::journal(const QDateTime& now, int tenths, const QString& line) {
    if (!journal_)
        return;
    try {
        journal_->append({now, tenths, app_.competitionCode, line.toLatin1()});
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

bool ReceiveHandler::handleLine(const QString& line, bool capture) {
    const QDateTime now = clock_();
    const int tenths = receiptTenths(now);
    journal(now, tenths, line);
    const TimerLine t = splitTimerLine(line);

    // A failing capture must not cost the impulse: it is still logged, so the operator can
    // assign it by hand, and the error is raised afterwards. A lost connection is no error
    // to raise: the line waits for the database instead.
    std::exception_ptr captureError;
    if (capture_ && capture && !databaseAway()) {
        try {
            capture_(t);
        } catch (const DbError& e) {
            if (e.connectionLost() && keeper_)
                keeper_->connectionLost();
            else
                captureError = std::current_exception();
        } catch (...) {
            captureError = std::current_exception();
        }
    }
    if (t.endsDelivery()) {
        emit lineHandled(line, t, tenths, false);
        if (captureError)
            std::rethrow_exception(captureError);
        return false;
    }
    bool logged = false;
    std::exception_ptr logError;
    if (!databaseAway()) {
        try {
            flushPending(); // lines that waited go first, in order
            logImpulse(t, tenths);
            logged = true;
        } catch (const DbError& e) {
            // Whatever the failure, the line is kept for later, never dropped.
            if (e.connectionLost() && keeper_)
                keeper_->connectionLost();
            else
                logError = std::current_exception();
        }
    }
    if (!logged) {
        pending_.append({app_.competitionCode, t, tenths});
        if (journal_) {
            try {
                journal_->keepPending({now, tenths, app_.competitionCode, line.toLatin1()});
            } catch (const JournalError& e) {
                // The line is in the day's journal all the same; the status shows why.
                journalProblem_ = QString::fromStdString(e.what());
            }
        }
        emit statusChanged();
    }
    emit lineHandled(line, t, tenths, logged);
    if (logError)
        std::rethrow_exception(logError);
    if (captureError)
        std::rethrow_exception(captureError);
    return true;
}

void ReceiveHandler::flushPending() {
    if (pending_.isEmpty())
        return;
    while (!pending_.isEmpty()) {
        const Pending& p = pending_.first();
        insertImpulse(dm_.Qedit, p.code, p.receiptTenths, p.fields);
        pending_.removeFirst();
        emit statusChanged();
    }
    refreshImpulseLists(QStringLiteral("C0"));
    refreshImpulseLists(QStringLiteral("C1"));
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
    const RecoveryCount count = writeMissingImpulses(dm_, journal_->pendingEntries());
    clearPendingFile();
    return count;
}

void ReceiveHandler::logImpulse(const TimerLine& t, int tenths) {
    insertImpulse(dm_.Qedit, app_.competitionCode, tenths, t);
    refreshImpulseLists(t.stat);
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
