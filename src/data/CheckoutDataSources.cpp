#include "CheckoutDataSources.h"

#include <QDir>
#include <QFileInfo>

namespace pistel {

QString useCheckoutDataSources(const QString& programPath) {
    if (qEnvironmentVariableIsSet("ODBCINI"))
        return {};
    QDir dir = QFileInfo(programPath).absoluteDir();
    for (int up = 0; up < 6; ++up) {
        const QString ini = dir.filePath(QStringLiteral("state/odbc/odbc.ini"));
        if (QFileInfo::exists(dir.filePath(QStringLiteral("scripts/db.sh"))) &&
            QFileInfo::exists(ini)) {
            qputenv("ODBCINI", QFile::encodeName(ini));
            qputenv("ODBCSYSINI", QFile::encodeName(QFileInfo(ini).absolutePath()));
            return ini;
        }
        if (!dir.cdUp())
            break;
    }
    return {};
}

QString dataSourceHint(const QString& databaseMessage) {
    // unixODBC's "[IM002] ... Data source name not found".
    if (!databaseMessage.contains(QLatin1String("IM002")))
        return {};
    return QStringLiteral("the data source is not known to unixODBC: start the private server "
                          "with bash scripts/run.sh (or bash scripts/db.sh start state), or "
                          "point unixODBC at yours with eval \"$(bash scripts/db.sh env DIR)\"");
}

} // namespace pistel
