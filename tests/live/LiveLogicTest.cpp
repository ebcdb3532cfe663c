// The live results server's parsing and ranking, without a server.
#include "live/LiveRanking.h"
#include "live/LiveRequests.h"
#include "results/Ranking.h"
#include "support/QtPrinters.h"
#include "web/LiveResults.h"

#include <QDateTime>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pistel;

namespace {
// One value of one row of the page's results.
QJsonValue cell(const QJsonArray& rows, int row, const char* key) {
    return rows.at(row).toObject().value(QLatin1String(key));
}
} // namespace
using namespace pistel::live;

TEST(LiveRequests, RaceKeys) {
    const auto k = parseRaceKey("ASTK10071");
    ASSERT_TRUE(k.has_value());
    EXPECT_EQ(k->code, "K1");
    EXPECT_EQ(k->classCode, "007");
    EXPECT_EQ(parseRaceKey(webRaceKey("2026GS01", "12"))->code, "2026GS01");
    EXPECT_EQ(parseRaceKey("AST0000000000001")->code, ""); // the page is cleared
    for (const char* bad : {"", "AST0071", "XSTK10071", "ASTK10072", "AST1"})
        EXPECT_FALSE(parseRaceKey(bad).has_value()) << bad;
}

TEST(LiveRequests, TheBatchFileIsDataAndNeverAStatement) {
    BatchFile file("K1", "2");
    file.add({"0008", "00:01:05.12", "00:01:04.95", "F", "F", "00:02:10.07", "", "10:31:02.1234"});
    QByteArray bytes = file.bytes();
    // Lines that try anything but the one form are skipped and counted.
    bytes += "UPDATE STLIST set time1='1',time2='',ttime='1',altime='',timeod='' where tcode "
             "like 'ASTK1%' and bib='009'; DROP TABLE results\r\n"
             "DELETE FROM STLIST\r\n"
             "UPDATE STLIST set time1='x'' OR 1=1',time2='',ttime='',altime='',timeod='' where "
             "tcode like 'ASTK1%' and bib='010'\r\n"
             "UPDATE STLIST set time1='1:00.00',time2='',ttime='1:00.00',altime='',timeod='00:01:"
             "00.00' where tcode like 'ASTOTHER%' and bib='011'\r\n";
    const auto batch = parseBatchFile(bytes);
    ASSERT_TRUE(batch.has_value());
    EXPECT_EQ(batch->code, "K1");
    EXPECT_EQ(batch->run, "2");
    ASSERT_EQ(batch->updates.size(), 1);
    const BatchUpdate& u = batch->updates[0];
    EXPECT_EQ(u.bib, "008");
    EXPECT_EQ(u.time1, "1:05.12");
    EXPECT_EQ(u.time2, "1:04.95");
    EXPECT_EQ(u.ttime, "2:10.07");
    EXPECT_EQ(u.timeod, "00:02:10.07");
    EXPECT_EQ(u.altime, "10:31:02.1234");
    EXPECT_EQ(batch->skipped, 4);
    EXPECT_FALSE(parseBatchFile("not a header\r\n").has_value());
    EXPECT_FALSE(parseBatchFile("").has_value());
}

TEST(LiveRequests, TheFilePartOfAMultipartBody) {
    const QByteArray body = multipartBody("b0undary", "ASTK1,1,\r\nline\r\n");
    EXPECT_EQ(multipartFile("multipart/form-data; boundary=b0undary", body, "fl"),
              QByteArray("ASTK1,1,\r\nline\r\n"));
    EXPECT_FALSE(multipartFile("multipart/form-data; boundary=other", body, "fl").has_value());
    EXPECT_FALSE(multipartFile("text/plain", body, "fl").has_value());
    EXPECT_FALSE(multipartFile("multipart/form-data; boundary=b0undary", body, "x").has_value());
    EXPECT_FALSE(
        multipartFile("multipart/form-data; boundary=b0undary", "--b0undary\r\nbroken", "fl")
            .has_value());
}

