#pragma once

#include <QString>
#include <QStringList>

namespace pistel {

class Query;
struct TimerLine;

// Writes one impulse row of pulsedata through `q`: competition code, receipt time (tenths of
// a second since midnight) and the line's four fields, every value quoted. Throws DbError.
void insertImpulse(Query& q, const QString& code, int receiptTenths, const TimerLine& t);
// The two statements that write a line's impulse row and its receipt (the receipt names the
// row just inserted), each ended by ";", to go out in one batch.
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
