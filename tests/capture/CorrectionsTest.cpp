#include "CaptureFixture.h"
#include "support/ScriptedDialog.h"

using namespace pistel;
using pistel::test::CaptureFixture;
using pistel::test::ScriptedDialog;

class CorrectionsTest : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        addStandardField();
        control.dialog = &dialog;
        // 0001 and 0002 started; 0001 finished. Impulses of both channels are logged.
        exec(
            "update result set sttime='10:00:00.0000', altime='10:01:00.0000', "
            "ttime='00:01:00.00', totaltime='00:01:00.00', FL='F' where tcode='C1' and zek='0001'");
        exec("update result set sttime='10:00:30.0000', FL='S' where tcode='C1' and zek='0002'");
        exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
             "('C1',1,'?','0000','C0','10:01:00.5000'),('C1',2,'?','0000','C0','10:01:30.2500'),"
             "('C1',3,'?','0000','C1','10:01:41.1299'),('C1',4,'?','0000','C1','10:02:10.0000')");
    }
    void select(Query& impulses, const QString& dtime) {
        ASSERT_TRUE(impulses.locate(u"dtime", dtime)) << dtime.toStdString();
    }
    ScriptedDialog dialog;
};

TEST_F(CorrectionsTest, NextAndPreviousMoveTheBoxesAlongTheLists) {
    control.selection.selectRun1();
    // Start list: 0003 0002 0001 0005 0004 0008 0007; the box on 0003 (next to start).
    ASSERT_EQ(control.page1.startBox(), "0003");
    control.selection.moveBoxToPrevious(control.page1, RunSelection::BoxKind::Start);
    EXPECT_EQ(control.page1.startBox(), "0002");
    control.selection.moveBoxToNext(control.page1, RunSelection::BoxKind::Start);
    control.selection.moveBoxToNext(control.page1,
                                    RunSelection::BoxKind::Start); // at the top: stays
    EXPECT_EQ(control.page1.startBox(), "0003");
    EXPECT_EQ(dm.Qdpst.currentRow(), 0);
    dm.Qdpst.last();
    control.page1.setStartBox("typed");
    control.selection.moveBoxToPrevious(
        control.page1,
        RunSelection::BoxKind::Start); // at the bottom: the box shows the row it stays on
    EXPECT_EQ(control.page1.startBox(), "0007");

    // Finish list: 0002 0001.
    control.page1.setFinishBox("x");
    dm.Qdpfn.first();
    control.selection.moveBoxToPrevious(control.page1, RunSelection::BoxKind::Finish);
    EXPECT_EQ(control.page1.finishBox(), "0001");
    control.selection.moveBoxToNext(control.page1, RunSelection::BoxKind::Finish);
    EXPECT_EQ(control.page1.finishBox(), "0002");
}

TEST_F(CorrectionsTest, RowClicksFillTheBoxesAndTheRun1FinishListSwitchesTheResults) {
    exec("update result set sttime='10:02:00.0000', altime='10:03:00.0000', FL='F' "
         "where tcode='C1' and zek='0007'");
    control.selection.selectRun1();
    ASSERT_EQ(control.resultsGridClass, 1);
    dm.Qdpst.moveTo(4);
    control.selection.boxToChosenRow(control.page1, RunSelection::BoxKind::Start);
    EXPECT_EQ(control.page1.startBox(), "0004");
    ASSERT_TRUE(dm.Qdpfn.locate(u"zek", "0002"));
    control.selection.boxToChosenRow(control.page1, RunSelection::BoxKind::Finish);
    EXPECT_EQ(control.page1.finishBox(), "0002");
    EXPECT_EQ(control.resultsGridClass, 3);
    EXPECT_EQ(dm.QresultBib.statementText(),
              "select zek,class1,altime,altime2,ttime,ttime2,totaltime from result where "
              "tcode = 'C1'\nand (FL = 'F' or altime <> '' and sttime = '') and class1 = '3'\n"
              "order by altime desc,zek");
    EXPECT_EQ(dm.QresultBib.recordCount(), 1);

    control.selection.selectRun2(); // 0001 and 0007 finished run 1
    exec("update result set sttime2='13:00:00.0000', FL2='S' where tcode='C1' and zek='0007'");
    control.selection.selectRun2();
    ASSERT_TRUE(dm.Qdpfn2.locate(u"zek", "0007"));
    control.selection.boxToChosenRow(control.page2, RunSelection::BoxKind::Finish);
    EXPECT_EQ(control.page2.finishBox(), "0007");
    EXPECT_EQ(control.resultsGridClass, 3); // the run-2 finish list never switches it
    dm.Qdpst2.moveTo(1); // run-1 finishers by class, then start order: 0001, 0007
    control.selection.boxToChosenRow(control.page2, RunSelection::BoxKind::Start);
    EXPECT_EQ(control.page2.startBox(), "0007");
}

