// The live results server over loopback, fed by the workstation's own web commands.
#include "live/LiveServer.h"

#include "live/GuardedTcpServer.h"
#include "live/RequestMeter.h"
#include "results/Publication.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"
#include "support/WaitFor.h"
#include "web/LiveRaceState.h"
#include "web/LiveSync.h"
#include "web/WebClient.h"
#include "web/WebCommands.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace pistel;

namespace {
// One value of one row of the page's results.
QJsonValue cell(const QJsonArray& rows, int row, const char* key) {
    return rows.at(row).toObject().value(QLatin1String(key));
}
} // namespace
using pistel::test::DbTest;
using pistel::test::ScriptedDialog;
using pistel::test::waitFor;

class LiveServerTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.competitionCode = "K1";
        app.currentRun = "1";
        addCompetitors("K1", {{"0008", 1, 1, 7}, {"0009", 2, 2, 7}, {"0010", 3, 3, 7}});
        exec("update result set altime='10:31:02.1234', ttime='00:01:23.45', FL='F' "
             "where tcode='K1' and zek='0008'");
        // A name and a club with characters only Windows' Shift-JIS has.
        exec("update result set altime='10:32:00.0000', ttime='00:01:20.00', FL='F', "
             "name='山﨑　花子', team='㈱白馬ＳＣ①' where tcode='K1' and zek='0009'");
        exec("insert into cs_master (cname, ccode) values ('男子', '7')");
        start();
        client.key = "secret";
        client.timeoutMs = 3000;
        web.batchFolder = dir.path();
        QObject::connect(&client, &WebClient::pageShown, [this](const QString& t) { pages << t; });
    }
    void start(quint16 at = 0) {
        store = std::make_unique<live::LiveStore>(dir.filePath("live.sqlite"));
        server = std::make_unique<live::LiveServer>(*store, "secret");
        port = server->listen(QHostAddress::LocalHost, at);
        ASSERT_GT(port, 0);
        web.baseUrl = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    }
    // A request as any client sends it: status and body.
    std::pair<int, QByteArray> request(const QString& path, const QByteArray& body = {},
                                       const QByteArray& key = "secret",
                                       const QByteArray& contentType = {}) {
        QNetworkRequest r(QUrl(web.baseUrl + path));
        if (!key.isEmpty())
            r.setRawHeader("X-Pistel-Key", key);
        if (!contentType.isEmpty())
            r.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
        QNetworkReply* reply = body.isNull() ? net.get(r) : net.post(r, body);
        EXPECT_TRUE(waitFor([&] { return reply->isFinished(); }, 5000));
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray data = reply->readAll();
        reply->deleteLater();
        return {status, data};
    }
    QJsonObject data() {
        return QJsonDocument::fromJson(request("data", QByteArray(), {}).second).object();
    }
    // The page has been given what the last command sent.
    void sent(int count) {
        ASSERT_TRUE(waitFor([&] { return pages.size() == count; }));
    }

    QTemporaryDir dir;
    std::unique_ptr<live::LiveStore> store;
    std::unique_ptr<live::LiveServer> server;
    quint16 port = 0;
    QNetworkAccessManager net;
    ScriptedDialog dialog;
    WebClient client;
    WebCommands web{app, dm, dialog, client};
    QStringList pages;
};

