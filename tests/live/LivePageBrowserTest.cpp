// The live results page in a real browser (Debian's chromium, headless), driven over its
// DevTools protocol: it shows the ranking after a batch upload, updates by itself after a
// single result without a reload, and fits a 360 px wide phone screen.
#include "live/LiveServer.h"
#include "support/WaitFor.h"
#include "web/LiveResults.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWebSocket>
#include <gtest/gtest.h>

using namespace pistel;
using pistel::test::waitFor;

namespace {

QByteArray get(QNetworkAccessManager& net, const QString& url, const QByteArray& post = {},
               const QByteArray& contentType = {}) {
    QNetworkRequest r{QUrl(url)};
    r.setRawHeader("X-Pistel-Key", "k");
    if (!contentType.isEmpty())
        r.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    QNetworkReply* reply = post.isNull() ? net.get(r) : net.post(r, post);
    waitFor([&] { return reply->isFinished(); }, 10000);
    reply->deleteLater();
    return reply->readAll();
}

// A headless chromium showing one page, and its DevTools connection.
class Browser {
public:
    explicit Browser(const QString& url) {
        process_.start(QStringLiteral("chromium"),
                       {"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                        "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync",
                        "--user-data-dir=" + profile_.path(), "--remote-debugging-port=0",
                        "--window-size=360,640", url});
        const QString portFile = profile_.filePath("DevToolsActivePort");
        if (!waitFor([&] { return QFile::exists(portFile) && QFileInfo(portFile).size() > 0; },
                     20000))
            return;
        QFile f(portFile);
        f.open(QIODevice::ReadOnly);
        const QByteArray port = f.readLine().trimmed();
        QNetworkAccessManager net;
        for (const QJsonValue& t :
             QJsonDocument::fromJson(get(net, "http://127.0.0.1:" + port + "/json")).array()) {
            if (t["type"] == "page")
                socket_.open(QUrl(t["webSocketDebuggerUrl"].toString()));
        }
        QObject::connect(&socket_, &QWebSocket::textMessageReceived,
                         [this](const QString& m) { replies_ << m; });
        waitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; }, 10000);
    }
    ~Browser() {
        socket_.close();
        process_.kill();
        process_.waitForFinished(5000);
    }
    bool ready() const { return socket_.state() == QAbstractSocket::ConnectedState; }

    QJsonObject call(const QString& method, const QJsonObject& params = {}) {
        const int id = ++id_;
        socket_.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}})
                .toJson(QJsonDocument::Compact)));
        QJsonObject answer;
        waitFor(
            [&] {
                for (const QString& m : replies_) {
                    const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
                    if (o["id"].toInt() == id) {
                        answer = o["result"].toObject();
                        return true;
                    }
                }
                return false;
            },
            10000);
        return answer;
    }
    QJsonValue evaluate(const QString& expression) {
        return call("Runtime.evaluate",
                    {{"expression", expression}, {"returnByValue", true}})["result"]
            .toObject()["value"];
    }

private:
    QTemporaryDir profile_;
    QProcess process_;
    QWebSocket socket_;
    QStringList replies_;
    int id_ = 0;
};

} // namespace

