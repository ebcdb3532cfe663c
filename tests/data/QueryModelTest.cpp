#include "data/QueryModel.h"

#include "support/DbTest.h"

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
