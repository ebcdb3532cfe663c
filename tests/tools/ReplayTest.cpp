#include "capture/Replay.h"

#include <gtest/gtest.h>

using namespace pistel;

TEST(ReplayLines, AnyLineEndAndEmptyLinesOfAPrintedLog) {
    const auto lines = readReplayLines(" 0001 C0  10:00:00.0000 00\r\n\r\n 0002 C0\r 0003 C1\n\n");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].bytes, " 0001 C0  10:00:00.0000 00");
    EXPECT_EQ(lines[1].bytes, " 0002 C0");
    EXPECT_EQ(lines[2].bytes, " 0003 C1");
    EXPECT_FALSE(lines[0].received.has_value());
}

TEST(ReplayLines, JournalEntriesKeepTheirReceiptTimeAndEmptyLines) {
    const auto lines = readReplayLines("2026-12-20 10:00:00.123\t360001\tC1\t 0001 C0  x\n"
                                       "2026-12-20 10:00:01.000\t360010\tC1\t\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].bytes, " 0001 C0  x");
    ASSERT_TRUE(lines[0].received.has_value());
    EXPECT_EQ(lines[0].received->time(), QTime(10, 0, 0, 123));
    EXPECT_EQ(lines[1].bytes, "");
}

TEST(ReplayLines, DurationsAsTimersPrintThem) {
    EXPECT_EQ(durationHundredths("00:01:05.12"), 6512);
    EXPECT_EQ(durationHundredths("00:01:05.1299"), 6512);
    EXPECT_EQ(durationHundredths("   1:05.12"), 6512);
    EXPECT_EQ(durationHundredths("65.1"), 6510);
    EXPECT_EQ(durationHundredths("01:00:00.00"), 360000);
    EXPECT_FALSE(durationHundredths("").has_value());
    EXPECT_FALSE(durationHundredths("1:05").has_value());
    EXPECT_FALSE(durationHundredths("DNF").has_value());
}
