#include "Pty.h"
#include "comm/PortRegistry.h"
#include "comm/PortSettings.h"
#include "comm/TCommX.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pistel;
using pistel::test::Pty;

TEST(PortNumber, TakesCharactersFourAndFive) {
    EXPECT_EQ(portNumberOf("COM3"), 3);
    EXPECT_EQ(portNumberOf("COM12"), 12);
    EXPECT_EQ(portNumberOf("COM123"), 12);
    EXPECT_EQ(portNumberOf("COM 7"), 7);
    EXPECT_THROW(portNumberOf("COMx"), std::invalid_argument);
    EXPECT_THROW(portNumberOf(""), std::invalid_argument);
}

TEST(PortRegistry, MachinePortsThenUserEntries) {
    const PortRegistry r =
        PortRegistry::from({"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1"},
                           "COM2=/dev/serial/by-id/usb-timer # the timer's adapter\n"
                           "  com9 = /tmp/ttyV0 \n"
                           "nonsense\nCOM9=/dev/ignored;COM12=/dev/pts/4");
    EXPECT_EQ(r.names(), (QStringList{"COM1", "COM3", "COM2", "COM9", "COM12"}));
    EXPECT_EQ(r.deviceOf(1), "/dev/ttyS0");
    EXPECT_EQ(r.deviceOf(2), "/dev/serial/by-id/usb-timer");
    EXPECT_EQ(r.deviceOf(3), "/dev/ttyUSB1");
    EXPECT_EQ(r.deviceOf(9), "/tmp/ttyV0");
    EXPECT_EQ(r.deviceOf(12), "/dev/pts/4");
    EXPECT_EQ(r.deviceOf(4), "");
    EXPECT_TRUE(PortRegistry::from({}, "").names().isEmpty());
}

