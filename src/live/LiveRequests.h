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

// A competitor's run status: web bib, run 1 or 2, DNS/DNF/DSQ.
struct StatusEntry {
    QString bib;
    int run = 1;
    QString code;
};

// The state of a competition's race as the workstation sends it to its own server, one item
// a line (UTF-8, fields separated by commas), the whole state each time:
//   seq,N                       grows with each state the workstation builds
//   now,HH:MM:SS.ff             the workstation's time of day when it built the state
//   run,1|2                     the run in progress
//   result,bib,time1,time2,ttime,timeod,altime   a finished competitor, as the batch gives it
//   status,bib,run,DNS|DNF|DSQ
//   course,bib,HH:MM:SS.ff      started in the run in progress and not finished: start time
//   next,bib                    next to start, in start order
//   points,bib,race,final       a classified competitor's race points and points with penalty
//   official,YYYY-MM-DD HH:MM   the results shown are official since then (none: unofficial)
// Lines of any other form are skipped and counted. Nothing when seq, now or run is missing.
struct RaceState {
    QString session; // the sending workstation's upload session; seq orders states within one
    qint64 seq = 0;
    qint64 nowMs = 0; // ms since midnight
    int run = 1;
    QList<BatchUpdate> results;
    QList<StatusEntry> statuses;
    QList<std::pair<QString, qint64>> course; // bib, start in ms since midnight
    QStringList next;
    QList<std::pair<QString, std::pair<QString, QString>>> points; // bib, race and final points
    QString official;
    int skipped = 0;
};
std::optional<RaceState> parseRaceState(const QByteArray& text);

// Milliseconds since midnight of HH:MM:SS with optional decimals; -1 when it is none.
qint64 timeOfDayMs(const QString& text);

} // namespace pistel::live
