#include "CaptureFixture.h"
#include "HttpServer.h"
#include "Pty.h"
#include "app/TFmain.h"
#include "app/Windows.h"
#include "capture/ImpulseJournal.h"
#include "data/DbError.h"
#include "live/LiveServer.h"
#include "results/DocumentPdf.h"
#include "station/StationThread.h"
#include "support/DbServer.h"
#include "support/ScriptedDialog.h"
#include "support/TextFit.h"
#include "support/WindowThreadWatch.h"
#include "ui/BackupWindow.h"
#include "ui/DocumentDialog.h"
#include "ui/Grid.h"
#include "ui/HistoryView.h"
#include "ui/MessageBoxDialog.h"
#include "ui/RankingView.h"
#include "ui/RunPageWidget.h"
#include "ui/RunSettingsPage.h"
#include "ui/TCuteButton.h"
#include "ui/TFselecttaikai.h"
#include "ui/TFtaikai.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace pistel;
using pistel::test::CaptureFixture;
using pistel::test::HttpServer;
using pistel::test::Pty;
using pistel::test::ScriptedDialog;
using pistel::test::waitFor;

namespace {
void screenshot(QWidget& w, const QString& name) {
    const QString dir = QStringLiteral(PISTEL_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(w.grab().save(dir + "/" + name + ".png")) << name.toStdString();
}
} // namespace

class RunWindowTest : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        addStandardField();
        qputenv("PISTEL_PORTS",
                ("COM9=" + timer.path() + ";COM8=" + boardLine.path()).toLocal8Bit());
        app.timerPortOpen = false;
        app.timerPortNo = 9;
        app.boardPortNo = 8;
    }
    void TearDown() override { qunsetenv("PISTEL_PORTS"); }
    // The station runs on a thread of its own: `work` runs there, and this waits for it.
    template <class Work> auto at(TFtaikai& w, Work work) {
        if constexpr (std::is_void_v<decltype(work())>) {
            w.stationThread.call(work);
        } else {
            decltype(work()) result{};
            w.stationThread.call([&] { result = work(); });
            return result;
        }
    }
    // What the window sent the station is done, and what the station said is shown.
    void settle(TFtaikai& w) { w.stationThread.settle(); }
    std::unique_ptr<TFtaikai> openWindow() {
        auto w = std::make_unique<TFtaikai>(app, dm, dialog, nullptr,
                                            [](int n) { return PortRegistry::scan().deviceOf(n); });
        at(*w, [&] { w->station.ports.openDelayMs = 0; });
        w->setWindowTitle(runWindowCaption("テスト大会"));
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        settle(*w);
        return w;
    }

    // A run window on run 1 for the outage drills: a short statement time-out, a quick keeper.
    std::unique_ptr<TFtaikai> openDrillWindow(ImpulseJournal& journal) {
        dm.Db1.timeoutSeconds = 2;
        dm.Db1.reopen();
        auto w = std::make_unique<TFtaikai>(app, dm, dialog, &journal,
                                            [](int n) { return PortRegistry::scan().deviceOf(n); });
        at(*w, [&] {
            w->station.ports.openDelayMs = 0;
            w->station.keeper.firstRetryMs = 100;
            w->station.keeper.maxRetryMs = 500;
        });
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        w->CuteButton3Click();
        w->showPage(0);
        settle(*w);
        return w;
    }

    // The row of a competitor in a grid, as shown; -1 when it is not there.
    static int rowOf(Grid* grid, const QString& bib) {
        const QueryMirror& rows = grid->model().rows();
        const int zek = rows.rows().columnIndex(u"zek");
        for (int r = 0; r < rows.recordCount(); ++r)
            if (rows.text(r, zek) == bib)
                return r;
        return -1;
    }

    // A view that reads off the window thread has shown what it read.
    template <class View> bool settled(const View& view) {
        return waitFor([&] { return !view.reading(); }, 10000);
    }

    // Closes a run window as the operator does, confirming the question a window that is
    // timing asks.
    void closeWindow(TFtaikai& w) {
        settle(w);
        if (w.timing())
            dialog.answers.prepend(true);
        w.close();
        EXPECT_TRUE(w.isHidden());
        settle(w);
    }

    Pty timer, boardLine;
    ScriptedDialog dialog;
};

TEST_F(RunWindowTest, FirstPageThenThreeTabs) {
    auto w = openWindow();
    EXPECT_EQ(w->pages->currentWidget(), w->TabSheet4);
    EXPECT_FALSE(w->tabsShown());
    EXPECT_EQ(w->size(), QSize(1020, 730));
    w->CuteButton3Click();
    EXPECT_TRUE(w->tabsShown());
    ASSERT_EQ(w->tabs->count(), 3);
    EXPECT_EQ(w->tabs->tabText(0), "１本目処理");
    EXPECT_EQ(w->tabs->tabText(1), "２本目処理");
    EXPECT_EQ(w->tabs->tabText(2), "設定");
    EXPECT_EQ(w->tabs->currentWidget(), w->TabSheet2);
    EXPECT_EQ(app.currentRun, ""); // no run page shown yet
    // Both ports opened from the saved numbers when the window was shown.
    EXPECT_TRUE(at(*w, [&] { return w->station.CommX1.isOpen(); }));
    EXPECT_TRUE(at(*w, [&] { return w->station.CommBoard.isOpen(); }));
    EXPECT_EQ(w->TabSheet2->Cbxcomm1->currentText(), "COM9");
    EXPECT_TRUE(app.timerPortOpen);
    closeWindow(*w);
    EXPECT_FALSE(at(*w, [&] { return w->station.CommX1.isOpen(); }));
    EXPECT_FALSE(at(*w, [&] { return w->station.CommBoard.isOpen(); }));
}

TEST_F(RunWindowTest, ARaceOnScreen) {
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    EXPECT_EQ(app.currentRun, "1");
    EXPECT_EQ(w->TabSheet1->startBox->text(), "0001");

    timer.send("?0000 C0  10:00:00.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return f("0001", "sttime") == "10:00:00.0000"; }));
    settle(*w);
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 1; }));
    settle(*w);
    EXPECT_EQ(w->TabSheet1->startBox->text(), "0002");
    EXPECT_EQ(w->TabSheet1->finishBox->text(), "0001");
    EXPECT_EQ(w->TabSheet1->startPulses->model().rowCount(), 1);
    EXPECT_TRUE(w->TabSheet2->Memo1->toPlainText().contains("?0000 C0  10:00:00.0000 00"));

    timer.send("?0000 C1  10:01:05.1299 00\r");
    ASSERT_TRUE(waitFor([&] { return f("0001", "ttime") == "00:01:05.12"; }));
    settle(*w);
    ASSERT_TRUE(waitFor([&] { return w->TabSheet1->results->model().rowCount() == 1; }));
    EXPECT_EQ(w->TabSheet1->results->model().data(w->TabSheet1->results->model().index(0, 2)),
              "00:01:05.12");
    screenshot(*w, "run-window-run1");

    // The operator types a bib into the start box and presses Enter.
    w->TabSheet1->startBox->setFocus();
    w->TabSheet1->startBox->selectAll();
    QTest::keyClicks(w->TabSheet1->startBox, "5");
    QTest::keyClick(w->TabSheet1->startBox, Qt::Key_Return);
    settle(*w);
    EXPECT_EQ(w->TabSheet1->startBox->text(), "0005");
    EXPECT_EQ(at(*w, [&] { return w->station.control.page1.startBox(); }), "0005");

    // Run 2: the finisher of run 1 starts and finishes.
    w->showPage(1);
    settle(*w);
    EXPECT_EQ(app.currentRun, "2");
    EXPECT_EQ(w->TabSheet3->startBox->text(), "0001");
    timer.send("?0000 C0  13:00:00.0000 00\r?0000 C1  13:01:04.9500 00\r");
    ASSERT_TRUE(waitFor([&] { return f("0001", "totaltime") == "00:02:10.07"; }));
    settle(*w);
    ASSERT_TRUE(waitFor([&] { return w->TabSheet3->results->model().rowCount() == 1; }));
    screenshot(*w, "run-window-run2");

    w->showPage(2);

    settle(*w);
    EXPECT_EQ(app.currentRun, "2"); // the settings page leaves the run
    screenshot(*w, "run-window-settings");

    // The board's choices are shown with their defaults; none changes a test line.
    EXPECT_EQ(w->TabSheet2->RGdpmcrank->checkedButton()->text(), "SEIKO");
    EXPECT_EQ(w->TabSheet2->RGNow->checkedButton()->text(), "２枚");
    EXPECT_EQ(w->TabSheet2->RGdpclas->checkedButton()->text(), "クラス分け");
    EXPECT_FALSE(w->TabSheet2->CKBrank->isChecked());
    w->TabSheet2->RGdpmcrank->button(0)->click();
    w->TabSheet2->RGNow->button(2)->click();
    w->TabSheet2->RGdpclas->button(1)->click();
    w->TabSheet2->CKBrank->click();
    // Board tests go out on the board port.
    QTest::mouseClick(w->TabSheet2->CuteButton28, Qt::LeftButton, {}, QPoint(10, 10));
    settle(*w);
    EXPECT_EQ(boardLine.receive(200, 24), "L        99         9  \r");
    QTest::mouseClick(w->TabSheet2->CuteButton61, Qt::LeftButton, {}, QPoint(10, 10));
    settle(*w);
    EXPECT_EQ(boardLine.receive(200, 575).size(), 575);
    closeWindow(*w);
}

