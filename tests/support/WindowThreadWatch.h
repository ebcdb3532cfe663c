#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>

namespace pistel::test {

// How long the window thread is kept from its events. A 10 ms clock on the thread takes the
// gap between its ticks twice: as it is (longestGapMs), and as the time the thread slept in
// it (longestWaitMs): the gap less the time it ran and the time it was ready while another
// thread had the processor, as the kernel counts them (schedstat). A handler that waits for
// the server sleeps, and shows whole in both; a machine busy with other programs (or a
// virtual machine's host) stretches only the first. Made on the window thread.
class WindowThreadWatch {
public:
    WindowThreadWatch() {
        busy_ = busyNs();
        since_.start();
        QObject::connect(&clock_, &QTimer::timeout, [this] { tick(); });
        clock_.start(10);
    }
    qint64 longestGapMs() const { return longestGapNs_ / 1000000; }
    qint64 longestWaitMs() const { return longestWaitNs_ / 1000000; }
    void forget() { longestGapNs_ = longestWaitNs_ = 0; }

private:
    // Nanoseconds this thread has run and been ready to run without running (the first two
    // fields of schedstat); 0 where the kernel does not say.
    static qint64 busyNs() {
        QFile f(QStringLiteral("/proc/thread-self/schedstat"));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        const QList<QByteArray> parts = f.readAll().simplified().split(' ');
        return parts.size() < 2 ? 0 : parts[0].toLongLong() + parts[1].toLongLong();
    }
    void tick() {
        const qint64 gap = since_.nsecsElapsed();
        const qint64 busy = busyNs();
        since_.start();
        longestGapNs_ = std::max(longestGapNs_, gap);
        longestWaitNs_ = std::max(longestWaitNs_, gap - (busy - busy_));
        busy_ = busy;
    }

    QTimer clock_;
    QElapsedTimer since_;
    qint64 busy_ = 0;
    qint64 longestGapNs_ = 0;
    qint64 longestWaitNs_ = 0;
};

} // namespace pistel::test
