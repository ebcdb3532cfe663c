// The result lists: run 1's, and the final list with each run's rank, the entries' details,
// race points and the penalty; the sections of those without a result, and the notes a jury
// signs under.
#include "ClassScore.h"
#include "Document.h"
#include "DocumentCells.h"
#include "Publication.h"
#include "ResultNotes.h"

#include <QHash>
#include <QSet>

namespace pistel {
namespace {

const char* const kCodes[] = {"DNS", "DNF", "DSQ"};

int statusIndex(const QString& code) {
    return code == u"DNS" ? 0 : code == u"DNF" ? 1 : 2;
}

// Who did not finish a run (and why), by section; each competitor once, at the first run
// with a status.
struct Groups {
    std::vector<const Competitor*> byStatus[2][3]; // run, DNS/DNF/DSQ
    std::vector<const Competitor*> unfinished[2];  // no result and no status yet
};

// Which run a section of the final list is about.
QString runPrefix(bool final, int run) {
    if (!final)
        return {};
    return run == 0 ? QStringLiteral("１本目 ") : QStringLiteral("２本目 ");
}

// Somebody of the class started run 1 or has a status in it: the class raced.
bool raced(const std::vector<const Competitor*>& members) {
    return std::any_of(members.begin(), members.end(), [](const Competitor* c) {
        return !c->start[0].isEmpty() || !c->finish[0].isEmpty() || c->status[0].isSet();
    });
}

// Bib -> rank of a ranking.
QHash<QString, int> ranksOf(const std::vector<RankedRow>& ranked) {
    QHash<QString, int> ranks;
    for (const RankedRow& r : ranked)
        ranks.insert(r.competitor->zek, r.rank);
    return ranks;
}

void setColumns(Document& doc, bool final) {
    if (!final) {
        // 180 mm between the margins of an A4 page.
        doc.columns = {{QStringLiteral("順位"), 14, true},   {QStringLiteral("ビブ"), 14, true},
                       {QStringLiteral("氏名"), 40},         {QStringLiteral("所属"), 42},
                       {QStringLiteral("１本目"), 22, true}, {QStringLiteral("差"), 18, true},
                       {QStringLiteral("備考"), 30}};
        doc.csvHeader = {"class",      "class_name", "rank",        "bib",  "name",
                         "team",       "run1",       "run1_manual", "diff", "status",
                         "status_run", "gate",       "reason"};
        return;
    }
    // 267 mm between the margins of an A4 page across.
    doc.columns = {{QStringLiteral("順位"), 10, true},
                   {QStringLiteral("ビブ"), 10, true},
                   {QStringLiteral("登録番号"), 16},
                   {QStringLiteral("氏名"), 30},
                   {QStringLiteral("生年"), 11, true},
                   {QStringLiteral("所属"), 26},
                   {QStringLiteral("都道府県"), 16},
                   {QStringLiteral("１本目"), 18, true},
                   {QStringLiteral("順"), 8, true},
                   {QStringLiteral("２本目"), 18, true},
                   {QStringLiteral("順"), 8, true},
                   {QStringLiteral("合計"), 19, true},
                   {QStringLiteral("差"), 15, true},
                   {QStringLiteral("ポイント"), 16, true},
                   {QStringLiteral("＋ペナルティ"), 22, true},
                   {QStringLiteral("備考"), 24}};
    // The first columns as other software reads them; what came later at the end.
    doc.csvHeader = {"class",       "class_name",   "rank",        "bib",       "name",
                     "team",        "run1",         "run1_manual", "run2",      "run2_manual",
                     "total",       "total_manual", "diff",        "status",    "status_run",
                     "gate",        "reason",       "run1_rank",   "run2_rank", "points",
                     "race_points", "final_points"};
}

} // namespace

void buildResultList(const Race& race, Document& doc, const std::vector<int>& classes) {
    const bool final = doc.kind == DocumentKind::Results;
    doc.resultList = true;
    doc.landscape = final;
    doc.officialSince = officialSince(race, final ? PublishScope::Race : PublishScope::Run1);
    setColumns(doc, final);
    const std::optional<PointsRule> rule = final ? pointsRule(race) : std::nullopt;
    const QStringList data = final ? raceDataLines(race) : QStringList{};

    for (int k : classes) {
        const std::vector<const Competitor*> members = classMembers(race, k);
        if (!raced(members))
            continue;
        ClassDocument part;
        part.class1 = k;
        part.className = race.className(k);
        if (!data.isEmpty())
            part.sections.push_back({QStringLiteral("大会データ"), {}, data});
        const QString classCells[] = {QString::number(k), part.className};
        const std::vector<RankedRow> ranked = final ? rankFinal(members) : rankRun1(members);
        // Each run's rank beside its time: the final list's only.
        const QHash<QString, int> rank1 =
            final ? ranksOf(rankRun1(members)) : QHash<QString, int>{};
        const QHash<QString, int> rank2 =
            final ? ranksOf(rankRun2(members)) : QHash<QString, int>{};
        const std::optional<ClassScore> score = rule ? scoreClass(members, *rule) : std::nullopt;
        const auto rankText = [](const QHash<QString, int>& ranks, const QString& bib) {
            return ranks.contains(bib) ? QString::number(ranks[bib]) : QString();
        };

        auto rowOf = [&](const Competitor* c, const QString& rank, const QString& behind,
                         const RunStatus& status, int statusRun) {
            // A disqualified competitor's times are not printed: they do not count.
            const bool dsq = status.code == u"DSQ";
            const auto shown = [dsq](const QString& text) { return dsq ? QString() : text; };
            const QString run1 = marked(c->runTime[0], c->markOf(1));
            DocumentRow row;
            row.csv = {
                classCells[0], classCells[1], rank,          c->zek,
                c->name,       c->team,       c->runTime[0], mark(c->markOf(1), c->runTime[0])};
            QString remark;
            if (status.isSet())
                remark = (status.gate.isEmpty() ? QString() : "旗門 " + status.gate + " ") +
                         status.reason;
            if (!final) {
                row.cells = {rank, c->zek, c->name, c->team, shown(run1), behind, remark.trimmed()};
                row.csv << behind << status.code
                        << (status.isSet() ? QString::number(statusRun) : QString()) << status.gate
                        << status.reason;
                return row;
            }
            const QString total = rank.isEmpty() ? QString() : c->total;
            const bool scored = score && score->racePoints.contains(c->zek);
            const QString racePoints = scored ? pointsText(score->racePoints[c->zek]) : QString();
            const QString finalPoints = scored ? pointsText(score->finalPoints(c->zek)) : QString();
            row.cells = {rank,
                         c->zek,
                         c->licence,
                         c->name,
                         c->birthYear,
                         c->team,
                         c->nation,
                         shown(run1),
                         shown(rankText(rank1, c->zek)),
                         shown(marked(c->runTime[1], c->markOf(2))),
                         shown(rankText(rank2, c->zek)),
                         marked(total, c->markOf(0)),
                         behind,
                         racePoints,
                         finalPoints,
                         remark.trimmed()};
            row.csv << c->runTime[1] << mark(c->markOf(2), c->runTime[1]) << total
                    << mark(c->markOf(0), total) << behind << status.code
                    << (status.isSet() ? QString::number(statusRun) : QString()) << status.gate
                    << status.reason << rankText(rank1, c->zek) << rankText(rank2, c->zek)
                    << c->points << racePoints << finalPoints;
            return row;
        };

        DocumentSection main;
        QSet<const Competitor*> listed;
        for (const RankedRow& r : ranked) {
            main.rows.push_back(
                rowOf(r.competitor, QString::number(r.rank), behindText(r.behind), {}, 0));
            listed.insert(r.competitor);
        }
        if (!main.rows.empty())
            part.sections.push_back(main);

        // Everyone else, by run and status.
        Groups groups;
        const int runs = final ? 2 : 1;
        for (const Competitor* c : members) {
            if (listed.contains(c))
                continue;
            bool placed = false;
            for (int run = 0; run < runs && !placed; ++run)
                if (c->status[run].isSet()) {
                    groups.byStatus[run][statusIndex(c->status[run].code)].push_back(c);
                    placed = true;
                }
            if (!placed) // not ranked yet: the first run it has no result for
                groups.unfinished[final && c->finished(1) ? 1 : 0].push_back(c);
        }
        for (int run = 0; run < runs; ++run)
            for (int s = 0; s < 3; ++s) {
                const auto& list = groups.byStatus[run][s];
                if (list.empty())
                    continue;
                DocumentSection section;
                section.title =
                    runPrefix(final, run) + statusCaption(QString::fromLatin1(kCodes[s]));
                for (const Competitor* c : list)
                    section.rows.push_back(rowOf(c, {}, {}, c->status[run], run + 1));
                part.sections.push_back(section);
            }
        for (int run = 0; run < runs; ++run) {
            const auto& list = groups.unfinished[run];
            if (list.empty())
                continue;
            DocumentSection section;
            section.title = runPrefix(final, run) + QStringLiteral("記録なし");
            for (const Competitor* c : list)
                section.rows.push_back(rowOf(c, {}, {}, {}, 0));
            part.sections.push_back(section);
        }

        part.sections.push_back({QStringLiteral("集計"),
                                 {},
                                 countLines(members, runs, final ? int(ranked.size()) : -1)});
        if (score)
            part.sections.push_back(
                {QStringLiteral("ペナルティ"), {}, penaltyLines(members, *rule, *score)});
        part.sections.push_back({QStringLiteral("記号"), {}, legendLines(final)});
        if (final) {
            part.sections.push_back({QStringLiteral("計時"), {}, timingLines(race, members)});
            part.sections.push_back({QStringLiteral("署名"), {}, signatureLines(race)});
        }
        doc.classes.push_back(part);
    }
}

} // namespace pistel