TEST_F(RunWindowTest, LinesBeforeARunPageAreCapturedForRun2) {
    exec("update result set sttime='09:00:00.0000', altime='09:01:00.0000', ttime='00:01:00.00',"
         " FL='F' where tcode='C1'");
    auto w = openWindow();
    timer.send(" 0003 C0  13:00:00.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 1; }));
    settle(*w);
    EXPECT_EQ(f("0003", "sttime2"), "13:00:00.0000");
    screenshot(*w, "run-window-first-page");
    closeWindow(*w);
}

TEST_F(RunWindowTest, SelectionWindowListsAndChooses) {
    addCompetition("C0", "古い大会");
    exec("update taikai set tdate='2025-01-01' where tcode='C0'");
    TFselecttaikai selection(app, dm, dialog);
    QString openedTitle;
    selection.openRunWindow = [&](const QString& title) { openedTitle = title; };
    selection.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&selection));
    ASSERT_TRUE(settled(selection));
    EXPECT_EQ(selection.windowTitle(), "大会選択");
    ASSERT_EQ(dm.Qtaikai.recordCount(), 2);
    EXPECT_EQ(dm.Qtaikai.fieldByName(u"tcode").asString(), "C1"); // newest first
    screenshot(selection, "selection-window");
    // Every text whole, a title and venue as long as real ones too; longer than the screen
    // allows, they share what is left and show their whole text when pointed at.
    EXPECT_EQ(pistel::test::textThatDoesNotFit(&selection), QStringList{});
    const QFontMetrics fm = selection.DBGrid1->fontMetrics();
    for (const auto& [title, whole] :
         {std::pair{QString("第１回　白馬ジャイアントスラローム大会"), true},
          std::pair{QString("第１回　白馬ジャイアントスラローム大会　兼　北信越ジュニア選考会"
                            "　兼　全日本ジュニア予選"),
                    false}}) {
        exec("update taikai set tname='" + title +
             "',tplace='長野県白馬村　八方尾根',sex='男女' "
             "where tcode='C0'");
        selection.hide();
        selection.show();
        ASSERT_TRUE(settled(selection));
        ASSERT_EQ(dm.Qtaikai.recordCount(), 2);
        EXPECT_EQ(selection.DBGrid1->columnWidth(1) >= fm.horizontalAdvance(title), whole)
            << title.toStdString();
        EXPECT_EQ(pistel::test::textThatDoesNotFit(&selection), QStringList{});
    }
    exec("update taikai set tname='古い大会' where tcode='C0'");
    selection.hide();
    selection.show();
    ASSERT_TRUE(settled(selection));
    EXPECT_EQ(pistel::test::textThatDoesNotFit(&selection), QStringList{});
    app.currentRun = "1";
    const QRect row = selection.DBGrid1->visualRect(selection.DBGrid1->model().index(1, 1));
    QTest::mouseClick(selection.DBGrid1->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(selection.DBGrid1->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(app.competitionCode, "C0");
    EXPECT_EQ(app.currentRun, "");
    EXPECT_EQ(openedTitle, "古い大会");
    EXPECT_EQ(runWindowCaption("大会A"), "大会実行       大会A         で実行中");

    // A failure while choosing from the menu: the connection message, and the window closes.
    selection.openRunWindow = [](const QString&) { throw std::runtime_error("no run window"); };
    selection.N2Click();
    EXPECT_EQ(dialog.messages.last(),
              "データベースに接続できません。データベースが立ち上がっているか確認してください。");
    EXPECT_FALSE(selection.isVisible());

    // Shown again with the server away: the window shows at once, keeps the list it had, and
    // says once that the server cannot be reached.
    dialog.messages.clear();
    {
        test::PausedServer paused;
        QElapsedTimer clock;
        clock.start();
        selection.show();
        EXPECT_LT(clock.elapsed(), 100);
        ASSERT_TRUE(settled(selection));
    }
    EXPECT_EQ(
        dialog.messages,
        QStringList{
            "データベースに接続できません。データベースが立ち上がっているか確認してください。"});
    EXPECT_EQ(dm.Qtaikai.recordCount(), 2);
}

TEST_F(RunWindowTest, MainWindowScreenshot) {
    exec("insert into execcheck (stat) values ('0')");
    TDM1 station;
    QTemporaryDir dir;
    TFmain w(app, station, dialog, dir.filePath("PistelAuto.ini"), {"pistel"},
             QCoreApplication::applicationFilePath());
    w.profiles.connectionString = [](const QStringList&) {
        return connectionString(qEnvironmentVariable("PISTEL_TEST_DSN", "PistelTest"));
    };
    w.profiles.connectAtCreation();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    screenshot(w, "main-window");
    EXPECT_EQ(test::textThatDoesNotFit(&w), QStringList{}); // as in the other windows
    w.close();
}

TEST_F(RunWindowTest, FromTheMainWindowToTimesOnScreen) {
    exec("insert into execcheck (stat) values ('0')");
    QTemporaryDir dir;
    TFmain main(app, dm, dialog, dir.filePath("PistelAuto.ini"), {"pistel"},
                QCoreApplication::applicationFilePath());
    main.profiles.connectionString = [](const QStringList&) {
        return connectionString(qEnvironmentVariable("PISTEL_TEST_DSN", "PistelTest"));
    };
    connectCompetitionWindows(main, app, dm, dialog, nullptr,
                              [](int n) { return PortRegistry::scan().deviceOf(n); });
    main.profiles.connectAtCreation();
    main.show();
    app.timerPortNo = 9; // as read from the settings file
    app.boardPortNo = 8;

    bool raced = false;
    // The selection window and the run window are modal: the operator acts inside them.
    QTimer::singleShot(200, [&] {
        auto* selection = qobject_cast<TFselecttaikai*>(QApplication::activeModalWidget());
        ASSERT_NE(selection, nullptr);
        ASSERT_TRUE(settled(*selection));
        ASSERT_TRUE(dm.Qtaikai.locate(u"tcode", "C1"));
        QTimer::singleShot(300, [&] {
            auto* run = qobject_cast<TFtaikai*>(QApplication::activeModalWidget());
            ASSERT_NE(run, nullptr);
            EXPECT_EQ(run->windowTitle(), runWindowCaption("テスト大会"));
            run->CuteButton3Click();
            run->showPage(0);
            settle(*run);
            timer.send("?0000 C0  10:00:00.0000 00\r?0000 C1  10:01:05.1299 00\r");
            EXPECT_TRUE(waitFor([&] { return f("0001", "ttime") == "00:01:05.12"; }));
            EXPECT_TRUE(waitFor([&] { return run->TabSheet1->results->model().rowCount() == 1; }));
            EXPECT_EQ(run->TabSheet1->startBox->text(), "0002");
            raced = true;
            closeWindow(*run);
        });
        selection->N2Click(); // returns when the run window closes
        selection->close();
    });
    main.bTaikaiClick(); // returns when the selection window closes
    EXPECT_TRUE(raced);
    EXPECT_EQ(app.competitionCode, "C1");
    main.close();
}

TEST_F(RunWindowTest, WebControlsDriveTheWebCommands) {
    auto w = openWindow();
    EXPECT_EQ(at(*w, [&] { return w->station.web.uploadTarget; }), 1); // "Web" is shown and meant
    EXPECT_TRUE(w->RGweb->button(1)->isChecked());
    w->TabSheet2->CkBweb2->click();
    EXPECT_EQ(at(*w, [&] { return w->station.web.realTime; }), 1);
    EXPECT_TRUE(w->CkBweb->isChecked());
    w->TabSheet2->RGweb2->button(0)->click(); // the settings page's selector sets the target itself
    EXPECT_EQ(at(*w, [&] { return w->station.web.uploadTarget; }), 0);
    EXPECT_EQ(at(*w, [&] { return w->station.web.realTime; }), 0);
    EXPECT_TRUE(w->RGweb->button(0)->isChecked());
    EXPECT_FALSE(w->CkBweb->isVisibleTo(w.get()));
    w->TabSheet2->Memo10->setPlainText(QStringLiteral("お知らせ"));
    EXPECT_EQ(at(*w, [&] { return w->station.web.memo10; }), QStringLiteral("お知らせ"));
    QTest::mouseClick(w->TabSheet2->CuteButton87, Qt::LeftButton, {}, QPoint(10, 10));
    settle(*w);
    EXPECT_EQ(w->TabSheet2->Memo10->toPlainText(), "");
    exec("insert into cs_master (cname, ccode) values ('男子', '7'), ('女子', '8')");
    auto again = openWindow(); // the class list is read when the window is shown
    EXPECT_EQ(again->TabSheet2->cbclass->count(), 2);
    EXPECT_EQ(at(*again, [&] { return again->station.web.cbclass; }), "女子");
    closeWindow(*again);
    closeWindow(*w);
}

TEST_F(RunWindowTest, TimerLinesDuringASlowUploadAreNeitherLostNorReordered) {
    HttpServer server;
    server.silent = true; // accepts, never answers
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    at(*w, [&] { w->station.web.baseUrl = server.base(); });
    at(*w, [&] { w->station.webClient.timeoutMs = 1500; });
    dialog.answers = {true};
    QTimer::singleShot(200, [&] {
        timer.send("?0000 C0  10:00:00.0000 00\r?0000 C0  10:00:10.0000 00\r"
                   "?0000 C0  10:00:20.0000 00\r");
    });
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(at(*w, [&] { return w->station.web.uploadAllResults(); }),
                 std::runtime_error); // the POST times out
    EXPECT_LT(t.elapsed(), 3000);
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 3; }));
    settle(*w);
    EXPECT_EQ(rows("select dtime from pulsedata where tcode='C1' order by id"),
              (QStringList{"10:00:00.0000", "10:00:10.0000", "10:00:20.0000"}));
    EXPECT_EQ(f("0001", "sttime"), "10:00:00.0000");
    EXPECT_EQ(f("0002", "sttime"), "10:00:10.0000");
    EXPECT_EQ(f("0003", "sttime"), "10:00:20.0000");
    closeWindow(*w);
}

