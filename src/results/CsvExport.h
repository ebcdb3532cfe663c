#pragma once

#include "Document.h"

#include <QByteArray>

namespace pistel {

enum class CsvEncoding { Utf8Bom, ShiftJis };

// The document as CSV: one header row, then every row of every class and section (line ends
// CR LF, fields quoted where they need it).
QByteArray documentCsv(const Document& doc, CsvEncoding encoding = CsvEncoding::Utf8Bom);

} // namespace pistel
