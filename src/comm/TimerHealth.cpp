#include "TimerHealth.h"

namespace pistel {
namespace {

QString ago(qint64 seconds) {
    if (seconds < 60)
        return QStringLiteral("%1秒前").arg(std::max<qint64>(seconds, 0));
    if (seconds < 3600)
        return QStringLiteral("%1分前").arg(seconds / 60);
    return QStringLiteral("%1時間前").arg(seconds / 3600);
}

} // namespace

TimerHealthText describeTimerHealth(const TimerHealth& h, const QDateTime& now) {
    if (h.portNo <= 0)
        return {QStringLiteral("計時器ポート未設定"), true};
    const QString port = QStringLiteral("計時器 COM%1: ").arg(h.portNo);
    if (h.lost)
        return {port + QStringLiteral("切断されました　再接続を試行中"), true};
    if (!h.open)
        return {port + QStringLiteral("未接続"), true};
    if (!h.lastLine)
        return {port + QStringLiteral("接続中　受信なし"), false};
    return {port + QStringLiteral("接続中　最終受信 ") + ago(h.lastLine->secsTo(now)), false};
}

} // namespace pistel
