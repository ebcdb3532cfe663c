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
        "008,山田 太郎,北高スキー部,007\n009,佐藤 花子,南高,007\n010,鈴木 一郎,<b>東高</b>,007\n"
        "012,高橋 三郎,中央高,007\n");
    get(net, base + "settaikai.php?tcode=ASTK10071&tdummy=10:00:00");
    BatchFile batch("K1", "1");
    batch.add({"0008", "00:01:23.45", "", "F", "", "", "10:31:02.1234", ""});
    batch.add({"0009", "00:01:20.00", "", "F", "", "", "10:32:00.0000", ""});
    get(net, base + "SokuhoTextUpdate.php", multipartBody("bb", batch.bytes()),
        "multipart/form-data; boundary=bb");

    Browser browser(base);
    ASSERT_TRUE(browser.ready()) << "no DevTools connection to chromium";
    // This phone's clock is an hour and a bit fast: running times must not show it.
    browser.call("Page.addScriptToEvaluateOnNewDocument",
                 {{"source", "const realNow = Date.now; Date.now = () => realNow() + 3723000;"}});
    browser.call("Page.navigate", {{"url", base}});
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
    const QString official = "document.getElementById('official').textContent";
    EXPECT_EQ(browser.evaluate(official).toString(), "非公式");
    EXPECT_TRUE(totals[0].contains("2:39.00"));
    EXPECT_TRUE(totals[1].startsWith("010 ")) << totals[1].toStdString(); // unranked
    const QStringList run1 = browser.evaluate(firsts).toString().split('|');
    EXPECT_TRUE(run1[0].startsWith("1 010 鈴木 一郎")) << run1[0].toStdString();
    EXPECT_TRUE(run1[1].startsWith("2 009 佐藤 花子") && run1[1].contains("+10.00"))
        << run1[1].toStdString();
    EXPECT_TRUE(run1[2].startsWith("3 008 山田 太郎")) << run1[2].toStdString();
    // The workstation's race state: 008 did not finish run 2, 010 is on course (started
    // 12.3 s ago by the workstation's clock), 012 is next.
    const QDateTime now = QDateTime::currentDateTime();
    get(net, base + "race.php?code=K1",
        "seq,1\nnow," + now.time().toString("HH:mm:ss.zzz").toLatin1() +
            "\nrun,2\n"
            "result,008,1:23.45,,1:23.45,00:01:23.45,10:31:02.1234\n"
            "result,009,1:20.00,1:19.00,2:39.00,00:02:39.00,11:00:00.0000\n"
            "result,010,1:10.00,,1:10.00,00:01:10.00,10:33:00.0000\n"
            "status,008,2,DNF\nbogus\ncourse,010," +
            now.addMSecs(-12300).time().toString("HH:mm:ss.zzz").toLatin1() +
            "\nnext,012\npoints,009,0.00,23.60\nofficial,2027-01-17 11:02\n",
        "text/plain");
    const QString outs = "Array.from(document.querySelectorAll('#outrows tr')).map(r => "
                         "r.innerText.replace(/\\s+/g, ' ').trim()).join('|')";
    ASSERT_TRUE(waitFor([&] { return !browser.evaluate(outs).toString().isEmpty(); }, 3000));
    EXPECT_EQ(browser.evaluate(outs).toString(), "008 山田 太郎 北高スキー部 2本目 途中棄権 DNF");
    // Each run's rank beside its time (009: second in run 1 behind 010, first in run 2), the
    // points the workstation sent, and official since the time it sent.
    const QString leader = browser.evaluate(rows).toString().split('|').first();
    for (const char* part : {"1本目 1:20.00 (2)", "2本目 1:19.00 (1)", "P 0.00", "計 23.60"})
        EXPECT_TRUE(leader.contains(QString::fromUtf8(part)))
            << part << " in " << leader.toStdString();
    EXPECT_EQ(browser.evaluate(official).toString(), "公式（発表 2027-01-17 11:02）");
    EXPECT_FALSE(browser.evaluate(rows).toString().contains("008"));
    EXPECT_TRUE(browser.evaluate(firsts).toString().contains("008 山田 太郎")); // run 1 stands
    const QString course = "document.querySelector('#courserows tr') ? document.querySelector("
                           "'#courserows tr').innerText.replace(/\\s+/g, ' ').trim() : ''";
    ASSERT_TRUE(waitFor([&] { return !browser.evaluate(course).toString().isEmpty(); }, 3000));
    // The running time counts up on the phone from the start, by the server's clock.
    auto running = [&] {
        const QString text = browser.evaluate(course).toString();
        const QStringList parts = text.split(' ');
        return parts.last().toDouble();
    };
    EXPECT_TRUE(browser.evaluate(course).toString().startsWith("010 鈴木 一郎"));
    const double first = running();
    EXPECT_NEAR(
        first, 12.3 + (QDateTime::currentMSecsSinceEpoch() - now.toMSecsSinceEpoch()) / 1000.0, 1.2)
        << browser.evaluate(course).toString().toStdString();
    waitFor([] { return false; }, 1000);
    EXPECT_NEAR(running() - first, 1.0, 0.3);
    EXPECT_EQ(browser
                  .evaluate("document.querySelector('#nextrows tr').innerText.replace(/\\s+/g, "
                            "' ').trim()")
                  .toString(),
              "012 高橋 三郎 中央高");

    // Sunlight: every text on the page has a contrast of at least 7:1 to what is behind it.
    const QString contrast = R"JS(
      (() => {
        const lum = c => { const v = c.match(/[\d.]+/g).slice(0, 3).map(x => x / 255)
          .map(x => x <= 0.03928 ? x / 12.92 : Math.pow((x + 0.055) / 1.055, 2.4));
          return 0.2126 * v[0] + 0.7152 * v[1] + 0.0722 * v[2]; };
        const back = e => { for (; e; e = e.parentElement) { const c = getComputedStyle(e)
          .backgroundColor; if (!/rgba\(.*, 0\)$/.test(c) && c !== 'transparent') return c; }
          return 'rgb(255, 255, 255)'; };
        const bad = [];
        let checked = 0;
        for (const e of document.querySelectorAll('body *')) {
          const own = Array.from(e.childNodes).some(n => n.nodeType === 3 && n.textContent.trim());
          if (!own || !e.getClientRects().length || e.closest('[hidden], .sr')) continue;
          ++checked;
          const a = lum(getComputedStyle(e).color), b = lum(back(e));
          const ratio = (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
          if (ratio < 7) bad.push(e.textContent.trim().slice(0, 20) + ' ' + ratio.toFixed(2));
        }
        return checked + ' checked; ' + bad.join(' | ');
      })())JS";
    const QString verdict = browser.evaluate(contrast).toString();
    EXPECT_TRUE(verdict.endsWith("checked; ") && verdict.section(' ', 0, 0).toInt() > 30)
        << verdict.toStdString();

    // A screen reader: each table is named by its heading and has column headers, the choice
    // has a label, and the latest finisher is announced in a polite live region.
    browser.call("Accessibility.enable");
    QStringList tables, headers, combos;
    for (const QJsonValue& n : browser.call("Accessibility.getFullAXTree")["nodes"].toArray()) {
        const QString role = n["role"]["value"].toString(), name = n["name"]["value"].toString();
        if (role == "table")
            tables << name;
        if (role == "columnheader")
            headers << name;
        if (role == "combobox")
            combos << name;
    }
    for (const char* table :
         {"コース上", "次のスタート", "順位", "１本目の順位", "欠場・途中棄権・失格"})
        EXPECT_TRUE(tables.contains(table)) << table << " in " << tables.join('|').toStdString();
    for (const char* header : {"順位", "No", "氏名・所属", "タイム", "差", "走行中", "状態"})
        EXPECT_TRUE(headers.contains(header)) << header;
    EXPECT_EQ(combos, QStringList{"大会とクラス"});
    EXPECT_EQ(browser.evaluate("document.getElementById('news').getAttribute('aria-live')"),
              "polite");
    EXPECT_TRUE(browser.evaluate("document.getElementById('news').textContent")
                    .toString()
                    .startsWith("ゴール No.009 佐藤 花子 2:39.00 1位"))
        << browser.evaluate("document.getElementById('news').textContent").toString().toStdString();
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
        // Run 2 is in progress: 011 has run 1 only, so it is listed, not ranked.
        waitFor([&] { return browser.evaluate(rows).toString().startsWith("011 田中"); }, 5000))
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

    // A title as long as real ones: the closed choice on the phone still shows its class
    // whole (the title heads the page and the choice's group).
    store.setTitle("K1", "第１回　白馬ジャイアントスラローム大会　兼　北信越ジュニア選考会");
    store.setClassName("007", "男子シニア");
    browser.call("Page.reload");
    const QString shownChoice = R"JS(
      (() => {
        const s = document.getElementById('choice');
        if (s.value !== 'K1/007') return 'not chosen: ' + s.value;
        const g = document.createElement('canvas').getContext('2d');
        g.font = getComputedStyle(s).font;
        const text = s.options[s.selectedIndex].text;
        const need = g.measureText(text).width + 30; // the arrow and the padding
        return need <= s.clientWidth ? 'fits: ' + text : text + ' needs ' + need + ' of ' +
          s.clientWidth;
      })())JS";
    EXPECT_TRUE(waitFor(
        [&] { return browser.evaluate(shownChoice).toString() == "fits: 男子シニア"; }, 5000))
        << browser.evaluate(shownChoice).toString().toStdString();
}
