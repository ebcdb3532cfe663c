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

TEST(SqlValue, EscapesEverythingThatCouldEndTheLiteral) {
    EXPECT_EQ(sqlValue("plain"), "plain");
    EXPECT_EQ(sqlValue("it's"), "it''s");
    EXPECT_EQ(sqlValue("a\\b"), "a\\\\b");
    EXPECT_EQ(sqlValue(QString::fromLatin1("x\0y", 3)), "x\\0y");
    EXPECT_EQ(sqlValue("\\'"), "\\\\''");
    EXPECT_EQ(sqlValue(QString::fromUtf8("表")), QString::fromUtf8("表"));
}
