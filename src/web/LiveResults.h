#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>

namespace pistel {

// The pieces of the live results requests. Values in URLs are percent-encoded as UTF-8:
// the web server receives blanks, line breaks, "&" and Japanese text intact after decoding.

// A run time HH:MM:SS.ff without its leading zero groups ("00:01:23.45" -> "1:23.45").
QString Slim(const QString& time);
// A class code of one or two characters padded with zeros to three.
QString classCode3(const QString& code);
// "AST" + competition code + three-character class code + "1".
QString webRaceKey(const QString& competitionCode, const QString& classCode);
inline const char kNoRaceKey[] = "AST0000000000001";
// A four-character bib without its first character; other bibs unchanged.
QString webBib(const QString& bib);
// The request stamp: the time of day as hours, minutes and seconds.
QString requestStamp(const QTime& now);

QString raceSelectionUrl(const QString& base, const QString& raceKey, const QString& stamp);
QString messageUrl(const QString& base, const QString& message, const QString& stamp);

// One competitor's row as the live results read it.
struct CompetitorTimes {
    QString zek, ttime, ttime2, fl, fl2, totaltime, altime, altime2;
};
QString competitorResultUrl(const QString& base, const QString& raceKey, const CompetitorTimes& row,
                            bool run1, const QString& stamp);
QString competitorClearUrl(const QString& base, const QString& raceKey, const QString& bib,
                           const QString& stamp);

// What the live results keep for a finished competitor: after run 2 (`run2`) both run times,
// the total and the run-2 finish; else the run-1 time as the result so far.
struct LiveTimes {
    QString time1, time2, ttime, altime, timeod;
};
LiveTimes liveTimes(const CompetitorTimes& row, bool run2);

// The batch update file: a header and one UPDATE line per finished competitor of the
// current run, CR LF line ends, Shift-JIS.
class BatchFile {
public:
    BatchFile(const QString& competitionCode, const QString& currentRun);
    void add(const CompetitorTimes& row);
    QByteArray bytes() const;

private:
    QString code_;
    QString run_;
    QString text_;
};

// A multipart/form-data body with one file part, as the batch upload sends it.
QByteArray multipartBody(const QByteArray& boundary, const QByteArray& file);

} // namespace pistel
