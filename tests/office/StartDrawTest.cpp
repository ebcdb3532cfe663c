// The run-1 draw: repeatable from its seed on any machine, and seeded by points as the
// federations' lists rank them (the lowest points are the best).
#include "office/StartDraw.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace pistel::test {
namespace {

// Points: 0002 and 0004 3.00 (the best, tied), 0001 10.50, 0007 12.00, 0003 25.00,
// 0006 40.00; 0005 and 0008 have none.
const std::vector<DrawEntry> kClass{
    {"0001", 10.5}, {"0002", 3.0},  {"0003", 25.0}, {"0004", 3.0},
    {"0005", -1},   {"0006", 40.0}, {"0007", 12.0}, {"0008", -1},
};

QStringList sorted(QStringList bibs) {
    bibs.sort();
    return bibs;
}

TEST(StartDrawTest, GivenRandomAndSeededByPoints) {
    // As given: by bib, whatever order the entries came in.
    std::vector<DrawEntry> reversed(kClass.rbegin(), kClass.rend());
    EXPECT_EQ(drawStartOrder(reversed, DrawMethod::Given, 1),
              (QStringList{"0001", "0002", "0003", "0004", "0005", "0006", "0007", "0008"}));

    // Drawn: every competitor once; the same seed gives the same order, whatever order the
    // entries came in; other seeds give other orders.
    const QStringList drawn = drawStartOrder(kClass, DrawMethod::Random, 20261210);
    EXPECT_EQ(sorted(drawn), drawStartOrder(kClass, DrawMethod::Given, 0));
    EXPECT_EQ(drawStartOrder(reversed, DrawMethod::Random, 20261210), drawn);
    int different = 0;
    for (std::uint64_t seed = 1; seed <= 5; ++seed)
        different += drawStartOrder(kClass, DrawMethod::Random, seed) != drawn;
    EXPECT_GE(different, 4);

    // Seeded, the best 3: 0002, 0004 (3.00) and 0001 (10.50) drawn for places 1-3; then by
    // points 0007, 0003, 0006; then those without points (0005, 0008) drawn.
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        const QStringList s = drawStartOrder(kClass, DrawMethod::Seeded, seed, 3);
        ASSERT_EQ(s.size(), 8);
        EXPECT_EQ(sorted(s.mid(0, 3)), (QStringList{"0001", "0002", "0004"}));
        EXPECT_EQ(s.mid(3, 3), (QStringList{"0007", "0003", "0006"}));
        EXPECT_EQ(sorted(s.mid(6)), (QStringList{"0005", "0008"}));
    }
    // The best 1: 0002 and 0004 are tied on 3.00, so both are drawn for places 1-2.
    const QStringList one = drawStartOrder(kClass, DrawMethod::Seeded, 7, 1);
    EXPECT_EQ(sorted(one.mid(0, 2)), (QStringList{"0002", "0004"}));
    EXPECT_EQ(one.mid(2, 4), (QStringList{"0001", "0007", "0003", "0006"}));
}

} // namespace
} // namespace pistel::test
