// Drills against the real server: a server that stops answering must give an error within
// the time-out, never a frozen caller.
#include "data/DbError.h"
#include "support/DbServer.h"
#include "support/DbTest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <csignal>

using namespace pistel;
using pistel::test::DbTest;

using pistel::test::PausedServer;

class OutageTest : public DbTest {};

TEST_F(OutageTest, APausedServerGivesAnErrorWithinTheTimeOut) {
    ASSERT_GT(test::DbServer::pid(), 0);
    odbc::Connection db;
    db.timeoutSeconds = 2;
    db.open(connectionString(QStringLiteral("PistelTest")));
    Query q(db, QStringLiteral("probe"), {QStringLiteral("select count(*) from result")});
    q.open();
    QElapsedTimer t;
    {
        PausedServer paused;
        t.start();
        try {
            q.open();
            ADD_FAILURE() << "a paused server answered";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.connectionLost()) << e.message().toStdString();
        }
        EXPECT_LT(t.elapsed(), 2500);
        EXPECT_FALSE(db.isOpen()); // closed: later statements fail at once
        t.restart();
        EXPECT_THROW(q.open(), DbError);
        EXPECT_LT(t.elapsed(), 100);
        t.restart();
        odbc::Connection other;
        other.timeoutSeconds = 2;
        EXPECT_THROW(other.open(connectionString(QStringLiteral("PistelTest"))), DbError);
        EXPECT_LT(t.elapsed(), 2500);
    }
    // Back again: the same connection opens again where it was.
    db.reopen();
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
}