TEST(LivePageBrowser, RankingAfterABatchAndUpdatesWithoutReload) {
    if (QStandardPaths::findExecutable("chromium").isEmpty())
        GTEST_FAIL() << "chromium is not installed (scripts/deps.sh installs it)";
    QTemporaryDir dir;
    live::LiveStore store(dir.filePath("live.sqlite"));
    live::LiveServer server(store, "k");
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    ASSERT_GT(port, 0);
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    QNetworkAccessManager net;
    get(net,
        base + "startlist.php?code=K1&title=" + QUrl::toPercentEncoding("第1回 市民スキー大会"),
        "008,山田 太郎,北高スキー部,007\n009,佐藤 花子,南高,007\n010,鈴木 一郎,<b>東高</b>,007\n");
    get(net, base + "settaikai.php?tcode=ASTK10071&tdummy=10:00:00");
    BatchFile batch("K1", "1");
    batch.add({"0008", "00:01:23.45", "", "F", "", "", "10:31:02.1234", ""});
    batch.add({"0009", "00:01:20.00", "", "F", "", "", "10:32:00.0000", ""});
    get(net, base + "SokuhoTextUpdate.php", multipartBody("bb", batch.bytes()),
        "multipart/form-data; boundary=bb");

    Browser browser(base);
    ASSERT_TRUE(browser.ready()) << "no DevTools connection to chromium";
    const QString rows = "Array.from(document.querySelectorAll('#rows tr')).map(r => "
                         "r.innerText.replace(/\\s+/g, ' ').trim()).join('|')";
    ASSERT_TRUE(waitFor([&] { return browser.evaluate(rows).toString().count('|') == 1; }, 15000))
        << browser.evaluate(rows).toString().toStdString();
    const QStringList ranked = browser.evaluate(rows).toString().split('|');
    EXPECT_TRUE(ranked[0].startsWith("1 009 佐藤 花子")) << ranked[0].toStdString();
    EXPECT_TRUE(ranked[1].contains("+3.45")) << ranked[1].toStdString();
    EXPECT_EQ(browser.evaluate("document.getElementById('title').textContent").toString(),
              "第1回 市民スキー大会");
    browser.evaluate("window.notReloaded = true");

    // One competitor's result arrives: the page shows it within a second, not reloaded,
    // highlighted, and markup in a team name stays text.
    get(net, base + "sokuhoup.php?tcode=ASTK10071&zek=010&st1=1:10.00&st2=&ttime=1:10.00&fl2=F"
                    "&timeod=00:01:10.00&altime=10:33:00.0000&10:33:01");
    ASSERT_TRUE(waitFor([&] { return browser.evaluate(rows).toString().count('|') == 2; }, 3000));
    EXPECT_TRUE(browser.evaluate("window.notReloaded === true").toBool());
    const QStringList updated = browser.evaluate(rows).toString().split('|');
    EXPECT_TRUE(updated[0].startsWith("1 010 鈴木 一郎 <b>東高</b>")) << updated[0].toStdString();
    EXPECT_EQ(browser.evaluate("document.querySelector('#rows tr').className").toString(),
              "latest");
    // Run 2 begins: only the two-run total is ranked, and the run-1 ranking stays beside it.
    get(net, base + "sokuhoup.php?tcode=ASTK10071&zek=009&st1=1:20.00&st2=1:19.00&ttime=2:39.00"
                    "&fl2=F&timeod=00:02:39.00&altime=11:00:00.0000&11:00:01");
    const QString firsts = "Array.from(document.querySelectorAll('#run1rows tr')).map(r => "
                           "r.innerText.replace(/\\s+/g, ' ').trim()).join('|')";
    ASSERT_TRUE(waitFor([&] { return browser.evaluate(firsts).toString().count('|') == 2; }, 3000))
        << browser.evaluate(firsts).toString().toStdString();
    const QStringList totals = browser.evaluate(rows).toString().split('|');
    EXPECT_TRUE(totals[0].startsWith("1 009 佐藤 花子")) << totals[0].toStdString();
    EXPECT_TRUE(totals[0].contains("2:39.00"));
    EXPECT_TRUE(totals[1].startsWith("010 ")) << totals[1].toStdString(); // unranked
    const QStringList run1 = browser.evaluate(firsts).toString().split('|');
    EXPECT_TRUE(run1[0].startsWith("1 010 鈴木 一郎")) << run1[0].toStdString();
    EXPECT_TRUE(run1[1].startsWith("2 009 佐藤 花子") && run1[1].contains("+10.00"))
        << run1[1].toStdString();
    EXPECT_TRUE(run1[2].startsWith("3 008 山田 太郎")) << run1[2].toStdString();
    // The workstation's statuses: 008 did not finish run 2; listed as such, out of the ranking.
    get(net, base + "status.php?code=K1", "008,2,DNF\nbogus\n", "text/plain");
    const QString outs = "Array.from(document.querySelectorAll('#outrows tr')).map(r => "
                         "r.innerText.replace(/\\s+/g, ' ').trim()).join('|')";
    ASSERT_TRUE(waitFor([&] { return !browser.evaluate(outs).toString().isEmpty(); }, 3000));
    EXPECT_EQ(browser.evaluate(outs).toString(), "008 山田 太郎 北高スキー部 2本目 途中棄権 DNF");
    EXPECT_FALSE(browser.evaluate(rows).toString().contains("008"));
    // A phone screen: nothing scrolls sideways.
    EXPECT_TRUE(
        browser.evaluate("document.documentElement.scrollWidth <= window.innerWidth").toBool());
    const QJsonObject shot = browser.call("Page.captureScreenshot", {{"format", "png"}});
    const QString folder = QStringLiteral(PISTEL_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    QFile png(folder + "/live-page.png");
    ASSERT_TRUE(png.open(QIODevice::WriteOnly));
    png.write(QByteArray::fromBase64(shot["data"].toString().toLatin1()));

    // Another class of the competition, chosen on the page; the choice is in the address.
    get(net, base + "startlist.php?code=K1", "011,田中 次郎,西高,008\n", "text/plain");
    get(net, base + "sokuhoup.php?tcode=ASTK10081&zek=011&st1=1:30.00&st2=&ttime=1:30.00&fl2=F"
                    "&timeod=00:01:30.00&altime=10:40:00.0000&10:40:01");
    browser.call("Page.navigate", {{"url", base + "?code=K1&class=008"}});
    ASSERT_TRUE(
        waitFor([&] { return browser.evaluate(rows).toString().startsWith("1 011"); }, 5000))
        << browser.evaluate(rows).toString().toStdString();
    ASSERT_TRUE(waitFor(
        [&] {
            return browser.evaluate("document.getElementById('choice').value").toString() ==
                   "K1/008";
        },
        5000))
        << browser
               .evaluate("Array.from(document.getElementById('choice').options).map(o => "
                         "o.value + '=' + o.text).join('|')")
               .toString()
               .toStdString();
    EXPECT_GE(browser.evaluate("document.getElementById('choice').options.length").toInt(), 3);
    browser.evaluate("const s = document.getElementById('choice'); s.value = 'K1/007';"
                     "s.dispatchEvent(new Event('change'))");
    ASSERT_TRUE(
        waitFor([&] { return browser.evaluate(rows).toString().startsWith("1 009"); }, 5000))
        << browser.evaluate(rows).toString().toStdString();
    EXPECT_EQ(browser.evaluate("location.search").toString(), "?code=K1&class=007");
}
