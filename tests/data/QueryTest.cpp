#include "data/DbError.h"
#include "data/SqlValue.h"
#include "support/DbTest.h"

#include <QSignalSpy>

using namespace pistel;
using pistel::test::DbTest;

class QueryTest : public DbTest {};

TEST_F(QueryTest, JapaneseTextIsStoredAndReadBackExactly) {
    const QStringList texts{"大会A", "高橋", "ホテル",   "ヘルメット",
                            "表示",  "～",   "ソフト表", "ｶﾀｶﾅ"};
    int i = 0;
    for (const QString& t : texts) {
        const QString code = QStringLiteral("J%1").arg(i++);
        addCompetition(code, t);
        EXPECT_EQ(scalar("select tname from taikai where tcode='" + code + "'"), t);
        // And matched exactly when spliced into a condition.
        EXPECT_EQ(scalar("select tcode from taikai where tname='" + sqlValue(t) + "'"), code);
    }
    // The server holds the Shift-JIS characters, not replacement marks.
    EXPECT_EQ(scalar("select hex(tname) from taikai where tcode='J4'"), "955C8EA6");
    EXPECT_EQ(scalar("select char_length(tname) from taikai where tcode='J2'"), "3");
}

TEST_F(QueryTest, SplicedValuesCannotChangeTheStatement) {
    addCompetition("A");
    addCompetition("B");
    const QStringList hostile{"x' or '1'='1",     "a\\",   "表'",
                              "ソ\\' or 1=1 -- ", "end\\", QString::fromLatin1("nul\0inside", 10)};
    for (const QString& v : hostile) {
        exec("update taikai set tname='" + sqlValue(v) + "' where tcode='A'");
        EXPECT_EQ(scalar("select tname from taikai where tcode='A'"), v) << v.toStdString();
        EXPECT_EQ(scalar("select count(*) from taikai where tname='" + sqlValue(v) + "'"), "1");
        EXPECT_NE(scalar("select tname from taikai where tcode='B'"), v);
    }
}

TEST_F(QueryTest, CursorMovesAndReportsBofEof) {
    addCompetition("C1");
    addCompetition("C2");
    addCompetition("C3");
    Query q(dm.Db1, "q", {"select tcode from taikai order by tcode"});
    EXPECT_FALSE(q.isOpen());
    q.open();
    ASSERT_EQ(q.recordCount(), 3);
    EXPECT_TRUE(q.bof());
    EXPECT_EQ(q.fieldByName(u"TCODE").asString(), "C1"); // names are case-insensitive
    q.next();
    q.next();
    EXPECT_EQ(q.fieldByName(u"tcode").asString(), "C3");
    EXPECT_FALSE(q.eof());
    q.next();
    EXPECT_TRUE(q.eof());
    EXPECT_EQ(q.currentRow(), 2);
    q.prior();
    EXPECT_EQ(q.fieldByName(u"tcode").asString(), "C2");
    q.first();
    q.prior();
    EXPECT_TRUE(q.bof());
    EXPECT_EQ(q.currentRow(), 0);
    q.close();
    EXPECT_EQ(q.recordCount(), 0);
    EXPECT_THROW(q.fieldByName(u"tcode"), DbError);
    EXPECT_THROW(q.next(), DbError);
}

TEST_F(QueryTest, LocateIsExactAndCaseSensitive) {
    addCompetitors("T", {{"0001", 1, 1, 1}, {"000a", 2, 2, 1}, {"0003", 3, 3, 1}});
    Query q(dm.Db1, "q", {"select * from result order by st1"});
    q.open();
    EXPECT_TRUE(q.locate(u"zek", "0003"));
    EXPECT_EQ(q.currentRow(), 2);
    EXPECT_FALSE(q.locate(u"zek", "000A")); // the database would match it, locate must not
    EXPECT_EQ(q.currentRow(), 2);
    EXPECT_FALSE(q.locate(u"zek", "3"));
    EXPECT_FALSE(q.locate(u"zek", ""));
    EXPECT_EQ(q.currentRow(), 2);
    EXPECT_TRUE(q.locate(u"ZEK", "000a"));
    EXPECT_EQ(q.currentRow(), 1);
    EXPECT_THROW(q.locate(u"nosuch", "1"), DbError);
}

TEST_F(QueryTest, CurrentRowNotifications) {
    addCompetitors("T", {{"0001", 1, 1, 1}, {"0002", 2, 2, 1}});
    Query q(dm.Db1, "q", {"select * from result order by st1"});
    QSignalSpy spy(&q, &Query::currentRowChanged);
    q.open();
    EXPECT_EQ(spy.count(), 1); // open
    q.next();
    EXPECT_EQ(spy.count(), 2); // scroll
    q.next();
    EXPECT_EQ(spy.count(), 2); // at the end nothing moves
    q.locate(u"zek", "0002");
    EXPECT_EQ(spy.count(), 3); // a found row counts even when it is the current one
    q.locate(u"zek", "9999");
    EXPECT_EQ(spy.count(), 3);
    q.close();
    EXPECT_EQ(spy.count(), 3); // closing does not notify
    q.reread();
    EXPECT_EQ(spy.count(), 4);
    EXPECT_EQ(q.currentRow(), 0);

    Query empty(dm.Db1, "e", {"select * from result where zek='none'"});
    QSignalSpy emptySpy(&empty, &Query::currentRowChanged);
    empty.open();
    EXPECT_EQ(emptySpy.count(), 1);
    EXPECT_EQ(empty.currentRow(), -1);
    EXPECT_TRUE(empty.bof());
    EXPECT_TRUE(empty.eof());
    // With no row every field reads as empty text.
    EXPECT_EQ(empty.fieldByName(u"zek").asString(), "");
    EXPECT_EQ(empty.fieldByName(u"class1").asInteger(), 0);
    EXPECT_TRUE(empty.fieldByName(u"zek").isNull());
}

