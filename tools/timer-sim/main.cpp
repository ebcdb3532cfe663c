// A race timer on a serial line, for trying the workstation without one: it creates a
// pseudo-terminal (or opens a given device), prints its path, and sends timer lines from a
// recorded log, at real speed or faster, or by hand from the keyboard.
#include "TimerSim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <chrono>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace pistel::sim;

namespace {

bool sendAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

int fractionNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(now).count() /
                            100 % 10000);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Race timer simulator. Keys: digits type a bib, s sends a start impulse, f a finish "
        "impulse, q quits."));
    parser.addHelpOption();
    parser.addOptions({
        {"device", "Send on this device instead of a new pseudo-terminal.", "path"},
        {"file", "Send the timer lines of this file.", "file"},
        {"speed", "How many times faster than real the file is sent (0: at once).", "x", "1"},
        {"exit", "Quit when the file has been sent."},
        {"delay", "Wait this long before sending the file (time to open the port).", "ms", "0"},
        {"link", "Also reach the new pseudo-terminal by this path (a symbolic link).", "path"},
    });
    parser.process(app);
    QTextStream out(stdout);

    int fd = -1;
    if (parser.isSet("device")) {
        fd = ::open(parser.value("device").toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (fd < 0) {
            QTextStream(stderr) << "cannot open " << parser.value("device") << "\n";
            return 1;
        }
    } else {
        int slave = -1;
        char name[128] = {};
        if (::openpty(&fd, &slave, name, nullptr, nullptr) != 0)
            return 1;
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::close(slave);
        if (parser.isSet("link")) {
            const QByteArray link = parser.value("link").toLocal8Bit();
            ::unlink(link.constData());
            if (::symlink(name, link.constData()) != 0) {
                QTextStream(stderr) << "cannot link " << parser.value("link") << "\n";
                return 1;
            }
        }
        out << "timer on " << name;
        // With a link, whoever asked for it (the run command) registers that for the
        // workstation; without one, the user needs to know how.
        if (parser.isSet("link"))
            out << " (" << parser.value("link") << ")\n";
        else
            out << "\nregister it for the workstation: PISTEL_PORTS=\"COM9=" << name << "\"\n";
        out << "keys: digits type a bib, s sends a start, f a finish, q quits\n" << Qt::flush;
    }

    if (parser.isSet("file")) {
        QFile file(parser.value("file"));
        if (!file.open(QIODevice::ReadOnly)) {
            QTextStream(stderr) << "cannot read " << file.fileName() << "\n";
            return 1;
        }
        QList<QByteArray> lines =
            file.readAll().replace("\r\n", "\n").replace('\r', '\n').split('\n');
        std::this_thread::sleep_for(std::chrono::milliseconds(parser.value("delay").toInt()));
        QElapsedTimer clock;
        clock.start();
        for (const Scheduled& s : schedule(lines, parser.value("speed").toDouble())) {
            const qint64 wait = s.atMs - clock.elapsed();
            if (wait > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(wait));
            if (!sendAll(fd, s.bytes))
                return 1;
            out << "sent " << QString::fromLatin1(s.bytes.trimmed()) << "\n" << Qt::flush;
        }
        if (parser.isSet("exit"))
            return 0;
    }

    // By hand: one key at a time, without waiting for Enter.
    termios saved{};
    const bool tty = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (tty) {
        termios raw = saved;
        raw.c_lflag &= ~(ICANON | ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    out << "keys: digits = bib, s = start, f = finish, q = quit\n" << Qt::flush;
    KeyPad pad;
    char key = 0;
    while (::read(STDIN_FILENO, &key, 1) == 1 && key != 'q') {
        const QByteArray line = pad.press(key, QTime::currentTime(), fractionNow());
        if (line.isEmpty()) {
            out << "\rbib: " << pad.typed().leftJustified(4) << Qt::flush;
            continue;
        }
        if (!sendAll(fd, line))
            break;
        out << "\rsent " << QString::fromLatin1(line.trimmed()) << "\n" << Qt::flush;
    }
    if (tty)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return 0;
}
