#include "CaptureFixture.h"

using namespace pistel;
using pistel::test::CaptureFixture;

class RunTimeTest : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        addStandardField();
    }
    void times(const QString& zek, const QString& assignments) {
        exec("update result set " + assignments + " where tcode='C1' and zek='" + zek + "'");
    }
};

TEST_F(RunTimeTest, Run1TimeItsPartsAndTotal) {
    times("0001", "sttime='10:00:00.0000', altime='10:01:05.1299', FL='S'");
    control.corrections.calcruntime("0001", 1);
    EXPECT_EQ(rows("select ttime,totaltime,TH,TM,TS,TMS,FL,FL2,ttime2 from result where "
                   "tcode='C1' and zek='0001'"),
              QStringList{"00:01:05.12|00:01:05.12|00|01|05|12|F|N|"});
    EXPECT_EQ(control.lastFinisherClass, 3);
    expectOtherUntouched();
}

TEST_F(RunTimeTest, Run2TimeAndTotal) {
    times("0001", "ttime='00:01:05.12', totaltime='00:01:05.12', FL='F', "
                  "sttime2='13:00:00.0000', altime2='13:01:04.9500', FL2='S'");
    control.corrections.calcruntime("0001", 2);
    EXPECT_EQ(rows("select ttime,ttime2,totaltime,TH2,TM2,TS2,TMS2,FL2 from result where "
                   "tcode='C1' and zek='0001'"),
              QStringList{"00:01:05.12|00:01:04.95|00:02:10.07|00|01|04|95|F"});
}

TEST_F(RunTimeTest, Run2WithoutRun1TimeTotalsTheRun2Time) {
    times("0002", "sttime2='13:00:00.0000', altime2='13:01:04.9500'");
    control.corrections.calcruntime("0002", 2);
    EXPECT_EQ(f("0002", "totaltime"), "00:01:04.95");
}

// Never the time of day as a run time: the finish waits for its start, and a stale run time
// (and total) of the run goes.
TEST_F(RunTimeTest, FinishWithoutStartHasNoRunTime) {
    times("0003", "altime='10:15:30.1200', ttime='00:01:00.00', TH='00', ttime2='00:00:50.00', "
                  "totaltime='00:01:50.00'");
    control.corrections.calcruntime("0003", 1);
    EXPECT_EQ(rows("select ttime,TH,totaltime,FL from result where tcode='C1' and zek='0003'"),
              QStringList{"||00:00:50.00|S"});
    times("0003", "sttime='10:14:30.0000'");
    control.corrections.calcruntime("0003", 1);
    EXPECT_EQ(rows("select ttime,TH,totaltime,FL from result where tcode='C1' and zek='0003'"),
              QStringList{"00:01:00.12|00|00:01:50.12|F"});
}

TEST_F(RunTimeTest, RunAcrossMidnight) {
    times("0003", "sttime='23:59:30.0000', altime='00:00:35.5099'");
    control.corrections.calcruntime("0003", 1);
    EXPECT_EQ(f("0003", "ttime"), "00:01:05.50");
}

TEST_F(RunTimeTest, ResultsListFollowsTheClassOfTheLastFinisher) {
    control.selection.selectRun1();
    ASSERT_EQ(control.resultsGridClass, 1);
    times("0001", "sttime='10:00:00.0000', altime='10:01:00.0000'");
    times("0002", "sttime='10:00:30.0000', altime='10:01:40.0000'");
    times("0004", "sttime='10:01:00.0000', altime='10:02:10.0000'");
    control.corrections.calcruntime("0001", 1);
    EXPECT_EQ(control.resultsGridClass, 3);
    const QString statement = dm.QresultBib.statementText();
    EXPECT_EQ(statement,
              "select zek,class1,altime,altime2,ttime,ttime2,totaltime from result where "
              "tcode = 'C1'\nand (FL = 'F' or altime <> '' and sttime = '') and class1 = '3'\n"
              "order by altime desc,zek");
    EXPECT_EQ(dm.QresultBib.recordCount(), 1);
    control.corrections.calcruntime("0002", 1); // same class: only re-read, newest finish first
    EXPECT_EQ(dm.QresultBib.statementText(), statement);
    EXPECT_EQ(dm.QresultBib.recordCount(), 2);
    EXPECT_EQ(dm.QresultBib.fieldByName(u"zek").asString(), "0002");
    control.corrections.calcruntime("0004", 1); // another class switches the list
    EXPECT_EQ(control.resultsGridClass, 2);
    EXPECT_EQ(dm.QresultBib.recordCount(), 1);
    EXPECT_EQ(dm.QresultBib.fieldByName(u"zek").asString(), "0004");
}

TEST_F(RunTimeTest, UnknownBibChangesNothing) {
    control.corrections.calcruntime("0099", 1);
    control.corrections.calcruntime("0099", 2);
    EXPECT_EQ(control.lastFinisherClass, 0);
    EXPECT_EQ(scalar("select count(*) from result where ttime<>'' or FL<>'N'"), "0");
}

TEST_F(RunTimeTest, ComputingAgainOverwritesEveryColumn) {
    times("0001", "sttime='10:00:00.0000', altime='10:01:00.0000'");
    control.corrections.calcruntime("0001", 1);
    times("0001", "altime='10:02:03.4567'");
    control.corrections.calcruntime("0001", 1);
    EXPECT_EQ(rows("select ttime,totaltime,TM,TS,TMS from result where tcode='C1' and "
                   "zek='0001'"),
              QStringList{"00:02:03.45|00:02:03.45|02|03|45"});
}

TEST_F(RunTimeTest, Run1AgainAfterRun2KeepsTheRun2TimeInTheTotal) {
    times("0001", "sttime='10:00:00.0000', altime='10:01:00.0000', ttime2='00:01:05.12', "
                  "FL2='F'");
    control.corrections.calcruntime("0001", 1);
    EXPECT_EQ(f("0001", "ttime"), "00:01:00.00");
    EXPECT_EQ(f("0001", "totaltime"), "00:02:05.12");
}
