#include "data/QueryModel.h"

#include "support/DbTest.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSize>

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
