// Requests per second the live results server answers: the page's data (what every
// spectator's phone asks for each 700 ms) and single results (what the workstation sends).
//   live_bench PISTEL_LIVE_BINARY [seconds]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {

// Keeps `parallel` requests in flight for `seconds`; returns the answered ones per second.
double rate(QNetworkAccessManager& net, const std::function<QNetworkRequest(int)>& next,
            int parallel, double seconds) {
    QElapsedTimer clock;
    clock.start();
    int sent = 0, answered = 0, inFlight = 0;
    std::function<void()> send = [&] {
        ++inFlight;
        QNetworkReply* reply = net.get(next(sent++));
        QObject::connect(reply, &QNetworkReply::finished, [&, reply] {
            --inFlight;
            if (reply->error() == QNetworkReply::NoError)
                ++answered;
            reply->deleteLater();
            if (clock.elapsed() < seconds * 1000)
                send();
        });
    };
    for (int i = 0; i < parallel; ++i)
        send();
    while (inFlight > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return answered / (clock.elapsed() / 1000.0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc < 2) {
        QTextStream(stderr) << "usage: live_bench PISTEL_LIVE_BINARY [seconds]\n";
        return 2;
    }
    const double seconds = argc > 2 ? QString(argv[2]).toDouble() : 3.0;
    QTemporaryDir dir;
    QProcess server;
    server.start(argv[1], {"--listen", "127.0.0.1", "--port", "18093", "--db",
                           dir.filePath("live.sqlite"), "--key", "bench"});
    if (!server.waitForReadyRead(10000)) {
        QTextStream(stderr) << "the server did not start\n";
        return 1;
    }
    const QString base = "http://127.0.0.1:18093/";
    QNetworkAccessManager net;
    auto keyed = [](const QString& url) {
        QNetworkRequest r{QUrl(url)};
        r.setRawHeader("X-Pistel-Key", "bench");
        return r;
    };
    net.get(keyed(base + "settaikai.php?tcode=ASTB10071&tdummy=1"));
    QThread::msleep(200);
    const double updates = rate(
        net,
        [&](int i) {
            return keyed(QStringLiteral("%1sokuhoup.php?tcode=ASTB10071&zek=%2&st1=1:00.00&st2=&"
                                        "ttime=1:%3.00&fl2=F&timeod=00:01:%3.00&altime=&x")
                             .arg(base)
                             .arg(i % 300, 3, 10, QLatin1Char('0'))
                             .arg(i % 60, 2, 10, QLatin1Char('0')));
        },
        6, seconds);
    const double pages = rate(
        net, [&](int) { return QNetworkRequest(QUrl(base + "data")); }, 6, seconds);
    out << QStringLiteral("live results server, 300 results, 6 connections:\n"
                          "  page data: %1 requests/s\n  single results: %2 requests/s\n")
               .arg(pages, 0, 'f', 0)
               .arg(updates, 0, 'f', 0);
    server.kill();
    server.waitForFinished();
    return 0;
}
