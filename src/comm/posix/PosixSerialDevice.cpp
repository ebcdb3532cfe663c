#include "PosixSerialDevice.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

namespace pistel {
namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool unsupported(int err) {
    return err == ENOTTY || err == EINVAL || err == ENOSYS;
}

speed_t speedOf(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return 0;
    }
}

} // namespace

std::unique_ptr<SerialDevice> PosixSerialDevice::create() {
    return std::make_unique<PosixSerialDevice>();
}

PosixSerialDevice::PosixSerialDevice() {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PosixSerialDevice::~PosixSerialDevice() {
    close();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool PosixSerialDevice::open(const QString& path, QString* why) {
    close();
    const QByteArray p = path.toLocal8Bit();
    const int fd = ::open(p.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (why)
            *why = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Only one user of a port at a time, as on the original platform.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (why)
            *why = path + QStringLiteral(": in use");
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL); // refused by some devices; the lock above is what counts
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        if (why)
            *why = path + QStringLiteral(": not a serial device");
        ::close(fd);
        return false;
    }
    fd_ = fd;
    lastModem_ = -1;
    countersSupported_ = true;
    std::memset(lastCounters_, 0, sizeof lastCounters_);
    countersEvents(nullptr); // take the counters as they stand now
    pendingErrors_ = 0;
    return true;
}

void PosixSerialDevice::close() {
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

bool PosixSerialDevice::setQueueSizes(int receive, int transmit) {
    // The kernel keeps its own queues; any positive size is accepted.
    return receive > 0 && transmit > 0;
}

SettingRefused PosixSerialDevice::apply(const LineSettings& s) {
    if (fd_ < 0)
        return SettingRefused::BaudRate;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0)
        return SettingRefused::BaudRate;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    const speed_t speed = speedOf(s.line.baud);
    if (speed == 0 || ::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0)
        return SettingRefused::BaudRate;
    t.c_cflag &= ~CSIZE;
    switch (s.line.dataBits) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    case 8:
        t.c_cflag |= CS8;
        break;
    default:
        return SettingRefused::DataBits;
    }
    t.c_cflag &= ~(PARENB | PARODD);
    t.c_iflag &= ~INPCK;
    switch (s.line.parity) {
    case 0:
        break;
    case 1:
        t.c_cflag |= PARENB | PARODD, t.c_iflag |= INPCK;
        break;
    case 2:
        t.c_cflag |= PARENB, t.c_iflag |= INPCK;
        break;
    default:
        return SettingRefused::Parity;
    }
    switch (s.line.stopBits) {
    case 0:
        t.c_cflag &= ~CSTOPB;
        break;
    case 2:
        t.c_cflag |= CSTOPB;
        break;
    default:
        return SettingRefused::StopBits; // one and a half stop bits: not on this platform
    }
    // CTS is watched on output when RTS does the handshake; DSR watching has no termios form.
    if (s.ctsOutput || s.rts == LineDrive::Handshake)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~CRTSCTS;
    if (s.xonXoff) {
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    } else {
        t.c_iflag &= ~(IXON | IXOFF | IXANY);
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
        return SettingRefused::FlowControl;
    setDtr(s.dtr != LineDrive::Off);
    if (s.rts != LineDrive::Handshake)
        setRts(s.rts == LineDrive::On);
    return SettingRefused::None;
}

bool PosixSerialDevice::setModemBit(int bit, bool on) {
    if (fd_ < 0)
        return false;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool PosixSerialDevice::setRts(bool on) {
    return setModemBit(TIOCM_RTS, on);
}
bool PosixSerialDevice::setDtr(bool on) {
    return setModemBit(TIOCM_DTR, on);
}

int PosixSerialDevice::modemEvents() {
    std::lock_guard lock(linesMutex_);
    if (lastModem_ == -2)
        return 0;
    int bits = 0;
    if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
        if (unsupported(errno))
            lastModem_ = -2;
        return 0;
    }
    const int before = lastModem_;
    lastModem_ = bits;
    if (before < 0)
        return 0;
    const int changed = before ^ bits;
    int events = 0;
    if (changed & TIOCM_CTS)
        events |= EvCts;
    if (changed & TIOCM_DSR)
        events |= EvDsr;
    if (changed & TIOCM_CD)
        events |= EvRlsd;
    if ((changed & TIOCM_RI) && (bits & TIOCM_RI))
        events |= EvRing;
    return events;
}

int PosixSerialDevice::countersEvents(int* errors) {
#ifdef TIOCGICOUNT
    std::lock_guard lock(linesMutex_);
    if (!countersSupported_)
        return 0;
    serial_icounter_struct c{};
    if (::ioctl(fd_, TIOCGICOUNT, &c) != 0) {
        if (unsupported(errno))
            countersSupported_ = false;
        return 0;
    }
    const int now[5] = {c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
    int events = 0, err = 0;
    if (now[0] != lastCounters_[0])
        err |= ErrFrame;
    if (now[1] != lastCounters_[1] || now[4] != lastCounters_[4])
        err |= ErrOverrun;
    if (now[2] != lastCounters_[2])
        err |= ErrParity;
    if (now[3] != lastCounters_[3])
        events |= EvBreak;
    std::memcpy(lastCounters_, now, sizeof now);
    if (err)
        events |= EvErr;
    if (errors)
        *errors |= err;
    return events;
#else
    (void)errors;
    return 0;
#endif
}

int PosixSerialDevice::waitEvent(int mask, int quietUpTo) {
    for (;;) {
        if (fd_ < 0)
            return -1;
        // While only bytes the handler chose to leave are waiting, poll would wake at once;
        // the queue is then looked at every 20 ms instead, until more bytes arrive.
        const int before = bytesWaiting();
        if (before >= 0 && before < quietUpTo)
            quietUpTo = before;
        const bool quiet = quietUpTo > 0 && before <= quietUpTo;
        bool lookAtLines;
        {
            std::lock_guard lock(linesMutex_);
            lookAtLines = lastModem_ != -2 || countersSupported_;
        }
        pollfd fds[2] = {{fd_, static_cast<short>(quiet ? 0 : POLLIN), 0}, {wakeFd_, POLLIN, 0}};
        const int timeout = quiet ? 20 : (lookAtLines ? 100 : -1);
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            return -1;
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            while (::read(wakeFd_, &v, sizeof v) > 0) {
            }
            return 0;
        }
        const int waiting = bytesWaiting();
        int errors = 0;
        int events = modemEvents() | countersEvents(&errors);
        if (errors)
            pendingErrors_ |= errors;
        if (waiting > 0 && waiting > quietUpTo)
            events |= EvRxChar;
        if (events & mask)
            return events & mask;
        // The device is gone (a USB adapter pulled out, the far end of a pseudo-terminal
        // closed); what it delivered before was announced above.
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) || waiting < 0)
            return -1;
    }
}

