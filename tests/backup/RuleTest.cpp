// The replacement rule and the matching of hand times, on data of our own.
#include "backup/HandTimes.h"
#include "backup/Matching.h"
#include "backup/ReplacementRule.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace pistel::test {
namespace {

constexpr TimeUnits s(double seconds) {
    return static_cast<TimeUnits>(seconds * 10000 + (seconds < 0 ? -0.5 : 0.5));
}
const TimeUnits kTen = 10LL * 3600 * 10000; // 10:00:00

// `n` competitors starting a minute apart; A - backup differences of `diff(i)` ten-thousandths.
std::vector<RuleEntry> field(int n, TimeUnits (*diff)(int)) {
    std::vector<RuleEntry> e;
    for (int i = 0; i < n; ++i) {
        const TimeUnits a = kTen + i * 600000;
        e.push_back({QString::asprintf("%04d", i + 1), a, a - diff(i), false});
    }
    return e;
}

QStringList bibs(const Replacement& r) {
    QStringList out;
    for (const Reference& ref : r.references)
        out << ref.zek;
    return out;
}

TEST(ReplacementRuleTest, TenReferencesBeforeFilledFromAfterNeverForerunners) {
    // Differences 0.01 .. 0.20 s; number 16 missed its A time.
    auto entries = field(20, [](int i) { return TimeUnits(100 * (i + 1)); });
    entries[15].a.reset();
    auto r = replacementFor(entries, 15);
    ASSERT_TRUE(r);
    EXPECT_EQ(bibs(*r), (QStringList{"0015", "0014", "0013", "0012", "0011", "0010", "0009", "0008",
                                     "0007", "0006"}));
    // Mean of 0.06 .. 0.15 = 0.105 -> 0.11 (half up).
    EXPECT_EQ(r->correction, s(0.11));
    EXPECT_EQ(r->time, *entries[15].backup + s(0.11));

    // The third starter: two before, eight after; a forerunner (0005) and one without a
    // backup time (0006) are skipped, so the 10 reach 0013.
    entries[4].forerunner = true;
    entries[5].backup.reset();
    entries[2].a.reset();
    r = replacementFor(entries, 2);
    ASSERT_TRUE(r);
    EXPECT_EQ(bibs(*r), (QStringList{"0002", "0001", "0004", "0007", "0008", "0009", "0010", "0011",
                                     "0012", "0013"}));
    // Nobody to refer to: no replacement; no backup time: none either.
    EXPECT_FALSE(replacementFor({{"0001", std::nullopt, kTen, false}}, 0));
    entries[2].backup.reset();
    EXPECT_FALSE(replacementFor(entries, 2));
}

TEST(ReplacementRuleTest, HalfUpAtExactlyFiveThousandthsAcrossASecondAndMidnight) {
    // Sum of differences 0.0500 s over 10: mean 0.0050 -> 0.01; -0.0050 -> 0.00; -0.0051 -> -0.01.
    EXPECT_EQ(meanToHundredths(500, 10), s(0.01));
    EXPECT_EQ(meanToHundredths(499, 10), 0);
    EXPECT_EQ(meanToHundredths(-500, 10), 0);
    EXPECT_EQ(meanToHundredths(-510, 10), s(-0.01));
    EXPECT_EQ(meanToHundredths(1234567, 10), s(12.35));

    // Every reference's A is 0.03 s after its backup: the replacement crosses a second.
    auto entries = field(11, [](int) { return s(0.03); });
    entries[10].a.reset();
    entries[10].backup = kTen + 10 * 600000 - s(0.01); // 10:09:59.99
    auto r = replacementFor(entries, 10);
    ASSERT_TRUE(r);
    EXPECT_EQ(timeOfDayText(r->time), "10:10:00.0200");

    // Across midnight, both ways.
    entries[10].backup = 24LL * 3600 * 10000 - s(0.01); // 23:59:59.99
    r = replacementFor(entries, 10);
    EXPECT_EQ(timeOfDayText(r->time), "00:00:00.0200");
    auto late = field(11, [](int) { return s(-0.05); });
    late[0].a.reset();
    late[0].backup = s(0.02); // 00:00:00.02, 0.05 s back
    r = replacementFor(late, 0);
    EXPECT_EQ(timeOfDayText(r->time), "23:59:59.9700");
}

TEST(HandTimesTest, FilesWithAndWithoutBibsAndTheLineOfAnError) {
    std::vector<HandTime> t;
    QString error;
    ASSERT_TRUE(parseHandTimes("10:00:01,23\r\n\n0012 10:00:02.5\n12;10:00:03,45\n7,10:00:04.12\n"
                                "8\t10:00:05.1234\n",
                                t, &error));
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(timeOfDayText(t[0].time), "10:00:01.2300");
    EXPECT_EQ(t[0].bib, "");
    EXPECT_EQ(t[1].bib, "0012");
    EXPECT_EQ(timeOfDayText(t[1].time), "10:00:02.5000");
    EXPECT_EQ(t[2].line, 4);
    EXPECT_EQ(t[3].bib, "0007");
    EXPECT_EQ(t[4].bib, "0008");
    EXPECT_FALSE(parseHandTimes("10:00:01,23\n10:61:00,00\n", t, &error));
    EXPECT_TRUE(error.startsWith("2 行目")) << error.toStdString();
    EXPECT_FALSE(parseHandTimes("\n\nabc\n", t, &error));
    EXPECT_TRUE(error.startsWith("3 行目"));
    EXPECT_TRUE(t.empty());
}

TEST(MatchingTest, OffsetMissingAndExtraTimesAndCloseCompetitors) {
    // Ten starters 20 s apart, but 0004 and 0005 only 0.3 s apart; hand times run 0.2 s early
    // with a little scatter; 0007 has no hand time; an extra time at 10:02:30; 0009 has no A
    // time (the photocell missed) but a hand time.
    std::vector<MatchCompetitor> competitors;
    for (int i = 0; i < 10; ++i)
        competitors.push_back({QString::asprintf("%04d", i + 1), kTen + i * s(20)});
    competitors[4].a = *competitors[3].a + s(0.3);
    competitors[8].a.reset();
    const TimeUnits scatter[] = {s(0.01), s(-0.02), 0,       s(0.02), s(-0.01),
                                 0,       0,        s(0.01), 0,       s(-0.01)};
    std::vector<HandTime> hand;
    for (int i = 0; i < 10; ++i) {
        if (i == 6)
            continue;
        const TimeUnits a = i == 8 ? kTen + 8 * s(20) : *competitors[i].a;
        hand.push_back({static_cast<int>(hand.size()) + 1, {}, a - s(0.2) + scatter[i]});
    }
    hand.push_back({99, {}, kTen + s(300)}); // after everyone: nobody's
    const MatchResult m = matchHandTimes(hand, competitors);
    EXPECT_EQ(m.offset, s(-0.2));
    QStringList got;
    for (const MatchRow& row : m.rows)
        got << row.bib;
    EXPECT_EQ(got, (QStringList{"0001", "0002", "0003", "0004", "0005", "0006", "0008", "0009",
                                "0010", ""}));
    // A bib written beside another's time (0001's and 0002's swapped, 20 s apart: 0002 at
    // 10:00:20, the time 09:59:59.81) is never matched: each is left with the reason.
    hand[0].bib = "0002";
    hand[1].bib = "0001";
    const MatchResult byBib = matchHandTimes(hand, competitors);
    EXPECT_EQ(byBib.rows[0].bib, "");
    EXPECT_TRUE(byBib.rows[0].unmatched.startsWith("ビブ 0002: 主計時との差 -20.19 秒"))
        << byBib.rows[0].unmatched.toStdString();
    EXPECT_EQ(byBib.rows[2].bib, "0003");

    // Across midnight: A at 23:59:50 + 2 s each, hand 0.3 s later (00:00:00.3 for the one at
    // midnight). The offset is +0.30, not a day.
    const TimeUnits late = 24LL * 3600 * 10000 - s(10);
    std::vector<MatchCompetitor> night;
    std::vector<HandTime> nightHand;
    for (int i = 0; i < 8; ++i) {
        night.push_back(
            {QString::asprintf("%04d", i + 1), (late + i * s(2)) % (24LL * 3600 * 10000)});
        nightHand.push_back({i + 1, {}, (*night.back().a + s(0.3)) % (24LL * 3600 * 10000)});
    }
    const MatchResult midnight = matchHandTimes(nightHand, night);
    EXPECT_EQ(midnight.offset, s(0.3));
    for (const MatchRow& row : midnight.rows)
        EXPECT_FALSE(row.bib.isEmpty()) << row.hand.line;
}

} // namespace
} // namespace pistel::test
