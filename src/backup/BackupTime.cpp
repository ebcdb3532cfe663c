#include "BackupTime.h"

#include "data/TimeText.h"

#include <QRegularExpression>

namespace pistel {

TimeUnits wrapIntoDay(TimeUnits units) {
    return ((units % kUnitsPerDay) + kUnitsPerDay) % kUnitsPerDay;
}

QString timeOfDayText(TimeUnits units) {
    units = wrapIntoDay(units);
    const TimeUnits seconds = units / 10000;
    return QString::asprintf("%02lld:%02lld:%02lld.%04lld", static_cast<long long>(seconds / 3600),
                             static_cast<long long>(seconds / 60 % 60),
                             static_cast<long long>(seconds % 60),
                             static_cast<long long>(units % 10000));
}

std::optional<TimeUnits> parseHandTime(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,2}):(\\d{2}):(\\d{2})[.,](\\d{1,4})$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int h = m.captured(1).toInt(), min = m.captured(2).toInt(), s = m.captured(3).toInt();
    if (h > 23 || min > 59 || s > 59)
        return std::nullopt;
    QString fraction = m.captured(4);
    fraction = fraction.leftJustified(4, QLatin1Char('0'));
    return ((h * 60LL + min) * 60 + s) * 10000 + fraction.toLongLong();
}

TimeUnits dayDifference(TimeUnits later, TimeUnits earlier) {
    const TimeUnits d = wrapIntoDay(later - earlier);
    return d > kUnitsPerDay / 2 ? d - kUnitsPerDay : d;
}

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
