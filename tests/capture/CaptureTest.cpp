#include "CaptureFixture.h"
#include "data/DbError.h"

using namespace pistel;
using pistel::test::CaptureFixture;

class CaptureTest : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        addStandardField();
    }
};

TEST_F(CaptureTest, StartWithBibJumpsAssignsAndAdvancesInTheClass) {
    control.selection.selectRun1();
    ASSERT_EQ(control.page1.startBox(), "0001");
    line(start(" 0002", "10:00:00.1234"));
    EXPECT_EQ(f("0002", "sttime"), "10:00:00.1234");
    EXPECT_EQ(f("0002", "FL"), "S");
    EXPECT_EQ(f("0001", "sttime"), "");
    EXPECT_EQ(control.page1.startBox(), "0003"); // next of 0002's class with higher st1
    EXPECT_EQ(pulseCount(), 1);
    EXPECT_EQ(control.page1.finishBox(), "0002"); // the first started: the finish list's top
    expectOtherUntouched();
}

TEST_F(CaptureTest, StartWithoutValidBibGoesToTheBox) {
    control.selection.selectRun1();
    line(start("?0002", "10:00:00.0000"));
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.0000");
    EXPECT_EQ(f("0002", "sttime"), "");
    EXPECT_EQ(control.page1.startBox(), "0002");
    // A start flagged "m" is assigned like any other.
    line(start("m0005", "10:00:30.0000"));
    EXPECT_EQ(f("0002", "sttime"), "10:00:30.0000");
}

TEST_F(CaptureTest, ManualStartOnlyLogsButTheBoxStillJumps) {
    control.selection.selectRun1();
    control.page1.setStartMode(RunPage::Manual);
    line(start(" 0003", "10:00:00.0000"));
    EXPECT_EQ(scalar("select count(*) from result where sttime<>'' or FL<>'N'"), "0");
    EXPECT_EQ(control.page1.startBox(), "0003");
    EXPECT_EQ(dm.Qdpst.fieldByName(u"zek").asString(), "0003");
    EXPECT_EQ(pulseCount(), 1);
    line(start("?0000", "10:00:10.0000"));
    EXPECT_EQ(control.page1.startBox(), "0003");
    EXPECT_EQ(pulseCount(), 2);
}

TEST_F(CaptureTest, LastOfAClassMovesToTheNextClass) {
    control.selection.selectRun1();
    line(start("?0000", "10:00:00.0000"));
    line(start("?0000", "10:00:30.0000"));
    line(start("?0000", "10:01:00.0000"));
    EXPECT_EQ(f("0003", "sttime"), "10:01:00.0000");
    // Highest remaining class, lowest start order: 0004; the start list stands on it.
    EXPECT_EQ(control.page1.startBox(), "0004");
    EXPECT_EQ(dm.Qdpst.fieldByName(u"zek").asString(), "0004");
    line(start("?0000", "10:01:30.0000"));
    line(start("?0000", "10:02:00.0000"));
    // The excluded 0006 (a forerunner) is never expected: class 2 is done, on to class 1.
    EXPECT_EQ(control.page1.startBox(), "0007");
    EXPECT_EQ(f("0006", "sttime"), "");
}

TEST_F(CaptureTest, NoCandidateLeftKeepsTheBibJustTimed) {
    exec("update result set sttime='09:00:00.0000', FL='S' where tcode='C1' and zek<>'0008'");
    control.selection.selectRun1();
    line(start(" 0008", "10:00:00.0000"));
    EXPECT_EQ(control.page1.startBox(), "0008");
    line(start("?0000", "10:00:10.0000")); // only logged: 0008 has its time
    EXPECT_EQ(f("0008", "sttime"), "10:00:00.0000");
    EXPECT_EQ(pulseCount(), 2);
}

TEST_F(CaptureTest, FinishComputesRunTimeAndAdvancesToTheEarliestOnCourse) {
    control.selection.selectRun1();
    line(start("?0000", "10:00:00.0000"));
    line(start("?0000", "10:00:30.0000"));
    EXPECT_EQ(control.page1.finishBox(), "0001");
    line(finish("?0000", "10:01:05.1299"));
    EXPECT_EQ(f("0001", "altime"), "10:01:05.1299");
    EXPECT_EQ(f("0001", "ttime"), "00:01:05.12");
    EXPECT_EQ(f("0001", "FL"), "F");
    EXPECT_EQ(control.page1.finishBox(), "0002");
    EXPECT_EQ(control.resultsGridClass, 3);
    EXPECT_EQ(dm.QresultBib.recordCount(), 1);

    // Nobody on course: the box waits on the next to start (0003, still of class 3), never
    // on a competitor of another class who has not started.
    line(finish("?0000", "10:01:40.0000"));
    EXPECT_EQ(control.page1.finishBox(), "0003");
    EXPECT_EQ(dm.QresultBib.recordCount(), 2);
}