TEST_F(LiveServerTest, TheWorkstationsCommandsMakeThePage) {
    web.cbclass = "男子";
    web.selectRaceOfClass(); // the race of the class
    sent(1);
    EXPECT_TRUE(pages.last().startsWith("OK: レース K1 クラス 007")) << pages.last().toStdString();
    web.memo10 = "スタート 10:00 & ゴール\n2行目";
    web.sendMessage();
    sent(2);
    dialog.answers = {true};
    web.uploadAllResults(); // every finisher at once; its reply is shown too
    sent(3);
    // The classes come with the start list the upload sends beside the batch.
    ASSERT_TRUE(waitFor([&] { return data()["results"].toArray().size() == 2; }));
    QJsonObject d = data();
    EXPECT_EQ(d["code"], "K1");
    EXPECT_EQ(d["class"], "007");
    EXPECT_EQ(d["message"], "スタート 10:00 & ゴール\n2行目");
    QJsonArray rows = d["results"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(cell(rows, 0, "bib"), "009"); // ranked by result: 1:20.00 before 1:23.45
    EXPECT_EQ(cell(rows, 0, "name"), "山﨑　花子");
    EXPECT_EQ(cell(rows, 0, "team"), "㈱白馬ＳＣ①");
    EXPECT_EQ(cell(rows, 0, "result"), "1:20.00");
    EXPECT_EQ(cell(rows, 1, "gap"), "+3.45");

    // One competitor in real time, then removed.
    exec("update result set altime='10:33:00.0000', ttime='00:01:10.00', FL='F' "
         "where tcode='K1' and zek='0010'");
    web.realTime = 1;
    web.edit37 = "0010";
    web.uploadCompetitor();
    sent(5); // the race selection, then the result
    rows = data()["results"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(cell(rows, 0, "bib"), "010");
    EXPECT_EQ(data()["latest"], "010");
    web.clearCompetitor();
    sent(7);
    EXPECT_EQ(data()["results"].toArray().size(), 2);
    web.eraseMessage(); // erase the message
    sent(8);
    EXPECT_EQ(data()["message"], "");

    // A restart loses nothing.
    server.reset();
    store.reset();
    start();
    d = data();
    EXPECT_EQ(d["code"], "K1");
    EXPECT_EQ(d["results"].toArray().size(), 2);
}

TEST_F(LiveServerTest, BadRequestsAreRefusedWithAReason) {
    // Wrong key, or none, with a key set: refused.
    auto [status, body] = request("settaikai.php?tcode=ASTK10071", QByteArray(), "wrong");
    EXPECT_EQ(status, 403);
    EXPECT_TRUE(body.contains("wrong key"));
    EXPECT_EQ(request("sokuhoup.php?message=x", QByteArray(), {}).first, 403);
    // Only the header writes: never the key as a query value, nor a POST without the header
    // (a form or a text/plain POST that any web page can send without a preflight).
    EXPECT_EQ(request("settaikai.php?tcode=ASTK10071&key=secret", QByteArray(), {}).first, 403);
    EXPECT_EQ(request("settaikai.php?tcode=ASTK10071&key=secret", "", {}).first, 403);
    EXPECT_EQ(request("sokuhoup.php?message=x", "message=y", {}, "text/plain").first, 403);
    EXPECT_EQ(request("race.php?code=K1", "seq,1\nnow,10:00:00.00\nrun,1\n", {},
                      "application/x-www-form-urlencoded")
                  .first,
              403);
    EXPECT_EQ(store->race().code, "");
    EXPECT_EQ(request("settaikai.php?tcode=ASTK10071").first, 200); // with the header
    // Unknown key, missing fields, values longer than any the workstation sends.
    EXPECT_EQ(request("settaikai.php?tcode=BOGUS").first, 400);
    EXPECT_EQ(request("sokuhoup.php?tcode=ASTK10071&zek=008").first, 400);
    EXPECT_EQ(request("sokuhoup.php?message=" + QString(300, 'x')).first, 400);
    // Malformed and oversized uploads.
    EXPECT_EQ(request("SokuhoTextUpdate.php", "no multipart", "secret", "text/plain").first, 400);
    EXPECT_EQ(request("SokuhoTextUpdate.php", multipartBody("bb", "garbage\r\n"), "secret",
                      "multipart/form-data; boundary=bb")
                  .first,
              400);
    EXPECT_EQ(request("SokuhoTextUpdate.php", QByteArray(live::LiveServer::kMaxBody + 10, 'x'),
                      "secret", "multipart/form-data; boundary=bb")
                  .first,
              413);
    // An update line that tries anything else is skipped and counted.
    const QByteArray file = "ASTK1,1,\r\nUPDATE STLIST set time1='1:00.00',time2='',ttime='1:00."
                            "00',altime='',timeod='00:01:00.00' where tcode like 'ASTK1%' and "
                            "bib='008'\r\nDROP TABLE results\r\n";
    const auto [ok, reply] = request("SokuhoTextUpdate.php", multipartBody("bb", file), "secret",
                                     "multipart/form-data; boundary=bb");
    EXPECT_EQ(ok, 200);
    EXPECT_TRUE(reply.contains("1 applied, 1 skipped")) << reply.data();
    EXPECT_EQ(data()["results"].toArray().size(), 0); // no class known yet: on no page
    // A start list from a server that cannot reach the database: names on the page.
    EXPECT_EQ(request("startlist.php?code=K1&title=" + QUrl::toPercentEncoding("市民大会"),
                      "008,山田 太郎,北高,007\nbad line\n")
                  .first,
              200);
    EXPECT_EQ(data()["title"], "市民大会");
    EXPECT_EQ(cell(data()["results"].toArray(), 0, "name"), "山田 太郎");
    EXPECT_EQ(request("startlist.php?code=K1", "009,x,y,007\n", "wrong").first, 403);
    // The page's text is set as text: markup from a request never becomes markup.
    EXPECT_FALSE(request("live.js", QByteArray(), {}).second.contains("innerHTML"));
    EXPECT_TRUE(request("live.js", QByteArray(), {}).second.contains("textContent"));
}

// The start list read from the competition database: Japanese names through the ODBC
// layer, web bibs and three-character class codes as the workstation sends them.
TEST_F(LiveServerTest, ImportReadsTheStartListFromTheCompetitionDatabase) {
    addCompetition("K1", "第3回 雪まつり大会");
    exec("update result set name='髙橋 ソラ', team='㈱表スキークラブ①' where tcode='K1' and "
         "zek='0008'");
    QProcess import;
    import.start(PISTEL_LIVE_PATH, {"import", "--dsn", "PistelTest", "--code", "K1", "--db",
                                    dir.filePath("imported.sqlite")});
    ASSERT_TRUE(import.waitForFinished(30000));
    EXPECT_EQ(import.exitCode(), 0) << import.readAllStandardError().toStdString();
    live::LiveStore imported(dir.filePath("imported.sqlite"));
    EXPECT_EQ(imported.title("K1"), "第3回 雪まつり大会");
    EXPECT_EQ(imported.className("007"), "男子");
    imported.setRace({"K1", "007"});
    imported.setResult("K1",
                       {"008", {}, {}, "007", "1:00.00", {}, "1:00.00", "00:01:00.00", {}, 0});
    const QList<live::ResultRow> rows = imported.results("K1", "007");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].name, "髙橋 ソラ");
    EXPECT_EQ(rows[0].team, "㈱表スキークラブ①");
}

