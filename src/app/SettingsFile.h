#pragma once

#include "comm/SerialLine.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace pistel {

// The workstation's settings file: ports and database profile, read at start and written
// when the main window closes.
struct Settings {
    int port1 = 0;    // the timer port number, 0 for none
    int port2 = 0;    // the display board port number
    SerialLine line1; // line settings of the timer port
    SerialLine line2; // and of the display board port
    int port3 = 0;    // the second timer's port (system B), 0 for none
    SerialLine line3;
    QString dbType = QStringLiteral("MySQL");
    int dbIndex = 0; // the profile of the last successful connection
    int dbMode = 0;  // the profile the last switch attempted
    QString webBaseUrl = QStringLiteral("http://localhost/sokuho/"); // live results scripts
    int dbTimeout = 3; // seconds before connecting, reading or writing gives up
    QString webKey;    // the live results server's write key
};

// PISTEL_SETTINGS when set; else PistelAuto.ini in $XDG_CONFIG_HOME/pistel, else in
// ~/.config/pistel.
QString settingsPath();

// A missing file or key gives the default; so does an integer key whose value is not a
// whole number.
Settings readSettings(const QString& path);
// The file as written: [Port] Port1 Port2 and the line settings of both ports (Baud1
// DataBits1 Parity1 StopBits1, the same with 2; parity N, O or E, stop bits 1, 1.5 or 2),
// [DB] DbType Dbindex Dbmode Timeout, [Web] BaseUrl Key, one key a line.
QByteArray formatSettings(const Settings& settings);
// Writes the file, creating its folder; throws std::runtime_error when it cannot.
void writeSettings(const QString& path, const Settings& settings);

// The terminal-mode flag from the first command-line argument (0 when missing or no number).
int terminalModeOf(const QStringList& arguments);
// The build date label: the program file's date as day/month/year ("20/12/2026").
QString buildDateLabel(const QDateTime& fileTime);

} // namespace pistel
