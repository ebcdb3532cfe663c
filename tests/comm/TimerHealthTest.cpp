#include "comm/TimerHealth.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace pistel;

TEST(TimerHealth, StatusLineSaysWhatTheOperatorMustKnow) {
    const QDateTime now(QDate(2026, 12, 20), QTime(10, 0, 0));
    auto text = [&](const TimerHealth& h) { return describeTimerHealth(h, now); };

    EXPECT_TRUE(text({}).alarm); // no port chosen: nothing will arrive
    const TimerHealthText lost = text({9, false, true, now.addSecs(-5)});
    EXPECT_TRUE(lost.alarm);
    EXPECT_EQ(lost.text, "計時器 COM9: 切断されました　再接続を試行中");
    EXPECT_TRUE(text({9, false, false, {}}).alarm);

    const TimerHealthText quiet = text({9, true, false, {}});
    EXPECT_FALSE(quiet.alarm);
    EXPECT_EQ(quiet.text, "計時器 COM9: 接続中　受信なし");
    EXPECT_EQ(text({9, true, false, now.addSecs(-12)}).text,
              "計時器 COM9: 接続中　最終受信 12秒前");
    EXPECT_EQ(text({9, true, false, now.addSecs(-59)}).text.right(4), "59秒前");
    EXPECT_EQ(text({9, true, false, now.addSecs(-60)}).text.right(3), "1分前");
    EXPECT_EQ(text({9, true, false, now.addSecs(-7300)}).text.right(4), "2時間前");
    // A clock set back meanwhile never shows a negative age.
    EXPECT_EQ(text({9, true, false, now.addSecs(30)}).text.right(3), "0秒前");
}
