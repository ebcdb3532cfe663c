#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace pistel::test {

// The private test server, for drills: its state folder is where the ODBC files the tests
// use live (STATE/odbc/odbc.ini).
class DbServer {
public:
    static QString stateDir() {
        return QFileInfo(qEnvironmentVariable("ODBCINI")).dir().absoluteFilePath("..");
    }
    static pid_t pid() {
        QFile f(stateDir() + "/mysqld.pid");
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        return static_cast<pid_t>(f.readAll().trimmed().toInt());
    }
    static void signal(int sig) {
        const pid_t p = pid();
        ASSERT_GT(p, 0) << "no test server";
        ::kill(p, sig);
    }
    // kill -9, and wait until it is gone.
    static void kill() {
        const pid_t p = pid();
        ASSERT_GT(p, 0) << "no test server";
        ::kill(p, SIGKILL);
        for (int i = 0; i < 200 && ::kill(p, 0) == 0; ++i)
            QThread::msleep(10);
    }
    // Starts it again as the start script does after it died: the same data on a new free
    // port, written to the ODBC files the clients read at each connection.
    static void startOnNewPort() {
        QProcess p;
        p.start("bash", {PISTEL_DB_SCRIPT, "start", stateDir()});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    // Starts it again on the same port, with the same data.
    static void restart() {
        QProcess p;
        p.start("bash", {PISTEL_DB_SCRIPT, "restart", stateDir()});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
};

// Makes sure the server runs again when a drill ends, even one that failed half-way, so the
// tests after it find their database.
struct RestartsServer {
    ~RestartsServer() { DbServer::restart(); }
};

// Pauses the server (SIGSTOP) for as long as it lives. kill() returns before the server's
// threads have stopped (one may still answer a query on the other core): it waits until
// the kernel reports the process stopped.
struct PausedServer {
    PausedServer() {
        DbServer::signal(SIGSTOP);
        for (int i = 0; i < 500 && !stopped(); ++i)
            QThread::msleep(2);
        EXPECT_TRUE(stopped()) << "the test server did not stop";
    }
    ~PausedServer() { DbServer::signal(SIGCONT); }
    // Every thread of the server stopped ("T" after the command name in its stat).
    static bool stopped() {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(DbServer::pid()));
        const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& thread : threads) {
            QFile f(tasks.filePath(thread + QStringLiteral("/stat")));
            if (!f.open(QIODevice::ReadOnly))
                return false;
            const QByteArray stat = f.readAll();
            const qsizetype at = stat.lastIndexOf(')');
            if (at < 0 || stat.mid(at + 2, 1) != "T")
                return false;
        }
        return !threads.isEmpty();
    }
};

} // namespace pistel::test
