#pragma once

#include <QString>

namespace pistel {

class Query;
struct TimerLine;

// Writes one impulse row of pulsedata through `q`: competition code, receipt time (tenths of
// a second since midnight) and the line's four fields, every value quoted. Throws DbError.
void insertImpulse(Query& q, const QString& code, int receiptTenths, const TimerLine& t);

} // namespace pistel