TEST_F(CorrectionsTest, N1AssignsTheSelectedStartTimeAndMovesToTheNextStarter) {
    control.selection.selectRun1();
    control.selection.findStartBib(control.page1, "4");
    select(dm.QPulseSt, "10:01:30.2500");
    control.corrections.assignStartImpulse();
    EXPECT_EQ(f("0004", "sttime"), "10:01:30.2500");
    EXPECT_EQ(f("0004", "FL"), "S");
    // The row above: 0005 starts after 0004 (the row below, 0008, started before it).
    EXPECT_EQ(control.page1.startBox(), "0005");
    // The finish box stays on its bib (the earliest on course) in the re-read finish list,
    // which now holds 0004 too.
    EXPECT_EQ(control.page1.finishBox(), "0002");
    EXPECT_EQ(dm.Qdpfn.fieldByName(u"zek").asString(), "0002");
    EXPECT_EQ(dm.Qdpfn.recordCount(), 3);
    // The top row: the box stays there.
    control.selection.findStartBib(control.page1, "3");
    select(dm.QPulseSt, "10:01:00.5000");
    control.corrections.assignStartImpulse();
    EXPECT_EQ(f("0003", "sttime"), "10:01:00.5000");
    EXPECT_EQ(control.page1.startBox(), "0003");
    EXPECT_TRUE(dialog.asked.isEmpty());
    // The impulse 0003 has, given to 0004 as well: asked first; No changes nothing.
    control.selection.findStartBib(control.page1, "4");
    select(dm.QPulseSt, "10:01:00.5000");
    dialog.answers = {false};
    control.corrections.assignStartImpulse();
    ASSERT_EQ(dialog.asked.size(), 1);
    EXPECT_TRUE(dialog.asked[0].contains("0003")) << dialog.asked[0].toStdString();
    EXPECT_EQ(f("0004", "sttime"), "10:01:30.2500");
    EXPECT_EQ(control.page1.startBox(), "0004");
    // Yes stores it: the operator's word counts.
    dialog.answers = {true};
    control.corrections.assignStartImpulse();
    EXPECT_EQ(f("0004", "sttime"), "10:01:00.5000");
    EXPECT_TRUE(dialog.messages.isEmpty());
    expectOtherUntouched();
}

// The command acts on the impulse highlighted when the menu opened, even when lines arrive
// and re-read the list meanwhile.
TEST_F(CorrectionsTest, ManualAssignmentUsesTheImpulseChosenWhenTheMenuOpened) {
    control.selection.selectRun1();
    control.page1.setStartMode(RunPage::Manual);
    control.page1.setFinishMode(RunPage::Manual);
    control.selection.findStartBib(control.page1, "4");
    select(dm.QPulseSt, "10:01:00.5000");
    const QString startId = Corrections::selectedImpulseId(dm.QPulseSt);
    control.selection.findFinishBib(control.page1, "2");
    select(dm.QPulseFn, "10:01:41.1299");
    const QString finishId = Corrections::selectedImpulseId(dm.QPulseFn);
    ASSERT_FALSE(startId.isEmpty());
    line(start("?0000", "10:05:00.0000"));
    line(finish("?0000", "10:05:10.0000"));
    ASSERT_EQ(dm.QPulseSt.fieldByName(u"dtime").asString(), "10:05:00.0000");
    control.corrections.assignStartImpulse(startId);
    control.corrections.assignFinishImpulse(finishId);
    EXPECT_EQ(f("0004", "sttime"), "10:01:00.5000");
    EXPECT_EQ(f("0002", "altime"), "10:01:41.1299");
    EXPECT_EQ(f("0002", "ttime"), "00:01:11.12");
    // An impulse that is gone (a reset meanwhile): the operator is told, nothing stored.
    control.corrections.assignStartImpulse(QStringLiteral("999999"));
    EXPECT_EQ(dialog.messages, QStringList{kImpulseGone});
}

