#include "app/SettingsFile.h"
#include "app/TFmain.h"
#include "data/DbError.h"
#include "support/Contrast.h"
#include "support/DbServer.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"
#include "ui/TCuteButton.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace pistel;
using pistel::test::DbTest;
using pistel::test::ScriptedDialog;

// The main window over the private server: the data module connects by PistelLocal, as at
// a real start; the helpers of the fixture look at the same database.
class MainWindowTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        exec("insert into execcheck (stat) values ('0')");
    }
    void writeIni(const QByteArray& text) {
        QFile f(iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    std::unique_ptr<TFmain> start(const QStringList& arguments = {"pistel"}) {
        auto w = std::make_unique<TFmain>(app, station, dialog, iniPath, arguments,
                                          QCoreApplication::applicationFilePath());
        // Server and Release point at the private server too.
        w->profiles.connectionString = [](const QStringList& p) {
            return connectionStringOf(p)
                .replace("DSN=PistelServer", "DSN=PistelLocal")
                .replace("DSN=PistelRelease", "DSN=PistelLocal");
        };
        w->profiles.connectAtCreation();
        w->show();
        return w;
    }
    QString lock() { return scalar("select stat from execcheck"); }
    QByteArray iniText() {
        QFile f(iniPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString iniPath = dir.filePath("config/pistel/PistelAuto.ini");
    ScriptedDialog dialog;
    TDM1 station;
};

TEST_F(MainWindowTest, FirstStartOnLocalWritesACompleteFile) {
    auto w = start();
    EXPECT_EQ(w->windowTitle(), "Pistel Auto");
    EXPECT_EQ(w->size(), QSize(770, 550));
    EXPECT_TRUE(w->profileButton(0)->isChecked());
    EXPECT_EQ(w->Ladbname->text(), "ODBC DSN=PistelLocal");
    // "終了" reads well on its light face.
    EXPECT_GE(test::contrastRatio(w->CuteButton3->captionColor(), w->CuteButton3->faceColor()),
              4.5);
    EXPECT_EQ(w->Label2->text(), "V β1.01");
    EXPECT_TRUE(QRegularExpression("^\\d\\d/\\d\\d/\\d{4}$").match(w->Lbdate->text()).hasMatch());
    EXPECT_EQ(lock(), "1");
    EXPECT_TRUE(dialog.messages.isEmpty());
    w->CuteButton3Click(); // "終了"
    EXPECT_EQ(lock(), "0");
    EXPECT_EQ(iniText(), "[Port]\nPort1=0\nPort2=0\nPort3=0\n"
                         "Baud1=2400\nDataBits1=8\nParity1=N\nStopBits1=1\n"
                         "Baud2=2400\nDataBits2=8\nParity2=N\nStopBits2=1\n"
                         "Baud3=2400\nDataBits3=8\nParity3=N\nStopBits3=1\n"
                         "[DB]\nDbType=MySQL\nDbindex=0\nDbmode=0\nTimeout=3\n[Web]"
                         "\nBaseUrl=http://localhost/sokuho/\nKey=\n");
}

TEST_F(MainWindowTest, SettingsAreReadAndWrittenBack) {
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    writeIni("[Port]\nPort1=3\nPort2=5\nPort3=6\nBaud3=9600\n[DB]\nDbType=MySQL\nDbindex=3\n"
             "Dbmode=3\n");
    auto w = start();
    EXPECT_EQ(app.timerPortNo, 3);
    EXPECT_EQ(app.boardPortNo, 5);
    EXPECT_EQ(app.backupPortNo, 6); // the second timer's
    EXPECT_EQ(app.backupLine.baud, 9600);
    EXPECT_TRUE(w->profileButton(3)->isChecked());
    EXPECT_EQ(w->Ladbname->text(), "ODBC DSN=PistelRelease");
    app.timerPortNo = 0; // the operator chose no timer port in the run window
    w->close();
    EXPECT_EQ(iniText(), "[Port]\nPort1=0\nPort2=5\nPort3=6\n"
                         "Baud1=2400\nDataBits1=8\nParity1=N\nStopBits1=1\n"
                         "Baud2=2400\nDataBits2=8\nParity2=N\nStopBits2=1\n"
                         "Baud3=9600\nDataBits3=8\nParity3=N\nStopBits3=1\n"
                         "[DB]\nDbType=MySQL\nDbindex=3\nDbmode=3\nTimeout=3\n[Web]"
                         "\nBaseUrl=http://localhost/sokuho/\nKey=\n");
}

TEST_F(MainWindowTest, ServerProfileAsksRightAfterStart) {
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    writeIni("[DB]\nDbindex=2\n");
    dialog.answers = {true};
    auto w = start();
    ASSERT_EQ(dialog.asked.size(), 1);
    EXPECT_TRUE(dialog.asked[0].startsWith("確認してください。|"));
    EXPECT_EQ(w->Label16->text(), "サーバーに接続中");
    EXPECT_TRUE(w->profileButton(2)->isChecked());
}

TEST_F(MainWindowTest, ProfileIndexBeyondTheItems) {
    QDir().mkpath(QFileInfo(iniPath).absolutePath());
    writeIni("[DB]\nDbindex=9\n");
    auto w = start();
    EXPECT_TRUE(w->profileButton(3)->isChecked());
    w.reset();
    exec("update execcheck set stat='0'");
    writeIni("[DB]\nDbindex=-1\n");
    auto none = start();
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(none->profileButton(i)->isChecked());
    EXPECT_EQ(lock(), "0");            // no switch ran: the lock was not read
    EXPECT_TRUE(station.Db1.isOpen()); // the creation connection to Local stays
}

TEST_F(MainWindowTest, TerminalModeArgument) {
    pistel::test::RenamedTable away([this](const QString& sql) { exec(sql); }, "execcheck");
    auto w = start({"pistel", "1"});
    away.restore();
    EXPECT_EQ(app.terminalMode, 1);
    EXPECT_TRUE(dialog.messages.isEmpty()); // the lock table was never read
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(64, 128, 128));
    EXPECT_TRUE(w->Image1->isVisible());
}

TEST_F(MainWindowTest, LockTakenAndTerminalModeChosen) {
    exec("update execcheck set stat='1'");
    dialog.answers = {true};
    auto w = start();
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_FALSE(w->Image1->isVisible());
    w->close();
    EXPECT_EQ(lock(), "1"); // not ours to release
}

// The button opens the selection at once: the selection reads the competitions on a
// connection of its own (Shift-JIS names from the data source), so a server that is away
// never holds this window; the selection says so itself.
TEST_F(MainWindowTest, CompetitionProcessingOpensTheSelectionWithoutWaitingForTheServer) {
    auto w = start();
    int opened = 0;
    w->openCompetitionSelection = [&] { ++opened; };
    QTest::mouseClick(w->bTaikai, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(opened, 1);
    station.Db1.close(); // a connection lost meanwhile (a server restart)
    {
        test::PausedServer paused;
        QElapsedTimer clock;
        clock.start();
        w->bTaikaiClick();
        // Before, the button reopened the connection here and waited for its time-out.
        EXPECT_LT(clock.elapsed(), 100);
    }
    EXPECT_EQ(opened, 2);
}
