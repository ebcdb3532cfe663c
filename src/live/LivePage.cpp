#include "LivePage.h"

#include <QFile>

namespace pistel::live {

QByteArray livePageFile(const QString& name) {
    QFile file(QStringLiteral(":/live/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("live page: %s is not built in", qPrintable(name)); // a build fault, not a run's
    return file.readAll();
}

} // namespace pistel::live
