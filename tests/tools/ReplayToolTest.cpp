#include "CorrectedRaceData.h"
#include "WholeRaceData.h"
#include "capture/ImpulseJournal.h"
#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "support/DbTest.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace pistel;
using pistel::test::Competitor;
using pistel::test::DbTest;

class ReplayToolTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        addCompetition("C1");
        QList<Competitor> field;
        for (const RaceCompetitor& c : kCompetitors)
            field.append({c.zek, c.st1, c.st2, c.class1});
        addCompetitors("C1", field);
    }
    // Runs the tool; returns its exit code and leaves its output in `output`.
    int replay(const QByteArray& content, const QStringList& options) {
        const QString path = dir.filePath("log.txt");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QProcess p;
        p.start(PISTEL_REPLAY_PATH,
                QStringList{"--dsn", "PistelTest"} + options + QStringList{path});
        EXPECT_TRUE(p.waitForFinished(60000));
        output = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    }
    // Run 1 as the timer printed it: each finish followed by the timer's own run time.
    static QByteArray printedRun1(const QString& changedRunTimeOf = {}) {
        QByteArray log;
        for (const RaceImpulse& i : kRun1) {
            log += QByteArray(i.line) + "\r\n";
            if (QByteArray(i.line).mid(6, 2) != "C1")
                continue;
            for (const RaceResult& r : kResults) {
                if (QString(r.zek) != i.owner)
                    continue;
                const QString rt = i.owner == changedRunTimeOf ? "00:09:09.99" : r.ttime;
                log += QStringLiteral(" %1 RT  %2   00\r\n").arg(r.zek, rt).toLatin1();
            }
        }
        return log;
    }

    QTemporaryDir dir;
    QString output;
};

TEST_F(ReplayToolTest, ReproducesTheTimersRunTimes) {
    EXPECT_EQ(replay(printedRun1(), {"--code", "C1", "--run", "1"}), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("0 failed, 0 run times differ")) << output.toStdString();
    EXPECT_TRUE(output.contains("run time of 0001: timer 00:01:02.3500, ours 00:01:02.35  ok"))
        << output.toStdString();
    // The boxes after each line: after the first start the start box shows 0002.
    EXPECT_TRUE(output.contains("?0000 C0  10:00:00.9954 00   | start 0002  finish 0001"))
        << output.toStdString();
    for (const RaceResult& r : kResults)
        EXPECT_EQ(field("C1", r.zek, "ttime"), r.ttime) << r.zek;
    // RT lines are checked, never logged.
    EXPECT_EQ(scalar("select count(*) from pulsedata where tcode='C1'").toInt(),
              int(std::size(kRun1)));
}

TEST_F(ReplayToolTest, ReportsARunTimeThatDiffers) {
    EXPECT_EQ(replay(printedRun1("0004"), {"--code", "C1", "--run", "1"}), 3);
    EXPECT_TRUE(output.contains("run time of 0004: timer 00:09:09.9900")) << output.toStdString();
    EXPECT_TRUE(output.contains("DIFFERENT"));
    EXPECT_TRUE(output.contains("1 run times differ"));
}

// The device's own corrections (lines taken back, times entered at the device): every run
// time agrees with the timer's, and the run times it took back are not checked.
TEST_F(ReplayToolTest, AgreesWithTheTimerThroughItsCorrections) {
    exec("delete from result");
    QList<Competitor> competitors;
    for (const auto& c : test::kCorrectedField)
        competitors.append({c.zek, c.st1, c.st2, c.class1});
    addCompetitors("C1", competitors);
    EXPECT_EQ(replay(test::printedLog(test::kCorrectedRun1), {"--code", "C1", "--run", "1"}), 0)
        << output.toStdString();
    EXPECT_EQ(output.count("  ok"), 8) << output.toStdString();
    EXPECT_EQ(replay(test::printedLog(test::kCorrectedRun2), {"--code", "C1", "--run", "2"}), 0)
        << output.toStdString();
    EXPECT_EQ(output.count("  ok"), 8) << output.toStdString();
    EXPECT_FALSE(output.contains("DIFFERENT"));
    for (const auto& r : test::kCorrectedResults)
        EXPECT_EQ(field("C1", r.zek, "totaltime"), r.totaltime) << r.zek;
}

