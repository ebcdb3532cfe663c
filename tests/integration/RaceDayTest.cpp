// A whole race day with nothing but this program: the office creates the competition, imports
// the club's Shift-JIS entry file (demo/entries.csv: 3 classes, 120 competitors), draws the
// run-1 start order seeded by points with bibs per class, the station times run 1 through a
// pseudo-terminal, the office makes the run-2 order (30 reversed) and the station times run 2.
// No row of the competition is written by the test itself: it only sends timer lines and
// reads what the program wrote.
#include "Pty.h"
#include "office/OfficeProgram.h"
#include "results/Publication.h"
#include "results/Race.h"
#include "station/TimingStation.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"
#include "support/WaitFor.h"
#include "web/LiveRaceState.h"

#include <QTime>
#include <algorithm>
#include <map>

namespace pistel::test {
namespace {

constexpr char kCode[] = "D27";

// "HH:MM:SS.hh" of `hundredths`, as the result table keeps run times and totals.
QString runTimeText(int hundredths) {
    return QTime(0, 0).addMSecs(hundredths * 10).toString("HH:mm:ss.zzz").left(11);
}

class RaceDayTest : public DbTest {
protected:
    int office(const QStringList& args) {
        const int status = runOffice(QStringList{args}, output);
        EXPECT_EQ(status, 0) << args.join(' ').toStdString() << "\n" << output.toStdString();
        return status;
    }
    // Bibs of class `cls` in the order of `column` (st1, st2), with `what` beside each.
    QStringList ordered(int cls, const QString& column, const QString& what = "r.zek") {
        return rows(QString("select %1 from result r left join entry_detail d on d.tcode = "
                            "r.tcode and d.zek = r.zek where r.tcode = '%2' and r.class1 = %3 "
                            "and r.%4 > 0 order by r.%4")
                        .arg(what, kCode)
                        .arg(cls)
                        .arg(column));
    }
    // A timer line: a start the capture gives to whoever is expected, a finish naming its bib.
    void send(const QString& bib, bool finish, QTime at) {
        const QString line = QString("%1 %2  %3 00")
                                 .arg(finish ? " " + bib : QString("?0000"), finish ? "C1" : "C0",
                                      at.toString("HH:mm:ss.zzz") + "0");
        ++sent;
        timer.send(line.toLatin1() + '\r');
        ASSERT_TRUE(waitFor([&] { return pulseCount() == sent; }, 5000)) << line.toStdString();
    }
    int pulseCount() { return scalar("select count(*) from pulsedata").toInt(); }

    // Times one run: each competitor of `order` starts a minute after the one before and
    // finishes `times[bib]` hundredths later.
    void race(const QStringList& order, const std::map<QString, int>& times, QTime& clock) {
        for (const QString& bib : order) {
            send(bib, false, clock);
            send(bib, true, clock.addMSecs(times.at(bib) * 10));
            clock = clock.addSecs(60);
        }
    }

