#include "Pty.h"
#include "RecordingDevice.h"
#include "comm/TCommX.h"
#include "support/QtPrinters.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <memory>

using namespace pistel;
using pistel::test::Pty;
using pistel::test::RecordingDevice;
using pistel::test::waitFor;

namespace {

// Ports 1 and 2 are pseudo-terminals; every other number has no device.
struct Ports {
    std::map<int, std::unique_ptr<Pty>> ptys;
    Ports() {
        ptys[1] = std::make_unique<Pty>();
        ptys[2] = std::make_unique<Pty>();
    }
    TCustomCommX::PortResolver resolver() {
        return [this](int n) {
            const auto it = ptys.find(n);
            return it == ptys.end() ? QStringLiteral("/dev/nonexistent-port") : it->second->path();
        };
    }
    Pty& operator[](int n) { return *ptys.at(n); }
};

QString messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ECommError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class CommXTest : public ::testing::Test {
protected:
    Ports ports;
    TCommX comm{ports.resolver()};
};

TEST_F(CommXTest, DefaultsAndClosedState) {
    EXPECT_EQ(comm.PortNo(), 1);
    EXPECT_EQ(comm.BitRate(), 9600);
    EXPECT_EQ(comm.CharSize(), 8);
    EXPECT_EQ(comm.ParityBit(), cpbNone);
    EXPECT_EQ(comm.StopBit(), csb1);
    EXPECT_EQ(comm.FlowCtrl(), cfcRtsCts);
    EXPECT_EQ(comm.TimeOutTrans(), 3000);
    EXPECT_EQ(comm.TimeOutReceive(), 3000);
    EXPECT_EQ(comm.BufLenTrans(), 2048);
    EXPECT_EQ(comm.BufLenReceive(), 2048);
    EXPECT_EQ(comm.Handle(), 0xFFFFFFFFu);
    const LineSettings s = comm.lineSettings();
    EXPECT_EQ(s.xonLimit, 512);
    EXPECT_EQ(s.xoffLimit, 1536);
    // Closed: nothing goes out, reads fail, no error.
    EXPECT_TRUE(comm.WriteText(""));
    EXPECT_FALSE(comm.WriteText("x"));
    EXPECT_EQ(comm.ReadByte(), -1);
    EXPECT_EQ(comm.InQueCount(), 0);
    comm.Close();
}

TEST_F(CommXTest, OpenTwiceAndMissingPorts) {
    comm.Open();
    EXPECT_NE(comm.Handle(), 0xFFFFFFFFu);
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "ポートは、すでにオープンされています");
    EXPECT_TRUE(comm.isOpen()); // the first opening is intact
    EXPECT_TRUE(comm.WriteText("still here"));
    EXPECT_EQ(ports[1].receive(200, 10), "still here");
    comm.Close();

    comm.setPortNo(9);
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "ポートをオープンできませんでした");
    EXPECT_FALSE(comm.isOpen());
    comm.setPortNo(2);
    comm.Open();
    EXPECT_TRUE(comm.isOpen());

    // Another component cannot open a port that is in use.
    TCommX other(ports.resolver());
    other.setPortNo(2);
    EXPECT_EQ(messageOf([&] { other.Open(); }), "ポートをオープンできませんでした");
}

TEST_F(CommXTest, LongWriteGoesOutInChunksInOrder) {
    comm.Open();
    QList<int> sizes;
    comm.OnTrans = [&](TCustomCommX* sender, int size) {
        EXPECT_EQ(sender, &comm);
        sizes << size;
    };
    QByteArray data(5000, Qt::Uninitialized);
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7);
    EXPECT_TRUE(comm.Write(data.constData(), static_cast<int>(data.size())));
    EXPECT_EQ(ports[1].receive(300, data.size()), data);
    ASSERT_TRUE(waitFor([&] { return sizes.size() == 3; }));
    EXPECT_EQ(sizes, (QList<int>{2048, 2048, 904}));
}

TEST_F(CommXTest, AllByteValuesPassBothWays) {
    comm.Open();
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    comm.WriteText(all);
    EXPECT_EQ(ports[1].receive(300, 256), all);
    ports[1].send(all);
    QByteArray got;
    ASSERT_TRUE(waitFor([&] { return comm.InQueCount() == 256; }));
    for (int i = 0; i < 256; ++i)
        got.append(static_cast<char>(comm.ReadByte()));
    EXPECT_EQ(got, all);
}