// The operator right-clicks an impulse and, while the menu is open, another line arrives
// and re-reads the list: the command stores the impulse that was right-clicked.
TEST_F(RunWindowTest, PopupCommandsActOnTheRowRightClicked) {
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    RunPageWidget& page = *w->TabSheet1;
    page.startManual->click();
    timer.send("?0000 C0  10:00:00.0000 00\r?0000 C0  10:00:10.0000 00\r"
               "?0000 C0  10:00:20.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return page.startPulses->model().rowCount() == 3; }));
    // Arrow keys move the start list's row, and the box with it.
    page.startList->setFocus();
    const QString before = page.startBox->text();
    QTest::keyClick(page.startList, Qt::Key_Down);
    settle(*w);
    EXPECT_NE(page.startBox->text(), before);
    QTest::keyClick(page.startList, Qt::Key_Up);
    settle(*w);
    EXPECT_EQ(page.startBox->text(), before);
    at(*w, [&] { w->station.control.page1.setStartBox("0002"); });

    // The oldest impulse (10:00:00, the last row) is right-clicked.
    const QRect row = page.startPulses->visualRect(page.startPulses->model().index(2, 2));
    bool chosen = false;
    QTimer::singleShot(100, [&] {
        timer.send("?0000 C0  10:00:30.0000 00\r");
        EXPECT_TRUE(waitFor([&] { return pulseCount() == 4; }));
        // The list was re-read meanwhile.
        EXPECT_EQ(at(*w, [&] { return w->station.control.page1.startPulses.currentRow(); }), 0);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        chosen = true;
        menu->actions().first()->trigger();
        menu->close();
    });
    emit page.startPulses->customContextMenuRequested(row.center());
    EXPECT_TRUE(chosen);
    settle(*w);
    EXPECT_EQ(f("0002", "sttime"), "10:00:00.0000");
    EXPECT_TRUE(dialog.messages.isEmpty());
    closeWindow(*w);
}

// The timer's line settings are applied when the port opens; when the adapter is pulled out
// the run pages say so in red, and the port comes back by itself with the device.
TEST_F(RunWindowTest, TimerLineSettingsAndAPulledAdapter) {
    QTemporaryDir dir;
    const QString link = dir.filePath("timer");
    ASSERT_TRUE(QFile::link(timer.path(), link));
    qputenv("PISTEL_PORTS", ("COM9=" + link + ";COM8=" + boardLine.path()).toLocal8Bit());
    app.timerLine = {9600, 8, cpbNone, csb1};
    auto w = openWindow();
    EXPECT_EQ(timer.speed(), B9600);
    EXPECT_EQ(boardLine.speed(), B2400); // the board keeps its own settings
    EXPECT_EQ(w->TabSheet2->timerLineChoices.baud->currentText(), "9600");
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    QLabel* status = w->TabSheet1->timerStatus;
    EXPECT_EQ(status->text(), "計時器 COM9: 接続中　受信なし");

    // A choice on the settings page reopens the port with it, and is kept for the file.
    w->TabSheet2->timerLineChoices.baud->setCurrentIndex(
        w->TabSheet2->timerLineChoices.baud->findText("19200"));
    emit w->TabSheet2->timerLineChoices.baud->activated(
        w->TabSheet2->timerLineChoices.baud->currentIndex());
    settle(*w);
    EXPECT_EQ(app.timerLine.baud, 19200);
    EXPECT_EQ(timer.speed(), B19200);

    timer.send(" 0001 C0  10:00:0"); // the adapter is pulled mid-line
    ASSERT_TRUE(waitFor([&] { return w->TabSheet2->Memo1->toPlainText().endsWith("10:00:0"); }));
    timer.hangUp();
    ASSERT_TRUE(waitFor([&] { return status->text().contains("切断"); }));
    EXPECT_TRUE(w->TabSheet3->timerStatus->text().contains("切断"));
    EXPECT_TRUE(status->styleSheet().contains("#c00000"));
    EXPECT_TRUE(dialog.messages.isEmpty()); // a status, not a box to click away
    EXPECT_EQ(pulseCount(), 1);             // the leftover is logged as it stands, never assigned
    EXPECT_EQ(f("0001", "sttime"), "");

    Pty replugged;
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(replugged.path(), link));
    ASSERT_TRUE(waitFor([&] { return at(*w, [&] { return w->station.CommX1.isOpen(); }); },
                        TimingStation::kReopenIntervalMs + 3000));
    EXPECT_EQ(replugged.speed(), B19200);
    replugged.send(" 0001 C0  10:00:05.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return f("0001", "sttime") == "10:00:05.0000"; }));
    settle(*w);
    EXPECT_TRUE(status->text().startsWith("計時器 COM9: 接続中　最終受信"))
        << status->text().toStdString();
    EXPECT_FALSE(status->styleSheet().contains("#c00000"));
    EXPECT_EQ(pulseCount(), 2);
    closeWindow(*w);
}

// Esc during a race asks first; once confirmed it closes the run window's ports, so the next
// run window opens the timer port. A line sent while no window listened is read at the
// opening, logged and marked unassigned, never assigned.
TEST_F(RunWindowTest, EscClosesThePortsAndANewWindowTakesOver) {
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    timer.send("?0000 C0  10:00:00.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 1; }));
    settle(*w);
    dialog.answers << false; // "closing stops reception": not now
    QTest::keyClick(w.get(), Qt::Key_Escape);
    settle(*w);
    ASSERT_EQ(dialog.asked.size(), 1);
    EXPECT_TRUE(dialog.asked[0].endsWith(kCloseWhileTiming));
    EXPECT_TRUE(w->isVisible());
    timer.send("?0000 C0  10:00:05.0000 00\r"); // still timing
    ASSERT_TRUE(waitFor([&] { return f("0002", "sttime") == "10:00:05.0000"; }));
    settle(*w);
    dialog.answers << true;
    QTest::keyClick(w.get(), Qt::Key_Escape);
    settle(*w);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(at(*w, [&] { return w->station.CommX1.isOpen(); }));
    EXPECT_FALSE(at(*w, [&] { return w->station.CommBoard.isOpen(); }));
    timer.send("?0000 C0  10:00:10.0000 00\r"); // waits in the device meanwhile
    w.reset(); // a closed window is gone, with its clock and keeper
    auto again = openWindow();
    EXPECT_TRUE(at(*again, [&] { return again->station.CommX1.isOpen(); }));
    EXPECT_TRUE(app.timerPortOpen);
    EXPECT_EQ(app.timerPortNo, 9); // the saved port stays
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 3; }));
    settle(*again);
    again->CuteButton3Click();
    again->showPage(0);
    settle(*again);
    timer.send("?0000 C0  10:00:20.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 4; }));
    settle(*again);
    EXPECT_EQ(rows("select p.dtime from pulse_unassigned u join pulsedata p on p.id = u.pulse_id"),
              QStringList{"10:00:10.0000"});
    EXPECT_EQ(f("0003", "sttime"), "10:00:20.0000"); // the line read at the opening went to nobody
    EXPECT_EQ(at(*again, [&] { return again->station.control.unassigned().size(); }), 1);
    EXPECT_TRUE(dialog.messages.isEmpty());
    closeWindow(*again);
}

namespace {
QString startLine(int i) {
    return QStringLiteral("?0000 C0  10:%1:00.0000 00\r").arg(i, 2, 10, QLatin1Char('0'));
}
} // namespace

