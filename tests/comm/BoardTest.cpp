#include "Pty.h"
#include "board/BoardTestLines.h"
#include "comm/TCommX.h"

#include <gtest/gtest.h>

using namespace pistel;
using pistel::test::Pty;

namespace {
qsizetype total(const QList<QByteArray>& lines) {
    qsizetype n = 0;
    for (const auto& l : lines)
        n += l.size();
    return n;
}
} // namespace

TEST(BoardLines, LengthsAndLetters) {
    EXPECT_EQ(allNullLines(), QList<QByteArray>{"L        99         9  \r"});
    EXPECT_EQ(allNullLines().first().size(), 24);
    EXPECT_EQ(allEightLines(), QList<QByteArray>{"L888     88:88:88.88 88\r"});
    EXPECT_EQ(oneToZeroLines().size(), 5);
    EXPECT_EQ(total(oneToZeroLines()), 119);
    EXPECT_EQ(oneToZeroLines().first(), "012     12:34:56.78 90\r");
    const QList<QByteArray> all = allOneToZeroLines();
    EXPECT_EQ(all.size(), 24);
    EXPECT_EQ(total(all), 575);
    QByteArray letters;
    for (const QByteArray& l : all.mid(1)) {
        EXPECT_EQ(l.size(), 24) << l.constData();
        EXPECT_TRUE(l.endsWith('\r'));
        letters += l[0];
    }
    EXPECT_EQ(letters, "ABCDEFGHIJKMNOPQRSTUVWX");
    EXPECT_EQ(all[20], "UBib       :1s:t .     \r");
    EXPECT_EQ(all[21], "V PL       :2N:D .     \r");
    EXPECT_EQ(all[22], "W PL       :to:tA.L    \r");
}

TEST(BoardLines, ButtonsPutTheExactBytesOnTheWire) {
    Pty pty;
    TCommX board([&](int) { return pty.path(); });
    board.setBitRate(2400);
    BoardTests tests(board);
    tests.CuteButton28Click(); // closed: nothing sent, nothing raised
    board.Open();
    EXPECT_EQ(pty.receive(100), "");
    tests.CuteButton28Click();
    const QByteArray null = pty.receive(200, 24);
    EXPECT_EQ(null, "L        99         9  \r");
    EXPECT_EQ(null.back(), '\r');
    tests.CuteButton29Click();
    EXPECT_EQ(pty.receive(200, 24), "L888     88:88:88.88 88\r");
    tests.CuteButton58Click();
    EXPECT_EQ(pty.receive(200, 119), oneToZeroLines().join());
    tests.CuteButton61Click();
    EXPECT_EQ(pty.receive(200, 575), allOneToZeroLines().join());
}