TEST_F(CommXTest, ReadByteReturnsAtOnceOrAfterTheTimeOut) {
    comm.setTimeOutReceive(300);
    comm.Open();
    ports[1].send("A");
    ASSERT_TRUE(waitFor([&] { return comm.InQueCount() == 1; }));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(comm.ReadByte(), 'A');
    EXPECT_LT(t.elapsed(), 50);

    bool handled = false; // the window goes on handling its events while it waits
    QTimer::singleShot(50, [&] { handled = true; });
    t.restart();
    EXPECT_EQ(comm.ReadByte(), -1);
    EXPECT_GE(t.elapsed(), 290);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_TRUE(handled);
}

TEST_F(CommXTest, ReceiveHandlerGetsTheWaitingCountOnTheOwningThread) {
    comm.Open();
    QByteArray got;
    comm.OnReceive = [&](TCustomCommX*, int size) {
        EXPECT_EQ(QThread::currentThread(), comm.thread());
        for (int i = 0; i < size; ++i)
            got.append(static_cast<char>(comm.ReadByte()));
    };
    ports[1].send(" 0001 C0  10:00:00.0000\r");
    ASSERT_TRUE(waitFor([&] { return got.size() == 24; }));
    ports[1].send("more\r");
    ASSERT_TRUE(waitFor([&] { return got.size() == 29; }));
    EXPECT_EQ(got, " 0001 C0  10:00:00.0000\rmore\r");
}

TEST_F(CommXTest, LinesArrivingWhileTheHandlerRunsAreAnnouncedToo) {
    comm.Open();
    int lines = 0;
    comm.OnReceive = [&](TCustomCommX*, int size) {
        for (int i = 0; i < size; ++i)
            if (comm.ReadByte() == '\r')
                ++lines;
    };
    for (int i = 1; i <= 300; ++i) {
        ports[1].send(" 0001 C0  10:04:55.6513 00\r"); // the next follows as soon as one is read
        ASSERT_TRUE(waitFor([&] { return lines == i; }, 2000)) << "line " << i;
    }
}

TEST_F(CommXTest, BytesLeftUnreadWaitForMoreButAreNotLost) {
    comm.Open();
    int calls = 0;
    bool take = false;
    QByteArray got;
    comm.OnReceive = [&](TCustomCommX*, int size) {
        ++calls;
        if (!take)
            return; // like a handler whose port flag is off: reads nothing
        for (int i = 0; i < size; ++i)
            got.append(static_cast<char>(comm.ReadByte()));
    };
    ports[1].send("abc");
    ASSERT_TRUE(waitFor([&] { return calls == 1; }));
    waitFor([] { return false; }, 200);
    EXPECT_EQ(calls, 1); // not announced again and again
    take = true;
    ports[1].send("d");
    ASSERT_TRUE(waitFor([&] { return got == "abcd"; }));
}

TEST_F(CommXTest, NoHandlerAfterCloseOrForAnEmptyQueue) {
    comm.Open();
    int calls = 0;
    comm.OnReceive = [&](TCustomCommX*, int) { ++calls; };
    ports[1].send("x");
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // announced, not yet handled
    comm.PurgeReceive();
    waitFor([] { return false; }, 200);
    EXPECT_EQ(calls, 0); // handled with the queue already empty

    ports[1].send("y");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    comm.Close();
    waitFor([] { return false; }, 200);
    EXPECT_EQ(calls, 0);
}

TEST_F(CommXTest, LineSettingsApplyAtOnceWhenOpen) {
    comm.setBitRate(2400); // closed: only stored
    comm.Open();
    EXPECT_EQ(ports[1].speed(), B2400);
    EXPECT_TRUE(ports[1].settings().c_cflag & CRTSCTS);
    comm.setBitRate(19200);
    EXPECT_EQ(ports[1].speed(), B19200);
    comm.setStopBit(csb2);
    EXPECT_TRUE(ports[1].settings().c_cflag & CSTOPB);
    comm.setFlowCtrl(cfcXonXoff);
    EXPECT_TRUE(ports[1].settings().c_iflag & IXON);
    EXPECT_FALSE(ports[1].settings().c_cflag & CRTSCTS);
    comm.setFlowCtrl(cfcRtsCts);
    EXPECT_TRUE(ports[1].settings().c_cflag & CRTSCTS);

    // What the device refuses raises the setter's own message. A pseudo-terminal takes no
    // 7-bit characters; 14400 bit/s and 1.5 stop bits have no form on this platform.
    EXPECT_EQ(messageOf([&] { comm.setCharSize(7); }), "通信ビット数の設定でエラーが発生しました");
    comm.setCharSize(8);
    EXPECT_EQ(messageOf([&] { comm.setBitRate(14400); }), "通信速度の設定でエラーが発生しました");
    comm.setBitRate(9600); // a refused value is kept, as the platform's record keeps it
    EXPECT_EQ(messageOf([&] { comm.setStopBit(csb1p5); }),
              "通信ストップビット数の設定でエラーが発生しました");
    comm.setStopBit(csb1);
    EXPECT_TRUE(comm.isOpen());
    EXPECT_EQ(ports[1].speed(), B9600);

    comm.Close();
    comm.setBitRate(14400); // closed: stored, refused at the next opening, which then closes
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "通信速度の設定でエラーが発生しました");
    EXPECT_FALSE(comm.isOpen());
}

