// Feeds a file of timer lines (as a timer sends or prints them, or the impulse journal)
// through the receive handler of a timing station, the same session the run window runs
// (without its ports and clocks), for loading a timer's printed log or
// recovering after a failure. With --run the lines are also captured, as on the run page
// in automatic mode, and the timer's own "RT" run times are checked against ours.
// Exit codes: 0 done, 1 a statement failed, 2 wrong arguments, 3 a run time differs from
// the timer's, 4 journal lines already logged were not captured again (before 3: the
// replay was not whole).
#include "capture/JournalRecovery.h"
#include "capture/QueueByteSource.h"
#include "capture/Replay.h"
#include "data/AppState.h"
#include "data/CheckoutDataSources.h"
#include "data/DbError.h"
#include "data/OperatorDialog.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "station/TimingStation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

using namespace pistel;

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

QString runTimeOf(TDM1& dm, const AppState& app, const QString& bib, int run) {
    Query q(dm.Db1, QStringLiteral("check"));
    q.setSql(
        {"select ttime, ttime2 from result where tcode = '" + sqlValue(app.competitionCode) + "'",
         "and zek = '" + sqlValue(bib) + "'"});
    q.open();
    return q.fieldByName(run == 1 ? u"ttime" : u"ttime2").asString();
}

// Whether the impulse row of a journal entry is in pulsedata.
bool impulseLogged(TDM1& dm, const JournalEntry& e) {
    const TimerLine t = splitTimerLine(QString::fromLatin1(e.line));
    Query q(dm.Db1, QStringLiteral("logged"));
    q.setSql({"select count(*) from pulsedata where tcode = '" + sqlValue(e.competitionCode) + "'",
              "and ttime = '" + QString::number(e.receiptTenths) + "' and tstat = '" +
                  sqlValue(t.tstat) + "' and bib = '" + sqlValue(t.bib) + "'",
              "and stat = '" + sqlValue(t.stat) + "' and dtime = '" + sqlValue(t.dtime) + "'"});
    q.open();
    return q.fieldByName(u"count(*)").asInteger() > 0;
}

