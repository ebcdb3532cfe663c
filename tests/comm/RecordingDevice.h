#pragma once

#include "comm/SerialDevice.h"

#include <QElapsedTimer>
#include <QStringList>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace pistel::test {

// A platform layer that records what the component does to the line, with times, and can
// hold writes back to fill the transmit queue.
class RecordingDevice : public SerialDevice {
public:
    struct Shared {
        std::mutex mutex;
        std::condition_variable cv;
        QStringList log;     // "rts 1", "write 5", ...
        QList<qint64> times; // ms since the clock started, one per log entry
        QElapsedTimer clock;
        bool holdWrites = false;
        int writes = 0;
        LineSettings applied;
        QList<QPair<int, int>> scripted; // line events and error bits waitEvent hands out
        void record(const QString& what) {
            std::lock_guard l(mutex);
            log << what;
            times << clock.elapsed();
        }
    };

    explicit RecordingDevice(Shared& shared) : s_(shared) {}

    bool open(const QString&, QString*) override { return open_ = true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int handle() const override { return open_ ? 42 : -1; }
    bool setQueueSizes(int, int) override { return true; }
    SettingRefused apply(const LineSettings& settings) override {
        std::lock_guard l(s_.mutex);
        s_.applied = settings;
        return SettingRefused::None;
    }
    int waitEvent(int mask, int) override {
        for (;;) {
            {
                std::lock_guard l(s_.mutex);
                if (!s_.scripted.isEmpty()) {
                    const auto [events, errors] = s_.scripted.takeFirst();
                    errors_ = errors;
                    return events & mask;
                }
            }
            std::unique_lock l(waitMutex_);
            if (waitCv_.wait_for(l, std::chrono::milliseconds(20), [&] { return cancelled_; })) {
                cancelled_ = false;
                return 0;
            }
        }
    }
    void cancelWait() override {
        {
            std::lock_guard l(waitMutex_);
            cancelled_ = true;
        }
        waitCv_.notify_all();
    }
    int takeErrors() override { return std::exchange(errors_, 0); }
    int bytesWaiting() override { return 0; }
    int read(char*, int, int) override { return 0; }
    int write(const char*, int count, int) override {
        {
            std::unique_lock l(s_.mutex);
            s_.cv.wait(l, [&] { return !s_.holdWrites; });
            ++s_.writes;
        }
        s_.record(QStringLiteral("write %1").arg(count));
        return count;
    }
    void purgeReceive() override {}
    void purgeTransmit() override {}
    bool setRts(bool on) override {
        s_.record(QStringLiteral("rts %1").arg(on ? 1 : 0));
        return true;
    }
    bool setDtr(bool on) override {
        s_.record(QStringLiteral("dtr %1").arg(on ? 1 : 0));
        return true;
    }

private:
    Shared& s_;
    bool open_ = false;
    std::mutex waitMutex_;
    std::condition_variable waitCv_;
    bool cancelled_ = false;
    int errors_ = 0; // only the receive thread touches it
};

} // namespace pistel::test
