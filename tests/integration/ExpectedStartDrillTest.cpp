// Drill through a real pseudo-terminal: the start referee reports non-starters before they
// are due, a forerunner runs between competitors, a start is taken back and restarted, a
// start impulse is lost, and the timer prints its times with 1/10 to 1/10000 s. Every start
// and finish must land on its competitor and every run time equal the timer's.
#include "PtyCaptureFixture.h"

#include <QRandomGenerator>

using namespace pistel;
using pistel::test::PtyCaptureFixture;

namespace {
// A line as the device prints it: the time left-aligned in its 13 places, blanks after.
QByteArray timerLine(const char* flagAndBib, const char* channel, const char* time) {
    return QByteArray(flagAndBib) + ' ' + channel + "  " + QByteArray(time).leftJustified(13, ' ') +
           " 00";
}
} // namespace

class ExpectedStartDrill : public PtyCaptureFixture {
protected:
    void SetUp() override {
        PtyCaptureFixture::SetUp();
        // Class 3 races first: 0007 is a forerunner (excluded from the lists) between 0002
        // and 0003. Then class 2, then class 1.
        addCompetitors("C1", {{"0001", 1, 1, 3},
                              {"0002", 2, 2, 3},
                              {"0007", 3, 3, 3, "9"},
                              {"0003", 4, 4, 3},
                              {"0004", 5, 5, 3},
                              {"0005", 6, 6, 3},
                              {"0011", 1, 1, 2},
                              {"0012", 2, 2, 2},
                              {"0013", 3, 3, 2},
                              {"0014", 4, 4, 2},
                              {"0021", 1, 1, 1},
                              {"0022", 2, 2, 1}});
    }
};

TEST_F(ExpectedStartDrill, NonStartersForerunnerRestartAndEveryPrecision) {
    startStation();
    RunPage& p = control.page1;
    ASSERT_EQ(p.startBox(), "0001");

    // The start referee's reports: 0002 and 0005 will not start; 0001 is reported and then
    // found at the start after all. The box never waits for a non-starter.
    ASSERT_TRUE(control.statusControl.setStatus("0002", 1, {"DNS", {}, {}}));
    ASSERT_TRUE(control.statusControl.setStatus("0005", 1, {"DNS", {}, {}}));
    ASSERT_TRUE(control.statusControl.setStatus("0001", 1, {"DNS", {}, {}}));
    EXPECT_EQ(p.startBox(), "0003"); // not 0002 (DNS) nor the forerunner 0007
    ASSERT_TRUE(control.statusControl.setStatus("0001", 1, {}));
    EXPECT_EQ(p.startBox(), "0001"); // back in order
    EXPECT_EQ(p.finishBox(), "0001");

    send(timerLine("?0000", "C0", "10:00:00.1")); // 0001, tenths
    EXPECT_EQ(p.startBox(), "0003");
    send(timerLine(" 0007", "C0", "10:00:20.12")); // the forerunner: logged only
    EXPECT_EQ(p.startBox(), "0003");
    send(timerLine("?0000", "C0", "10:00:40.123"));  // 0003, thousandths
    send(timerLine("?0000", "C1", "10:01:05.1234")); // 0001: 65.0234 s -> 1:05.02
    EXPECT_EQ(p.finishBox(), "0003");
    send(timerLine(" 0007", "C1", "10:01:20.5")); // the forerunner's finish: logged only
    EXPECT_EQ(p.finishBox(), "0003");
    send(timerLine("?0000", "C1", "10:01:50.45")); // 0003: 70.327 s -> 1:10.32

    // 0004 starts and finishes, the start is taken back, and 0004 restarts: the restart
    // never pairs with the old finish (no run time, never a wrapped time of day).
    send(timerLine(" 0004", "C0", "10:02:00.0000"));
    send(timerLine(" 0004", "C1", "10:03:06.00"));
    send(timerLine("c0004", "C0", "10:02:00.0000"));
    send(timerLine(" 0004", "C0", "10:03:30.0"));
    EXPECT_EQ(rows("select ttime,totaltime,FL from result where tcode='C1' and zek='0004'"),
              QStringList{"||S"});
    EXPECT_EQ(p.startBox(), "0011"); // 0005 is DNS: on to class 2
    EXPECT_EQ(p.finishBox(), "0004");
    send(timerLine("?0000", "C1", "10:04:31.25")); // 0004: 61.25 s

    send(timerLine("?0000", "C0", "10:05:00.0000")); // 0011
    send(timerLine("?0000", "C0", "10:05:30.00"));   // 0012
    send(timerLine("?0000", "C1", "10:06:10.000"));  // 0011: 70.000 s
    send(timerLine("?0000", "C1", "10:06:45.9"));    // 0012: 75.9 s
    EXPECT_EQ(p.finishBox(), "0013");
    // 0013's start impulse was lost; the timer names its finish. Nobody is on course: both
    // boxes wait on 0014, the next of the class, never on class 1.
    send(timerLine(" 0013", "C1", "10:07:40.0000"));
    EXPECT_EQ(p.startBox(), "0014");
    EXPECT_EQ(p.finishBox(), "0014");
    send(timerLine("?0000", "C0", "10:08:00.0000")); // 0014
    EXPECT_EQ(p.startBox(), "0021");
    send(timerLine("?0000", "C1", "10:09:02.34")); // 0014: 62.34 s
    EXPECT_EQ(p.finishBox(), "0021");
    send(timerLine("?0000", "C0", "10:09:30.0000")); // 0021
    send(timerLine("?0000", "C0", "10:10:00.0"));    // 0022
    send(timerLine("?0000", "C1", "10:10:30.5"));    // 0021: 60.5 s
    send(timerLine("?0000", "C1", "10:11:10.0001")); // 0022: 70.0001 s -> 1:10.00

    // The timer's run times, truncated to hundredths.
    const QStringList want{"0001|00:01:05.02|F",
                           "0002||N",
                           "0003|00:01:10.32|F",
                           "0004|00:01:01.25|F",
                           "0005||N",
                           "0007||N",
                           "0011|00:01:10.00|F",
                           "0012|00:01:15.90|F",
                           "0013||S",
                           "0014|00:01:02.34|F",
                           "0021|00:01:00.50|F",
                           "0022|00:01:10.00|F"};
    EXPECT_EQ(rows("select zek,ttime,FL from result where tcode='C1' order by zek"), want);
    // Every stored time of day has four fraction digits, whatever precision was printed.
    EXPECT_EQ(scalar("select count(*) from result where tcode='C1' and ((sttime<>'' and "
                     "length(sttime)<>13) or (altime<>'' and length(altime)<>13))"),
              "0");
    EXPECT_EQ(scalar("select count(*) from pulsedata where dtime not regexp "
                     "'^[0-9]{2}:[0-9]{2}:[0-9]{2}\\\\.[0-9]{4}$'"),
              "0");
    EXPECT_EQ(f("0003", "sttime"), "10:00:40.1230");
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.1000");
    // Nobody got the forerunner's two impulses nor 0004's finish that gave way; 0013 is shown
    // as missing a start; the end of the run offers nobody in class 3 (0002 and 0005 are DNS).
    EXPECT_EQ(
        rows("select p.bib,p.stat,p.dtime from pulse_unassigned u join pulsedata p on "
             "p.id = u.pulse_id order by p.id"),
        (QStringList{"0007|C0|10:00:20.1200", "0007|C1|10:01:20.5000", "0004|C1|10:03:06.0000"}));
    EXPECT_EQ(control.missingStarts(), QStringList{"0013"});
    EXPECT_TRUE(control.statusControl.endOfRunCandidates(1, 3).dns.isEmpty());
    EXPECT_EQ(pulseCount(), sent);
    station.stop();
}

