// pistel-office: the race office on the command line. `competition` creates or edits a
// competition and its classes; `racedata` keeps its course, jury and weather; `check` lists
// an entry file's problems by line, writing nothing; `import` writes a clean file, all or
// nothing; `withdraw` takes a competitor out (or back); `draw` makes a class's run-1 start
// order; `run2` makes its run-2 start order from its run-1 results.
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
#include <functional>
#include <stdexcept>

using namespace pistel;

namespace {

struct Call {
    const QCommandLineParser& parser;
    QTextStream& out;
    QTextStream& err;
    QString value(const char* name) const { return parser.value(QLatin1String(name)); }
    bool isSet(const char* name) const { return parser.isSet(QLatin1String(name)); }
    int refuse(const QString& why, int code = 1) const {
        err << "pistel-office: " << why << "\n";
        return code;
    }
};

// Runs `work` on the data source; a database error or a refusal ends it with 1.
int withDatabase(const Call& call, const std::function<int(odbc::Connection&)>& work) {
    try {
        TDM1 dm;
        dm.Db1.open(connectionString(call.value("dsn")));
        return work(dm.Db1);
    } catch (const DbError& e) {
        call.refuse("database error: " + e.message());
        if (const QString hint = dataSourceHint(e.message()); !hint.isEmpty())
            call.refuse(hint);
        return 1;
    } catch (const std::invalid_argument& e) {
        return call.refuse(QString::fromStdString(e.what()) + "\nnothing written");
    }
}

// `name=value` arguments after the command; false (told) when one is not.
bool pairs(const Call& call, QMap<QString, QString>& out) {
    for (const QString& arg : call.parser.positionalArguments().mid(1)) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            call.refuse("expected name=value, not " + arg);
            return false;
        }
        out.insert(arg.left(eq), arg.mid(eq + 1));
    }
    return true;
}

int competition(const Call& call) {
    QMap<QString, QString> classArgs;
    if (!pairs(call, classArgs))
        return 2;
    QList<ClassDef> classes;
    for (auto it = classArgs.cbegin(); it != classArgs.cend(); ++it) {
        bool ok = false;
        const int number = it.value().toInt(&ok);
        if (!ok || number < 1)
            return call.refuse("a class number is a whole number from 1: " + it.key(), 2);
        classes.append({it.key(), number});
    }
    const Competition c{
        call.value("code"),         call.value("title"),
        call.value("venue"),        call.value("discipline"),
        call.value("category"),     call.value("sex"),
        call.value("runs").toInt(), QDate::fromString(call.value("date"), Qt::ISODate)};
    if (const QString problem = competitionProblem(c); !problem.isEmpty())
        return call.refuse(problem, 2);
    return withDatabase(call, [&](odbc::Connection& db) {
        saveCompetition(db, c);
        saveClasses(db, classes);
        call.out << "saved " << c.code << ", classes: " << classes.size() << "\n";
        return 0;
    });
}

int raceData(const Call& call) {
    QMap<QString, QString> items;
    if (!pairs(call, items))
        return 2;
    for (auto it = items.cbegin(); it != items.cend(); ++it)
        if (!kRaceDataItems.contains(it.key()))
            return call.refuse(
                "「" + it.key() + "」は大会データの項目ではありません\nnothing written", 2);
    return withDatabase(call, [&](odbc::Connection& db) {
        const QString code = call.value("code");
        setRaceData(db, code, call.value("run").toInt(), items);
        call.out << "run,item,value\n";
        const QMap<QString, QString> all = readRaceData(db, code);
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            call.out << it.key().section('|', 0, 0) << ',' << it.key().section('|', 1) << ','
                     << it.value() << '\n';
        return 0;
    });
}

int entries(const Call& call, bool write) {
    QFile file(call.value("file"));
    if (!file.open(QIODevice::ReadOnly))
        return call.refuse("cannot read " + file.fileName() + ": " + file.errorString(), 2);
    const QByteArray bytes = file.readAll();
    return withDatabase(call, [&](odbc::Connection& db) {
        const QHash<QString, int> classes = readClassNumbers(db);
        const EntryFile read = readEntryFile(bytes, classes.keys());
        call.out << "encoding: " << read.encoding << ", entries: " << read.entries.size()
                 << ", problems: " << read.problems.size() << "\n";
        for (const EntryProblem& p : read.problems)
            call.out << "line " << p.line << ": " << p.text << "\n";
        if (!read.problems.isEmpty()) {
            call.out << "nothing written\n";
            return 1;
        }
        if (write) {
            const ImportCount count = importEntries(db, call.value("code"), read, classes);
            call.out << "added " << count.added << ", updated " << count.updated << "\n";
        }
        return 0;
    });
}

