// Drills against the real server: a server that stops answering must give an error within
// the time-out, never a frozen caller.
#include "data/BackgroundReader.h"
#include "data/DbError.h"
#include "data/odbc/DataSourceFile.h"
#include "support/DbServer.h"
#include "support/DbTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
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

// unixODBC keeps what it read of odbc.ini for about 20 s: a server started again on a new
// port must be found by the very next connection all the same.
TEST_F(OutageTest, AServerOnANewPortIsFoundByTheNextConnection) {
    auto port = [] {
        QFile f(qEnvironmentVariable("ODBCINI"));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return odbc::iniValue(f.readAll(), QStringLiteral("PistelTest"), QStringLiteral("port"));
    };
    const QString before = port();
    odbc::Connection db;
    db.open(connectionString(QStringLiteral("PistelTest")));
    {
        test::RestartsServer restartsAnyway;
        test::DbServer::kill();
        test::DbServer::startOnNewPort();
    }
    ASSERT_NE(port(), before) << "the server came back on the same port";
    db.reopen();
    Query q(db, QStringLiteral("probe"), {QStringLiteral("select count(*) from result")});
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
}

TEST(DataSourceFile, ReadsTheDataSourcesOwnKeywords) {
    const QByteArray ini = "; comment\n[PistelLocal]\nDriver=MariaDB\nPORT=1111\n\n"
                           "[PistelTest]\r\nDriver = MariaDB\r\n# PORT=9\r\n  port = 2222 \r\n"
                           "SERVER=127.0.0.1\r\n[Other]\nPORT=3333\n";
    EXPECT_EQ(odbc::iniValue(ini, "PistelTest", "PORT"), "2222");
    EXPECT_EQ(odbc::iniValue(ini, "pisteltest", "server"), "127.0.0.1");
    EXPECT_EQ(odbc::iniValue(ini, "PistelLocal", "PORT"), "1111");
    EXPECT_EQ(odbc::iniValue(ini, "PistelLocal", "SERVER"), "");
    EXPECT_EQ(odbc::iniValue(ini, "Missing", "PORT"), "");
}

// The background reader: one read at a time, its outcome handed back on the asking thread;
// the asking thread keeps running while a paused server holds a read; a failed read leaves
// the connection to be opened afresh by the next, which finds the server back.
TEST_F(OutageTest, ABackgroundReadNeverHoldsTheAskingThread) {
    const QString where = connectionString(QStringLiteral("PistelTest"));
    BackgroundReader reader;
    struct Outcome {
        bool done = false;
        QString error;
        bool lost = false;
        Qt::HANDLE thread = nullptr;
    };
    auto start = [&](Outcome& o, const QString& sql, QString* found = nullptr) {
        return reader.read(
            where, 2,
            [sql, found](odbc::Connection& db) {
                Query q(db, QStringLiteral("background"), {sql});
                q.open();
                if (found)
                    *found = q.text(0, 0);
            },
            [&o](const QString& error, bool lost) {
                o = {true, error, lost, QThread::currentThreadId()};
            });
    };
    auto waitDone = [](const Outcome& o, int ms) {
        QElapsedTimer t;
        t.start();
        while (!o.done && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return o.done;
    };

    Outcome first;
    QString count;
    ASSERT_TRUE(start(first, QStringLiteral("select count(*) from result"), &count));
    Outcome refused;
    EXPECT_FALSE(start(refused, QStringLiteral("select 1"))); // one at a time
    // Asked again meanwhile: the latest request runs once, after the read's outcome.
    QStringList later;
    reader.readAgainAfter([&] { later << "earlier"; });
    reader.readAgainAfter([&] { later << (first.done ? "after" : "before"); });
    ASSERT_TRUE(waitDone(first, 5000));
    EXPECT_EQ(later, QStringList{"after"});
    EXPECT_TRUE(first.error.isEmpty()) << first.error.toStdString();
    EXPECT_EQ(first.thread, QThread::currentThreadId());
    EXPECT_FALSE(count.isEmpty());
    EXPECT_FALSE(refused.done);

    // A statement the server refuses: an error, the connection not lost.
    Outcome bad;
    ASSERT_TRUE(start(bad, QStringLiteral("select nothing from nowhere")));
    ASSERT_TRUE(waitDone(bad, 5000));
    EXPECT_FALSE(bad.error.isEmpty());
    EXPECT_FALSE(bad.lost);

    Outcome held;
    bool closedDone = false;
    {
        PausedServer paused;
        QElapsedTimer t;
        t.start();
        ASSERT_TRUE(start(held, QStringLiteral("select 1")));
        EXPECT_LT(t.elapsed(), 100); // the asking thread goes on at once
        ASSERT_TRUE(waitDone(held, 6000));
        EXPECT_TRUE(held.lost) << held.error.toStdString();

        // A reader closed while its read waits for the server (a view closed by the operator)
        // leaves the read to end by itself, without its outcome.
        auto closing = std::make_unique<BackgroundReader>();
        auto seen = std::make_shared<QString>();
        ASSERT_TRUE(closing->read(
            where, 2,
            [seen](odbc::Connection& db) {
                Query q(db, QStringLiteral("background"), {QStringLiteral("select 7")});
                q.open();
                *seen = q.text(0, 0);
            },
            [&closedDone](const QString&, bool) { closedDone = true; }));
        t.restart();
        closing.reset();
        EXPECT_LT(t.elapsed(), 100);
        EXPECT_EQ(BackgroundReader::abandonedReads(), 1);
    }
    // Once the server answers, the abandoned read ends and its thread is released.
    Outcome ended;
    ASSERT_TRUE(start(ended, QStringLiteral("select 1"))); // keeps the event loop turning
    ASSERT_TRUE(waitDone(ended, 5000));
    QElapsedTimer released;
    released.start();
    while (BackgroundReader::abandonedReads() > 0 && released.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(BackgroundReader::abandonedReads(), 0);
    EXPECT_FALSE(closedDone);
    Outcome again;
    ASSERT_TRUE(start(again, QStringLiteral("select 1")));
    ASSERT_TRUE(waitDone(again, 5000));
    EXPECT_TRUE(again.error.isEmpty()) << again.error.toStdString();
}
