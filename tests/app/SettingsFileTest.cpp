#include "app/SettingsFile.h"

#include "support/QtPrinters.h"
#include "support/ScopedEnv.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pistel;

namespace {
void put(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

TEST(SettingsFile, MissingFileGivesDefaultsAndACompleteFileIsWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("not/yet/there/PistelAuto.ini"); // the folder is made
    const Settings s = readSettings(path);
    EXPECT_EQ(s.port1, 0);
    EXPECT_EQ(s.port2, 0);
    EXPECT_EQ(s.dbType, "MySQL");
    EXPECT_EQ(s.dbIndex, 0);
    EXPECT_EQ(s.dbMode, 0);
    writeSettings(path, s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[Port]\nPort1=0\nPort2=0\nPort3=0\n"
                           "Baud1=2400\nDataBits1=8\nParity1=N\nStopBits1=1\n"
                           "Baud2=2400\nDataBits2=8\nParity2=N\nStopBits2=1\n"
                           "Baud3=2400\nDataBits3=8\nParity3=N\nStopBits3=1\n"
                           "[DB]\nDbType=MySQL\nDbindex=0\nDbmode=0\nTimeout=3\n"
                           "[Web]\nBaseUrl=http://localhost/sokuho/\nKey=\n");
}

TEST(SettingsFile, ValuesRoundTripAndBadIntegersGiveDefaults) {
    QTemporaryDir dir;
    const QString path = dir.filePath("PistelAuto.ini");
    writeSettings(path, {3,
                         5,
                         {9600, 7, cpbEven, csb2},
                         {19200, 8, cpbOdd, csb1p5},
                         4,
                         {4800, 8, cpbNone, csb1},
                         "MySQL",
                         2,
                         1,
                         "https://live.example/a%2Fb%3A/sokuho/",
                         8,
                         "k%1y=%6"});
    const Settings back = readSettings(path);
    // Escapes in the URL and the key are written literally, neither taking the other's place.
    EXPECT_EQ(back.webBaseUrl, "https://live.example/a%2Fb%3A/sokuho/");
    EXPECT_EQ(back.webKey, "k%1y=%6");
    writeSettings(path, {3,
                         5,
                         {9600, 7, cpbEven, csb2},
                         {19200, 8, cpbOdd, csb1p5},
                         4,
                         {4800, 8, cpbNone, csb1},
                         "MySQL",
                         2,
                         1,
                         "https://live.example/sokuho/",
                         8,
                         {}});
    const Settings plain = readSettings(path);
    EXPECT_EQ(plain.webBaseUrl, "https://live.example/sokuho/");
    EXPECT_EQ(back.line1, (SerialLine{9600, 7, cpbEven, csb2}));
    EXPECT_EQ(back.line2, (SerialLine{19200, 8, cpbOdd, csb1p5}));
    EXPECT_EQ(back.dbTimeout, 8);
    EXPECT_EQ(back.port1, 3);
    EXPECT_EQ(back.port2, 5);
    EXPECT_EQ(back.port3, 4); // the second timer's port
    EXPECT_EQ(back.line3, (SerialLine{4800, 8, cpbNone, csb1}));
    EXPECT_EQ(back.dbIndex, 2);
    EXPECT_EQ(back.dbMode, 1);

    put(path, "[port]\r\nPORT1 = 7\r\nPort2=12abc\r\n\r\n[DB]\r\nDbindex=-1\r\nDbmode=x\r\n"
              "Timeout=0\r\n");
    const Settings odd = readSettings(path);
    EXPECT_EQ(odd.port1, 7); // names are case-insensitive, CR LF is fine
    EXPECT_EQ(odd.port2, 0); // not a whole number
    EXPECT_EQ(odd.dbIndex, -1);
    EXPECT_EQ(odd.dbMode, 0);
    EXPECT_EQ(odd.dbType, "MySQL");
    EXPECT_EQ(odd.dbTimeout, 3);        // a time-out must be at least a second
    EXPECT_EQ(odd.line1, SerialLine{}); // no line settings: what the ports always used

    // Line settings as a person types them; unknown values keep the defaults.
    put(path, "[Port]\nBaud1=9600\nParity1=e\nStopBits1=1.5\nParity2=X\nStopBits2=3\n"
              "DataBits2=seven\n");
    const Settings typed = readSettings(path);
    EXPECT_EQ(typed.line1, (SerialLine{9600, 8, cpbEven, csb1p5}));
    EXPECT_EQ(typed.line2, SerialLine{});
}

TEST(SettingsFile, UnwritableFileIsAnError) {
    QTemporaryDir dir;
    put(dir.filePath("plain"), "x");
    EXPECT_THROW(writeSettings(dir.filePath("plain/PistelAuto.ini"), {}), std::runtime_error);
}

TEST(SettingsFile, PathFromTheEnvironment) {
    pistel::test::ScopedEnv config("XDG_CONFIG_HOME", "/tmp/conf");
    {
        pistel::test::ScopedEnv explicitPath("PISTEL_SETTINGS", "/tmp/x/PistelAuto.ini");
        EXPECT_EQ(settingsPath(), "/tmp/x/PistelAuto.ini");
    }
    pistel::test::ScopedEnv noExplicitPath("PISTEL_SETTINGS");
    EXPECT_EQ(settingsPath(), "/tmp/conf/pistel/PistelAuto.ini");
}

TEST(StartUp, TerminalModeArgumentAndBuildDate) {
    EXPECT_EQ(terminalModeOf({"pistel"}), 0);
    EXPECT_EQ(terminalModeOf({"pistel", "1"}), 1);
    EXPECT_EQ(terminalModeOf({"pistel", "abc"}), 0);
    EXPECT_EQ(terminalModeOf({"pistel", "7", "9"}), 7);
    EXPECT_EQ(buildDateLabel(QDateTime(QDate(2026, 3, 5), QTime(1, 2))), "05/03/2026");
}
