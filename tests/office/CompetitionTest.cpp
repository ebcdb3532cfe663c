// A competition made by the office from nothing: its row, its classes and its race data, as
// the workstation and the documents read them; a wrong value writes nothing.
#include "OfficeProgram.h"
#include "support/DbTest.h"

namespace pistel::test {
namespace {

class CompetitionTest : public DbTest {
protected:
    int office(const QStringList& args, QString& output) { return runOffice(args, output); }
};

TEST_F(CompetitionTest, CompetitionClassesAndRaceDataFromNothing) {
    QString out;
    const QStringList create{
        "create",  "--code", "N1",           "--title",    "第1回 白馬村民スキー大会",
        "--venue", "白馬村", "--discipline", "GS",         "--runs",
        "2",       "--date", "2027-01-10",   "--category", "一般",
        "--sex",   "男女"};
    // A dry run says what it would do and writes nothing.
    ASSERT_EQ(office(QStringList{create} << "--dry-run", out), 0) << out.toStdString();
    EXPECT_EQ(out, "would create N1\n");
    EXPECT_EQ(scalar("select count(*) from taikai"), "0");
    ASSERT_EQ(office(create, out), 0) << out.toStdString();
    ASSERT_EQ(office({"class", "--number", "2", "--name", "男子"}, out), 0) << out.toStdString();
    ASSERT_EQ(office({"class", "--number", "1", "--name", "女子"}, out), 0);
    EXPECT_EQ(rows("select tcode,tname,TPLACE,GAME,HON,tdate,TCLASS,SEX from taikai"),
              QStringList{"N1|第1回 白馬村民スキー大会|白馬村|GS|2|2027-01-10|一般|男女"});
    EXPECT_EQ(rows("select cname,ccode from cs_master order by ccode desc"),
              (QStringList{"男子|2", "女子|1"}));
    // A class renamed keeps its number, never two names for one number.
    ASSERT_EQ(office({"class", "--number", "1", "--name", "女子A"}, out), 0);
    EXPECT_EQ(rows("select cname,ccode from cs_master order by ccode desc"),
              (QStringList{"男子|2", "女子A|1"}));
    EXPECT_EQ(office({"class", "--number", "x", "--name", "男子"}, out), 2);
    // Edited: the title changes, nothing is duplicated.
    ASSERT_EQ(office({"create", "--code", "N1", "--title", "第1回 白馬村民大会", "--discipline",
                      "GS", "--date", "2027-01-10"},
                     out),
              0);
    EXPECT_EQ(out, "update N1\n");
    EXPECT_EQ(scalar("select count(*) from taikai"), "1");
    EXPECT_EQ(scalar("select tname from taikai"), "第1回 白馬村民大会");
    // Both are in the change history, the edit with the title before and after.
    EXPECT_EQ(rows("select source,what from change_history order by id"),
              (QStringList{"office|大会の作成", "office|大会の変更"}));
    EXPECT_TRUE(scalar("select before_text from change_history order by id desc limit 1")
                    .startsWith("第1回 白馬村民スキー大会 / 白馬村 / GS / 2本 / 2027-01-10"));
    // Wrong values are refused and write nothing.
    EXPECT_EQ(office({"create", "--code", "N2", "--title", "x", "--discipline", "XX", "--date",
                      "2027-01-10"},
                     out),
              2);
    EXPECT_TRUE(out.contains("GS SL SG DH AC")) << out.toStdString();
    EXPECT_EQ(scalar("select count(*) from taikai"), "1");

    // Race data: the competition's jury, run 1's course setter and start time.
    ASSERT_EQ(office({"racedata", "--code", "N1", "technical_delegate=山田　太郎",
                      "course=白馬ジャンプ競技場下", "homologation=12345/01/22"},
                     out),
              0)
        << out.toStdString();
    ASSERT_EQ(office({"racedata", "--code", "N1", "--run", "1", "course_setter=佐藤　一郎",
                      "start_time=10:00"},
                     out),
              0);
    EXPECT_EQ(out, "run,item,value\n0,course,白馬ジャンプ競技場下\n0,homologation,12345/01/22\n"
                   "0,technical_delegate,山田　太郎\n1,course_setter,佐藤　一郎\n"
                   "1,start_time,10:00\n");
    // An item nobody prints is refused (a typo), with nothing of the call written; an empty
    // value removes one.
    EXPECT_EQ(office({"racedata", "--code", "N1", "weather=晴れ", "wheather=晴れ"}, out), 2);
    EXPECT_EQ(scalar("select count(*) from race_data where item='weather'"), "0");
    ASSERT_EQ(office({"racedata", "--code", "N1", "homologation="}, out), 0);
    EXPECT_EQ(scalar("select count(*) from race_data"), "4");
    EXPECT_EQ(rows("select run,what,before_text,after_text from change_history where what like "
                   "'大会データ%' order by id desc limit 2"),
              (QStringList{"0|大会データ: homologation|12345/01/22|",
                           "1|大会データ: start_time||10:00"}));
}

} // namespace
} // namespace pistel::test
