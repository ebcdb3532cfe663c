#include "web/LiveResults.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace pistel;

TEST(LiveResults, SlimDropsLeadingZeroGroups) {
    const std::pair<const char*, const char*> cases[] = {
        {"12:34:56.78", "12:34:56.78"},
        {"01:02:03.45", "1:02:03.45"},
        {"00:12:34.56", "12:34.56"},
        {"00:01:23.45", "1:23.45"},
        {"00:00:23.45", "23.45"},
        {"00:00:03.45", "3.45"},
        {"00:00:00.45", "45"},
        {"", ""},
        {"00:0", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Slim(in), out) << in;
}

TEST(LiveResults, KeysAndBibs) {
    EXPECT_EQ(webRaceKey("K1", "7"), "ASTK10071");
    EXPECT_EQ(webRaceKey("K1", "12"), "ASTK10121");
    EXPECT_EQ(webRaceKey("K1", "123"), "ASTK11231");
    EXPECT_EQ(webRaceKey("K1", "1234"), "ASTK112341");
    EXPECT_EQ(webRaceKey("K1", ""), "ASTK11");
    EXPECT_EQ(webBib("0008"), "008");
    EXPECT_EQ(webBib("1234"), "234");
    EXPECT_EQ(webBib("12345"), "12345");
    EXPECT_EQ(requestStamp(QTime(9, 5, 7)), "9:05:07");
}

TEST(LiveResults, RequestUrls) {
    const QString base = "http://web.example/live/";
    EXPECT_EQ(raceSelectionUrl(base, webRaceKey("K1", "7"), "10:00:01"),
              "http://web.example/live/settaikai.php?tcode=ASTK10071&tdummy=10%3A00%3A01");
    EXPECT_EQ(messageUrl(base, "erase", "10:00:01"),
              "http://web.example/live/sokuhoup.php?message=erase&10%3A00%3A01");
    EXPECT_EQ(messageUrl(base, QString::fromUtf8("a b&c\n表"), "1:00:00"),
              "http://web.example/live/sokuhoup.php?message=a%20b%26c%0A%E8%A1%A8&1%3A00%3A00");
    const CompetitorTimes none{"0008", "", "", "N", "N", "", "", ""};
    EXPECT_EQ(competitorResultUrl(base, "ASTK10071", none, true, "1:00:00"),
              "http://web.example/live/sokuhoup.php?tcode=ASTK10071&zek=008&st1=&st2=&ttime=&"
              "fl2=F&timeod=&altime=&1%3A00%3A00");
    const CompetitorTimes run1{"0008", "00:01:23.45", "", "F", "N", "", "10:31:02.1234", ""};
    EXPECT_EQ(competitorResultUrl(base, "ASTK10071", run1, true, "1:00:00"),
              "http://web.example/live/sokuhoup.php?tcode=ASTK10071&zek=008&st1=1%3A23.45&st2=&"
              "ttime=1%3A23.45&fl2=F&timeod=00%3A01%3A23.45&altime=10%3A31%3A02.1234&1%3A00%3A00");
    EXPECT_EQ(competitorClearUrl(base, "ASTK10071", "0008", "1:00:00"),
              "http://web.example/live/sokuhoup.php?tcode=ASTK10071&zek=008&st1=&st2=&ttime=&"
              "fl2=N&timeod=&altime=&1%3A00%3A00");
}

TEST(LiveResults, BatchFile) {
    BatchFile run1("K1", "1");
    run1.add({"0008", "00:01:23.45", "", "F", "N", "00:01:23.45", "10:31:02.1234", ""});
    run1.add({"0009", "", "", "S", "N", "", "", ""});
    EXPECT_EQ(run1.bytes(),
              "ASTK1,1,\r\nUPDATE STLIST set time1='1:23.45',time2='',ttime='1:23.45',"
              "altime='10:31:02.1234',timeod='00:01:23.45' where tcode like 'ASTK1%' "
              "and bib='008'\r\n");
    BatchFile run2("K1", "2");
    run2.add({"0008", "00:01:23.45", "00:01:20.00", "F", "F", "00:02:43.45", "10:31:02.1234",
              "13:02:00.0000"});
    EXPECT_EQ(run2.bytes(), "ASTK1,2,\r\nUPDATE STLIST set time1='1:23.45',time2='1:20.00',"
                            "ttime='2:43.45',altime='13:02:00.0000',timeod='00:02:43.45' where "
                            "tcode like 'ASTK1%' and bib='008'\r\n");
    BatchFile none("K1", "");
    none.add({"0008", "00:01:23.45", "", "F", "N", "", "", ""});
    EXPECT_EQ(none.bytes(), "ASTK1,,\r\n");
    EXPECT_EQ(multipartBody("b", "x"), "--b\r\nContent-Disposition: form-data; name=\"fl\"; "
                                       "filename=\"upfaile.txt\"\r\nContent-Type: FILE\r\n\r\nx\r\n"
                                       "--b--\r\n");
}
