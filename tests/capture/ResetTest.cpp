#include "CaptureFixture.h"
#include "support/ScriptedDialog.h"

using namespace pistel;
using pistel::test::CaptureFixture;
using pistel::test::ScriptedDialog;

class ResetTest : public CaptureFixture {
protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        addStandardField();
        control.dialog = &dialog;
        for (const char* code : {"C1", "OTHER"}) {
            const QString c = code;
            exec("update result set sttime='10:00:00.0000', altime='10:01:00.0000', "
                 "ttime='00:01:00.00', totaltime='00:02:05.00', TH='00', TM='01', TS='00', "
                 "TMS='00', FL='F', sttime2='13:00:00.0000', altime2='13:01:05.0000', "
                 "ttime2='00:01:05.00', TH2='00', TM2='01', TS2='05', TMS2='00', FL2='F', "
                 "diff=1.5, point=20, df1=3, df2=4, cutoff=1, e1='x', e2='y', BST1='1', "
                 "BFT2='2', HRT2='3' where tcode='" +
                 c + "'");
            exec("insert into pulsedata (tcode,ttime,tstat,bib,stat,dtime) values ('" + c +
                 "',1,' ','0001','C0','10:00:00.0000'),('" + c +
                 "',2,' ','0001','C1','10:01:00.0000')");
            exec("insert into handtm (tcode,run,zek) values ('" + c + "','1','0001'),('" + c +
                 "','2','0001')");
        }
    }
    QString snapshot(const QString& code) {
        return rows("select * from result where tcode='" + code + "' order by zek").join("\n") +
               rows("select count(*) from pulsedata where tcode='" + code + "'").join("") +
               rows("select run from handtm where tcode='" + code + "' order by run").join(",");
    }
    ScriptedDialog dialog;
};

TEST_F(ResetTest, NoToTheFirstQuestionChangesNothing) {
    const QString before = snapshot("C1");
    control.selection.selectRun1();
    dialog.answers = {false};
    control.resets.resetRunData();
    EXPECT_EQ(dialog.asked,
              QStringList{"削除後の復旧は出来ません。|全ての計測データを削除します。"});
    control.selection.selectRun2();
    dialog.answers = {false};
    control.resets.resetRunData();
    EXPECT_EQ(dialog.asked.last(), "削除後の復旧は出来ません。|２本目の計測データを削除します。");
    EXPECT_EQ(snapshot("C1"), before);
}

TEST_F(ResetTest, FullResetKeepingTheImpulses) {
    const QString other = snapshot("OTHER");
    control.selection.selectRun1();
    dialog.answers = {true, false};
    control.resets.resetRunData();
    EXPECT_EQ(dialog.asked.last(), "|Pulseデータを削除してよろしいですか？");
    EXPECT_EQ(rows("select distinct concat_ws('|',sttime,altime,ttime,sttime2,altime2,ttime2,"
                   "totaltime,th,tm,ts,tms,th2,tm2,ts2,tms2,fl,fl2,ifnull(diff,'null'),"
                   "ifnull(point,'null'),df1,df2,cutoff,e1,e2,BST1,BFT1,BRT1,BST2,BFT2,BRT2,"
                   "HST1,HFT1,HRT1,HST2,HFT2,HRT2) from result where tcode='C1'"),
              QStringList{"|||||||||||||||N|N|null|null|0|0|0|||99:99:99.9999|99:99:99.9999|"
                          "99:99:99.99|99:99:99.9999|99:99:99.9999|99:99:99.99|99:99:99.999|"
                          "99:99:99.999|99:99:99.99|99:99:99.999|99:99:99.999|99:99:99.99"});
    EXPECT_EQ(scalar("select count(*) from handtm where tcode='C1'"), "0");
    EXPECT_EQ(scalar("select count(*) from pulsedata where tcode='C1'"), "2");
    EXPECT_EQ(dm.QPulseSt.recordCount(), 1); // the impulse lists still show them
    EXPECT_EQ(dm.QPulseFn.recordCount(), 1);
    EXPECT_EQ(dm.Qdpfn.recordCount(), 0); // nobody has started any more
    EXPECT_EQ(snapshot("OTHER"), other);
}

TEST_F(ResetTest, FullResetWithTheImpulses) {
    const QString other = snapshot("OTHER");
    control.selection.selectRun1();
    dialog.answers = {true, true};
    control.resets.resetRunData();
    EXPECT_EQ(scalar("select count(*) from pulsedata where tcode='C1'"), "0");
    EXPECT_EQ(dm.QPulseSt.recordCount(), 0);
    EXPECT_EQ(dm.QPulseFn.recordCount(), 0);
    EXPECT_EQ(snapshot("OTHER"), other);
}