TEST(CommXSettings, HandshakeTable) {
    TCommX comm([](int) { return QString(); });
    struct Row {
        TCommFlowCtrls flow;
        bool cts, dsr, xon;
        LineDrive dtr, rts;
    };
    const Row rows[] = {
        {cfcRtsCts, true, false, false, LineDrive::On, LineDrive::Handshake},
        {cfcDtrDsr, false, true, false, LineDrive::Handshake, LineDrive::On},
        {cfcXonXoff, false, false, true, LineDrive::On, LineDrive::On},
        {cfcHalfHigh, false, false, false, LineDrive::On, LineDrive::Off},
        {cfcHalfLow, false, false, false, LineDrive::On, LineDrive::On},
        {cfcNone, false, false, false, LineDrive::On, LineDrive::On},
    };
    for (const Row& r : rows) {
        comm.setFlowCtrl(r.flow);
        const LineSettings s = comm.lineSettings();
        EXPECT_EQ(s.ctsOutput, r.cts) << int(r.flow);
        EXPECT_EQ(s.dsrOutput, r.dsr) << int(r.flow);
        EXPECT_EQ(s.xonXoff, r.xon) << int(r.flow);
        EXPECT_EQ(s.dtr, r.dtr) << int(r.flow);
        EXPECT_EQ(s.rts, r.rts) << int(r.flow);
        EXPECT_EQ(s.xonChar, 0x11);
        EXPECT_EQ(s.xoffChar, 0x13);
    }
    comm.setBufLenReceive(4000);
    EXPECT_EQ(comm.lineSettings().xonLimit, 1000);
    EXPECT_EQ(comm.lineSettings().xoffLimit, 3000);
}

TEST(CommXRecorded, EverySettingReachesTheDeviceWhenOpen) {
    RecordingDevice::Shared shared;
    shared.clock.start();
    TCommX comm([](int) { return QStringLiteral("recorded"); },
                [&] { return std::make_unique<RecordingDevice>(shared); });
    auto applied = [&] {
        std::lock_guard l(shared.mutex);
        return shared.applied;
    };
    comm.setParityBit(cpbOdd); // closed: only stored
    EXPECT_EQ(applied().line.parity, 0);
    comm.Open();
    EXPECT_EQ(applied().line.parity, 1);
    comm.setParityBit(cpbEven);
    EXPECT_EQ(applied().line.parity, 2);
    comm.setCharSize(7);
    EXPECT_EQ(applied().line.dataBits, 7);
    comm.setStopBit(csb2);
    EXPECT_EQ(applied().line.stopBits, 2);
    comm.setBufLenReceive(1024);
    EXPECT_EQ(applied().xoffLimit, 768);
    comm.Close();
}

TEST_F(CommXTest, PortNumberChangeReopensOnlyWhenOpen) {
    comm.setPortNo(2); // closed: only stored
    EXPECT_FALSE(comm.isOpen());
    comm.Open();
    comm.WriteText("two");
    EXPECT_EQ(ports[2].receive(200, 3), "two");
    comm.setPortNo(1);
    EXPECT_TRUE(comm.isOpen());
    comm.WriteText("one");
    EXPECT_EQ(ports[1].receive(200, 3), "one");
    EXPECT_EQ(ports[2].receive(100), "");
}

TEST_F(CommXTest, APortThatDisappearsIsReportedAndCanBeOpenedAgain) {
    comm.Open();
    QString why;
    comm.OnLost = [&](TCustomCommX*, const QString& w) { why = w; };
    ports[1].hangUp();
    ASSERT_TRUE(waitFor([&] { return !why.isEmpty(); }));
    EXPECT_FALSE(comm.isOpen());
    EXPECT_FALSE(comm.WriteText("nobody"));
    ports.ptys[1] = std::make_unique<Pty>(); // plugged in again
    comm.Open();
    comm.WriteText("back");
    EXPECT_EQ(ports[1].receive(200, 4), "back");
}

