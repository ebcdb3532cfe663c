#include "capture/ReceiveHandler.h"

#include "HookCapture.h"
#include "capture/ImpulseJournal.h"
#include "capture/QueueByteSource.h"
#include "capture/Replay.h"
#include "capture/RunControl.h"
#include "data/ConnectionKeeper.h"
#include "data/DbError.h"
#include "station/TimingStation.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <sys/resource.h>

using namespace pistel;
using pistel::test::DbTest;

namespace {
const QDateTime kNoon(QDate(2026, 12, 20), QTime(12, 34, 56, 780));
}

class ReceiveHandlerTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.competitionCode = "R1";
        app.timerPortOpen = true;
        handler.setClock([this] { return now; });
    }
    // Queue bytes and deliver everything waiting, as the port's receive event does.
    void deliver(const QByteArray& bytes) {
        port.push(bytes);
        handler.CommX1Receive(port.InQueCount());
    }
    QStringList pulses() {
        return rows("select tcode,ttime,concat('[',tstat,']'),bib,stat,dtime from pulsedata "
                    "order by id");
    }

    QTemporaryDir journalDir;
    ImpulseJournal journal{journalDir.path()};
    QueueByteSource port;
    ReceiveHandler handler{app, dm, port, &journal};
    QDateTime now = kNoon;
};

TEST_F(ReceiveHandlerTest, LogsEachLineWithReceiptTime) {
    deliver(" 0012 C1  10:15:30.12  \r");
    EXPECT_EQ(pulses(), QStringList{"R1|452967|[ ]|0012|C1|10:15:30.1200"});
    EXPECT_EQ(ReceiveHandler::receiptTenths(QDateTime(QDate(2026, 1, 1), QTime(0, 0))), 0);
    EXPECT_EQ(ReceiveHandler::receiptTenths(QDateTime(QDate(2026, 1, 1), QTime(23, 59, 59, 999))),
              863999);
}

TEST_F(ReceiveHandlerTest, ClosedPortReadsNothing) {
    app.timerPortOpen = false;
    deliver(" 0001 C0  10:00:00.0000\r");
    EXPECT_EQ(port.InQueCount(), 24);
    EXPECT_TRUE(pulses().isEmpty());
    app.timerPortOpen = true;
    handler.CommX1Receive(0); // nothing announced: nothing read
    EXPECT_EQ(port.InQueCount(), 24);
    handler.CommX1Receive(port.InQueCount());
    EXPECT_EQ(pulses().size(), 1);
}

TEST_F(ReceiveHandlerTest, EmptyLineIsLoggedWithEmptyFields) {
    int captured = 0;
    test::HookCapture hook([&](const TimerLine& t) {
        ++captured;
        EXPECT_FALSE(t.isStart() || t.isFinish());
        return CaptureResult{};
    });
    handler.setCapture(&hook);
    deliver("\r");
    EXPECT_EQ(pulses(), QStringList{"R1|452967|[]|||"});
    EXPECT_EQ(captured, 1);
}

TEST_F(ReceiveHandlerTest, FieldEdgeCases) {
    deliver(" 0012 C1  10:15:30.123 \r"); // thousandths: a zero for the missing digit
    deliver(" 0013 C0  10:15:30.1234 00 and more text\r"); // after position 23 ignored
    deliver("'0'12 C0  10:00:00.0000\r"); // quotes in a line cannot break the insert
    deliver("\\0\\\\1 C1  10:00:00.0000\r");
    EXPECT_EQ(pulses(), (QStringList{"R1|452967|[ ]|0012|C1|10:15:30.1230",
                                     "R1|452967|[ ]|0013|C0|10:15:30.1234",
                                     "R1|452967|[']|0'12|C0|10:00:00.0000",
                                     "R1|452967|[\\]|0\\\\1|C1|10:00:00.0000"}));
}

