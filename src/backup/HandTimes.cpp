#include "HandTimes.h"

#include "data/BibText.h"

#include <QRegularExpression>

namespace pistel {

bool parseHandTimes(const QString& text, std::vector<HandTime>& times, QString* error) {
    static const QRegularExpression withBib(
        QStringLiteral("^\\s*(\\d{1,4})\\s*[ \\t,;]\\s*(\\S+)\\s*$"));
    times.clear();
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\\r\\n|\\r|\\n")));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        HandTime h;
        h.line = i + 1;
        QString time = line;
        if (const auto m = withBib.match(line); m.hasMatch()) {
            h.bib = bibText(m.captured(1).toInt());
            time = m.captured(2);
        }
        const std::optional<TimeUnits> units = parseTimeOfDay(time);
        if (!units) {
            if (error)
                *error = QStringLiteral("%1 行目: 時刻として読めません: %2").arg(h.line).arg(line);
            times.clear();
            return false;
        }
        h.time = *units;
        times.push_back(h);
    }
    return true;
}

} // namespace pistel
