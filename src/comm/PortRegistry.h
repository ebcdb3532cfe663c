#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace pistel {

// One serial port as the operator sees it: "COM" + number, and the device behind it.
struct SerialPortEntry {
    int number = 0;
    QString name;   // "COM3"
    QString device; // "/dev/ttyUSB0"
};

// The serial ports of this machine, named "COM" + number as the original platform names
// them. The machine's own serial devices (/dev/ttyS* with hardware behind them, then
// /dev/ttyUSB*, /dev/ttyACM*, /dev/ttyAMA*, each in natural order) are COM1, COM2, ...;
// entries a user defines map a COM number to any device path (an adapter by its stable
// /dev/serial/by-id name, a pseudo-terminal, a socat link) and take the place of a machine
// entry with the same number. User entries come from PISTEL_PORTS ("COM7=/dev/pts/3;
// COM8=/tmp/ttyV0") and from the file PISTEL_PORTS_FILE, else $XDG_CONFIG_HOME/pistel/
// ports.conf, else ~/.config/pistel/ports.conf (one "COMn=/path" a line, # comments).
class PortRegistry {
public:
    // Reads the machine and the user entries now.
    static PortRegistry scan();
    // From given parts (for tests): machine devices in order, then user definitions.
    static PortRegistry from(const QStringList& machineDevices, const QString& userDefinitions);

    const QList<SerialPortEntry>& entries() const { return entries_; }
    QStringList names() const;
    // The device of a port number; empty when there is none.
    QString deviceOf(int number) const;

    static QString userFile();
    static QStringList machineDevices(const QString& devRoot = QStringLiteral("/dev"),
                                      const QString& sysRoot = QStringLiteral("/sys/class/tty"));

private:
    QList<SerialPortEntry> entries_;
};

// The port number in a port list entry: its characters 4 and 5 ("COM3" gives 3, "COM12"
// 12, "COM123" 12), blanks removed. Throws std::invalid_argument when they are no number.
int portNumberOf(const QString& entry);

} // namespace pistel
