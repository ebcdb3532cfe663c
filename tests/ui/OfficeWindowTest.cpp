// 「大会準備」 as a club uses it: a competition from nothing, the entry file checked before
// anything is written, the run-1 draw, and the run-2 order confirmed only as it stands.
#include "ui/OfficeWindow.h"

#include "support/DbServer.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"
#include "support/TextFit.h"
#include "support/WaitFor.h"
#include "support/WindowThreadWatch.h"
#include "ui/EntryForm.h"
#include "ui/RaceDataPage.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringEncoder>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace pistel::test {
namespace {

class OfficeWindowTest : public DbTest {
protected:
    // The window works off its thread: what it was asked has been done and shown.
    static bool done(const OfficeWindow& w) {
        return waitFor([&] { return !w.busy(); }, 10000);
    }
};

void writeCp932(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QStringEncoder encoder("windows-31j");
    f.write(encoder.encode(text));
}

TEST_F(OfficeWindowTest, FromNothingToTheRun2StartOrder) {
    ScriptedDialog dialog;
    OfficeWindow w(dm, dialog);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(done(w));
    w.code->setText("W1");
    w.title->setText("第3回 八方尾根クラブ大会");
    w.venue->setText("八方尾根");
    w.discipline->setCurrentText("SL");
    w.date->setDate(QDate(2027, 2, 14));
    w.classes->setText("男子=2 女子=1");
    w.saveCompetition();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(rows("select tcode,tname,GAME,HON,tdate from taikai"),
              QStringList{"W1|第3回 八方尾根クラブ大会|SL|2|2027-02-14"});
    ASSERT_EQ(w.orderClass->count(), 2);
    EXPECT_EQ(w.orderClass->itemText(0), "男子"); // the highest number first

    // Race data: the jury for the competition, the course setter of run 2; an emptied cell
    // is removed again.
    w.tabs->setCurrentIndex(1);
    w.raceData->table->setItem(10, 0, new QTableWidgetItem("山田　太郎"));
    w.raceData->table->setItem(7, 2, new QTableWidgetItem("佐藤　一郎"));
    w.raceData->table->setItem(0, 0, new QTableWidgetItem("八方ジャイアント"));
    w.saveRaceData();
    ASSERT_TRUE(done(w));
    w.raceData->table->item(0, 0)->setText("");
    w.saveRaceData();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(rows("select run,item,value from race_data order by run,item"),
              (QStringList{"0|technical_delegate|山田　太郎", "2|course_setter|佐藤　一郎"}));

    // A file with a problem: listed by line, nothing can be imported.
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.csv"), good = dir.filePath("good.csv");
    writeCp932(
        bad,
        "氏名,所属,クラス\r\n髙橋　健太,白馬ＳＣ,男子\r\n佐藤　一郎,八方ＳＣ,男子ジュニア\r\n");
    w.tabs->setCurrentIndex(2);
    w.previewEntries(bad);
    EXPECT_FALSE(w.importButton->isEnabled());
    EXPECT_TRUE(w.preview->toPlainText().contains("3行目"))
        << w.preview->toPlainText().toStdString();
    writeCp932(good, "氏名,所属,クラス\r\n髙橋　健太,白馬ＳＣ,男子\r\n佐藤　一郎,八方ＳＣ,男子\r\n"
                     "山﨑　花子,八方ＳＣ,女子\r\n");
    w.previewEntries(good);
    ASSERT_TRUE(w.importButton->isEnabled());
    w.importEntries();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(scalar("select count(*) from result where tcode='W1'"), "3");
    EXPECT_TRUE(w.status->text().contains("3 名を追加")) << w.status->text().toStdString();

    // One competitor by hand: a late entry added with the next bib, then found by its bib
    // and edited; a withdrawal and back.
    w.entryForm->name->setText("伊藤　空");
    w.entryForm->team->setText("八方ＳＣ");
    w.entryForm->className->setCurrentText("女子");
    w.saveEntry();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(scalar("select concat(zek,' ',name,' ',class1) from result where name like '伊藤%'"),
              "0004 伊藤　空 1");
    w.entryForm->name->clear();
    w.entryForm->bib->setText("4");
    w.showEntry("4");
    ASSERT_TRUE(done(w));
    EXPECT_EQ(w.entryForm->name->text(), "伊藤　空");
    w.entryForm->birthYear->setText("2003");
    w.saveEntry();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(scalar("select birth_year from entry_detail where zek='0004'"), "2003");
    w.withdraw(true);
    ASSERT_TRUE(done(w));
    EXPECT_EQ(scalar("select dropm from result where zek='0004'"), "9");
    w.withdraw(false);
    ASSERT_TRUE(done(w));
    EXPECT_EQ(scalar("select dropm from result where zek='0004'"), "");
    w.entryForm->bib->setText("5");
    w.entryForm->birthYear->setText("19x0");
    w.saveEntry(); // refused with the file's message, nothing written
    ASSERT_TRUE(done(w));
    EXPECT_TRUE(w.status->text().contains("生年")) << w.status->text().toStdString();
    EXPECT_EQ(scalar("select count(*) from result"), "4");
    EXPECT_EQ(scalar("select count(*) from change_history where source='office' and zek='0004'"),
              "4");

    // The men's run-1 draw: st1 1 and 2, the seed shown and kept.
    w.tabs->setCurrentIndex(3);
    w.drawRun1();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(rows("select st1 from result where tcode='W1' and class1=2 order by st1"),
              (QStringList{"1", "2"}));
    const QString seed = scalar("select seed from start_draw where tcode='W1'");
    EXPECT_TRUE(w.order->toPlainText().contains(seed));

    // Run 1 done: 0002 faster than 0001. The preview reverses both; 0002 then gets a DSQ
    // before the operator confirms: the order is made again, shown, and not written.
    exec("update result set FL='F', ttime='00:00:50.00' where tcode='W1' and zek='0001'");
    exec("update result set FL='F', ttime='00:00:48.00' where tcode='W1' and zek='0002'");
    w.reversed->setValue(2);
    w.previewRun2();
    ASSERT_TRUE(done(w));
    EXPECT_TRUE(w.order->toPlainText().endsWith("0001\n0002"));
    exec("insert into run_status (tcode,zek,run,code) values ('W1','0002',1,'DSQ')");
    w.confirmRun2();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(scalar("select st2 from result where tcode='W1' and zek='0001'"), "0");
    EXPECT_TRUE(w.order->toPlainText().endsWith("\n0001"));
    w.confirmRun2(); // as now shown
    ASSERT_TRUE(done(w));
    EXPECT_EQ(rows("select zek,st2 from result where tcode='W1' and class1=2 order by zek"),
              (QStringList{"0001|1", "0002|0"}));
    EXPECT_TRUE(dialog.asked.isEmpty());

    // Run 2 under way (0001 has started): confirmed only when the operator insists, knowing
    // who. While the question is open, 0002's DSQ is taken back: the answer "yes" then writes
    // nothing, and the order made again is shown instead.
    exec("update result set sttime2='11:00:00.0000' where tcode='W1' and zek='0001'");
    dialog.answers = {true};
    dialog.whileAsked = [&] { exec("delete from run_status where tcode='W1' and zek='0002'"); };
    w.confirmRun2();
    ASSERT_TRUE(done(w));
    ASSERT_EQ(dialog.asked.size(), 1);
    EXPECT_TRUE(dialog.asked[0].contains("（0001）")) << dialog.asked[0].toStdString();
    EXPECT_TRUE(w.order->toPlainText().endsWith("0001\n0002"));
    EXPECT_TRUE(w.status->text().contains("作り直しました")) << w.status->text().toStdString();
    EXPECT_EQ(rows("select zek,st2 from result where tcode='W1' and class1=2 order by zek"),
              (QStringList{"0001|1", "0002|0"}));
    dialog.answers = {true};
    w.confirmRun2(); // asked again, and written as now shown
    ASSERT_TRUE(done(w));
    EXPECT_EQ(dialog.asked.size(), 2);
    EXPECT_EQ(rows("select zek,st2 from result where tcode='W1' and class1=2 order by zek"),
              (QStringList{"0001|1", "0002|2"}));

    const QString shots = QStringLiteral(PISTEL_SCREENSHOT_DIR);
    QDir().mkpath(shots);
    for (int page = 0; page < 4; ++page) {
        w.tabs->setCurrentIndex(page);
        EXPECT_EQ(textThatDoesNotFit(&w), QStringList{}) << page;
        EXPECT_TRUE(w.grab().save(shots + QString("/office-%1.png").arg(page)));
    }
}

// Drill: the server stops answering while the race office saves a competition. The window
// never waits for it; the operator is told once that the save may or may not have been made, and
// saving again once the server is back stores the competition once.
TEST_F(OfficeWindowTest, DrillServerPausedWhileSaving) {
    dm.Db1.timeoutSeconds = 2;
    ScriptedDialog dialog;
    OfficeWindow w(dm, dialog);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(done(w));
    w.code->setText("W2");
    w.title->setText("雪の日大会");
    w.classes->setText("男子=1");
    WindowThreadWatch watch;
    {
        PausedServer paused;
        watch.forget();
        w.saveCompetition();
        w.close(); // not before the save is over: nothing asked for is dropped
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.status->text(), "処理中です。終わってから閉じてください。");
        ASSERT_TRUE(done(w));
        // Before, the window thread waited here for the statement's time-out (2 s).
        EXPECT_LT(watch.longestWaitMs(), 100);
        EXPECT_LT(watch.longestGapMs(), 1000);
    }
    EXPECT_TRUE(w.status->text().startsWith("データベースとの接続が切れました。この操作が保存"))
        << w.status->text().toStdString();
    w.saveCompetition();
    ASSERT_TRUE(done(w));
    EXPECT_EQ(w.status->text(), "大会 W2 を保存しました");
    EXPECT_EQ(rows("select tcode,tname from taikai"), QStringList{"W2|雪の日大会"});
    EXPECT_EQ(w.orderClass->count(), 1);
    EXPECT_TRUE(dialog.messages.isEmpty());
}

} // namespace
} // namespace pistel::test