// Noise on the line (bytes of 0x80 and above, as a cable being plugged in sends) between timer
// lines: every Japanese text the workstation writes afterwards reads back as written.
TEST_F(ExpectedStartDrill, NoiseNeverSpoilsTheJapaneseTextsWrittenAfterIt) {
    startStation();
    QRandomGenerator rng(20261209);
    auto noise = [&] {
        QByteArray bytes = "V3G\x83";
        for (int i = 0; i < 12; ++i)
            bytes += static_cast<char>(rng.bounded(0x80, 0x100));
        send(bytes);
    };
    noise();
    send(timerLine("?0000", "C0", "10:00:00.0000")); // 0001
    noise();
    send(timerLine(" 0007", "C0", "10:00:20.0000")); // the forerunner: unassigned, with why
    noise();
    const QString reason = QString::fromUtf8("旗門不通過（１５番）～片足");
    ASSERT_TRUE(control.statusControl.setStatus("0002", 1, {"DSQ", "15", reason}));
    noise();
    send(timerLine("c0001", "C0", "10:00:00.0000")); // taken back: into the history
    noise();
    EXPECT_EQ(rows("select reason from pulse_unassigned u join pulsedata p on p.id = u.pulse_id "
                   "where p.bib = '0007'"),
              QStringList{QString::fromUtf8("ビブ 0007 は前走・除外の選手です（記録のみ）")});
    EXPECT_EQ(rows("select reason from run_status where zek='0002'"), QStringList{reason});
    EXPECT_EQ(rows("select what from change_history where source='takeback'"),
              QStringList{QString::fromUtf8("1本目スタート")});
    EXPECT_EQ(scalar("select count(*) from change_history where what like '%?%' or before_text "
                     "like '%?%' or after_text like '%?%'"),
              "0");
    EXPECT_EQ(pulseCount(), sent);
}
