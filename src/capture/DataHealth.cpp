#include "DataHealth.h"

namespace pistel {

DataHealthText describeDataHealth(const DataHealth& h) {
    QStringList parts;
    if (h.databaseDown)
        parts << QStringLiteral("データベースに接続できません（%1 から）　再接続を試行中")
                     .arg(h.downSince.toString(QStringLiteral("HH:mm:ss")));
    if (h.waiting > 0)
        parts << QStringLiteral("未記録の時刻 %1 件（接続が戻ると記録されます）").arg(h.waiting);
    if (!h.lineError.isEmpty())
        parts << QStringLiteral("時刻の処理でエラーが発生しました（時刻は記録済み）: ") +
                     h.lineError;
    if (!h.journalProblem.isEmpty())
        parts << QStringLiteral("ジャーナルに書き込めません: ") + h.journalProblem;
    if (parts.isEmpty())
        return {QStringLiteral("データベース接続中　ジャーナル記録中"), false};
    return {parts.join(QLatin1Char('\n')), true};
}

} // namespace pistel
