// The entries' points from a points list: the FIS list's CSV or a national list in Shift-JIS,
// the competition's discipline column found by name, each entry by its licence.
#include "OfficeProgram.h"
#include "support/DbTest.h"

#include <QFile>
#include <QStringEncoder>

namespace pistel::test {
namespace {

class PointsListTest : public DbTest {
protected:
    int office(const QStringList& args) { return runOffice(QStringList{args}, output); }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString output;
    QTemporaryDir dir;
};

TEST_F(PointsListTest, TheDisciplinesColumnByLicence) {
    ASSERT_EQ(office({"create", "--code", "P1", "--title", "ポイント大会", "--discipline", "GS",
                      "--date", "2027-02-01"}),
              0)
        << output.toStdString();
    ASSERT_EQ(office({"class", "--number", "1", "--name", "男子"}), 0);
    const QString entries = write("entries.csv", "name,class,licence\n"
                                                 "Taro,男子,102345\n"
                                                 "Jiro,男子,102346\n"
                                                 "Saburo,男子,\n"
                                                 "Shiro,男子,109999\n");
    ASSERT_EQ(office({"import", "--code", "P1", "--file", entries}), 0) << output.toStdString();

    // The FIS list: the GS column of each licence; 102346 has no GS points (an empty cell).
    const QString fis = write("fis.csv", "Listid,Competitorid,Fiscode,Lastname,Firstname,"
                                         "DHpoints,SLpoints,GSpoints,SGpoints,ACpoints\n"
                                         "345,1,102345,YAMADA,Taro,80.1,22.5,31.07,70,\n"
                                         "345,2,102346,SATO,Jiro,,15,,,\n"
                                         "345,3,200000,OTHER,One,1,1,1,1,1\n");
    ASSERT_EQ(office({"points", "--code", "P1", "--file", fis, "--dry-run"}), 0);
    EXPECT_EQ(output, "0001 102345: なし → 31.07\n"
                      "listed 1, would change 1, not in the list 2 (0002 0004)\n");
    EXPECT_EQ(scalar("select points from entry_detail where zek='0001'"), "");
    ASSERT_EQ(office({"points", "--code", "P1", "--file", fis}), 0);
    EXPECT_EQ(rows("select zek,points from entry_detail order by zek"),
              (QStringList{"0001|31.07", "0002|", "0003|", "0004|"}));
    EXPECT_EQ(scalar("select what from change_history where zek='0001' order by id desc limit 1"),
              "ポイントの変更 102345");
    // Again: nothing changes.
    ASSERT_EQ(office({"points", "--code", "P1", "--file", fis}), 0);
    EXPECT_TRUE(output.contains("changed 0")) << output.toStdString();

    // A national list in Shift-JIS with Japanese headers.
    QStringEncoder sjis("windows-31j");
    const QString national =
        write("national.csv", sjis.encode(QString("登録番号,氏名,SLポイント,GSポイント\r\n"
                                                  "102346,佐藤　次郎,10.00,44.5\r\n"
                                                  "109999,髙橋　四郎,,120\r\n")));
    ASSERT_EQ(office({"points", "--code", "P1", "--file", national}), 0) << output.toStdString();
    EXPECT_EQ(rows("select zek,points from entry_detail order by zek"),
              (QStringList{"0001|31.07", "0002|44.50", "0003|", "0004|120.00"}));

    // Refused, nothing written: no column for the discipline; a value that is not points.
    const QString slOnly = write("sl.csv", "Fiscode,SLpoints\n102345,1.00\n");
    EXPECT_EQ(office({"points", "--code", "P1", "--file", slOnly}), 1);
    EXPECT_TRUE(output.contains("line 1: 見出しの行に GS のポイントの列がありません"))
        << output.toStdString();
    const QString bad = write("bad.csv", "Fiscode,GSpoints\n102345,1.00\n102346,abc\n");
    EXPECT_EQ(office({"points", "--code", "P1", "--file", bad}), 1);
    EXPECT_TRUE(output.contains("line 3: ポイント「abc」は数として読めません"))
        << output.toStdString();
    EXPECT_EQ(scalar("select points from entry_detail where zek='0001'"), "31.07");
}

} // namespace
} // namespace pistel::test
