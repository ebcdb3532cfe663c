#pragma once

#include "Race.h"

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
};

// The document of `kind` for class `cls`, or for every class (highest first).
Document buildDocument(const Race& race, DocumentKind kind, std::optional<int> cls = {});

} // namespace pistel