TEST_F(ResetTest, Run2ResetRestoresTheRun1Total) {
    const QString other = snapshot("OTHER");
    const QString run1Before = rows("select sttime,altime,ttime,TH,TM,TS,TMS,FL,df1,cutoff,e1,"
                                    "BST1 from result where tcode='C1' order by zek")
                                   .join("\n");
    control.selection.selectRun2();
    dialog.answers = {true};
    control.resets.resetRunData();
    EXPECT_EQ(dialog.asked.size(), 1);
    EXPECT_EQ(rows("select distinct concat_ws('|',sttime2,altime2,ttime2,totaltime,th2,tm2,ts2,"
                   "tms2,fl2,df2,ifnull(diff,'null'),ifnull(point,'null'),e2,BST2,BFT2,BRT2,"
                   "HST2,HFT2,HRT2) from result where tcode='C1'"),
              QStringList{"|||00:01:00.00|||||N|0|null|null||99:99:99.9999|99:99:99.9999|"
                          "99:99:99.99|99:99:99.999|99:99:99.999|99:99:99.99"});
    EXPECT_EQ(rows("select sttime,altime,ttime,TH,TM,TS,TMS,FL,df1,cutoff,e1,BST1 from result "
                   "where tcode='C1' order by zek")
                  .join("\n"),
              run1Before);
    EXPECT_EQ(rows("select run from handtm where tcode='C1'"), QStringList{"1"});
    EXPECT_EQ(scalar("select count(*) from pulsedata where tcode='C1'"), "2");
    EXPECT_EQ(dm.Qdpfn2.recordCount(), 0);
    EXPECT_EQ(snapshot("OTHER"), other);
}

// A reset takes the backup timing data with it, into the history, and reverting the reset's
// entries brings back exactly what it cleared: every column, the hand times (handtm), the
// stopwatch sheets and the second timer's lines; reverting the reversion clears them again.
TEST_F(ResetTest, RevertingAResetBringsBackEverythingItCleared) {
    for (const char* code : {"C1", "OTHER"}) {
        const QString c = code;
        exec("update handtm set htime='10:00:00.12' where tcode='" + c + "'");
        exec("insert into hand_time (tcode,run,channel,line,bib,htime) values ('" + c +
             "',1,'start',1,'0001','10:00:00.11'),('" + c + "',2,'finish',2,'','13:01:05.02')");
        exec("insert into backup_impulse (tcode,ttime,tstat,bib,stat,dtime) values ('" + c +
             "',5,'?','0,1 ','C0','10:00:00.0011')");
    }
    auto backup = [&](const QString& code) {
        return rows("select run,channel,line,bib,htime from hand_time where tcode='" + code +
                    "' order by id") +
               rows("select ttime,tstat,bib,stat,dtime from backup_impulse where tcode='" + code +
                    "' order by id");
    };
    const QString before = snapshot("C1");
    const QStringList backupBefore = backup("C1");
    const QString other = snapshot("OTHER") + backup("OTHER").join("|");
    control.selection.selectRun1();
    dialog.answers = {true, false}; // the impulses stay
    control.resets.resetRunData();
    EXPECT_EQ(backup("C1"), QStringList{});
    EXPECT_EQ(scalar("select count(*) from handtm where tcode='C1'"), "0");
    // One entry per competitor, one for the backup timing data.
    const QStringList entries = rows("select id from change_history where source='reset' order "
                                     "by (zek = '') desc, id");
    ASSERT_EQ(entries.size(), 9);
    EXPECT_EQ(scalar("select before_text from change_history where zek=''"),
              "手計時 2 件、予備計時器の時刻 1 件");
    for (const QString& id : entries)
        EXPECT_TRUE(control.corrections.revertChange(id.toLongLong())) << id.toStdString();
    EXPECT_EQ(snapshot("C1"), before);
    EXPECT_EQ(backup("C1"), backupBefore);
    EXPECT_EQ(snapshot("OTHER") + backup("OTHER").join("|"), other);
    // The reversion of the backup data is reverted in turn: cleared again.
    const QString reversion =
        scalar("select max(id) from change_history where zek='' and source='revert'");
    EXPECT_TRUE(control.corrections.revertChange(reversion.toLongLong()));
    EXPECT_EQ(backup("C1"), QStringList{});
    // A new sheet since: reverting the reset's entry again would not be exact, so it is
    // refused and the operator told why.
    exec("insert into hand_time (tcode,run,channel,line,bib,htime) values "
         "('C1',1,'start',1,'0002','10:00:30.00')");
    EXPECT_FALSE(control.corrections.revertChange(entries[0].toLongLong()));
    EXPECT_TRUE(dialog.messages.last().contains("予備計時"))
        << dialog.messages.last().toStdString();
    EXPECT_EQ(backup("C1").size(), 1);
}
