#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace pistel::live {

// The race and class a race key names: "AST" + competition code + three-character class
// code + "1". The key of no race ("AST0000000000001") gives an empty code.
struct RaceKey {
    QString code;
    QString classCode;
};
std::optional<RaceKey> parseRaceKey(const QString& key);

// One line of the batch update file, taken as data.
struct BatchUpdate {
    QString time1, time2, ttime, altime, timeod;
    QString code; // from "tcode like 'AST<code>%'"
    QString bib;  // the web bib
};

// The batch update file: header "AST<code>,<run>," and one UPDATE line per finisher, in
// Shift-JIS with CR LF. Every line is matched against exactly the form the workstation
// writes; a line that differs in any way is skipped and counted, never run.
struct BatchFileContent {
    QString code;
    QString run;
    QList<BatchUpdate> updates;
    int skipped = 0;
};
std::optional<BatchFileContent> parseBatchFile(const QByteArray& bytes);

// The content of the file part named `field` of a multipart/form-data body, or nothing.
std::optional<QByteArray> multipartFile(const QByteArray& contentType, const QByteArray& body,
                                        const QByteArray& field);

// A start list uploaded as UTF-8 text, one competitor a line: bib,name,team,class code.
struct StartListEntry {
    QString bib, name, team, classCode;
};
QList<StartListEntry> parseStartList(const QByteArray& text, int* skipped);

// Run statuses as the workstation sends them to its own server, one a line: "bib,run,code"
// (web bib, run 1 or 2, DNS/DNF/DSQ); other lines are skipped and counted.
struct StatusEntry {
    QString bib;
    int run = 1;
    QString code;
};
QList<StatusEntry> parseStatuses(const QByteArray& text, int* skipped);

} // namespace pistel::live
