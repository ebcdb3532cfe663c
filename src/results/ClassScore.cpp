#include "ClassScore.h"

#include "Ranking.h"

#include <QRegularExpression>

namespace pistel {

std::optional<PointsRule> pointsRule(const Race& race) {
    // Full-width letters ("ＧＳ") as other software writes them count as the discipline.
    const std::optional<DisciplineValues> values = disciplineValues(
        race.info.discipline.normalized(QString::NormalizationForm_KC).trimmed().toUpper());
    PointsRule rule;
    if (values) {
        rule.factor = values->factor;
        rule.maximum = values->maximum;
    }
    bool ok = false;
    if (const int f = race.data(0, "points_factor").toInt(&ok); ok && f > 0)
        rule.factor = f;
    if (const long long m = pointsHundredths(race.data(0, "points_maximum")); m > 0)
        rule.maximum = m;
    if (const long long m = pointsHundredths(race.data(0, "minimum_penalty")); m > 0)
        rule.minimumPenalty = m;
    if (rule.factor <= 0 || rule.maximum <= 0)
        return std::nullopt;
    return rule;
}

QString pointsText(long long hundredths) {
    return QString::asprintf("%lld.%02lld", hundredths / 100, hundredths % 100);
}

long long pointsHundredths(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d+)(?:\\.(\\d{1,2}))?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toLongLong() * 100 + m.captured(2).leftJustified(2, u'0').toLongLong();
}

std::optional<ClassScore> scoreClass(const std::vector<const Competitor*>& members,
                                     const PointsRule& rule) {
    const std::vector<RankedRow> ranked = rankFinal(members);
    if (ranked.empty())
        return std::nullopt;
    ClassScore score;
    QHash<QString, int> rankOf;
    for (const RankedRow& r : ranked) {
        score.racePoints.insert(r.competitor->zek,
                                racePoints(rule.factor, ranked.front().time, r.time));
        rankOf.insert(r.competitor->zek, r.rank);
    }
    std::vector<PenaltyEntry> entries;
    for (const Competitor* c : members) {
        // Started run 1: a time or a status of the course; a DNS of run 1 never counts.
        const bool started =
            c->status[0].code != u"DNS" &&
            (!c->start[0].isEmpty() || !c->finish[0].isEmpty() || c->status[0].isSet());
        entries.push_back({pointsHundredths(c->points), rankOf.value(c->zek),
                           score.racePoints.value(c->zek), started});
    }
    std::vector<size_t> inA;
    score.penalty = penalty(entries, rule.maximum, rule.minimumPenalty, &inA);
    for (size_t i : inA)
        score.countedInA << members[i]->zek;
    return score;
}

} // namespace pistel
