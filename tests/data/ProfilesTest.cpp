#include "data/Profiles.h"

#include "data/DbError.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace pistel;
using pistel::test::DbTest;
using pistel::test::ScriptedDialog;

namespace {

int portNobodyListensOn() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

// Profiles for these tests: Local, Server and Release on the private server (the test
// database), Test on a loopback port where nothing listens.
void pointProfilesForTests() {
    static QTemporaryDir dir;
    QFile current(qEnvironmentVariable("ODBCINI"));
    if (!current.open(QIODevice::ReadOnly))
        throw std::runtime_error("ODBCINI not readable: start the tests through ctest");
    const QString text = QString::fromUtf8(current.readAll());
    const auto m = QRegularExpression(R"(\[PistelTest\][^\[]*PORT=(\d+))").match(text);
    if (!m.hasMatch())
        throw std::runtime_error("no PistelTest port in ODBCINI");
    const QString port = m.captured(1);
    QString ini;
    for (const char* dsn : {"PistelLocal", "PistelTest", "PistelServer", "PistelRelease"}) {
        const bool dead = QLatin1String(dsn) == QLatin1String("PistelTest");
        ini +=
            QStringLiteral("[%1]\nDriver=MariaDB\nSERVER=127.0.0.1\nPORT=%2\nDATABASE=pistel_test\n"
                           "CHARSET=sjis\n\n")
                .arg(dsn, dead ? QString::number(portNobodyListensOn()) : port);
    }
    QFile out(dir.filePath("odbc.ini"));
    out.open(QIODevice::WriteOnly);
    out.write(ini.toUtf8());
    out.close();
    qputenv("ODBCINI", out.fileName().toLocal8Bit());
    qputenv("PISTEL_TEST_DSN", "PistelLocal");
}

// The environment as ctest set it, given back after the suite whatever happened in it.
struct SavedEnvironment {
    QByteArray odbcIni = qgetenv("ODBCINI");
    QByteArray testDsn = qgetenv("PISTEL_TEST_DSN");
    bool hadTestDsn = qEnvironmentVariableIsSet("PISTEL_TEST_DSN");
    void restore() const {
        qputenv("ODBCINI", odbcIni);
        if (hadTestDsn)
            qputenv("PISTEL_TEST_DSN", testDsn);
        else
            qunsetenv("PISTEL_TEST_DSN");
    }
};

} // namespace

class ProfilesTest : public DbTest {
protected:
    static void SetUpTestSuite() {
        saved() = SavedEnvironment{};
        pointProfilesForTests();
    }
    static void TearDownTestSuite() { saved().restore(); }
    static SavedEnvironment& saved() {
        static SavedEnvironment environment;
        return environment;
    }
    void SetUp() override {
        DbTest::SetUp();
        exec("insert into execcheck (stat) values ('0')");
    }
    QString lock() { return scalar("select stat from execcheck"); }

    ScriptedDialog dialog;
    TDM1 station; // the workstation's own data module
    ConnectionView view;
    ProfileSwitch profiles{app, station, dialog, view};
};

TEST_F(ProfilesTest, ParameterListAndConnectionString) {
    const QStringList p = connectionParameters(ProfileServer);
    ASSERT_EQ(p.size(), 18);
    EXPECT_EQ(p[0], "DATABASE NAME=");
    EXPECT_EQ(p[2], "ODBC DSN=PistelServer");
    EXPECT_EQ(p[10], "SQLPASSTHRU MODE=SHARED NOAUTOCOMMIT");
    EXPECT_EQ(p[17], "PASSWORD=lumor");
    EXPECT_EQ(connectionParameters(ProfileLocal, true)[10], "SQLPASSTHRU MODE=SHARED AUTOCOMMIT");
    EXPECT_EQ(connectionStringOf(p), "DSN=PistelServer;UID=root;PWD=lumor;CHARSET=sjis");
}

TEST_F(ProfilesTest, LocalConnectsAndTakesTheLock) {
    profiles.select(ProfileLocal);
    EXPECT_TRUE(station.Db1.isOpen());
    EXPECT_EQ(view.databaseName(), "ODBC DSN=PistelLocal");
    EXPECT_TRUE(app.lockHeld);
    EXPECT_EQ(lock(), "1");
    EXPECT_EQ(app.connectedProfile, 0);
    EXPECT_EQ(app.dbType, "MySQL");
    EXPECT_TRUE(dialog.asked.isEmpty());
    profiles.releaseLock();
    EXPECT_EQ(lock(), "0");
}