// Without a key the server takes writes from its own machine.
TEST_F(LiveServerTest, WithoutAKeyWritesComeFromThisMachineOnly) {
    live::LiveStore open(dir.filePath("open.sqlite"));
    live::LiveServer server2(open, QString());
    const quint16 port2 = server2.listen(QHostAddress::LocalHost, 0);
    web.baseUrl = QStringLiteral("http://127.0.0.1:%1/").arg(port2);
    // Neither a plain GET (an <img> on a page opened in this machine's browser) nor a POST
    // (a form or a text/plain request from such a page) writes...
    EXPECT_EQ(request("settaikai.php?tcode=ASTK10071", QByteArray(), {}).first, 403);
    EXPECT_EQ(request("settaikai.php?tcode=ASTK10071", "", {}).first, 403);
    EXPECT_EQ(request("settaikai.php?tcode=ASTK10071", "a=b", {}, "text/plain").first, 403);
    EXPECT_EQ(open.race().code, "");
    // ... the workstation's request does: it carries the header, whatever its value.
    EXPECT_EQ(request("settaikai.php?tcode=ASTK10071", QByteArray(), "-").first, 200);
    EXPECT_EQ(open.race().code, "K1");
    client.key.clear();
    web.cbclass = "男子";
    web.selectRaceOfClass();
    sent(1);
    EXPECT_TRUE(pages.last().startsWith("OK")) << pages.last().toStdString();
}