TEST_F(CaptureTest, FinishFlaggedMIsOnlyLogged) {
    control.selection.selectRun1();
    line(start("?0000", "10:00:00.0000"));
    const QString box = control.page1.finishBox();
    line(finish("m0001", "10:01:00.0000"));
    EXPECT_EQ(f("0001", "altime"), "");
    EXPECT_EQ(control.page1.finishBox(), box);
    EXPECT_EQ(pulseCount(), 2);
}

TEST_F(CaptureTest, SecondFinishForTheSameBibChangesOnlyTheLog) {
    control.selection.selectRun1();
    line(start("?0000", "10:00:00.0000"));
    line(finish(" 0001", "10:01:00.0000"));
    line(finish(" 0001", "10:01:02.0000"));
    EXPECT_EQ(f("0001", "altime"), "10:01:00.0000");
    EXPECT_EQ(f("0001", "ttime"), "00:01:00.00");
    EXPECT_EQ(control.page1.finishBox(), "0001");
    EXPECT_EQ(pulseCount(), 3);
}

TEST_F(CaptureTest, AfterAStartTheFinishBoxKeepsItsBibOrTakesTheTopRow) {
    control.selection.selectRun1();
    line(start("?0000", "10:00:00.0000"));
    line(start("?0000", "10:00:30.0000"));
    EXPECT_EQ(control.page1.finishBox(), "0001"); // kept: 0001 is in the finish list
    control.page1.setFinishBox("0007");           // not in the finish list
    line(start("?0000", "10:01:00.0000"));
    EXPECT_EQ(control.page1.finishBox(), "0003"); // the top row: latest start of class 3
}

TEST_F(CaptureTest, CancellingLinesAreLoggedButNeverAssigned) {
    control.selection.selectRun1();
    for (const char* flag : {"c", "d", "C"})
        line(start(QString(flag) + "0001", "10:00:00.0000"));
    EXPECT_EQ(scalar("select count(*) from result where sttime<>''"), "0");
    EXPECT_EQ(control.page1.startBox(), "0001");
    EXPECT_EQ(pulseCount(), 3);
}

TEST_F(CaptureTest, BibNotInTheCompetitionIsLoggedOnly) {
    control.selection.selectRun1();
    line(start(" 0099", "10:00:00.0000"));
    EXPECT_EQ(scalar("select count(*) from result where sttime<>''"), "0");
    EXPECT_EQ(pulseCount(), 1);
    control.selection.selectRun2();
    line(start(" 0099", "10:00:00.0000"));
    EXPECT_EQ(scalar("select count(*) from result where sttime2<>''"), "0");
    expectOtherUntouched();
}

TEST_F(CaptureTest, Run2RequiresAFinishedFirstRun) {
    exec("update result set sttime='09:00:00.0000', altime='09:01:00.0000', ttime='00:01:00.00',"
         " totaltime='00:01:00.00', FL='F' where tcode='C1' and zek in ('0001','0003','0005')");
    exec("update result set sttime='09:00:00.0000', FL='S' where tcode='C1' and zek='0002'");
    control.selection.selectRun2();
    line(start(" 0002", "13:00:00.0000"));
    EXPECT_EQ(f("0002", "sttime2"), "");
    line(finish(" 0002", "13:01:00.0000"));
    EXPECT_EQ(f("0002", "altime2"), "");

    line(start(" 0003", "13:00:00.0000"));
    EXPECT_EQ(f("0003", "sttime2"), "13:00:00.0000");
    EXPECT_EQ(f("0003", "FL2"), "S");
    // Next by st2 in the class among run-1 finishers: 0002 (st2 2) has not finished run 1,
    // so 0001 (st2 3).
    EXPECT_EQ(control.page2.startBox(), "0001");
    line(start("?0000", "13:00:30.0000"));
    EXPECT_EQ(f("0001", "sttime2"), "13:00:30.0000");
    // End of class 3: the next class, shown with its statement in Edit5.
    EXPECT_EQ(control.page2.startBox(), "0005");
    EXPECT_EQ(control.page2.edit5(),
              "select st2,zek from result where tcode = 'C1'\nand class1 = '2'\nand FL = 'F'\n"
              "and sttime2 = '' and class1 = '2' order by st2 ");

    line(finish("?0000", "13:01:05.0000"));
    EXPECT_EQ(f("0003", "ttime2"), "00:01:05.00");
    EXPECT_EQ(f("0003", "totaltime"), "00:02:05.00");
    EXPECT_EQ(f("0003", "FL2"), "F");
    EXPECT_EQ(control.page2.finishBox(), "0001");
    line(finish("?0000", "13:01:40.5000"));
    EXPECT_EQ(f("0001", "ttime2"), "00:01:10.50");
    expectOtherUntouched();
}

