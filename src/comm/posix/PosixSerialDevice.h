#pragma once

#include "../SerialDevice.h"

#include <atomic>
#include <mutex>

namespace pistel {

// SerialDevice on POSIX termios: O_NOCTTY|O_NONBLOCK|O_CLOEXEC, exclusive by TIOCEXCL and
// flock, raw 8-bit transfer, time-outs by poll against a monotonic deadline. Modem-line
// ioctls that a device lacks (ENOTTY, EINVAL) count as unsupported.
class PosixSerialDevice : public SerialDevice {
public:
    PosixSerialDevice();
    ~PosixSerialDevice() override;

    bool open(const QString& path, QString* why) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    int handle() const override { return fd_; }

    bool setQueueSizes(int receive, int transmit) override;
    SettingRefused apply(const LineSettings& settings) override;

    int waitEvent(int mask, int quietUpTo) override;
    void cancelWait() override;
    int takeErrors() override;
    int bytesWaiting() override;

    int read(char* buffer, int count, int timeoutMs) override;
    int write(const char* buffer, int count, int timeoutMs) override;
    void purgeReceive() override;
    void purgeTransmit() override;

    bool setRts(bool on) override;
    bool setDtr(bool on) override;

    static std::unique_ptr<SerialDevice> create();

private:
    bool setModemBit(int bit, bool on);
    int modemEvents(); // changes of CTS, DSR, carrier and ring since the last look
    int countersEvents(int* errors);

    int fd_ = -1;
    int wakeFd_ = -1;    // eventfd that ends a wait
    int lastModem_ = -1; // -2: the device has no modem lines
    bool countersSupported_ = true;
    int lastCounters_[5] = {}; // frame, overrun, parity, brk, buf_overrun
    std::atomic<int> pendingErrors_{0};
    std::mutex linesMutex_; // the modem and counter snapshots are read from several threads
};

} // namespace pistel
