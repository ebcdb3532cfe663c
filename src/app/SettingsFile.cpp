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

int integer(const QHash<QString, QString>& values, const QByteArray& key, int fallback) {
    bool ok = false;
    const int v = values.value(QString::fromLatin1(key)).toInt(&ok);
    return ok ? v : fallback;
}

const char kParities[] = "NOE";
const char* const kStopBits[] = {"1", "1.5", "2"};

SerialLine readLine(const QHash<QString, QString>& values, const QString& n) {
    SerialLine line;
    auto key = [&](const char* name) { return QStringLiteral("port/") + name + n; };
    line.baud = integer(values, key("baud").toLatin1(), line.baud);
    line.dataBits = integer(values, key("databits").toLatin1(), line.dataBits);
    const qsizetype parity =
        QByteArray(kParities).indexOf(values.value(key("parity")).toUpper().toLatin1());
    if (parity >= 0 && values.value(key("parity")).size() == 1)
        line.parity = static_cast<TCommParityBits>(parity);
    for (int i = 0; i < 3; ++i) {
        if (values.value(key("stopbits")) == QLatin1String(kStopBits[i]))
            line.stopBits = static_cast<TCommStopBits>(i);
    }
    return line;
}

QString formatLine(const SerialLine& line, int n) {
    const int parity = line.parity < 3 ? line.parity : 0;
    const int stop = line.stopBits < 3 ? line.stopBits : 0;
    return QStringLiteral("Baud%1=%2\nDataBits%1=%3\nParity%1=%4\nStopBits%1=%5\n")
        .arg(n)
        .arg(line.baud)
        .arg(line.dataBits)
        .arg(QLatin1Char(kParities[parity]))
        .arg(QLatin1String(kStopBits[stop]));
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
    s.line1 = readLine(values, QStringLiteral("1"));
    s.line2 = readLine(values, QStringLiteral("2"));
    s.port3 = integer(values, "port/port3", s.port3);
    s.line3 = readLine(values, QStringLiteral("3"));
    s.dbType = values.value(QStringLiteral("db/dbtype"), s.dbType);
    s.dbIndex = integer(values, "db/dbindex", s.dbIndex);
    s.dbMode = integer(values, "db/dbmode", s.dbMode);
    s.dbTimeout = integer(values, "db/timeout", s.dbTimeout);
    if (s.dbTimeout < 1)
        s.dbTimeout = Settings{}.dbTimeout;
    s.webBaseUrl = values.value(QStringLiteral("web/baseurl"), s.webBaseUrl);
    s.webKey = values.value(QStringLiteral("web/key"), s.webKey);
    return s;
}

QByteArray formatSettings(const Settings& s) {
    return (QStringLiteral("[Port]\nPort1=%1\nPort2=%2\nPort3=%3\n")
                .arg(s.port1)
                .arg(s.port2)
                .arg(s.port3) +
            formatLine(s.line1, 1) + formatLine(s.line2, 2) + formatLine(s.line3, 3) +
            QStringLiteral(
                "[DB]\nDbType=%1\nDbindex=%2\nDbmode=%3\nTimeout=%4\n[Web]\nBaseUrl=%5\nKey=%6\n"))
        // One pass: a value holding "%2F" (an escaped URL) must not take another's place.
        .arg(s.dbType, QString::number(s.dbIndex), QString::number(s.dbMode),
             QString::number(s.dbTimeout), s.webBaseUrl, s.webKey)
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
