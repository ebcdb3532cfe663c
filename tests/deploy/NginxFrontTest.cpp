// The shipped nginx configuration in front of pistel-live, on loopback with a certificate of
// the test's own: a crowd of phones polls the page data while results arrive through the
// front, as the workstation sends them.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

TEST(NginxFront, OneRequestASecondReachesTheServerWhateverTheCrowd) {
    if (QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/bin"}).isEmpty())
        GTEST_FAIL() << "nginx is not installed (scripts/deps.sh installs it)";
    QProcess load;
    load.start(PISTEL_LIVE_LOAD, {"--site", PISTEL_SITE, "--server", PISTEL_LIVE, "--phones", "300",
                                  "--seconds", "10", "--every", "1000"});
    ASSERT_TRUE(load.waitForFinished(60000));
    ASSERT_EQ(load.exitCode(), 0) << load.readAllStandardError().toStdString();
    const QByteArray output = load.readAllStandardOutput();
    const QJsonObject r = QJsonDocument::fromJson(output).object();
    SCOPED_TRACE(output.toStdString());
    // TLS with the given certificate; plain HTTP sent there; writes only with the key.
    const QJsonObject checks = r["checks"].toObject();
    EXPECT_EQ(checks["page"], 200);
    EXPECT_EQ(checks["plainHttp"], 301);
    EXPECT_EQ(checks["writeWithoutKey"], 403);
    EXPECT_EQ(checks["startList"], 200);
    EXPECT_EQ(r["failedWrites"], 0);
    // Every phone was answered every time and saw every result.
    EXPECT_EQ(r["errors"], 0);
    EXPECT_GE(r["requests"].toInt(), 300 * 6);
    EXPECT_GE(r["results"].toInt(), 4);
    EXPECT_EQ(r["resultsOnEveryPhone"], r["results"]);
    // Unchanged answers are revalidated to 304 without a body (a result arrives about every
    // second here, so many answers do change).
    EXPECT_GT(r["status304"].toInt(), r["requests"].toInt() / 10);
    // The cache: about one page-data request a second reaches pistel-live, not 300.
    EXPECT_GE(r["upstreamDataRequests"].toInt(), 3);
    EXPECT_LE(r["upstreamPerSecond"].toDouble(), 2.0);
}
