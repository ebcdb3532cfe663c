// Latency from bytes written into a pseudo-terminal to the receive handler having read the
// whole line on the window thread, over 10,000 timer lines.
#include "comm/TCommX.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace pistel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 10000;
    int master = -1, slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return 1;
    ::close(slave);
    TCommX comm([&](int) { return QString::fromLocal8Bit(name); });
    comm.setBitRate(38400);
    comm.Open();

    int completed = 0;
    QByteArray line;
    comm.OnReceive = [&](TCustomCommX*, int size) {
        for (int i = 0; i < size; ++i) {
            const int b = comm.ReadByte();
            line.append(static_cast<char>(b));
            if (b == '\r')
                ++completed;
        }
    };
    const QByteArray text = " 0001 C0  10:04:55.6513 00\r";
    std::vector<double> ms;
    ms.reserve(lines);
    QElapsedTimer t;
    for (int i = 0; i < lines; ++i) {
        const int target = completed + 1;
        t.start();
        if (::write(master, text.constData(), text.size()) != text.size())
            return 1;
        while (completed < target) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (t.elapsed() > 5000) {
                QTextStream(stderr) << "line " << i << " never arrived\n";
                return 1;
            }
        }
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    comm.Close();
    std::sort(ms.begin(), ms.end());
    QTextStream(stdout) << "serial: " << lines << " lines from pseudo-terminal to handler: median "
                        << QString::number(ms[ms.size() / 2], 'f', 3) << " ms, p99 "
                        << QString::number(ms[ms.size() * 99 / 100], 'f', 3) << " ms, max "
                        << QString::number(ms.back(), 'f', 3) << " ms\n";
    return 0;
}
