#include "Front.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <stdexcept>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString& why) {
    throw std::runtime_error(why.toStdString());
}

quint16 freePort() {
    QTcpServer s;
    if (!s.listen(QHostAddress::LocalHost, 0))
        fail(QStringLiteral("no free port"));
    return s.serverPort();
}

bool answers(quint16 port) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    return s.waitForConnected(200);
}

void waitForPort(quint16 port, QProcess& process, const char* what) {
    for (int i = 0; i < 100; ++i) {
        if (answers(port))
            return;
        if (process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    fail(QStringLiteral("%1 did not start: %2").arg(what, process.readAllStandardError()));
}

// Replaces `from` in `text`, which must occur exactly once: the shipped file changed if not.
void replaceOnce(QString& text, const QString& from, const QString& to) {
    if (text.count(from) != 1)
        fail(QStringLiteral("the site file has %1 times \"%2\", expected once")
                 .arg(text.count(from))
                 .arg(from));
    text.replace(from, to);
}

} // namespace

Front::Front(const QString& siteFile, const QString& pistelLive, const QString& key) {
    if (!dir_.isValid())
        fail(QStringLiteral("no temporary folder"));
    const QString d = dir_.path();
    // nginx's workers read and write below it.
    QFile::setPermissions(d, QFile::permissions(d) | QFile::ExeOther | QFile::ReadOther);

    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-days", "1", "-subj", "/CN=localhost", "-keyout", d + "/privkey.pem",
                   "-out", d + "/fullchain.pem"});
    if (!openssl.waitForFinished(20000) || openssl.exitCode() != 0)
        fail(QStringLiteral("openssl: ") + openssl.readAllStandardError());

    live_.setProcessChannelMode(QProcess::SeparateChannels);
    upstream_ = freePort();
    live_.start(pistelLive, {"--listen", "127.0.0.1", "--port", QString::number(upstream_), "--db",
                             d + "/live.sqlite", "--key", key});
    waitForPort(upstream_, live_, "pistel-live");

    QFile site(siteFile);
    if (!site.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read ") + siteFile);
    QString conf = QString::fromUtf8(site.readAll());
    https_ = freePort();
    http_ = freePort();
    replaceOnce(conf, QStringLiteral("server 127.0.0.1:8080;"),
                QStringLiteral("server 127.0.0.1:%1;").arg(upstream_));
    replaceOnce(conf, QStringLiteral("listen 80;"),
                QStringLiteral("listen 127.0.0.1:%1;").arg(http_));
    replaceOnce(conf, QStringLiteral("listen 443 ssl http2;"),
                QStringLiteral("listen 127.0.0.1:%1 ssl http2;").arg(https_));
    replaceOnce(conf, QStringLiteral("listen [::]:80;"), QString());
    replaceOnce(conf, QStringLiteral("listen [::]:443 ssl http2;"), QString());
    replaceOnce(conf, QStringLiteral("/etc/ssl/pistel-live/fullchain.pem"), d + "/fullchain.pem");
    replaceOnce(conf, QStringLiteral("/etc/ssl/pistel-live/privkey.pem"), d + "/privkey.pem");
    replaceOnce(conf, QStringLiteral("/var/cache/nginx/pistel-live"), d + "/cache");
    QFile out(d + "/site.conf");
    if (!out.open(QIODevice::WriteOnly) || out.write(conf.toUtf8()) < 0)
        fail(QStringLiteral("cannot write the site file"));
    out.close();

    // The frame Debian's nginx.conf gives a site, with the files in the temporary folder and a
    // log line per request that says whether it reached pistel-live.
    QString main =
        QStringLiteral("worker_processes 2;\nworker_rlimit_nofile 20000;\npid %1/nginx.pid;\n"
                       "error_log %1/error.log warn;\ndaemon off;\n"
                       "events { worker_connections 8192; }\n"
                       "http {\n  log_format front '$msec $request_method $uri $status "
                       "$upstream_cache_status $upstream_addr';\n  access_log %1/access.log front "
                       "buffer=256k;\n  log_subrequest on;\n"
                       "  client_body_temp_path %1/body;\n  proxy_temp_path %1/proxy;\n"
                       "  fastcgi_temp_path %1/fastcgi;\n  uwsgi_temp_path %1/uwsgi;\n  "
                       "scgi_temp_path %1/scgi;\n"
                       "  include %1/site.conf;\n}\n")
            .arg(d);
    if (geteuid() == 0)
        main.prepend(QStringLiteral("user root;\n"));
    QFile mainFile(d + "/nginx.conf");
    if (!mainFile.open(QIODevice::WriteOnly) || mainFile.write(main.toUtf8()) < 0)
        fail(QStringLiteral("cannot write nginx.conf"));
    mainFile.close();
    // Debian puts it in /usr/sbin, which a user's PATH may lack.
    QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (nginx.isEmpty())
        nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {"/usr/sbin"});
    if (nginx.isEmpty())
        fail(QStringLiteral("nginx is not installed (scripts/deps.sh installs it)"));
    nginx_.start(nginx, {"-p", d, "-c", d + "/nginx.conf", "-e", d + "/error.log"});
    waitForPort(https_, nginx_, "nginx");
}

void Front::flushLog() {
    ::kill(static_cast<pid_t>(nginx_.processId()), SIGUSR1);
    QThread::msleep(300);
}

Front::~Front() {
    for (QProcess* p : {&nginx_, &live_}) {
        p->terminate();
        if (!p->waitForFinished(5000))
            p->kill();
        p->waitForFinished(2000);
    }
}