TEST(PortRegistry, MachineDevicesInNaturalOrderWithHardwareOnly) {
    QTemporaryDir dev, sys;
    for (const char* name :
         {"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB10", "ttyUSB2", "tty0", "ttyACM0"}) {
        QFile f(dev.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (const auto& [name, type] :
         {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS10", "4"}, {"ttyS2", "4"}}) {
        QDir(sys.path()).mkpath(name);
        QFile f(sys.filePath(QString(name) + "/type"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(type) + "\n");
    }
    const QStringList got = PortRegistry::machineDevices(dev.path(), sys.path());
    QStringList names;
    for (const QString& p : got)
        names << QFileInfo(p).fileName();
    EXPECT_EQ(names, (QStringList{"ttyS0", "ttyS2", "ttyS10", "ttyUSB2", "ttyUSB10", "ttyACM0"}));
}

TEST(PortRegistry, UserEntriesFromTheEnvironmentAndTheFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath("ports.conf");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# ports of this laptop\nCOM41=/dev/pts/77\nCOM40=/dev/from-file\n");
    f.close();
    qputenv("PISTEL_PORTS_FILE", file.toLocal8Bit());
    qputenv("PISTEL_PORTS", "COM40=/dev/from-env");
    const PortRegistry r = PortRegistry::scan();
    EXPECT_EQ(r.deviceOf(40), "/dev/from-env");
    EXPECT_EQ(r.deviceOf(41), "/dev/pts/77");
    qunsetenv("PISTEL_PORTS");
    qunsetenv("PISTEL_PORTS_FILE");
}

namespace {

// The settings page's port logic over two real pseudo-terminals registered as COM3 and COM5.
class PortSettingsTest : public ::testing::Test {
protected:
    PortRegistry registry() const {
        return PortRegistry::from({}, "COM3=" + timerPty.path() + ";COM5=" + boardPty.path());
    }
    TCommX::PortResolver resolver() {
        return [this](int n) {
            const QString d = registry().deviceOf(n);
            return d.isEmpty() ? QStringLiteral("/dev/nonexistent") : d;
        };
    }
    PortSettings& settings() {
        if (!settings_) {
            settings_ =
                std::make_unique<PortSettings>(timer, board, timerPortNo, boardPortNo,
                                               timerPortOpen, [this] { return registry(); });
            settings_->showMessage = [this](const QString& m) { messages << m; };
        }
        return *settings_;
    }

    Pty timerPty, boardPty;
    TCommX timer{resolver()};
    TCommX board{resolver()};
    int timerPortNo = 0;
    int boardPortNo = 0;
    bool timerPortOpen = false;
    QStringList messages;
    std::unique_ptr<PortSettings> settings_;
};

} // namespace

TEST_F(PortSettingsTest, ShowingTheWindowOpensTheSavedPorts) {
    timerPortNo = 3;
    boardPortNo = 5;
    settings().windowShown();
    EXPECT_EQ(settings().items(), (QStringList{"", "COM3", "COM5"}));
    EXPECT_EQ(settings().cbxcomm1Text(), "COM3");
    EXPECT_EQ(settings().cbxcomm1Index(), 1);
    EXPECT_EQ(settings().cbxcomm2Text(), "COM5");
    EXPECT_TRUE(timer.isOpen());
    EXPECT_EQ(timer.PortNo(), 3);
    EXPECT_TRUE(timerPortOpen);
    EXPECT_TRUE(board.isOpen());
    EXPECT_TRUE(messages.isEmpty());
    settings().windowClosed();
    EXPECT_FALSE(timer.isOpen());
    EXPECT_FALSE(board.isOpen());
}

// A line setting the device cannot take is refused with the component's own message; the
// port number stays, so a better setting opens it.
TEST_F(PortSettingsTest, ARefusedLineSettingKeepsThePortNumber) {
    timerPortNo = 3;
    int prepared = 0;
    settings().prepareTimer = [&](TCustomCommX& port) {
        ++prepared;
        port.setBitRate(9600);
        port.setStopBit(prepared == 1 ? csb1p5 : csb1); // 1.5 has no form on this platform
    };
    settings().windowShown();
    EXPECT_EQ(messages, QStringList{"通信ストップビット数の設定でエラーが発生しました"});
    EXPECT_FALSE(timer.isOpen());
    EXPECT_FALSE(timerPortOpen);
    EXPECT_EQ(timerPortNo, 3);
    EXPECT_EQ(settings().cbxcomm1Text(), "COM3");
    settings().openport1(3);
    EXPECT_TRUE(timer.isOpen());
    EXPECT_TRUE(timerPortOpen);
    EXPECT_EQ(timerPty.speed(), B9600);
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(PortSettingsTest, SavedPortThatIsMissing) {
    timerPortNo = 7;
    boardPortNo = 8;
    timerPortOpen = true;
    settings().windowShown();
    EXPECT_EQ(messages,
              (QStringList{"取込ﾎﾟｰﾄ で指定したポートは有効では有りません。正しいポートを指定し"
                           "ないとタイムデータの取込が出来ません。",
                           "表示ボード用ポート で指定したポートは有効では有りません。正しいポー"
                           "トを指定しないとタイムの表示が出来ません。"}));
    EXPECT_EQ(timerPortNo, 0);
    EXPECT_EQ(boardPortNo, 0);
    EXPECT_FALSE(timerPortOpen);
    EXPECT_EQ(settings().cbxcomm1Index(), 0);
    EXPECT_EQ(settings().cbxcomm1Text(), "");
    EXPECT_EQ(settings().cbxcomm2Text(), "");
}

TEST_F(PortSettingsTest, ChoosingPortsInTheList) {
    settings().windowShown();
    EXPECT_FALSE(timer.isOpen());
    settings().setCbxcomm1(1, "COM3");
    EXPECT_TRUE(timer.isOpen());
    EXPECT_EQ(timerPortNo, 3);
    EXPECT_TRUE(timerPortOpen);

    // The open port chosen again: closed and opened again after 300 ms.
    QElapsedTimer t;
    t.start();
    settings().setCbxcomm1(1, "COM3");
    EXPECT_GE(t.elapsed(), 300);
    EXPECT_TRUE(timer.isOpen());

    // An entry without a number: an error, nothing else changes.
    EXPECT_THROW(settings().setCbxcomm1(2, "COMxy"), std::invalid_argument);
    EXPECT_EQ(timerPortNo, 3);
    EXPECT_TRUE(timer.isOpen());

    // The empty entry closes the timer port; the flag stays.
    settings().setCbxcomm1(0, "");
    EXPECT_FALSE(timer.isOpen());
    EXPECT_EQ(timerPortNo, 0);
    EXPECT_TRUE(timerPortOpen);

    // A choice for the board is only shown.
    settings().setCbxcomm2(2, "COM5");
    EXPECT_FALSE(board.isOpen());
    EXPECT_EQ(boardPortNo, 0);
}

TEST_F(PortSettingsTest, RefreshKeepsPortsOpenAndSettingsAsTheyAre) {
    timerPortNo = 3;
    settings().windowShown();
    ASSERT_TRUE(timer.isOpen());
    settings().refreshPortLists();
    EXPECT_TRUE(timer.isOpen());
    EXPECT_EQ(timerPortNo, 3);
    EXPECT_EQ(boardPortNo, 0);
    EXPECT_EQ(settings().items().size(), 3);
}

TEST(PortSettingsEmpty, NoPortRegisteredLeavesOnlyTheEmptyEntry) {
    TCommX timer([](int) { return QString(); }), board([](int) { return QString(); });
    int t = 0, b = 0;
    bool open = false;
    PortSettings s(timer, board, t, b, open, [] { return PortRegistry::from({}, ""); });
    s.getport();
    EXPECT_EQ(s.items(), QStringList{""});
}
