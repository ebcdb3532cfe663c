// A club's entry file into a competition: all or nothing, again and again without a
// duplicate, names as the club typed them.
#include "office/EntryImport.h"

#include "OfficeProgram.h"
#include "capture/HistoryRevert.h"
#include "data/DbError.h"
#include "support/DbTest.h"

#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <stdexcept>

namespace pistel::test {
namespace {

QByteArray cp932(const QString& text) {
    QStringEncoder encoder("windows-31j");
    return encoder.encode(text);
}

class EntryImportTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        addCompetition("E1");
        exec("insert into cs_master (cname,ccode) values ('男子シニア','2'),('女子シニア','1')");
        classes = readClassNumbers(dm.Db1);
    }
    EntryFile read(const QString& text) { return readEntryFile(cp932(text), classes.keys()); }
    QStringList competitors() {
        return rows("select r.zek,r.name,r.team,r.class1,r.st1,d.birth_year,d.licence from result "
                    "r left join entry_detail d on d.tcode=r.tcode and d.zek=r.zek where "
                    "r.tcode='E1' order by r.zek");
    }
    QHash<QString, int> classes;
};

TEST_F(EntryImportTest, ImportAgainUpdatesAndNeverDuplicates) {
    // A Windows spreadsheet's file: names with characters only Windows' Shift-JIS has.
    const EntryFile first = read("ビブ,氏名,所属,クラス,生年,登録番号\r\n"
                                 "1,髙橋　健太,白馬ＳＣ①,男子シニア,1990,12345\r\n"
                                 "2,山﨑　花子,㈱野沢スキー,女子シニア,1995,\r\n"
                                 "3,佐藤　一郎,白馬ＳＣ①,男子シニア,1988,\r\n");
    ASSERT_TRUE(first.problems.isEmpty());
    const ImportCount a = importEntries(dm.Db1, "E1", first, classes);
    EXPECT_EQ(a.added, 3);
    EXPECT_EQ(a.updated, 0);
    // Start positions follow the file within each class; every character reads back.
    EXPECT_EQ(competitors(), (QStringList{"0001|髙橋　健太|白馬ＳＣ①|2|1|1990|12345",
                                          "0002|山﨑　花子|㈱野沢スキー|1|1|1995|",
                                          "0003|佐藤　一郎|白馬ＳＣ①|2|2|1988|"}));
    // Each competitor added is in the change history; the same file again changes nothing,
    // not even the history.
    EXPECT_EQ(rows("select zek,source,what from change_history order by zek"),
              (QStringList{"0001|office|エントリーの追加", "0002|office|エントリーの追加",
                           "0003|office|エントリーの追加"}));
    const ImportCount again = importEntries(dm.Db1, "E1", first, classes);
    EXPECT_EQ(again.unchanged, 3);
    EXPECT_EQ(again.added + again.updated, 0);
    EXPECT_EQ(scalar("select count(*) from change_history"), "3");
    // An office entry is never reverted from the history (it holds no times to put back).
    {
        const QStringList was = competitors();
        const QString id = scalar("select min(id) from change_history");
        EXPECT_THROW(HistoryRevert(dm.Db1, "E1", nullptr).revert(id.toLongLong()),
                     std::runtime_error);
        EXPECT_EQ(competitors(), was);
    }

    // The start list prints them and its CSV carries them (the document's text read back).
    for (const char* format : {"csv", "pdf"}) {
        const QString text = documentText("E1", "startlist1", format);
        for (const char* typed : {"髙橋", "山﨑", "白馬ＳＣ①", "㈱野沢スキー"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(typed))) << format << ": " << typed;
    }

    // The club's corrected file: Takahashi (known by licence) moved club, Yamazaki (known by
    // name and club) gets a licence, and a late entry comes without a bib.
    const EntryFile second = read("氏名,所属,クラス,生年,登録番号\r\n"
                                  "髙橋　健太,八方ＳＣ,男子シニア,1990,12345\r\n"
                                  "山﨑　花子,㈱野沢スキー,女子シニア,1995,67890\r\n"
                                  "鈴木　次郎,八方ＳＣ,男子シニア,2001,\r\n");
    ASSERT_TRUE(second.problems.isEmpty());
    const ImportCount b = importEntries(dm.Db1, "E1", second, classes);
    EXPECT_EQ(b.added, 1);
    EXPECT_EQ(b.updated, 2);
    // The late entry: the next free bib (3 + 1) and the next start position of its class.
    EXPECT_EQ(competitors(), (QStringList{"0001|髙橋　健太|八方ＳＣ|2|1|1990|12345",
                                          "0002|山﨑　花子|㈱野沢スキー|1|1|1995|67890",
                                          "0003|佐藤　一郎|白馬ＳＣ①|2|2|1988|",
                                          "0004|鈴木　次郎|八方ＳＣ|2|3|2001|"}));
    EXPECT_EQ(scalar("select before_text from change_history where zek='0001' and "
                     "what='エントリーの変更'"),
              "0001 髙橋　健太 / 白馬ＳＣ① / クラス 2 / 1990 / 12345");

    // All or nothing: a file with a problem writes nothing, nor does one the server refuses
    // halfway (a club name longer than the column), nor one that gives a held bib to another.
    const QStringList before = competitors();
    const EntryFile unknownClass = read("氏名,クラス\r\n田中　三郎,ジュニア\r\n");
    EXPECT_FALSE(unknownClass.problems.isEmpty());
    EXPECT_THROW(importEntries(dm.Db1, "E1", unknownClass, classes), std::invalid_argument);
    const EntryFile tooLong = read("氏名,所属,クラス\r\n田中　三郎,八方ＳＣ,男子シニア\r\n"
                                   "高田　四郎," +
                                   QString(70, QChar(u'長')) + ",男子シニア\r\n");
    ASSERT_TRUE(tooLong.problems.isEmpty());
    EXPECT_THROW(importEntries(dm.Db1, "E1", tooLong, classes), DbError);
    const EntryFile heldBib = read("ビブ,氏名,クラス\r\n1,田中　三郎,男子シニア\r\n");
    EXPECT_THROW(importEntries(dm.Db1, "E1", heldBib, classes), std::invalid_argument);
    EXPECT_EQ(competitors(), before);

    // The command line: a check lists the problems by line and writes nothing; an import of a
    // clean file says what it did.
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.csv"), good = dir.filePath("good.csv");
    for (const auto& [path, text] :
         {std::pair{bad, QString("氏名,クラス,生年\r\n田中　三郎,ジュニア,19x0\r\n")},
          std::pair{good, QString("氏名,クラス\r\n田中　三郎,男子シニア\r\n")}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(cp932(text));
    }
    const auto run = runOffice;
    QString output;
    EXPECT_EQ(run({"import", "--code", "E1", "--file", bad}, output), 1);
    EXPECT_TRUE(output.contains("line 2:")) << output.toStdString();
    EXPECT_TRUE(output.contains("nothing written")) << output.toStdString();
    EXPECT_EQ(competitors(), before);
    EXPECT_EQ(run({"import", "--code", "E1", "--file", good}, output), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("added 1, updated 0")) << output.toStdString();
    EXPECT_EQ(competitors().last(), "0005|田中　三郎||2|4||");

    // One entry by hand: a dry run writes nothing; a new bib adds (the class by its number),
    // the same bib edits; a class the list lacks is refused with the file's message.
    const auto entry = [&](const QStringList& args) {
        return run(QStringList{"entry", "--code", "E1"} << args, output);
    };
    EXPECT_EQ(entry({"--bib", "21", "--name", "伊藤　空", "--class", "1", "--dry-run"}), 0);
    EXPECT_EQ(output,
              "追加 0021 伊藤　空 /  / クラス 1\nwould add 1, would update 0, unchanged 0\n");
    EXPECT_EQ(competitors().size(), 5);
    EXPECT_EQ(entry({"--bib", "21", "--name", "伊藤　空", "--class", "1"}), 0)
        << output.toStdString();
    EXPECT_EQ(entry({"--bib", "21", "--name", "伊藤　空", "--class", "女子シニア", "--team",
                     "白馬ＳＣ①", "--birth-year", "2003"}),
              0);
    EXPECT_TRUE(output.contains("updated 1")) << output.toStdString();
    EXPECT_EQ(competitors().last(), "0021|伊藤　空|白馬ＳＣ①|1|2|2003|");
    EXPECT_EQ(entry({"--bib", "22", "--name", "x", "--class", "ジュニア"}), 1);
    EXPECT_TRUE(output.contains("クラス「ジュニア」は大会にありません")) << output.toStdString();
}

} // namespace
} // namespace pistel::test
