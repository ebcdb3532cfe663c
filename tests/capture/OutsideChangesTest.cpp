// Changes other programs make are found by competitor, so the lists take the rows that
// changed instead of being read whole (during a race the station's own captures change a few
// rows every second).
#include "capture/OutsideChanges.h"

#include "CaptureFixture.h"
#include "data/Query.h"

using namespace pistel;
using pistel::test::CaptureFixture;

class OutsideChangesTest : public CaptureFixture {
protected:
    OutsideChange look() { return watch.changedSinceLastLook(dm.Db1, "C1"); }
    OutsideChanges watch;
};

TEST_F(OutsideChangesTest, EachKindOfChangeIsFoundWithTheCompetitorsItTouched) {
    addStandardField();
    EXPECT_FALSE(look().any()); // the first look only remembers
    EXPECT_FALSE(look().any());

    // A time (the station's own capture, or plain SQL): that competitor, not an entry.
    exec("update result set sttime='10:00:00.0000', FL='S' where tcode='C1' and zek='0002'");
    OutsideChange c = look();
    EXPECT_EQ(c.bibs, QStringList{"0002"});
    EXPECT_FALSE(c.entries);
    EXPECT_FALSE(c.statuses || c.history || c.unassigned || c.everything);
    EXPECT_FALSE(look().any()); // seen once

    // The race office: a new start order, a withdrawal, a renamed and a new competitor, one
    // taken out; another competition's change is not this one's.
    exec("update result set st2=9 where tcode='C1' and zek='0004'");
    exec("update result set dropm='9' where tcode='C1' and zek='0005'");
    exec("update result set name='高橋　健太' where tcode='C1' and zek='0007'");
    exec("insert into result (tcode,zek,st1,st2,class1) values ('C1','0009',9,9,1)");
    exec("delete from result where tcode='C1' and zek='0008'");
    exec("update result set st1=99 where tcode='OTHER' and zek='0001'");
    c = look();
    c.bibs.sort();
    EXPECT_EQ(c.bibs, (QStringList{"0004", "0005", "0007", "0008", "0009"}));
    EXPECT_TRUE(c.entries);
    EXPECT_FALSE(c.everything);

    // A status, a history entry, an unassigned impulse: each told as such, with no row.
    exec("insert into run_status (tcode,zek,run,code) values ('C1','0003',1,'DNS')");
    c = look();
    EXPECT_TRUE(c.statuses);
    EXPECT_TRUE(c.bibs.isEmpty());
    exec("insert into change_history (tcode,at,zek,source,before_row,after_row) values "
         "('C1',now(3),'0001','manual','','')");
    c = look();
    EXPECT_TRUE(c.history);
    EXPECT_FALSE(c.statuses);
    exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values "
         "('C1','0',' ','0000','C0','10:00:00.0000')");
    exec("insert into pulse_unassigned (tcode,pulse_id,reason) values ('C1',LAST_INSERT_ID(),'')");
    EXPECT_TRUE(look().unassigned);

    // A whole new draw: more rows than are followed one by one (0009 stays as it was).
    exec("delete from result where tcode='C1'");
    QStringList values;
    for (int i = 1; i <= OutsideChanges::kMostRowsOneByOne + 2; ++i)
        values << QStringLiteral("('C1','%1',%2,%2,1)").arg(i, 4, 10, QChar('0')).arg(i);
    exec("insert into result (tcode,zek,st1,st2,class1) values " + values.join(','));
    c = look();
    EXPECT_TRUE(c.everything) << c.bibs.size();

    // After our own re-read, the next look starts afresh.
    exec("update result set sttime='11:00:00.0000' where tcode='C1' and zek='0001'");
    watch.forget();
    EXPECT_FALSE(look().any());
}

// The run page's lists take only the rows that changed: no list is read whole, and each
// shows what a fresh read shows.
TEST_F(OutsideChangesTest, TheListsTakeTheChangedRowsOnly) {
    addStandardField();
    control.selection.selectRun1();
    RunPage& p = control.page1;
    line(start(" 0001", "10:00:00.0000"));
    EXPECT_FALSE(look().any());
    int wholeReads = 0;
    for (Query* list : {&p.startList, &p.finishList, &p.results})
        QObject::connect(list, &Query::reset, [&] { ++wholeReads; });

    // Plain SQL: 0001 finishes, 0002 starts and finishes, 0003 finishes without a start.
    exec("update result set altime='10:01:02.5000',ttime='00:01:02.50',totaltime='00:01:02.50',"
         "FL='F' where tcode='C1' and zek='0001'");
    exec("update result set sttime='10:00:30.0000',altime='10:01:40.0000',ttime='00:01:10.00',"
         "totaltime='00:01:10.00',FL='F' where tcode='C1' and zek='0002'");
    exec("update result set altime='10:02:00.0000' where tcode='C1' and zek='0003'");
    const OutsideChange c = look();
    ASSERT_EQ(c.bibs.size(), 3);
    control.selection.followOutsideChanges(c);
    EXPECT_EQ(wholeReads, 0);
    EXPECT_EQ(control.missingStarts(), QStringList{"0003"});
    for (Query* list : {&p.startList, &p.finishList, &p.results}) {
        if (!list->isOpen())
            continue;
        Query fresh(dm.Db1, "fresh", list->sql());
        fresh.open();
        ASSERT_EQ(list->recordCount(), fresh.recordCount()) << list->name().toStdString();
        for (int r = 0; r < fresh.recordCount(); ++r)
            for (int col = 0; col < fresh.rows().columnCount(); ++col)
                EXPECT_EQ(list->text(r, col), fresh.text(r, col))
                    << list->name().toStdString() << " row " << r << " column " << col;
    }
    EXPECT_EQ(p.startBox(), "0002"); // times elsewhere leave the boxes
}
