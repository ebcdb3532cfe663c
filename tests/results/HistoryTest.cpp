// Every path that changes a stored time or status leaves exactly one history row per
// competitor it changed, with the row as it was and as it became; a reversion puts the row
// back exactly; times set by hand are marked.
#include "CaptureFixture.h"
#include "results/ChangeHistory.h"
#include "results/Race.h"
#include "results/StatusChange.h"
#include "support/ScriptedDialog.h"

#include <QSignalSpy>

namespace pistel::test {
namespace {

class HistoryTest : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        control.dialog = &dialog;
        addStandardField();
    }

    // What the history must hold, read with SQL of the test's own: the competitor's times,
    // states, time parts, the columns a reset clears, hand times and statuses.
    QMap<QString, QString> stored(const QString& zek) {
        QMap<QString, QString> m;
        const QStringList columns = RowSnapshot::resultColumns();
        const QStringList values = rows("select " + columns.join(',') +
                                        " from result where tcode='C1' and zek='" + zek + "'")
                                       .value(0)
                                       .split('|');
        for (int i = 0; i < columns.size(); ++i)
            m[columns[i]] = values.value(i);
        m["HANDTM"] = rows("select group_concat(concat(run,'|',htime) order by id separator ';') "
                           "from handtm where tcode='C1' and zek='" +
                           zek + "'")
                          .value(0);
        for (int run = 1; run <= 2; ++run)
            m[QString("STATUS%1").arg(run)] =
                rows(QString("select concat(code,'|',gate,'|',reason) from run_status where "
                             "tcode='C1' and zek='%1' and run=%2")
                         .arg(zek)
                         .arg(run))
                    .value(0);
        return m;
    }
    int historyRows() { return scalar("select count(*) from change_history").toInt(); }

    // Runs `step` and expects exactly one new history row, for `zek`, from `source`, that
    // holds the stored row before and after the step.
    template <typename Step> void expectOneRow(const char* source, const QString& zek, Step step) {
        SCOPED_TRACE(source);
        const int count = historyRows();
        const QMap<QString, QString> before = stored(zek);
        step();
        const QMap<QString, QString> after = stored(zek);
        ASSERT_EQ(historyRows(), count + 1);
        const QStringList row =
            rows("select zek,source,before_row,after_row,host from change_history order by id "
                 "desc limit 1")
                .value(0)
                .split('|');
        EXPECT_EQ(row[0], zek);
        EXPECT_EQ(row[1], source);
        EXPECT_EQ(RowSnapshot::decode(row[2]).stored().values, before);
        EXPECT_EQ(RowSnapshot::decode(row[3]).stored().values, after);
        EXPECT_NE(before, after);
        EXPECT_FALSE(row[4].isEmpty());
    }
    void expectNoRow(const std::function<void()>& step) {
        const int count = historyRows();
        step();
        EXPECT_EQ(historyRows(), count);
    }
    QString impulse(const QString& channel, const QString& time) {
        return scalar("select id from pulsedata where tcode='C1' and stat='" + channel +
                      "' and dtime='" + time + "'");
    }
    pistel::Competitor manual(const QString& zek) {
        Race race;
        EXPECT_TRUE(readRace(dm.Db1, "C1", race));
        for (const pistel::Competitor& c : race.competitors)
            if (c.zek == zek)
                return c;
        ADD_FAILURE() << "no competitor " << zek.toStdString();
        return {};
    }

    ScriptedDialog dialog;
};

