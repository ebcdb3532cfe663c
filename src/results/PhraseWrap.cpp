#include "PhraseWrap.h"

namespace pistel {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\u3000';
}
bool breaksAfter(QChar c) {
    return QStringView(u"、。，．・）」』】,;:").contains(c);
}
bool breaksBefore(QChar c) {
    return QStringView(u"（「『【(").contains(c);
}

struct Phrase {
    QString text;
    QString blankBefore; // kept between phrases on one line, dropped at a break
};

QList<Phrase> phrasesOf(const QString& text) {
    QList<Phrase> phrases;
    Phrase current;
    const auto close = [&] {
        if (!current.text.isEmpty())
            phrases << std::exchange(current, {});
    };
    for (const QChar c : text) {
        if (isBlank(c)) {
            close();
            current.blankBefore += c;
            continue;
        }
        if (breaksBefore(c))
            close();
        current.text += c;
        if (breaksAfter(c))
            close();
    }
    close();
    return phrases;
}

// A phrase too wide for any line, cut where it must be (never inside a surrogate pair).
QStringList cutAnywhere(const QString& phrase, double width,
                        const std::function<double(const QString&)>& advance) {
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < phrase.size(); ++i) {
        const qsizetype n = phrase[i].isHighSurrogate() && i + 1 < phrase.size() ? 2 : 1;
        const QString next = phrase.mid(i, n);
        if (!line.isEmpty() && advance(line + next) > width)
            lines << std::exchange(line, {});
        line += next;
        i += n - 1;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

} // namespace

QStringList wrapPhrases(const QString& text, double width,
                        const std::function<double(const QString&)>& advance) {
    QStringList lines;
    QString line;
    for (const Phrase& phrase : phrasesOf(text)) {
        const QString longer =
            line.isEmpty() ? phrase.text : line + phrase.blankBefore + phrase.text;
        if (advance(longer) <= width) {
            line = longer;
            continue;
        }
        if (!line.isEmpty())
            lines << std::exchange(line, {});
        if (advance(phrase.text) <= width) {
            line = phrase.text;
        } else {
            QStringList pieces = cutAnywhere(phrase.text, width, advance);
            line = pieces.takeLast();
            lines << pieces;
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

} // namespace pistel
