#include "BackupTime.h"

namespace pistel {

QString correctionText(TimeUnits units, bool plusSign) {
    const TimeUnits hundredths = (units < 0 ? -units : units) / 100;
    return QString::asprintf("%s%lld.%02lld",
                             units < 0  ? "-"
                             : plusSign ? "+"
                                        : "",
                             static_cast<long long>(hundredths / 100),
                             static_cast<long long>(hundredths % 100));
}

QString secondsText(TimeUnits units, bool plusSign) {
    const TimeUnits magnitude = units < 0 ? -units : units;
    return QString::asprintf("%s%lld.%04lld",
                             units < 0  ? "-"
                             : plusSign ? "+"
                                        : "",
                             static_cast<long long>(magnitude / 10000),
                             static_cast<long long>(magnitude % 10000));
}

} // namespace pistel