TEST_F(ReceiveHandlerTest, RtLineEndsTheDelivery) {
    deliver(" 0001 C0  10:00:00.0000\r 0001 C1  10:01:00.0000\r 0001 RT  00:01:00.00  \r"
            " 0002 C0  10:00:30.0000\r");
    EXPECT_EQ(pulses().size(), 2);    // the lines before "RT"; "RT" itself is not logged
    EXPECT_EQ(port.InQueCount(), 24); // the line after it waits for the next event
    EXPECT_TRUE(handler.trace().text().endsWith("RT  00:01:00.00  \r\n"));
    handler.CommX1Receive(port.InQueCount());
    const QStringList p = pulses();
    ASSERT_EQ(p.size(), 3);
    EXPECT_TRUE(p[2].contains("|0002|C0|"));
}

TEST_F(ReceiveHandlerTest, LineSplitAcrossDeliveriesTakesTheTimeOfItsCr) {
    deliver(" 0007 C0  10:0");
    EXPECT_TRUE(pulses().isEmpty());
    now = kNoon.addSecs(10);
    deliver("0:00.0000\r");
    EXPECT_EQ(pulses(), QStringList{"R1|453067|[ ]|0007|C0|10:00:00.0000"});
}

TEST_F(ReceiveHandlerTest, TraceShowsTheLast25Lines) {
    QSignalSpy traced(&handler, &ReceiveHandler::traceChanged);
    QByteArray all;
    for (int i = 1; i <= 30; ++i)
        all += QStringLiteral(" %1 C0  10:00:%2.0000\r")
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .arg(i, 2, 10, QLatin1Char('0'))
                   .toLatin1();
    deliver(all);
    EXPECT_EQ(pulses().size(), 30);
    EXPECT_EQ(handler.trace().lineCount(), 25);
    EXPECT_TRUE(handler.trace().text().startsWith(" 0006 C0"));
    ASSERT_FALSE(traced.isEmpty());
    EXPECT_EQ(traced.last().at(0).toString(), handler.trace().text());
}

TEST_F(ReceiveHandlerTest, FailedReadAppendsCharacterFF) {
    port.push(" 0001 C0");
    handler.CommX1Receive(10); // two more announced than there are
    EXPECT_TRUE(handler.trace().text().endsWith(QString(" 0001 C0") + QChar(0xFF) + QChar(0xFF)));
}

TEST_F(ReceiveHandlerTest, RefreshesTheImpulseListsOfTheCurrentRun) {
    app.currentRun = "1";
    dm.QPulseSt.setSql(
        {"select * from pulsedata where tcode = 'R1'", "and stat = 'C0' order by dtime desc"});
    dm.QPulseFn.setSql(
        {"select * from pulsedata where tcode = 'R1'", "and stat = 'C1' order by dtime desc"});
    deliver(" 0001 C0  10:00:00.0000\r 0002 C0  10:00:10.0000\r 0001 C1  10:01:00.0000\r");
    EXPECT_EQ(dm.QPulseSt.recordCount(), 2);
    EXPECT_EQ(dm.QPulseSt.fieldByName(u"bib").asString(), "0002"); // newest first
    EXPECT_EQ(dm.QPulseFn.recordCount(), 1);
    EXPECT_FALSE(dm.QPulseSt2.isOpen());
    EXPECT_FALSE(dm.QPulseFn2.isOpen());

    app.currentRun = "2"; // run 2 lists show the same impulses
    dm.QPulseSt2.setSql(dm.QPulseSt.sql());
    deliver(" 0003 C0  10:00:20.0000\r");
    EXPECT_EQ(dm.QPulseSt2.recordCount(), 3);
    EXPECT_EQ(dm.QPulseSt.recordCount(), 2); // run 1 lists keep their last contents
}

