#include "capture/DataHealth.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace pistel;

TEST(DataHealth, OneCalmLineOrWhatIsWrong) {
    const DataHealthText fine = describeDataHealth({});
    EXPECT_FALSE(fine.alarm);
    EXPECT_EQ(fine.text, "データベース接続中　ジャーナル記録中");

    const QDateTime since(QDate(2026, 12, 20), QTime(10, 4, 5));
    const DataHealthText down = describeDataHealth({true, since, 3, {}, {}});
    EXPECT_TRUE(down.alarm);
    EXPECT_EQ(down.text, "データベースに接続できません（10:04:05 から）　再接続を試行中\n"
                         "未記録の時刻 3 件（接続が戻ると記録されます）");
    // Lines still waiting after the connection is back are shown too.
    EXPECT_TRUE(describeDataHealth({false, {}, 1, {}, {}}).alarm);
    const DataHealthText journal = describeDataHealth({false, {}, 0, "disk full", {}});
    EXPECT_TRUE(journal.alarm);
    EXPECT_EQ(journal.text, "ジャーナルに書き込めません: disk full");
    EXPECT_TRUE(
        describeDataHealth({false, {}, 0, {}, "Unknown column"}).text.endsWith("Unknown column"));
}
