// Backup timing from the command line, printing CSV to standard output:
//   pistel-backup match|propose|apply --dsn NAME --code TCODE --run 1|2 --channel start|finish
//                 --hand FILE [--tolerance SECONDS]
// match: each hand time with the competitor it went to; propose: the replacement times of the
// competitors missing a system-A time; apply: stores them (and the hand times of the file as
// the run's sheet) and prints the same rows; a second apply changes nothing.
//   pistel-backup report --dsn NAME --code TCODE --run 1|2 --out FILE [--tolerance SECONDS]
// writes the run's replacement-time report (PDF) from the stored hand times.
// Exit codes: 0 done, 1 a database error, 2 bad arguments or a malformed file (its line).
#include "backup/BackupRun.h"
#include "backup/ReplacementReport.h"
#include "capture/ReplacementTimes.h"
#include "data/CheckoutDataSources.h"
#include "data/DbError.h"
#include "data/TDM1.h"
#include "results/DocumentPdf.h"
#include "results/Race.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cmath>

using namespace pistel;

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

int badArguments(const QString& message) {
    err << "pistel-backup: " << message << "\n" << Qt::flush;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    prepareForDocumentsWithoutScreen(); // the report needs fonts, never a screen
    QGuiApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pistel-backup"));
    useCheckoutDataSources(QCoreApplication::applicationFilePath());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Matches hand times and proposes replacement times for missed impulses."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("match, propose, apply or report"));
    parser.addOptions({
        {"dsn", "ODBC data source (default PistelLocal).", "name", "PistelLocal"},
        {"code", "Competition code (tcode).", "tcode"},
        {"run", "Run 1 or 2.", "run"},
        {"channel", "start or finish.", "channel"},
        {"hand", "Hand-timing file.", "file"},
        {"tolerance", "Matching tolerance in seconds (default 0.5).", "seconds", "0.5"},
        {"out", "report: the PDF to write.", "file"},
    });
    if (!parser.parse(QCoreApplication::arguments()))
        return badArguments(parser.errorText());
    if (parser.isSet("help")) {
        out << parser.helpText() << Qt::flush;
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    if (positional.size() != 1 || (command != u"match" && command != u"propose" &&
                                   command != u"apply" && command != u"report"))
        return badArguments("give one command: match, propose, apply or report");
    const QString code = parser.value("code");
    const QString runText = parser.value("run");
    const std::optional<Channel> channel = channelNamed(parser.value("channel"));
    bool toleranceOk = false;
    const double seconds = parser.value("tolerance").toDouble(&toleranceOk);
    if (code.isEmpty())
        return badArguments("--code TCODE is needed");
    if (runText != u"1" && runText != u"2")
        return badArguments("--run must be 1 or 2");
    const bool report = command == u"report";
    if (!channel && !report)
        return badArguments("--channel must be start or finish");
    if (report && parser.value("out").isEmpty())
        return badArguments("--out FILE is needed");
    if (!toleranceOk || seconds < 0 || seconds > 60)
        return badArguments("--tolerance must be seconds between 0 and 60");
    const TimeUnits tolerance = std::llround(seconds * 10000);
    // The report works on the hand times stored with the run.
    std::vector<HandTime> hand;
    if (!report) {
        QFile file(parser.value("hand"));
        if (parser.value("hand").isEmpty() || !file.open(QIODevice::ReadOnly))
            return badArguments("--hand FILE cannot be read: " + parser.value("hand"));
        QString error;
        if (!parseHandTimes(QString::fromUtf8(file.readAll()), hand, &error))
            return badArguments(file.fileName() + ": " + error);
    }
    const int run = runText.toInt();

    TDM1 dm;
    try {
        dm.Db1.open(connectionString(parser.value("dsn")));
        BackupRun data = BackupRun::read(dm.Db1, code, run);
        if (data.competitors().empty())
            return badArguments("no competitor in competition " + code);
        if (report) {
            Race race;
            readRace(dm.Db1, code, race);
            QString error;
            if (!writeDocumentPdf(replacementReport(data, race.info, tolerance),
                                  parser.value("out"), QDateTime::currentDateTime(), &error)) {
                err << "pistel-backup: " << error << "\n" << Qt::flush;
                return 1;
            }
            return 0;
        }
        data.setHandTimes(*channel, hand);
        if (const int waiting = data.secondTimerLinesWithoutRun(); waiting > 0)
            err << "pistel-backup: " << waiting
                << " second-timer lines arrived with no run selected and are used by no run: "
                   "give them their run in the run window (予備計時)\n"
                << Qt::flush;
        // A sheet (or the second timer's lines) whose offset cannot be relied on is matched to
        // nobody: said once, with what to do.
        for (const auto& [what, times] :
             {std::pair{"hand times", hand}, std::pair{"system B", data.secondTimer(*channel)}})
            if (const QString why = data.refusal(*channel, times, tolerance); !why.isEmpty())
                err << "pistel-backup: " << what << ": " << why << "\n" << Qt::flush;
        if (command == u"match") {
            out << "hand,bib,a_time,difference,unmatched\n";
            for (const MatchRow& row : data.match(*channel, hand, tolerance).rows)
                out << timeOfDayText(row.hand.time) << ',' << row.bib << ','
                    << (row.a ? timeOfDayText(*row.a) : QString()) << ','
                    << (row.a ? secondsText(dayDifference(*row.a, row.hand.time)) : QString())
                    << ',' << row.unmatched << '\n';
            out << Qt::flush;
            return 0;
        }
        const std::vector<Proposal> proposals = data.propose(*channel, tolerance);
        if (command == u"apply") {
            storeHandTimes(dm.Db1, code, run, *channel, hand);
            for (const Proposal& p : proposals) {
                const ReplacementOutcome outcome = storeReplacementTime(
                    dm.Db1, code, p.replacement.zek, run, *channel == Channel::Start,
                    timeOfDayText(p.replacement.time));
                if (outcome == ReplacementOutcome::TimerTimeStands)
                    err << "pistel-backup: " << p.replacement.zek
                        << " has a time of the timer now; not replaced\n";
                else if (outcome == ReplacementOutcome::NotInCompetition)
                    err << "pistel-backup: " << p.replacement.zek
                        << " is no longer in the competition; not replaced\n";
            }
        }
        out << "bib,channel,backup,source,correction,replacement,name,run_time\n";
        for (const Proposal& p : proposals)
            out << p.replacement.zek << ',' << channelName(p.channel) << ','
                << timeOfDayText(p.replacement.backup) << ',' << p.source << ','
                << correctionText(p.replacement.correction) << ','
                << timeOfDayText(p.replacement.time) << ',' << p.name << ','
                << (p.runTime ? timeOfDayText(*p.runTime).left(11) : QString()) << '\n';
        out << Qt::flush;
        return 0;
    } catch (const DbError& e) {
        err << "pistel-backup: database error: " << e.message() << "\n";
        if (const QString hint = dataSourceHint(e.message()); !hint.isEmpty())
            err << "pistel-backup: " << hint << "\n";
        err << Qt::flush;
        return 1;
    }
}
