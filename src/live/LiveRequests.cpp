#include "LiveRequests.h"

#include "data/SjisText.h"

#include <QRegularExpression>
#include <algorithm>
#include <functional>

namespace pistel::live {

std::optional<RaceKey> parseRaceKey(const QString& key) {
    if (key == QLatin1String("AST0000000000001"))
        return RaceKey{};
    // At least one character of competition code between the prefix and the class code.
    if (key.size() < 8 || !key.startsWith(QLatin1String("AST")) || !key.endsWith(QLatin1Char('1')))
        return std::nullopt;
    return RaceKey{key.mid(3, key.size() - 7), key.mid(key.size() - 4, 3)};
}

std::optional<BatchFileContent> parseBatchFile(const QByteArray& bytes) {
    const QStringList lines = fromSjis(bytes).split(QStringLiteral("\r\n"));
    static const QRegularExpression header(QStringLiteral(R"(^AST([^,']{1,20}),([12]),$)"));
    const QRegularExpressionMatch h = header.match(lines.value(0));
    if (!h.hasMatch())
        return std::nullopt;
    BatchFileContent content{h.captured(1), h.captured(2), {}, 0};
    // Values are times and bibs: digits, colons, dots, blanks; nothing else is accepted.
    static const QRegularExpression update(QStringLiteral(
        R"(^UPDATE STLIST set time1='([0-9:. ]{0,13})',time2='([0-9:. ]{0,13})',)"
        R"(ttime='([0-9:. ]{0,13})',altime='([0-9:. ]{0,13})',timeod='([0-9:. ]{0,13})')"
        R"( where tcode like 'AST([^'%]{1,20})%' and bib='([0-9A-Za-z]{1,4})'$)"));
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty() && i == lines.size() - 1)
            break; // the CR LF after the last line
        const QRegularExpressionMatch m = update.match(lines[i]);
        if (!m.hasMatch() || m.captured(6) != content.code) {
            ++content.skipped;
            continue;
        }
        content.updates.append({m.captured(1), m.captured(2), m.captured(3), m.captured(4),
                                m.captured(5), m.captured(6), m.captured(7)});
    }
    return content;
}

std::optional<QByteArray> multipartFile(const QByteArray& contentType, const QByteArray& body,
                                        const QByteArray& field) {
    static const QRegularExpression boundaryRe(QStringLiteral(R"re(boundary="?([^";]+)"?)re"));
    const QRegularExpressionMatch b = boundaryRe.match(QString::fromLatin1(contentType));
    if (!contentType.startsWith("multipart/form-data") || !b.hasMatch())
        return std::nullopt;
    const QByteArray delimiter = "--" + b.captured(1).toLatin1();
    qsizetype at = body.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype headersStart = at + delimiter.size() + 2;
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", headersStart);
        const qsizetype next = body.indexOf("\r\n" + delimiter, headersStart);
        if (headersEnd < 0 || next < 0 || headersEnd > next)
            return std::nullopt;
        const QByteArray headers = body.mid(headersStart, headersEnd - headersStart);
        if (headers.contains("name=\"" + field + "\""))
            return body.mid(headersEnd + 4, next - headersEnd - 4);
        at = next + 2;
    }
    return std::nullopt;
}

namespace {
// The comma-separated fields of each non-empty line; `take` returns false for a line it
// refuses, which is counted in `skipped`.
void eachLine(const QByteArray& text, int* skipped,
              const std::function<bool(const QStringList&)>& take) {
    int bad = 0;
    for (const QString& raw : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        QStringList fields = line.split(QLatin1Char(','));
        for (QString& f : fields)
            f = f.trimmed();
        if (!take(fields))
            ++bad;
    }
    if (skipped)
        *skipped = bad;
}
} // namespace

QList<StartListEntry> parseStartList(const QByteArray& text, int* skipped) {
    QList<StartListEntry> out;
    eachLine(text, skipped, [&](const QStringList& f) {
        if (f.size() != 4 || f[0].isEmpty() || f[0].size() > 4 || f[1].size() > 60 ||
            f[2].size() > 80 || f[3].size() > 3)
            return false;
        out.append({f[0], f[1], f[2], f[3]});
        return true;
    });
    return out;
}

qint64 timeOfDayMs(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^([01]\\d|2[0-3]):([0-5]\\d):([0-5]\\d)(?:\\.(\\d{1,4}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return -1;
    const QString fraction = (m.captured(4) + QStringLiteral("000")).left(3);
    return ((m.captured(1).toInt() * 60 + m.captured(2).toInt()) * 60 + m.captured(3).toInt()) *
               1000 +
           fraction.toInt();
}

std::optional<RaceState> parseRaceState(const QByteArray& text) {
    RaceState state;
    bool seq = false, now = false, run = false;
    auto bibOk = [](const QString& bib) { return !bib.isEmpty() && bib.size() <= 4; };
    auto shortOk = [](const QString& v) { return v.size() <= 13; };
    eachLine(text, &state.skipped, [&](const QStringList& f) {
        const QString& kind = f[0];
        if (kind == u"session" && f.size() == 2 && f[1].size() <= 64) {
            state.session = f[1];
            return true;
        }
        if (kind == u"seq" && f.size() == 2) {
            state.seq = f[1].toLongLong(&seq);
            return seq;
        }
        if (kind == u"now" && f.size() == 2) {
            state.nowMs = timeOfDayMs(f[1]);
            now = state.nowMs >= 0;
            return now;
        }
        if (kind == u"run" && f.size() == 2 && (f[1] == u"1" || f[1] == u"2")) {
            state.run = f[1].toInt();
            run = true;
            return true;
        }
        if (kind == u"result" && f.size() == 7 && bibOk(f[1]) &&
            std::all_of(f.begin() + 2, f.end(), shortOk)) {
            state.results.append({f[2], f[3], f[4], f[6], f[5], QString(), f[1]});
            return true;
        }
        if (kind == u"status" && f.size() == 4 && bibOk(f[1]) && (f[2] == u"1" || f[2] == u"2") &&
            (f[3] == u"DNS" || f[3] == u"DNF" || f[3] == u"DSQ")) {
            state.statuses.append({f[1], f[2].toInt(), f[3]});
            return true;
        }
        if (kind == u"course" && f.size() == 3 && bibOk(f[1]) && timeOfDayMs(f[2]) >= 0) {
            state.course.append({f[1], timeOfDayMs(f[2])});
            return true;
        }
        if (kind == u"next" && f.size() == 2 && bibOk(f[1])) {
            state.next.append(f[1]);
            return true;
        }
        static const QRegularExpression pointsForm(QStringLiteral("^\\d{1,6}\\.\\d{2}$"));
        if (kind == u"points" && f.size() == 4 && bibOk(f[1]) &&
            pointsForm.match(f[2]).hasMatch() && pointsForm.match(f[3]).hasMatch()) {
            state.points.append({f[1], {f[2], f[3]}});
            return true;
        }
        static const QRegularExpression atForm(
            QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}$"));
        if (kind == u"official" && f.size() == 2 && atForm.match(f[1]).hasMatch()) {
            state.official = f[1];
            return true;
        }
        return false;
    });
    if (!seq || !now || !run)
        return std::nullopt;
    return state;
}

} // namespace pistel::live
