#include "DataHealth.h"

namespace pistel {

DataHealthText describeDataHealth(const DataHealth& h) {
    QStringList parts;
    if (h.databaseDown)
        parts << QStringLiteral("データベースに接続できません（%1 から）　再接続を試行中")
                     .arg(h.downSince.toString(QStringLiteral("HH:mm:ss")));
    if (h.waiting > 0)
        parts << QStringLiteral("未記録の時刻 %1 件（接続が戻ると記録されます）").arg(h.waiting);
    if (h.setAside > 0)
        parts << QStringLiteral("データベースが受け付けなかった時刻 %1 件（ジャーナルに保存済み）")
                     .arg(h.setAside);
    if (!h.lineError.isEmpty())
        parts << QStringLiteral("時刻を記録できませんでした: ") + h.lineError;
    if (!h.captureError.isEmpty())
        parts << QStringLiteral("時刻の割り当てでエラーが発生しました（時刻は記録済み）: ") +
                     h.captureError;
    if (h.unassigned > 0)
        parts << QStringLiteral(
                     "未割当の時刻 %1 件（一覧で割り当てるか、割り当てないことにしてください）")
                     .arg(h.unassigned);
    if (!h.missingStarts.isEmpty())
        parts << QStringLiteral("スタート時刻のない選手: ") +
                     h.missingStarts.join(QLatin1Char(' '));
    if (!h.watchError.isEmpty())
        parts << QStringLiteral("他からの変更を確認できません: ") + h.watchError;
    if (!h.journalProblem.isEmpty())
        parts << QStringLiteral("ジャーナルに書き込めません: ") + h.journalProblem;
    // Lines brought back from the journal are news, not an alarm.
    const QString recovered =
        h.recovered > 0 ? QStringLiteral("%1 件の記録を復元しました").arg(h.recovered) : QString();
    if (parts.isEmpty())
        return {QStringLiteral("データベース接続中　ジャーナル記録中") +
                    (recovered.isEmpty() ? QString() : QStringLiteral("　") + recovered),
                false};
    if (!recovered.isEmpty())
        parts << recovered;
    return {parts.join(QLatin1Char('\n')), true};
}

} // namespace pistel
