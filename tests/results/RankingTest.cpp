// Rankings with shared ranks, and what each document lists, on a class built in memory.
#include "results/Ranking.h"

#include "data/SjisText.h"
#include "results/CsvExport.h"
#include "results/Document.h"
#include "results/PhraseWrap.h"

#include <gtest/gtest.h>

namespace pistel::test {
namespace {

// One competitor of class 1: run times (empty: none) and statuses by run.
Competitor entrant(const QString& zek, int st1, int st2, const QString& t1, const QString& t2,
                   const QString& total, RunStatus s1 = {}, RunStatus s2 = {}) {
    Competitor c;
    c.zek = zek;
    c.name = "選手" + zek;
    c.team = "チーム";
    c.st1 = st1;
    c.st2 = st2;
    c.class1 = 1;
    c.runTime[0] = t1;
    c.runTime[1] = t2;
    c.total = total;
    c.start[0] = t1.isEmpty() && s1.code == "DNS" ? "" : "10:00:00.0000";
    c.start[1] = t2.isEmpty() && s2.code != "DNF" ? "" : "11:00:00.0000";
    c.state[0] = t1.isEmpty() ? (c.start[0].isEmpty() ? "N" : "S") : "F";
    c.state[1] = t2.isEmpty() ? (c.start[1].isEmpty() ? "N" : "S") : "F";
    c.status[0] = s1;
    c.status[1] = s2;
    return c;
}

Race tiedRace() {
    Race race;
    race.info = {"T1", "テスト大会", "白馬", "2026-12-20", "ＧＳ", "2"};
    race.classNames = {{1, "女子"}, {2, "男子"}};
    race.competitors = {
        entrant("0001", 1, 6, "00:01:00.00", "00:01:01.00", "00:02:01.00"),
        entrant("0002", 2, 5, "00:01:00.00", "00:01:00.50", "00:02:00.50"),
        entrant("0003", 3, 4, "00:00:59.50", "00:01:01.00", "00:02:00.50"),
        entrant("0004", 4, 3, "00:01:00.00", "", ""), // run 1 only
        entrant("0005", 5, 2, "00:01:01.00", "", "", {}, {"DNF", {}, {}}),
        entrant("0006", 6, 1, "00:00:58.00", "", "", {"DSQ", "12", "旗門不通過"}),
        entrant("0007", 7, 7, "", "", "", {"DNF", {}, {}}),
        entrant("0008", 8, 8, "", "", "", {"DNS", {}, {}}),
        entrant("0009", 9, 9, "00:01:02.00", "00:00:58.99", "00:02:00.99", {}, {"DSQ", "3", {}}),
    };
    race.competitors[1].manualFinish[1] = true; // 0002's run-2 finish was set by hand
    Competitor other = entrant("0010", 1, 1, "00:00:50.00", "00:00:50.00", "00:01:40.00");
    other.class1 = 2;
    race.competitors.push_back(other);
    Competitor excluded = entrant("0011", 10, 10, "00:00:40.00", "", "");
    excluded.dropm = "9";
    race.competitors.push_back(excluded);
    return race;
}

QStringList ranks(const std::vector<RankedRow>& rows) {
    QStringList out;
    for (const RankedRow& r : rows)
        out << QString("%1 %2 %3").arg(r.rank).arg(r.competitor->zek, behindText(r.behind));
    return out;
}

TEST(RankingTest, EqualTimesShareTheRankAndTheNextIsSkipped) {
    const Race race = tiedRace();
    const auto members = classMembers(race, 1);
    // 0006 (DSQ) and 0009's run-2 DSQ: the run-1 ranking keeps 0009, never 0006.
    EXPECT_EQ(ranks(rankRun1(members)),
              (QStringList{"1 0003 ", "2 0001 +0.50", "2 0002 +0.50", "2 0004 +0.50",
                           "5 0005 +1.50", "6 0009 +2.50"}));
    // Final: both runs, no status in either; equal stored totals share, by bib.
    EXPECT_EQ(ranks(rankFinal(members)), (QStringList{"1 0002 ", "1 0003 ", "3 0001 +0.50"}));
    EXPECT_EQ(behindText(6235), "+1:02.35");
    EXPECT_EQ(shortTime("00:01:05.12"), "1:05.12");
    EXPECT_EQ(shortTime("01:02:03.45"), "1:02:03.45");
    EXPECT_EQ(shortTime("00:00:09.10"), "9.10");
    EXPECT_EQ(hundredthsOf("00:01:05.1"), -1);
}

TEST(RankingTest, DocumentsListEveryoneOnceInTheirSection) {
    const Race race = tiedRace();
    auto titles = [](const Document& d) {
        QStringList out;
        for (const DocumentSection& s : d.classes.at(0).sections)
            out << s.heading();
        return out;
    };
    auto bibs = [](const DocumentSection& s) {
        QStringList out;
        for (const DocumentRow& r : s.rows)
            out << r.cells[1];
        return out;
    };

    const Document official = buildDocument(race, DocumentKind::Results, 1);
    ASSERT_EQ(official.classes.size(), 1u);
    EXPECT_EQ(official.classes[0].className, "女子");
    EXPECT_EQ(
        titles(official),
        (QStringList{"(3名)", "１本目 欠場/DNS (1名)", "１本目 途中棄権/DNF (1名)",
                     "１本目 失格/DSQ (1名)", "２本目 途中棄権/DNF (1名)", "２本目 失格/DSQ (1名)",
                     "２本目 記録なし (1名)", "集計", "ペナルティ", "記号", "計時", "署名"}));
    const auto& s = official.classes[0].sections;
    EXPECT_EQ(bibs(s[0]), (QStringList{"0002", "0003", "0001"}));
    // The run-2 time set by hand carries the mark, and so does the total built from it.
    // Each run's time with its rank in the run (0003 was faster in run 1, 0002 in run 2).
    EXPECT_EQ(s[0].rows[0].cells.mid(7, 6),
              (QStringList{"1:00.00", "2", "1:00.50*", "1", "2:00.50*", ""}));
    EXPECT_EQ(s[0].rows[2].cells[12], "+0.50");
    EXPECT_EQ(bibs(s[3]), QStringList{"0006"});
    EXPECT_EQ(s[3].rows[0].cells.last(), "旗門 12 旗門不通過");
    // A disqualification prints no time: it does not count (the CSV keeps it below).
    EXPECT_EQ(s[3].rows[0].cells.mid(7, 6), (QStringList{"", "", "", "", "", ""}));
    // The class's counts: 0008 DNS, 0005 DNF and 0006 DSQ in run 1; of the six who may start
    // run 2, five started (0009 has none yet), three finished without a status.
    EXPECT_EQ(
        official.classes[0].sections[7].lines,
        (QStringList{"１本目: 出走予定 9　　出走 8　　完走 6　　欠場 DNS 1　　途中棄権 DNF 1　　"
                     "失格 DSQ 1",
                     "２本目: 出走予定 6　　出走 5　　完走 3　　欠場 DNS 0　　途中棄権 DNF 1　　"
                     "失格 DSQ 1",
                     "順位のついた選手 3 名"}));
    EXPECT_EQ(bibs(s[6]), QStringList{"0004"});

    // Run-1 results: the run-1 ranking, then run 1's non-finishers only.
    const Document results1 = buildDocument(race, DocumentKind::Results1, 1);
    EXPECT_EQ(titles(results1), (QStringList{"(6名)", "欠場/DNS (1名)", "途中棄権/DNF (1名)",
                                             "失格/DSQ (1名)", "集計", "記号"}));

    // Run 2 starts those who finished run 1 without a status, in st2 order; never 0006.
    const Document start2 = buildDocument(race, DocumentKind::StartList2, 1);
    EXPECT_EQ(bibs(start2.classes[0].sections[0]),
              (QStringList{"0005", "0004", "0003", "0002", "0001", "0009"}));
    // A run-2 DNS reported before the start is not in the order; a run-2 DNF (0005) started.
    Race reported = race;
    reported.competitors[3].status[1] = {"DNS", {}, {}};
    EXPECT_EQ(bibs(buildDocument(reported, DocumentKind::StartList2, 1).classes[0].sections[0]),
              (QStringList{"0005", "0003", "0002", "0001", "0009"}));
    // All classes, highest first; the excluded competitor and the DNS (0008) nowhere, the
    // DNF and DSQ of run 1 (0006, 0007) listed: they started.
    const Document start1 = buildDocument(race, DocumentKind::StartList1);
    ASSERT_EQ(start1.classes.size(), 2u);
    EXPECT_EQ(start1.classes[0].class1, 2);
    EXPECT_EQ(bibs(start1.classes[1].sections[0]),
              (QStringList{"0001", "0002", "0003", "0004", "0005", "0006", "0007", "0009"}));

    // CSV: a header, every row, codes for statuses, the mark in its own column.
    const QByteArray csv = documentCsv(official);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 1 + 9);
    EXPECT_EQ(lines[0], "class,class_name,rank,bib,name,team,run1,run1_manual,run2,run2_manual,"
                        "total,total_manual,diff,status,status_run,gate,reason,run1_rank,"
                        "run2_rank,points,race_points,final_points");
    // GS (ＧＳ as stored), nobody with points: every entry counts with the maximum 220.00.
    // Classified: 0002 and 0003 2:00.50 (race points 0.00), 0001 2:01.00: 1010 × 50 / 12050 =
    // 4.1908…: 4.19. A: the three (220.00 each) and two missing: 1100.00; B: 1100.00;
    // C: 4.19 + 0 + 0 + 2 × 220.00 = 444.19. Penalty (1100 + 1100 − 444.19) ÷ 10 = 175.581:
    // 175.58, so the winner's final points are 0.00 + 175.58.
    EXPECT_EQ(lines[1], "1,女子,1,0002,選手0002,チーム,00:01:00.00,,00:01:00.50,*,00:02:00.50,*,"
                        ",,,,,2,1,,0.00,175.58");
    EXPECT_TRUE(lines.contains("1,女子,3,0001,選手0001,チーム,00:01:00.00,,00:01:01.00,,"
                               "00:02:01.00,,+0.50,,,,,2,2,,4.19,179.77"))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(
        lines.contains("1,女子,,0006,選手0006,チーム,00:00:58.00,,,,,,,DSQ,1,12,旗門不通過,,,,,"))
        << lines.join('\n').toStdString();
    EXPECT_EQ(fromSjis(documentCsv(official, CsvEncoding::ShiftJis)),
              QString::fromUtf8(csv.mid(3)));
}

// Remarks break between phrases: at blanks (Latin words keep theirs on one line), after a
// Japanese comma, before a bracket; only a phrase wider than the column is cut inside.
TEST(RankingTest, RemarksWrapBetweenPhrases) {
    const auto chars = [](const QString& s) { return static_cast<double>(s.size()); };
    EXPECT_EQ(wrapPhrases("旗門 12 旗門不通過、片スキー（右）", 8, chars),
              (QStringList{"旗門 12", "旗門不通過、", "片スキー（右）"}));
    EXPECT_EQ(wrapPhrases("missed gate 12", 11, chars), (QStringList{"missed gate", "12"}));
    EXPECT_EQ(wrapPhrases("スタート違反フライング 3", 4, chars),
              (QStringList{"スタート", "違反フラ", "イング", "3"}));
    EXPECT_EQ(wrapPhrases("旗門 12", 20, chars), QStringList{"旗門 12"});
    EXPECT_EQ(wrapPhrases("", 20, chars), QStringList{});
}

} // namespace
} // namespace pistel::test
