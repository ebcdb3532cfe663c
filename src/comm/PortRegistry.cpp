#include "PortRegistry.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <stdexcept>

namespace pistel {
namespace {

QList<SerialPortEntry> parseUserEntries(const QString& text) {
    static const QRegularExpression entry(QStringLiteral(R"(^\s*COM(\d+)\s*=\s*(\S.*?)\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QList<SerialPortEntry> out;
    for (const QString& raw : text.split(QRegularExpression(QStringLiteral("[;\n]")))) {
        const QString line = raw.section(QLatin1Char('#'), 0, 0);
        const auto m = entry.match(line);
        if (!m.hasMatch())
            continue;
        const int n = m.captured(1).toInt();
        if (n > 0)
            out.append({n, QStringLiteral("COM%1").arg(n), m.captured(2)});
    }
    return out;
}

// "ttyUSB2" before "ttyUSB10": the trailing number compares as a number.
bool naturalLess(const QString& a, const QString& b) {
    static const QRegularExpression tail(QStringLiteral("^(.*?)(\\d*)$"));
    const auto ma = tail.match(a), mb = tail.match(b);
    if (ma.captured(1) != mb.captured(1))
        return ma.captured(1) < mb.captured(1);
    return ma.captured(2).toLongLong() < mb.captured(2).toLongLong();
}

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

QString PortRegistry::userFile() {
    const QString explicitFile = qEnvironmentVariable("PISTEL_PORTS_FILE");
    if (!explicitFile.isEmpty())
        return explicitFile;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/pistel/ports.conf");
}

QStringList PortRegistry::machineDevices(const QString& devRoot, const QString& sysRoot) {
    QStringList out;
    for (const char* pattern : {"ttyS*", "ttyUSB*", "ttyACM*", "ttyAMA*"}) {
        QStringList names =
            QDir(devRoot).entryList({QLatin1String(pattern)}, QDir::System | QDir::Files);
        std::sort(names.begin(), names.end(), naturalLess);
        for (const QString& name : names) {
            // The kernel makes ttyS nodes whether or not a UART is there; an empty one
            // reports type 0.
            if (name.startsWith(QLatin1String("ttyS"))) {
                const QString type =
                    readFile(sysRoot + QLatin1Char('/') + name + "/type").trimmed();
                if (type.isEmpty() || type == QLatin1String("0"))
                    continue;
            }
            out << devRoot + QLatin1Char('/') + name;
        }
    }
    return out;
}

PortRegistry PortRegistry::from(const QStringList& machine, const QString& userDefinitions) {
    PortRegistry r;
    const QList<SerialPortEntry> user = parseUserEntries(userDefinitions);
    auto taken = [&](int n) {
        return std::any_of(user.begin(), user.end(), [n](const auto& e) { return e.number == n; });
    };
    for (int i = 0; i < machine.size(); ++i) {
        if (!taken(i + 1))
            r.entries_.append({i + 1, QStringLiteral("COM%1").arg(i + 1), machine[i]});
    }
    for (const SerialPortEntry& e : user) {
        const bool duplicate = std::any_of(r.entries_.begin(), r.entries_.end(),
                                           [&](const auto& x) { return x.number == e.number; });
        if (!duplicate)
            r.entries_.append(e);
    }
    return r;
}

PortRegistry PortRegistry::scan() {
    return from(machineDevices(),
                qEnvironmentVariable("PISTEL_PORTS") + QLatin1Char('\n') + readFile(userFile()));
}

QStringList PortRegistry::names() const {
    QStringList out;
    for (const SerialPortEntry& e : entries_)
        out << e.name;
    return out;
}

QString PortRegistry::deviceOf(int number) const {
    for (const SerialPortEntry& e : entries_)
        if (e.number == number)
            return e.device;
    return {};
}

int portNumberOf(const QString& entry) {
    const QString digits = entry.mid(3, 2).trimmed();
    bool ok = false;
    const int n = digits.toInt(&ok, 10);
    if (!ok)
        throw std::invalid_argument("'" + entry.toStdString() + "' names no port number");
    return n;
}

} // namespace pistel