    QString output;
    Pty timer;
    ScriptedDialog dialog;
    TimingStation station{app, dm, dialog, nullptr,
                          [this](int n) { return n == 9 ? timer.path() : QString(); }};
    int sent = 0;
};

// Run times given by start position p (0 based) among n starters: every rank once (p × 7 mod n
// is a permutation when n and 7 share no factor), ranks 10 and 11 tied (inside the reversed
// group) and 30 and 31 tied (on the last reversed place).
int run1Time(int p, int n) {
    int rank = p * 7 % n + 1;
    if (rank == 11 || rank == 31)
        --rank;
    return 4500 + rank * 37; // 45.37 s for the fastest
}
int run2Time(int p, int n) {
    return 4700 + (p * 11 % n + 1) * 29;
}

TEST_F(RaceDayTest, FromTheEntryFileToTheFinalResults) {
    // The office: competition, classes (the highest number starts first), the entry file.
    office({"create", "--code", kCode, "--title", "第5回 白馬村民スキー大会", "--discipline", "GS",
            "--runs", "2", "--date", "2027-01-17", "--venue", "白馬村"});
    const std::pair<int, const char*> classes[] = {
        {3, "男子一般"}, {2, "女子一般"}, {1, "ジュニア"}};
    for (const auto& [number, name] : classes)
        office({"class", "--number", QString::number(number), "--name", name});
    ASSERT_EQ(office({"import", "--code", kCode, "--file", PISTEL_DEMO_ENTRIES}), 0);
    EXPECT_TRUE(output.startsWith("encoding: CP932, entries: 120, problems: 0"))
        << output.toStdString();
    EXPECT_TRUE(output.contains("added 120, updated 0, unchanged 0")) << output.toStdString();
    // Again: nothing changes.
    ASSERT_EQ(office({"import", "--code", kCode, "--file", PISTEL_DEMO_ENTRIES}), 0);
    EXPECT_TRUE(output.contains("added 0, updated 0, unchanged 120")) << output.toStdString();

    // The seeded draw, bibs from 1 for the first class and continuing after it.
    for (const auto& [cls, name] : classes) {
        SCOPED_TRACE(name);
        const QStringList points = rows(QString("select coalesce(d.points,'') from result r join "
                                                "entry_detail d on d.zek = r.zek and d.tcode = "
                                                "r.tcode where r.class1 = %1")
                                            .arg(cls));
        office({"draw", "--code", kCode, "--class", QString::number(cls), "--method", "seeded",
                "--seed", "20270117", "--first-bib", cls == 3 ? "1" : "next"});
        // Worked out from the file's points (lower is better): each class has 35 with points,
        // two of them tied on the 15th best, so 16 are seeded and drawn for places 1 to 16;
        // the other 19 follow by points; the 5 without points are drawn for the last places.
        std::vector<double> sorted;
        for (const QString& p : points)
            if (!p.isEmpty())
                sorted.push_back(p.toDouble());
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted.size(), 35u);
        ASSERT_EQ(sorted[14], sorted[15]);
        const QStringList drawn = ordered(cls, "st1", "coalesce(d.points,'')");
        ASSERT_EQ(drawn.size(), 40);
        std::vector<double> seeded, rest;
        for (int i = 0; i < 16; ++i)
            seeded.push_back(drawn[i].toDouble());
        std::sort(seeded.begin(), seeded.end());
        EXPECT_EQ(seeded, std::vector<double>(sorted.begin(), sorted.begin() + 16));
        for (int i = 16; i < 35; ++i)
            rest.push_back(drawn[i].toDouble());
        EXPECT_EQ(rest, std::vector<double>(sorted.begin() + 16, sorted.end()));
        for (int i = 35; i < 40; ++i)
            EXPECT_EQ(drawn[i], "");
        // Bibs in start order: 1–40, 41–80, 81–120.
        const int first = 1 + (3 - cls) * 40;
        const QStringList bibs = ordered(cls, "st1");
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(bibs[i].toInt(), first + i);
    }

