// A race day's length against the window's cost per line: 20,000 timer lines (both runs of
// 5,000 competitors, each starting and finishing) captured into a run page that is shown and
// painted (offscreen), with the workstation's CPU time per line taken over each 2,000 lines.
// The cost must stay flat as the impulse and competitor lists grow: the lists take each line's
// rows instead of being read or laid out whole. Run by scripts/bench.sh.
#include "BenchData.h"
#include "capture/QueueByteSource.h"
#include "data/AppState.h"
#include "data/DbError.h"
#include "data/OperatorDialog.h"
#include "station/StationView.h"
#include "station/TimingStation.h"
#include "ui/RunPageWidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>
#include <vector>

using namespace pistel;
using namespace pistel::bench;

namespace {
// Nothing is asked in a bench race; whatever is said goes to the error stream.
class BenchDialog : public OperatorDialog {
public:
    bool askYesNo(const QString& text, const QString&) override {
        QTextStream(stderr) << text << " -> no\n";
        return false;
    }
    void showMessage(const QString& text) override { QTextStream(stderr) << text << "\n"; }
};
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({
        {"dsn", "ODBC data source.", "name", "PistelTest"},
        {"competitors", "Competitors, each starting and finishing in both runs.", "n", "5000"},
        {"block", "Lines per measured block.", "n", "2000"},
    });
    parser.process(application);
    const int competitors = std::min(parser.value("competitors").toInt(), 8999);
    const int block = parser.value("block").toInt();
    QTextStream out(stdout);
    try {
        AppState app;
        TDM1 dm;
        dm.Db1.open(connectionString(parser.value("dsn")));
        prepare(dm, competitors, 0);
        app.competitionCode = kCode;
        app.timerPortOpen = true;
        QueueByteSource port;
        BenchDialog dialog;
        TimingStation station(app, dm, dialog, nullptr, {}, &port);
        StationView view(station);
        RunControl& control = station.control;
        std::vector<double> perLine; // CPU ms per line of each block
        double blockStart = ownCpuSeconds();
        int lines = 0;
        auto feed = [&](const QByteArray& line) {
            port.push(line);
            station.receiver.CommX1Receive(port.InQueCount());
            QApplication::processEvents(); // the lists are laid out and painted
            if (++lines % block == 0) {
                const double now = ownCpuSeconds();
                perLine.push_back((now - blockStart) * 1000.0 / block);
                blockStart = now;
            }
        };
        for (int run = 1; run <= 2; ++run) {
            RunPage& page = run == 1 ? control.page1 : control.page2;
            RunPageWidget widget(station, view, page);
            widget.resize(1020, 700);
            widget.show();
            station.selectRun(run);
            const std::int64_t t0 = std::int64_t(run == 1 ? 9 : 14) * 3600 * 10000;
            for (int i = 0; i < competitors; ++i) {
                const QString bib = page.startBox();
                const std::int64_t t = t0 + std::int64_t(i) * 20000;
                feed(timerLine(bib, "C0", t));
                feed(timerLine(bib, "C1", t + 600000));
            }
        }
        out << "window, " << lines << " lines (" << competitors
            << " competitors, two runs), CPU per line by " << block << " lines (ms):";
        for (double ms : perLine)
            out << ' ' << QString::number(ms, 'f', 2);
        out << "\n";
        if (perLine.size() >= 2)
            out << "  last / first block: "
                << QString::number(perLine.back() / perLine.front(), 'f', 2) << " [1.25]\n";
        Query q(dm.Db1, "check", {"select count(*) from result where tcode='BENCH' and FL2='F'"});
        q.open();
        out << "  finished both runs: " << q.text(0, 0) << "\n";
        clean(dm);
    } catch (const DbError& e) {
        QTextStream(stderr) << e.message() << "\n" << e.statement() << "\n";
        return 1;
    }
    return 0;
}
