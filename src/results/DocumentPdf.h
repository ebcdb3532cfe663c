#pragma once

#include "Document.h"

#include <QDateTime>
#include <QString>
#include <vector>

class QPagedPaintDevice;

namespace pistel {

// The family documents are set in: Noto Sans CJK JP (Japanese shapes for kanji) as made at
// build time so that the PDF's text reads back as printed; the installed Noto Sans CJK JP
// (with a warning) when that file is missing. Needs a QGuiApplication.
QString documentFontFamily();

// Paints the document on A4 pages of `device` (a PDF writer or a printer), across for a
// landscape document: on every page the competition, the document's title and class (a result
// list: official since when, or unofficial), the column titles above the rows, "n / m" and the
// time it was printed. Each class starts on a page of its own; texts wrap inside their column.
void paintDocument(const Document& doc, QPagedPaintDevice& device, const QDateTime& printed);

// Writes the document as a PDF file; false with `error` set when the file cannot be written.
bool writeDocumentPdf(const Document& doc, const QString& path, const QDateTime& printed,
                      QString* error);

// For programs that write documents without a screen: call before the QGuiApplication is made
// (the offscreen platform unless one is set, and a private runtime folder for Qt's fonts).
void prepareForDocumentsWithoutScreen();

// The left edges of the columns and the right edge of the last, in millimetres from the
// page's left edge.
std::vector<double> columnEdgesMm(const Document& doc);

} // namespace pistel