TEST_F(HistoryTest, EveryChangeThatIsNotAValidTimerLineIsRecordedOnceAndCanBeReverted) {
    control.selection.selectRun1();
    // Valid timer lines are the record themselves: no history.
    expectNoRow([&] {
        line(start(" 0001", "10:00:00.0000"));
        line(finish(" 0001", "10:01:05.1299"));
        line(start(" 0002", "10:01:00.0000"));
    });
    EXPECT_FALSE(manual("0001").manualRun(1));

    // The operator clears and assigns again.
    expectOneRow("N3", "0001", [&] { control.corrections.cancelStartTime("0001"); });
    control.page1.setStartBox("0001");
    expectOneRow("N1", "0001",
                 [&] { control.corrections.assignStartImpulse(impulse("C0", "10:00:00.0000")); });
    EXPECT_TRUE(manual("0001").manualStart[0]);
    EXPECT_FALSE(manual("0001").manualFinish[0]);
    expectOneRow("N4", "0001", [&] { control.corrections.cancelFinishTime("0001"); });
    const QStringList beforeN2 = rows("select * from result where tcode='C1' and zek='0001'");
    control.page1.setFinishBox("0001");
    expectOneRow("N2", "0001",
                 [&] { control.corrections.assignFinishImpulse(impulse("C1", "10:01:05.1299")); });
    EXPECT_EQ(f("0001", "ttime"), "00:01:05.12");
    EXPECT_TRUE(manual("0001").manualRun(1));

    // The timer's own corrections: a time entered on it, a line taken back.
    expectOneRow("edited", "0003", [&] { line("i0003 C0  10:02:00.0000 00"); });
    EXPECT_TRUE(manual("0003").manualStart[0]);
    expectOneRow("takeback", "0002", [&] { line("c0002 C0  10:01:00.0000 00"); });
    EXPECT_EQ(f("0002", "sttime"), "");
    EXPECT_FALSE(manual("0002").manualRun(1));

    // Statuses, from the window and from the command line's path.
    expectOneRow("status", "0005", [&] {
        EXPECT_TRUE(control.statusControl.setStatus("0005", 1, {"DSQ", "12", "旗門不通過'\\"}));
    });
    EXPECT_EQ(control.statuses(1).value("0005").reason, "旗門不通過'\\");
    expectOneRow("status", "0005", [&] { EXPECT_TRUE(changeStatus(dm.Db1, "C1", "0005", 1, {})); });
    expectNoRow([&] { EXPECT_TRUE(changeStatus(dm.Db1, "C1", "0005", 1, {})); });
    EXPECT_FALSE(changeStatus(dm.Db1, "C1", "9999", 1, {"DNS", {}, {}}));
    // DNS on a competitor with a start asks first; "no" stores nothing.
    dialog.answers = {false};
    expectNoRow([&] { EXPECT_FALSE(control.statusControl.setStatus("0001", 1, {"DNS", {}, {}})); });
    ASSERT_EQ(dialog.asked.size(), 1);

    // Reverting the finish assignment puts the row back exactly, as a change of its own.
    const QString n2 = scalar("select id from change_history where source='N2'");
    expectOneRow("revert", "0001",
                 [&] { EXPECT_TRUE(control.corrections.revertChange(n2.toLongLong())); });
    EXPECT_EQ(rows("select * from result where tcode='C1' and zek='0001'"), beforeN2);
    // ... and reverting the reversion gives the finish back, marked as set by hand.
    const QString revert = scalar("select max(id) from change_history where source='revert'");
    expectOneRow("revert", "0001", [&] { control.corrections.revertChange(revert.toLongLong()); });
    EXPECT_EQ(f("0001", "ttime"), "00:01:05.12");
    EXPECT_TRUE(manual("0001").manualFinish[0]);

    // The status cleared and reverted comes back with its gate and reason; reverting that
    // clears it again.
    const QString cleared = scalar("select max(id) from change_history where source='status'");
    expectOneRow("revert", "0005", [&] { control.corrections.revertChange(cleared.toLongLong()); });
    EXPECT_EQ(stored("0005")["STATUS1"], "DSQ|12|旗門不通過'\\");
    const QString dsq = scalar("select min(id) from change_history where source='status'");
    expectOneRow("revert", "0005", [&] { control.corrections.revertChange(dsq.toLongLong()); });
    EXPECT_EQ(stored("0005")["STATUS1"], "");
    EXPECT_TRUE(control.statuses(1).isEmpty());

    // A reset: one row for each competitor it changed, none for the others.
    const int count = historyRows();
    dialog.answers = {true, false};
    control.resets.resetRunData();
    EXPECT_EQ(historyRows(), count + 2); // 0001 and 0003 had times
    EXPECT_EQ(scalar("select group_concat(zek order by zek) from change_history where "
                     "source='reset'"),
              "0001,0003");
    EXPECT_EQ(scalar("select count(*) from run_status"), "0");
    EXPECT_FALSE(manual("0001").manualRun(1)); // the time is gone, and with it the mark
    expectOtherUntouched();
}

// Reverts restore what their change changed, the impulse's unassigned mark and the kind of
// a time included, and a revert of a revert restores again.
TEST_F(HistoryTest, RevertsRestoreTheImpulseMarkAndTheKindOfTime) {
    control.selection.selectRun1();
    line(start(" 0001", "10:00:00.0000"));
    control.page1.setFinishMode(RunPage::Manual);
    line(finish("?0000", "10:01:00.0000"));
    // Manual mode: the finish is not assigned by the capture; a stray impulse is marked.
    exec("insert into pulse_unassigned (pulse_id,tcode,reason) select id,tcode,'テスト理由' "
         "from pulsedata where stat='C1'");
    control.rereadUnassigned();
    ASSERT_EQ(control.unassigned().size(), 1);
    control.page1.setFinishBox("0001");
    control.corrections.assignFinishImpulse(impulse("C1", "10:01:00.0000"));
    EXPECT_TRUE(control.unassigned().isEmpty());
    const QString n2 = scalar("select id from change_history where source='N2'");
    EXPECT_TRUE(control.corrections.revertChange(n2.toLongLong()));
    EXPECT_EQ(f("0001", "altime"), "");
    EXPECT_EQ(rows("select reason from pulse_unassigned"), QStringList{"テスト理由"});
    control.rereadUnassigned();
    EXPECT_EQ(control.unassigned().size(), 1); // back on the operator's list
    const QString reversion = scalar("select max(id) from change_history where source='revert'");
    EXPECT_TRUE(control.corrections.revertChange(reversion.toLongLong()));
    EXPECT_EQ(f("0001", "ttime"), "00:01:00.00");
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned"), "0");

    // A replacement start cleared by N3 and brought back by a revert stays a replacement
    // (never a time set by hand, which backup timing would take for the timer's own).
    ASSERT_TRUE(control.corrections.applyReplacement("0002", 1, true, "10:00:30.0000"));
    EXPECT_EQ(control.manualTimes().value("0002").value("STTIME"), "backup");
    control.corrections.cancelStartTime("0002");
    control.rereadMarks();
    EXPECT_FALSE(control.manualTimes().value("0002").contains("STTIME"));
    const QString n3 = scalar("select max(id) from change_history where source='N3'");
    EXPECT_TRUE(control.corrections.revertChange(n3.toLongLong()));
    control.rereadMarks();
    EXPECT_EQ(control.manualTimes().value("0002").value("STTIME"), "backup");
    EXPECT_TRUE(manual("0002").replaced[0]);
    // The timer's own time cleared and reverted is the timer's again: no mark at all.
    control.corrections.cancelStartTime("0001");
    const QString clearing = scalar("select max(id) from change_history where source='N3'");
    EXPECT_TRUE(control.corrections.revertChange(clearing.toLongLong()));
    control.rereadMarks();
    EXPECT_FALSE(control.manualTimes().value("0001").contains("STTIME"));
}