// Drill: the database server is killed in the middle of a race and started again. Every
// line is in pulsedata exactly once, and the window recovered by itself.
TEST_F(RunWindowTest, DrillServerKilledAndRestarted) {
    auto w = openWindow();
    at(*w, [&] { w->station.keeper.firstRetryMs = 100; });
    at(*w, [&] { w->station.keeper.maxRetryMs = 500; });
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    for (int i = 0; i < 3; ++i)
        timer.send(startLine(i).toLatin1());
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 3; }));
    settle(*w);

    test::RestartsServer restartsAnyway;
    test::DbServer::kill();
    for (int i = 3; i < 8; ++i)
        timer.send(startLine(i).toLatin1());
    ASSERT_TRUE(waitFor(
        [&] { return at(*w, [&] { return w->station.receiver.pendingCount(); }) == 5; }, 15000));
    EXPECT_TRUE(at(*w, [&] { return w->station.keeper.isDown(); }));
    QLabel* status = w->TabSheet1->dataStatus;
    EXPECT_TRUE(status->text().contains("データベースに接続できません"))
        << status->text().toStdString();
    EXPECT_TRUE(status->text().contains("未記録の時刻 5 件")) << status->text().toStdString();
    EXPECT_TRUE(dialog.messages.isEmpty()); // no box per line

    test::DbServer::restart();
    timer.send(startLine(8).toLatin1()); // arrives while it comes back
    ASSERT_TRUE(waitFor(
        [&] {
            return !at(*w, [&] { return w->station.keeper.isDown(); }) &&
                   at(*w, [&] { return w->station.receiver.pendingCount(); }) == 0;
        },
        20000));
    dm.Db1.reopen(); // this test's own connection, which the server lost too
    settle(*w);
    EXPECT_FALSE(status->text().contains("データベースに接続できません"));
    // The line sent during the restart may still be on its way when the keeper is back.
    EXPECT_TRUE(waitFor([&] { return pulseCount() == 9; })) << pulseCount();
    EXPECT_EQ(rows("select dtime, count(*) from pulsedata where tcode='C1' group by dtime "
                   "having count(*) <> 1"),
              QStringList{});
    // Received while away: captured in their order when it is back, as if it had been up
    // (the excluded 0006 is never expected); the last two starts find nobody left to start
    // and are marked, not dropped.
    EXPECT_EQ(rows("select zek, sttime from result where tcode='C1' and sttime<>'' order by "
                   "sttime"),
              (QStringList{"0001|10:00:00.0000", "0002|10:01:00.0000", "0003|10:02:00.0000",
                           "0004|10:03:00.0000", "0005|10:04:00.0000", "0007|10:05:00.0000",
                           "0008|10:06:00.0000"}));
    EXPECT_TRUE(waitFor([&] { return w->TabSheet1->startPulses->model().rowCount() >= 9; }));
    EXPECT_EQ(at(*w, [&] { return w->station.control.unassigned().size(); }), 2);
    EXPECT_TRUE(status->text().contains("未割当の時刻 2 件")) << status->text().toStdString();
    EXPECT_TRUE(dialog.messages.isEmpty());
    closeWindow(*w);
}

// Drill: the server stops answering for 20 s in the middle of a race, while competitors
// start and finish and the operator works the window. The station's thread waits for the
// server (the first line after the pause waits the statement time-out there); the window
// thread never does: it never waits 100 ms in an event, clicks included (hand times stored
// from the backup window too: they fail once, calmly). Every line is in the
// journal at once, stored once when the server is back, and assigned as without the pause:
// five competitors, each 45.12 s.
TEST_F(RunWindowTest, DrillServerPaused) {
    QTemporaryDir dir;
    ImpulseJournal journal(dir.path());
    auto w = openDrillWindow(journal);
    RunPageWidget& page = *w->TabSheet1;
    // Starts 30 s apart, each run 45.1234 s (shown 45.12), in the order the timer sends them.
    QStringList lines;
    for (int i = 0; i < 5; ++i) {
        lines << QStringLiteral("?0000 C0  10:%1:00.0000 00\r").arg(i, 2, 10, QChar('0'));
        lines << QStringLiteral("?0000 C1  10:%1:45.1234 00\r").arg(i, 2, 10, QChar('0'));
    }
    timer.send(lines[0].toLatin1()); // 0001 starts before the pause
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 1; }));
    settle(*w);

    // How long the window thread sleeps while its events wait (a machine busy with other tests
    // does not count); as a coarse bound, the plain gap between ticks too. A wait for the
    // server on this thread shows in both (the statement time-out is 2 s).
    test::WindowThreadWatch watch;
    QTimer::singleShot(0, [] { QThread::msleep(150); }); // the watch sees a wait of this thread
    waitFor([] { return false; }, 300);
    ASSERT_GE(watch.longestWaitMs(), 120) << watch.longestGapMs();
    QElapsedTimer clock;
    BackupWindow* backup = w->openBackup();
    ASSERT_TRUE(settled(*backup));
    {
        test::PausedServer paused;
        clock.start();
        watch.forget();
        // Hand times stored from the backup window: written off the window thread too.
        QTimer::singleShot(0, [&] { EXPECT_TRUE(backup->storeSheet("10:00:44,90\n")); });
        for (int i = 1; i < lines.size(); ++i) {
            timer.send(lines[i].toLatin1());
            waitFor([] { return false; }, 600);
            // Rows of both impulse lists picked (the views opened meanwhile are another
            // drill's; making a window is not what this one measures).
            for (Grid* impulses : {page.startPulses, page.finishPulses})
                QTimer::singleShot(0, [impulses] {
                    const QRect row = impulses->visualRect(impulses->model().index(0, 1));
                    QTest::mouseClick(impulses->viewport(), Qt::LeftButton, {}, row.center());
                });
            waitFor([] { return false; }, 600);
        }
        // Every line is kept in the journal while the server is away.
        ASSERT_TRUE(waitFor(
            [&] {
                QFile file(journal.fileFor(QDate::currentDate()));
                return file.open(QIODevice::ReadOnly) && file.readAll().count('\n') == 10;
            },
            10000));
        waitFor([] { return false; }, std::max<qint64>(0, 20000 - clock.elapsed()));
        EXPECT_GE(clock.elapsed(), 20000);
        EXPECT_LT(watch.longestWaitMs(), 100);
        EXPECT_LT(watch.longestGapMs(), 1000);
    }
    ASSERT_TRUE(waitFor(
        [&] {
            return !at(*w, [&] { return w->station.keeper.isDown(); }) &&
                   at(*w, [&] { return w->station.receiver.pendingCount(); }) == 0;
        },
        20000));
    EXPECT_EQ(rows("select stat, dtime, count(*) from pulsedata where tcode='C1' group by stat, "
                   "dtime having count(*) <> 1"),
              QStringList{});
    EXPECT_EQ(pulseCount(), 10);
    EXPECT_EQ(rows("select zek, sttime, altime, ttime from result where tcode='C1' and "
                   "ttime <> '' order by zek"),
              (QStringList{"0001|10:00:00.0000|10:00:45.1234|00:00:45.12",
                           "0002|10:01:00.0000|10:01:45.1234|00:00:45.12",
                           "0003|10:02:00.0000|10:02:45.1234|00:00:45.12",
                           "0004|10:03:00.0000|10:03:45.1234|00:00:45.12",
                           "0005|10:04:00.0000|10:04:45.1234|00:00:45.12"}));
    settle(*w);
    EXPECT_EQ(page.startBox->text(), "0007"); // 0006 is excluded
    // The hand times went out as the server stopped: whether it stored them is unknown, and
    // the operator is told so once, calmly (a paused server that answers again runs what it
    // had received, so telling "not done" would be wrong). Stored again as told, the sheet
    // is there once.
    ASSERT_TRUE(settled(*backup));
    ASSERT_EQ(dialog.messages.size(), 1);
    EXPECT_TRUE(dialog.messages[0].startsWith("データベースとの接続が切れました。この操作が保存"))
        << dialog.messages[0].toStdString();
    EXPECT_TRUE(backup->storeSheet("10:00:44,90\n"));
    ASSERT_TRUE(settled(*backup));
    EXPECT_EQ(rows("select run, channel, count(*) from hand_time group by run, channel"),
              QStringList{"1|start|1"});
    EXPECT_EQ(dialog.messages.size(), 1);
    closeWindow(*w);
}

// Drill: the server stops answering between two competitors. The station's look for changes
// made elsewhere (off the window thread) finds it away with no line and no click, so the
// lines that then come wait in the journal at once: no event of the window waits 100 ms, and
// every line is stored once and captured when the server is back. The live results are sent
// meanwhile: their reads, on a thread of their own, never hold the window either.
TEST_F(RunWindowTest, DrillServerPausedBetweenLinesIsFoundWithoutTheWindowWaiting) {
    QTemporaryDir dir;
    ImpulseJournal journal(dir.path());
    auto w = openDrillWindow(journal);
    at(*w, [&] { w->station.web.setRealTimeUpload(true); });
    timer.send(startLine(0).toLatin1());
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 1; }));
    settle(*w);

    DocumentDialog* documents = nullptr;
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    {
        test::PausedServer paused;
        sinceTick.start();
        ticker.start(10);
        // Before anyone knows the server is away: a read on the window thread would wait the
        // statement time-out (2 s) here.
        at(*w, [&] { w->station.liveSync.sendNow(true); });
        // The operator opens the documents, the backup window and the ranking, and closes the
        // ranking again while it is still being read.
        documents = w->openDocuments();
        BackupWindow* backup = w->openBackup();
        w->openRanking()->close();
        ASSERT_TRUE(
            waitFor([&] { return at(*w, [&] { return w->station.keeper.isDown(); }); }, 8000));
        ASSERT_TRUE(settled(*documents));
        ASSERT_TRUE(settled(*backup));
        // Each says once, calmly, that it could not read.
        ASSERT_EQ(dialog.messages.size(), 1);
        EXPECT_TRUE(dialog.messages[0].contains("データベースに接続できません"))
            << dialog.messages[0].toStdString();
        EXPECT_TRUE(backup->matchNote->text().contains("データベースに接続できません"))
            << backup->matchNote->text().toStdString();
        backup->close();
        dialog.messages.clear();
        for (int i = 1; i < 4; ++i)
            timer.send(startLine(i).toLatin1());
        ASSERT_TRUE(waitFor(
            [&] { return at(*w, [&] { return w->station.receiver.pendingCount(); }) == 3; }, 5000));
        // The operator cancels a start meanwhile: refused at once, and told so calmly.
        try {
            at(*w, [&] { w->station.control.corrections.cancelStartTime("0001"); });
            ADD_FAILURE() << "a correction was made with the server away";
        } catch (const DbError& e) {
            const QString told = errorForOperator(e);
            EXPECT_TRUE(told.startsWith("データベースに接続できません")) << told.toStdString();
            EXPECT_FALSE(told.contains("update")) << told.toStdString();
        }
        waitFor([] { return false; }, 50);
        EXPECT_LT(longestGap, 100);
    }
    ticker.stop();
    ASSERT_TRUE(waitFor(
        [&] {
            return !at(*w, [&] { return w->station.keeper.isDown(); }) &&
                   at(*w, [&] { return w->station.receiver.pendingCount(); }) == 0;
        },
        20000));
    EXPECT_EQ(rows("select dtime from pulsedata where tcode='C1' order by id"),
              (QStringList{"10:00:00.0000", "10:01:00.0000", "10:02:00.0000", "10:03:00.0000"}));
    EXPECT_EQ(scalar("select count(*) from result where tcode='C1' and sttime<>''"), "4");
    EXPECT_TRUE(dialog.messages.isEmpty());
    // The documents dialog opened during the pause saves once the server is back, and takes
    // the classes it could not read then.
    EXPECT_EQ(documents->classChoice->count(), 1);
    QTemporaryDir saveDir;
    bool savedOk = false;
    QObject::connect(documents, &DocumentDialog::saved,
                     [&](const QString&, bool ok) { savedOk = ok; });
    documents->saveTo(saveDir.filePath("start.csv"));
    ASSERT_TRUE(settled(*documents));
    EXPECT_TRUE(savedOk);
    EXPECT_GT(documents->classChoice->count(), 1);
    closeWindow(*w);
}

