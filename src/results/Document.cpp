// What each start and result list holds, in which order and in which sections.
#include "Document.h"

#include "Ranking.h"

#include <QSet>
#include <algorithm>

namespace pistel {

namespace {

QString marked(const QString& time, bool manual) {
    if (time.isEmpty())
        return {};
    return shortTime(time) + (manual ? QString(kManualMark) : QString());
}

QString mark(bool manual, const QString& time) {
    return manual && !time.isEmpty() ? QStringLiteral("*") : QString();
}

// Who did not finish a run (and why), by section; each competitor once, at the first run
// with a status.
struct Groups {
    std::vector<const Competitor*> byStatus[2][3]; // run, DNS/DNF/DSQ
    std::vector<const Competitor*> unfinished[2];  // no result and no status yet
};

int statusIndex(const QString& code) {
    return code == u"DNS" ? 0 : code == u"DNF" ? 1 : 2;
}

const char* const kCodes[] = {"DNS", "DNF", "DSQ"};

// Which run a section of the official results is about.
QString runPrefix(bool official, int run) {
    if (!official)
        return {};
    return run == 0 ? QStringLiteral("１本目 ") : QStringLiteral("２本目 ");
}

} // namespace

std::optional<DocumentKind> documentKindNamed(const QString& name) {
    if (name == u"startlist1")
        return DocumentKind::StartList1;
    if (name == u"startlist2")
        return DocumentKind::StartList2;
    if (name == u"results1")
        return DocumentKind::Results1;
    if (name == u"results")
        return DocumentKind::Results;
    return std::nullopt;
}

QString documentTitle(DocumentKind kind) {
    switch (kind) {
    case DocumentKind::StartList1:
        return QStringLiteral("スタートリスト　１本目");
    case DocumentKind::StartList2:
        return QStringLiteral("スタートリスト　２本目");
    case DocumentKind::Results1:
        return QStringLiteral("１本目　成績");
    case DocumentKind::Results:
        return QStringLiteral("公式成績");
    }
    return {};
}

Document buildDocument(const Race& race, DocumentKind kind, std::optional<int> cls) {
    Document doc;
    doc.kind = kind;
    doc.title = documentTitle(kind);
    doc.info = race.info;
    const bool startList = kind == DocumentKind::StartList1 || kind == DocumentKind::StartList2;
    const bool official = kind == DocumentKind::Results;
    // Widths add up to the 180 mm between the margins of an A4 page.
    if (startList) {
        doc.columns = {{QStringLiteral("順"), 14, true},
                       {QStringLiteral("ビブ"), 16, true},
                       {QStringLiteral("氏名"), 56},
                       {QStringLiteral("所属"), 66}};
        doc.csvHeader = {"class", "class_name", "order", "bib", "name", "team"};
        if (kind == DocumentKind::StartList2) {
            doc.columns.push_back({QStringLiteral("１本目"), 28, true});
            doc.csvHeader << "run1"
                          << "run1_manual";
        } else {
            doc.columns[3].width += 28;
        }
    } else if (!official) {
        doc.columns = {{QStringLiteral("順位"), 14, true},   {QStringLiteral("ビブ"), 14, true},
                       {QStringLiteral("氏名"), 40},         {QStringLiteral("所属"), 42},
                       {QStringLiteral("１本目"), 22, true}, {QStringLiteral("差"), 18, true},
                       {QStringLiteral("備考"), 30}};
        doc.csvHeader = {"class",      "class_name", "rank",        "bib",  "name",
                         "team",       "run1",       "run1_manual", "diff", "status",
                         "status_run", "gate",       "reason"};
    } else {
        doc.columns = {{QStringLiteral("順位"), 12, true},   {QStringLiteral("ビブ"), 12, true},
                       {QStringLiteral("氏名"), 32},         {QStringLiteral("所属"), 34},
                       {QStringLiteral("１本目"), 19, true}, {QStringLiteral("２本目"), 19, true},
                       {QStringLiteral("合計"), 20, true},   {QStringLiteral("差"), 16, true},
                       {QStringLiteral("備考"), 16}};
        doc.csvHeader = {"class", "class_name",   "rank",        "bib",    "name",
                         "team",  "run1",         "run1_manual", "run2",   "run2_manual",
                         "total", "total_manual", "diff",        "status", "status_run",
                         "gate",  "reason"};
    }

    std::vector<int> classes = race.classes();
    if (cls)
        classes = {*cls};
    for (int k : classes) {
        ClassDocument part;
        part.class1 = k;
        part.className = race.className(k);
        const QString classCells[] = {QString::number(k), part.className};
        std::vector<const Competitor*> members = classMembers(race, k);

        if (startList) {
            const bool second = kind == DocumentKind::StartList2;
            if (second)
                std::erase_if(members, [](const Competitor* c) { return !c->startsRun2(); });
            std::sort(members.begin(), members.end(), [second](auto* a, auto* b) {
                const int x = second ? a->st2 : a->st1, y = second ? b->st2 : b->st1;
                return x != y ? x < y : a->zek < b->zek;
            });
            DocumentSection main;
            for (const Competitor* c : members) {
                const QString order = QString::number(second ? c->st2 : c->st1);
                DocumentRow row{{order, c->zek, c->name, c->team},
                                {classCells[0], classCells[1], order, c->zek, c->name, c->team}};
                if (second) {
                    row.cells << marked(c->runTime[0], c->manualRun(1));
                    row.csv << c->runTime[0] << mark(c->manualRun(1), c->runTime[0]);
                }
                main.rows.push_back(row);
            }
            part.sections.push_back(main);
            doc.classes.push_back(part);
            continue;
        }

        // Ranked rows.
        const std::vector<RankedRow> ranked = official ? rankFinal(members) : rankRun1(members);
        DocumentSection main;
        QSet<const Competitor*> listed;
        auto rowOf = [&](const Competitor* c, const QString& rank, const QString& behind,
                         const RunStatus& status, int statusRun) {
            DocumentRow row;
            row.cells = {rank, c->zek, c->name, c->team, marked(c->runTime[0], c->manualRun(1))};
            row.csv = {
                classCells[0], classCells[1], rank,          c->zek,
                c->name,       c->team,       c->runTime[0], mark(c->manualRun(1), c->runTime[0])};
            if (official) {
                row.cells << marked(c->runTime[1], c->manualRun(2))
                          << (rank.isEmpty() ? QString() : marked(c->total, c->manualTotal()));
                row.csv << c->runTime[1] << mark(c->manualRun(2), c->runTime[1])
                        << (rank.isEmpty() ? QString() : c->total)
                        << (rank.isEmpty() ? QString() : mark(c->manualTotal(), c->total));
            }
            QString remark;
            if (status.isSet())
                remark = (status.gate.isEmpty() ? QString() : "旗門 " + status.gate + " ") +
                         status.reason;
            row.cells << behind << remark.trimmed();
            row.csv << behind << status.code
                    << (status.isSet() ? QString::number(statusRun) : QString()) << status.gate
                    << status.reason;
            return row;
        };
        for (const RankedRow& r : ranked) {
            main.rows.push_back(
                rowOf(r.competitor, QString::number(r.rank), behindText(r.behind), {}, 0));
            listed.insert(r.competitor);
        }
        part.sections.push_back(main);

        // Everyone else, by run and status.
        Groups groups;
        const int runs = official ? 2 : 1;
        for (const Competitor* c : members) {
            if (listed.contains(c))
                continue;
            bool placed = false;
            for (int run = 0; run < runs && !placed; ++run)
                if (c->status[run].isSet()) {
                    groups.byStatus[run][statusIndex(c->status[run].code)].push_back(c);
                    placed = true;
                }
            if (placed)
                continue;
            // Not ranked yet: the first run it has no result for.
            groups.unfinished[official && c->finished(1) ? 1 : 0].push_back(c);
        }
        for (int run = 0; run < runs; ++run) {
            const QString prefix = runPrefix(official, run);
            for (int s = 0; s < 3; ++s) {
                const auto& list = groups.byStatus[run][s];
                if (list.empty())
                    continue;
                DocumentSection section;
                section.title = prefix + statusCaption(QString::fromLatin1(kCodes[s]));
                for (const Competitor* c : list)
                    section.rows.push_back(rowOf(c, {}, {}, c->status[run], run + 1));
                part.sections.push_back(section);
            }
        }
        for (int run = 0; run < runs; ++run) {
            const auto& list = groups.unfinished[run];
            if (list.empty())
                continue;
            DocumentSection section;
            section.title = runPrefix(official, run) + QStringLiteral("記録なし");
            for (const Competitor* c : list)
                section.rows.push_back(rowOf(c, {}, {}, {}, 0));
            part.sections.push_back(section);
        }
        doc.classes.push_back(part);
    }
    return doc;
}

} // namespace pistel
