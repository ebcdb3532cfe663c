#include "data/TimeText.h"

#include <gtest/gtest.h>

using namespace pistel;

struct UnitsCase {
    const char* text;
    std::int64_t units;
};

TEST(TimeToUnits, UnitFollowsTheLengthOfTheText) {
    const UnitsCase cases[] = {
        {"10:15:30.1200", 369301200}, // ten-thousandths
        {"10:15:30.12", 3693012},     // hundredths
        {"10:15:30.123", 36930123},   // thousandths
        {"10:15:30.1", 369301},       // tenths: the unit of the last digit
        {"00:00:00.0000", 0},
        {"23:59:59.9999", 863999999},
        {"", 0},
        {"10:15:30", 0},                // no fraction: no known length
        {"  10:15:30.12  ", 0},         // trimmed length 11, but hours read from the text itself
        {"10:15:30.1200\r", 369301200}, // control characters do not count for the length
        {"1x:15:30.1200", 9301200},     // an unreadable part counts 0
        {"10:15:30.12x0", 369300000},
        {"    1:05.1299", 0}, // a raw duration text: parts at the fixed positions read as 0
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeToUnits(c.text), c.units) << '"' << c.text << '"';
}

TEST(UnitsToText, RightAlignedThirteenCharacters) {
    const UnitsCase cases[] = {
        {"       0.0000", 0},        {"       5.1234", 51234},     {"      45.1234", 451234},
        {"    1:05.1299", 651299},   {"   12:05.1234", 7251234},   {" 1:00:00.0000", 36000000},
        {" 1:02:05.1234", 37251234}, {"12:02:05.1234", 433251234}, {"       0.0005", 5},
        {"       0.0045", 45},       {"       0.0123", 123},       {"99:59:59.9999", 3599999999},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnitsToText(c.units), c.text) << c.units;
        EXPECT_EQ(UnitsToText(c.units).size(), 13);
    }
}

TEST(PadTimeText, LaysDurationsOutAsElevenCharacters) {
    const std::pair<const char*, const char*> cases[] = {
        {"0.00", "00:00:00.00"},        // length 4
        {"    1:05.12", "00:01:05.12"}, // length 7
        {"12:02:05.12", "12:02:05.12"},
        {"1:02:05.12", "01:02:05.12"},
        {"12:05.12", "00:12:05.12"},
        {"45.12", "00:00:45.12"},
        {"12", "00:00:00.12"},
        {"7", "00:00:00.00"},
        {"", ""},
        {"123", ""},
        {"100:00:00.00", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(PadTimeText(in), out) << '"' << in << '"';
}

TEST(RunTime, FinishMinusStartTruncatedToHundredths) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"10:00:00.0000", "10:01:05.1299", "00:01:05.12"}, // truncated, not rounded
        {"10:00:00.0000", "10:00:00.0099", "00:00:00.00"},
        {"09:59:59.9999", "10:00:00.0000", "00:00:00.00"},
        {"10:00:00.0000", "11:02:03.4567", "01:02:03.45"},
        {"", "10:15:30.1200", "10:15:30.12"}, // an empty start counts as midnight
        {"10:00:00.0000", "10:00:45.5000", "00:00:45.50"},
        {"10:00:00.0000", "10:00:05.0000", "00:00:05.00"},
        // A run across midnight.
        {"23:59:50.0000", "00:00:10.5000", "00:00:20.50"},
        {"23:00:00.0000", "01:30:00.0000", "02:30:00.00"},
    };
    for (const auto& [start, finish, run] : cases)
        EXPECT_EQ(runTimeText(start, finish), run) << start << " -> " << finish;
}

TEST(RunTime, TimersOfAnyResolutionGiveTheSameRunTime) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // Thousandths, stored as sent: three digits and a blank.
        {"10:00:00.000 ", "10:01:05.129 ", "00:01:05.12"},
        {"10:00:00.999 ", "10:00:01.000 ", "00:00:00.00"},
        {"10:00:00.990 ", "10:00:01.000 ", "00:00:00.01"},
        // Hundredths after the blank fix, and as a bare text.
        {"10:00:00.1200", "10:01:05.1300", "00:01:05.01"},
        {"10:00:00.12", "10:01:05.13", "00:01:05.01"},
        // Tenths.
        {"10:00:00.1", "10:00:10.2", "00:00:10.10"},
        // Mixed lengths: a start of one resolution, a finish of another.
        {"10:00:00.5000", "10:01:05.129 ", "00:01:04.62"},
        {"10:00:00.500 ", "10:01:05.1299", "00:01:04.62"},
        {"10:00:00.5", "10:01:05.12", "00:01:04.62"},
        {"23:59:59.999 ", "00:00:00.0010", "00:00:00.00"},
        {"23:59:59.990 ", "00:00:01.00", "00:00:01.01"},
    };
    for (const auto& [start, finish, run] : cases)
        EXPECT_EQ(runTimeText(start, finish), run) << start << " -> " << finish;
    EXPECT_EQ(timeOfDayUnits("10:15:30.123 "), 369301230);
    EXPECT_EQ(timeOfDayUnits("10:15:30.1234"), 369301234);
    EXPECT_EQ(timeOfDayUnits("10:15:30.12"), 369301200);
    EXPECT_EQ(timeOfDayUnits(""), 0);
}

TEST(RunTime, TotalOfTwoRuns) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"00:01:05.12", "00:01:04.95", "00:02:10.07"},
        {"", "00:01:04.95", "00:01:04.95"}, // no run-1 time: the total is the run-2 time
        {"00:00:59.99", "00:00:00.01", "00:01:00.00"},
        {"00:59:59.99", "00:00:00.01", "01:00:00.00"},
        {"00:00:00.00", "00:00:00.00", "00:00:00.00"},
    };
    for (const auto& [a, b, total] : cases)
        EXPECT_EQ(totalTimeText(a, b), total) << a << " + " << b;
}