// Drill: the program ends while the database is away; the lines it kept waiting are
// written when the next run window opens.
TEST_F(RunWindowTest, DrillProgramEndsWhileTheServerIsAway) {
    QTemporaryDir dir;
    ImpulseJournal journal(dir.path());
    auto resolver = [](int n) { return PortRegistry::scan().deviceOf(n); };
    test::RestartsServer restartsAnyway;
    {
        TFtaikai w(app, dm, dialog, &journal, resolver);
        at(w, [&] { w.station.ports.openDelayMs = 0; });
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.CuteButton3Click();
        w.showPage(0);
        settle(w);
        test::DbServer::kill();
        for (int i = 0; i < 4; ++i)
            timer.send(startLine(i).toLatin1());
        ASSERT_TRUE(waitFor(
            [&] { return at(w, [&] { return w.station.receiver.pendingCount(); }) == 4; }, 10000))
            << at(w, [&] { return w.station.receiver.pendingCount(); }) << " waiting; "
            << w.TabSheet1->dataStatus->text().toStdString();
        closeWindow(w);
    }
    test::DbServer::restart();
    dm.Db1.reopen();
    EXPECT_EQ(pulseCount(), 0);
    TFtaikai again(app, dm, dialog, &journal, resolver);
    at(again, [&] { again.station.ports.openDelayMs = 0; });
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    settle(again);
    EXPECT_EQ(rows("select dtime from pulsedata where tcode='C1' order by id"),
              (QStringList{"10:00:00.0000", "10:01:00.0000", "10:02:00.0000", "10:03:00.0000"}));
    EXPECT_TRUE(journal.pendingEntries().isEmpty());
    closeWindow(again);
}

// Drill: the operator closes the run window while its station is writing a line to a server
// that has stopped answering. The window goes at once; the station ends by itself once the
// statement is over, and frees the timer port for the next window. The line is stored once,
// whichever way its write went (the server runs what it had received when it answers).
TEST_F(RunWindowTest, DrillWindowClosedWhileTheServerIsPaused) {
    QTemporaryDir dir;
    ImpulseJournal journal(dir.path());
    auto w = openDrillWindow(journal);
    timer.send(startLine(0).toLatin1());
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 1; }));
    settle(*w);
    {
        test::PausedServer paused;
        timer.send(startLine(1).toLatin1());
        // Journaled: the station goes on to write it to the stopped server.
        ASSERT_TRUE(waitFor([&] {
            QFile file(journal.fileFor(QDate::currentDate()));
            return file.open(QIODevice::ReadOnly) && file.readAll().count('\n') == 2;
        }));
        waitFor([] { return false; }, 100);
        QElapsedTimer clock;
        clock.start();
        dialog.answers.prepend(true); // "closing stops reception": yes
        w->close();
        w.reset();
        // Before, the window waited here for the statement's time-out (2 s).
        EXPECT_LT(clock.elapsed(), 100);
        EXPECT_EQ(StationThread::endingStations(), 1);
    }
    ASSERT_TRUE(waitFor([] { return StationThread::endingStations() == 0; }, 10000));
    auto again = openDrillWindow(journal);
    EXPECT_TRUE(at(*again, [&] { return again->station.CommX1.isOpen(); }));
    ASSERT_TRUE(waitFor(
        [&] {
            return !at(*again, [&] { return again->station.keeper.isDown(); }) &&
                   at(*again, [&] { return again->station.receiver.pendingCount(); }) == 0;
        },
        20000));
    EXPECT_EQ(rows("select dtime from pulsedata where tcode='C1' order by id"),
              (QStringList{"10:00:00.0000", "10:01:00.0000"}));
    closeWindow(*again);
}

// Drill: the journal cannot be written while lines arrive. The status says so once, in
// Japanese, and every line still reaches the database; no box to click per line.
TEST_F(RunWindowTest, DrillJournalCannotBeWritten) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    ImpulseJournal journal(dir.filePath("file/journal")); // a folder that cannot exist
    TFtaikai w(app, dm, dialog, &journal, [](int n) { return PortRegistry::scan().deviceOf(n); });
    at(w, [&] { w.station.ports.openDelayMs = 0; });
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.CuteButton3Click();
    w.showPage(0);
    settle(w);
    for (int i = 0; i < 5; ++i)
        timer.send(startLine(i).toLatin1());
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 5; }));
    settle(w);
    EXPECT_TRUE(w.TabSheet1->dataStatus->text().startsWith("ジャーナルに書き込めません"))
        << w.TabSheet1->dataStatus->text().toStdString();
    EXPECT_TRUE(dialog.messages.isEmpty());
    EXPECT_EQ(f("0005", "sttime"), "10:04:00.0000"); // capture went on
    closeWindow(w);
}

// A statement the server refuses while lines arrive: the impulses are logged, the error is
// in the status line, and no box per line stops the operator.
TEST_F(RunWindowTest, AFailingCaptureIsShownOnceNotPerLine) {
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    exec("alter table result change FL FL_renamed varchar(1) not null default 'N'");
    struct Restore {
        std::function<void()> undo;
        ~Restore() { undo(); }
    } restore{[this] {
        exec("alter table result change FL_renamed FL varchar(1) not null default 'N'");
    }};
    for (int i = 0; i < 3; ++i)
        timer.send(startLine(i).toLatin1());
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 3; }));
    settle(*w);
    QLabel* status = w->TabSheet1->dataStatus;
    ASSERT_TRUE(waitFor([&] { return status->text().contains("時刻の割り当てでエラー"); }));
    EXPECT_TRUE(dialog.messages.isEmpty());
    restore.undo();
    restore.undo = [] {};
    timer.send(startLine(5).toLatin1());
    ASSERT_TRUE(waitFor([&] { return pulseCount() == 4; }));
    settle(*w);
    EXPECT_EQ(f("0001", "sttime"), "10:05:00.0000");
    // The error and the three impulses it left stay shown until the operator deals with them.
    EXPECT_TRUE(status->text().contains("時刻の割り当てでエラー")) << status->text().toStdString();
    EXPECT_TRUE(status->text().contains("未割当の時刻 3 件")) << status->text().toStdString();
    for (const QString& id : at(*w, [&] { return w->station.control.unassigned().values(); }))
        at(*w, [&] { w->station.control.corrections.dismissImpulse(id); });
    EXPECT_EQ(status->text(), "データベース接続中　ジャーナル記録中");
    closeWindow(*w);
}

// A port typed into the capture port box is taken once typing is done, as a choice from
// the list is; a text that names no listed port closes the timer port.
TEST_F(RunWindowTest, TypingACapturePortOpensIt) {
    app.timerPortNo = 0;
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(2);
    settle(*w);
    EXPECT_FALSE(at(*w, [&] { return w->station.CommX1.isOpen(); }));
    w->TabSheet2->Cbxcomm1->setFocus();
    w->TabSheet2->Cbxcomm1->lineEdit()->selectAll();
    QTest::keyClicks(w->TabSheet2->Cbxcomm1->lineEdit(), "com9");
    QTest::keyClick(w->TabSheet2->Cbxcomm1->lineEdit(), Qt::Key_Return);
    settle(*w);
    EXPECT_TRUE(at(*w, [&] { return w->station.CommX1.isOpen(); }));
    EXPECT_EQ(app.timerPortNo, 9);
    EXPECT_TRUE(app.timerPortOpen);
    w->TabSheet2->Cbxcomm1->lineEdit()->selectAll();
    QTest::keyClicks(w->TabSheet2->Cbxcomm1->lineEdit(), "COM77");
    QTest::keyClick(w->TabSheet2->Cbxcomm1->lineEdit(), Qt::Key_Return);
    settle(*w);
    EXPECT_FALSE(at(*w, [&] { return w->station.CommX1.isOpen(); }));
    EXPECT_EQ(app.timerPortNo, 0);
    EXPECT_TRUE(dialog.messages.isEmpty()) << dialog.messages.join("; ").toStdString();
    closeWindow(*w);
}

