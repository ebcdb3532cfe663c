// The timer's own corrections: lines it takes back ("c", "d"), times entered at the device
// ("i"), lines it cleared ("C"), and timers of other resolutions.
#include "CaptureFixture.h"
#include "CorrectedRaceData.h"
#include "capture/Replay.h"

using namespace pistel;
using pistel::test::CaptureFixture;

class DeviceCorrectionsTest : public CaptureFixture {
protected:
    // One class of competitors, start orders 1, 2, 3, ... in the order given.
    void addClass(const QStringList& zeks, int cls = 1) {
        QList<test::Competitor> field;
        for (int i = 0; i < zeks.size(); ++i)
            field.append({zeks[i], i + 1, i + 1, cls});
        addCompetitors("C1", field);
    }
    QString results(const QString& zek, int run) {
        const QString n = run == 1 ? "" : "2";
        return rows(QStringLiteral("select sttime%1,altime%1,ttime%1,TH%1,TM%1,TS%1,TMS%1,FL%1,"
                                   "totaltime from result where tcode='C1' and zek='%2'")
                        .arg(n, zek))
            .value(0);
    }
};

TEST_F(DeviceCorrectionsTest, RestartAfterAFalseStartGetsTheTimersRunTime) {
    addClass({"0130", "0131", "0132"});
    control.selection.selectRun1();
    line(start(" 0130", "12:30:10.0000"));
    line(start(" 0131", "12:31:16.7488"));
    ASSERT_EQ(control.page1.startBox(), "0132");
    line(start("c0131", "12:31:16.7488"));
    EXPECT_EQ(f("0131", "sttime"), "");
    EXPECT_EQ(f("0131", "FL"), "N");
    EXPECT_EQ(control.page1.startBox(), "0131"); // the restart goes to 0131
    EXPECT_EQ(dm.Qdpst.fieldByName(u"zek").asString(), "0131");
    EXPECT_EQ(f("0130", "sttime"), "12:30:10.0000"); // the other start stays
    line(start("?0000", "12:31:49.1918"));
    EXPECT_EQ(f("0131", "sttime"), "12:31:49.1918");
    EXPECT_EQ(control.page1.startBox(), "0132");
    line(finish(" 0131", "12:32:47.4818"));
    EXPECT_EQ(f("0131", "ttime"), "00:00:58.29");
    EXPECT_EQ(pulseCount(), 5); // every line logged, the taken-back one too
}

TEST_F(DeviceCorrectionsTest, CancelledFinishThenAnEditedFinish) {
    addClass({"0042", "0043", "0044"});
    control.selection.selectRun1();
    line(start(" 0043", "11:00:54.2500"));
    line(start(" 0044", "11:01:20.0000"));
    line(finish(" 0043", "11:02:00.3564"));
    ASSERT_EQ(f("0043", "ttime"), "00:01:06.10");
    ASSERT_EQ(control.page1.finishBox(), "0044");
    line(finish("c0043", "11:02:00.3564"));
    // No stale result stays: state back to started, run time and parts gone.
    EXPECT_EQ(results("0043", 1), "11:00:54.2500|||||||S|");
    EXPECT_EQ(control.page1.finishBox(), "0043");
    EXPECT_EQ(dm.QresultBib.recordCount(), 0);
    line("c0043 RT  00:01:06.10"); // a run time taken back changes nothing
    EXPECT_EQ(results("0043", 1), "11:00:54.2500|||||||S|");
    line(finish("i0043", "11:01:49.1146"));
    EXPECT_EQ(results("0043", 1),
              "11:00:54.2500|11:01:49.1146|00:00:54.86|00|00|54|86|F|00:00:54.86");
    EXPECT_EQ(control.page1.finishBox(), "0044"); // it stood on 0043: it advances
    line("i0043 RT  00:00:54.86");
    EXPECT_EQ(pulseCount(), 5); // RT lines are never logged
}

