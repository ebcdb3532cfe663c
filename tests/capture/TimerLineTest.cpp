#include "capture/TimerLine.h"

#include "capture/Trace.h"

#include <gtest/gtest.h>

using namespace pistel;

TEST(TimerLine, SplitsAtFixedPositions) {
    const auto t = splitTimerLine(" 0001 C0  10:04:55.6513 00");
    EXPECT_EQ(t.tstat, " ");
    EXPECT_EQ(t.bib, "0001");
    EXPECT_EQ(t.stat, "C0");
    EXPECT_EQ(t.dtime, "10:04:55.6513");
    EXPECT_TRUE(t.isStart());
    EXPECT_FALSE(t.isFinish());
}

TEST(TimerLine, EveryPrecisionOfTheDeviceBecomesFourFractionDigits) {
    const auto t = splitTimerLine(" 0012 C1  10:15:30.12  ");
    EXPECT_EQ(t.tstat, " ");
    EXPECT_EQ(t.bib, "0012");
    EXPECT_EQ(t.stat, "C1");
    EXPECT_EQ(t.dtime, "10:15:30.1200");
    // The device left-aligns the time and pads it with blanks, the line's last field after.
    EXPECT_EQ(splitTimerLine(" 0001 C1  10:01:05.1    00").dtime, "10:01:05.1000");
    EXPECT_EQ(splitTimerLine(" 0002 C0  10:00:30.123  00").dtime, "10:00:30.1230");
    EXPECT_EQ(splitTimerLine(" 0002 C0  10:00:30.123 ").dtime, "10:00:30.1230");
    EXPECT_EQ(splitTimerLine(" 0001 C0  10:00:00.12   00").dtime, "10:00:00.1200");
    EXPECT_EQ(splitTimerLine(" 0001 C0  10:00:00.1234 00").dtime, "10:00:00.1234");
    EXPECT_EQ(splitTimerLine(" 0001 C0  10:00:07      00").dtime, "10:00:07.0000");
    // Not a time of the device's shape: kept as received, nothing invented.
    EXPECT_EQ(splitTimerLine(" 0001 C0  10:0x:07.12   00").dtime, "10:0x:07.12  ");
    EXPECT_EQ(splitTimerLine(" 0001 C0  10:00:07. 3   00").dtime, "10:00:07. 3  ");
    EXPECT_EQ(splitTimerLine(" 0001 C0  1:00:07.12    00").dtime, "1:00:07.12   ");
}

TEST(TimerLine, ShortAndEmptyLinesGiveShortOrEmptyFields) {
    const auto empty = splitTimerLine("");
    EXPECT_EQ(empty.tstat, "");
    EXPECT_EQ(empty.bib, "");
    EXPECT_EQ(empty.stat, "");
    EXPECT_EQ(empty.dtime, "");
    const auto shortLine = splitTimerLine("n0012");
    EXPECT_EQ(shortLine.tstat, "n");
    EXPECT_EQ(shortLine.bib, "0012");
    EXPECT_EQ(shortLine.stat, "");
    const auto cut = splitTimerLine(" 0003 C1  10:0");
    EXPECT_EQ(cut.dtime, "10:0");
}

TEST(TimerLine, EverythingAfterPosition23IsIgnored) {
    const auto t = splitTimerLine("?0007 C0M 10:04:55.6513 00 extra text");
    EXPECT_EQ(t.tstat, "?");
    EXPECT_EQ(t.stat, "C0");
    EXPECT_EQ(t.dtime, "10:04:55.6513");
}

TEST(TimerLine, StatusFlagsOfTheDevice) {
    auto line = [](const char* flag) {
        return splitTimerLine(QString(flag) + "0001 C0  10:00:00.0000");
    };
    for (const char* flag : {"c", "d"})
        EXPECT_TRUE(line(flag).takesBack()) << flag;
    for (const char* flag : {" ", "?", "m", "i", "n", "C", "D"})
        EXPECT_FALSE(line(flag).takesBack()) << flag;
    EXPECT_TRUE(line("C").isCleared());
    EXPECT_FALSE(line("c").isCleared());
    EXPECT_TRUE(line("i").isEdited());
    EXPECT_FALSE(line("I").isEdited());
}

TEST(Trace, KeepsAtMost25LinesCountingTheLineInProgress) {
    Trace trace;
    auto feed = [&](const QString& s) {
        for (QChar c : s) {
            trace.append(c);
            if (c == QLatin1Char('\r'))
                trace.endLine();
        }
    };
    for (int i = 1; i <= 30; ++i)
        feed(QStringLiteral("line %1\r").arg(i));
    EXPECT_EQ(trace.lineCount(), 25);
    EXPECT_TRUE(trace.text().startsWith("line 6\r\n"));
    EXPECT_TRUE(trace.text().endsWith("line 30\r\n"));

    feed("x"); // the line in progress counts: the oldest goes
    EXPECT_EQ(trace.lineCount(), 25);
    EXPECT_TRUE(trace.text().startsWith("line 7\r\n"));
    EXPECT_TRUE(trace.text().endsWith("line 30\r\nx"));
}

TEST(Trace, EndLineReturnsTheLineWithoutItsCr) {
    Trace trace;
    for (QChar c : QStringLiteral(" 0001 C0  10:00:00.0000\r"))
        trace.append(c);
    EXPECT_EQ(trace.endLine(), " 0001 C0  10:00:00.0000");
    EXPECT_EQ(trace.text(), " 0001 C0  10:00:00.0000\r\n");
}