// Nobody to ask: a question is answered No, and both are printed.
class ToolDialog : public OperatorDialog {
public:
    bool askYesNo(const QString& text, const QString&) override {
        err << text << " -> no" << Qt::endl;
        return false;
    }
    void showMessage(const QString& text) override { err << text << Qt::endl; }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pistel-replay"));
    useCheckoutDataSources(QCoreApplication::applicationFilePath());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Feeds recorded timer lines through the receive handler."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("dsn"), QStringLiteral("ODBC data source (default PistelLocal)."),
         QStringLiteral("name"), QStringLiteral("PistelLocal")},
        {QStringLiteral("code"), QStringLiteral("Competition code (tcode)."),
         QStringLiteral("tcode")},
        {QStringLiteral("run"),
         QStringLiteral("Capture for run 1 or 2 in automatic mode; without it lines are "
                        "only logged."),
         QStringLiteral("run")},
    });
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Timer lines or journal."));
    parser.process(application);

    const QStringList files = parser.positionalArguments();
    const QString run = parser.value(QStringLiteral("run"));
    if (files.size() != 1 || !parser.isSet(QStringLiteral("code")) ||
        (!run.isEmpty() && run != QLatin1String("1") && run != QLatin1String("2"))) {
        err << parser.helpText() << Qt::flush;
        return 2;
    }
    QFile file(files.first());
    if (!file.open(QIODevice::ReadOnly)) {
        err << "cannot read " << file.fileName() << ": " << file.errorString() << Qt::endl;
        return 2;
    }
    int torn = 0;
    const QList<ReplayLine> lines = readReplayLines(file.readAll(), &torn);
    if (torn > 0)
        err << "warning: " << torn << " torn journal record(s) skipped (a failed write)"
            << Qt::endl;

    AppState app;
    app.competitionCode = parser.value(QStringLiteral("code"));
    app.timerPortOpen = true;
    TDM1 dm;
    QueueByteSource port;
    ToolDialog dialog;
    // No journal: the lines are in the file already (or are the journal's own).
    TimingStation station(app, dm, dialog, nullptr, {}, &port);
    ReceiveHandler& handler = station.receiver;
    const RunControl& control = station.control;
    if (run.isEmpty())
        handler.setCapture(nullptr); // logged only
    int failures = 0;
    int mismatches = 0;
    try {
        dm.Db1.open(connectionString(parser.value(QStringLiteral("dsn"))));
        if (!run.isEmpty())
            station.control.selection.selectRun(run.toInt());
    } catch (const DbError& e) {
        err << e.message() << Qt::endl << e.statement() << Qt::endl;
        if (const QString hint = dataSourceHint(e.message()); !hint.isEmpty())
            err << hint << Qt::endl;
        return 1;
    }
    if (!run.isEmpty()) {
        const RunPage& p = run == QLatin1String("1") ? control.page1 : control.page2;
        out << "boxes: start " << p.startBox() << "  finish " << p.finishBox() << Qt::endl;
    }

    QObject::connect(&handler, &ReceiveHandler::lineHandled,
                     [&](const QString& line, const TimerLine& t, int tenths, bool logged) {
                         out << (logged ? "logged " : "       ")
                             << QString::number(tenths).rightJustified(6) << "  " << line;
                         if (!run.isEmpty()) {
                             const RunPage& p =
                                 run == QLatin1String("1") ? control.page1 : control.page2;
                             out << "   | start " << p.startBox() << "  finish " << p.finishBox();
                         }
                         out << Qt::endl;
                         // A run time the timer took back or cleared is not its result.
                         if (run.isEmpty() || !t.endsDelivery() || t.takesBack() || t.isCleared())
                             return;
                         const QString ours = runTimeOf(dm, app, t.bib, run.toInt());
                         const auto theirs = durationHundredths(t.dtime);
                         const bool same = theirs && durationHundredths(ours) == theirs;
                         out << "       run time of " << t.bib << ": timer " << t.dtime.trimmed()
                             << ", ours " << (ours.isEmpty() ? QStringLiteral("(none)") : ours)
                             << (same ? "  ok" : "  DIFFERENT") << Qt::endl;
                         if (!same)
                             ++mismatches;
                     });

    // Without --run, journal entries are recovery: each is logged under its own competition
    // with its own receipt time, unless its row is there already, so running it twice is
    // harmless. Raw timer lines go through the receive handler under --code.
    int refused = 0;
    if (run.isEmpty()) {
        QList<JournalEntry> entries;
        for (const ReplayLine& line : lines) {
            if (line.entry)
                entries.append(*line.entry);
        }
        try {
            const RecoveryCount count = writeMissingImpulses(dm, entries);
            out << "journal: " << count.written << " written, " << count.alreadyLogged
                << " already logged, " << count.notLogged << " not logged (RT)" << Qt::endl;
        } catch (const DbError& e) {
            ++failures;
            err << "error: " << e.message() << Qt::endl << e.statement() << Qt::endl;
        }
    }
    for (const ReplayLine& line : lines) {
        if (line.entry && run.isEmpty())
            continue; // recovered above
        if (line.entry) {
            // A journal line is captured only for its own competition, and only once: its
            // impulse row there means it was handled already.
            if (line.entry->competitionCode != app.competitionCode) {
                out << "other competition " << line.entry->competitionCode << ": "
                    << QString::fromLatin1(line.bytes) << Qt::endl;
                continue;
            }
            try {
                if (impulseLogged(dm, *line.entry)) {
                    ++refused;
                    out << "already logged, not captured again: " << QString::fromLatin1(line.bytes)
                        << Qt::endl;
                    continue;
                }
            } catch (const DbError& e) {
                ++failures;
                err << "error: " << e.message() << Qt::endl << e.statement() << Qt::endl;
                continue;
            }
        }
        if (line.received)
            handler.setClock([when = *line.received] { return when; });
        else
            handler.setClock([] { return QDateTime::currentDateTime(); });
        port.push(line.bytes + '\r');
        try {
            handler.CommX1Receive(port.InQueCount());
        } catch (const DbError& e) {
            ++failures;
            err << "error: " << e.message() << Qt::endl << e.statement() << Qt::endl;
        }
    }
    // A connection lost on the way leaves lines waiting for it, which the tool will not see
    // written: each counts as failed.
    if (const int waiting = handler.pendingCount(); waiting > 0) {
        failures += waiting;
        err << "error: the connection was lost; " << waiting << " line(s) not written" << Qt::endl;
    }
    out << lines.size() << " lines, " << failures << " failed";
    if (!run.isEmpty())
        out << ", " << mismatches << " run times differ from the timer's, " << refused
            << " already logged and not captured again";
    out << Qt::endl;
    if (failures > 0)
        return 1;
    if (refused > 0)
        return 4;
    return mismatches > 0 ? 3 : 0;
}