TEST_F(DeviceCorrectionsTest, TimesEnteredAfterwardsGoToTheirBibAndTheBoxesStay) {
    addClass({"0095", "0096", "0102", "0103"});
    control.selection.selectRun1();
    line(start(" 0095", "12:15:40.0000"));
    ASSERT_EQ(control.page1.startBox(), "0096");
    control.selection.moveBoxToNext(
        control.page1,
        RunSelection::BoxKind::Start); // 0096's start impulse was missed: the operator moves on
    ASSERT_EQ(control.page1.startBox(), "0102");
    ASSERT_EQ(control.page1.finishBox(), "0095");
    line(start("i0096", "12:16:38.5795"));
    EXPECT_EQ(f("0096", "sttime"), "12:16:38.5795");
    EXPECT_EQ(f("0096", "FL"), "S");
    EXPECT_EQ(control.page1.startBox(), "0102");
    EXPECT_EQ(dm.Qdpst.fieldByName(u"zek").asString(), "0102");
    line(finish("i0096", "12:17:36.8095"));
    EXPECT_EQ(f("0096", "ttime"), "00:00:58.23");
    EXPECT_EQ(f("0096", "FL"), "F");
    EXPECT_EQ(control.page1.finishBox(), "0095");
    // The boxes' competitors get their own times.
    line(start("?0000", "12:17:00.0000"));
    line(finish("?0000", "12:17:05.5000"));
    line(finish(" 0102", "12:18:00.9600"));
    EXPECT_EQ(f("0102", "ttime"), "00:01:00.96");
    EXPECT_EQ(f("0095", "ttime"), "00:01:25.50");
    // An entered time never overwrites one already set, and a bib outside the competition
    // gets nothing; both are only logged.
    line(start("i0096", "12:20:00.0000"));
    line(start("i0777", "12:20:01.0000"));
    EXPECT_EQ(f("0096", "sttime"), "12:16:38.5795");
    EXPECT_EQ(control.page1.startBox(), "0103");
    EXPECT_EQ(pulseCount(), 8);
    // In manual mode the operator assigns entered times too.
    control.page1.setStartMode(RunPage::Manual);
    line(start("i0103", "12:21:00.0000"));
    EXPECT_EQ(f("0103", "sttime"), "");
    expectOtherUntouched();
}

TEST_F(DeviceCorrectionsTest, TestStartTakenBackBeforeTheRace) {
    addClass({"0079", "0080", "0081"});
    control.selection.selectRun1();
    line(" 0080 C0M 11:34:22.7700 00");
    ASSERT_EQ(f("0080", "sttime"), "11:34:22.7700");
    line("c0080 C0M 11:34:22.7700 00");
    EXPECT_EQ(f("0080", "sttime"), "");
    EXPECT_EQ(f("0080", "FL"), "N");
    EXPECT_EQ(control.page1.startBox(), "0080");
    // Cleared at the device: logged only; the time stays where it was assigned.
    line(start(" 0079", "12:00:00.0000"));
    line(start("C0079", "12:00:00.0000"));
    EXPECT_EQ(f("0079", "sttime"), "12:00:00.0000");
    EXPECT_EQ(pulseCount(), 4);
}

TEST_F(DeviceCorrectionsTest, TakeBackFindsTheTimeAndPrefersTheLinesBib) {
    addClass({"0001", "0002", "0003"});
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='C1' and zek in "
         "('0001','0002')");
    control.selection.selectRun1();
    const QString startBox = control.page1.startBox();
    const QString finishBox = control.page1.finishBox();
    // Nothing holds that time: only logged, the boxes stay.
    line(start("c0002", "10:00:00.0001"));
    EXPECT_EQ(control.page1.startBox(), startBox);
    EXPECT_EQ(control.page1.finishBox(), finishBox);
    line(start("d0002", "10:00:00.0000"));
    EXPECT_EQ(f("0002", "sttime"), "");
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.0000");
    EXPECT_EQ(control.page1.startBox(), "0002");
    EXPECT_EQ(control.page1.finishBox(), finishBox);
    // Another channel's time of day is not touched.
    exec("update result set altime='10:00:30.0000' where tcode='C1' and zek='0001'");
    line(start("c0001", "10:00:30.0000"));
    EXPECT_EQ(f("0001", "altime"), "10:00:30.0000");
    EXPECT_EQ(pulseCount(), 3);
}

