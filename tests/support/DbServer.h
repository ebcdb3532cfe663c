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

// Pauses the server (SIGSTOP) for as long as it lives.
struct PausedServer {
    PausedServer() { DbServer::signal(SIGSTOP); }
    ~PausedServer() { DbServer::signal(SIGCONT); }
};

} // namespace pistel::test
