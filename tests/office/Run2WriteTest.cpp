// The run-2 start order written by the office is the one the workstation races: st2 from 1,
// the run-2 page's box on its first starter; never rewritten once run 2 has started unless
// the operator insists.
#include "capture/RunControl.h"
#include "support/DbTest.h"

#include <QProcess>

namespace pistel::test {
namespace {

class Run2WriteTest : public DbTest {
protected:
    int office(const QStringList& args, QString& output) {
        const QString dsn = qEnvironmentVariable("PISTEL_TEST_DSN", QStringLiteral("PistelTest"));
        QProcess p;
        p.start(PISTEL_OFFICE_PATH, QStringList{"run2", "--dsn", dsn, "--code", "R2"} << args);
        EXPECT_TRUE(p.waitForFinished(20000));
        output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    }
};

TEST_F(Run2WriteTest, TheWorkstationRacesTheOrderTheOfficeWrote) {
    addCompetition("R2");
    // Class 1: run-1 times 0001 62.00, 0002 60.00, 0003 61.00, 0004 DNS (a status); the
    // prepared st2 numbers are stale (7, 8, 9, 10).
    addCompetitors("R2",
                   {{"0001", 1, 7, 1}, {"0002", 2, 8, 1}, {"0003", 3, 9, 1}, {"0004", 4, 10, 1}});
    exec("update result set FL='F', ttime='00:01:02.00' where zek='0001'");
    exec("update result set FL='F', ttime='00:01:00.00' where zek='0002'");
    exec("update result set FL='F', ttime='00:01:01.00' where zek='0003'");
    exec("insert into run_status (tcode,zek,run,code) values ('R2','0004',1,'DNS')");
    QString output;
    // The first two reversed: 0003 (61.00), 0002 (60.00); then 0001 (62.00).
    ASSERT_EQ(office({"--class", "1", "--reverse", "2"}, output), 0) << output.toStdString();
    EXPECT_EQ(output, "st2,bib\n1,0003\n2,0002\n3,0001\n");
    EXPECT_EQ(rows("select zek,st2 from result where tcode='R2' order by zek"),
              (QStringList{"0001|3", "0002|2", "0003|1", "0004|0"}));
    app.competitionCode = "R2";
    RunControl control(app, dm);
    control.selectRun2();
    EXPECT_EQ(control.page2.startBox(), "0003");

    // Once run 2 has a time in the class the order stays, unless forced.
    exec("update result set sttime2='13:00:00.0000', FL2='S' where zek='0003'");
    EXPECT_EQ(office({"--class", "1", "--reverse", "0"}, output), 1);
    EXPECT_TRUE(output.contains("0003")) << output.toStdString();
    EXPECT_EQ(scalar("select st2 from result where tcode='R2' and zek='0002'"), "2");
    ASSERT_EQ(office({"--class", "1", "--reverse", "0", "--force"}, output), 0);
    EXPECT_EQ(output, "st2,bib\n1,0002\n2,0003\n3,0001\n");
}

} // namespace
} // namespace pistel::test
