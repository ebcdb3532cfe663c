#include "LiveResults.h"

#include "data/SjisText.h"

#include <QUrl>

namespace pistel {
namespace {
QString enc(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}
} // namespace

QString Slim(const QString& time) {
    // Positions 1, 2, 4, 5, 7, 8 (1-based): the first that is not "0" decides.
    const int positions[] = {1, 2, 4, 5, 7, 8};
    for (int p : positions) {
        if (p > time.size() || time.at(p - 1) != QLatin1Char('0'))
            return time.mid(p - 1, 12 - p + 1);
    }
    return time.mid(9, 3);
}

QString classCode3(const QString& code) {
    if (code.size() == 1)
        return QStringLiteral("00") + code;
    if (code.size() == 2)
        return QStringLiteral("0") + code;
    return code;
}

QString webRaceKey(const QString& competitionCode, const QString& classCode) {
    return QStringLiteral("AST") + competitionCode + classCode3(classCode) + QStringLiteral("1");
}

QString webBib(const QString& bib) {
    return bib.size() == 4 ? bib.mid(1) : bib;
}

QString requestStamp(const QTime& now) {
    return now.toString(QStringLiteral("H:mm:ss"));
}

QString raceSelectionUrl(const QString& base, const QString& raceKey, const QString& stamp) {
    return base + QStringLiteral("settaikai.php?tcode=") + enc(raceKey) +
           QStringLiteral("&tdummy=") + enc(stamp);
}

QString messageUrl(const QString& base, const QString& message, const QString& stamp) {
    return base + QStringLiteral("sokuhoup.php?message=") + enc(message) + QLatin1Char('&') +
           enc(stamp);
}

QString competitorResultUrl(const QString& base, const QString& raceKey, const CompetitorTimes& r,
                            bool run1, const QString& stamp) {
    const QString total = r.totaltime.isEmpty() ? r.ttime : r.totaltime;
    const QStringList fields{
        "tcode=" + enc(raceKey),
        "zek=" + enc(webBib(r.zek)),
        "st1=" + enc(Slim(r.ttime)),
        "st2=" + enc(Slim(r.ttime2)),
        "ttime=" + enc(Slim(total)),
        QStringLiteral("fl2=F"),
        "timeod=" + enc(total),
        "altime=" + enc(run1 ? r.altime : r.altime2),
        enc(stamp),
    };
    return base + QStringLiteral("sokuhoup.php?") + fields.join(QLatin1Char('&'));
}

QString competitorClearUrl(const QString& base, const QString& raceKey, const QString& bib,
                           const QString& stamp) {
    return base + QStringLiteral("sokuhoup.php?tcode=") + enc(raceKey) +
           "&zek=" + enc(webBib(bib)) + "&st1=&st2=&ttime=&fl2=N&timeod=&altime=&" + enc(stamp);
}

BatchFile::BatchFile(const QString& competitionCode, const QString& currentRun)
    : code_(competitionCode), run_(currentRun) {
    text_ = "AST" + code_ + "," + run_ + ",\r\n";
}

LiveTimes liveTimes(const CompetitorTimes& r, bool run2) {
    if (run2)
        return {Slim(r.ttime), Slim(r.ttime2), Slim(r.totaltime), r.altime2, r.totaltime};
    return {Slim(r.ttime), QString(), Slim(r.ttime), r.altime, r.ttime};
}

void BatchFile::add(const CompetitorTimes& r) {
    const bool run1 = run_ == QLatin1String("1") && r.fl == QLatin1String("F");
    const bool run2 = run_ == QLatin1String("2") && r.fl2 == QLatin1String("F");
    if (!run1 && !run2)
        return;
    const LiveTimes t = liveTimes(r, run2);
    text_ += "UPDATE STLIST set time1='" + t.time1 + "',time2='" + t.time2 + "',ttime='" + t.ttime +
             "',altime='" + t.altime + "',timeod='" + t.timeod + "'" + " where tcode like 'AST" +
             code_ + "%' and bib='" + webBib(r.zek) + "'\r\n";
}

QByteArray BatchFile::bytes() const {
    return toSjis(text_);
}

QByteArray multipartBody(const QByteArray& boundary, const QByteArray& file) {
    return "--" + boundary + "\r\n" +
           "Content-Disposition: form-data; name=\"fl\"; filename=\"upfaile.txt\"\r\n" +
           "Content-Type: FILE\r\n\r\n" + file + "\r\n--" + boundary + "--\r\n";
}

} // namespace pistel
