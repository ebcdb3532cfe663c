#include "BackupTime.h"

#include <QRegularExpression>

namespace pistel {

namespace {
constexpr TimeUnits kDay = 24LL * 60 * 60 * 10000;
}

QString timeOfDayText(TimeUnits units) {
    units = ((units % kDay) + kDay) % kDay;
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
    constexpr TimeUnits kDay = 24LL * 3600 * 10000;
    const TimeUnits d = ((later - earlier) % kDay + kDay) % kDay;
    return d > kDay / 2 ? d - kDay : d;
}

QString secondsText(TimeUnits units) {
    const TimeUnits magnitude = units < 0 ? -units : units;
    return QString::asprintf("%s%lld.%04lld", units < 0 ? "-" : "",
                             static_cast<long long>(magnitude / 10000),
                             static_cast<long long>(magnitude % 10000));
}

} // namespace pistel
