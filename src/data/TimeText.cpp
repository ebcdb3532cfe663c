#include "TimeText.h"

#include <QRegularExpression>

namespace pistel {
namespace {

// A part reads as a whole number: optional leading blanks, an optional sign, digits and
// nothing after them; anything else counts 0.
std::int64_t readPart(QStringView part) {
    qsizetype i = 0;
    while (i < part.size() && part[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == QLatin1Char('+') || part[i] == QLatin1Char('-')))
        negative = part[i++] == QLatin1Char('-');
    if (i == part.size())
        return 0;
    std::int64_t value = 0;
    for (; i < part.size(); ++i) {
        if (!part[i].isDigit() || part[i].unicode() > '9')
            return 0;
        value = value * 10 + (part[i].unicode() - '0');
    }
    return negative ? -value : value;
}

QStringView midView(const QString& text, qsizetype pos, qsizetype len) {
    if (pos >= text.size())
        return {};
    return QStringView(text).mid(pos, std::min(len, text.size() - pos));
}

// Blanks and control characters at both ends are dropped.
QString trimmed(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 0x20)
        ++b;
    while (e > b && text[e - 1].unicode() <= 0x20)
        --e;
    return text.mid(b, e - b);
}

QString twoDigits(std::int64_t v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

// Whole seconds of HH:MM:SS at the start of a text.
std::int64_t wholeSeconds(const QString& text) {
    return (readPart(midView(text, 0, 2)) * 60 + readPart(midView(text, 3, 2))) * 60 +
           readPart(midView(text, 6, 2));
}

} // namespace

std::int64_t TimeToUnits(const QString& text) {
    std::int64_t scale = 0;
    qsizetype digits = 0;
    switch (trimmed(text).size()) {
    case 13:
        scale = 10000, digits = 4;
        break;
    case 12:
        scale = 1000, digits = 3;
        break;
    case 11:
        scale = 100, digits = 2;
        break;
    case 10: // one fraction digit: tenths, the unit of the last digit as for the other lengths
        scale = 10, digits = 1;
        break;
    default:
        return 0;
    }
    const std::int64_t fraction = readPart(midView(text, 9, digits));
    return wholeSeconds(text) * scale + fraction;
}

QString UnitsToText(std::int64_t units) {
    QString fraction = QString::number(units % 10000);
    while (fraction.size() < 4)
        fraction.prepend(QLatin1Char('0'));
    const std::int64_t q = units / 10000;
    const QString tail = QLatin1Char('.') + fraction;
    if (q < 10)
        return QString(7, QLatin1Char(' ')) + QString::number(q) + tail;
    if (q < 60)
        return QString(6, QLatin1Char(' ')) + QString::number(q) + tail;
    const std::int64_t m = q / 60;
    const QString secs = QLatin1Char(':') + twoDigits(q % 60) + tail;
    if (m < 10)
        return QString(4, QLatin1Char(' ')) + QString::number(m) + secs;
    if (m < 60)
        return QString(3, QLatin1Char(' ')) + QString::number(m) + secs;
    const std::int64_t h = m / 60;
    const QString mins = QLatin1Char(':') + twoDigits(m % 60) + secs;
    if (h < 10)
        return QLatin1Char(' ') + QString::number(h) + mins;
    return twoDigits(h) + mins;
}

QString PadTimeText(const QString& text) {
    const QString t = trimmed(text);
    switch (t.size()) {
    case 11:
        return t;
    case 10:
        return QLatin1Char('0') + t;
    case 8:
        return QStringLiteral("00:") + t;
    case 7:
        return QStringLiteral("00:0") + t;
    case 5:
        return QStringLiteral("00:00:") + t;
    case 4:
        return QStringLiteral("00:00:0") + t;
    case 2:
        return QStringLiteral("00:00:00.") + t;
    case 1:
        return QStringLiteral("00:00:00.00");
    default:
        return {};
    }
}

TimeUnits timeOfDayUnits(const QString& text) {
    std::int64_t fraction = 0;
    qsizetype digits = 0;
    for (qsizetype i = 9;
         i < text.size() && digits < 4 && text[i].isDigit() && text[i].unicode() <= '9';
         ++i, ++digits)
        fraction = fraction * 10 + (text[i].unicode() - '0');
    for (; digits < 4; ++digits)
        fraction *= 10;
    return wholeSeconds(text) * 10000 + fraction;
}

QString runTimeText(const QString& start, const QString& finish) {
    // Timers send two, three or four fraction digits; both times are taken in
    // ten-thousandths, whatever the length of either text.
    // A finish earlier than the start lies after midnight.
    const QString raw = UnitsToText(wrapIntoDay(timeOfDayUnits(finish) - timeOfDayUnits(start)));
    return PadTimeText(raw.left(raw.indexOf(QLatin1Char('.')) + 3));
}

QString totalTimeText(const QString& first, const QString& second) {
    const QString raw = UnitsToText(TimeToUnits(first + QStringLiteral("00")) +
                                    TimeToUnits(second + QStringLiteral("00")));
    return PadTimeText(raw.left(raw.size() - 2));
}

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

std::optional<TimeUnits> parseTimeOfDay(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,2}):(\\d{2}):(\\d{2})[.,](\\d{1,4})$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int h = m.captured(1).toInt(), min = m.captured(2).toInt(), s = m.captured(3).toInt();
    if (h > 23 || min > 59 || s > 59)
        return std::nullopt;
    const QString fraction = m.captured(4).leftJustified(4, QLatin1Char('0'));
    return ((h * 60LL + min) * 60 + s) * 10000 + fraction.toLongLong();
}

TimeUnits dayDifference(TimeUnits later, TimeUnits earlier) {
    const TimeUnits d = wrapIntoDay(later - earlier);
    return d > kHalfDayUnits ? d - kUnitsPerDay : d;
}

} // namespace pistel