// Every caption, time and title of the run and selection windows fits at their default
// size, in the Japanese font, with a race on screen; nothing needs scrolling sideways (the
// main window is checked with its screenshot).
TEST_F(RunWindowTest, EveryTextFitsAtTheDefaultSize) {
    exec("update taikai set tname='第12回 市民スキー大会 ジャイアントスラローム 兼 県予選' "
         "where tcode='C1'");
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    timer.send("?0000 C0  10:00:00.0000 00\r?0000 C1  10:01:05.1299 00\r");
    ASSERT_TRUE(waitFor([&] { return w->TabSheet1->results->model().rowCount() == 1; }));
    EXPECT_EQ(test::textThatDoesNotFit(w.get()), QStringList{});
    w->showPage(1);
    settle(*w);
    timer.send("?0000 C0  13:00:00.0000 00\r?0000 C1  13:01:04.9500 00\r");
    ASSERT_TRUE(waitFor([&] { return w->TabSheet3->results->model().rowCount() == 1; }));
    EXPECT_EQ(test::textThatDoesNotFit(w.get()), QStringList{});
    w->showPage(2);
    settle(*w);
    EXPECT_EQ(test::textThatDoesNotFit(w.get()), QStringList{});
    closeWindow(*w);

    TFselecttaikai selection(app, dm, dialog);
    selection.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&selection));
    ASSERT_TRUE(settled(selection));
    EXPECT_EQ(test::textThatDoesNotFit(&selection), QStringList{});
}

// The race drill: run 1 over three run windows opened and closed in turn, then run 2 (no
// line names its competitor, so every assignment follows the boxes) while the server is
// killed, brought back on a new port, and paused; lines keep arriving throughout. Every
// line is in pulsedata exactly once, every run time is the timer's, and after each outage
// the boxes stand where they would without it.
TEST_F(RunWindowTest, DrillWindowsReopenedServerKilledMovedAndPaused) {
    exec("delete from result");
    addRaceField();
    int sent = 0;
    auto send = [&](const RaceImpulse* lines, int from, int to) {
        for (int i = from; i < to; ++i)
            timer.send(QByteArray(lines[i].line) + '\r');
        sent += to - from;
    };
    const int run1 = int(std::size(kRun1));
    for (int part = 0; part < 3; ++part) {
        auto w = openWindow();
        w->CuteButton3Click();
        w->showPage(0);
        settle(*w);
        send(kRun1, run1 * part / 3, run1 * (part + 1) / 3);
        ASSERT_TRUE(waitFor([&] { return pulseCount() == sent; }, 20000)) << pulseCount();
        settle(*w);
        closeWindow(*w);
    }

    auto w = openWindow();
    at(*w, [&] { w->station.keeper.firstRetryMs = 100; });
    w->CuteButton3Click();
    w->showPage(1);
    settle(*w);
    RunPage& page = w->station.control.page2;
    // Where the boxes must stand before kRun2[next]: on the owners of the next start and the
    // next finish line.
    auto expectBoxesBefore = [&](int next) {
        QString start, finish;
        for (int i = next; i < int(std::size(kRun2)) && (start.isEmpty() || finish.isEmpty());
             ++i) {
            QString& box = QByteArray(kRun2[i].line).contains(" C0 ") ? start : finish;
            if (box.isEmpty())
                box = kRun2[i].owner;
        }
        EXPECT_EQ(at(*w, [&] { return page.startBox(); }), start) << "before line " << next;
        EXPECT_EQ(at(*w, [&] { return page.finishBox(); }), finish) << "before line " << next;
    };
    send(kRun2, 0, 10);
    ASSERT_TRUE(waitFor([&] { return pulseCount() == sent; }, 20000));
    settle(*w);
    {
        test::RestartsServer restartsAnyway;
        test::DbServer::kill();
        send(kRun2, 10, 20);
        ASSERT_TRUE(waitFor(
            [&] { return at(*w, [&] { return w->station.receiver.pendingCount(); }) == 10; },
            15000));
        test::DbServer::startOnNewPort();
        send(kRun2, 20, 24); // while it comes back
        ASSERT_TRUE(waitFor(
            [&] {
                return !at(*w, [&] { return w->station.keeper.isDown(); }) &&
                       at(*w, [&] { return w->station.receiver.pendingCount(); }) == 0;
            },
            20000));
        dm.Db1.reopen(); // this test's own connection, which the server lost too
    }
    ASSERT_TRUE(waitFor([&] { return pulseCount() == sent; }, 20000));
    settle(*w);
    expectBoxesBefore(24);
    {
        test::PausedServer paused;
        send(kRun2, 24, 32);
        ASSERT_TRUE(
            waitFor([&] { return at(*w, [&] { return w->station.receiver.pendingCount(); }) == 8; },
                    20000));
    }
    ASSERT_TRUE(waitFor(
        [&] {
            return !at(*w, [&] { return w->station.keeper.isDown(); }) &&
                   at(*w, [&] { return w->station.receiver.pendingCount(); }) == 0;
        },
        20000));
    expectBoxesBefore(32);
    send(kRun2, 32, int(std::size(kRun2)));
    ASSERT_TRUE(waitFor([&] { return pulseCount() == sent; }, 20000)) << pulseCount();
    settle(*w);

    EXPECT_EQ(sent, int(std::size(kRun1) + std::size(kRun2)));
    EXPECT_EQ(rows("select stat, dtime from pulsedata where tcode='C1' group by stat, dtime "
                   "having count(*) <> 1"),
              QStringList{});
    expectRaceResults();
    EXPECT_TRUE(at(*w, [&] { return w->station.control.unassigned().isEmpty(); }));
    EXPECT_TRUE(dialog.messages.isEmpty());
    closeWindow(*w);
}