TEST_F(DeviceCorrectionsTest, Run2TakeBackLeavesTheRun1TimeAsTheTotal) {
    addClass({"0001", "0002"});
    exec("update result set sttime='10:00:00.0000', altime='10:01:00.0000', ttime='00:01:00.00',"
         " totaltime='00:01:00.00', FL='F' where tcode='C1'");
    control.selection.selectRun2();
    line(start(" 0001", "11:00:00.0000"));
    line(finish(" 0001", "11:01:02.3456"));
    ASSERT_EQ(f("0001", "totaltime"), "00:02:02.34");
    line(finish("c0001", "11:01:02.3456"));
    EXPECT_EQ(results("0001", 2), "11:00:00.0000|||||||S|00:01:00.00");
    EXPECT_EQ(f("0001", "ttime"), "00:01:00.00");
    EXPECT_EQ(control.page2.finishBox(), "0001");
    line(finish("i0001", "11:01:01.0000"));
    EXPECT_EQ(results("0001", 2),
              "11:00:00.0000|11:01:01.0000|00:01:01.00|00|01|01|00|F|00:02:01.00");
    // Run 2 is for run-1 finishers only, entered times included.
    exec("update result set FL='S' where tcode='C1' and zek='0002'");
    line(start("i0002", "11:02:00.0000"));
    EXPECT_EQ(f("0002", "sttime2"), "");
}

TEST_F(DeviceCorrectionsTest, ThousandthsTimerGetsRightRunTimes) {
    addClass({"0001", "0002"});
    control.selection.selectRun1();
    line(" 0001 C0  10:00:00.000  00");
    line(" 0002 C0  10:00:30.5000 00"); // another device on the start
    line(" 0001 C1  10:01:05.129  00");
    line(" 0002 C1  10:01:35.62   00");              // hundredths: 10:01:35.6200
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.0000"); // four fraction digits, whatever was sent
    EXPECT_EQ(f("0001", "ttime"), "00:01:05.12");
    EXPECT_EQ(f("0002", "ttime"), "00:01:05.12");
    // The device takes back a thousandths time by repeating it.
    line("c0001 C1  10:01:05.129  00");
    EXPECT_EQ(f("0001", "altime"), "");
}

// A whole race with the device's corrections, and test impulses before it in manual mode:
// every result equals the timer's own run time.
TEST_F(DeviceCorrectionsTest, WholeRaceEndsWithTheTimersRunTimes) {
    QList<test::Competitor> field;
    for (const auto& c : test::kCorrectedField)
        field.append({c.zek, c.st1, c.st2, c.class1});
    addCompetitors("C1", field);
    addCompetitors("OTHER", field);
    int checked = 0;
    auto feed = [&](const auto& lines, int run) {
        for (const char* l : lines) {
            SCOPED_TRACE(l);
            line(l);
            const TimerLine t = splitTimerLine(l);
            if (!t.endsDelivery() || t.takesBack())
                continue;
            const auto ours = durationHundredths(f(t.bib, run == 1 ? "ttime" : "ttime2"));
            EXPECT_EQ(ours, durationHundredths(t.dtime));
            ++checked;
        }
    };
    control.selection.selectRun1();
    control.page1.setStartMode(RunPage::Manual);
    control.page1.setFinishMode(RunPage::Manual);
    line(start("?0000", "09:50:00.0000"));
    line(finish("?0000", "09:50:02.5000"));
    EXPECT_EQ(scalar("select count(*) from result where sttime<>'' or altime<>''"), "0");
    control.page1.setStartMode(RunPage::Auto);
    control.page1.setFinishMode(RunPage::Auto);
    feed(test::kCorrectedRun1, 1);
    control.selection.selectRun2();
    feed(test::kCorrectedRun2, 2);
    EXPECT_EQ(checked, 16);
    for (const auto& r : test::kCorrectedResults) {
        SCOPED_TRACE(r.zek);
        EXPECT_EQ(rows(QStringLiteral("select ttime,ttime2,totaltime,FL,FL2 from result where "
                                      "tcode='C1' and zek='%1'")
                           .arg(r.zek)),
                  QStringList{QStringLiteral("%1|%2|%3|F|F").arg(r.ttime, r.ttime2, r.totaltime)});
    }
    int rtLines = 0;
    for (const char* l : test::kCorrectedRun1)
        rtLines += splitTimerLine(l).endsDelivery();
    for (const char* l : test::kCorrectedRun2)
        rtLines += splitTimerLine(l).endsDelivery();
    EXPECT_EQ(pulseCount(),
              2 + int(std::size(test::kCorrectedRun1) + std::size(test::kCorrectedRun2)) - rtLines);
    expectOtherUntouched();
}

