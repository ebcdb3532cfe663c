#pragma once

#include <QString>
#include <QStringList>

namespace pistel {

class Query;
struct TimerLine;

// The two statements that write a line's impulse row of pulsedata (competition code, receipt
// time in tenths of a second since midnight, the line's four fields, every value quoted) and
// its receipt, which names the row just inserted; each ended by ";", to go out in one batch.
QStringList impulseRowStatements(const QString& code, int receiptTenths, const TimerLine& t,
                                 const QString& receipt);
// The statements below refer to the impulse row just inserted on this connection.
// Marks it as assigned to nobody, with why; the statement, ended by ";", for a batch.
QString markUnassignedStatement(const QString& code, const QString& reason);
// Whether the line with this receipt has its impulse row already.
bool receiptLogged(Query& q, const QString& receipt);
// Whether automatic capture is meant to give this line's time to somebody: a start or finish
// impulse, not one the timer takes back, cleared or marked not to be assigned.
bool assignable(const TimerLine& t);

} // namespace pistel