TEST_F(CorrectionsTest, N2AsksBeforeStoringAFinishEarlierThanTheStart) {
    exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
         "('C1',5,'?','0000','C1','10:00:10.1400')");
    control.selection.selectRun1();
    control.selection.findFinishBib(control.page1, "2"); // started 10:00:30
    select(dm.QPulseFn, "10:00:10.1400");
    dialog.answers = {false};
    control.corrections.assignFinishImpulse();
    ASSERT_EQ(dialog.asked.size(), 1);
    EXPECT_EQ(f("0002", "altime"), "");
    EXPECT_EQ(f("0002", "FL"), "S");
    // Yes: stored as a run across midnight, as the operator wants.
    dialog.answers = {true};
    control.corrections.assignFinishImpulse();
    EXPECT_EQ(f("0002", "ttime"), "23:59:40.14");
    // The finish 0001 already has, given to 0002: asked as well.
    control.selection.findFinishBib(control.page1, "2");
    exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
         "('C1',6,'?','0000','C1','10:01:00.0000')");
    dm.QPulseFn.reread();
    select(dm.QPulseFn, "10:01:00.0000");
    dialog.answers = {false};
    control.corrections.assignFinishImpulse();
    ASSERT_EQ(dialog.asked.size(), 3);
    EXPECT_TRUE(dialog.asked[2].contains("0001")) << dialog.asked[2].toStdString();
    EXPECT_EQ(f("0002", "altime"), "10:00:10.1400");

    // A finish after midnight for a start before it follows the start: stored without a
    // question. 23:59:50.00 to 00:00:40.25 is 50.25 s.
    exec("update result set sttime='23:59:50.0000', altime='', ttime='', FL='S' "
         "where tcode='C1' and zek='0004'");
    exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
         "('C1',7,'?','0000','C1','00:00:40.2500')");
    control.selection.selectRun1();
    control.selection.findFinishBib(control.page1, "4");
    select(dm.QPulseFn, "00:00:40.2500");
    dialog.answers.clear();
    control.corrections.assignFinishImpulse();
    EXPECT_EQ(dialog.asked.size(), 3);
    EXPECT_EQ(f("0004", "ttime"), "00:00:50.25");
}

TEST_F(CorrectionsTest, N2Run1StoresFinishRunTimeAndMovesUp) {
    exec("update result set sttime='10:00:45.0000', FL='S' where tcode='C1' and zek='0003'");
    control.selection.selectRun1();
    // Finish list: 0003 0002 0001 (latest start first).
    control.selection.findFinishBib(control.page1, "2");
    select(dm.QPulseFn, "10:01:41.1299");
    control.corrections.assignFinishImpulse();
    EXPECT_EQ(rows("select altime,ttime,totaltime,TH,TM,TS,TMS,FL from result where tcode='C1' "
                   "and zek='0002'"),
              QStringList{"10:01:41.1299|00:01:11.12|00:01:11.12|00|01|11|12|F"});
    EXPECT_EQ(control.page1.finishBox(), "0003"); // the row above
    EXPECT_EQ(dm.QPulseFn.currentRow(), 0);       // re-read
    // The results list shows the new finisher's run time.
    ASSERT_TRUE(dm.QresultBib.locate(u"zek", "0002"));
    EXPECT_EQ(dm.QresultBib.fieldByName(u"ttime").asString(), "00:01:11.12");
}

// After N2 on the newest starter (nobody above in the list) the box does not stay on a
// finisher: it goes to whoever is on course, and a finish sent without a bib never goes
// to nobody in silence.
TEST_F(CorrectionsTest, NoFinishIsSkippedInSilence) {
    exec("update result set sttime='10:00:45.0000', FL='S' where tcode='C1' and zek='0003'");
    control.selection.selectRun1();
    control.selection.findFinishBib(control.page1, "3"); // the newest starter, top of the list
    select(dm.QPulseFn, "10:01:41.1299");
    control.corrections.assignFinishImpulse();
    EXPECT_EQ(f("0003", "altime"), "10:01:41.1299");
    EXPECT_EQ(control.page1.finishBox(), "0002"); // on course since 10:00:30
    line(finish("?0000", "10:02:10.0000"));
    EXPECT_EQ(f("0002", "ttime"), "00:01:40.00");
    // The operator puts the box on a finisher: the next finish goes to who needs one.
    control.selection.findFinishBib(control.page1, "1");
    line(start("?0000", "10:03:00.0000"));  // 0004 starts...
    line(finish("?0000", "10:04:00.0000")); // ...and finishes
    EXPECT_EQ(f("0004", "ttime"), "00:01:00.00");
    EXPECT_EQ(f("0001", "altime"), "10:01:00.0000"); // untouched
    // Nobody on course: the box named the next to start of the class being raced (0005),
    // whose start was missed; the finish is kept without a run time and the competitor shown
    // as missing a start.
    line(finish("?0000", "10:05:00.0000"));
    EXPECT_EQ(rows("select zek,altime,ttime,FL from result where tcode='C1' and altime = "
                   "'10:05:00.0000'"),
              QStringList{"0005|10:05:00.0000||S"});
    EXPECT_EQ(control.missingStarts(), QStringList{"0005"});
    EXPECT_TRUE(control.unassigned().isEmpty());
}

