#include "Trace.h"

namespace pistel {

void Trace::append(QChar c) {
    partial_.append(c);
    if (lineCount() > kMaxLines) {
        if (!done_.isEmpty())
            done_.removeFirst();
    }
}

QString Trace::endLine() {
    QString line = partial_;
    done_.append(partial_);
    partial_.clear();
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

std::optional<QString> Trace::breakLine() {
    if (partial_.isEmpty())
        return std::nullopt;
    partial_.append(QLatin1Char('\r'));
    return endLine();
}

QString Trace::text() const {
    QString s;
    for (const QString& l : done_)
        s += l + QLatin1Char('\n');
    return s + partial_;
}

void Trace::clear() {
    done_.clear();
    partial_.clear();
}

} // namespace pistel
