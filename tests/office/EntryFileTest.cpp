// Entry files as clubs keep them: exported from a spreadsheet in Shift-JIS or UTF-8, with a
// header row in Japanese or English, read without writing anything.
#include "office/EntryFile.h"

#include <QStringEncoder>
#include <gtest/gtest.h>

namespace pistel::test {
namespace {

QByteArray cp932(const QString& text) {
    QStringEncoder encoder("windows-31j");
    return encoder.encode(text);
}

QStringList problems(const EntryFile& f) {
    QStringList out;
    for (const EntryProblem& p : f.problems)
        out << QString::number(p.line) + ": " + p.text;
    return out;
}

const QStringList kClasses{"男子シニア", "女子シニア"};

TEST(EntryFileTest, ShiftJisTabsAndUtf8CsvWithQuotesReadAlike) {
    // A Windows spreadsheet's TSV in CP932 (髙 and ① are CP932 only), English headers in
    // another order, CRLF line ends.
    const QByteArray tsv = cp932("Name\tBib\tClub\tClass\tBirth Year\tFIS code\r\n"
                                 "髙橋　健太\t1\t白馬ＳＣ①\t男子シニア\t1990\t12345\r\n"
                                 "佐藤　花子\t2\t野沢温泉ＳＣ\t女子シニア\t1995\t\r\n");
    const EntryFile a = readEntryFile(tsv, kClasses);
    EXPECT_EQ(a.encoding, "CP932");
    EXPECT_TRUE(a.problems.isEmpty()) << problems(a).join('\n').toStdString();
    ASSERT_EQ(a.entries.size(), 2);
    EXPECT_EQ(a.entries[0].name, "髙橋　健太");
    EXPECT_EQ(a.entries[0].team, "白馬ＳＣ①");
    EXPECT_EQ(a.entries[0].licence, "12345");
    EXPECT_EQ(a.entries[1].line, 3);

    // The same as CSV in UTF-8 with a BOM and Japanese headers; a quoted club with a comma.
    const QByteArray csv = "\xEF\xBB\xBF"
                           "ゼッケン,氏名,よみ,所属,クラス,生年\n"
                           "1,髙橋　健太,たかはし けんた,\"白馬ＳＣ, ジュニア\",男子シニア,1990\n";
    const EntryFile b = readEntryFile(csv, kClasses);
    EXPECT_EQ(b.encoding, "UTF-8 (BOM)");
    ASSERT_EQ(b.entries.size(), 1);
    EXPECT_EQ(b.entries[0].team, "白馬ＳＣ, ジュニア");
    EXPECT_EQ(b.entries[0].kana, "たかはし けんた");
    EXPECT_EQ(readEntryFile(QByteArray(csv).mid(3), kClasses).encoding, "UTF-8");
}

TEST(EntryFileTest, EveryProblemIsListedByItsLine) {
    // A Shift-JIS file whose last line has two bytes CP932 does not define.
    const QByteArray csv = cp932("bib,name,class,birth year,points\n"
                                 "1,山田　太郎,男子シニア,1990,\n"
                                 "0001,鈴木　一郎,男子シニア,199O,\n" // bib 1 again; a letter O
                                 "2,,女子シニア,,\n"                  // no name
                                 "3,田中　蓮,男子ジュニア,2010,\n"    // a class it lacks
                                 "4,") +
                           QByteArray("\xff\xff") +
                           cp932(",男子シニア,2001,\n"
                                 "5a,佐藤　花,女子シニア,2002,12.5\n"  // a bib that is no number
                                 "6,伊藤　空,女子シニア,2003,１２\n"); // full-width points
    const EntryFile f = readEntryFile(csv, kClasses);
    EXPECT_EQ(f.encoding, "CP932");
    const QStringList got = problems(f);
    for (const char* want :
         {"3: ビブ 0001 は 2 行目と重なっています", "3: 生年「199O」は年として読めません",
          "4: 氏名がありません", "5: クラス「男子ジュニア」は大会にありません",
          "6: 文字として読めないバイトがあります",
          "7: ビブ「5a」は 1 から 9999 の番号ではありません",
          "8: ポイント「１２」は数として読めません"})
        EXPECT_TRUE(got.contains(QString::fromUtf8(want))) << want << "\n"
                                                           << got.join('\n').toStdString();
    EXPECT_EQ(got.size(), 7) << got.join('\n').toStdString(); // one message a problem
    // Without a name column nothing is read.
    const EntryFile none = readEntryFile("bib,club\n1,x\n", {});
    EXPECT_TRUE(none.entries.isEmpty());
    EXPECT_EQ(problems(none), QStringList{"1: 見出しの行に氏名（name）の列がありません"});
}

} // namespace
} // namespace pistel::test
