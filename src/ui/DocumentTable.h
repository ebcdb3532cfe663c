#pragma once

#include "results/Document.h"

class QTableWidget;

namespace pistel {

// Shows a document's rows in a table: column titles, the class's rows, then each section's
// title (with its count) on a row of its own followed by its rows, or by the lines of a text
// block (each across the table).
void showDocument(QTableWidget* table, const Document& doc);

} // namespace pistel
