// The lists are brought up to date by what a line changed, not read whole. A second
// workstation state whose lists are always read whole races the same lines on another
// competition; after every line both must show the same rows, in the same order, with the
// same current row and boxes, and every list must equal a fresh read of its statement.
#include "CaptureFixture.h"
#include "CorrectedRaceData.h"
#include "support/ScriptedDialog.h"

using namespace pistel;
using pistel::test::CaptureFixture;
using pistel::test::ScriptedDialog;

class IncrementalListsTest : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        dm2.Db1.open(connectionString(qEnvironmentVariable("PISTEL_TEST_DSN", "PistelTest")));
        app2.competitionCode = "C2";
        app2.timerPortOpen = true;
        handler2.setCapture(&control2);
        for (Query* q : pageLists(control2.page1) + pageLists(control2.page2))
            q->setIncremental(false);
        addCompetition("C2");
        QList<test::Competitor> field;
        for (const auto& c : test::kCorrectedField)
            field.append({c.zek, c.st1, c.st2, c.class1});
        addCompetitors("C1", field);
        addCompetitors("C2", field);
        control.dialog = &dialog;
        control2.dialog = &dialog;
    }
    static QList<Query*> pageLists(RunPage& p) {
        return {&p.startList, &p.finishList, &p.startPulses, &p.finishPulses, &p.results};
    }
    // Both workstations get the line; then everything the operator sees is compared.
    void both(const QString& text) {
        line(text);
        port2.push(text.toLatin1() + '\r');
        handler2.CommX1Receive(port2.InQueCount());
        compare(text);
    }
    template <typename F> void bothDo(F action, const QString& what) {
        action(control);
        action(control2);
        compare(what);
    }
    // Rows of a list without the impulse ids, which differ between the competitions.
    static QStringList shown(const Query& q) {
        QStringList out;
        for (int r = 0; r < q.recordCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < q.rows().columnCount(); ++c)
                if (q.rows().columnName(c).compare("id", Qt::CaseInsensitive) != 0)
                    cells << q.text(r, c);
            out << cells.join('|');
        }
        return out;
    }
    void compare(const QString& after) {
        SCOPED_TRACE(after.toStdString());
        ++compared;
        RunPage& p = control.currentPage();
        RunPage& full = control2.currentPage();
        ASSERT_EQ(p.run(), full.run());
        EXPECT_EQ(p.startBox(), full.startBox());
        EXPECT_EQ(p.finishBox(), full.finishBox());
        const QList<Query*> mine = pageLists(p), theirs = pageLists(full);
        for (int i = 0; i < mine.size(); ++i) {
            Query& q = *mine[i];
            SCOPED_TRACE(q.name().toStdString());
            EXPECT_EQ(q.isOpen(), theirs[i]->isOpen());
            if (!q.isOpen())
                continue;
            EXPECT_EQ(shown(q), shown(*theirs[i]));
            EXPECT_EQ(q.currentRow(), theirs[i]->currentRow());
            Query fresh(dm.Db1, "fresh", q.sql());
            fresh.open();
            ASSERT_EQ(fresh.recordCount(), q.recordCount());
            for (int r = 0; r < q.recordCount(); ++r)
                for (int c = 0; c < q.rows().columnCount(); ++c)
                    ASSERT_EQ(q.text(r, c), fresh.text(r, c)) << "row " << r << " column " << c;
        }
    }

    AppState app2;
    TDM1 dm2;
    RunControl control2{app2, dm2};
    QueueByteSource port2;
    ReceiveHandler handler2{app2, dm2, port2, nullptr};
    ScriptedDialog dialog;
    int compared = 0;
};

TEST_F(IncrementalListsTest, AWholeRaceShowsWhatAFullReadShows) {
    bothDo([](RunControl& c) { c.selection.selectRun1(); }, "run 1 selected");
    const auto& run1 = test::kCorrectedRun1;
    for (size_t i = 0; i < std::size(run1); ++i) {
        both(run1[i]);
        if (i == 12) {
            // The operator corrects by hand: a start time cancelled and given again.
            bothDo(
                [](RunControl& c) {
                    c.selection.findStartBib(c.page1, "4");
                    c.corrections.cancelStartTime();
                },
                "N3");
            bothDo(
                [](RunControl& c) {
                    ASSERT_TRUE(c.page1.startPulses.locate(u"dtime", "10:02:00.0000"));
                    c.selection.findStartBib(c.page1, "4");
                    c.corrections.assignStartImpulse();
                },
                "N1");
        }
    }
    bothDo([](RunControl& c) { c.selection.selectRun2(); }, "run 2 selected");
    for (const char* l : test::kCorrectedRun2)
        both(l);
    // Run 2 again from the start after a reset, in manual mode on the finish side.
    dialog.answers = {true, true};
    bothDo([](RunControl& c) { c.resets.resetRunData(); }, "run 2 reset");
    bothDo([](RunControl& c) { c.page2.setFinishMode(RunPage::Manual); }, "manual finish");
    for (const char* l : test::kCorrectedRun2)
        both(l);
    bothDo(
        [](RunControl& c) {
            ASSERT_TRUE(c.page2.finishPulses.locate(u"dtime", "11:05:04.0400"));
            c.selection.findFinishBib(c.page2, "5");
            c.corrections.assignFinishImpulse();
        },
        "N2");
    bothDo([](RunControl& c) { c.corrections.cancelFinishTime(); }, "N4");
    EXPECT_GT(compared, 90);
}
