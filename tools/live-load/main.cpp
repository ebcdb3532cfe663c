// Spectators' phones against pistel-live behind the shipped nginx configuration, on loopback:
// starts both, feeds results through the front as the workstation would while the phones
// poll, and reports what they saw as JSON.
#include "Front.h"
#include "Phones.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTime>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

const QByteArray kKey = "load-test-key";
const QByteArray kCode = "LOAD";

qint64 percentile(std::vector<qint64> values, double p) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// A request through the front; returns its status (0: no answer).
int send(QNetworkAccessManager& net, const QString& url, const QByteArray& body,
         const QByteArray& key = kKey) {
    QNetworkRequest r{QUrl(url)};
    r.setTransferTimeout(5000);
    r.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain; charset=utf-8");
    if (!key.isEmpty())
        r.setRawHeader("X-Pistel-Key", key);
    QNetworkReply* reply = body.isNull() ? net.get(r) : net.post(r, body);
    reply->ignoreSslErrors();
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The race state with the first `finishers` competitors finished.
QByteArray raceState(int finishers, int seq) {
    QByteArray s = "seq," + QByteArray::number(seq) + "\nnow," +
                   QTime::currentTime().toString("HH:mm:ss.zzz").toLatin1() + "\nrun,1\n";
    for (int i = 0; i < finishers; ++i) {
        const int hundredths = 6000 + (i * 737) % 900;
        const QByteArray t = QByteArray::number(hundredths / 6000) + ":" +
                             QByteArray::number(hundredths / 100 % 60).rightJustified(2, '0') +
                             "." + QByteArray::number(hundredths % 100).rightJustified(2, '0');
        s += "result," + QByteArray::number(101 + i) + "," + t + ",," + t + ",00:0" + t +
             ",10:" + QByteArray::number(10 + i % 50) + ":00.0000\n";
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Phones polling pistel-live behind nginx."));
    parser.addHelpOption();
    parser.addOptions({
        {"site", "The nginx site file to test.", "file", "deploy/nginx/pistel-live.conf"},
        {"server", "The pistel-live program.", "file", "build/tools/pistel-live"},
        {"phones", "How many phones.", "n", "2000"},
        {"seconds", "How long they poll.", "n", "30"},
        {"every", "A new result every this many milliseconds, on average.", "ms", "3000"},
    });
    parser.process(app);
    const int phones = parser.value("phones").toInt(), seconds = parser.value("seconds").toInt();
    QTextStream err(stderr);
    try {
        Front front(parser.value("site"), parser.value("server"), QString::fromLatin1(kKey));
        const QString base = QStringLiteral("https://127.0.0.1:%1/").arg(front.httpsPort());
        QNetworkAccessManager net;
        // The write paths: refused by nginx without the key header, passed through with it.
        QJsonObject checks{
            {"writeWithoutKey", send(net, base + "race.php?code=" + kCode, raceState(0, 1), {})},
            {"plainHttp",
             send(net, QStringLiteral("http://127.0.0.1:%1/").arg(front.httpPort()), QByteArray())},
            {"page", send(net, base, QByteArray())}};
        QByteArray list;
        for (int i = 0; i < 99; ++i)
            list += QByteArray::number(101 + i) + ",選手" + QByteArray::number(101 + i) + ",,001\n";
        checks["startList"] = send(net, base + "startlist.php?code=" + kCode, list);
        checks["firstState"] = send(net, base + "race.php?code=" + kCode, raceState(0, 1));

        Phones crowd(front.httpsPort(), "/data?code=" + kCode + "&class=001", phones, seconds);
        int finishers = 0, seq = 1, failedWrites = 0;
        // At random moments around the given interval, so that results fall at every point of
        // the cache's second.
        const int every = parser.value("every").toInt();
        QTimer results;
        results.setSingleShot(true);
        auto again = [&] { results.start(every / 2 + QRandomGenerator::global()->bounded(every)); };
        QObject::connect(&results, &QTimer::timeout, [&] {
            again();
            if (finishers >= 99 || crowd.clock().elapsed() > seconds * 1000LL - 3000)
                return;
            ++finishers;
            crowd.watch(QByteArray::number(100 + finishers), crowd.clock().elapsed());
            if (send(net, base + "race.php?code=" + kCode, raceState(finishers, ++seq)) != 200)
                ++failedWrites;
        });
        again();
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (crowd.finished())
                loop.quit();
        });
        check.start(100);
        loop.exec();
        results.stop();
        front.flushLog();

        // What reached pistel-live: the page-data requests nginx logged with an upstream
        // (background updates included, as subrequests).
        qint64 upstream = 0, served = 0;
        QFile log(front.accessLog());
        log.open(QIODevice::ReadOnly);
        while (!log.atEnd()) {
            const QList<QByteArray> f = log.readLine().trimmed().split(' ');
            if (f.size() < 6 || f[2] != "/data")
                continue;
            ++served;
            if (f[5] != "-")
                ++upstream;
        }
        // pistel-live's memory after the crowd.
        QFile status(QStringLiteral("/proc/%1/status").arg(front.pistelLivePid()));
        status.open(QIODevice::ReadOnly);
        qint64 rss = 0, hwm = 0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).trimmed().split(' ')[0].toLongLong();
            if (line.startsWith("VmHWM:"))
                hwm = line.mid(6).trimmed().split(' ')[0].toLongLong();
        }
        std::vector<qint64> first, last, all;
        int counted = 0, everyPhone = 0, within2s = 0, deliveries = 0;
        for (const Phones::Watched& w : crowd.watched) {
            ++counted;
            if (static_cast<int>(w.delays.size()) == phones)
                ++everyPhone;
            if (w.delays.empty())
                continue;
            first.push_back(*std::min_element(w.delays.begin(), w.delays.end()));
            last.push_back(*std::max_element(w.delays.begin(), w.delays.end()));
            for (qint64 d : w.delays) {
                all.push_back(d);
                ++deliveries;
                within2s += d <= 2000;
            }
        }
        const QJsonObject report{
            {"phones", phones},
            {"seconds", seconds},
            {"checks", checks},
            {"requests", static_cast<qint64>(crowd.latencies.size())},
            {"status200", crowd.status200},
            {"status304", crowd.status304},
            {"errors", crowd.errors},
            {"latencyP50Ms", percentile(crowd.latencies, 0.5)},
            {"latencyP99Ms", percentile(crowd.latencies, 0.99)},
            {"settledLatencyP50Ms", percentile(crowd.settledLatencies, 0.5)},
            {"settledLatencyP99Ms", percentile(crowd.settledLatencies, 0.99)},
            {"nginxDataRequests", served},
            {"upstreamDataRequests", upstream},
            {"upstreamPerSecond", static_cast<double>(upstream) / seconds},
            {"results", counted},
            {"resultsOnEveryPhone", everyPhone},
            {"failedWrites", failedWrites},
            {"firstPhoneP50Ms", percentile(first, 0.5)},
            {"firstPhoneMaxMs", percentile(first, 1.0)},
            {"lastPhoneP50Ms", percentile(last, 0.5)},
            {"lastPhoneMaxMs", percentile(last, 1.0)},
            {"deliveryP99Ms", percentile(all, 0.99)},
            {"deliveriesWithin2sPercent", deliveries ? 100.0 * within2s / deliveries : 0.0},
            {"pistelLiveRssKb", rss},
            {"pistelLivePeakRssKb", hwm},
        };
        std::fputs(QJsonDocument(report).toJson().constData(), stdout);
        return 0;
    } catch (const std::exception& e) {
        err << "pistel-live-load: " << e.what() << "\n";
        return 1;
    }
}