// The history view keeps the operator's choice while new entries come in at the top, and
// reverts the entry that is selected.
TEST_F(RunWindowTest, HistoryRevertsTheEntryTheOperatorSelected) {
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    timer.send(" 0001 C0  10:00:00.0000 00\r 0001 C1  10:01:00.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return f("0001", "FL") == "F"; }));
    settle(*w);
    ASSERT_TRUE(at(*w, [&] {
        return w->station.control.statusControl.setStatus("0002", 1, {"DNS", {}, {}});
    }));
    HistoryView* history = w->openHistory();
    ASSERT_TRUE(settled(*history)); // the history is read off the window thread
    ASSERT_EQ(history->table->rowCount(), 1);
    history->table->selectRow(0); // the DNS of 0002
    const long long chosen = history->chosenId();
    ASSERT_NE(chosen, 0);
    // Three new entries while it is open: a status, a time entered on the timer, a take-back.
    ASSERT_TRUE(at(*w, [&] {
        return w->station.control.statusControl.setStatus("0003", 1, {"DNS", {}, {}});
    }));
    timer.send("i0004 C0  10:05:00.0000 00\rc0001 C1  10:01:00.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return scalar("select count(*) from change_history") == "4"; }));
    history->refresh();
    ASSERT_TRUE(settled(*history));
    ASSERT_EQ(history->table->rowCount(), 4);
    EXPECT_EQ(history->chosenId(), chosen);
    EXPECT_NE(history->table->selectedItems().first()->row(), 0);
    dialog.answers = {true};
    history->revertChosen();
    settle(*w);
    EXPECT_TRUE(dialog.asked.last().contains("0002")) << dialog.asked.last().toStdString();
    EXPECT_EQ(rows("select zek from run_status order by zek"), QStringList{"0003"});
    EXPECT_EQ(f("0004", "sttime"), "10:05:00.0000");
    closeWindow(*w);
}

// Another program (the command line, a second workstation, plain SQL) changes statuses and
// times: the run window shows them within 2 s, and its boxes follow the statuses.
TEST_F(RunWindowTest, ChangesMadeElsewhereAppearWithinTwoSeconds) {
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    RunPageWidget& page = *w->TabSheet1;
    timer.send(" 0001 C0  10:00:00.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return page.startBox->text() == "0002"; }));
    EXPECT_EQ(page.finishBox->text(), "0001");
    const auto shows = [](Grid* grid, const QString& text) {
        const QAbstractItemModel& m = grid->model();
        for (int r = 0; r < m.rowCount(); ++r)
            for (int c = 0; c < m.columnCount(); ++c)
                if (m.data(m.index(r, c)).toString() == text)
                    return true;
        return false;
    };

    // The start referee's DNS for the next starter, a DNF for the one on course: the start
    // box passes 0002, and with nobody on course the finish box waits on 0003.
    exec("insert into run_status (tcode,zek,run,code) values ('C1','0002',1,'DNS'),"
         "('C1','0001',1,'DNF')");
    EXPECT_TRUE(waitFor([&] { return page.startBox->text() == "0003"; }, 2000));
    EXPECT_TRUE(waitFor([&] { return page.finishBox->text() == "0003"; }, 2000));
    EXPECT_TRUE(waitFor([&] { return shows(page.startList, "DNS"); }, 2000));

    // A time stored elsewhere shows in the finish list and the results.
    exec("update result set sttime='10:10:00.0000',altime='10:11:02.5000',ttime='00:01:02.50',"
         "totaltime='00:01:02.50',FL='F' where tcode='C1' and zek='0007'");
    EXPECT_TRUE(waitFor([&] { return shows(page.results, "00:01:02.50"); }, 2000));
    EXPECT_TRUE(waitFor([&] { return shows(page.finishList, "0007"); }, 2000));
    EXPECT_EQ(page.startBox->text(), "0003"); // a time elsewhere leaves the boxes

    // The DNS taken back: 0002 is due again and the start box goes back to them.
    exec("delete from run_status where zek='0002'");
    EXPECT_TRUE(waitFor([&] { return page.startBox->text() == "0002"; }, 2000));
    timer.send("?0000 C0  10:02:00.0000 00\r");
    ASSERT_TRUE(waitFor([&] { return f("0002", "sttime") == "10:02:00.0000"; }));
    settle(*w);
    EXPECT_EQ(f("0003", "sttime"), "");
    closeWindow(*w);
}

// The results work from the run window: statuses from a list's key and from the results
// list's menu (DSQ with its gate and reason), the mark of a time set by hand, the ranking
// view, the history with a reversion, a document saved, and the end-of-run offer.
TEST_F(RunWindowTest, StatusesRankingHistoryAndDocumentsFromTheRunWindow) {
    auto w = openWindow();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    RunPageWidget& page = *w->TabSheet1;
    timer.send(" 0001 C0  10:00:00.0000 00\r 0001 C1  10:01:00.0000 00\r"
               " 0002 C0  10:00:30.0000 00\r 0002 C1  10:01:30.5000 00\r"
               " 0003 C0  10:01:00.0000 00\r 0003 C1  10:01:59.9900 00\r");
    ASSERT_TRUE(waitFor([&] { return f("0003", "FL") == "F"; }));
    settle(*w);

    // Ctrl+2 on the finish list's row of 0002: a DNF on a finisher is asked about first.
    at(*w, [&] { w->station.control.page1.setFinishBox("0002"); });
    settle(*w);
    page.finishList->setFocus();
    dialog.answers = {true};
    // While the operator reads the question, 0007 starts: the station
    // captures the line meanwhile, on its own thread.
    bool capturedWhileAsked = false;
    dialog.whileAsked = [&] {
        timer.send(" 0007 C0  10:02:00.0000 00\r");
        capturedWhileAsked = waitFor([&] { return f("0007", "sttime") == "10:02:00.0000"; });
    };
    QTest::keyClick(page.finishList, Qt::Key_2, Qt::ControlModifier);
    settle(*w);
    EXPECT_TRUE(capturedWhileAsked);
    EXPECT_EQ(scalar("select code from run_status where zek='0002' and run=1"), "DNF");
    EXPECT_EQ(dialog.asked.size(), 1);

    // The results list's menu: 失格(DSQ) asks the gate and the reason.
    const int row3 = rowOf(page.results, "0003");
    ASSERT_GE(row3, 0);
    const QRect row = page.results->visualRect(page.results->model().index(row3, 0));
    bool answered = false;
    QTimer::singleShot(100, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QTimer::singleShot(100, [&] {
            QWidget* asked = QApplication::activeModalWidget();
            ASSERT_NE(asked, nullptr);
            asked->findChild<QLineEdit*>("gate")->setText("7");
            asked->findChild<QLineEdit*>("reason")->setText("片足旗門通過");
            answered = true;
            qobject_cast<QDialog*>(asked)->accept();
        });
        menu->actions().at(2)->trigger();
        menu->close();
    });
    emit page.results->customContextMenuRequested(row.center());
    EXPECT_TRUE(answered);
    settle(*w);
    EXPECT_EQ(rows("select code,gate,reason from run_status where zek='0003'"),
              QStringList{"DSQ|7|片足旗門通過"});
    EXPECT_TRUE(page.results->model()
                    .data(page.results->model().index(rowOf(page.results, "0003"), 0),
                          QueryModel::MarkedRole)
                    .toBool());
    // The status as text where its times were (a DSQ's time is no result), the whole status
    // in the row's tip; the finish list says DNF for 0002 the same way.
    const QModelIndex dsq = page.results->model().index(rowOf(page.results, "0003"), 2);
    EXPECT_EQ(dsq.data().toString(), "DSQ 7");
    EXPECT_TRUE(dsq.data(Qt::ToolTipRole).toString().contains("片足旗門通過"));
    const int row2 = rowOf(page.finishList, "0002");
    ASSERT_GE(row2, 0);
    QStringList finishRow;
    for (int c = 0; c < page.finishList->model().columnCount(); ++c)
        finishRow << page.finishList->model().index(row2, c).data().toString();
    EXPECT_TRUE(finishRow.contains("DNF")) << finishRow.join('|').toStdString();

    // 0001's finish taken back and assigned by hand: its run time carries the mark.
    at(*w, [&] { w->station.control.corrections.cancelFinishTime("0001"); });
    at(*w, [&] { w->station.control.page1.setFinishBox("0001"); });
    const QString impulse = scalar("select id from pulsedata where stat='C1' and bib='0001'");
    at(*w, [&] { w->station.control.corrections.assignFinishImpulse(impulse); });
    settle(*w);
    EXPECT_EQ(page.results->model()
                  .data(page.results->model().index(rowOf(page.results, "0001"), 2))
                  .toString(),
              "00:01:00.00*");

    // The ranking view: 0001 ranked alone, then the DNF and DSQ sections.
    RankingView* ranking = w->openRanking();
    ASSERT_TRUE(settled(*ranking)); // the classes come with the first read
    ranking->classChoice->setCurrentIndex(ranking->classChoice->findData(3));
    ranking->rankingChoice->setCurrentIndex(0);
    ASSERT_TRUE(settled(*ranking)); // the race is read off the window thread
    ASSERT_GE(ranking->table->rowCount(), 5);
    EXPECT_EQ(ranking->table->item(0, 1)->text(), "0001");
    EXPECT_EQ(ranking->table->item(0, 4)->text(), "1:00.00*");
    EXPECT_EQ(ranking->table->item(1, 0)->text(), "途中棄権/DNF (1名)");
    EXPECT_EQ(ranking->table->item(3, 0)->text(), "失格/DSQ (1名)");
    EXPECT_EQ(ranking->table->item(4, 6)->text(), "旗門 7 片足旗門通過");
    // Run 1's results published from here: official with the time, and taken back.
    EXPECT_TRUE(ranking->officialState->text().startsWith("非公式"));
    EXPECT_FALSE(ranking->unpublishButton->isEnabled());
    ranking->publishButton->click();
    ASSERT_TRUE(settled(*ranking));
    EXPECT_TRUE(ranking->officialState->text().startsWith("公式（発表 20"))
        << ranking->officialState->text().toStdString();
    EXPECT_EQ(scalar("select scope from publication"), "1");
    ranking->unpublishButton->click();
    ASSERT_TRUE(settled(*ranking));
    EXPECT_TRUE(ranking->officialState->text().startsWith("非公式"));
    EXPECT_EQ(scalar("select count(*) from publication"), "0");
    for (QPushButton* b : {ranking->publishButton, ranking->unpublishButton})
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
    screenshot(*ranking, "ranking-view");

    // The history, filtered by bib; the DNF reverted from it, which clears the status.
    HistoryView* history = w->openHistory();
    history->bibFilter->setText("2");
    ASSERT_TRUE(settled(*history));
    ASSERT_EQ(history->table->rowCount(), 1);
    EXPECT_EQ(history->entries()[0].source, "status");
    history->table->selectRow(0);
    dialog.answers = {true}; // what the reversion changes is shown first
    history->revertChosen();
    settle(*w);
    EXPECT_TRUE(dialog.asked.last().contains("変更前")) << dialog.asked.last().toStdString();
    EXPECT_EQ(scalar("select count(*) from run_status where zek='0002'"), "0");
    ASSERT_TRUE(settled(*history));
    EXPECT_EQ(history->table->rowCount(), 2); // the reversion is in the history too
    history->bibFilter->clear();
    ASSERT_TRUE(settled(*history));
    EXPECT_GE(history->table->rowCount(), 5); // DSQ, N4, N2, DNF, its reversion
    screenshot(*history, "history-view");

    // A document saved from the window: the official results as CSV.
    // The race is read off the window thread: the classes come once it is read.
    DocumentDialog* documents = w->openDocuments();
    ASSERT_TRUE(settled(*documents));
    documents->kindChoice->setCurrentIndex(3);
    documents->classChoice->setCurrentIndex(documents->classChoice->findData(3));
    QTemporaryDir dir;
    QList<std::pair<QString, bool>> saved;
    QObject::connect(documents, &DocumentDialog::saved, [&](const QString& path, bool ok) {
        saved.append({QFileInfo(path).fileName(), ok});
    });
    documents->saveTo(dir.filePath("results.csv"));
    documents->saveTo("/nonexistent/dir/results.pdf"); // asked while the first is read
    ASSERT_TRUE(waitFor([&] { return saved.size() == 2; }, 10000));
    EXPECT_EQ(saved,
              (QList<std::pair<QString, bool>>{{"results.csv", true}, {"results.pdf", false}}));
    QFile csv(dir.filePath("results.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readAll().contains(",0003,,,00:00:59.99,,,,,,,DSQ,1,7,"));
    // Printing paints the same pages on the printer (here a printer that makes a PDF file).
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("printed.pdf"));
    Race race;
    ASSERT_TRUE(readRace(dm.Db1, "C1", race));
    paintDocument(buildDocument(race, DocumentKind::Results1, 3), printer,
                  QDateTime::currentDateTime());
    QProcess text;
    text.start("pdftotext", {dir.filePath("printed.pdf"), "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(printed.contains("0001") && printed.contains("1:00.00*") &&
                printed.contains(QRegularExpression("\\b1\\s*/\\s*1\\b")))
        << printed.toStdString();
    EXPECT_EQ(dialog.messages.size(), 1);
    documents->close();

    // The end of run 1: class 3 has nobody left without a start or finish; classes 2 and 1
    // are offered as DNS (0006 is excluded from the lists), each list confirmed, and 0007 of
    // class 1, started while a question was open, as DNF.
    dialog.answers = {true, false, false};
    w->endRunAction[0]->trigger();
    settle(*w);
    EXPECT_EQ(scalar("select group_concat(zek order by zek) from run_status where code='DNS'"),
              "0004,0005");
    closeWindow(*w);
}

// A second timer on the third port: its lines are received, journaled in a folder of their
// own and logged once in their own table, never captured; the backup window matches them,
// proposes the replacement of a missed finish from system B before the hand times, applies it
// and writes the report.
TEST_F(RunWindowTest, SecondTimerOnItsOwnPortAndTheBackupWindow) {
    Pty second;
    qputenv("PISTEL_PORTS",
            ("COM9=" + timer.path() + ";COM8=" + boardLine.path() + ";COM7=" + second.path())
                .toLocal8Bit());
    app.backupPortNo = 7;
    QDir(ImpulseJournal::defaultFolder() + "/system-b").removeRecursively();
    ImpulseJournal journal;
    TFtaikai w(app, dm, dialog, &journal, [](int n) { return PortRegistry::scan().deviceOf(n); });
    at(w, [&] { w.station.ports.openDelayMs = 0; });
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(at(w, [&] { return w.station.CommB.isOpen(); }));

    // System A missed 0004's finish; system B runs 0.02 s behind A.
    const QStringList bibs{"0001", "0002", "0003", "0004", "0005", "0007", "0008"};
    for (int i = 0; i < bibs.size(); ++i) {
        const QString start = QString("10:%1:00.0000").arg(i, 2, 10, QChar('0'));
        const QString finish =
            QString("10:%1:05.%2").arg(i + 1, 2, 10, QChar('0')).arg(1000 + i * 37);
        exec(
            QString(
                "update result set sttime='%1', altime='%2', FL='%3' where tcode='C1' and zek='%4'")
                .arg(start, bibs[i] == "0004" ? "" : finish, bibs[i] == "0004" ? "S" : "F",
                     bibs[i]));
        const QString b = QString("10:%1:05.%2")
                              .arg(i + 1, 2, 10, QChar('0'))
                              .arg(800 + i * 37, 4, 10, QChar('0'));
        second.send(("?0000 C1  " + b + " 00\r").toLatin1());
    }
    ASSERT_TRUE(waitFor([&] {
        return scalar("select count(*) from backup_impulse where tcode='C1'").toInt() == 7;
    }));
    EXPECT_EQ(scalar("select count(*) from pulsedata"), "0");
    QFile day(ImpulseJournal::defaultFolder() + "/system-b/impulses-" +
              QDate::currentDate().toString("yyyy-MM-dd") + ".log");
    ASSERT_TRUE(day.open(QIODevice::ReadOnly));
    EXPECT_EQ(day.readAll().count('\n'), 7);

    BackupWindow* backup = w.openBackup();
    backup->runChoice->setCurrentIndex(0);
    backup->channelChoice->setCurrentIndex(1);
    ASSERT_TRUE(settled(*backup)); // the run is read off the window thread
    // No run page was shown while they came: the lines wait for the operator to give them a
    // run, and are used by none meanwhile.
    ASSERT_TRUE(backup->giveRun->isVisibleTo(backup));
    EXPECT_TRUE(backup->giveRun->text().contains("7 件")) << backup->giveRun->text().toStdString();
    EXPECT_TRUE(backup->shownProposals().empty());
    backup->giveRun->click();
    ASSERT_TRUE(settled(*backup));
    EXPECT_FALSE(backup->giveRun->isVisibleTo(backup));
    EXPECT_EQ(scalar("select count(*) from backup_impulse where run = 1"), "7");
    // Hand times for every finish, 0.1 s early: system B is still used first.
    QString hand;
    for (int i = 0; i < bibs.size(); ++i)
        hand += QString("10:%1:05,%2\n")
                    .arg(i + 1, 2, 10, QChar('0'))
                    .arg((1000 + i * 37) / 100 - 10, 2, 10, QChar('0'));
    ASSERT_TRUE(backup->storeSheet(hand));
    EXPECT_FALSE(backup->storeSheet("10:00:00,00\nnot a time\n"));
    EXPECT_TRUE(dialog.messages.last().startsWith("2 行目"));
    ASSERT_TRUE(settled(*backup));
    ASSERT_EQ(backup->shownProposals().size(), 1u);
    const Proposal p = backup->shownProposals()[0];
    EXPECT_EQ(p.replacement.zek, "0004");
    EXPECT_EQ(p.source, "B");
    EXPECT_EQ(p.replacement.references.size(), 6u); // everyone else, before and after
    EXPECT_EQ(backup->matches->rowCount(), 7);
    backup->proposals->selectRow(0);
    EXPECT_EQ(backup->references->rowCount(), 6);
    EXPECT_EQ(backup->proposals->item(0, 6)->text(), "01:05.11"); // the run time it gives
    EXPECT_FALSE(backup->matchNote->isVisibleTo(backup));
    EXPECT_EQ(backup->applyAll(), 1);
    ASSERT_TRUE(settled(*backup));
    // What was stored is said.
    EXPECT_TRUE(dialog.messages.last().contains("ビブ 0004") &&
                dialog.messages.last().contains("10:04:05.1111") &&
                dialog.messages.last().contains("保存しました"))
        << dialog.messages.last().toStdString();
    EXPECT_EQ(f("0004", "altime"), "10:04:05.1111");
    EXPECT_EQ(f("0004", "ttime"), "00:01:05.11");
    EXPECT_EQ(scalar("select source from change_history where zek='0004'"), "backup");
    // Stored, it is no longer proposed (until the operator reverts it).
    EXPECT_TRUE(backup->shownProposals().empty());
    EXPECT_EQ(backup->proposals->rowCount(), 0);
    QTemporaryDir dir;
    EXPECT_TRUE(backup->saveReport(dir.filePath("report.pdf")));
    EXPECT_GT(QFile(dir.filePath("report.pdf")).size(), 1000);
    screenshot(*backup, "backup-window");
    // A start sheet of two times: nothing is matched, and the window says why.
    backup->channelChoice->setCurrentIndex(0);
    ASSERT_TRUE(backup->storeSheet("10:00:00,00\n10:01:00,00\n"));
    ASSERT_TRUE(settled(*backup));
    EXPECT_TRUE(backup->matchNote->isVisibleTo(backup) &&
                backup->matchNote->text().contains("組しかなく"))
        << backup->matchNote->text().toStdString();
    dialog.answers.prepend(true);
    w.close();
}

// With real-time upload checked on the first page, the live results page follows the timer
// with no other step: on course from the start line, ranked from the finish line, and a
// status set in the window.
TEST_F(RunWindowTest, RealTimeLiveResultsFollowTheTimer) {
    QTemporaryDir dir;
    live::LiveStore store(dir.filePath("live.sqlite"));
    live::LiveServer server(store, QString());
    const quint16 livePort = server.listen(QHostAddress::LocalHost, 0);
    ASSERT_GT(livePort, 0);
    app.webBaseUrl = QStringLiteral("http://127.0.0.1:%1/").arg(livePort);
    QNetworkAccessManager net;
    auto page = [&] {
        QNetworkReply* reply = net.get(QNetworkRequest(QUrl(app.webBaseUrl + "data")));
        waitFor([&] { return reply->isFinished(); }, 3000);
        reply->deleteLater();
        return QJsonDocument::fromJson(reply->readAll()).object();
    };
    auto bibs = [](const QJsonValue& rows) {
        QStringList out;
        for (const QJsonValue& r : rows.toArray())
            out << r["bib"].toString();
        return out.join(',');
    };
    auto w = openWindow();
    w->CkBweb->click();
    w->CuteButton3Click();
    w->showPage(0);
    settle(*w);
    const QTime started = QTime::currentTime().addSecs(-3);
    timer.send("?0000 C0  " + started.toString("HH:mm:ss.zzz").toLatin1() + "0 00\r");
    ASSERT_TRUE(waitFor([&] { return bibs(page()["course"]) == "001"; }, 3000))
        << QJsonDocument(page()).toJson().toStdString();
    EXPECT_EQ(page()["classCode"], "003"); // the class racing now
    EXPECT_EQ(bibs(page()["next"]), "002,003");
    timer.send("?0000 C1  " + started.addSecs(60).toString("HH:mm:ss.zzz").toLatin1() + "0 00\r");
    ASSERT_TRUE(waitFor([&] { return bibs(page()["results"]) == "001"; }, 3000));
    EXPECT_EQ(bibs(page()["course"]), "");
    EXPECT_EQ(page()["results"][0]["result"], "1:00.00");
    at(*w, [&] { w->station.control.statusControl.setStatuses({"0002"}, 1, "DNS"); });
    ASSERT_TRUE(waitFor([&] { return bibs(page()["out"]) == "002"; }, 3000));
    EXPECT_EQ(bibs(page()["next"]), "003");
    EXPECT_TRUE(dialog.messages.isEmpty());
    closeWindow(*w);
}
