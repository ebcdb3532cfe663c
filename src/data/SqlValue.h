#pragma once

#include <QString>

namespace pistel {

// The one way a value is spliced into SQL text: the result goes between single quotes.
// Quotes are doubled and backslashes and NUL escaped, so no value can end the literal
// early or change the statement, whatever it holds.
QString sqlValue(const QString& value);

} // namespace pistel
