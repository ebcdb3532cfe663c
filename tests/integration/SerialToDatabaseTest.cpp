#include "CaptureFixture.h"
#include "Pty.h"
#include "station/CommByteSource.h"

#include <QProcess>
#include <QRegularExpression>

using namespace pistel;
using pistel::test::CaptureFixture;
using pistel::test::Pty;
using pistel::test::waitFor;

// Timer lines through a real pseudo-terminal, the serial component, the receive handler and
// the capture into the database, as the run window wires them.
class SerialToDatabaseTest : public CaptureFixture {
protected:
    void wire(TCommX& serial) {
        serial.setBitRate(2400);
        serial.OnReceive = [this](TCustomCommX*, int n) { serialHandler.CommX1Receive(n); };
    }
    CommByteSource source{timerPort};
    TCommX timerPort{[this](int) { return devicePath; }};
    ReceiveHandler serialHandler{app, dm, source, nullptr};
    QString devicePath;
};

// The same race from a timer that ends its lines with CR, with CR LF, or with LF alone.
class LineEndTest : public SerialToDatabaseTest,
                    public ::testing::WithParamInterface<const char*> {};

TEST_P(LineEndTest, RaceOverTheSerialLine) {
    addRaceField();
    Pty timer;
    devicePath = timer.path();
    serialHandler.setRunControl(&control);
    wire(timerPort);
    timerPort.Open();
    control.selectRun1();
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
    EXPECT_EQ(serialHandler.trace().lineCount(), 25);
    EXPECT_FALSE(serialHandler.trace().text().contains("\n\n"));
    timerPort.Close();
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
    devicePath = m.captured(1);
    serialHandler.setRunControl(&control);
    wire(timerPort);
    timerPort.Open();
    control.selectRun1();
    // The demo log: six competitors started and finished, six RT lines not logged.
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 12; }, 20000));
    EXPECT_EQ(f("0001", "ttime"), "00:01:05.12");
    EXPECT_EQ(f("0006", "ttime"), "00:01:05.00");
    timerPort.Close();
    sim.kill();
    sim.waitForFinished(5000);
}