// A store another process holds locked: writes are answered 503 and logged once, the server
// stays up and keeps serving the page as it last read it; once the lock is gone writes apply.
// Page data carries an ETag and a one-second public Cache-Control, and 304 when unchanged.
TEST_F(LiveServerTest, ALockedStoreAnswers503AndThePageStaysUp) {
    ASSERT_EQ(request("settaikai.php?tcode=ASTK10071").first, 200);
    ASSERT_EQ(request("sokuhoup.php?tcode=ASTK10071&zek=008&ttime=1:23.45&timeod=00:01:23.45"
                      "&altime=10:31:02.12&fl2=F")
                  .first,
              200);
    const QJsonObject before = data();
    ASSERT_EQ(before["results"].toArray().size(), 1);

    // Another connection (as another process would) takes the file's exclusive lock.
    {
        QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
        locker.setDatabaseName(dir.filePath("live.sqlite"));
        ASSERT_TRUE(locker.open());
        QSqlQuery lock(locker);
        ASSERT_TRUE(lock.exec("BEGIN EXCLUSIVE"));
        QElapsedTimer took;
        took.start();
        const auto [status, body] = request("sokuhoup.php?tcode=ASTK10071&zek=009&ttime=1:20.00"
                                            "&timeod=00:01:20.00&altime=10:32:00.00&fl2=F");
        EXPECT_EQ(status, 503);
        EXPECT_TRUE(body.contains("store unavailable")) << body.data();
        EXPECT_LT(took.elapsed(), 2000); // not held up for seconds
        EXPECT_EQ(request("sokuhoup.php?message=hello").first, 503);
        // The page as last read, with its validators.
        QNetworkRequest r(QUrl(web.baseUrl + "data"));
        QNetworkReply* reply = net.get(r);
        ASSERT_TRUE(waitFor([&] { return reply->isFinished(); }, 5000));
        EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        EXPECT_EQ(QJsonDocument::fromJson(reply->readAll()).object()["results"], before["results"]);
        EXPECT_EQ(reply->rawHeader("Cache-Control"), "public, max-age=1");
        const QByteArray etag = reply->rawHeader("ETag");
        EXPECT_FALSE(etag.isEmpty());
        reply->deleteLater();
        // Unchanged: 304 without a body.
        r.setRawHeader("If-None-Match", etag);
        reply = net.get(r);
        ASSERT_TRUE(waitFor([&] { return reply->isFinished(); }, 5000));
        EXPECT_EQ(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 304);
        EXPECT_TRUE(reply->readAll().isEmpty());
        reply->deleteLater();
        lock.exec("ROLLBACK");
    }
    QSqlDatabase::removeDatabase("locker");

    // The lock is gone: the workstation's next write applies, the page shows it.
    EXPECT_EQ(request("sokuhoup.php?tcode=ASTK10071&zek=009&ttime=1:20.00&timeod=00:01:20.00"
                      "&altime=10:32:00.00&fl2=F")
                  .first,
              200);
    EXPECT_EQ(data()["results"].toArray().size(), 2);
}

