// Drill: while the operator is asked a question, the timer goes on and its lines are captured
// (the scripted answerer sends a line through the pseudo-terminal and lets it be handled
// before answering, as a real box's event loop does). The answer never undoes the line: the
// command either does nothing (and says so) or acts on the rows as they stand after it.
#include "PtyCaptureFixture.h"
#include "support/ScriptedDialog.h"

using namespace pistel;
using pistel::test::PtyCaptureFixture;

class QuestionDrill : public PtyCaptureFixture {
protected:
    void SetUp() override {
        PtyCaptureFixture::SetUp();
        addCompetitors("C1", {{"0001", 1, 1, 1}, {"0002", 2, 2, 1}, {"0003", 3, 3, 1}});
        startStation();
    }
    // The next question is answered `answer` after `line` came in and was handled.
    void answerAfter(const QByteArray& line, bool answer) {
        dialog.answers = {answer};
        dialog.whileAsked = [this, line] { send(line); };
    }
    QString impulse(const char* channel, const char* time) {
        return scalar(QStringLiteral("select id from pulsedata where stat='%1' and dtime='%2'")
                          .arg(channel, time));
    }
};

TEST_F(QuestionDrill, EndOfRunOfferLeavesOutWhoFinishedMeanwhile) {
    send(" 0001 C0  10:00:00.0000 00");
    send(" 0002 C0  10:00:30.0000 00");
    send(" 0001 C1  10:01:00.0000 00");
    // Offered: DNS for 0003 (answered at once), then DNF for 0002, whose finish comes in
    // while that offer is open.
    dialog.answers = {true, true};
    dialog.whileAsked = [this] {
        dialog.whileAsked = [this] { send(" 0002 C1  10:01:31.0000 00"); };
    };
    EXPECT_EQ(control.statusControl.offerEndOfRun(1), 1); // 0003 only
    EXPECT_EQ(dialog.asked.size(), 2);
    EXPECT_EQ(f("0002", "ttime"), "00:01:01.00");
    EXPECT_FALSE(control.statuses(1).contains("0002"));
    EXPECT_EQ(control.statuses(1).value("0003").code, "DNS");
    ASSERT_EQ(dialog.messages.size(), 1);
    EXPECT_TRUE(dialog.messages[0].contains("0002"));
    // Offered again: nothing left to mark, and the operator is told so.
    send(" 0001 C0  10:02:00.0000 00"); // (a stray start: 0001 has one, logged only)
    EXPECT_EQ(control.statusControl.offerEndOfRun(1), 0);
    EXPECT_EQ(dialog.asked.size(), 2);
    EXPECT_EQ(dialog.messages.last(), "1本目: 欠場(DNS)・途中棄権(DNF)にする選手はいません。");
}

TEST_F(QuestionDrill, RevertStopsWhenALineChangedTheCompetitorMeanwhile) {
    send(" 0001 C0  10:00:00.0000 00");
    control.corrections.cancelStartTime("0001"); // a false start cleared by hand
    const QString entry = scalar("select max(id) from change_history where zek='0001'");
    send(" 0001 C0  10:02:00.0000 00"); // the restart: 0001 changed since the entry
    // "Changed since, revert anyway?" is open when 0001's finish comes in.
    answerAfter(" 0001 C1  10:03:00.0000 00", true);
    EXPECT_FALSE(control.corrections.revertChange(entry.toLongLong()));
    EXPECT_EQ(rows("select sttime,altime,ttime,FL from result where tcode='C1' and zek='0001'"),
              QStringList{"10:02:00.0000|10:03:00.0000|00:01:00.00|F"});
    ASSERT_EQ(dialog.messages.size(), 1);
    EXPECT_TRUE(dialog.messages[0].contains("0001"));
    // Asked again with the facts as they stand now, the revert acts on them.
    dialog.answers = {true};
    EXPECT_TRUE(control.corrections.revertChange(entry.toLongLong()));
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.0000");
    EXPECT_EQ(f("0001", "ttime"), "00:03:00.00");
}

TEST_F(QuestionDrill, HandAssignmentsNeverOverwriteALineOfTheQuestionsTime) {
    send(" 0001 C0  10:00:00.0000 00");
    send("?0000 C1  10:00:10.0000 00");           // a stray finish impulse, given to 0001 on course
    control.corrections.cancelFinishTime("0001"); // the operator clears it
    // N2 of that impulse for 0002, who started after it, asks "finish before start?"; 0002's
    // real finish comes in meanwhile.
    send(" 0002 C0  10:00:30.0000 00");
    control.selection.findFinishBib(control.page1, "2");
    answerAfter(" 0002 C1  10:01:30.5000 00", true);
    control.corrections.assignFinishImpulse(impulse("C1", "10:00:10.0000"));
    EXPECT_EQ(rows("select altime,ttime from result where tcode='C1' and zek='0002'"),
              QStringList{"10:01:30.5000|00:01:00.50"});
    ASSERT_EQ(dialog.messages.size(), 1);

    // N1 of 0001's start impulse for 0003 asks "already 0001's": 0003 starts meanwhile.
    control.selection.findStartBib(control.page1, "3");
    answerAfter(" 0003 C0  10:02:00.0000 00", true);
    control.corrections.assignStartImpulse(impulse("C0", "10:00:00.0000"));
    EXPECT_EQ(f("0003", "sttime"), "10:02:00.0000");
    EXPECT_EQ(dialog.messages.size(), 2);
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.0000");
}

TEST_F(QuestionDrill, AResetNeverWipesALineOfTheQuestionsTime) {
    send(" 0001 C0  10:00:00.0000 00");
    send(" 0001 C1  10:01:00.0000 00");
    // 0002 starts while "delete all times?" is open: nothing is deleted, the operator told.
    answerAfter(" 0002 C0  10:02:00.0000 00", true);
    control.resets.resetRunData();
    EXPECT_EQ(f("0001", "ttime"), "00:01:00.00");
    EXPECT_EQ(f("0002", "sttime"), "10:02:00.0000");
    ASSERT_EQ(dialog.messages.size(), 1);
    // Asked again: the times go; a line that comes in while "delete the impulses too?" is
    // open keeps its impulse row.
    dialog.answers = {true, true};
    dialog.whileAsked = [this] {
        dialog.whileAsked = [this] { send("?0000 C0  10:03:00.0000 00"); };
    };
    control.resets.resetRunData();
    EXPECT_EQ(scalar("select count(*) from result where sttime<>'' and sttime<>'10:03:00.0000'"),
              "0");
    EXPECT_EQ(rows("select dtime from pulsedata"), QStringList{"10:03:00.0000"});
}
