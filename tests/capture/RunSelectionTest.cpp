#include "CaptureFixture.h"
#include "data/DbError.h"

#include <functional>

using namespace pistel;
using pistel::test::CaptureFixture;

namespace {
QStringList zeks(const Query& q) {
    QStringList out;
    const int c = q.rows().columnIndex(u"zek");
    for (int r = 0; r < q.recordCount(); ++r)
        out << q.text(r, c);
    return out;
}
} // namespace

class RunSelectionTest : public CaptureFixture {};

TEST_F(RunSelectionTest, Run1ListsAndBoxesBeforeAnyStart) {
    addStandardField();
    control.selection.selectRun1();
    EXPECT_EQ(app.currentRun, "1");
    // Classes descending, start order descending; the excluded competitor is absent.
    EXPECT_EQ(zeks(dm.Qdpst),
              (QStringList{"0003", "0002", "0001", "0005", "0004", "0008", "0007"}));
    EXPECT_EQ(dm.Qdpst.currentRow(), 2);
    EXPECT_EQ(control.page1.startBox(), "0001");
    // Nobody started: the finish list is empty, and the finish box names the first to
    // start, who will be the first to finish.
    EXPECT_EQ(dm.Qdpfn.recordCount(), 0);
    EXPECT_EQ(control.page1.finishBox(), "0001");
    EXPECT_TRUE(dm.QPulseSt.isOpen());
    EXPECT_TRUE(dm.QPulseFn.isOpen());
    // The results list shows the lowest class.
    EXPECT_EQ(control.resultsGridClass, 1);
    EXPECT_EQ(dm.QresultBib.recordCount(), 0);
}

TEST_F(RunSelectionTest, FinishBoxNamesTheEarliestStarterOnCourse) {
    addStandardField();
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='C1' and zek='0001'");
    exec("update result set sttime='10:00:30.0000', FL='S' where tcode='C1' and zek='0002'");
    exec("update result set sttime='10:01:00.0000', altime='10:02:00.0000', ttime='00:01:00.00', "
         "FL='F' where tcode='C1' and zek='0004'");
    control.selection.selectRun1();
    EXPECT_EQ(zeks(dm.Qdpfn), (QStringList{"0002", "0001", "0004"}));
    // Not the list's first row (0002 started later) nor a competitor without a start.
    EXPECT_EQ(dm.Qdpfn.currentRow(), 1);
    EXPECT_EQ(control.page1.finishBox(), "0001");
    EXPECT_EQ(control.page1.startBox(), "0003"); // lowest st1 without start time
    EXPECT_EQ(control.resultsGridClass, 1);
}

TEST_F(RunSelectionTest, NoStarterLeftKeepsTheStartListOnItsFirstRow) {
    addStandardField();
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='C1'");
    control.selection.selectRun1();
    EXPECT_EQ(dm.Qdpst.currentRow(), 0);
    EXPECT_EQ(control.page1.startBox(), "0003");
}

TEST_F(RunSelectionTest, ExcludedCompetitorAsNextBibLeavesTheFirstRow) {
    addStandardField();
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='C1' and zek<>'0006'");
    control.selection.selectRun1();
    EXPECT_EQ(control.page1.startBox(), "0003");
}

TEST_F(RunSelectionTest, Run2ListsHoldOnlyRun1Finishers) {
    addStandardField();
    exec("update result set sttime='10:00:00.0000', altime='10:01:00.0000', ttime='00:01:00.00',"
         " FL='F' where tcode='C1' and zek in ('0001','0002','0003','0006','0008')");
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='C1' and zek='0004'");
    control.selection.selectRun2();
    EXPECT_EQ(app.currentRun, "2");
    EXPECT_EQ(zeks(dm.Qdpst2), (QStringList{"0001", "0002", "0003", "0008"}));
    // Next starter: lowest st2 without run-2 start: 0003 (st2 1).
    EXPECT_EQ(control.page2.startBox(), "0003");
    EXPECT_EQ(dm.Qdpfn2.recordCount(), 0);
    EXPECT_EQ(control.page2.finishBox(), "0003");
    // No run time computed in this window yet: the results list shows class 0.
    EXPECT_EQ(dm.QresultBib2.statementText(),
              "select zek,class1,altime,altime2,ttime,ttime2,totaltime from result where "
              "tcode = 'C1'\nand (FL2 = 'F' or altime2 <> '' and sttime2 = '') and class1 = '0'\n"
              "order by altime2 desc,zek");
    EXPECT_EQ(dm.QresultBib2.recordCount(), 0);
}

TEST_F(RunSelectionTest, ImpulsesAppearInTheListsOfBothRuns) {
    addStandardField();
    exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
         "('C1',1,' ','0001','C0','10:00:00.0000'),('C1',2,' ','0001','C1','10:01:00.0000'),"
         "('C1',3,' ','0002','C0','10:00:30.0000'),('OTHER',4,' ','0001','C0','10:00:00.0000'),"
         "('C1',5,' ','0001','C5','10:00:40.0000')");
    control.selection.selectRun1();
    control.selection.selectRun2();
    for (Query* q : {&dm.QPulseSt, &dm.QPulseSt2}) {
        EXPECT_EQ(q->recordCount(), 2);
        EXPECT_EQ(q->fieldByName(u"dtime").asString(), "10:00:30.0000"); // newest first
    }
    EXPECT_EQ(dm.QPulseFn.recordCount(), 1);
    EXPECT_EQ(dm.QPulseFn2.recordCount(), 1);
}

