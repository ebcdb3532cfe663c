#include "web/WebCommands.h"

#include "HttpServer.h"
#include "support/DbTest.h"
#include "support/ScriptedDialog.h"
#include "support/WaitFor.h"
#include "web/WebClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <functional>
#include <thread>

using namespace pistel;
using pistel::test::DbTest;
using pistel::test::HttpServer;
using pistel::test::ScriptedDialog;
using pistel::test::waitFor;

namespace {
QString path(const HttpServer::Request& r) {
    return QString::fromLatin1(r.target).section('?', 0, 0);
}
QUrlQuery query(const HttpServer::Request& r) {
    return QUrlQuery(QString::fromLatin1(r.target).section('?', 1));
}
} // namespace

class WebCommandsTest : public DbTest {
protected:
    void SetUp() override {
        DbTest::SetUp();
        app.competitionCode = "K1";
        app.currentRun = "1";
        addCompetitors("K1", {{"0008", 1, 1, 7}, {"0009", 2, 2, 7}});
        addCompetitors("OTHER", {{"0008", 1, 1, 7}});
        exec("update result set sttime='10:29:38.6789', altime='10:31:02.1234', ttime='00:01:23.45'"
             ", FL='F' where tcode='K1' and zek='0008'");
        exec("insert into cs_master (cname, ccode) values ('男子', '7')");
        web.baseUrl = server.base();
        web.batchFolder = dir.path();
        QObject::connect(&client, &WebClient::pageShown, [this](const QString& t) { pages << t; });
    }

    HttpServer server;
    QTemporaryDir dir;
    ScriptedDialog dialog;
    WebClient client;
    WebCommands web{app, dm, dialog, client};
    QStringList pages;
};

TEST_F(WebCommandsTest, NothingIsSentWithoutAnUploadTarget) {
    web.chooseUploadTarget(0);
    web.realTime = 1;
    web.chooseUploadTarget(0);
    EXPECT_EQ(web.realTime, 0);
    web.memo10 = "hello";
    QElapsedTimer t;
    t.start();
    web.sendMessage();
    web.eraseMessage();
    web.initialiseWebPage();
    web.cbclass = "男子";
    web.selectRaceOfClass();
    EXPECT_LT(t.elapsed(), 500); // no pause either
    EXPECT_EQ(web.memo10, "");   // erasing empties the text all the same
    dialog.answers = {true};
    web.uploadAllResults(); // asks and writes the file, sends nothing
    EXPECT_TRUE(QFile::exists(web.batchFilePath()));
    waitFor([] { return false; }, 200);
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(WebCommandsTest, MessagesArriveIntact) {
    web.memo10 = QString::fromUtf8("スタート 10:00 & ゴール\n2行目");
    web.sendMessage();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 1; }));
    EXPECT_EQ(path(server.requests[0]), "/live/sokuhoup.php");
    EXPECT_EQ(query(server.requests[0]).queryItemValue("message", QUrl::FullyDecoded), web.memo10);
    EXPECT_EQ(web.memo10, QString::fromUtf8("スタート 10:00 & ゴール\n2行目")); // kept
    web.memo10.clear();
    web.sendMessage(); // an empty message is not the erase request
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 2; }));
    web.eraseMessage();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 3; }));
    EXPECT_TRUE(server.requests[1].target.startsWith("/live/sokuhoup.php?message=&"));
    EXPECT_TRUE(server.requests[2].target.startsWith("/live/sokuhoup.php?message=erase&"));
    ASSERT_TRUE(waitFor([&] { return !pages.isEmpty(); }));
    EXPECT_EQ(pages.last(), "OK"); // the reply is shown
}

TEST_F(WebCommandsTest, UploadCompetitorSelectsTheRaceThenSendsAfterThePause) {
    web.edit37 = "8";
    web.uploadCompetitor(); // real-time flag off: nothing
    web.setRealTimeUpload(true);
    EXPECT_EQ(web.realTime, 1);
    web.edit37 = "12";
    web.uploadCompetitor(); // not in the competition: nothing
    waitFor([] { return false; }, 100);
    EXPECT_TRUE(server.requests.isEmpty());

    web.edit37 = "8";
    web.uploadCompetitor();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 2; }));
    const auto& select = server.requests[0];
    const auto& result = server.requests[1];
    EXPECT_EQ(path(select), "/live/settaikai.php");
    EXPECT_EQ(query(select).queryItemValue("tcode"), "ASTK10071");
    EXPECT_TRUE(query(select).hasQueryItem("tdummy"));
    EXPECT_GE(result.atMs - select.atMs, 950);
    const QStringList fields = QString::fromLatin1(result.target).section('?', 1).split('&');
    ASSERT_EQ(fields.size(), 9);
    EXPECT_EQ(fields.mid(0, 8),
              (QStringList{"tcode=ASTK10071", "zek=008", "st1=1%3A23.45", "st2=", "ttime=1%3A23.45",
                           "fl2=F", "timeod=00%3A01%3A23.45", "altime=10%3A31%3A02.1234"}));

    web.clearCompetitor(); // clear
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 4; }));
    EXPECT_TRUE(server.requests[3].target.startsWith(
        "/live/sokuhoup.php?tcode=ASTK10071&zek=008&st1=&st2=&ttime=&fl2=N&timeod=&altime=&"));

    web.edit37 = "abc";
    EXPECT_THROW(web.uploadCompetitor(), std::invalid_argument);
}

