// Drill: the workstation is killed (SIGKILL) while a line's write waits on a paused server.
// The line was journaled before the write; the next start writes it from the day's journal,
// once, and the lines stored before are not written again.
#include "capture/ImpulseJournal.h"
#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "capture/RunControl.h"
#include "data/AppState.h"
#include "support/DbServer.h"
#include "support/DbTest.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <iostream>
#include <string>

using namespace pistel;
using pistel::test::DbTest;

namespace {
const char kChildJournal[] = "PISTEL_CRASH_CHILD_JOURNAL";

int journalRecords(const QString& folder) {
    const ImpulseJournal journal(folder);
    return static_cast<int>(journal.dayEntries(QDate::currentDate()).size());
}
} // namespace

// The workstation's side of the drill below, run in a child process that the drill kills:
// timer lines come one a line on standard input and go through the receive handler and the
// capture, as the run window wires them.
TEST(CrashDrillChild, ReceivesUntilKilled) {
    const QString folder = qEnvironmentVariable(kChildJournal);
    if (folder.isEmpty())
        GTEST_SKIP() << "the crash drill's child process only";
    AppState app;
    app.competitionCode = QStringLiteral("C1");
    app.timerPortOpen = true;
    TDM1 dm;
    dm.Db1.open(connectionString(QStringLiteral("PistelTest")));
    ImpulseJournal journal(folder);
    QueueByteSource port;
    ReceiveHandler handler(app, dm, port, &journal);
    RunControl control(app, dm);
    handler.setCapture(&control);
    control.selection.selectRun1();
    std::string text;
    while (std::getline(std::cin, text)) {
        port.push(QByteArray::fromStdString(text) + '\r');
        handler.CommX1Receive(port.InQueCount());
        std::cout << "handled" << std::endl;
    }
}

class CrashDrill : public DbTest {};

TEST_F(CrashDrill, KilledBetweenTheJournalAndTheCommit) {
    addCompetition("C1");
    addCompetitors("C1", {{"0001", 1, 1, 1}, {"0002", 2, 2, 1}, {"0003", 3, 3, 1}});
    QTemporaryDir folder;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildJournal, folder.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=CrashDrillChild.*"});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray said;
    auto handled = [&](int n) { // the child has finished with n lines
        return pistel::test::waitFor(
            [&] {
                said += child.readAllStandardOutput();
                return said.count("handled") >= n;
            },
            10000);
    };
    child.write(" 0001 C0  10:00:00.0000 00\n 0001 C1  10:01:00.0000 00\n");
    ASSERT_TRUE(handled(2));
    {
        test::PausedServer paused;
        child.write("?0000 C0  10:02:00.0000 00\n");
        // The line is on disk before its capture's first statement, which now waits on the
        // paused server: kill it then.
        ASSERT_TRUE(
            pistel::test::waitFor([&] { return journalRecords(folder.path()) == 3; }, 5000));
        QThread::msleep(200);
        child.kill();
        ASSERT_TRUE(child.waitForFinished(5000));
    }
    // Whatever the server made of the batch it held, the restart finds every line once.
    AppState app2;
    app2.competitionCode = QStringLiteral("C1");
    ImpulseJournal journal(folder.path());
    QueueByteSource port;
    ReceiveHandler restarted(app2, dm, port, &journal);
    restarted.recoverPending();
    EXPECT_EQ(rows("select dtime,count(*) from pulsedata group by dtime order by dtime"),
              (QStringList{"10:00:00.0000|1", "10:01:00.0000|1", "10:02:00.0000|1"}));
    // The third line was captured (its batch was committed after all) or is unassigned.
    EXPECT_EQ(scalar("select count(*) from result where sttime='10:02:00.0000'").toInt() +
                  scalar("select count(*) from pulse_unassigned").toInt(),
              1);
    EXPECT_EQ(field("C1", "0001", "ttime"), "00:01:00.00");
    // Running it again writes nothing more.
    EXPECT_EQ(restarted.recoverPending().written, 0);
    EXPECT_EQ(scalar("select count(*) from pulsedata"), "3");
}
