#pragma once

#include "WholeRaceData.h"
#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "capture/RunControl.h"
#include "support/DbTest.h"

namespace pistel::test {

// Competition "C1" of the test database with the race's fields and what it should give.
class RaceFixture : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.competitionCode = "C1";
        app.timerPortOpen = true;
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

    // The 30 competitors of the two-run race, in C1 and in OTHER.
    void addRaceField() {
        QList<Competitor> field;
        for (const RaceCompetitor& c : kCompetitors)
            field.append({c.zek, c.st1, c.st2, c.class1});
        addCompetitors("C1", field);
        addCompetitors("OTHER", field);
    }
    // Every competitor's times, parts and states as worked out for the clean race.
    void expectRaceResults() {
        for (const RaceResult& r : kResults) {
            SCOPED_TRACE(r.zek);
            const QStringList got = rows(
                QStringLiteral("select ttime,ttime2,totaltime,TH,TM,TS,TMS,TH2,TM2,TS2,TMS2,FL,"
                               "FL2 from result where tcode='C1' and zek='%1'")
                    .arg(r.zek));
            const QString want =
                QStringList{r.ttime,     r.ttime2,    r.totaltime, r.parts1[0], r.parts1[1],
                            r.parts1[2], r.parts1[3], r.parts2[0], r.parts2[1], r.parts2[2],
                            r.parts2[3], r.fl,        r.fl2}
                    .join('|');
            EXPECT_EQ(got, QStringList{want});
        }
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

};

// The receive handler wired to the run window's capture, fed through a byte queue.
class CaptureFixture : public RaceFixture {
protected:
    void SetUp() override {
        RaceFixture::SetUp();
        handler.setCapture(&control);
    }
    // One timer line, delivered as the port delivers it.
    void line(const QString& text) {
        port.push(text.toLatin1() + '\r');
        handler.CommX1Receive(port.InQueCount());
    }

    QueueByteSource port;
    RunControl control{app, dm};
    ReceiveHandler handler{app, dm, port, nullptr};
};

} // namespace pistel::test
