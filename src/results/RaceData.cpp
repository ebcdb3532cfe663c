#include "RaceData.h"

#include <QHash>

namespace pistel {

QString raceDataCaption(const QString& item) {
    static const QHash<QString, QString> captions{
        {"course", "コース名"},
        {"homologation", "公認番号"},
        {"start_altitude", "スタート標高"},
        {"finish_altitude", "フィニッシュ標高"},
        {"vertical_drop", "標高差"},
        {"gates", "旗門数"},
        {"turning_gates", "方向変換数"},
        {"course_setter", "コースセッター"},
        {"start_time", "スタート時刻"},
        {"forerunners", "前走者"},
        {"technical_delegate", "技術代表 (TD)"},
        {"referee", "レフェリー"},
        {"chief_of_race", "競技委員長"},
        {"start_referee", "スタートレフェリー"},
        {"finish_referee", "フィニッシュレフェリー"},
        {"timing", "計時"},
        {"weather", "天候"},
        {"snow", "雪質"},
        {"temperature_start", "気温 スタート"},
        {"temperature_finish", "気温 フィニッシュ"},
        {"points_factor", "ポイント F 値"},
        {"points_maximum", "ポイント最大値"},
        {"minimum_penalty", "最低ペナルティ"},
    };
    return captions.value(item, item);
}

} // namespace pistel
