#pragma once

#include <QString>

namespace pistel::odbc {

// unixODBC keeps what it read of odbc.ini for a while (about 20 s in 2.3.11), so a server
// started again on a new port would be looked for on the old one until then. The data
// source's address (SERVER, PORT, SOCKET) is read from its file at each connection and given
// in the connection string, whose keywords the driver takes over the file's.
QString withCurrentAddress(const QString& connectionString);

// The keyword `key` of section `dataSource` in the odbc.ini text `ini`; empty when absent.
QString iniValue(const QByteArray& ini, const QString& dataSource, const QString& key);

} // namespace pistel::odbc
