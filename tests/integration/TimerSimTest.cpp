#include "timer-sim/TimerSim.h"

#include <gtest/gtest.h>

using namespace pistel::sim;

TEST(TimerSim, LinesAsTheTimerSendsThem) {
    EXPECT_EQ(timerLine(' ', "12", "C0", QTime(10, 4, 55), 6513), " 0012 C0  10:04:55.6513 00\r");
    EXPECT_EQ(timerLine('?', "", "C1", QTime(9, 0, 0), 7), "?0000 C1  09:00:00.0007 00\r");
}

TEST(TimerSim, KeysTypeABibAndSendImpulses) {
    KeyPad pad;
    const QTime t(10, 0, 0);
    EXPECT_EQ(pad.press('s', t, 1), "?0000 C0  10:00:00.0001 00\r");
    EXPECT_TRUE(pad.press('1', t, 0).isEmpty());
    EXPECT_TRUE(pad.press('2', t, 0).isEmpty());
    EXPECT_TRUE(pad.press('3', t, 0).isEmpty());
    EXPECT_TRUE(pad.press(0x7f, t, 0).isEmpty());
    EXPECT_EQ(pad.typed(), "12");
    EXPECT_EQ(pad.press('f', t, 2), " 0012 C1  10:00:00.0002 00\r");
    EXPECT_EQ(pad.typed(), "");
    EXPECT_TRUE(pad.press('x', t, 0).isEmpty());
}

TEST(TimerSim, ScheduleFollowsTheTimesOfDay) {
    const QList<QByteArray> lines{" 0001 C0  10:00:00.0000 00", "",
                                  " 0002 C0  10:00:30.0000 00\r\n", " 0001 RT  00:01:05.12   00",
                                  " 0001 C1  10:01:05.1299 00"};
    const auto real = schedule(lines, 1);
    ASSERT_EQ(real.size(), 4);
    EXPECT_EQ(real[0].atMs, 0);
    EXPECT_EQ(real[1].atMs, 30000);
    EXPECT_EQ(real[2].atMs, 30000); // a run time line follows the line before it
    EXPECT_EQ(real[3].atMs, 65129);
    EXPECT_EQ(real[1].bytes, " 0002 C0  10:00:30.0000 00\r");
    EXPECT_EQ(schedule(lines, 10)[3].atMs, 6512);
    for (const auto& s : schedule(lines, 0))
        EXPECT_EQ(s.atMs, 0);
}
