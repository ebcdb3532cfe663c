#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// pistel-live behind nginx on loopback, nginx configured by the shipped site file with only
// its addresses, ports and paths changed, and a self-signed certificate of its own.
class Front {
public:
    // Starts both; throws std::runtime_error with the reason when one cannot start.
    Front(const QString& siteFile, const QString& pistelLive, const QString& key);
    ~Front();

    quint16 httpsPort() const { return https_; }
    quint16 httpPort() const { return http_; }
    qint64 pistelLivePid() const { return live_.processId(); }
    QString accessLog() const { return dir_.filePath(QStringLiteral("access.log")); }
    // Makes nginx write out its buffered access log (it reopens its files).
    void flushLog();

private:
    QTemporaryDir dir_;
    QProcess live_, nginx_;
    quint16 upstream_ = 0, https_ = 0, http_ = 0;
};