int withdraw(const Call& call) {
    return withDatabase(call, [&](odbc::Connection& db) {
        setWithdrawn(db, call.value("code"), call.value("bib").rightJustified(4, QLatin1Char('0')),
                     !call.isSet("undo"));
        call.out << (call.isSet("undo") ? "reinstated\n" : "withdrawn\n");
        return 0;
    });
}

// Draws one class's run-1 start order and writes it with its seed; refused once run 1 has a
// time in the class.
int draw(const Call& call) {
    const QString name = call.value("method");
    if (name != u"given" && name != u"random" && name != u"seeded")
        return call.refuse("--method is given, random or seeded", 2);
    const DrawMethod method = name == u"given"    ? DrawMethod::Given
                              : name == u"random" ? DrawMethod::Random
                                                  : DrawMethod::Seeded;
    bool ok = true;
    const std::uint64_t seed =
        call.isSet("seed") ? call.value("seed").toULongLong(&ok) : newDrawSeed();
    if (!ok)
        return call.refuse("--seed is a whole number", 2);
    return withDatabase(call, [&](odbc::Connection& db) {
        const QString code = call.value("code");
        const int cls = call.value("class").toInt();
        const ClassDraw now = readClassDraw(db, code, cls);
        if (!now.timed.isEmpty())
            return call.refuse(QStringLiteral("run 1 has times in class %1 (%2); the start order "
                                              "stays")
                                   .arg(cls)
                                   .arg(now.timed.join(' ')));
        const int seeded = call.value("seeded").toInt();
        const QStringList order = drawStartOrder(now.entries, method, seed, seeded);
        writeStartOrder(db, code, cls, order, method, seed, seeded);
        call.out << "seed," << seed << "\nst1,bib\n";
        for (int i = 0; i < order.size(); ++i)
            call.out << i + 1 << ',' << order[i] << '\n';
        return 0;
    });
}

// Makes and writes one class's run-2 start order; refused once run 2 has a time in the class
// (it names who started) unless forced.
int run2(const Call& call) {
    return withDatabase(call, [&](odbc::Connection& db) {
        const QString code = call.value("code");
        const int cls = call.value("class").toInt();
        const ClassRun2 now = readClassRun2(db, code, cls);
        if (!now.started.isEmpty() && !call.isSet("force"))
            return call.refuse(QStringLiteral("run 2 has started in class %1 (%2); nothing "
                                              "written (--force to write)")
                                   .arg(cls)
                                   .arg(now.started.join(' ')));
        const QStringList order = run2StartOrder(now.standings, {call.value("reverse").toInt(),
                                                                 !call.isSet("higher-bib-first"),
                                                                 call.isSet("others-after")});
        writeRun2Order(db, code, cls, order);
        call.out << "st2,bib\n";
        for (int i = 0; i < order.size(); ++i)
            call.out << i + 1 << ',' << order[i] << '\n';
        return 0;
    });
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
        "  check  --file F                   lists the entry file's problems by line\n"
        "  import --code C --file F          writes a clean entry file into competition C\n"
        "  withdraw --code C --bib B [--undo]  withdraws (or reinstates) a competitor\n"
        "  draw   --code C --class K --method given|random|seeded [--seed S] [--seeded N]\n"
        "  run2   --code C --class K [--reverse N]  writes class K's run-2 start order"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("what to do"));
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
        {"seed", "The draw's seed, to repeat a draw (draw; default: a new one).", "number"},
        {"seeded", "How many of the best by points are drawn first (draw).", "n", "15"},
        {"bib", "Bib (withdraw).", "bib"},
        {"undo", "Reinstate (withdraw)."},
        {"title", "Competition title (competition).", "text"},
        {"venue", "Venue (competition).", "text"},
        {"discipline", "GS, SL, SG, DH or AC (competition).", "code"},
        {"runs", "Number of runs, 1 or 2 (competition).", "n", "2"},
        {"date", "Date, YYYY-MM-DD (competition).", "date"},
        {"category", "Category (competition).", "text"},
        {"sex", "Sex (competition).", "text"},
    });
    parser.process(application);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const Call call{parser, out, err};
    // Each command with the options it cannot do without.
    const QList<std::tuple<QString, QStringList, std::function<int()>>> commands{
        {"competition", {"code"}, [&] { return competition(call); }},
        {"racedata", {"code"}, [&] { return raceData(call); }},
        {"check", {"file"}, [&] { return entries(call, false); }},
        {"import", {"code", "file"}, [&] { return entries(call, true); }},
        {"withdraw", {"code", "bib"}, [&] { return withdraw(call); }},
        {"draw", {"code", "class"}, [&] { return draw(call); }},
        {"run2", {"code", "class"}, [&] { return run2(call); }},
    };
    const QString command = parser.positionalArguments().value(0);
    for (const auto& [name, needed, run] : commands) {
        if (name != command)
            continue;
        for (const QString& option : needed)
            if (!parser.isSet(option))
                return call.refuse(command + " needs --" + option, 2);
        return run();
    }
    err << parser.helpText();
    return 2;
}