TEST_F(ReceiveHandlerTest, EveryLineIsJournaledBeforeTheDatabase) {
    deliver(" 0001 C0  10:00:00.0000\r");
    app.competitionCode = QString(30, 'X'); // too long for the column: the insert fails
    EXPECT_THROW(deliver(" 0002 C0  10:00:05.0000\r 0003 C0  10:00:06.0000\r"), DbError);
    EXPECT_EQ(pulses().size(), 1);
    EXPECT_EQ(port.InQueCount(), 24); // the unread line stays queued

    QFile f(journal.fileFor(kNoon.date()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const auto second = ImpulseJournal::parse(lines[1]);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->line, " 0002 C0  10:00:05.0000");
    EXPECT_EQ(second->receiptTenths, 452967);
    EXPECT_EQ(second->competitionCode, QString(30, 'X'));
}

// A capture the server refuses is rolled back; the impulse is logged on its own, marked as
// assigned to nobody, and the error stays until acknowledged, whatever lines follow.
TEST_F(ReceiveHandlerTest, FailingCaptureStillLogsTheImpulse) {
    bool fail = true;
    test::HookCapture hook([&](const TimerLine&) -> CaptureResult {
        exec("update result set sttime = 'half-written'");
        if (fail)
            throw DbError("capture failed");
        return {};
    });
    handler.setCapture(&hook);
    addCompetition("R1");
    addCompetitors("R1", {{"0001", 1, 1, 1}});
    deliver(" 0001 C0  10:00:00.0000\r");
    fail = false;
    deliver(" 0002 C0  10:00:01.0000\r");
    EXPECT_EQ(pulses().size(), 2);
    EXPECT_EQ(field("R1", "0001", "sttime"), "half-written"); // the second capture's
    exec("update result set sttime = ''");
    fail = true;
    deliver(" 0003 C1  10:00:02.0000\r");
    EXPECT_EQ(field("R1", "0001", "sttime"), ""); // rolled back
    EXPECT_EQ(handler.captureError(), "capture failed");
    EXPECT_EQ(scalar("select count(*) from pulse_unassigned u join pulsedata p on p.id = "
                     "u.pulse_id where p.bib in ('0001', '0003')"),
              "2");
    handler.acknowledgeCaptureError();
    EXPECT_TRUE(handler.captureError().isEmpty());
}

TEST_F(ReceiveHandlerTest, JournalFailureIsReportedAndTheLineStillLogged) {
    QTemporaryDir tmp;
    QFile blocker(tmp.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    ImpulseJournal broken(tmp.path() + "/file/journal");
    ReceiveHandler h(app, dm, port, &broken);
    QSignalSpy failed(&h, &ReceiveHandler::journalFailed);
    port.push(" 0001 C0  10:00:00.0000\r");
    h.CommX1Receive(port.InQueCount());
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(pulses().size(), 1);
}

TEST_F(ReceiveHandlerTest, OnlyTheImpulseListThatCanShowTheLineIsReread) {
    EXPECT_TRUE(ReceiveHandler::mayShow(dm.QPulseSt, "C1")); // "select * from pulsedata"
    app.currentRun = "1";
    dm.QPulseSt.setSql(
        {"select * from pulsedata where tcode = 'R1'", "and stat = 'C0' order by dtime desc"});
    dm.QPulseFn.setSql(
        {"select * from pulsedata where tcode = 'R1'", "and stat = 'C1' order by dtime desc"});
    dm.QPulseSt.open();
    dm.QPulseFn.open();
    dm.QPulseFn.last(); // the operator has picked a finish impulse
    QSignalSpy startResets(&dm.QPulseSt, &Query::rowsChanged);
    QSignalSpy finishResets(&dm.QPulseFn, &Query::rowsChanged);
    deliver(" 0001 C0  10:00:00.0000\r");
    EXPECT_GE(startResets.count(), 1);
    EXPECT_EQ(finishResets.count(), 0);
    deliver(" 0001 C5  10:00:00.0000\r"); // an intermediate: neither list
    EXPECT_EQ(finishResets.count(), 0);
    EXPECT_TRUE(ReceiveHandler::mayShow(dm.QPulseSt, "c0")); // the database compares so
    EXPECT_FALSE(ReceiveHandler::mayShow(dm.QPulseSt, "C1"));
}

// The port closed under a line (an adapter pulled mid-line, failed reads appending 0xFF):
// the leftover is journaled and logged as it stands when the port opens again, and the
// first line after the opening keeps its fields.
TEST_F(ReceiveHandlerTest, APartialLineIsNotGluedToTheNextOpening) {
    int captured = 0;
    test::HookCapture hook([&](const TimerLine&) {
        ++captured;
        return CaptureResult{};
    });
    handler.setCapture(&hook);
    deliver(" 0001 C0  10:00:0");
    port.push("\xff\xff");
    handler.CommX1Receive(2);
    handler.startFreshLine();
    handler.startFreshLine(); // nothing left: nothing more logged
    deliver(" 0002 C0  10:00:05.0000 00\r");
    // The failed reads' 0xFF has no Shift-JIS form: the log holds "?", the journal the byte.
    EXPECT_EQ(pulses(), (QStringList{"R1|452967|[ ]|0001|C0|10:00:0??",
                                     "R1|452967|[ ]|0002|C0|10:00:05.0000"}));
    EXPECT_EQ(captured, 1); // the leftover is never assigned
    QFile file(journal.fileFor(kNoon.date()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> journaled = file.readAll().split('\n');
    ASSERT_GE(journaled.size(), 2);
    EXPECT_TRUE(journaled[0].contains("\t 0001 C0  10:00:0\\xff\\xff\t")) << journaled[0].data();
    EXPECT_TRUE(
        handler.trace().text().endsWith("10:00:0\u00ff\u00ff\r\n 0002 C0  10:00:05.0000 00\r\n"));
}

// Lines kept waiting for the database when the program ended are in the pending file; the
// next start writes those not in pulsedata yet, once.
TEST_F(ReceiveHandlerTest, PendingLinesOfAnEarlierRunAreWrittenOnce) {
    journal.keepPending({kNoon, 452967, "R1", " 0001 C0  10:00:00.0000 00", {}});
    journal.keepPending({kNoon, 452968, "R2", "?0000 C1  10:00:01.0000 00", {}});
    journal.keepPending({kNoon, 452969, "R1", " 0001 RT  00:00:01.00", {}});
    const RecoveryCount first = handler.recoverPending();
    EXPECT_EQ(first.written, 2);
    EXPECT_EQ(first.notLogged, 1);
    EXPECT_EQ(pulses(), (QStringList{"R1|452967|[ ]|0001|C0|10:00:00.0000",
                                     "R2|452968|[?]|0000|C1|10:00:01.0000"}));
    EXPECT_TRUE(journal.pendingEntries().isEmpty());
    // Written but the file not emptied (a crash between): nothing is written twice.
    journal.keepPending({kNoon, 452967, "R1", " 0001 C0  10:00:00.0000 00", {}});
    EXPECT_EQ(handler.recoverPending().alreadyLogged, 1);
    EXPECT_EQ(pulses().size(), 2);
}

// Drill: the journal's disk fills up (a file-size limit) while lines arrive, then space is
// freed. The journal holds only whole records, the status says why in Japanese until writes
// succeed again, and replaying the journal writes no garbage row and nothing twice.
TEST_F(ReceiveHandlerTest, AFullJournalKeepsWholeRecords) {
    QSignalSpy failed(&handler, &ReceiveHandler::journalFailed);
    deliver(" 0001 C0  10:00:00.0000 00\r 0002 C0  10:00:10.0000 00\r");
    const QString file = journal.fileFor(kNoon.date());
    const qint64 size = QFileInfo(file).size();
    {
        // Room for half a record more: the next write is cut short by the limit.
        struct FileSizeLimit {
            rlimit old{};
            explicit FileSizeLimit(rlim_t bytes) {
                ::signal(SIGXFSZ, SIG_IGN);
                ::getrlimit(RLIMIT_FSIZE, &old);
                rlimit tight = old;
                tight.rlim_cur = bytes;
                ::setrlimit(RLIMIT_FSIZE, &tight);
            }
            ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old); }
        } limit(static_cast<rlim_t>(size + size / 4));
        deliver(" 0003 C0  10:00:20.0000 00\r 0004 C0  10:00:30.0000 00\r");
        EXPECT_EQ(QFileInfo(file).size(), size); // cut back to the last whole record
    }
    EXPECT_EQ(failed.count(), 1); // once, not per line
    EXPECT_TRUE(handler.journalProblem().contains("ファイルの大きさが上限に達しました"))
        << handler.journalProblem().toStdString();
    EXPECT_EQ(pulses().size(), 4); // the database has every line meanwhile
    EXPECT_EQ(handler.unjournaledCount(), 2);
    // Space again: the health clock's retry puts the two lines in, in order, before any new
    // line comes, and the message goes with the last of them.
    handler.retryJournal();
    EXPECT_TRUE(handler.journalProblem().isEmpty());
    EXPECT_EQ(handler.unjournaledCount(), 0);
    deliver(" 0005 C0  10:00:40.0000 00\r");
    EXPECT_TRUE(handler.journalProblem().isEmpty());

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    int torn = 0;
    const QList<ReplayLine> lines = readReplayLines(f.readAll(), &torn);
    EXPECT_EQ(torn, 0);
    ASSERT_EQ(lines.size(), 5);
    QList<JournalEntry> entries;
    for (const ReplayLine& l : lines) {
        ASSERT_TRUE(l.entry.has_value());
        entries.append(*l.entry);
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(entries[i].line.mid(1, 4), QByteArray::number(i + 1).rightJustified(4, '0'));
    EXPECT_EQ(writeMissingImpulses(dm, entries).alreadyLogged, 5); // found by their receipts
    exec("delete from pulsedata where bib in ('0002', '0005')");
    const RecoveryCount again = writeMissingImpulses(dm, entries);
    EXPECT_EQ(again.written, 2);
    EXPECT_EQ(again.alreadyLogged, 3);
    EXPECT_EQ(rows("select bib from pulsedata order by bib"),
              (QStringList{"0001", "0002", "0003", "0004", "0005"}));
}

// Drill: another client holds a lock on pulsedata past the statement time-out while a line
// arrives at a timing station. The reply is lost and the line waits; once the lock is gone
// and the station's keeper has the connection back, it is written: one row in the end, never
// two.
TEST_F(ReceiveHandlerTest, ALineWhoseReplyIsLostIsWrittenOnce) {
    const QString dsn = qEnvironmentVariable("PISTEL_TEST_DSN", QStringLiteral("PistelTest"));
    dm.Db1.close();
    dm.Db1.timeoutSeconds = 1;
    dm.Db1.open(connectionString(dsn));
    test::ScriptedDialog dialog;
    TimingStation station(app, dm, dialog, &journal, {}, &port);
    station.keeper.firstRetryMs = 100;
    station.receiver.setClock([this] { return now; });
    auto deliverToStation = [&](const QByteArray& bytes) {
        port.push(bytes);
        station.receiver.CommX1Receive(port.InQueCount());
    };

    odbc::Connection other;
    other.open(connectionString(dsn));
    other.execute("lock tables pulsedata write", "lock", nullptr);
    deliverToStation(" 0001 C0  10:00:00.0000 00\r");
    EXPECT_TRUE(station.keeper.isDown());
    EXPECT_EQ(station.dataHealth().waiting, 1);
    QThread::msleep(1500); // the abandoned statement still waits on the server
    other.execute("unlock tables", "unlock", nullptr);
    ASSERT_TRUE(test::waitFor(
        [&] { return !station.keeper.isDown() && station.dataHealth().waiting == 0; }, 15000));
    deliverToStation(" 0002 C0  10:00:10.0000 00\r");
    QThread::msleep(500); // time for an abandoned insert to land, if it could
    EXPECT_EQ(rows("select bib from pulsedata order by id"), (QStringList{"0001", "0002"}));
}
