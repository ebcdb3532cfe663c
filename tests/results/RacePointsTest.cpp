// Race points and the penalty by the alpine rule, worked out by hand in hundredths.
#include "results/RacePoints.h"

#include <gtest/gtest.h>

namespace pistel::test {
namespace {

TEST(RacePointsTest, FormulaAndRounding) {
    const DisciplineValues gs = *disciplineValues("GS");
    EXPECT_EQ(gs.factor, 1010);
    EXPECT_EQ(gs.maximum, 22000);
    EXPECT_EQ(disciplineValues("SL")->factor, 730);
    EXPECT_EQ(disciplineValues("DH")->maximum, 33000);
    EXPECT_FALSE(disciplineValues("XX"));
    // Winner 60.00 s: 61.50 s gives 1010 × 6150 / 6000 − 1010 = 25.25.
    EXPECT_EQ(racePoints(1010, 6000, 6150), 2525);
    // 62.37 s: 1010 × 237 / 6000 = 39.895, rounded from 0.005 up: 39.90.
    EXPECT_EQ(racePoints(1010, 6000, 6237), 3990);
    // 62.36 s: 1010 × 236 / 6000 = 39.7266…: 39.73. The winner: 0.
    EXPECT_EQ(racePoints(1010, 6000, 6236), 3973);
    EXPECT_EQ(racePoints(1010, 6000, 6000), 0);
    // 1 % slower in GS: 60.60 s against 60.00 s, 1010 × 0.01 = 10.10; in SL 7.30.
    EXPECT_EQ(racePoints(1010, 6000, 6060), 1010);
    EXPECT_EQ(racePoints(730, 6000, 6060), 730);
}

TEST(RacePointsTest, PenaltyByTheRule) {
    // GS, maximum 220.00. Classified (rank, points, race points):
    //   1 12.00 0.00 | 2 45.50 25.25 | 3 none 39.90 | 4 30.00 50.00 | 5 250.00 60.00 |
    //   6 18.00 70.00; a DNF with 8.00; a DNS of run 1 with 1.00 (never counted).
    // A: 12.00 + 18.00 + 30.00 + 45.50 and, of the two at 220.00 (none; 250.00 above the
    //    maximum), the one with the higher race points (60.00): 325.50.
    // C: their race points 0.00 + 70.00 + 50.00 + 25.25 + 60.00 = 205.25.
    // B: the starters' five best: 8.00 + 12.00 + 18.00 + 30.00 + 45.50 = 113.50.
    // Penalty (325.50 + 113.50 − 205.25) ÷ 10 = 23.375: 23.38.
    std::vector<PenaltyEntry> race{
        {1200, 1, 0},     {4550, 2, 2525}, {-1, 3, 3990},     {3000, 4, 5000},
        {25000, 5, 6000}, {1800, 6, 7000}, {800, 0, 0, true}, {100, 0, 0, false},
    };
    const Penalty p = penalty(race, 22000);
    EXPECT_EQ(p.a, 32550);
    EXPECT_EQ(p.c, 20525);
    EXPECT_EQ(p.b, 11350);
    EXPECT_EQ(p.value, 2338);
    // A category's minimum penalty.
    EXPECT_EQ(penalty(race, 22000, 2500).value, 2500);

    // Fewer than five: classified 10.00 (0.00), 20.00 (15.00), none (300.00, above the
    // maximum); a DNF 5.00. A = 10 + 20 + 220 + 2 × 220 = 690.00; C = 0 + 15 + 220 + 2 × 220
    // = 675.00; B = 5 + 10 + 20 + 220 + 220 = 475.00; (690 + 475 − 675) ÷ 10 = 49.00.
    const Penalty few =
        penalty({{1000, 1, 0}, {2000, 2, 1500}, {-1, 3, 30000}, {500, 0, 0}}, 22000);
    EXPECT_EQ(few.a, 69000);
    EXPECT_EQ(few.c, 67500);
    EXPECT_EQ(few.b, 47500);
    EXPECT_EQ(few.value, 4900);

    // Ties on 10th place all count as tenth: eleven classified, 10th shared by two; the one
    // at rank 12 never counts even with the best points.
    std::vector<PenaltyEntry> ties;
    for (int i = 1; i <= 9; ++i)
        ties.push_back({10000 + i * 100, i, i * 100});
    ties.push_back({500, 10, 1000});
    ties.push_back({600, 10, 1100});
    ties.push_back({1, 12, 1200});
    // A: 5.00 + 6.00 + 101.00 + 102.00 + 103.00 = 317.00; C: 10.00 + 11.00 + 1.00 + 2.00 +
    // 3.00 = 27.00; B: 0.01 + 5.00 + 6.00 + 101.00 + 102.00 = 214.01;
    // (317.00 + 214.01 − 27.00) ÷ 10 = 50.401: 50.40.
    const Penalty tied = penalty(ties, 22000);
    EXPECT_EQ(tied.a, 31700);
    EXPECT_EQ(tied.c, 2700);
    EXPECT_EQ(tied.b, 21401);
    EXPECT_EQ(tied.value, 5040);

    // The five best points all in the top ten, and three of the top ten without points.
    // Classified (points, race points): 1 none 0.00 | 2 10.00 5.00 | 3 none 8.00 |
    // 4 20.00 12.00 | 5 none 15.00 | 6 30.00 20.00 | 7 40.00 25.00 | 8 50.00 30.00;
    // a DNF 60.00.
    // A: 10 + 20 + 30 + 40 + 50 = 150.00 (those without points count 220.00: not among the
    //    five best); C: 5 + 12 + 20 + 25 + 30 = 92.00; B: the same five: 150.00.
    //    (150 + 150 − 92) ÷ 10 = 20.80.
    const Penalty none = penalty({{-1, 1, 0},
                                  {1000, 2, 500},
                                  {-1, 3, 800},
                                  {2000, 4, 1200},
                                  {-1, 5, 1500},
                                  {3000, 6, 2000},
                                  {4000, 7, 2500},
                                  {5000, 8, 3000},
                                  {6000, 0, 0}},
                                 22000);
    EXPECT_EQ(none.a, 15000);
    EXPECT_EQ(none.c, 9200);
    EXPECT_EQ(none.b, 15000);
    EXPECT_EQ(none.value, 2080);
    // Five classified, only two with points (10.00, 20.00): the three without count 220.00
    // each. A = 10 + 20 + 3 × 220 = 690.00; C, the race points of all five: 0 + 5 + 8 + 12 +
    // 15 = 40.00; B (with the DNF 60.00): 10 + 20 + 60 + 220 + 220 = 530.00;
    // (690 + 530 − 40) ÷ 10 = 118.00.
    const Penalty two = penalty({{-1, 1, 0},
                                 {1000, 2, 500},
                                 {-1, 3, 800},
                                 {2000, 4, 1200},
                                 {-1, 5, 1500},
                                 {6000, 0, 0}},
                                22000);
    EXPECT_EQ(two.a, 69000);
    EXPECT_EQ(two.c, 4000);
    EXPECT_EQ(two.b, 53000);
    EXPECT_EQ(two.value, 11800);
}

} // namespace
} // namespace pistel::test
