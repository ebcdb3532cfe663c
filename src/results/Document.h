#pragma once

#include "Race.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace pistel {

enum class DocumentKind { StartList1, StartList2, Results1, Results };

// "startlist1", "startlist2", "results1", "results" (the command line's names).
std::optional<DocumentKind> documentKindNamed(const QString& name);
QString documentTitle(DocumentKind kind);

struct DocumentColumn {
    QString title;
    double width; // millimetres on the page
    bool alignRight = false;
};

// A row: its cells as printed (times with the mark of a time set by hand) and as exported.
struct DocumentRow {
    QStringList cells;
    QStringList csv;
};

// The ranked or listed rows of a class, or one group of non-finishers ("1本目 途中棄権/DNF").
struct DocumentSection {
    QString title; // empty: the class's main rows
    std::vector<DocumentRow> rows;
    // A block of text across the page instead of rows: race data, counts, the penalty, the
    // legend, the timing note, signature lines. Never in the CSV.
    QStringList lines;
    // The title with its count: "失格/DSQ (2名)".
    QString heading() const {
        if (rows.empty())
            return title; // a note such as "代替時刻なし", nothing to count
        return title.isEmpty() ? countText() : title + u' ' + countText();
    }
    QString countText() const { return QStringLiteral("(%1名)").arg(rows.size()); }
};

struct ClassDocument {
    int class1 = 0;
    QString className;
    std::vector<DocumentSection> sections;
};

// One document, built once and written as PDF or CSV (or printed).
struct Document {
    DocumentKind kind = DocumentKind::StartList1;
    QString title;
    RaceInfo info;
    std::vector<DocumentColumn> columns;
    QStringList csvHeader;
    std::vector<ClassDocument> classes;
    bool landscape = false; // A4 across, for the columns of the final result list
    // A result list says whether it is official: published and unchanged since (when), or
    // unofficial (with the time it was printed).
    bool resultList = false;
    std::optional<QDateTime> officialSince;
};

// The document of `kind` for class `cls`, or for every class (highest first). A result list
// leaves out a class nobody raced, and every section with nothing in it.
Document buildDocument(const Race& race, DocumentKind kind, std::optional<int> cls = {});

// The result lists' part of buildDocument: columns, rows, sections and notes of each class.
void buildResultList(const Race& race, Document& doc, const std::vector<int>& classes);

} // namespace pistel