// The timer's late corrections, slips of its keypad and missed impulses, in both runs: the
// timer's own run time (its RT line) is the expected result at every RT line.
TEST_F(DeviceCorrectionsTest, LateCorrectionsGiveTheTimersRunTimes) {
    addClass({"0001", "0002", "0003", "0004", "0005"});
    int checked = 0;
    auto feed = [&](std::initializer_list<const char*> lines, int run) {
        for (const char* l : lines) {
            SCOPED_TRACE(l);
            line(l);
            const TimerLine t = splitTimerLine(l);
            if (!t.endsDelivery())
                continue;
            EXPECT_EQ(durationHundredths(f(t.bib, run == 1 ? "ttime" : "ttime2")),
                      durationHundredths(t.dtime));
            EXPECT_EQ(f(t.bib, run == 1 ? "FL" : "FL2"), "F");
            ++checked;
        }
    };
    control.selection.selectRun1();
    feed({" 0001 C0  10:00:00.0000 00",
          " 0003 C0  10:01:00.0000 00", // 0002's start impulse is missed
          " 0001 C1  10:01:10.0000 00", " 0001 RT  00:01:10.00", " 0003 C1  10:02:00.0000 00",
          " 0003 RT  00:01:00.00"},
         1);
    // A start taken back after the finish, and the restart: its finish replaces the old one.
    feed({"c0003 C0  10:01:00.0000 00"}, 1);
    EXPECT_EQ(f("0003", "ttime"), "");
    EXPECT_EQ(f("0003", "altime"), "10:02:00.0000"); // kept for what comes next
    // The restart's start does not pair with the kept finish: no run time until its finish.
    feed({" 0003 C0  10:01:30.0000 00"}, 1);
    EXPECT_EQ(rows("select ttime,totaltime,FL from result where tcode='C1' and zek='0003'"),
              QStringList{"||S"});
    feed({" 0003 C1  10:02:20.0000 00", " 0003 RT  00:00:50.00"}, 1);
    // The finish that gave way is an impulse nobody has now, with its reason and history.
    EXPECT_EQ(rows("select p.dtime from pulse_unassigned u join pulsedata p on p.id = u.pulse_id"),
              QStringList{"10:02:00.0000"});
    EXPECT_EQ(scalar("select count(*) from change_history where zek='0003' and source='replaced'"),
              "1");
    // 0002's finish entered at the timer before its start: no run time until the start.
    feed({"i0002 C1  10:01:40.5000 00"}, 1);
    EXPECT_EQ(rows("select ttime,FL from result where tcode='C1' and zek='0002'"),
              QStringList{"|S"});
    EXPECT_EQ(control.missingStarts(), QStringList{"0002"});
    // The results list shows 0002 among the finishers, without a run time.
    ASSERT_TRUE(dm.QresultBib.locate(u"zek", "0002"));
    EXPECT_EQ(dm.QresultBib.fieldByName(u"ttime").asString(), "");
    feed({"i0002 C0  10:00:30.0000 00", "i0002 RT  00:01:10.50"}, 1);
    EXPECT_TRUE(control.missingStarts().isEmpty());
    // A wrong start impulse replaced by an edited one after the finish.
    feed({" 0004 C0  10:03:00.0000 00", " 0004 C1  10:04:00.0000 00", "c0004 C0  10:03:00.0000 00",
          "i0004 C0  10:03:05.0000 00", "i0004 RT  00:00:55.00"},
         1);
    ASSERT_EQ(control.page1.startBox(), "0005");
    // A bib typed wrong on the keypad goes to nobody and leaves both boxes where they were.
    const QString finishBox = control.page1.finishBox();
    line(start(" 9999", "10:05:00.0000"));
    EXPECT_EQ(control.page1.startBox(), "0005");
    EXPECT_EQ(control.page1.finishBox(), finishBox);
    EXPECT_EQ(control.unassigned().size(), 2); // and 0003's finish that gave way
    feed({" 0005 C0  10:05:10.0000 00", "?0000 C1  10:06:00.0000 00", " 0005 RT  00:00:50.00"}, 1);

    control.selection.selectRun2();
    feed({" 0001 C0  11:00:00.0000 00",
          " 0002 C0  11:00:40.0000 00", // 0002 is next, but the timer names 0002 anyway
          " 0001 C1  11:01:00.0000 00", " 0001 RT  00:01:00.00",
          "i0003 C1  11:02:30.0000 00", // start and finish of 0003 missed, entered later
          "i0003 C0  11:01:20.0000 00", "i0003 RT  00:01:10.00", " 0002 C1  11:01:35.0000 00",
          " 0002 RT  00:00:55.00"},
         2);
    EXPECT_EQ(checked, 9);
    EXPECT_EQ(f("0003", "totaltime"), "00:02:00.00");
    EXPECT_EQ(f("0002", "totaltime"), "00:02:05.50");
    expectOtherUntouched();
}
