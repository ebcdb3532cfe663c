// Times the handling of one timer line on the window thread: journal, split, capture (with
// --capture), insert into pulsedata and refresh of the impulse lists, with a realistic
// amount of data already logged. Run by scripts/bench.sh against the private server.
#include "BenchData.h"
#include "capture/ImpulseJournal.h"
#include "capture/QueueByteSource.h"
#include "capture/ReceiveHandler.h"
#include "capture/RunControl.h"
#include "data/AppState.h"
#include "data/DbError.h"
#include "data/TDM1.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <ctime>
#include <stdexcept>
#include <unistd.h>
#include <vector>

using namespace pistel;
using namespace pistel::bench;

namespace {

struct Stats {
    double median = 0, p99 = 0, max = 0;
};

Stats summarize(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, size_t(q * (ms.size() - 1)))];
    };
    return {at(0.5), at(0.99), ms.back()};
}

// CPU seconds a process has used so far, from /proc (the database server runs apart).
double cpuSecondsOf(const QString& pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the CPU time of process " + pid.toStdString());
    // Fields after the command name in parentheses; utime and stime are the 12th and 13th.
    const QByteArray line = f.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        throw std::runtime_error("unexpected /proc/" + pid.toStdString() + "/stat");
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Median time of re-reading one list: the part of a line's handling no code of ours can
// shorten, since the list's statement is fixed.
double medianReread(Query& list, int times) {
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < times; ++i) {
        timer.start();
        list.reread();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {"dsn", "ODBC data source.", "name", "PistelTest"},
        {"lines", "Timer lines to time (per kind).", "n", "1000"},
        {"competitors", "Competitors in the competition.", "n", "60"},
        {"impulses", "Impulses logged before timing.", "n", "2000"},
        {"capture", "Capture start and finish impulses of run 1 in automatic mode."},
        {"server-pid", "Process id of the database server, to report its CPU time.", "pid"},
        {"journal", "Folder of the impulse journal (default: a temporary one).", "dir"},
    });
    parser.process(application);
    const int lines = parser.value("lines").toInt();
    const int competitors = parser.value("competitors").toInt();
    const bool capture = parser.isSet("capture");
    QTextStream out(stdout);

    try {
        AppState app;
        TDM1 dm;
        dm.Db1.open(connectionString(parser.value("dsn")));
        prepare(dm, competitors, parser.value("impulses").toInt());
        app.competitionCode = kCode;
        app.timerPortOpen = true;
        QTemporaryDir journalDir;
        const QString journalFolder =
            parser.isSet("journal") ? parser.value("journal") : journalDir.path();
        ImpulseJournal journal(journalFolder);
        // What the journal alone costs a line: a write and its fsync.
        {
            ImpulseJournal alone(journalFolder + QStringLiteral("/alone"));
            std::vector<double> appends;
            QElapsedTimer t;
            const QDateTime now = QDateTime::currentDateTime();
            for (int i = 0; i < 500; ++i) {
                t.start();
                alone.append({now, i, kCode, QByteArray(" 0001 C0  10:00:00.0000 00"), {}});
                appends.push_back(t.nsecsElapsed() / 1e6);
            }
            const Stats j = summarize(appends);
            out << QStringLiteral("journal append with fsync (%1): median %2 ms  p99 %3 ms\n")
                       .arg(journalFolder)
                       .arg(j.median, 0, 'f', 3)
                       .arg(j.p99, 0, 'f', 3);
        }
        QueueByteSource port;
        ReceiveHandler handler(app, dm, port, &journal);
        RunControl control(app, dm);
        control.selection.selectRun1();
        if (capture)
            handler.setCapture(&control);

        std::vector<double> starts, finishes;
        const QString serverPid = parser.value("server-pid");
        const double serverCpu0 = serverPid.isEmpty() ? 0 : cpuSecondsOf(serverPid);
        const double ownCpu0 = ownCpuSeconds();
        QElapsedTimer timer;
        const std::int64_t t0 = std::int64_t(10) * 3600 * 10000;
        const int n = capture ? std::min(lines, competitors) : lines;
        for (int i = 0; i < n; ++i) {
            const QString bib = capture ? control.page1.startBox() : QStringLiteral("0001");
            port.push(timerLine(bib, "C0", t0 + std::int64_t(i) * 300000));
            timer.start();
            handler.CommX1Receive(port.InQueCount());
            starts.push_back(timer.nsecsElapsed() / 1e6);

            const QString fin = bib; // the competitor just started crosses the finish
            port.push(timerLine(fin, "C1", t0 + std::int64_t(i) * 300000 + 650000));
            timer.start();
            handler.CommX1Receive(port.InQueCount());
            finishes.push_back(timer.nsecsElapsed() / 1e6);
        }
        const double ownCpu = ownCpuSeconds() - ownCpu0;
        const double serverCpu = serverPid.isEmpty() ? 0 : cpuSecondsOf(serverPid) - serverCpu0;
        const Stats s = summarize(starts), f = summarize(finishes);
        std::vector<double> all = starts;
        all.insert(all.end(), finishes.begin(), finishes.end());
        const Stats a = summarize(all);
        out << (capture ? "capture" : "log only") << ": " << competitors << " competitors, "
            << parser.value("impulses") << " impulses logged before, " << all.size()
            << " lines timed\n";
        out << QStringLiteral("  start lines:  median %1 ms  p99 %2 ms  max %3 ms\n")
                   .arg(s.median, 0, 'f', 3)
                   .arg(s.p99, 0, 'f', 3)
                   .arg(s.max, 0, 'f', 3);
        out << QStringLiteral("  finish lines: median %1 ms  p99 %2 ms  max %3 ms\n")
                   .arg(f.median, 0, 'f', 3)
                   .arg(f.p99, 0, 'f', 3)
                   .arg(f.max, 0, 'f', 3);
        out << QStringLiteral("  all lines:    median %1 ms  p99 %2 ms\n")
                   .arg(a.median, 0, 'f', 3)
                   .arg(a.p99, 0, 'f', 3);
        const double perLine = 1000.0 / double(2 * n);
        out << QStringLiteral("  CPU per line: workstation %1 ms").arg(ownCpu * perLine, 0, 'f', 3);
        if (!serverPid.isEmpty())
            out << QStringLiteral(", database server %1 ms").arg(serverCpu * perLine, 0, 'f', 3);
        out << "\n";
        if (capture) {
            out << QStringLiteral("  one re-read: start list %1 ms, finish list %2 ms, "
                                  "start impulse list %3 ms\n")
                       .arg(medianReread(control.page1.startList, 200), 0, 'f', 3)
                       .arg(medianReread(control.page1.finishList, 200), 0, 'f', 3)
                       .arg(medianReread(control.page1.startPulses, 200), 0, 'f', 3);
            Query q(dm.Db1, "check",
                    {"select count(*) from result where tcode='BENCH' and FL='F'"});
            q.open();
            out << "  finished competitors: " << q.text(0, 0) << "\n";
        }
        clean(dm);
    } catch (const DbError& e) {
        QTextStream(stderr) << e.message() << "\n" << e.statement() << "\n";
        return 1;
    } catch (const std::runtime_error& e) {
        QTextStream(stderr) << e.what() << "\n";
        return 1;
    }
    return 0;
}