TEST_F(ReplayToolTest, RecoversTheImpulseLogFromTheJournal) {
    // A session journals three lines, then the impulse log is lost.
    ImpulseJournal journal(dir.filePath("journal"));
    QueueByteSource port;
    app.competitionCode = "C1";
    app.timerPortOpen = true;
    ReceiveHandler handler(app, dm, port, &journal);
    QTime clock(10, 0, 0);
    handler.setClock([&] { return QDateTime(QDate(2026, 12, 20), clock = clock.addSecs(7)); });
    port.push(" 0001 C0  10:00:00.0000 00\r 0001 C1  10:01:00.0000 00\r\r");
    handler.CommX1Receive(port.InQueCount());
    const QStringList before =
        rows("select tcode,ttime,tstat,bib,stat,dtime from pulsedata order by id");
    ASSERT_EQ(before.size(), 3);
    exec("delete from pulsedata");

    QFile journalFile(journal.fileFor(QDate(2026, 12, 20)));
    ASSERT_TRUE(journalFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(replay(journalFile.readAll(), {"--code", "C1"}), 0) << output.toStdString();
    EXPECT_EQ(rows("select tcode,ttime,tstat,bib,stat,dtime from pulsedata order by id"), before);
    EXPECT_EQ(scalar("select count(*) from result where sttime<>''"), "0"); // logged only
}

// A day's journal holds several competitions: each line is logged under its own, and a
// second replay of the same journal adds nothing.
TEST_F(ReplayToolTest, JournalRecoveryIsSafeToRunTwice) {
    addCompetition("C2");
    ImpulseJournal journal(dir.filePath("journal"));
    QueueByteSource port;
    app.timerPortOpen = true;
    ReceiveHandler handler(app, dm, port, &journal);
    QTime clock(10, 0, 0);
    handler.setClock([&] { return QDateTime(QDate(2026, 12, 20), clock = clock.addSecs(3)); });
    for (const char* code : {"C1", "C2", "C1"}) {
        app.competitionCode = code;
        port.push(
            " 0001 C0  10:00:00.0000 00\r 0001 RT  00:00:59.99\r?0000 C1  10:01:00.0000 00\r");
        handler.CommX1Receive(port.InQueCount());
        handler.CommX1Receive(port.InQueCount()); // the line after RT
    }
    const QString all = "select tcode,ttime,tstat,bib,stat,dtime from pulsedata order by id";
    const QStringList before = rows(all);
    ASSERT_EQ(before.size(), 6);
    exec("delete from pulsedata where tcode='C2' or ttime > 360200"); // some are lost

    QFile journalFile(journal.fileFor(QDate(2026, 12, 20)));
    ASSERT_TRUE(journalFile.open(QIODevice::ReadOnly));
    const QByteArray content = journalFile.readAll();
    EXPECT_EQ(replay(content, {"--code", "C9"}), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("journal: 4 written, 2 already logged, 3 not logged (RT)"))
        << output.toStdString();
    QStringList sorted = rows(all), want = before;
    sorted.sort();
    want.sort();
    EXPECT_EQ(sorted, want);
    EXPECT_EQ(replay(content, {"--code", "C9"}), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("journal: 0 written, 6 already logged")) << output.toStdString();
    EXPECT_EQ(rows(all).size(), 6);

    // Capturing lines whose impulse rows exist would assign them twice: refused.
    EXPECT_EQ(replay(content, {"--code", "C1", "--run", "1"}), 4) << output.toStdString();
    EXPECT_EQ(output.count("already logged, not captured again"), 4) << output.toStdString();
    EXPECT_EQ(output.count("other competition C2"), 3) << output.toStdString();
    EXPECT_EQ(scalar("select count(*) from result where sttime<>'' or altime<>''"), "0");
    EXPECT_EQ(rows(all).size(), 6);
}

TEST_F(ReplayToolTest, RefusesWrongArguments) {
    EXPECT_EQ(replay("", {"--run", "1"}), 2); // no competition code
    EXPECT_EQ(replay("", {"--code", "C1", "--run", "3"}), 2);
}