TEST(LiveRanking, EqualResultsShareARankAndGapsAreToTheLeader) {
    QTemporaryDir dir;
    LiveStore store(dir.filePath("live.sqlite"));
    store.setRace({"K1", "007"});
    store.setStartList("K1", {{"008", "山田 太郎", "北高", "007"},
                              {"009", "佐藤", "南高", "007"},
                              {"010", "鈴木", "", "008"}});
    auto add = [&](const char* bib, const char* shown, const char* timeod) {
        store.setResult("K1", {bib, {}, {}, {}, shown, {}, shown, timeod, {}, 0});
    };
    add("009", "1:05.12", "00:01:05.12");
    add("008", "1:04.95", "00:01:04.95");
    add("012", "1:05.12", "00:01:05.12"); // in the start list below, same result as 009
    add("011", "0:59.00", "00:00:59.00"); // no class known: on no class's page
    add("010", "1:00.00", "00:01:00.00"); // another class
    store.setStartList("K1", {{"008", "山田 太郎", "北高", "007"},
                              {"009", "佐藤", "南高", "007"},
                              {"012", "高橋", "", "007"},
                              {"010", "鈴木", "", "008"}});
    const QJsonArray rows = pageData(store, 0)["results"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(cell(rows, 0, "bib"), "008");
    EXPECT_EQ(cell(rows, 0, "rank"), 1);
    EXPECT_EQ(cell(rows, 0, "name"), "山田 太郎");
    EXPECT_EQ(cell(rows, 0, "gap"), "");
    EXPECT_EQ(cell(rows, 1, "rank"), 2);
    EXPECT_EQ(cell(rows, 2, "rank"), 2); // the same result
    EXPECT_EQ(cell(rows, 1, "gap"), "+0.17");
    EXPECT_EQ(behindText(6217), "+1:02.17");
    EXPECT_EQ(hundredthsOf("00:01:05.12"), 6512);
    EXPECT_EQ(hundredthsOf("1:05.12"), -1);
}

// During run 2 only two-run totals are ranked: a competitor still holding a run-1 result
// (about 1:00) never ranks above those who finished both runs (about 2:00). The highlight is
// the latest finisher by finish time of day, also when a batch updated every row at once.
TEST(LiveRanking, DuringRunTwoOnlyTotalsAreRankedAndTheHighlightIsTheLatestFinish) {
    QTemporaryDir dir;
    LiveStore store(dir.filePath("live.sqlite"));
    store.setRace({"K1", "007"});
    store.setStartList("K1",
                       {{"008", "a", "", "007"}, {"009", "b", "", "007"}, {"010", "c", "", "007"}});
    auto add = [&](const char* bib, const char* t1, const char* t2, const char* timeod,
                   const char* altime) {
        store.setResult("K1", {bib, {}, {}, {}, t1, t2, timeod, timeod, altime, 0});
    };
    add("008", "1:00.00", "", "00:01:00.00", "10:01:00.00");        // run 1 only so far
    add("009", "1:01.00", "1:00.50", "00:02:01.50", "11:20:00.00"); // finished run 2 last
    add("010", "1:00.50", "1:00.00", "00:02:00.50", "11:10:00.00");
    const QJsonObject page = pageData(store, QDateTime::currentMSecsSinceEpoch());
    const QJsonArray rows = page["results"].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(cell(rows, 0, "bib"), "010");
    EXPECT_EQ(cell(rows, 1, "bib"), "009");
    EXPECT_EQ(cell(rows, 1, "gap"), "+1.00");
    EXPECT_EQ(cell(rows, 2, "bib"), "008");
    EXPECT_EQ(cell(rows, 2, "rank"), 0); // unranked, not first
    EXPECT_EQ(page["latest"], "009");
    // The run-1 ranking stays on the page during run 2, from the run-1 times.
    const QJsonArray firsts = page["run1"].toArray();
    ASSERT_EQ(firsts.size(), 3);
    EXPECT_EQ(cell(firsts, 0, "bib"), "008");
    EXPECT_EQ(cell(firsts, 1, "bib"), "010");
    EXPECT_EQ(cell(firsts, 1, "gap"), "+0.50");
    EXPECT_EQ(shortTimeHundredths("59.50"), 5950);
    EXPECT_EQ(shortTimeHundredths("1:02:03.45"), 372345);
    EXPECT_EQ(shortTimeHundredths("1:05.1"), -1);
}

// Competitors of class 007 of competition K1.
void startList(LiveStore& store, const QStringList& bibs) {
    QList<StartListEntry> list;
    for (const QString& bib : bibs)
        list.append({bib, "選手" + bib, "", "007"});
    store.setStartList("K1", list);
}

// The workstation's race state: every line is checked, times of day become instants of the
// server's clock (also across midnight), and an older state never undoes a newer one.
TEST(LiveRaceState, ParsedStrictlyAndAppliedAsAWhole) {
    EXPECT_EQ(timeOfDayMs("10:04:55.6513"), 36295651);
    EXPECT_EQ(timeOfDayMs("00:00:00"), 0);
    EXPECT_EQ(timeOfDayMs("23:59:59.9"), 86399900);
    for (const char* bad : {"24:00:00.00", "1:00:00.00", "10:60:00", "10:00:00.", "", "x"})
        EXPECT_EQ(timeOfDayMs(bad), -1) << bad;
    EXPECT_FALSE(parseRaceState("now,10:00:00.00\nrun,1\n")); // no seq
    EXPECT_FALSE(parseRaceState("seq,5\nnow,10:00:00.00\n")); // no run
    const auto state =
        parseRaceState("seq,7\nnow,00:00:30.00\nrun,2\n"
                       "result,008,1:00.00,59.00,1:59.00,00:01:59.00,00:00:10.0000\n"
                       "result,009,1:01.00,,1:01.00,00:01:01.00\n" // a field short
                       "status,010,1,DSQ\nstatus,011,3,DNF\nstatus,012,2,OK\n"
                       "course,013,23:59:50.0000\ncourse,014,00:00:20.00\ncourse,015,25:00:00\n"
                       "next,016\nnext,\nnext,017\n'; DROP TABLE results; --\n"
                       "points,008,0.00,23.60\npoints,009,x,1.00\nofficial,2027-01-17 11:02\n"
                       "official,yesterday\n");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->seq, 7);
    EXPECT_EQ(state->run, 2);
    EXPECT_EQ(state->skipped, 8);
    EXPECT_EQ(state->official, "2027-01-17 11:02");
    ASSERT_EQ(state->points.size(), 1);
    EXPECT_EQ(state->points[0].second.second, "23.60");
    ASSERT_EQ(state->results.size(), 1);
    EXPECT_EQ(state->results[0].timeod, "00:01:59.00");
    EXPECT_EQ(state->results[0].altime, "00:00:10.0000");
    EXPECT_EQ(state->next, QStringList({"016", "017"}));

    QTemporaryDir dir;
    LiveStore store(dir.filePath("live.sqlite"));
    startList(store, {"008", "010", "013", "014", "016", "017"});
    store.setResult(
        "K1", {"009", {}, {}, "007", "1:01.00", "", "1:01.00", "00:01:01.00", "10:00:00.00", 0});
    const qint64 now = 1'800'000'000'000; // the server's clock when the state arrives
    ASSERT_TRUE(store.applyRaceState("K1", *state, now));
    // 009's result is not in the state: taken back at the workstation, gone here.
    const QList<ResultRow> rows = store.results("K1", "007");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].bib, "008");
    EXPECT_EQ(rows[0].updated, now);
    const QList<LiveStore::Runner> course = store.onCourse("K1", "007");
    ASSERT_EQ(course.size(), 2);
    EXPECT_EQ(course[0].bib, "013"); // started 40 s before, on the day before
    EXPECT_EQ(course[0].started, now - 40000);
    EXPECT_EQ(course[1].started, now - 10000);
    EXPECT_EQ(store.currentRun("K1"), 2);
    EXPECT_EQ(store.officialSince("K1"), "2027-01-17 11:02");
    EXPECT_EQ(store.points("K1").value("008").first, "0.00");
    // A state of the same or a lower sequence number changes nothing.
    EXPECT_FALSE(
        store.applyRaceState("K1", *parseRaceState("seq,7\nnow,00:00:31.00\nrun,1\n"), now + 1000));
    EXPECT_EQ(store.results("K1", "007").size(), 1);
    // The same times again keep their update time (the highlight is not renewed).
    auto again = *state;
    again.seq = 8;
    ASSERT_TRUE(store.applyRaceState("K1", again, now + 5000));
    EXPECT_EQ(store.results("K1", "007")[0].updated, now);
}

