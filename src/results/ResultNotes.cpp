#include "ResultNotes.h"

#include "RaceData.h"

#include <algorithm>

namespace pistel {
namespace {

// Between the items of a line (a single ideographic space is the blank inside a name).
const QString kGap = QStringLiteral("　　");

// "caption value" of each item of `run` that has a value.
QStringList items(const Race& race, int run, std::initializer_list<const char*> names) {
    QStringList parts;
    for (const char* name : names)
        if (const QString v = race.data(run, name).trimmed(); !v.isEmpty())
            parts << raceDataCaption(QString::fromLatin1(name)) + u' ' + v;
    return parts;
}

QString runName(int run) {
    return run == 1 ? QStringLiteral("１本目") : QStringLiteral("２本目");
}

} // namespace

QStringList raceDataLines(const Race& race) {
    QStringList lines;
    const auto add = [&](const QString& head, const QStringList& parts) {
        if (!parts.isEmpty())
            lines << head + parts.join(kGap);
    };
    add({}, items(race, 0,
                  {"technical_delegate", "referee", "chief_of_race", "start_referee",
                   "finish_referee"}));
    add({},
        items(race, 0,
              {"course", "homologation", "start_altitude", "finish_altitude", "vertical_drop"}));
    for (int run = 1; run <= 2; ++run)
        add(runName(run) + QStringLiteral(": "),
            items(race, run,
                  {"course_setter", "gates", "turning_gates", "start_time", "forerunners"}));
    add({}, items(race, 0, {"weather", "snow", "temperature_start", "temperature_finish"}));
    return lines;
}

QStringList countLines(const std::vector<const Competitor*>& members, int runs, int classified) {
    QStringList lines;
    for (int run = 1; run <= runs; ++run) {
        int expected = 0, started = 0, finished = 0, dns = 0, dnf = 0, dsq = 0;
        for (const Competitor* c : members) {
            const QString& code = c->status[run - 1].code;
            const bool ran = !c->start[run - 1].isEmpty() || code == u"DNF" || code == u"DSQ";
            if (run == 1 || c->startsRun2() || ran)
                ++expected;
            started += ran ? 1 : 0;
            finished += c->finished(run) ? 1 : 0;
            dns += code == u"DNS" ? 1 : 0;
            dnf += code == u"DNF" ? 1 : 0;
            dsq += code == u"DSQ" ? 1 : 0;
        }
        lines << QStringLiteral("%1: 出走予定 %2　　出走 %3　　完走 %4　　欠場 DNS %5　　"
                                "途中棄権 DNF %6　　失格 DSQ %7")
                     .arg(runName(run))
                     .arg(expected)
                     .arg(started)
                     .arg(finished)
                     .arg(dns)
                     .arg(dnf)
                     .arg(dsq);
    }
    if (classified >= 0)
        lines << QStringLiteral("順位のついた選手 %1 名").arg(classified);
    return lines;
}

QStringList penaltyLines(const std::vector<const Competitor*>& members, const PointsRule& rule,
                         const ClassScore& score) {
    QStringList a, c;
    for (const QString& bib : score.countedInA)
        for (const Competitor* m : members)
            if (m->zek == bib) {
                a << bib + u' ' +
                         pointsText(countedPoints(pointsHundredths(m->points), rule.maximum));
                c << bib + u' ' + pointsText(std::min(score.racePoints.value(bib), rule.maximum));
            }
    const Penalty& p = score.penalty;
    QStringList lines{
        QStringLiteral("F 値 %1　　最大値 %2").arg(rule.factor).arg(pointsText(rule.maximum)),
        QStringLiteral("A（上位10名のポイントのよい5名） %1　　%2")
            .arg(pointsText(p.a), a.join(QStringLiteral("、"))),
        QStringLiteral("B（出走者のポイントのよい5名） %1").arg(pointsText(p.b)),
        QStringLiteral("C（Aの5名のレースポイント） %1　　%2")
            .arg(pointsText(p.c), c.join(QStringLiteral("、"))),
        QStringLiteral("ペナルティ = (A + B − C) ÷ 10 = %1").arg(pointsText(p.value))};
    if (rule.minimumPenalty > 0)
        lines.last() += QStringLiteral("（最低 %1）").arg(pointsText(rule.minimumPenalty));
    return lines;
}

QStringList legendLines(bool final) {
    QStringList lines{QStringLiteral("* 手動で入力した時刻　　R 予備計時による代替時刻　　"
                                     "DNS 欠場　　DNF 途中棄権　　DSQ 失格")};
    if (final)
        lines << QStringLiteral("順 各本の順位　　ポイント レースポイント　　＋ペナルティ "
                                "レースポイントとペナルティの和　　差 トップとの差");
    return lines;
}

QStringList timingLines(const Race& race, const std::vector<const Competitor*>& members) {
    QStringList replaced;
    for (const Competitor* c : members)
        for (int run = 1; run <= 2; ++run)
            if (c->replaced[run - 1])
                replaced << c->zek + QStringLiteral("（%1）").arg(runName(run));
    const QString timing = race.data(0, "timing").trimmed();
    return {(timing.isEmpty() ? QString() : QStringLiteral("計時 ") + timing + kGap) +
                QStringLiteral("主計時: 計時器の時刻（1/10000 秒、切り捨てで 1/100 秒）　　"
                               "予備計時: システムB・手動計時"),
            replaced.isEmpty()
                ? QStringLiteral("代替時刻: なし")
                : QStringLiteral("代替時刻を使った選手: ") + replaced.join(QStringLiteral("、"))};
}

QStringList signatureLines(const Race& race) {
    const QString line = QStringLiteral("＿＿＿＿＿＿＿＿＿＿＿＿");
    return {raceDataCaption("technical_delegate") + u' ' + race.data(0, "technical_delegate") +
            QStringLiteral(" 署名 ") + line + QStringLiteral("　　") + raceDataCaption("referee") +
            u' ' + race.data(0, "referee") + QStringLiteral(" 署名 ") + line};
}

} // namespace pistel
