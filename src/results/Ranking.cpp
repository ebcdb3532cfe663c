// One definition of a rank, for the window, the documents and the command line.
#include "Ranking.h"

#include "data/TimeText.h"

#include <QRegularExpression>
#include <algorithm>

namespace pistel {

namespace {
// Hundredths of a match of hours, minutes, seconds and hundredths (groups 1-4, the first two
// possibly absent); -1 without a match.
long long hundredthsOfMatch(const QRegularExpression& form, const QString& text) {
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch())
        return -1;
    return ((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 +
            m.captured(3).toLongLong()) *
               100 +
           m.captured(4).toLongLong();
}
} // namespace

long long hundredthsOf(const QString& runTime) {
    // Only a whole stored run time ("HH:MM:SS.ff") counts; the count is the time texts' own.
    const QString t = runTime.trimmed();
    static const QString digitsAt = QStringLiteral("dd:dd:dd.dd");
    if (t.size() != digitsAt.size())
        return -1;
    for (qsizetype i = 0; i < t.size(); ++i)
        if (digitsAt[i] == u'd' ? t[i] < u'0' || t[i] > u'9' : t[i] != digitsAt[i])
            return -1;
    return TimeToUnits(t);
}

long long shortTimeHundredths(const QString& shown) {
    static const QRegularExpression form(
        QStringLiteral("^(?:(?:(\\d+):)?(\\d{1,2}):)?(\\d{1,2})\\.(\\d{2})$"));
    return hundredthsOfMatch(form, shown);
}

namespace {
QString clockText(long long h) {
    const long long hours = h / 360000, minutes = h / 6000 % 60, seconds = h / 100 % 60,
                    hundredths = h % 100;
    if (hours > 0)
        return QString::asprintf("%lld:%02lld:%02lld.%02lld", hours, minutes, seconds, hundredths);
    if (minutes > 0)
        return QString::asprintf("%lld:%02lld.%02lld", minutes, seconds, hundredths);
    return QString::asprintf("%lld.%02lld", seconds, hundredths);
}

std::vector<RankedRow> rank(const std::vector<const Competitor*>& competitors,
                            bool (*eligible)(const Competitor&),
                            const QString& (*timeOf)(const Competitor&)) {
    std::vector<RankedRow> rows;
    for (const Placed<Competitor>& p : rankWithTies(
             competitors,
             [&](const Competitor& c) { return eligible(c) ? hundredthsOf(timeOf(c)) : -1; },
             [](const Competitor& c) { return c.zek; }))
        if (p.rank > 0)
            rows.push_back({p.row, p.rank, p.time, p.behind});
    return rows;
}
} // namespace

QString shortTime(const QString& runTime) {
    const long long h = hundredthsOf(runTime);
    return h < 0 ? runTime.trimmed() : clockText(h);
}

QString behindText(long long hundredths) {
    return hundredths <= 0 ? QString() : u'+' + clockText(hundredths);
}

std::vector<RankedRow> rankRun1(const std::vector<const Competitor*>& competitors) {
    return rank(
        competitors, [](const Competitor& c) { return c.finished(1); },
        [](const Competitor& c) -> const QString& { return c.runTime[0]; });
}

std::vector<RankedRow> rankFinal(const std::vector<const Competitor*>& competitors) {
    return rank(
        competitors, [](const Competitor& c) { return c.finished(1) && c.finished(2); },
        [](const Competitor& c) -> const QString& { return c.total; });
}

std::vector<RankedRow> rankRun2(const std::vector<const Competitor*>& competitors) {
    return rank(
        competitors, [](const Competitor& c) { return c.finished(1) && c.finished(2); },
        [](const Competitor& c) -> const QString& { return c.runTime[1]; });
}

std::vector<const Competitor*> classMembers(const Race& race, int cls) {
    std::vector<const Competitor*> members;
    for (const Competitor& c : race.competitors)
        if (c.class1 == cls && !c.excluded())
            members.push_back(&c);
    return members;
}

} // namespace pistel
