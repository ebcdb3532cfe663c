#include "data/SjisText.h"

#include "data/SqlValue.h"

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