TEST_F(WebCommandsTest, RaceSelectionByClassNameAndInitialisation) {
    web.cbclass = "男子";
    web.selectRaceOfClass();
    web.cbclass = "無い";
    web.selectRaceOfClass();
    web.initialiseWebPage();
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 3; }));
    EXPECT_EQ(query(server.requests[0]).queryItemValue("tcode"), "ASTK10071");
    EXPECT_EQ(query(server.requests[1]).queryItemValue("tcode"), "ASTK11");
    EXPECT_EQ(query(server.requests[2]).queryItemValue("tcode"), "AST0000000000001");
}

TEST_F(WebCommandsTest, BatchUpdatePostsTheFile) {
    QFile old(web.batchFilePath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older");
    old.close();
    dialog.answers = {false};
    web.uploadAllResults();
    EXPECT_EQ(dialog.asked,
              QStringList{"実行してよろしいですか？|総ての速報データをアップします。"});
    QFile kept(web.batchFilePath());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "older");
    kept.close();

    exec("insert into run_status (tcode,zek,run,code) values ('K1','0009',1,'DSQ')");
    dialog.answers = {true};
    web.uploadAllResults();
    // Our own start list (classes for the page; not waited for, so a server without it costs
    // nothing), and the batch upload itself.
    ASSERT_TRUE(waitFor([&] { return server.requests.size() == 3; }));
    auto sent = [&](const QString& target) {
        for (const auto& r : server.requests)
            if (r.target == target)
                return r;
        ADD_FAILURE() << "not sent: " << target.toStdString();
        return server.requests[0];
    };
    const auto list = sent("/live/startlist.php?code=K1");
    EXPECT_EQ(list.body, "008,,,007\n009,,,007\n");
    EXPECT_TRUE(list.headers.contains("x-pistel-key"));
    const QByteArray state = sent("/live/race.php?code=K1").body;
    EXPECT_TRUE(state.contains("\nrun,1\nstatus,009,1,DSQ\nresult,008,1:23.45,,1:23.45,00:01:23.45,"
                               "10:31:02.1234\n"))
        << state.toStdString();
    const auto post = sent("/live/SokuhoTextUpdate.php");
    EXPECT_EQ(post.method, "POST");
    EXPECT_EQ(post.target, "/live/SokuhoTextUpdate.php");
    EXPECT_EQ(post.headers.value("accept"), "text/html, */*");
    EXPECT_EQ(post.headers.value("user-agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_TRUE(post.headers.value("content-type").startsWith("multipart/form-data; boundary="));
    const QByteArray file =
        "ASTK1,1,\r\nUPDATE STLIST set time1='1:23.45',time2='',ttime='1:23.45',"
        "altime='10:31:02.1234',timeod='00:01:23.45' where tcode like 'ASTK1%' "
        "and bib='008'\r\n";
    EXPECT_TRUE(post.body.contains(
        "name=\"fl\"; filename=\"upfaile.txt\"\r\nContent-Type: FILE\r\n\r\n" + file));
    QFile written(web.batchFilePath());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), file);
}

TEST_F(WebCommandsTest, SlowOrMissingServerNeverHoldsTheWindowLong) {
    client.timeoutMs = 400;
    server.silent = true;
    dialog.answers = {true};
    bool ticked = false;
    QTimer::singleShot(100, [&] { ticked = true; }); // e.g. a timer line being handled
    QElapsedTimer t;
    t.start();
    EXPECT_THROW(web.uploadAllResults(), std::runtime_error);
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_TRUE(ticked);

    web.baseUrl = "http://127.0.0.1:1/live/"; // nobody there
    web.memo10 = "x";
    web.sendMessage();
    ASSERT_TRUE(waitFor([&] { return !pages.isEmpty(); }));
    EXPECT_TRUE(pages.last().contains("refused", Qt::CaseInsensitive))
        << pages.last().toStdString();
}
