// The start orders written by the office are the ones the workstation races: the run-1 draw
// with its seed, st2 from 1 with the run-2 page's box on its first starter; neither rewritten
// once the run has started (run 2: unless the operator insists).
#include "OfficeProgram.h"
#include "capture/RunControl.h"
#include "support/DbTest.h"

namespace pistel::test {
namespace {

class StartOrderWriteTest : public DbTest {
protected:
    int office(const QStringList& args, QString& output) {
        return runOffice(QStringList{"run2", "--code", "R2"} << args, output);
    }
    // Any command on competition R2.
    static int onR2(const QStringList& args, QString& output) {
        return runOffice(QStringList{args} << "--code"
                                           << "R2",
                         output);
    }
};

TEST_F(StartOrderWriteTest, TheWorkstationRacesTheOrderTheOfficeWrote) {
    addCompetition("R2");
    // Class 1: run-1 times 0001 62.00, 0002 60.00, 0003 61.00, 0004 DNS (a status); the
    // prepared st2 numbers are stale (7, 8, 9, 10).
    addCompetitors("R2",
                   {{"0001", 1, 7, 1}, {"0002", 2, 8, 1}, {"0003", 3, 9, 1}, {"0004", 4, 10, 1}});
    exec("update result set FL='F', ttime='00:01:02.00' where zek='0001'");
    exec("update result set FL='F', ttime='00:01:00.00' where zek='0002'");
    exec("update result set FL='F', ttime='00:01:01.00' where zek='0003'");
    exec("insert into run_status (tcode,zek,run,code) values ('R2','0004',1,'DNS')");
    QString output;
    // The first two reversed: 0003 (61.00), 0002 (60.00); then 0001 (62.00).
    ASSERT_EQ(office({"--class", "1", "--reverse", "2"}, output), 0) << output.toStdString();
    EXPECT_EQ(output, "st2,bib\n1,0003\n2,0002\n3,0001\n");
    EXPECT_EQ(rows("select zek,st2 from result where tcode='R2' order by zek"),
              (QStringList{"0001|3", "0002|2", "0003|1", "0004|0"}));
    app.competitionCode = "R2";
    RunControl control(app, dm);
    control.selection.selectRun2();
    EXPECT_EQ(control.page2.startBox(), "0003");

    // Once run 2 has a time in the class the order stays, unless forced.
    exec("update result set sttime2='13:00:00.0000', FL2='S' where zek='0003'");
    EXPECT_EQ(office({"--class", "1", "--reverse", "0"}, output), 1);
    EXPECT_TRUE(output.contains("0003")) << output.toStdString();
    EXPECT_EQ(scalar("select st2 from result where tcode='R2' and zek='0002'"), "2");
    ASSERT_EQ(office({"--class", "1", "--reverse", "0", "--force"}, output), 0);
    EXPECT_EQ(output, "st2,bib\n1,0002\n2,0003\n3,0001\n");
}

// A draw is written as st1 1 to n with its seed kept, can be repeated from that seed, and is
// refused once run 1 has a time in the class.
TEST_F(StartOrderWriteTest, TheDrawIsKeptWithItsSeedAndStopsAtTheFirstTime) {
    addCompetition("R2");
    addCompetitors("R2", {{"0001", 1, 0, 1},
                          {"0002", 2, 0, 1},
                          {"0003", 3, 0, 1},
                          {"0004", 4, 0, 1},
                          {"0005", 5, 0, 1}});
    auto draw = [](const QStringList& args, QString& output) {
        return runOffice(QStringList{"draw", "--code", "R2", "--class", "1"} << args, output);
    };
    QString first, again;
    ASSERT_EQ(draw({"--method", "random"}, first), 0) << first.toStdString();
    const QString seed = first.section('\n', 0, 0).section(',', 1);
    EXPECT_EQ(scalar("select seed from start_draw where tcode='R2' order by id desc limit 1"),
              seed);
    const QStringList order = rows("select zek from result where tcode='R2' order by st1");
    ASSERT_EQ(draw({"--method", "random", "--seed", seed}, again), 0);
    EXPECT_EQ(again, first); // the same seed, the same draw
    EXPECT_EQ(rows("select zek from result where tcode='R2' order by st1"), order);
    EXPECT_EQ(rows("select st1 from result where tcode='R2' order by st1"),
              (QStringList{"1", "2", "3", "4", "5"}));
    // The start list states the draw, so anyone can repeat it.
    EXPECT_TRUE(documentText("R2", "startlist1", "pdf").contains("抽選（シード値 " + seed + "）"));

    exec("update result set sttime='10:00:00.0000' where tcode='R2' and zek='" + order[0] + "'");
    EXPECT_EQ(draw({"--method", "given"}, again), 1);
    EXPECT_TRUE(again.contains(order[0])) << again.toStdString();
    EXPECT_EQ(rows("select zek from result where tcode='R2' order by st1"), order);
}

// A withdrawn competitor is left out of the start order, the capture's boxes and the draw, and
// comes back when reinstated; one who has a time is never withdrawn (a status says it).
TEST_F(StartOrderWriteTest, WithdrawnAndReinstated) {
    addCompetition("R2");
    addCompetitors("R2", {{"0001", 1, 0, 1}, {"0002", 2, 0, 1}, {"0003", 3, 0, 1}});
    QString out;
    ASSERT_EQ(onR2({"withdraw", "--bib", "1"}, out), 0) << out.toStdString();
    app.competitionCode = "R2";
    RunControl control(app, dm);
    control.selection.selectRun1();
    EXPECT_EQ(control.page1.startBox(), "0002");
    ASSERT_EQ(onR2({"draw", "--class", "1", "--method", "given"}, out), 0);
    EXPECT_TRUE(out.endsWith("st1,bib\n1,0002\n2,0003\n")) << out.toStdString();
    ASSERT_EQ(onR2({"withdraw", "--bib", "1", "--undo"}, out), 0);
    control.selection.selectRun1();
    EXPECT_EQ(control.page1.startList.recordCount(), 3);

    exec("update result set sttime='10:00:00.0000' where tcode='R2' and zek='0003'");
    EXPECT_EQ(onR2({"withdraw", "--bib", "3"}, out), 1);
    EXPECT_EQ(scalar("select dropm from result where tcode='R2' and zek='0003'"), "");
}

// Bibs given from a first number in start order (per class, or continuing after the other
// classes) carry the competitor's details with them; a number another class holds is refused.
// The run-2 rule set for the competition and for one class is kept and used when none is given.
TEST_F(StartOrderWriteTest, BibsFromAFirstNumberAndRun2RulesKept) {
    addCompetition("R2");
    addCompetitors("R2", {{"0001", 1, 0, 2},
                          {"0002", 2, 0, 2},
                          {"0003", 3, 0, 2},
                          {"0004", 1, 0, 1},
                          {"0005", 2, 0, 1}});
    exec("insert into entry_detail (tcode,zek,licence) values ('R2','0001','L1')");
    const auto bibs = [&] { return rows("select zek,class1,st1 from result order by zek"); };
    QString out;
    ASSERT_EQ(onR2({"draw", "--class", "2", "--method", "given", "--first-bib", "101"}, out), 0)
        << out.toStdString();
    EXPECT_TRUE(out.endsWith("st1,bib,was\n1,0101,0001\n2,0102,0002\n3,0103,0003\n"))
        << out.toStdString();
    // Class 1 continues after class 2's highest bib.
    ASSERT_EQ(onR2({"draw", "--class", "1", "--method", "given", "--first-bib", "next"}, out), 0);
    EXPECT_EQ(bibs(), (QStringList{"0101|2|1", "0102|2|2", "0103|2|3", "0104|1|1", "0105|1|2"}));
    EXPECT_EQ(scalar("select zek from entry_detail where licence='L1'"), "0101");
    // 0104 is class 1's: nothing changes.
    EXPECT_EQ(onR2({"draw", "--class", "2", "--method", "given", "--first-bib", "102"}, out), 1);
    EXPECT_TRUE(out.contains("ビブ 104")) << out.toStdString();
    EXPECT_EQ(bibs().first(), "0101|2|1");
    // One down: each number passes to the competitor before it within the class.
    ASSERT_EQ(onR2({"draw", "--class", "2", "--method", "given", "--first-bib", "100"}, out), 0);
    EXPECT_EQ(bibs(), (QStringList{"0100|2|1", "0101|2|2", "0102|2|3", "0104|1|1", "0105|1|2"}));
    EXPECT_EQ(scalar("select zek from entry_detail where licence='L1'"), "0100");
    EXPECT_EQ(scalar("select count(*) from change_history where source='office' and what like "
                     "'1本目スタート順%'"),
              "3");

    // Run 1: class 2 0100 62.00, 0101 60.00, 0102 61.00; class 1 0104 50.00, 0105 49.00.
    for (const auto& [bib, time] : {std::pair{"0100", "00:01:02.00"},
                                    {"0101", "00:01:00.00"},
                                    {"0102", "00:01:01.00"},
                                    {"0104", "00:00:50.00"},
                                    {"0105", "00:00:49.00"}})
        exec(QString("update result set FL='F', ttime='%1' where zek='%2'").arg(time, bib));
    // The competition reverses 2, class 1 none (rank order): kept as the rules.
    ASSERT_EQ(onR2({"run2", "--reverse", "2"}, out), 0) << out.toStdString();
    ASSERT_EQ(onR2({"run2", "--class", "1", "--reverse", "0"}, out), 0);
    exec("update result set st2 = 0");
    // Without --reverse each class's kept rule: class 2 0102 (61.00), 0101 (60.00) reversed,
    // then 0100; class 1 by rank 0105, 0104. A dry run writes nothing.
    ASSERT_EQ(onR2({"run2", "--dry-run"}, out), 0);
    EXPECT_EQ(out, "class,2,reversed,2\nwould write\nst2,bib\n1,0102\n2,0101\n3,0100\n"
                   "class,1,reversed,0\nwould write\nst2,bib\n1,0105\n2,0104\n");
    EXPECT_EQ(scalar("select sum(st2) from result"), "0");
}

} // namespace
} // namespace pistel::test