void PosixSerialDevice::cancelWait() {
    const uint64_t one = 1;
    [[maybe_unused]] const auto r = ::write(wakeFd_, &one, sizeof one);
}

int PosixSerialDevice::takeErrors() {
    int errors = 0;
    if (fd_ >= 0)
        countersEvents(&errors);
    return (pendingErrors_.exchange(0) | errors) & ErrReported;
}

int PosixSerialDevice::bytesWaiting() {
    if (fd_ < 0)
        return 0;
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0)
        return -1;
    return n;
}

int PosixSerialDevice::read(char* buffer, int count, int timeoutMs) {
    if (fd_ < 0 || count <= 0)
        return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, static_cast<size_t>(count));
        if (n > 0)
            return static_cast<int>(n);
        // A raw terminal with nothing waiting reads 0 bytes (or EAGAIN); a hang-up shows in poll.
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, remainingMs(deadline)) < 0 && errno != EINTR)
            return -1;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return -1;
        if (!(p.revents & POLLIN) && remainingMs(deadline) == 0)
            return 0;
    }
}

int PosixSerialDevice::write(const char* buffer, int count, int timeoutMs) {
    if (fd_ < 0)
        return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return -1;
        const int left = remainingMs(deadline);
        if (left == 0)
            break;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, left) < 0 && errno != EINTR)
            return -1;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return -1;
    }
    return done;
}

void PosixSerialDevice::purgeReceive() {
    if (fd_ >= 0)
        ::tcflush(fd_, TCIFLUSH);
}

void PosixSerialDevice::purgeTransmit() {
    if (fd_ >= 0)
        ::tcflush(fd_, TCOFLUSH);
}

} // namespace pistel
