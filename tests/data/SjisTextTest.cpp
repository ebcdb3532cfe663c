#include "data/SjisText.h"

#include "data/CheckoutDataSources.h"
#include "data/SqlValue.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pistel;

TEST(SjisText, JapaneseTextRoundTripsThroughShiftJis) {
    for (const char* s :
         {"大会A", "高橋", "ホテル", "ヘルメット", "表示", "ソ", "～", "ｶﾀｶﾅ", "ASCII 123"}) {
        const QString text = QString::fromUtf8(s);
        EXPECT_EQ(fromSjis(toSjis(text)), text) << s;
    }
}

TEST(SjisText, KnownByteForms) {
    // 表 and ソ carry 0x5C as their second byte; they must pass as exactly these bytes.
    EXPECT_EQ(toSjis(QString::fromUtf8("表")), QByteArray("\x95\x5c"));
    EXPECT_EQ(toSjis(QString::fromUtf8("ソ")), QByteArray("\x83\x5c"));
    EXPECT_EQ(toSjis(QString::fromUtf8("～")), QByteArray("\x81\x60"));
}

TEST(SjisText, WaveDashAndMinusSignTakeTheirCodePage932Forms) {
    EXPECT_EQ(toSjis(QString::fromUtf8("〜")), toSjis(QString::fromUtf8("～")));
    EXPECT_EQ(toSjis(QString::fromUtf8("−")), toSjis(QString::fromUtf8("－")));
}

TEST(SjisText, CharactersWithoutShiftJisFormBecomeQuestionMarks) {
    EXPECT_EQ(toSjis(QString::fromUtf8("a€b")), QByteArray("a?b"));
    EXPECT_EQ(toSjis(QString::fromUtf8("😀")), QByteArray("?"));
    EXPECT_EQ(toSjis(QString(QChar(0xFF))), QByteArray("?"));
}

// One bad character spoils only its own text: a noise byte from the timer (U+0083 as read
// from the line), an unencodable character, or a Shift-JIS lead byte cut off at the end, and
// every text after it converts as if it were the first.
TEST(SjisText, OneBadCharacterSpoilsOnlyItsOwnText) {
    const QString reason = QString::fromUtf8("ビブ 0048 はこの大会に登録されていません");
    for (const QString& bad :
         {QString::fromLatin1("V3G\x83"), QString::fromUtf8("①㈱€"), QString(QChar(0xFFFF))}) {
        EXPECT_EQ(fromSjis(toSjis(reason)), reason);
        EXPECT_TRUE(toSjis(bad).contains('?')) << bad.toStdString();
        EXPECT_EQ(fromSjis(toSjis(reason)), reason) << "after " << bad.toStdString();
        EXPECT_EQ(toSjis(QString::fromUtf8("表")), QByteArray("\x95\x5c"));
    }
    for (const QByteArray& bad :
         {QByteArray("V3G\x83"), QByteArray("\xff\xfe"), QByteArray("\x81")}) {
        fromSjis(bad);
        EXPECT_EQ(fromSjis(QByteArray("\x95\x5c")), QString::fromUtf8("表")) << bad.toHex().data();
        EXPECT_EQ(fromSjis(toSjis(reason)), reason);
    }
}

TEST(SqlValue, EscapesEverythingThatCouldEndTheLiteral) {
    EXPECT_EQ(sqlValue("plain"), "plain");
    EXPECT_EQ(sqlValue("it's"), "it''s");
    EXPECT_EQ(sqlValue("a\\b"), "a\\\\b");
    EXPECT_EQ(sqlValue(QString::fromLatin1("x\0y", 3)), "x\\0y");
    EXPECT_EQ(sqlValue("\\'"), "\\\\''");
    EXPECT_EQ(sqlValue(QString::fromUtf8("表")), QString::fromUtf8("表"));
}

// Run from a checkout, the programs find the private server's data sources by themselves; an
// ODBCINI already set wins, and a missing data source names what to run.
TEST(CheckoutDataSources, FoundFromTheProgramsFolder) {
    const QByteArray saved = qgetenv("ODBCINI"), savedSys = qgetenv("ODBCSYSINI");
    QTemporaryDir checkout;
    QDir(checkout.path()).mkpath("scripts");
    QDir(checkout.path()).mkpath("state/odbc");
    QDir(checkout.path()).mkpath("build/tools/results");
    QFile(checkout.filePath("scripts/db.sh")).open(QIODevice::WriteOnly);
    QFile(checkout.filePath("state/odbc/odbc.ini")).open(QIODevice::WriteOnly);
    const QString program = checkout.filePath("build/tools/results/pistel-results");
    qputenv("ODBCINI", "/somewhere/else.ini");
    EXPECT_EQ(useCheckoutDataSources(program), "");
    qunsetenv("ODBCINI");
    EXPECT_EQ(useCheckoutDataSources(program), checkout.filePath("state/odbc/odbc.ini"));
    EXPECT_EQ(qgetenv("ODBCSYSINI"), QFile::encodeName(checkout.filePath("state/odbc")));
    qunsetenv("ODBCINI");
    EXPECT_EQ(useCheckoutDataSources("/usr/bin/pistel-results"), "");
    EXPECT_TRUE(dataSourceHint("[IM002] [unixODBC][Driver Manager]Data source name not found")
                    .contains("scripts/db.sh env"));
    EXPECT_EQ(dataSourceHint("Access denied"), "");
    qputenv("ODBCINI", saved);
    qputenv("ODBCSYSINI", savedSys);
}