TEST_F(HistoryTest, ARevertAfterLaterChangesPutsBackOnlyWhatTheEntryChanged) {
    control.selection.selectRun1();
    line(start(" 0001", "10:00:00.0000"));
    line(finish(" 0001", "10:01:00.0000"));
    control.page1.setFinishMode(RunPage::Manual);
    line(finish("?0000", "10:01:02.5000")); // a second finish impulse, not assigned
    control.corrections.cancelFinishTime("0001");
    control.page1.setFinishBox("0001");
    control.corrections.assignFinishImpulse(impulse("C1", "10:01:02.5000"));
    EXPECT_EQ(f("0001", "ttime"), "00:01:02.50");
    const QString n4 = scalar("select id from change_history where source='N4'");
    // The finish changed again since the clearing: reverting the clearing asks, then brings
    // back the first finish with the run time it gives.
    dialog.answers = {true};
    EXPECT_TRUE(control.corrections.revertChange(n4.toLongLong()));
    EXPECT_EQ(dialog.asked.size(), 1);
    EXPECT_EQ(f("0001", "altime"), "10:01:00.0000");
    EXPECT_EQ(f("0001", "ttime"), "00:01:00.00");
    EXPECT_EQ(f("0001", "totaltime"), "00:01:00.00");
    EXPECT_EQ(f("0001", "TS"), "00");
    EXPECT_EQ(f("0001", "FL"), "F");
}

TEST_F(HistoryTest, RunOneStatusesDecideWhoStartsRunTwo) {
    control.selection.selectRun1();
    for (const char* bib : {"0001", "0002", "0003"}) {
        line(start(QString(" ") + bib, "10:00:00.0000"));
        line(finish(QString(" ") + bib, "10:01:00.0000"));
    }
    // A competitor with a status in the run gets no automatic time: the finish of 0004, DNF,
    // is only logged, unassigned. The operator who assigns it by hand is asked, and the status
    // goes when the time stays.
    line(start(" 0004", "10:05:00.0000"));
    EXPECT_TRUE(control.statusControl.setStatus("0004", 1, {"DNF", {}, {}}));
    line(finish(" 0004", "10:06:00.0000"));
    EXPECT_EQ(f("0004", "altime"), "");
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned"), "1");
    control.selection.findFinishBib(control.page1, "4");
    dialog.answers = {true};
    control.corrections.assignFinishImpulse(impulse("C1", "10:06:00.0000"));
    EXPECT_EQ(f("0004", "ttime"), "00:01:00.00");
    EXPECT_FALSE(control.statuses(1).contains("0004"));
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned"), "0");
    dialog.asked.clear();

    dialog.answers = {true};
    // A DNF on a competitor with a run time asks; a DSQ does not.
    EXPECT_TRUE(control.statusControl.setStatus("0002", 1, {"DNF", {}, {}}));
    EXPECT_TRUE(control.statusControl.setStatus("0003", 1, {"DSQ", "7", {}}));
    EXPECT_EQ(dialog.asked.size(), 1);
    control.selection.selectRun2();
    EXPECT_EQ(control.page2.startList.recordCount(), 2); // 0001, and 0004 of class 2
    EXPECT_EQ(control.page2.startBox(), "0001");
    // A disqualified competitor's start in run 2 is not captured.
    line(start(" 0003", "11:00:00.0000"));
    EXPECT_EQ(f("0003", "sttime2"), "");
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned"), "1");
    // The end of run 1 offers nobody (all have a time or a status); run 2 offers 0001 as DNS.
    EXPECT_EQ(control.statusControl.endOfRunCandidates(1, 3).dns, QStringList{});
    EXPECT_EQ(control.statusControl.endOfRunCandidates(2, 3).dns, QStringList{"0001"});
    // Clearing the DSQ lets 0003 start run 2 again.
    EXPECT_TRUE(control.statusControl.setStatus("0003", 1, {}));
    control.selection.selectRun2();
    EXPECT_EQ(control.page2.startList.recordCount(), 3);
}

} // namespace
} // namespace pistel::test
