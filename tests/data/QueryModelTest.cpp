#include "data/QueryModel.h"

#include "data/odbc/OdbcConnection.h"
#include "support/DbTest.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QSize>
#include <QThread>

using namespace pistel;
using pistel::test::DbTest;

class QueryModelTest : public DbTest {};

TEST_F(QueryModelTest, ShowsConfiguredColumnsAndFollowsTheQuery) {
    addCompetitors("T", {{"0001", 1, 1, 1}, {"0002", 2, 2, 1}, {"0003", 3, 3, 1}});
    exec("update result set sttime='10:00:00.0000' where zek='0002'");
    Query q(dm.Db1, "Qdpst", {"select * from result order by st1"});
    QueryModel model(q, {{"ZEK", "ビブ", 72, Qt::AlignCenter, Qt::AlignCenter},
                         {"", "", 15},
                         {"STTIME", "スタート時刻", 144, Qt::AlignRight}});
    EXPECT_EQ(model.rowCount(), 0);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    q.open();
    EXPECT_EQ(resets.count(), 1);
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "0002");
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "");
    EXPECT_EQ(model.data(model.index(1, 2)).toString(), "10:00:00.0000");
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("ビブ"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::SizeHintRole).toSize().width(), 144);
    EXPECT_EQ(model.data(model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight);

    QSignalSpy moves(&model, &QueryModel::currentRowChanged);
    model.setCurrentRow(2); // a click in the grid moves the query
    EXPECT_EQ(q.currentRow(), 2);
    ASSERT_EQ(moves.count(), 1);
    EXPECT_EQ(moves.at(0).at(0).toInt(), 2);
    q.prior(); // and the query's moves reach the view
    EXPECT_EQ(moves.count(), 2);
    EXPECT_EQ(model.currentRow(), 1);

    q.close();
    EXPECT_EQ(model.rowCount(), 0);
}

// A list taking one competitor's row, an impulse newer than it holds, or a row a writer
// knows, tells its view which row went and which came, never a reset: Qt's model tester
// checks every notification against the rows, and the rows read as a fresh read would.
TEST_F(QueryModelTest, MergesAreToldRowByRowAndKeepTheModelConsistent) {
    addCompetitors("T", {{"0001", 1, 1, 1}, {"0002", 2, 2, 1}, {"0003", 3, 3, 1}});
    Query q(dm.Db1, "Qdpst",
            {"select zek,st1,sttime from result where tcode = 'T'",
             "and dropm <> '9' order by sttime desc, zek"});
    QueryModel model(q, {{"ZEK", "ビブ"}, {"STTIME", "スタート時刻"}});
    q.open();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    auto shown = [&] {
        QStringList out;
        for (int r = 0; r < model.rowCount(); ++r)
            out << model.data(model.index(r, 0)).toString();
        return out;
    };

    // 0002 starts: its row moves to the top (started first, then the rest by bib).
    exec("update result set sttime='10:00:00.0000' where tcode='T' and zek='0002'");
    q.refreshKey(u"zek", "0002");
    EXPECT_EQ(shown(), (QStringList{"0002", "0001", "0003"}));
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(inserted.count(), 1);

    // A new competitor, known by the row its writer wrote.
    addCompetitors("T", {{"0004", 4, 4, 1}});
    exec("update result set sttime='10:00:30.0000' where tcode='T' and zek='0004'");
    EXPECT_TRUE(q.putRow(u"zek", "0004",
                         {{"ZEK", "0004"}, {"ST1", "4"}, {"STTIME", "10:00:30.0000"}}, true));
    EXPECT_EQ(shown(), (QStringList{"0004", "0002", "0001", "0003"}));
    // A row that no longer belongs goes, and only it.
    exec("update result set dropm='9' where tcode='T' and zek='0001'");
    EXPECT_TRUE(q.putRow(u"zek", "0001", {}, false));
    EXPECT_EQ(shown(), (QStringList{"0004", "0002", "0003"}));
    EXPECT_EQ(removed.count(), 2); // 0002 once, 0001 once; 0004 was not there
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(q.currentRow(), 0); // as after a read: the first row is current

    q.reread(); // a whole read is still a reset (its close and its open), and shows what the
                // merges showed
    EXPECT_EQ(resets.count(), 2);
    EXPECT_EQ(shown(), (QStringList{"0004", "0002", "0003"}));
}