// Statuses decide by run: a DNF in run 2 leaves the final ranking but keeps its place in the
// run-1 ranking; a DSQ in run 1 leaves both. On course ends with a result or a status, or
// long after the start; next to start leaves out those already on course.
TEST(LiveRanking, StatusesByRunAndWhoIsOnCourseOrNext) {
    QTemporaryDir dir;
    LiveStore store(dir.filePath("live.sqlite"));
    startList(store, {"001", "002", "003", "004", "005", "006", "007", "008"});
    const qint64 now = 1'800'000'000'000;
    const auto state =
        parseRaceState("seq,1\nnow,11:00:00.00\nrun,2\n"
                       "result,001,1:00.00,1:00.00,2:00.00,00:02:00.00,10:59:00.0000\n"
                       "result,002,59.00,,59.00,00:00:59.00,10:01:00.0000\n"
                       "result,003,58.00,,58.00,00:00:58.00,10:02:00.0000\n"
                       "result,004,1:01.00,1:01.00,2:02.00,00:02:02.00,10:58:00.0000\n"
                       "status,002,2,DNF\nstatus,003,1,DSQ\n"
                       "course,001,10:58:00.00\n" // finished since: its result has run 2
                       "course,005,10:59:30.00\n" // on course for 30 s
                       "course,006,10:40:00.00\n" // 20 minutes: surely not on course any more
                       "next,005\nnext,007\nnext,008\n");
    ASSERT_TRUE(state);
    ASSERT_TRUE(store.applyRaceState("K1", *state, now));
    const QJsonObject page = pageData(store, {"K1", "007"}, now + 500);
    auto bibs = [&](const char* list) {
        QStringList out;
        for (const QJsonValue& r : page[QLatin1String(list)].toArray())
            out << r["bib"].toString();
        return out.join(',');
    };
    EXPECT_EQ(bibs("results"), "001,004");
    EXPECT_EQ(bibs("run1"), "002,001,004");
    EXPECT_EQ(page["run1"][2]["gap"], "+2.00");
    EXPECT_EQ(bibs("course"), "005");
    EXPECT_EQ(page["course"][0]["started"].toDouble(), now - 30000);
    EXPECT_EQ(bibs("next"), "007,008");
    EXPECT_EQ(bibs("out"), "003,002");
    EXPECT_EQ(page["run"], 2);
}
