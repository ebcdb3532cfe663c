#include "BoardTestLines.h"

#include "comm/TCommX.h"

namespace pistel {
namespace {
QList<QByteArray> withCr(std::initializer_list<const char*> lines) {
    QList<QByteArray> out;
    for (const char* l : lines)
        out << QByteArray(l) + '\r';
    return out;
}
} // namespace

QList<QByteArray> allNullLines() {
    return withCr({"L        99         9  "});
}

QList<QByteArray> allEightLines() {
    return withCr({"L888     88:88:88.88 88"});
}

QList<QByteArray> oneToZeroLines() {
    return withCr({"012     12:34:56.78 90", "L012     12:34:56.78 90", "U012     12:34:56.78 90",
                   "V012     12:34:56.78 90", "W012     12:34:56.78 90"});
}

QList<QByteArray> allOneToZeroLines() {
    return withCr({
        "000       :00:00.00   ",  "A111       :11:11.11   ", "B222       :22:22.22   ",
        "C333     33:33:33.33 90", "D444       :44:44.44 90", "E555       :55:55.55 90",
        "F666       :66:66.66 90", "G777       :77:77.77 90", "H888       :88:88.88 90",
        "I999       :99:99.99 90", "J010       :10:10.10 10", "K011       :11:11.11 11",
        "M013       :12:12.12 12", "N014       :13:13.13 13", "O015       :14:14.14 14",
        "P016       :15:15.15 15", "Q017       :16:16.16 16", "R018       :17:17.17 17",
        "S019       :18:18.18 18", "T020       :19:19.19 19", "UBib       :1s:t .     ",
        "V PL       :2N:D .     ", "W PL       :to:tA.L    ", "X024       :23:23.23 23",
    });
}

void BoardTests::send(const QList<QByteArray>& lines) {
    for (const QByteArray& line : lines)
        board_.WriteText(line); // a closed port returns false; nothing to report
}

} // namespace pistel