TEST_F(CaptureTest, Run2NextClassSkipsCompetitorsWhoDidNotFinishRun1) {
    // 0001 (class 3) did not finish run 1; every other competitor did.
    exec("update result set sttime='09:00:00.0000', altime='09:01:00.0000', ttime='00:01:00.00',"
         " FL='F' where tcode='C1' and zek<>'0001'");
    exec("update result set sttime='09:00:00.0000', FL='S' where tcode='C1' and zek='0001'");
    control.selection.selectRun2();
    ASSERT_EQ(control.page2.startBox(), "0003");
    const char* times[] = {"13:00:00.0000", "13:00:30.0000", "13:01:00.0000", "13:01:30.0000",
                           "13:02:00.0000"};
    // 0001 (class 3) cannot start run 2 and the excluded 0006 (class 2) is never expected.
    const char* boxes[] = {"0002", "0005", "0004", "0008", "0007"};
    for (int i = 0; i < 5; ++i) {
        line(start("?0000", times[i]));
        EXPECT_EQ(control.page2.startBox(), boxes[i]) << i;
    }
    line(start("?0000", "13:02:30.0000"));
    EXPECT_EQ(f("0007", "sttime2"), "13:02:30.0000");
    EXPECT_EQ(f("0001", "sttime2"), "");
    EXPECT_EQ(f("0006", "sttime2"), "");
}

TEST_F(CaptureTest, LinesBeforeARunPageWasShownGoToRun2AndAreLogged) {
    exec("update result set sttime='09:00:00.0000', altime='09:01:00.0000', ttime='00:01:00.00',"
         " FL='F' where tcode='C1'");
    ASSERT_EQ(app.currentRun, "");
    line(start(" 0003", "13:00:00.0000")); // the lists are still closed
    EXPECT_EQ(f("0003", "sttime2"), "13:00:00.0000");
    EXPECT_EQ(f("0003", "sttime"), "09:00:00.0000");
    EXPECT_EQ(pulseCount(), 1);
    line(finish(" 0003", "13:01:00.0000"));
    EXPECT_EQ(f("0003", "ttime2"), "00:01:00.00");
    EXPECT_EQ(pulseCount(), 2);
}

TEST_F(CaptureTest, OtherChannelsAreOnlyLogged) {
    control.selection.selectRun1();
    line(" 0001 C2  10:00:10.0000 00");
    line("n0012");
    EXPECT_EQ(scalar("select count(*) from result where sttime<>'' or altime<>''"), "0");
    EXPECT_EQ(pulseCount(), 2);
    EXPECT_EQ(dm.QPulseSt.recordCount(), 0);
}

// Each run page lists the impulses that arrived while its run was timed (and those logged
// with no run, which either page may need), whether read whole or a new one put in.
TEST_F(CaptureTest, EachRunPageListsTheImpulsesOfItsRun) {
    control.selection.selectRun1();
    line(start("?0000", "10:00:00.0000"));
    line(finish("?0000", "10:01:00.0000"));
    control.selection.selectRun2();
    EXPECT_EQ(dm.QPulseSt2.recordCount(), 0);
    line(start(" 0001", "13:00:00.0000"));
    EXPECT_EQ(dm.QPulseSt2.recordCount(), 1); // put in as it came
    EXPECT_EQ(dm.QPulseFn2.recordCount(), 0);
    exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
         "('C1',1,' ','0002','C0','09:00:00.0000')"); // recovered from the journal: no run
    control.selection.selectRun1();
    EXPECT_EQ(dm.QPulseSt.recordCount(), 2);
    EXPECT_EQ(dm.QPulseFn.recordCount(), 1);
    control.selection.selectRun2();
    EXPECT_EQ(dm.QPulseSt2.recordCount(), 2);
    EXPECT_EQ(pulseCount(), 4);
}