TEST_F(ProfilesTest, ServerAskedAndConfirmed) {
    dialog.answers = {true};
    profiles.select(ProfileServer);
    EXPECT_EQ(dialog.asked,
              QStringList{"確認してください。|サーバーのデータベースに接続しようとしています。"
                          "十分注意して作業してください。接続してよろしいですか？"});
    EXPECT_EQ(view.serverLabel(), "サーバーに接続中");
    EXPECT_EQ(app.connectedProfile, 2);
    EXPECT_EQ(view.databaseName(), "ODBC DSN=PistelServer");
    profiles.select(ProfileRelease); // any later switch clears the label
    EXPECT_EQ(view.serverLabel(), "");
    EXPECT_EQ(app.connectedProfile, 3);
    EXPECT_EQ(lock(), "1"); // released and taken again by the same workstation
    EXPECT_TRUE(app.lockHeld);
}

TEST_F(ProfilesTest, ServerDeclinedEndsOnLocal) {
    dialog.answers = {false};
    profiles.select(ProfileServer);
    EXPECT_EQ(view.profileIndex(), 0);
    EXPECT_EQ(view.serverLabel(), "");
    EXPECT_EQ(app.chosenProfile, 0);
    EXPECT_EQ(app.connectedProfile, 0);
    EXPECT_EQ(view.databaseName(), "ODBC DSN=PistelLocal");
    EXPECT_TRUE(station.Db1.isOpen());
}

TEST_F(ProfilesTest, FailingProfileFallsBackToLocal) {
    profiles.select(ProfileLocal);
    profiles.select(ProfileTest); // nothing listens there
    EXPECT_EQ(dialog.messages,
              QStringList{"ODBC DSN=PistelTest の接続に失敗しました。「Local」に接続します。"});
    EXPECT_EQ(view.profileIndex(), 0);
    EXPECT_EQ(app.chosenProfile, 0);
    EXPECT_EQ(app.connectedProfile, 0);
    EXPECT_EQ(view.databaseName(), "ODBC DSN=PistelLocal");
    EXPECT_TRUE(station.Db1.isOpen());
    EXPECT_TRUE(app.lockHeld);
    EXPECT_EQ(lock(), "1");
}

TEST_F(ProfilesTest, LocalFailingTooLeavesNoConnection) {
    profiles.connectionString = [](const QStringList& p) {
        return connectionStringOf(p).replace("DSN=PistelLocal", "DSN=PistelTest");
    };
    profiles.select(ProfileLocal);
    EXPECT_EQ(dialog.messages,
              QStringList{"ODBC DSN=PistelLocal の接続に失敗しました。「Local」に接続します。"});
    EXPECT_FALSE(station.Db1.isOpen());
    EXPECT_EQ(view.databaseName(), "ODBC DSN=PistelLocal");
    EXPECT_THROW(station.Qtemp.open(), DbError);
    // The data source is kept for when the server answers: the windows' own connections and
    // the run window's station connect to it then.
    EXPECT_TRUE(station.Db1.wasOpened());
    EXPECT_TRUE(station.Db1.lastConnectionString().contains("DSN=PistelTest"))
        << station.Db1.lastConnectionString().toStdString();
}

// After this workstation's own crash (its process gone), the lock is taken back with a
// notice; a lock of another live process is asked about, and Enter keeps capture.
TEST_F(ProfilesTest, OwnCrashTakesTheLockBackAnotherHolderIsAsked) {
    profiles.select(ProfileLocal);
    ASSERT_TRUE(app.lockHeld);
    EXPECT_EQ(rows("select host,pid from capture_holder"),
              QStringList{QSysInfo::machineHostName() + "|" +
                          QString::number(QCoreApplication::applicationPid())});
    QProcess gone;
    gone.start("true");
    ASSERT_TRUE(gone.waitForFinished());
    exec(QString("update capture_holder set pid = %1").arg(gone.processId()));
    AppState restarted;
    ProfileSwitch again(restarted, station, dialog, view);
    again.select(ProfileRelease);
    again.select(ProfileLocal);
    EXPECT_TRUE(restarted.lockHeld);
    EXPECT_EQ(restarted.terminalMode, 0);
    EXPECT_TRUE(dialog.asked.isEmpty());
    EXPECT_EQ(dialog.messages, QStringList{kLockTakenBack});

    exec("update capture_holder set pid = 1"); // a process that runs: someone else's
    exec("update execcheck set stat='1'");
    AppState third;
    ProfileSwitch other(third, station, dialog, view);
    dialog.answers = {false};
    other.select(ProfileRelease);
    EXPECT_EQ(dialog.asked.size(), 1);
    EXPECT_FALSE(third.lockHeld);
}