TEST_F(RunSelectionTest, SelectingTwiceGivesTheSameListsAndBoxes) {
    addStandardField();
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='C1' and zek='0001'");
    control.selection.selectRun1();
    const QStringList start = zeks(dm.Qdpst), fin = zeks(dm.Qdpfn);
    const QString sb = control.page1.startBox(), fb = control.page1.finishBox();
    control.selection.selectRun1();
    EXPECT_EQ(zeks(dm.Qdpst), start);
    EXPECT_EQ(zeks(dm.Qdpfn), fin);
    EXPECT_EQ(control.page1.startBox(), sb);
    EXPECT_EQ(control.page1.finishBox(), fb);
}

// Start orders numbered per class, as race offices do: selecting a run again mid-race must
// leave the boxes on whoever really starts and finishes next.
TEST_F(RunSelectionTest, BoxesFollowTheClassOrderWithStartOrdersPerClass) {
    addCompetitors("C1", {{"0001", 1, 3, 3},
                          {"0002", 2, 2, 3},
                          {"0003", 3, 1, 3},
                          {"0004", 1, 2, 2},
                          {"0005", 2, 1, 2}});
    control.selection.selectRun1();
    EXPECT_EQ(control.page1.startBox(), "0001");
    line(start("?0000", "10:00:00.0000"));
    ASSERT_EQ(control.page1.startBox(), "0002");
    control.selection.selectRun2();
    control.selection.selectRun1();
    // Not 0004, the first starter of the next class.
    EXPECT_EQ(control.page1.startBox(), "0002");
    EXPECT_EQ(control.page1.finishBox(), "0001");
    line(start("?0000", "10:00:30.0000"));
    EXPECT_EQ(f("0002", "sttime"), "10:00:30.0000");
    EXPECT_EQ(f("0004", "sttime"), "");

    // Run 2: 0003 (st2 1) did not finish run 1, so 0002 (st2 2) starts first in class 3;
    // 0005 (st2 1 of class 2) finished run 1 but its class comes later.
    exec("update result set altime='10:01:00.0000', FL='F' where tcode='C1' and zek in "
         "('0001','0002','0004','0005')");
    control.selection.selectRun2();
    EXPECT_EQ(control.page2.startBox(), "0002");
    EXPECT_EQ(control.page2.finishBox(), "0002");
    line(start("?0000", "11:00:00.0000"));
    EXPECT_EQ(f("0002", "sttime2"), "11:00:00.0000");
    EXPECT_EQ(f("0003", "sttime2"), "");
    control.selection.selectRun1();
    control.selection.selectRun2();
    EXPECT_EQ(control.page2.startBox(), "0001");
    EXPECT_EQ(control.page2.finishBox(), "0002"); // on course
}

TEST_F(RunSelectionTest, EmptyCompetitionLeavesEverythingEmpty) {
    addCompetitors("OTHER", {{"0001", 1, 1, 1}});
    control.selection.selectRun1();
    for (Query* q : {&dm.Qdpst, &dm.Qdpfn, &dm.QPulseSt, &dm.QPulseFn, &dm.QresultBib})
        EXPECT_EQ(q->recordCount(), 0) << q->name().toStdString();
    EXPECT_EQ(control.page1.startBox(), "");
    EXPECT_EQ(control.page1.finishBox(), "");
    control.selection.selectRun2();
    for (Query* q : {&dm.Qdpst2, &dm.Qdpfn2, &dm.QPulseSt2, &dm.QPulseFn2, &dm.QresultBib2})
        EXPECT_EQ(q->recordCount(), 0) << q->name().toStdString();
    EXPECT_EQ(control.page2.startBox(), "");
    EXPECT_EQ(control.page2.finishBox(), "");
}

TEST_F(RunSelectionTest, BoxRuleFollowsEveryChangeOfTheCurrentRow) {
    addStandardField();
    control.selection.selectRun1();
    dm.Qdpst.first();
    EXPECT_EQ(control.page1.startBox(), "0003");
    dm.Qdpst.next();
    EXPECT_EQ(control.page1.startBox(), "0002");
    control.page1.setStartBox("typed");
    dm.Qdpst.locate(u"zek", "0007");
    EXPECT_EQ(control.page1.startBox(), "0007");
    dm.Qdpst.locate(u"zek", "9999"); // no match: nothing changes
    EXPECT_EQ(control.page1.startBox(), "0007");
    dm.Qdpst.close(); // a closed list does not touch its box
    EXPECT_EQ(control.page1.startBox(), "0007");
    // The run-2 lists drive only the run-2 boxes.
    control.selection.selectRun2();
    EXPECT_EQ(control.page1.startBox(), "0007");
}

TEST_F(RunSelectionTest, FailedStatementAbortsTheSelectionAfterSettingTheRun) {
    addStandardField();
    exec("alter table result change altime altime_renamed varchar(13) not null default ''");
    struct Restore {
        std::function<void()> undo;
        ~Restore() { undo(); }
    } restore{[this] {
        exec("alter table result change altime_renamed altime varchar(13) not null default ''");
    }};
    EXPECT_THROW(control.selection.selectRun1(), DbError);
    EXPECT_EQ(app.currentRun, "1");
    EXPECT_TRUE(dm.Qdpst.isOpen()); // the lists built before the failing step stay
    EXPECT_FALSE(dm.QPulseSt.isOpen());
}
