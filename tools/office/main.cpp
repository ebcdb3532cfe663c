// pistel-office: the race office on the command line. `competition` creates or edits a
// competition and its classes, `racedata` keeps the course, jury and weather of a competition
// or run. `check` reads an entry file and lists
// every problem by line, writing nothing; `import` writes a clean file into a competition,
// all or nothing; `draw` makes a class's run-1 start order; `run2` makes its run-2 start
// order from its run-1 results.
#include "data/CheckoutDataSources.h"
#include "data/DbError.h"
#include "data/TDM1.h"
#include "office/Competition.h"
#include "office/EntryImport.h"
#include "office/Run2Order.h"
#include "office/StartDraw.h"
#include "office/Withdrawal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <stdexcept>

using namespace pistel;

namespace {

// Makes and writes one class's run-2 start order; refused once run 2 has a time in the class
// (it names who started) unless forced.
int run2(const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
    try {
        TDM1 dm;
        dm.Db1.open(connectionString(parser.value("dsn")));
        const QString code = parser.value("code");
        const int cls = parser.value("class").toInt();
        const ClassRun2 now = readClassRun2(dm.Db1, code, cls);
        if (!now.started.isEmpty() && !parser.isSet("force")) {
            err << "pistel-office: run 2 has started in class " << cls << " ("
                << now.started.join(' ') << "); nothing written (--force to write)\n";
            return 1;
        }
        const QStringList order = run2StartOrder(now.standings, {parser.value("reverse").toInt(),
                                                                 !parser.isSet("higher-bib-first"),
                                                                 parser.isSet("others-after")});
        writeRun2Order(dm.Db1, code, cls, order);
        out << "st2,bib\n";
        for (int i = 0; i < order.size(); ++i)
            out << i + 1 << ',' << order[i] << '\n';
        return 0;
    } catch (const DbError& e) {
        err << "pistel-office: database error: " << e.message() << "\n";
        return 1;
    }
}

// `name=value` arguments after the command; false (told) when one is not.
bool pairs(const QCommandLineParser& parser, QTextStream& err, QMap<QString, QString>& out) {
    for (const QString& arg : parser.positionalArguments().mid(1)) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            err << "pistel-office: expected name=value, not " << arg << "\n";
            return false;
        }
        out.insert(arg.left(eq), arg.mid(eq + 1));
    }
    return true;
}

int competition(const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
    QMap<QString, QString> classArgs;
    if (!pairs(parser, err, classArgs))
        return 2;
    QList<ClassDef> classes;
    for (auto it = classArgs.cbegin(); it != classArgs.cend(); ++it) {
        bool ok = false;
        const int number = it.value().toInt(&ok);
        if (!ok || number < 1) {
            err << "pistel-office: a class number is a whole number from 1: " << it.key() << "\n";
            return 2;
        }
        classes.append({it.key(), number});
    }
    const Competition c{
        parser.value("code"),         parser.value("title"),
        parser.value("venue"),        parser.value("discipline"),
        parser.value("category"),     parser.value("sex"),
        parser.value("runs").toInt(), QDate::fromString(parser.value("date"), Qt::ISODate)};
    if (const QString problem = competitionProblem(c); !problem.isEmpty()) {
        err << "pistel-office: " << problem << "\n";
        return 2;
    }
    try {
        TDM1 dm;
        dm.Db1.open(connectionString(parser.value("dsn")));
        saveCompetition(dm.Db1, c);
        saveClasses(dm.Db1, classes);
        out << "saved " << c.code << ", classes: " << classes.size() << "\n";
        return 0;
    } catch (const DbError& e) {
        err << "pistel-office: database error: " << e.message() << "\n";
        return 1;
    }
}

