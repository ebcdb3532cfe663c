#include "RunStatus.h"

namespace pistel {

bool isStatusCode(const QString& code) {
    return code == u"DNS" || code == u"DNF" || code == u"DSQ";
}

QString statusCaption(const QString& code) {
    if (code == u"DNS")
        return QStringLiteral("欠場/DNS");
    if (code == u"DNF")
        return QStringLiteral("途中棄権/DNF");
    if (code == u"DSQ")
        return QStringLiteral("失格/DSQ");
    return code;
}

QString statusText(const RunStatus& status) {
    if (!status.isSet())
        return {};
    QString text = statusCaption(status.code);
    if (!status.gate.isEmpty())
        text += QStringLiteral(" 旗門 ") + status.gate;
    if (!status.reason.isEmpty())
        text += QLatin1Char(' ') + status.reason;
    return text;
}

} // namespace pistel
