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

    // What was not assigned or not written stays red until dealt with; a capture error says
    // the time itself is recorded, a refused line says it is not.
    DataHealth left;
    left.setAside = 1;
    left.captureError = "Deadlock";
    left.unassigned = 2;
    left.missingStarts = {"0024", "0025"};
    const DataHealthText shown = describeDataHealth(left);
    EXPECT_TRUE(shown.alarm);
    EXPECT_EQ(shown.text.split('\n'),
              (QStringList{"データベースが受け付けなかった時刻 1 件（ジャーナルに保存済み）",
                           "時刻の割り当てでエラーが発生しました（時刻は記録済み）: Deadlock",
                           "未割当の時刻 2 件（一覧で割り当てるか、割り当てないことにしてください）",
                           "スタート時刻のない選手: 0024 0025"}));
    EXPECT_TRUE(describeDataHealth({false, {}, 0, {}, "Unknown column"})
                    .text.startsWith("時刻を記録できませんでした"));
}