int raceData(const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
    QMap<QString, QString> items;
    if (!pairs(parser, err, items))
        return 2;
    try {
        TDM1 dm;
        dm.Db1.open(connectionString(parser.value("dsn")));
        const QString code = parser.value("code");
        setRaceData(dm.Db1, code, parser.value("run").toInt(), items);
        out << "run,item,value\n";
        const QMap<QString, QString> all = readRaceData(dm.Db1, code);
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            out << it.key().section('|', 0, 0) << ',' << it.key().section('|', 1) << ','
                << it.value() << '\n';
        return 0;
    } catch (const DbError& e) {
        err << "pistel-office: database error: " << e.message() << "\n";
        return 1;
    } catch (const std::invalid_argument& e) {
        err << "pistel-office: " << QString::fromStdString(e.what()) << "\nnothing written\n";
        return 2;
    }
}

// Draws one class's run-1 start order and writes it with its seed; refused once run 1 has a
// time in the class.
int draw(const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
    const QString name = parser.value("method");
    if (name != u"given" && name != u"random" && name != u"seeded") {
        err << "pistel-office: --method is given, random or seeded\n";
        return 2;
    }
    const DrawMethod method = name == u"given"    ? DrawMethod::Given
                              : name == u"random" ? DrawMethod::Random
                                                  : DrawMethod::Seeded;
    bool ok = true;
    const std::uint64_t seed =
        parser.isSet("seed") ? parser.value("seed").toULongLong(&ok) : newDrawSeed();
    if (!ok) {
        err << "pistel-office: --seed is a whole number\n";
        return 2;
    }
    try {
        TDM1 dm;
        dm.Db1.open(connectionString(parser.value("dsn")));
        const QString code = parser.value("code");
        const int cls = parser.value("class").toInt();
        const ClassDraw now = readClassDraw(dm.Db1, code, cls);
        if (!now.timed.isEmpty()) {
            err << "pistel-office: run 1 has times in class " << cls << " (" << now.timed.join(' ')
                << "); the start order stays\n";
            return 1;
        }
        const int seeded = parser.value("seeded").toInt();
        const QStringList order = drawStartOrder(now.entries, method, seed, seeded);
        writeStartOrder(dm.Db1, code, cls, order, method, seed, seeded);
        out << "seed," << seed << "\nst1,bib\n";
        for (int i = 0; i < order.size(); ++i)
            out << i + 1 << ',' << order[i] << '\n';
        return 0;
    } catch (const DbError& e) {
        err << "pistel-office: database error: " << e.message() << "\n";
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pistel-office"));
    useCheckoutDataSources(QCoreApplication::applicationFilePath());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The race office.\n"
        "  competition --code C --title T --discipline GS --date YYYY-MM-DD [class=number ...]\n"
        "  racedata --code C [--run N] [item=value ...]  sets and lists the race data\n"
        "  withdraw --code C --bib B [--undo]  withdraws (or reinstates) a competitor\n"
        "  check  --dsn D --file F           lists the entry file's problems by line\n"
        "  import --dsn D --code C --file F  writes a clean entry file into competition C\n"
        "  draw   --dsn D --code C --class K --method given|random|seeded [--seed S] [--seeded N]\n"
        "  run2   --dsn D --code C --class K [--reverse N]  writes class K's run-2 start order"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("check or import"));
    parser.addOptions({
        {"dsn", "ODBC data source.", "name", "PistelLocal"},
        {"code", "Competition code.", "code"},
        {"file", "Entry file (CSV or TSV, Shift-JIS or UTF-8).", "path"},
        {"class", "Class number (draw, run2).", "number"},
        {"run", "Run of the race data, 1 or 2 (racedata; 0: the competition's).", "n", "0"},
        {"reverse", "How many of run 1 start run 2 in reverse order (run2; 0: rank order).", "n",
         "30"},
        {"higher-bib-first", "Among tied competitors the higher bib starts first (run2)."},
        {"others-after",
         "Those with a run-1 status or no run-1 time start after the others, by bib (run2)."},
        {"force", "Write the run-2 order although run 2 has started in the class (run2)."},
        {"method", "given (by bib), random, or seeded by points (draw).", "method", "random"},
        {"bib", "Bib (withdraw).", "bib"},
        {"undo", "Reinstate (withdraw)."},
        {"title", "Competition title (competition).", "text"},
        {"venue", "Venue (competition).", "text"},
        {"discipline", "GS, SL, SG, DH or AC (competition).", "code"},
        {"runs", "Number of runs, 1 or 2 (competition).", "n", "2"},
        {"date", "Date, YYYY-MM-DD (competition).", "date"},
        {"category", "Category (competition).", "text"},
        {"sex", "Sex (competition).", "text"},
        {"seed", "The draw's seed, to repeat a draw (draw; default: a new one).", "number"},
        {"seeded", "How many of the best by points are drawn first (draw).", "n", "15"},
    });
    parser.process(application);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString command = parser.positionalArguments().value(0);
    if (command == u"competition" || command == u"racedata") {
        if (!parser.isSet("code")) {
            err << parser.helpText();
            return 2;
        }
        return command == u"competition" ? competition(parser, out, err)
                                         : raceData(parser, out, err);
    }
    if (command == u"withdraw") {
        if (!parser.isSet("code") || !parser.isSet("bib")) {
            err << parser.helpText();
            return 2;
        }
        try {
            TDM1 dm;
            dm.Db1.open(connectionString(parser.value("dsn")));
            setWithdrawn(dm.Db1, parser.value("code"),
                         parser.value("bib").rightJustified(4, QLatin1Char('0')),
                         !parser.isSet("undo"));
            out << (parser.isSet("undo") ? "reinstated\n" : "withdrawn\n");
            return 0;
        } catch (const DbError& e) {
            err << "pistel-office: database error: " << e.message() << "\n";
            return 1;
        } catch (const std::invalid_argument& e) {
            err << "pistel-office: " << QString::fromStdString(e.what()) << "\n";
            return 1;
        }
    }
    if (command == u"draw") {
        if (!parser.isSet("code") || !parser.isSet("class")) {
            err << parser.helpText();
            return 2;
        }
        return draw(parser, out, err);
    }
    if (command == u"run2") {
        if (!parser.isSet("code") || !parser.isSet("class")) {
            err << parser.helpText();
            return 2;
        }
        return run2(parser, out, err);
    }
    if ((command != u"check" && command != u"import") || !parser.isSet("file") ||
        (command == u"import" && !parser.isSet("code"))) {
        err << parser.helpText();
        return 2;
    }
    QFile file(parser.value("file"));
    if (!file.open(QIODevice::ReadOnly)) {
        err << "pistel-office: cannot read " << file.fileName() << ": " << file.errorString()
            << "\n";
        return 2;
    }
    const QByteArray bytes = file.readAll();
    try {
        TDM1 dm;
        odbc::Connection& db = dm.Db1;
        db.open(connectionString(parser.value("dsn")));
        const QHash<QString, int> classes = readClassNumbers(db);
        const EntryFile entries = readEntryFile(bytes, classes.keys());
        out << "encoding: " << entries.encoding << ", entries: " << entries.entries.size()
            << ", problems: " << entries.problems.size() << "\n";
        for (const EntryProblem& p : entries.problems)
            out << "line " << p.line << ": " << p.text << "\n";
        if (!entries.problems.isEmpty()) {
            out << "nothing written\n";
            return 1;
        }
        if (command == u"import") {
            const ImportCount count = importEntries(db, parser.value("code"), entries, classes);
            out << "added " << count.added << ", updated " << count.updated << "\n";
        }
        return 0;
    } catch (const DbError& e) {
        err << "pistel-office: database error: " << e.message() << "\n";
        if (const QString hint = dataSourceHint(e.message()); !hint.isEmpty())
            err << "pistel-office: " << hint << "\n";
        return 1;
    } catch (const std::invalid_argument& e) {
        err << "pistel-office: " << QString::fromStdString(e.what()) << "\nnothing written\n";
        return 1;
    }
}