TEST_F(QueryTest, NullIsNotEmptyText) {
    addCompetitors("T", {{"0001", 1, 1, 7}});
    exec("update result set diff=null, e1='' where zek='0001'");
    Query q(dm.Db1, "q", {"select diff, e1, class1 from result"});
    q.open();
    EXPECT_TRUE(q.fieldByName(u"diff").isNull());
    EXPECT_EQ(q.fieldByName(u"diff").asString(), "");
    EXPECT_FALSE(q.fieldByName(u"e1").isNull());
    EXPECT_EQ(q.fieldByName(u"e1").asString(), "");
    EXPECT_EQ(q.fieldByName(u"class1").asInteger(), 7);
    EXPECT_EQ(scalar("select count(*) from result where diff = ''"), "0");
    EXPECT_EQ(scalar("select count(*) from result where e1 = ''"), "1");
}

TEST_F(QueryTest, StartOrderComparedWithQuotedDigitsAsNumber) {
    addCompetitors("T", {{"0001", 9, 1, 1}, {"0002", 10, 2, 1}, {"0003", 2, 3, 1}});
    EXPECT_EQ(rows("select zek from result where st1 > '9' order by st1"), QStringList{"0002"});
    EXPECT_EQ(rows("select zek from result where st1 > '2' order by st1 "),
              (QStringList{"0001", "0002"}));
    // An integer compared with '' compares with 0.
    EXPECT_EQ(scalar("select count(*) from result where class1 = ''"), "0");
}

TEST_F(QueryTest, FailingStatementCarriesDriverMessageAndStatement) {
    Query q(dm.Db1, "Qtemp");
    q.setSql({"select nosuchcolumn from result", "where tcode = 'X'"});
    try {
        q.open();
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains("nosuchcolumn")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("Unknown column")) << e.message().toStdString();
        EXPECT_EQ(e.statement(), "select nosuchcolumn from result\nwhere tcode = 'X'");
    }
    EXPECT_FALSE(q.isOpen());

    q.setSql({"select * from result"});
    q.open();
    try {
        q.fieldByName(u"nosuchfield");
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains("nosuchfield"));
        EXPECT_TRUE(e.message().contains("Qtemp"));
    }
}

TEST_F(QueryTest, ExecReportsAffectedRowsAndChangingSqlClosesTheDataset) {
    addCompetitors("T", {{"0001", 1, 1, 1}, {"0002", 2, 2, 1}});
    Query q(dm.Db1, "q");
    q.setSql({"update result set e1='x'", "where tcode='T'"});
    EXPECT_EQ(q.execSql(), 2);
    q.setSql({"update result set e1='x' where tcode='none'"});
    EXPECT_EQ(q.execSql(), 0);
    q.setSql({"select * from result"});
    q.open();
    q.addSql("where zek='0001'");
    EXPECT_FALSE(q.isOpen());
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
}

TEST_F(QueryTest, LongTextColumnsAreReadWhole) {
    exec("create temporary table longtext_t (v text) character set sjis");
    const QString big = QString::fromUtf8("表").repeated(5000) + "end";
    exec("insert into longtext_t values ('" + sqlValue(big) + "'),(null)");
    Query q(dm.Db1, "q", {"select v from longtext_t"});
    q.open();
    ASSERT_EQ(q.recordCount(), 2);
    EXPECT_EQ(q.fieldByName(u"v").asString(), big);
    q.next();
    EXPECT_TRUE(q.fieldByName(u"v").isNull());
}

TEST_F(QueryTest, ManyRowsSpanSeveralFetchBlocks) {
    exec("create temporary table many_t (n int, s varchar(20)) character set sjis");
    QString values;
    for (int i = 0; i < 3000; ++i)
        values += QStringLiteral("%1(%2,'行%2')").arg(i ? "," : "").arg(i);
    exec("insert into many_t values " + values);
    Query q(dm.Db1, "q", {"select n, s from many_t order by n"});
    q.open();
    ASSERT_EQ(q.recordCount(), 3000);
    q.last();
    EXPECT_EQ(q.fieldByName(u"n").asInteger(), 2999);
    EXPECT_EQ(q.fieldByName(u"s").asString(), QString::fromUtf8("行2999"));
    EXPECT_TRUE(q.locate(u"s", QString::fromUtf8("行1234")));
    EXPECT_EQ(q.currentRow(), 1234);
}

TEST_F(QueryTest, ConnectingToAMissingDataSourceFailsClearly) {
    odbc::Connection c;
    EXPECT_THROW(c.open(connectionString("NoSuchSource")), DbError);
    EXPECT_FALSE(c.isOpen());
    Query q(c, "q", {"select 1"});
    EXPECT_THROW(q.open(), DbError);
}
