#pragma once

#include "TextTable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace pistel {

// One competitor of an entry file as the club keeps it (exported from a spreadsheet).
struct Entry {
    int line = 0; // in the file, from 1 (the header is line 1)
    QString bib, name, kana, team, className, sex, birthYear, nation, licence, points;
};

using EntryProblem = LineProblem;

// What an entry file holds, read without writing anything: the entries and every problem by
// line number. Nothing may be stored unless `problems` is empty.
struct EntryFile {
    QString encoding; // "UTF-8", "UTF-8 (BOM)" or "CP932"
    QList<Entry> entries;
    QList<EntryProblem> problems;
};

// Reads an entry file: CSV (with quotes) or TSV, in Shift-JIS (CP932) or UTF-8 with or without
// a BOM, found by itself. The header row's columns are recognised in Japanese or English
// (ビブ/ゼッケン/bib, 氏名/name, よみ, 所属/team/club, クラス/class, 性別/sex, 生年/birth year,
// 都道府県/国/nation, 登録番号/FIS code/licence, ポイント/points); a name column is required.
// Problems: a byte that is not text, a class not in `classes` (when given), a bib used twice,
// a name missing, a birth year that is not one.
// `encoding` forces one ("sjis" or "utf8"); "auto" or empty: found by itself.
// (A class column holds a class's name or its number: `classes` lists the values it may take.)
EntryFile readEntryFile(const QByteArray& bytes, const QStringList& classes,
                        const QString& encoding = {});

// What is wrong with one entry (of a file or typed in): a name missing, a bib that is not
// 1 to 9999, a class not in `classes` (when given), a year or points that are not ones.
QStringList entryProblems(const Entry& e, const QStringList& classes);
// One entry typed in, as a file of one line (line 0) with its problems.
EntryFile checkedEntry(const Entry& e, const QStringList& classes);

} // namespace pistel
