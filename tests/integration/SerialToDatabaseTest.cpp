#include "PtyCaptureFixture.h"

#include <QProcess>
#include <QRegularExpression>

using namespace pistel;
using pistel::test::PtyCaptureFixture;
using pistel::test::waitFor;

// Timer lines through a real pseudo-terminal into a timing station without a window: the
// serial component, the receive handler and the capture into the database.
class SerialToDatabaseTest : public PtyCaptureFixture {};

// The same race from a timer that ends its lines with CR, with CR LF, or with LF alone.
class LineEndTest : public SerialToDatabaseTest,
                    public ::testing::WithParamInterface<const char*> {};

TEST_P(LineEndTest, RaceOverTheSerialLine) {
    addRaceField();
    startStation();
    QByteArray all;
    for (const RaceImpulse& i : kRun1)
        all += QByteArray(i.line) + GetParam();
    timer.send(all); // one burst, as fast as the line allows
    ASSERT_TRUE(waitFor([&] { return pulseCount() == int(std::size(kRun1)); }, 20000));
    for (const RaceResult& r : kResults)
        EXPECT_EQ(f(r.zek, "ttime"), r.ttime) << r.zek;
    // Every row as the timer sent it: no empty line, no line shifted by a line feed.
    EXPECT_EQ(scalar("select count(*) from pulsedata where stat not in ('C0','C1') or tstat = "
                     "'\n' or bib not regexp '^[0-9]{4}$'"),
              "0");
    EXPECT_EQ(station.receiver.trace().lineCount(), 25);
    EXPECT_FALSE(station.receiver.trace().text().contains("\n\n"));
    station.stop();
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LineEndTest, ::testing::Values("\r", "\r\n", "\n"), [](const auto& ending) {
        return std::string(ending.index == 0 ? "CR" : ending.index == 1 ? "CRLF" : "LF");
    });

TEST_F(SerialToDatabaseTest, SimulatorFeedsTheWorkstation) {
    addRaceField();
    QProcess sim;
    // The simulator stays on the line after the file (closing it would hang the line up).
    sim.start(PISTEL_SIM_PATH, {"--file", PISTEL_DEMO_LOG, "--speed", "0", "--delay", "1500"});
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const auto m = QRegularExpression("timer on (\\S+)").match(QString::fromLatin1(sim.readLine()));
    ASSERT_TRUE(m.hasMatch());
    device = m.captured(1);
    startStation();
    // The demo log: six competitors started and finished, six RT lines not logged.
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 12; }, 20000));
    EXPECT_EQ(f("0001", "ttime"), "00:01:05.12");
    EXPECT_EQ(f("0006", "ttime"), "00:01:05.00");
    station.stop();
    sim.kill();
    sim.waitForFinished(5000);
}

// A whole two-run race through the station alone, with no window: the timer's lines in
// through the pseudo-terminal, the run times and totals out, equal to the timer's (worked out
// apart from the workstation's code, in WholeRaceData.h). Run 2 starts with the boxes the
// station's run selection puts on its first starter; the other competition stays untouched.
TEST_F(SerialToDatabaseTest, TwoRunRaceThroughAStationWithoutWindow) {
    addRaceField();
    startStation(1);
    EXPECT_EQ(station.control.page1.startBox(), "0001");
    for (const RaceImpulse& i : kRun1)
        send(i.line);
    station.selectRun(2);
    EXPECT_EQ(station.control.page2.startBox(), "0010"); // st2 1, of the highest class
    for (const RaceImpulse& i : kRun2)
        send(i.line);
    expectRaceResults();
    EXPECT_EQ(pulseCount(), int(std::size(kRun1) + std::size(kRun2)));
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned"), "0");
    EXPECT_EQ(station.dataHealth().unassigned, 0);
    EXPECT_TRUE(station.timing());
    expectOtherUntouched();
    station.stop();
    EXPECT_FALSE(station.CommX1.isOpen());
}

// The look for changes made elsewhere runs off the window thread. One the server refuses (a
// column renamed under the workstation) is shown once it keeps failing, never taken for a
// lost connection, and clears itself at the first look that works again; timer lines go on
// meanwhile.
TEST_F(SerialToDatabaseTest, AFailingLookForOutsideChangesIsShownAndClearsItself) {
    addRaceField();
    startStation(1);
    exec("alter table run_status change reason reason_renamed varchar(200) not null default ''");
    struct Restore {
        std::function<void()> undo;
        ~Restore() { undo(); }
    } restore{[this] {
        exec(
            "alter table run_status change reason_renamed reason varchar(200) not null default ''");
    }};
    ASSERT_TRUE(waitFor([&] { return !station.dataHealth().watchError.isEmpty(); }, 8000));
    EXPECT_TRUE(
        describeDataHealth(station.dataHealth()).text.contains("他からの変更を確認できません"));
    EXPECT_FALSE(station.keeper.isDown());
    send(kRun1[0].line); // the capture needs no reason: it goes on
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.9954");
    restore.undo();
    restore.undo = [] {};
    ASSERT_TRUE(waitFor([&] { return station.dataHealth().watchError.isEmpty(); }, 4000));
    station.stop();
}