TEST(CommXRecorded, HalfDuplexRaisesRtsAroundEachBurst) {
    RecordingDevice::Shared shared;
    shared.clock.start();
    TCommX comm([](int) { return QStringLiteral("recorded"); },
                [&] { return std::make_unique<RecordingDevice>(shared); });
    comm.setFlowCtrl(cfcHalfHigh);
    comm.Open();
    {
        std::lock_guard l(shared.mutex);
        shared.log.clear();
        shared.times.clear();
    }
    comm.setBufLenTrans(4);
    comm.WriteText("12345678"); // one burst of two chunks
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard l(shared.mutex);
        return shared.log.size() >= 4;
    }));
    QStringList log;
    QList<qint64> times;
    {
        std::lock_guard l(shared.mutex);
        log = shared.log;
        times = shared.times;
    }
    ASSERT_EQ(log, (QStringList{"rts 1", "write 4", "write 4", "rts 0"}));
    const qint64 rise = times[0], first = times[1], last = times[2], fall = times[3];
    EXPECT_GE(first - rise, 9);
    EXPECT_LT(first - rise, 60);
    EXPECT_GE(fall - last, 19);
    EXPECT_LT(fall - last, 80);
    comm.Close();
}

TEST(CommXRecorded, HalfLowDropsRtsForTheBurst) {
    RecordingDevice::Shared shared;
    shared.clock.start();
    TCommX comm([](int) { return QStringLiteral("recorded"); },
                [&] { return std::make_unique<RecordingDevice>(shared); });
    comm.setFlowCtrl(cfcHalfLow);
    comm.Open();
    {
        std::lock_guard l(shared.mutex);
        shared.log.clear();
    }
    comm.WriteText("x");
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard l(shared.mutex);
        return shared.log.size() >= 3;
    }));
    QStringList log;
    {
        std::lock_guard l(shared.mutex);
        log = shared.log;
    }
    EXPECT_EQ(log, (QStringList{"rts 0", "write 1", "rts 1"}));
    comm.Close();
}

TEST(CommXRecorded, AtMost32ChunksWaitInTheQueue) {
    RecordingDevice::Shared shared;
    shared.clock.start();
    TCommX comm([](int) { return QStringLiteral("recorded"); },
                [&] { return std::make_unique<RecordingDevice>(shared); });
    comm.setFlowCtrl(cfcNone);
    comm.setBufLenTrans(1);
    comm.Open();
    {
        std::lock_guard l(shared.mutex);
        shared.holdWrites = true;
    }
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(comm.WriteText(QByteArray(32, 'a'))); // 32 chunks fit
    EXPECT_LT(t.elapsed(), 100);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        {
            std::lock_guard l(shared.mutex);
            shared.holdWrites = false;
        }
        shared.cv.notify_all();
    });
    t.restart();
    EXPECT_TRUE(comm.WriteText("b")); // the 33rd waits for room
    EXPECT_GE(t.elapsed(), 250);
    release.join();
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard l(shared.mutex);
        return shared.writes == 33;
    }));
    comm.Close();
}

TEST(CommXRecorded, SignalBreakAndErrorReachTheirHandlers) {
    RecordingDevice::Shared shared;
    shared.clock.start();
    TCommX comm([](int) { return QStringLiteral("recorded"); },
                [&] { return std::make_unique<RecordingDevice>(shared); });
    QStringList seen;
    comm.OnSignal = [&](TCustomCommX*, int mask) { seen << QString("signal %1").arg(mask, 0, 16); };
    comm.OnBreak = [&](TCustomCommX*) { seen << "break"; };
    comm.OnError = [&](TCustomCommX*, int bits) { seen << QString("error %1").arg(bits, 0, 16); };
    comm.OnReceive = [&](TCustomCommX*, int) { seen << "receive"; };
    comm.Open();
    {
        std::lock_guard l(shared.mutex);
        shared.scripted = {
            {EvCts, 0}, {EvBreak, 0}, {EvErr, ErrParity | ErrFrame}, {EvRing | EvBreak, 0}};
    }
    ASSERT_TRUE(waitFor([&] { return seen.size() >= 5; }));
    EXPECT_EQ(seen, (QStringList{"signal 8", "break", "error c", "signal 140", "break"}));
    comm.Close();
}

TEST_F(CommXTest, AFailingHandlerDoesNotStopReception) {
    comm.Open();
    int calls = 0;
    comm.OnReceive = [&](TCustomCommX*, int size) {
        ++calls;
        for (int i = 0; i < size; ++i)
            comm.ReadByte();
        if (calls == 1)
            throw std::runtime_error("a statement failed");
    };
    ports[1].send("first\r");
    EXPECT_THROW(waitFor([&] { return calls == 1; }), std::runtime_error);
    ports[1].send("second\r");
    EXPECT_TRUE(waitFor([&] { return calls == 2; }));
}