TEST_F(CorrectionsTest, N2Run1KeepsAStoredRun2TimeInTheTotal) {
    exec("update result set ttime2='00:01:02.00', FL2='F' where tcode='C1' and zek='0002'");
    control.selection.selectRun1();
    control.selection.findFinishBib(control.page1, "2");
    select(dm.QPulseFn, "10:01:41.1299");
    control.corrections.assignFinishImpulse();
    EXPECT_EQ(f("0002", "ttime"), "00:01:11.12");
    EXPECT_EQ(f("0002", "totaltime"), "00:02:13.12");
}

TEST_F(CorrectionsTest, N2Run2ComputesTheRunAndTheTotal) {
    exec("update result set sttime2='13:00:00.0000', FL2='S' where tcode='C1' and zek='0001'");
    exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
         "('C1',5,'?','0000','C1','13:01:05.1299')");
    control.selection.selectRun2();
    control.selection.findFinishBib(control.page2, "1");
    select(dm.QPulseFn2, "13:01:05.1299");
    control.corrections.assignFinishImpulse();
    EXPECT_EQ(rows("select altime2,ttime2,totaltime,TH2,TM2,TS2,TMS2,FL2 from result where "
                   "tcode='C1' and zek='0001'"),
              QStringList{"13:01:05.1299|00:01:05.12|00:02:05.12|00|01|05|12|F"});
    EXPECT_EQ(control.lastFinisherClass, 3);
    EXPECT_EQ(dm.QresultBib2.fieldByName(u"zek").asString(), "0001");
}

TEST_F(CorrectionsTest, N1AndN2RefuseWithoutASelectedImpulse) {
    exec("delete from pulsedata");
    control.selection.selectRun1();
    control.selection.findStartBib(control.page1, "3");
    control.corrections.assignStartImpulse();
    control.selection.findFinishBib(control.page1, "2");
    control.corrections.assignFinishImpulse();
    EXPECT_EQ(dialog.messages, (QStringList{kNoImpulseSelected, kNoImpulseSelected}));
    EXPECT_EQ(f("0003", "sttime"), "");
    EXPECT_EQ(f("0002", "altime"), "");
    EXPECT_EQ(f("0002", "FL"), "S");
}

TEST_F(CorrectionsTest, N3CancelsOnlyTheStartTime) {
    control.selection.selectRun1();
    control.selection.findStartBib(control.page1, "1");
    control.page1.setFinishBox("0001");
    control.corrections.cancelStartTime();
    EXPECT_EQ(rows("select sttime,altime,ttime,FL from result where tcode='C1' and zek='0001'"),
              QStringList{"|10:01:00.0000|00:01:00.00|N"});
    EXPECT_EQ(control.page1.startBox(), "0001");
    // 0001 left the finish list: the box takes its first row.
    EXPECT_EQ(control.page1.finishBox(), "0002");
    expectOtherUntouched();
}

TEST_F(CorrectionsTest, N3KeepsTheFinishBoxOnItsCompetitor) {
    exec("update result set sttime='10:01:00.0000', FL='S' where tcode='C1' and zek='0003'");
    exec("update result set sttime='10:01:30.0000', FL='S' where tcode='C1' and zek='0004'");
    control.selection.selectRun1();
    control.selection.findFinishBib(control.page1, "2"); // the earliest on course
    control.selection.findStartBib(control.page1, "4");  // a wrong start to cancel
    control.corrections.cancelStartTime();
    EXPECT_EQ(f("0004", "sttime"), "");
    EXPECT_EQ(control.page1.finishBox(), "0002");
    EXPECT_EQ(dm.Qdpfn.fieldByName(u"zek").asString(), "0002");
}

