// Drills against the real server: a server that stops answering must give an error within
// the time-out, never a frozen caller.
#include "data/DbError.h"
#include "support/DbTest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <csignal>

using namespace pistel;
using pistel::test::DbTest;

namespace {

// The private test server's process, from the state folder the ODBC files live in.
pid_t serverPid() {
    const QString odbcIni = qEnvironmentVariable("ODBCINI");
    QFile f(QFileInfo(odbcIni).dir().filePath("../mysqld.pid"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<pid_t>(f.readAll().trimmed().toInt());
}

// Pauses the server for as long as it lives.
struct PausedServer {
    pid_t pid = serverPid();
    PausedServer() {
        if (pid > 0)
            ::kill(pid, SIGSTOP);
    }
    ~PausedServer() {
        if (pid > 0)
            ::kill(pid, SIGCONT);
    }
};

} // namespace

class OutageTest : public DbTest {};

TEST_F(OutageTest, APausedServerGivesAnErrorWithinTheTimeOut) {
    ASSERT_GT(serverPid(), 0);
    odbc::Connection db;
    db.timeoutSeconds = 1;
    db.open(connectionString(QStringLiteral("PistelTest")));
    Query q(db, QStringLiteral("probe"), {QStringLiteral("select count(*) from result")});
    q.open();
    QElapsedTimer t;
    {
        PausedServer paused;
        t.start();
        EXPECT_THROW(q.open(), DbError);
        // The driver's client library tries a read three times.
        EXPECT_LT(t.elapsed(), 5000);
        t.restart();
        odbc::Connection other;
        other.timeoutSeconds = 1;
        EXPECT_THROW(other.open(connectionString(QStringLiteral("PistelTest"))), DbError);
        EXPECT_LT(t.elapsed(), 5000);
    }
    // Back again: a new connection works.
    odbc::Connection fresh;
    fresh.open(connectionString(QStringLiteral("PistelTest")));
    Query again(fresh, QStringLiteral("again"), {QStringLiteral("select count(*) from result")});
    again.open();
    EXPECT_EQ(again.recordCount(), 1);
}
