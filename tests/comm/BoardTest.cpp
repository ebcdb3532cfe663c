#include "Pty.h"
#include "board/BoardTestLines.h"
#include "comm/TCommX.h"

#include <gtest/gtest.h>

using namespace pistel;
using pistel::test::Pty;

namespace {
// The lines as the board's documentation lists them, copied byte for byte (without CR).
const char* const kOneToZero[] = {
    "012     12:34:56.78 90",  "L012     12:34:56.78 90", "U012     12:34:56.78 90",
    "V012     12:34:56.78 90", "W012     12:34:56.78 90",
};
const char* const kAllOneToZero[] = {
    "000       :00:00.00   ",  "A111       :11:11.11   ", "B222       :22:22.22   ",
    "C333     33:33:33.33 90", "D444       :44:44.44 90", "E555       :55:55.55 90",
    "F666       :66:66.66 90", "G777       :77:77.77 90", "H888       :88:88.88 90",
    "I999       :99:99.99 90", "J010       :10:10.10 10", "K011       :11:11.11 11",
    "M013       :12:12.12 12", "N014       :13:13.13 13", "O015       :14:14.14 14",
    "P016       :15:15.15 15", "Q017       :16:16.16 16", "R018       :17:17.17 17",
    "S019       :18:18.18 18", "T020       :19:19.19 19", "UBib       :1s:t .     ",
    "V PL       :2N:D .     ", "W PL       :to:tA.L    ", "X024       :23:23.23 23",
};

template <size_t N> QList<QByteArray> withCr(const char* const (&lines)[N]) {
    QList<QByteArray> out;
    for (const char* l : lines)
        out << QByteArray(l) + '\r';
    return out;
}
} // namespace

TEST(BoardLines, EveryLineIsTheDocumentedBytes) {
    EXPECT_EQ(allNullLines(), QList<QByteArray>{"L        99         9  \r"});
    EXPECT_EQ(allEightLines(), QList<QByteArray>{"L888     88:88:88.88 88\r"});
    EXPECT_EQ(oneToZeroLines(), withCr(kOneToZero));
    EXPECT_EQ(allOneToZeroLines(), withCr(kAllOneToZero));
    // The documented sizes: 119 and 575 bytes.
    EXPECT_EQ(withCr(kOneToZero).join().size(), 119);
    EXPECT_EQ(withCr(kAllOneToZero).join().size(), 575);
}

TEST(BoardLines, ButtonsPutTheExactBytesOnTheWire) {
    Pty pty;
    TCommX board([&](int) { return pty.path(); });
    board.setBitRate(2400);
    BoardTests tests(board);
    tests.sendAllNull(); // closed: nothing sent, nothing raised
    board.Open();
    EXPECT_EQ(pty.receive(100), "");
    tests.sendAllNull();
    const QByteArray null = pty.receive(200, 24);
    EXPECT_EQ(null, "L        99         9  \r");
    EXPECT_EQ(null.back(), '\r');
    tests.sendAllEight();
    EXPECT_EQ(pty.receive(200, 24), "L888     88:88:88.88 88\r");
    tests.sendOneToZero();
    EXPECT_EQ(pty.receive(200, 119), withCr(kOneToZero).join());
    tests.sendAllOneToZero();
    EXPECT_EQ(pty.receive(200, 575), withCr(kAllOneToZero).join());
}
