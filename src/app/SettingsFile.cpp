#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <stdexcept>

namespace pistel {
namespace {

// section/key (lower case, as INI names are case-insensitive) -> value
QHash<QString, QString> parseIni(const QByteArray& text) {
    QHash<QString, QString> values;
    QString section;
    for (QByteArray raw : text.split('\n')) {
        const QString line = QString::fromLocal8Bit(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed().toLower();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = section + QLatin1Char('/') + line.left(eq).trimmed().toLower();
        if (!values.contains(key))
            values.insert(key, line.mid(eq + 1).trimmed());
    }
    return values;
}

int integer(const QHash<QString, QString>& values, const char* key, int fallback) {
    bool ok = false;
    const int v = values.value(QLatin1String(key)).toInt(&ok);
    return ok ? v : fallback;
}

} // namespace

QString settingsPath() {
    const QString explicitPath = qEnvironmentVariable("PISTEL_SETTINGS");
    if (!explicitPath.isEmpty())
        return explicitPath;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/pistel/PistelAuto.ini");
}

Settings readSettings(const QString& path) {
    Settings s;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return s;
    const auto values = parseIni(f.readAll());
    s.port1 = integer(values, "port/port1", s.port1);
    s.port2 = integer(values, "port/port2", s.port2);
    s.dbType = values.value(QStringLiteral("db/dbtype"), s.dbType);
    s.dbIndex = integer(values, "db/dbindex", s.dbIndex);
    s.dbMode = integer(values, "db/dbmode", s.dbMode);
    s.webBaseUrl = values.value(QStringLiteral("web/baseurl"), s.webBaseUrl);
    return s;
}

QByteArray formatSettings(const Settings& s) {
    return QStringLiteral("[Port]\nPort1=%1\nPort2=%2\n[DB]\nDbType=%3\nDbindex=%4\nDbmode=%5\n"
                          "[Web]\nBaseUrl=%6\n")
        .arg(s.port1)
        .arg(s.port2)
        .arg(s.dbType)
        .arg(s.dbIndex)
        .arg(s.dbMode)
        .arg(s.webBaseUrl)
        .toLocal8Bit();
}

void writeSettings(const QString& path, const Settings& s) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw std::runtime_error("cannot create the settings folder " + folder.toStdString());
    QSaveFile f(path); // the old file stays whole if writing fails
    if (!f.open(QIODevice::WriteOnly) || f.write(formatSettings(s)) < 0 || !f.commit())
        throw std::runtime_error("cannot write the settings file " + path.toStdString() + ": " +
                                 f.errorString().toStdString());
}

int terminalModeOf(const QStringList& arguments) {
    if (arguments.size() < 2)
        return 0;
    bool ok = false;
    const int v = arguments.at(1).trimmed().toInt(&ok);
    return ok ? v : 0;
}

QString buildDateLabel(const QDateTime& fileTime) {
    return fileTime.date().toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace pistel
