#pragma once

#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "capture/RunControl.h"
#include "support/DbTest.h"

namespace pistel::test {

// The receive handler wired to the run window's capture, fed through a byte queue, on
// competition "C1" of the test database.
class CaptureFixture : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.competitionCode = "C1";
        app.timerPortOpen = true;
        handler.setCaptureHook([this](const TimerLine& t) { control.captureLine(t); });
        addCompetition("C1");
    }

    // Classes 3, 2 and 1 with start orders unique in the competition; 0006 is excluded
    // (dropm '9'). Another competition holds the same bibs and must never be touched.
    void addStandardField() {
        const QList<Competitor> field{
            {"0001", 1, 3, 3}, {"0002", 2, 2, 3},      {"0003", 3, 1, 3}, {"0004", 4, 5, 2},
            {"0005", 5, 4, 2}, {"0006", 6, 6, 2, "9"}, {"0007", 7, 8, 1}, {"0008", 8, 7, 1},
        };
        addCompetitors("C1", field);
        addCompetitors("OTHER", field);
    }

    // One timer line, delivered as the port delivers it.
    void line(const QString& text) {
        port.push(text.toLatin1() + '\r');
        handler.CommX1Receive(port.InQueCount());
    }
    static QString start(const QString& flagAndBib, const QString& time) {
        return flagAndBib + " C0  " + time + " 00";
    }
    static QString finish(const QString& flagAndBib, const QString& time) {
        return flagAndBib + " C1  " + time + " 00";
    }

    QString f(const QString& zek, const QString& column) { return field("C1", zek, column); }
    int pulseCount() { return scalar("select count(*) from pulsedata where tcode='C1'").toInt(); }
    // The other competition is never written.
    void expectOtherUntouched() {
        EXPECT_EQ(scalar("select count(*) from result where tcode='OTHER' and (sttime<>'' or "
                         "altime<>'' or sttime2<>'' or altime2<>'' or ttime<>'' or FL<>'N' or "
                         "FL2<>'N')"),
                  "0");
    }

    QueueByteSource port;
    RunControl control{app, dm};
    ReceiveHandler handler{app, dm, port, nullptr};
};

} // namespace pistel::test