    // Run 1 through the station. The women's fifth starter does not start (the start
    // referee's report, set before her turn); the station gives each start to whoever is
    // expected, classes one after the other.
    app.competitionCode = kCode;
    app.timerPortNo = 9;
    station.ports.openDelayMs = 0;
    station.start();
    ASSERT_TRUE(station.CommX1.isOpen());
    station.selectRun(1);
    // The workstation's ranking view and documents read a name only Windows' Shift-JIS holds
    // as the club typed it.
    {
        Race race;
        ASSERT_TRUE(readRace(dm.Db1, kCode, race));
        EXPECT_TRUE(
            std::any_of(race.competitors.begin(), race.competitors.end(),
                        [](const pistel::Competitor& c) { return c.name == "髙橋　健太"; }));
    }
    ASSERT_TRUE(station.control.statusControl.setStatus("0045", 1, {"DNS", {}, {}}));
    std::map<QString, int> times1, times2;
    std::map<int, QStringList> run2Expected;
    QTime clock(10, 0);
    for (const auto& [cls, name] : classes) {
        QStringList order = ordered(cls, "st1");
        order.removeAll("0045");
        for (int p = 0; p < order.size(); ++p)
            times1[order[p]] = run1Time(p, int(order.size()));
        race(order, times1, clock);
        // The run-2 order by the rule, worked out from the times sent: rank r is one more
        // than those strictly faster; ranks 1 to 30 (with ties on 30: 31 competitors) start in
        // reverse, ties inside lower bib first; then the rest by time, ties lower bib first.
        QStringList byTime = order;
        std::sort(byTime.begin(), byTime.end(), [&](const QString& a, const QString& b) {
            return std::pair(times1[a], a) < std::pair(times1[b], b);
        });
        QStringList reversed, after;
        for (const QString& bib : byTime) {
            const auto faster = std::count_if(byTime.begin(), byTime.end(), [&](const QString& o) {
                return times1[o] < times1[bib];
            });
            (faster + 1 <= 30 ? reversed : after) << bib;
        }
        EXPECT_EQ(reversed.size(), 31) << name;
        std::stable_sort(reversed.begin(), reversed.end(),
                         [&](const QString& a, const QString& b) { return times1[a] > times1[b]; });
        run2Expected[cls] = reversed + after;
    }
    for (const auto& [bib, hundredths] : times1)
        EXPECT_EQ(scalar(QString("select ttime from result where zek='%1'").arg(bib)),
                  runTimeText(hundredths))
            << bib.toStdString();
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned"), "0");

    // The run-2 start order from the office, as the rule says, and written as st2 1 to n.
    office({"run2", "--code", kCode, "--reverse", "30"});
    for (const auto& [cls, name] : classes) {
        EXPECT_EQ(ordered(cls, "st2"), run2Expected[cls]) << name;
        EXPECT_EQ(ordered(cls, "st2", "r.st2").last(), QString::number(run2Expected[cls].size()));
    }
    EXPECT_EQ(scalar("select st2 from result where zek='0045'"), "0");

    // Run 2: the station's start box stands on the office's first starter.
    station.selectRun(2);
    EXPECT_EQ(station.control.page2.startBox(), run2Expected[3].first());
    clock = QTime(13, 0);
    for (const auto& [cls, name] : classes) {
        const QStringList& order = run2Expected[cls];
        for (int p = 0; p < order.size(); ++p)
            times2[order[p]] = run2Time(p, int(order.size()));
        race(order, times2, clock);
    }
    // Every run time and total equals the timer's.
    for (const auto& [bib, hundredths] : times2) {
        SCOPED_TRACE(bib.toStdString());
        EXPECT_EQ(
            rows(QString("select ttime2,totaltime from result where zek='%1'").arg(bib)),
            QStringList{runTimeText(hundredths) + "|" + runTimeText(hundredths + times1[bib])});
    }
    EXPECT_EQ(pulseCount(), 4 * 119);
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned"), "0");
    station.stop();

    // The final results: the DNS in its section, the fastest total first.
    const QString csv = documentText(kCode, "results", "csv");
    EXPECT_TRUE(csv.contains(",0045,")) << csv.left(400).toStdString();
    const auto best = std::min_element(times2.begin(), times2.end(), [&](auto& a, auto& b) {
        return std::pair(a.second + times1[a.first], a.first) <
               std::pair(b.second + times1[b.first], b.first);
    });
    EXPECT_TRUE(csv.contains(",1," + best->first + ",")) << best->first.toStdString();

    // What the live page gets beside the results: each classified competitor's race points
    // and points with penalty (the winner of each class 0.00), official once published.
    QString live = pointsAndOfficialLines(dm.Db1, kCode, 2);
    EXPECT_EQ(live.count("points,"), 119);
    EXPECT_TRUE(live.contains("points," + best->first.mid(1) + ",0.00,")) << live.toStdString();
    EXPECT_FALSE(live.contains("official,"));
    publishResults(dm.Db1, kCode, PublishScope::Race);
    live = pointsAndOfficialLines(dm.Db1, kCode, 2);
    EXPECT_TRUE(live.contains("official," + QDate::currentDate().toString(Qt::ISODate)))
        << live.toStdString();
}

} // namespace
} // namespace pistel::test
