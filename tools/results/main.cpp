// Result lists and run statuses from the command line, for scripts and for entering a jury's
// list in one go:
//   pistel-results report --dsn NAME --code TCODE --kind startlist1|startlist2|results1|results
//                         [--class CODE] --format pdf|csv [--encoding utf8|sjis] --out FILE
//   pistel-results status --dsn NAME --code TCODE --run 1|2 --bib BIB
//                         (--set DNS|DNF|DSQ [--gate N] [--reason TEXT] | --clear) [--force]
//   pistel-results penalty --dsn NAME --code TCODE [--class CODE]
//                         (one CSV line a class: class,A,B,C,penalty)
//   pistel-results publish --dsn NAME --code TCODE --run 1|2|race [--undo]
// Exit codes: 0 done, 1 a database or file error, 2 bad arguments.
#include "data/BibText.h"
#include "data/CheckoutDataSources.h"
#include "data/DbError.h"
#include "data/TDM1.h"
#include "results/ChangeHistory.h"
#include "results/ClassScore.h"
#include "results/CsvExport.h"
#include "results/DocumentPdf.h"
#include "results/Publication.h"
#include "results/Race.h"
#include "results/Ranking.h"
#include "results/StatusChange.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

using namespace pistel;

namespace {

QTextStream err(stderr);

int badArguments(const QString& message) {
    err << "pistel-results: " << message << "\n" << Qt::flush;
    return 2;
}

int report(const QCommandLineParser& args, odbc::Connection& db, const QString& code) {
    const std::optional<DocumentKind> kind = documentKindNamed(args.value("kind"));
    if (!kind)
        return badArguments("--kind must be startlist1, startlist2, results1 or results");
    const QString format = args.value("format");
    if (format != u"pdf" && format != u"csv")
        return badArguments("--format must be pdf or csv");
    const QString encoding = args.value("encoding");
    if (encoding != u"utf8" && encoding != u"sjis")
        return badArguments("--encoding must be utf8 or sjis");
    const QString out = args.value("out");
    if (out.isEmpty())
        return badArguments("--out FILE is needed");
    std::optional<int> cls;
    if (args.isSet("class")) {
        bool ok = false;
        cls = args.value("class").toInt(&ok);
        if (!ok)
            return badArguments("--class must be a class number");
    }

    Race race;
    if (!readRace(db, code, race))
        return badArguments("no competition " + code);
    if (cls && !race.competitors.empty()) {
        const std::vector<int> classes = race.classes();
        if (std::find(classes.begin(), classes.end(), *cls) == classes.end())
            return badArguments(QStringLiteral("no competitor in class %1").arg(*cls));
    }
    const Document doc = buildDocument(race, *kind, cls);
    if (format == u"pdf") {
        QString error;
        if (!writeDocumentPdf(doc, out, QDateTime::currentDateTime(), &error)) {
            err << "pistel-results: " << error << "\n" << Qt::flush;
            return 1;
        }
        return 0;
    }
    QFile file(out);
    const QByteArray bytes =
        documentCsv(doc, encoding == u"sjis" ? CsvEncoding::ShiftJis : CsvEncoding::Utf8Bom);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        err << "pistel-results: cannot write " << out << ": " << file.errorString() << "\n"
            << Qt::flush;
        return 1;
    }
    return 0;
}

int status(const QCommandLineParser& args, odbc::Connection& db, const QString& code) {
    const QString run = args.value("run");
    if (run != u"1" && run != u"2")
        return badArguments("--run must be 1 or 2");
    bool ok = false;
    const int number = args.value("bib").toInt(&ok);
    if (!ok || number < 0 || number > 9999)
        return badArguments("--bib must be a bib number");
    const QString bib = bibText(number);
    if (args.isSet("set") == args.isSet("clear"))
        return badArguments("give either --set DNS|DNF|DSQ or --clear");
    RunStatus s;
    if (args.isSet("set")) {
        s = {args.value("set").toUpper(), args.value("gate"), args.value("reason")};
        if (!isStatusCode(s.code))
            return badArguments("--set must be DNS, DNF or DSQ");
        if (s.code != u"DSQ" && (!s.gate.isEmpty()))
            return badArguments("--gate is for DSQ only");
        // A status goes with the times: refuse what contradicts them unless told to, with
        // the window's own words.
        const QString why =
            statusContradiction(readSnapshots(db, code, bib).value(bib), bib, run.toInt(), s);
        if (!why.isEmpty() && !args.isSet("force"))
            return badArguments(why + " (--force で設定します)");
    }
    if (!changeStatus(db, code, bib, run.toInt(), s))
        return badArguments("bib " + bib + " is not in competition " + code);
    return 0;
}

