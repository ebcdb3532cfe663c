#include "Replay.h"

#include "ImpulseJournal.h"

#include <QRegularExpression>

namespace pistel {

QList<ReplayLine> readReplayLines(const QByteArray& content, int* tornRecords) {
    QList<ReplayLine> out;
    qsizetype start = 0;
    const qsizetype n = content.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && content[end] != '\r' && content[end] != '\n')
            ++end;
        const QByteArray piece = content.mid(start, end - start);
        start = end + 1;
        if (end + 1 < n && content[end] == '\r' && content[end + 1] == '\n')
            ++start;
        if (const auto entry = ImpulseJournal::parse(piece)) {
            out.append({entry->line, entry->received, entry});
        } else if (ImpulseJournal::looksTorn(piece)) {
            // Never a timer line: the piece of a journal record a failed write left behind.
            if (tornRecords)
                ++*tornRecords;
            if (const auto glued = ImpulseJournal::salvage(piece))
                out.append({glued->line, glued->received, glued});
        } else if (!piece.isEmpty())
            out.append({piece, std::nullopt, std::nullopt});
    }
    return out;
}

std::optional<std::int64_t> durationHundredths(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*(?:(?:(\d+):)?(\d{1,2}):)?(\d{1,2})\.(\d{1,4})\s*$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const std::int64_t h = m.captured(1).toLongLong();
    const std::int64_t min = m.captured(2).toLongLong();
    const std::int64_t s = m.captured(3).toLongLong();
    const std::int64_t f = (m.captured(4) + QStringLiteral("00")).left(2).toLongLong();
    return ((h * 60 + min) * 60 + s) * 100 + f;
}

} // namespace pistel