TEST_F(CorrectionsTest, N4CancelsTheFinishAndMovesTheResultsListUp) {
    exec("update result set sttime='10:00:30.0000', altime='10:01:35.0000', ttime='00:01:05.00', "
         "FL='F' where tcode='C1' and zek='0002'");
    exec("update result set sttime='10:01:00.0000', altime='10:02:00.0000', ttime='00:01:00.00', "
         "FL='F' where tcode='C1' and zek='0003'");
    control.selection.selectRun1();
    control.selection.findFinishBib(control.page1, "3");
    control.selection.boxToChosenRow(
        control.page1,
        RunSelection::BoxKind::Finish); // results list of class 3: 0003 0002 0001
                                        // (latest finish first)
    ASSERT_EQ(dm.QresultBib.recordCount(), 3);
    dm.QresultBib.moveTo(2); // standing on 0001
    control.selection.findFinishBib(control.page1, "2");
    control.corrections.cancelFinishTime();
    EXPECT_EQ(rows("select altime,ttime,FL from result where tcode='C1' and zek='0002'"),
              QStringList{"|00:01:05.00|S"});
    EXPECT_EQ(control.page1.finishBox(), "0002");
    ASSERT_EQ(dm.QresultBib.recordCount(), 2);
    EXPECT_EQ(dm.QresultBib.fieldByName(u"zek").asString(), "0003"); // the row above 0001's
    // Standing on the first row it stays on the first row.
    dm.QresultBib.first();
    control.selection.findFinishBib(control.page1, "1");
    control.corrections.cancelFinishTime();
    EXPECT_EQ(dm.QresultBib.currentRow(), 0);
    EXPECT_EQ(dm.QresultBib.fieldByName(u"zek").asString(), "0003");
}

TEST_F(CorrectionsTest, CommandsActOnTheCurrentRun) {
    exec("update result set FL='F', sttime2='13:00:00.0000', FL2='S' where tcode='C1' and "
         "zek='0003'");
    control.selection.selectRun1();
    control.selection.selectRun2();
    control.selection.findStartBib(control.page2, "3");
    control.corrections.cancelStartTime(); // from whichever grid: run 2 is current
    EXPECT_EQ(f("0003", "sttime2"), "");
    EXPECT_EQ(f("0003", "FL2"), "N");
    EXPECT_EQ(f("0003", "FL"), "F");
}

TEST_F(CorrectionsTest, EnterShowsFourDigitsAndPositionsTheBoxesOwnList) {
    control.selection.selectRun1();
    control.selection.selectRun2();
    EXPECT_TRUE(control.selection.findStartBib(control.page1, " 5 "));
    EXPECT_EQ(control.page1.startBox(), "0005");
    EXPECT_EQ(dm.Qdpst.fieldByName(u"zek").asString(), "0005");
    EXPECT_TRUE(control.selection.findFinishBib(control.page1, "2"));
    EXPECT_EQ(control.page1.finishBox(), "0002");
    EXPECT_EQ(dm.Qdpfn.fieldByName(u"zek").asString(), "0002");
    // The run-2 box is served by its own list; run 1 stays as it was.
    EXPECT_TRUE(control.selection.findStartBib(control.page2, "1"));
    EXPECT_EQ(control.page2.startBox(), "0001");
    EXPECT_EQ(control.page1.startBox(), "0005");
    // A bib that is not in the competition: asked first; No leaves the box as it was.
    dialog.answers = {false, true};
    EXPECT_FALSE(control.selection.findStartBib(control.page1, "12"));
    EXPECT_EQ(control.page1.startBox(), "0005");
    // Yes: shown all the same.
    EXPECT_TRUE(control.selection.findStartBib(control.page1, "12"));
    EXPECT_EQ(dialog.asked.size(), 2);
    EXPECT_EQ(control.page1.startBox(), "0012");
    EXPECT_EQ(dm.Qdpst.fieldByName(u"zek").asString(), "0005");
    // Not a number: the operator is told and nothing changes.
    for (const char* typed : {"abc", "", "1.5", "0x10"}) {
        EXPECT_FALSE(control.selection.findStartBib(control.page1, typed));
        EXPECT_EQ(control.page1.startBox(), "0012");
    }
    EXPECT_EQ(dialog.messages.size(), 4);
    EXPECT_EQ(dialog.messages.first(), kBibNotANumber);
}
