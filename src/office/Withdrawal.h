#pragma once

#include <QString>

namespace pistel {

namespace odbc {
class Connection;
}

// Withdraws a competitor (left out of the start lists, the capture and the results, as an
// excluded entry is) or reinstates one. A competitor with a time stays: their run happened.
// Throws DbError; std::invalid_argument when the bib is unknown or has a time.
void setWithdrawn(odbc::Connection& db, const QString& code, const QString& bib, bool withdrawn);

} // namespace pistel
