#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace pistel {

class Query;
struct TimerLine;

// Where a port's lines are logged: the timer's in pulsedata (and captured), a second timer's
// (system B) in a table of our own with the same fields, never captured.
struct ImpulseLog {
    const char* table;
    const char* receipts;
    bool timer; // the capture's own log: its lines are captured and marked unassigned
};
inline constexpr ImpulseLog kTimerLog{"pulsedata", "pulse_receipt", true};
inline constexpr ImpulseLog kSecondTimerLog{"backup_impulse", "backup_receipt", false};

// The two statements that write a line's impulse row of pulsedata (competition code, receipt
// time in tenths of a second since midnight, the line's four fields, every value quoted) and
// its receipt, which names the row just inserted; each ended by ";", to go out in one batch.
QStringList impulseRowStatements(const QString& code, int receiptTenths, const TimerLine& t,
                                 const QString& receipt, const ImpulseLog& log = kTimerLog);
// The statements below refer to the impulse row just inserted on this connection.
// Marks it as assigned to nobody, with why; the statement, ended by ";", for a batch.
QString markUnassignedStatement(const QString& code, const QString& reason);
// Whether the line with this receipt has its impulse row already.
bool receiptLogged(Query& q, const QString& receipt, const ImpulseLog& log = kTimerLog);
// Tags the impulse row just inserted with the run being timed ("1" or "2"; otherwise
// nothing): the timer's in pulse_run, a second timer's in its row; the statement, ended by
// ";", for a batch, or empty.
QString runTagStatement(const QString& run, const ImpulseLog& log = kTimerLog);
// Of `receipts`, those that ever reached the log (their row may have been deleted since by a
// reset, which must not bring it back).
QSet<QString> receiptsEverLogged(Query& q, const QStringList& receipts,
                                 const ImpulseLog& log = kTimerLog);
// Whether automatic capture is meant to give this line's time to somebody: a start or finish
// impulse, not one the timer takes back, cleared or marked not to be assigned.
bool assignable(const TimerLine& t);

} // namespace pistel
