// The run-2 start order from run 1's results, worked out by hand.
#include "office/Run2Order.h"

#include <gtest/gtest.h>

namespace pistel::test {
namespace {

// A class of nine after run 1 (hundredths):
//   bib 9 58.90 (1st), 3 59.80 (2nd), 1 60.00 (3rd), 2 and 4 61.50 (4th, tied),
//   5 62.00 (6th), 8 63.10 (7th); 6 did not finish (a status), 7 has no time.
const std::vector<Run1Standing> kClass{
    {"0001", 6000, false}, {"0002", 6150, false}, {"0003", 5980, false},
    {"0004", 6150, false}, {"0005", 6200, false}, {"0006", -1, true},
    {"0007", -1, false},   {"0008", 6310, false}, {"0009", 5890, false},
};

QStringList order(int reversed, bool lowerBibFirst = true, bool othersAfter = false) {
    return run2StartOrder(kClass, {reversed, lowerBibFirst, othersAfter});
}

TEST(Run2OrderTest, FirstNReversedThenTheRestByRank) {
    // The first 4 reversed: 4th place is tied (2 and 4), so both are reversed, five in all.
    // Reversed, the slowest first: 61.50 (2 then 4, the lower bib first), 60.00 (1), 59.80
    // (3), 58.90 (9); then the rest by rank: 5, 8. Neither 6 (DNF) nor 7 (no time) starts.
    EXPECT_EQ(order(4), (QStringList{"0002", "0004", "0001", "0003", "0009", "0005", "0008"}));
    // The other federation's rule for ties: the higher bib first, in both parts.
    EXPECT_EQ(order(4, false),
              (QStringList{"0004", "0002", "0001", "0003", "0009", "0005", "0008"}));
    // 3rd place is not tied: exactly three reversed.
    EXPECT_EQ(order(3), (QStringList{"0001", "0003", "0009", "0002", "0004", "0005", "0008"}));
    // 0: rank order (ties: the lower bib first); 30: all seven reversed.
    EXPECT_EQ(order(0), (QStringList{"0009", "0003", "0001", "0002", "0004", "0005", "0008"}));
    EXPECT_EQ(order(30), (QStringList{"0008", "0005", "0002", "0004", "0001", "0003", "0009"}));
    // A club race lets those without a run-1 time start last, in bib order.
    EXPECT_EQ(order(4, true, true), (QStringList{"0002", "0004", "0001", "0003", "0009", "0005",
                                                 "0008", "0006", "0007"}));
    EXPECT_TRUE(run2StartOrder({}, {}).isEmpty());
}

} // namespace
} // namespace pistel::test