// The penalty of each class (or of one) as CSV: class,A,B,C,penalty in points.
int penaltyCsv(const QCommandLineParser& args, odbc::Connection& db, const QString& code) {
    Race race;
    if (!readRace(db, code, race))
        return badArguments("no competition " + code);
    const std::optional<PointsRule> rule = pointsRule(race);
    if (!rule)
        return badArguments("the discipline \"" + race.info.discipline +
                            "\" has no points values (points_factor and points_maximum in the "
                            "race data set them)");
    std::vector<int> classes = race.classes();
    if (args.isSet("class"))
        classes = {args.value("class").toInt()};
    QTextStream out(stdout);
    out << "class,A,B,C,penalty\n";
    for (int cls : classes)
        if (const auto score = scoreClass(classMembers(race, cls), *rule))
            out << cls << ',' << pointsText(score->penalty.a) << ',' << pointsText(score->penalty.b)
                << ',' << pointsText(score->penalty.c) << ',' << pointsText(score->penalty.value)
                << '\n';
    return 0;
}

int publish(const QCommandLineParser& args, odbc::Connection& db, const QString& code) {
    const std::optional<PublishScope> scope = publishScopeNamed(args.value("run"));
    if (!scope)
        return badArguments("--run must be 1, 2 or race");
    try {
        const QDateTime at = publishResults(db, code, *scope, args.isSet("undo"));
        QTextStream(stdout) << (args.isSet("undo") ? "unpublished " : "published ")
                            << args.value("run") << " at "
                            << at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << "\n";
    } catch (const std::invalid_argument& e) {
        return badArguments(QString::fromStdString(e.what()));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    prepareForDocumentsWithoutScreen(); // documents need fonts, never a screen
    QGuiApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pistel-results"));
    useCheckoutDataSources(QCoreApplication::applicationFilePath());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Start and result lists as PDF or CSV, run statuses, the penalty of each class, and "
        "results published as official."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("report, status, penalty or publish"));
    parser.addOptions({
        {"dsn", "ODBC data source (default PistelLocal).", "name", "PistelLocal"},
        {"code", "Competition code (tcode).", "tcode"},
        {"kind", "startlist1, startlist2, results1 or results.", "kind"},
        {"class", "Only this class (its number).", "code"},
        {"format", "pdf or csv.", "format"},
        {"encoding", "CSV text: utf8 (with BOM, default) or sjis.", "encoding", "utf8"},
        {"out", "File to write.", "file"},
        {"run", "Run 1 or 2 (publish: 1, 2 or race).", "run"},
        {"bib", "Bib number.", "bib"},
        {"set", "DNS, DNF or DSQ.", "status"},
        {"gate", "Gate of a disqualification.", "gate"},
        {"reason", "Reason of a disqualification.", "text"},
        {"clear", "Clear the status."},
        {"undo", "Take a publication back (publish)."},
        {"force", "Set a status that contradicts the stored times."},
    });
    if (!parser.parse(QCoreApplication::arguments()))
        return badArguments(parser.errorText());
    if (parser.isSet("help")) {
        QTextStream(stdout) << parser.helpText() << Qt::flush;
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    const QStringList commands{"report", "status", "penalty", "publish"};
    if (positional.size() != 1 || !commands.contains(command))
        return badArguments("give one command: " + commands.join(", ") + " (--help tells more)");
    const QString code = parser.value("code");
    if (code.isEmpty())
        return badArguments("--code TCODE is needed");

    TDM1 dm;
    try {
        dm.Db1.open(connectionString(parser.value("dsn")));
        if (command == u"report")
            return report(parser, dm.Db1, code);
        if (command == u"penalty")
            return penaltyCsv(parser, dm.Db1, code);
        if (command == u"publish")
            return publish(parser, dm.Db1, code);
        return status(parser, dm.Db1, code);
    } catch (const DbError& e) {
        err << "pistel-results: database error: " << e.message() << "\n";
        if (const QString hint = dataSourceHint(e.message()); !hint.isEmpty())
            err << "pistel-results: " << hint << "\n";
        err << Qt::flush;
        return 1;
    }
}
