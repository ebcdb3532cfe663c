#pragma once

#include "support/WaitFor.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace pistel::test {

// A real pseudo-terminal: the component opens `path()`, the test plays the far end on the
// master side.
class Pty {
public:
    Pty() {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        path_ = QString::fromLocal8Bit(name);
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::close(slave);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() { hangUp(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const QString& path() const { return path_; }
    int master() const { return master_; }

    void send(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
            if (n > 0)
                done += n;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Everything that arrives within `ms` after the last byte (the event loop keeps running).
    QByteArray receive(int ms = 300, qsizetype atLeast = 0) {
        QByteArray out;
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < ms || out.size() < atLeast) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                out.append(buf, n);
                quiet.restart();
                continue;
            }
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (quiet.elapsed() > 10000)
                break;
        }
        return out;
    }
    speed_t speed() const {
        const termios t = settings();
        return ::cfgetospeed(&t);
    }
    termios settings() const {
        termios t{};
        ::tcgetattr(master_, &t);
        return t;
    }
    // The far end goes away, as when an adapter is pulled out.
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QString path_;
};

} // namespace pistel::test