// A connection that sends nothing is closed after the idle time; a request declaring a body
// over the limit is answered 413 and closed before any of its body is sent.
TEST_F(LiveServerTest, IdleConnectionsAreClosedAndOversizedBodiesRefusedUnread) {
    live::LiveStore quiet(dir.filePath("quiet.sqlite"));
    live::LiveServer server2(quiet, "secret", 300);
    const quint16 port2 = server2.listen(QHostAddress::LocalHost, 0);
    ASSERT_GT(port2, 0);

    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, port2);
    ASSERT_TRUE(idle.waitForConnected(2000));
    QElapsedTimer waited;
    waited.start();
    ASSERT_TRUE(waitFor([&] { return idle.state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_GE(waited.elapsed(), 250);

    QTcpSocket big;
    big.connectToHost(QHostAddress::LocalHost, port2);
    ASSERT_TRUE(big.waitForConnected(2000));
    big.write("POST /SokuhoTextUpdate.php HTTP/1.1\r\nHost: x\r\nX-Pistel-Key: secret\r\n"
              "Content-Type: multipart/form-data; boundary=bb\r\nContent-Length: 50000000\r\n\r\n");
    QByteArray answer;
    ASSERT_TRUE(waitFor(
        [&] {
            answer += big.readAll();
            return big.state() == QAbstractSocket::UnconnectedState;
        },
        5000));
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 413")) << answer.data();

    // An ordinary request on a kept-alive connection is served, then the connection idles out.
    QTcpSocket page;
    page.connectToHost(QHostAddress::LocalHost, port2);
    ASSERT_TRUE(page.waitForConnected(2000));
    page.write("GET /data HTTP/1.1\r\nHost: x\r\n\r\n");
    answer.clear();
    ASSERT_TRUE(waitFor(
        [&] {
            answer += page.readAll();
            return page.state() == QAbstractSocket::UnconnectedState;
        },
        5000));
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.data();
    EXPECT_EQ(live::RequestMeter::declaredLength("POST / HTTP/1.1\r\ncontent-length : 12"), 12);
    EXPECT_EQ(live::RequestMeter::declaredLength("GET / HTTP/1.1\r\nHost: x"), -1);
}

// The guard measures heads and bodies across reads: a valid request that arrives in many small
// writes is served; a head over 16 KiB in small writes is refused, and so is a chunked body
// as soon as it passes 1 MiB, without the server holding it in memory.
TEST_F(LiveServerTest, TheSizeGuardCountsAcrossReadsAndChunks) {
    const auto trickle = [&](const QByteArray& bytes, int piece) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(s.waitForConnected(2000));
        for (qsizetype at = 0; at < bytes.size(); at += piece) {
            s.write(bytes.mid(at, piece));
            s.flush();
            waitFor([&] { return s.bytesToWrite() == 0; }, 1000);
            QCoreApplication::processEvents();
        }
        QByteArray answer;
        waitFor(
            [&] {
                answer += s.readAll();
                return answer.contains("\r\n\r\n") &&
                       answer.size() >= answer.indexOf("\r\n\r\n") + 4 + 2;
            },
            5000);
        return answer;
    };
    // A start list of 600 competitors (about 30 KB), head and body in 500-byte writes.
    QByteArray list;
    for (int i = 1; i <= 600; ++i)
        list += QString("%1,選手%1 長い名前の選手,所属クラブ名 スキー部,007\n")
                    .arg(i, 3, 10, QChar('0'))
                    .toUtf8();
    ASSERT_GT(list.size(), 30000);
    const QByteArray post = "POST /startlist.php?code=K1 HTTP/1.1\r\nHost: x\r\n"
                            "X-Pistel-Key: secret\r\nContent-Type: text/plain\r\n"
                            "Content-Length: " +
                            QByteArray::number(list.size()) + "\r\n\r\n" + list;
    const QByteArray served = trickle(post, 500);
    EXPECT_TRUE(served.startsWith("HTTP/1.1 200")) << served.left(200).data();
    EXPECT_TRUE(served.contains("OK: 600 人")) << served.data();
    // A head of 20 KiB, in 1 KiB writes: refused.
    const QByteArray longHead = "GET /data HTTP/1.1\r\nX-Filler: " + QByteArray(20 * 1024, 'x');
    EXPECT_TRUE(trickle(longHead, 1024).startsWith("HTTP/1.1 431"));

    // 64 MiB chunked from another process: refused once past 1 MiB, memory stays flat.
    const auto resident = [] {
        QFile statm("/proc/self/statm");
        statm.open(QIODevice::ReadOnly);
        return statm.readAll().split(' ').value(1).toLongLong() * 4096;
    };
    const qint64 before = resident();
    QProcess curl;
    curl.start("sh", {"-c", QString("head -c 67108864 /dev/zero | curl -s -o /dev/null "
                                    "-w '%{http_code}' -H 'X-Pistel-Key: secret' -H "
                                    "'Transfer-Encoding: chunked' --data-binary @- "
                                    "'http://127.0.0.1:%1/startlist.php?code=K2'")
                                .arg(port)});
    ASSERT_TRUE(waitFor([&] { return curl.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(curl.readAllStandardOutput(), "413");
    EXPECT_LT(resident() - before, 8 * 1024 * 1024);
    EXPECT_TRUE(store->classesOf("K2").isEmpty());
}

// Race states carry the workstation's session: within one, `seq` orders them (a late one is
// refused as stale, with an error status); a new session (the workstation started again, its
// clock set back) replaces the old whatever its numbers.
TEST_F(LiveServerTest, ANewSessionReplacesAStateWithAHugeSeq) {
    const auto state = [&](const QString& session, const QString& seq, const QString& next) {
        return request("race.php?code=K1",
                       ("session," + session + "\nseq," + seq + "\nnow,10:00:00.00\nrun,1\n" +
                        "next," + next + "\n")
                           .toUtf8(),
                       "secret", "text/plain");
    };
    ASSERT_EQ(request("startlist.php?code=K1", "008,山田,北高,007\n009,佐藤,南高,007\n", "secret",
                      "text/plain")
                  .first,
              200);
    const auto next = [&] {
        QStringList out;
        const QJsonObject page =
            QJsonDocument::fromJson(request("data?code=K1&class=007", QByteArray(), {}).second)
                .object();
        for (const QJsonValue& r : page["next"].toArray())
            out << r["bib"].toString();
        return out.join(',');
    };
    EXPECT_EQ(state("a", "1000000000000", "008").first, 200);
    ASSERT_TRUE(waitFor([&] { return next() == "008"; }, 3000));
    const auto [stale, why] = state("a", "5", "009");
    EXPECT_EQ(stale, 409);
    EXPECT_TRUE(why.contains("stale")) << why.toStdString();
    EXPECT_EQ(state("b", "1", "009").first, 200);
    EXPECT_TRUE(waitFor([&] { return next() == "009"; }, 3000)) << next().toStdString();
}

// Real-time upload: the race reaches the page as it happens, through the workstation's own
// request, without the operator's upload; a server that goes away is told again once it is
// back, and an old state that arrives late never undoes a newer one.
TEST_F(LiveServerTest, RealTimeUploadFollowsTheRaceAndSurvivesAServerRestart) {
    addCompetitors("K1", {{"0011", 4, 4, 7}, {"0012", 5, 5, 7}, {"0013", 6, 6, 7}});
    exec("update result set dropm='9' where tcode='K1' and zek='0012'"); // a forerunner
    exec("update result set name=concat('選手', zek) where tcode='K1'");
    LiveSync sync(app, dm, web, client);
    QStringList health;
    QObject::connect(&sync, &LiveSync::healthChanged, [&](const QString& t) { health << t; });
    auto page = [&] {
        return QJsonDocument::fromJson(request("data?code=K1&class=007", QByteArray(), {}).second)
            .object();
    };
    auto bibs = [](const QJsonValue& rows) {
        QStringList out;
        for (const QJsonValue& r : rows.toArray())
            out << r["bib"].toString();
        return out.join(',');
    };
    // Off until the operator checks real-time upload.
    sync.sendNow(true);
    waitFor([] { return false; }, 300);
    EXPECT_EQ(bibs(page()["results"]), "");
    web.setRealTimeUpload(true);

    // 0010 started five seconds ago and is on course; 0011 and 0013 are next (the forerunner
    // is not); 0008 and 0009 are ranked.
    const qint64 startedAt = QDateTime::currentMSecsSinceEpoch() - 5000;
    exec("update result set sttime='" +
         QDateTime::fromMSecsSinceEpoch(startedAt).time().toString("HH:mm:ss.zzz") +
         "0' where tcode='K1' and zek='0010'");
    sync.changed();
    ASSERT_TRUE(waitFor([&] { return bibs(page()["course"]) == "010"; }, 3000))
        << QJsonDocument(page()).toJson().toStdString();
    QJsonObject d = page();
    EXPECT_NEAR(d["course"][0]["started"].toDouble(), startedAt, 1000);
    EXPECT_EQ(bibs(d["next"]), "011,013");
    EXPECT_EQ(bibs(d["results"]), "009,008");
    EXPECT_EQ(d["results"][0]["name"], "選手0009"); // the start list went first
    // No race chosen for the page yet: it follows the class racing now.
    EXPECT_EQ(data()["classCode"], "007");
    EXPECT_EQ(bibs(data()["course"]), "010");

    // 0010 finishes, and a status set by hand is found by looking (no signal): 0011 did not
    // start. The page follows within the look's interval.
    exec("update result set altime='10:33:00.0000', ttime='00:01:10.00', FL='F' "
         "where tcode='K1' and zek='0010'");
    exec("insert into run_status (tcode,zek,run,code) values ('K1','0011',1,'DNS')");
    ASSERT_TRUE(waitFor([&] { return bibs(page()["results"]) == "010,009,008"; },
                        LiveSync::kCheckMs + 2000));
    d = page();
    EXPECT_EQ(bibs(d["course"]), "");
    EXPECT_EQ(bibs(d["next"]), "013");
    EXPECT_EQ(bibs(d["out"]), "011");
    EXPECT_EQ(d["out"][0]["status"], "DNS");
    EXPECT_TRUE(health.isEmpty());
    // The office renames 0013 (a character only Windows' Shift-JIS has): told that the
    // entries changed, the page has the new name at once, not at the next periodic start list.
    exec("update result set name='髙橋　次郎' where tcode='K1' and zek='0013'");
    sync.startListChanged();
    ASSERT_TRUE(waitFor([&] { return page()["next"][0]["name"] == "髙橋　次郎"; }, 3000));
    // Run 1's results published at the workstation: the page says official since then, and
    // unofficial again once they are taken back.
    EXPECT_EQ(page()["official"], "");
    addCompetition("K1");
    const QDateTime published = publishResults(dm.Db1, "K1", PublishScope::Run1);
    sync.changed();
    ASSERT_TRUE(
        waitFor([&] { return page()["official"] == published.toString("yyyy-MM-dd HH:mm"); }, 3000))
        << QJsonDocument(page()).toJson().toStdString();
    publishResults(dm.Db1, "K1", PublishScope::Run1, true);
    sync.changed();
    ASSERT_TRUE(waitFor([&] { return page()["official"] == ""; }, 3000));

    // A result taken back leaves the page; an older state arriving late changes nothing.
    const auto [code, reply] =
        request("race.php?code=K1",
                ("session," + uploadSession() + "\nseq,1\nnow,10:00:00.00\nrun,1\n").toUtf8(),
                "secret", "text/plain");
    EXPECT_EQ(code, 409);
    EXPECT_TRUE(reply.contains("stale")) << reply.toStdString();
    EXPECT_EQ(bibs(page()["results"]), "010,009,008");

    // The server goes away while 0008's result is taken back: said once, calmly.
    server.reset();
    store.reset();
    QFile::remove(dir.filePath("live.sqlite"));
    exec("update result set altime='', ttime='', FL='N' where tcode='K1' and zek='0008'");
    sync.changed();
    ASSERT_TRUE(waitFor([&] { return health.size() == 1; }, 6000));
    EXPECT_TRUE(health[0].startsWith("速報の自動送信: 送れません。")) << health[0].toStdString();
    waitFor([] { return false; }, LiveSync::kCheckMs + 500);
    EXPECT_EQ(health.size(), 1);
    // Back, empty: the next look sends the start list and the state again.
    start(port);
    ASSERT_TRUE(
        waitFor([&] { return bibs(page()["results"]) == "010,009"; }, LiveSync::kCheckMs + 3000));
    EXPECT_EQ(page()["results"][0]["name"], "選手0010");
    ASSERT_TRUE(waitFor([&] { return health.size() == 2; }, 3000));
    EXPECT_EQ(health[1], "速報の自動送信: 送信を再開しました。");
}