TEST_F(ProfilesTest, LockTakenAnswerYesGivesTerminalMode) {
    exec("update execcheck set stat='1'");
    dialog.answers = {true};
    profiles.select(ProfileLocal);
    EXPECT_EQ(dialog.asked,
              QStringList{"「はい」を選択すると端末モードで実行します。|選択中のデータベー"
                          "スは既に取込モードで実行されています、端末モードに切換えます。"});
    EXPECT_EQ(app.terminalMode, 1);
    EXPECT_TRUE(view.terminalLook());
    EXPECT_FALSE(app.lockHeld);
    // From now on the lock table is never touched again.
    pistel::test::RenamedTable away([this](const QString& sql) { exec(sql); }, "execcheck");
    profiles.select(ProfileRelease);
    EXPECT_TRUE(dialog.messages.isEmpty());
    EXPECT_EQ(view.databaseName(), "ODBC DSN=PistelRelease");
    away.restore();
    EXPECT_EQ(lock(), "1");
}

TEST_F(ProfilesTest, LockTakenAnswerNoLeavesItAlone) {
    exec("update execcheck set stat='1'");
    dialog.answers = {false};
    profiles.select(ProfileLocal);
    EXPECT_EQ(app.terminalMode, 0);
    EXPECT_FALSE(app.lockHeld);
    EXPECT_FALSE(view.terminalLook());
    profiles.releaseLock(); // closing the main window
    EXPECT_EQ(lock(), "1");
}

TEST_F(ProfilesTest, OnlyOneOfTwoWorkstationsTakesTheLock) {
    profiles.select(ProfileLocal);
    ScriptedDialog otherDialog;
    otherDialog.answers = {true};
    AppState otherApp;
    TDM1 otherStation;
    ConnectionView otherView;
    ProfileSwitch other(otherApp, otherStation, otherDialog, otherView);
    other.select(ProfileLocal);
    EXPECT_TRUE(app.lockHeld);
    EXPECT_FALSE(otherApp.lockHeld);
    EXPECT_EQ(otherApp.terminalMode, 1);
    EXPECT_EQ(otherDialog.asked.size(), 1);
}

TEST_F(ProfilesTest, TerminalModeFromTheStartNeverTouchesTheLock) {
    app.terminalMode = 1;
    pistel::test::RenamedTable away([this](const QString& sql) { exec(sql); }, "execcheck");
    profiles.select(ProfileLocal);
    away.restore();
    EXPECT_TRUE(dialog.messages.isEmpty());
    EXPECT_TRUE(station.Db1.isOpen());
    EXPECT_FALSE(app.lockHeld);
    EXPECT_FALSE(view.terminalLook()); // the window keeps its normal look
}

TEST_F(ProfilesTest, LockTableProblemsAndEmptyLockTable) {
    exec("delete from execcheck");
    profiles.select(ProfileLocal);
    EXPECT_TRUE(app.lockHeld); // no row reads as free
    EXPECT_TRUE(dialog.asked.isEmpty());

    pistel::test::RenamedTable away([this](const QString& sql) { exec(sql); }, "execcheck");
    profiles.select(ProfileRelease); // the lock check fails: handled as a failed connection
    away.restore();
    ASSERT_EQ(dialog.messages.size(), 2); // Release, then Local (whose lock check fails too)
    EXPECT_EQ(dialog.messages[0],
              "ODBC DSN=PistelRelease の接続に失敗しました。「Local」に接続します。");
    EXPECT_EQ(app.connectedProfile, 0);
    EXPECT_EQ(view.profileIndex(), 0);
}

TEST_F(ProfilesTest, SelectionBeyondTheItems) {
    profiles.select(7);
    EXPECT_EQ(view.profileIndex(), 3);
    EXPECT_EQ(app.connectedProfile, 3);
    ProfileSwitch none(app, station, dialog, view);
    ConnectionView fresh;
    ProfileSwitch p2(app, station, dialog, fresh);
    p2.select(-1);
    EXPECT_EQ(fresh.profileIndex(), -1);
    EXPECT_EQ(fresh.databaseName(), "");
}
