#include "SqlValue.h"

namespace pistel {

QString sqlValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case '\'':
            out += QLatin1String("''");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case 0:
            out += QLatin1String("\\0");
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace pistel