// A grid on the window's thread over a list that lives on a station's thread, with a
// connection of its own: reads, merges and moves made there reach the grid in order, and
// the grid's rows read exactly as the list's once the station is idle. A click made on rows
// the list has changed since is dropped instead of landing on another row, and either side
// may go first.
TEST_F(QueryModelTest, AListOnAnotherThreadIsShownRowByRowAndAStaleClickIsDropped) {
    addCompetitors("T", {{"0001", 1, 1, 1}, {"0002", 2, 2, 1}, {"0003", 3, 3, 1}});
    QThread station;
    station.start();
    odbc::Connection db;
    auto q = std::make_unique<Query>(db, "Qdpst",
                                     QStringList{"select zek,sttime from result where tcode='T'",
                                                 "and dropm <> '9' order by sttime desc, zek"});
    q->moveToThread(&station);
    // Runs on the station's thread and waits for it, as a test may; the grid's copy follows
    // by the events it is sent.
    auto waitFor = [&](std::function<void()> work) {
        QMetaObject::invokeMethod(q.get(), work, Qt::BlockingQueuedConnection);
    };
    auto there = [&](std::function<void()> work) {
        waitFor(std::move(work));
        QCoreApplication::processEvents();
    };
    auto write = [&](const QString& sql) { Query(db, "write", {sql}).execSql(); };
    there([&] {
        db.open(dm.Db1.lastConnectionString());
        q->open();
    });
    QueryModel model(*q, {{"ZEK", "ビブ"}, {"STTIME", "スタート時刻"}});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.rowCount(), 0); // its rows are taken there and come by an event
    there([] {});
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    auto shown = [&] {
        QStringList out;
        for (int r = 0; r < model.rowCount(); ++r)
            out << model.data(model.index(r, 0)).toString() + '|' +
                       model.data(model.index(r, 1)).toString();
        return out;
    };
    auto held = [&] {
        QStringList out;
        there([&] {
            for (int r = 0; r < q->recordCount(); ++r)
                out << q->text(r, 0) + '|' + q->text(r, 1);
        });
        return out;
    };
    EXPECT_EQ(shown(), (QStringList{"0001|", "0002|", "0003|"}));

    // New competitors and starts merged there one after another, none waited for here: the
    // copy ends equal.
    for (int i = 4; i < 14; ++i)
        addCompetitors("T", {{QString("%1").arg(i, 4, 10, QChar('0')), i, i, 1}});
    QMetaObject::invokeMethod(q.get(), [&] {
        for (int i = 2; i < 14; i += 3) {
            const QString bib = QString("%1").arg(i, 4, 10, QChar('0'));
            write("update result set sttime='10:00:" + QString::number(10 + i) +
                  ".0000' where tcode='T' and zek='" + bib + "'");
            q->refreshKey(u"zek", bib);
        }
    });
    there([] {});
    EXPECT_EQ(shown(), held());
    EXPECT_EQ(shown().first(), "0011|10:00:21.0000");
    EXPECT_EQ(resets.count(), 0); // merged row by row, never laid out whole

    // A click on rows the list still holds moves it; one made before a change it had not
    // yet seen is dropped, and the grid shows the list's row again.
    model.setCurrentRow(3);
    there([] {});
    int current = -1;
    there([&] { current = q->currentRow(); });
    EXPECT_EQ(current, 3);
    EXPECT_EQ(model.currentRow(), 3);
    waitFor([&] {
        write("update result set sttime='10:01:00.0000' where zek='0001'");
        q->refreshKey(u"zek", "0001"); // the grid hears of it only after the click below
        q->moveTo(5);
    });
    // Posted before the copy applied the change above: the events are still queued here.
    model.setCurrentRow(1);
    there([] {});
    there([&] { current = q->currentRow(); });
    EXPECT_EQ(current, 5); // where the station moved it; the stale click did nothing
    EXPECT_EQ(model.currentRow(), 5);
    EXPECT_EQ(shown(), held());
    EXPECT_EQ(shown().first(), "0001|10:01:00.0000");

    // The list goes first (a window's grids outlive its station), then the thread.
    QMetaObject::invokeMethod(
        q.get(), [&] { q.reset(); }, Qt::BlockingQueuedConnection);
    model.setCurrentRow(2); // nowhere to go: ignored
    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 6); // 0001-0003 and the three newcomers that started
    station.quit();
    station.wait();
}
