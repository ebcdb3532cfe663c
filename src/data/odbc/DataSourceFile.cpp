#include "DataSourceFile.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <optional>

namespace pistel::odbc {
namespace {

// The value of keyword `key` in a connection string, if it is there.
std::optional<QString> keyword(const QString& connectionString, const QString& key) {
    for (const QString& part : connectionString.split(QLatin1Char(';'))) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return std::nullopt;
}

// The files unixODBC looks in for a data source, the user's first.
QStringList dataSourceFiles() {
    QStringList files;
    if (const QString user = qEnvironmentVariable("ODBCINI"); !user.isEmpty())
        files << user;
    files << QDir::homePath() + QStringLiteral("/.odbc.ini");
    const QString system = qEnvironmentVariable("ODBCSYSINI", QStringLiteral("/etc"));
    files << system + QStringLiteral("/odbc.ini");
    return files;
}

} // namespace

QString iniValue(const QByteArray& ini, const QString& dataSource, const QString& key) {
    bool inSection = false;
    for (const QByteArray& raw : ini.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inSection =
                line.endsWith(QLatin1Char(']')) &&
                line.mid(1, line.size() - 2).trimmed().compare(dataSource, Qt::CaseInsensitive) ==
                    0;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (inSection && eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return {};
}

QString withCurrentAddress(const QString& connectionString) {
    const QString dsn = keyword(connectionString, QStringLiteral("DSN")).value_or(QString());
    if (dsn.isEmpty())
        return connectionString;
    for (const QString& path : dataSourceFiles()) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray ini = f.readAll();
        if (iniValue(ini, dsn, QStringLiteral("Driver")).isEmpty())
            continue; // not defined in this file
        QString out = connectionString;
        for (const QString& key :
             {QStringLiteral("SERVER"), QStringLiteral("PORT"), QStringLiteral("SOCKET")}) {
            const QString value = iniValue(ini, dsn, key);
            if (!value.isEmpty() && !keyword(connectionString, key) &&
                !value.contains(QLatin1Char(';')))
                out += QLatin1Char(';') + key + QLatin1Char('=') + value;
        }
        return out;
    }
    return connectionString;
}

} // namespace pistel::odbc
