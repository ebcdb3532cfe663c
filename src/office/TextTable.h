#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace pistel {

// Something wrong on a line of a file, by its number (from 1).
struct LineProblem {
    int line = 0;
    QString text;
};

// A spreadsheet's export as text: CSV (with quotes) or TSV, in Shift-JIS (CP932) or UTF-8 with
// or without a BOM, found by itself or forced ("sjis", "utf8").
struct TextTable {
    QString encoding; // "UTF-8", "UTF-8 (BOM)" or "CP932"
    QStringList lines;
    bool tabs = false;           // tab-separated (the header line has a tab)
    QList<LineProblem> problems; // lines with a byte that is not text
};
TextTable readTextTable(const QByteArray& bytes, const QString& encoding = {});
// The fields of one line: tab-separated, or comma-separated with "quoted" fields.
QStringList fieldsOf(const QString& line, bool tabs);

} // namespace pistel
