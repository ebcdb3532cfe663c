// pistel-office: the race office on the command line. `create` creates or edits a competition,
// `class` a class of the class list; `racedata` keeps the course, jury and weather; `check`
// lists an entry file's problems by line, writing nothing; `import` writes a clean file, all or
// nothing; `entry` adds or edits one competitor; `withdraw` takes a competitor out (or back);
// `draw` makes a class's run-1 start order and bibs; `run2` makes the run-2 start order from
// the run-1 results. `--dry-run` prints what would be written and writes nothing. Every change
// goes into the change history.
#include "data/CheckoutDataSources.h"
#include "data/DbError.h"
#include "data/TDM1.h"
#include "office/Competition.h"
#include "office/EntryFile.h"
#include "office/EntryImport.h"
#include "office/OfficeBatch.h"
#include "office/PointsList.h"
#include "office/Run2Order.h"
#include "office/StartDraw.h"
#include "office/Withdrawal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <functional>
#include <optional>
#include <stdexcept>

using namespace pistel;

namespace {

struct Call {
    const QCommandLineParser& parser;
    QTextStream& out;
    QTextStream& err;
    QString value(const char* name) const { return parser.value(QLatin1String(name)); }
    bool isSet(const char* name) const { return parser.isSet(QLatin1String(name)); }
    bool dryRun() const { return isSet("dry-run"); }
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

int create(const Call& call) {
    const Competition c{
        call.value("code"),         call.value("title"),
        call.value("venue"),        call.value("discipline"),
        call.value("category"),     call.value("sex"),
        call.value("runs").toInt(), QDate::fromString(call.value("date"), Qt::ISODate)};
    if (const QString problem = competitionProblem(c); !problem.isEmpty())
        return call.refuse(problem, 2);
    return withDatabase(call, [&](odbc::Connection& db) {
        const bool known = readCompetition(db, c.code).has_value();
        call.out << (call.dryRun() ? "would " : "") << (known ? "update " : "create ") << c.code
                 << "\n";
        if (!call.dryRun())
            saveCompetition(db, c);
        return 0;
    });
}

int classDef(const Call& call) {
    bool ok = false;
    const int number = call.value("number").toInt(&ok);
    if (!ok || number < 1 || number > 999)
        return call.refuse("--number is a whole number from 1 to 999", 2);
    if (call.value("name").trimmed().isEmpty())
        return call.refuse("--name is the class's name", 2);
    return withDatabase(call, [&](odbc::Connection& db) {
        saveClasses(db, {{call.value("name").trimmed(), number}});
        call.out << "class " << number << ": " << call.value("name").trimmed() << "\n";
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
        QMap<QString, QString> all = readRaceData(db, code);
        if (call.dryRun()) {
            call.out << "would write\n";
            for (auto it = items.cbegin(); it != items.cend(); ++it)
                all.insert(call.value("run") + u'|' + it.key(), it.value());
        } else {
            setRaceData(db, code, call.value("run").toInt(), items);
            all = readRaceData(db, code);
        }
        call.out << "run,item,value\n";
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            if (!it.value().isEmpty())
                call.out << it.key().section('|', 0, 0) << ',' << it.key().section('|', 1) << ','
                         << it.value() << '\n';
        return 0;
    });
}

// Prints what an import would do, and does it unless it is a dry run.
int writePlan(const Call& call, odbc::Connection& db, const ImportPlan& plan) {
    for (const QString& change : plan.changes)
        call.out << change << "\n";
    call.out << (call.dryRun() ? "would add " : "added ") << plan.count.added << ", "
             << (call.dryRun() ? "would update " : "updated ") << plan.count.updated
             << ", unchanged " << plan.count.unchanged << "\n";
    if (!call.dryRun())
        writeImport(db, plan);
    return 0;
}

// The bytes of --file, with --encoding checked; otherwise the refusal's exit status.
std::optional<int> readFileArgument(const Call& call, QByteArray& bytes) {
    const QString encoding = call.value("encoding");
    if (encoding != u"auto" && encoding != u"sjis" && encoding != u"utf8")
        return call.refuse("--encoding is auto, sjis or utf8", 2);
    QFile file(call.value("file"));
    if (!file.open(QIODevice::ReadOnly))
        return call.refuse("cannot read " + file.fileName() + ": " + file.errorString(), 2);
    bytes = file.readAll();
    return std::nullopt;
}

// Lists a file's problems by line; true when there were any (then nothing is written).
bool toldProblems(const Call& call, const QList<LineProblem>& problems) {
    for (const LineProblem& p : problems)
        call.out << (p.line > 0 ? QStringLiteral("line %1: ").arg(p.line) : QString()) << p.text
                 << "\n";
    if (!problems.isEmpty())
        call.out << "nothing written\n";
    return !problems.isEmpty();
}

int entries(const Call& call, bool write) {
    QByteArray bytes;
    if (const std::optional<int> refused = readFileArgument(call, bytes))
        return *refused;
    return withDatabase(call, [&](odbc::Connection& db) {
        const QHash<QString, int> classes = readClassNumbers(db);
        const EntryFile read =
            readEntryFile(bytes, classColumnValues(classes), call.value("encoding"));
        call.out << "encoding: " << read.encoding << ", entries: " << read.entries.size()
                 << ", problems: " << read.problems.size() << "\n";
        if (toldProblems(call, read.problems))
            return 1;
        if (!write)
            return 0;
        return writePlan(call, db, planImport(db, call.value("code"), read, classes));
    });
}

// A points list: each entry's points for the competition's discipline, by licence.
int points(const Call& call) {
    QByteArray bytes;
    if (const std::optional<int> refused = readFileArgument(call, bytes))
        return *refused;
    return withDatabase(call, [&](odbc::Connection& db) {
        const PointsPlan plan = planPoints(db, call.value("code"), bytes, call.value("encoding"));
        if (toldProblems(call, plan.problems))
            return 1;
        for (const QString& change : plan.changes)
            call.out << change << "\n";
        call.out << "listed " << plan.listed << ", "
                 << (call.dryRun() ? "would change " : "changed ") << plan.changed
                 << ", not in the list " << plan.missing.size()
                 << (plan.missing.isEmpty() ? QString() : " (" + plan.missing.join(' ') + ")")
                 << "\n";
        if (!call.dryRun())
            writeTogether(db, plan.statements);
        return 0;
    });
}

// One competitor added (no bib, or a bib nobody holds) or edited (the bib's).
int entry(const Call& call) {
    Entry e;
    e.bib = call.value("bib");
    e.name = call.value("name");
    e.team = call.value("team");
    e.kana = call.value("kana");
    e.className = call.value("class");
    e.sex = call.value("sex");
    e.birthYear = call.value("birth-year");
    e.nation = call.value("nation");
    e.licence = call.value("licence");
    e.points = call.value("points");
    return withDatabase(call, [&](odbc::Connection& db) {
        const QHash<QString, int> classes = readClassNumbers(db);
        const EntryFile one = checkedEntry(e, classColumnValues(classes));
        if (toldProblems(call, one.problems))
            return 1;
        return writePlan(call, db,
                         planImport(db, call.value("code"), one, classes, EntryMatch::Bib));
    });
}

int withdraw(const Call& call) {
    return withDatabase(call, [&](odbc::Connection& db) {
        if (call.dryRun()) {
            call.out << (call.isSet("undo") ? "would reinstate\n" : "would withdraw\n");
            return 0;
        }
        setWithdrawn(db, call.value("code"), bibText(call.value("bib").toInt()),
                     !call.isSet("undo"));
        call.out << (call.isSet("undo") ? "reinstated\n" : "withdrawn\n");
        return 0;
    });
}

// Draws one class's run-1 start order, gives its bibs when asked, and writes it with its seed;
// refused once run 1 has a time in the class.
int draw(const Call& call) {
    const QString name = call.value("method");
    if (name != u"given" && name != u"random" && name != u"seeded")
        return call.refuse("--method is given, random or seeded", 2);
    DrawSettings settings;
    settings.method = name == u"given"    ? DrawMethod::Given
                      : name == u"random" ? DrawMethod::Random
                                          : DrawMethod::Seeded;
    bool ok = true;
    settings.seed = call.isSet("seed") ? call.value("seed").toULongLong(&ok) : newDrawSeed();
    if (!ok)
        return call.refuse("--seed is a whole number", 2);
    settings.seeded = call.value("seeded").toInt();
    if (call.isSet("first-bib")) {
        const QString first = call.value("first-bib");
        settings.firstBib = first == u"next" ? -1 : first.toInt(&ok);
        if (!ok || settings.firstBib == 0 || settings.firstBib > 9999)
            return call.refuse("--first-bib is a number from 1 to 9999, or next", 2);
    }
    return withDatabase(call, [&](odbc::Connection& db) {
        const QString code = call.value("code");
        const int cls = call.value("class").toInt();
        const ClassDraw now = readClassDraw(db, code, cls);
        if (!now.timed.isEmpty())
            return call.refuse(QStringLiteral("run 1 has times in class %1 (%2); the start order "
                                              "stays")
                                   .arg(cls)
                                   .arg(now.timed.join(' ')));
        QStringList order =
            drawStartOrder(now.entries, settings.method, settings.seed, settings.seeded);
        const QStringList drawn = order;
        if (!call.dryRun())
            order = writeStartOrder(db, code, cls, order, settings);
        call.out << (call.dryRun() ? "would write\n" : "") << "seed," << settings.seed
                 << "\nst1,bib" << (order != drawn ? ",was" : "") << "\n";
        for (int i = 0; i < order.size(); ++i)
            call.out << i + 1 << ',' << order[i] << (order != drawn ? "," + drawn[i] : QString())
                     << '\n';
        return 0;
    });
}

// Makes and writes the run-2 start order of one class (or of every class); refused in a class
// where run 2 has a time (it names who started) unless forced. A --reverse given is kept as
// the class's (or the competition's) rule.
int run2(const Call& call) {
    const QString ties = call.value("ties");
    if (ties != u"lower-first" && ties != u"higher-first")
        return call.refuse("--ties is lower-first or higher-first", 2);
    bool ok = true;
    const QString reverse = call.value("reverse");
    const int reversed = reverse == u"all" ? 9999 : reverse.toInt(&ok);
    if (call.isSet("reverse") && (!ok || reversed < 0))
        return call.refuse("--reverse is a number from 0, or all", 2);
    return withDatabase(call, [&](odbc::Connection& db) {
        const QString code = call.value("code");
        const int only = call.isSet("class") ? call.value("class").toInt() : 0;
        if (call.isSet("reverse") && !call.dryRun())
            saveRun2Rules(db, code, only,
                          {reversed, ties == u"lower-first", call.isSet("others-after")});
        const QList<int> classes = only ? QList<int>{only} : readEnteredClasses(db, code);
        int refused = 0;
        for (int cls : classes) {
            Run2Rules rules = readRun2Rules(db, code, cls);
            if (call.isSet("reverse"))
                rules = {reversed, ties == u"lower-first", call.isSet("others-after")};
            const ClassRun2 now = readClassRun2(db, code, cls);
            if (!now.started.isEmpty() && !call.isSet("force")) {
                call.refuse(QStringLiteral("run 2 has started in class %1 (%2); nothing "
                                           "written (--force to write)")
                                .arg(cls)
                                .arg(now.started.join(' ')));
                ++refused;
                continue;
            }
            const QStringList order = run2StartOrder(now.standings, rules);
            if (!call.dryRun())
                writeRun2Order(db, code, cls, order);
            if (classes.size() > 1)
                call.out << "class," << cls << ",reversed," << rules.reversed << "\n";
            call.out << (call.dryRun() ? "would write\n" : "") << "st2,bib\n";
            for (int i = 0; i < order.size(); ++i)
                call.out << i + 1 << ',' << order[i] << '\n';
        }
        return refused ? 1 : 0;
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
        "  create --code C --title T --discipline GS|SL|SG|DH|AC --runs 1|2 --date YYYY-MM-DD\n"
        "         [--venue V] [--category K] [--sex S]\n"
        "  class  --number K --name NAME         adds or renames a class (all competitions)\n"
        "  racedata --code C [--run N] [item=value ...]  sets and lists the race data\n"
        "  check  --file F [--encoding E]        lists the entry file's problems by line\n"
        "  import --code C --file F [--encoding auto|sjis|utf8]  writes a clean entry file\n"
        "  entry  --code C [--bib B] --name N --class K [--team T ...]  adds or edits one\n"
        "  points --code C --file F [--encoding E]  the entries' points from a points list\n"
        "  withdraw --code C --bib B [--undo]    withdraws (or reinstates) a competitor\n"
        "  draw   --code C --class K --method given|random|seeded [--seed S] [--seeded N]\n"
        "         [--first-bib B|next]\n"
        "  run2   --code C [--class K] [--reverse N|all] [--ties lower-first|higher-first]\n"
        "--dry-run prints what would be written and writes nothing."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("what to do"));
    parser.addOptions({
        {"dsn", "ODBC data source.", "name", "PistelLocal"},
        {"code", "Competition code.", "code"},
        {"dry-run", "Print what would be written; write nothing."},
        {"file", "Entry file or points list (CSV or TSV, Shift-JIS or UTF-8).", "path"},
        {"encoding", "The entry file's encoding: auto, sjis or utf8.", "name", "auto"},
        {"class", "Class: its number (draw, run2), its name or number (entry).", "class"},
        {"number", "Class number (class).", "number"},
        {"name", "Class name (class), competitor's name (entry).", "text"},
        {"run", "Run of the race data, 1 or 2 (racedata; 0: the competition's).", "n", "0"},
        {"reverse", "How many of run 1 start run 2 in reverse order (run2; 0: rank order; all).",
         "n"},
        {"ties", "Among tied competitors: lower-first or higher-first bib (run2).", "order",
         "lower-first"},
        {"others-after",
         "Those with a run-1 status or no run-1 time start after the others, by bib (run2)."},
        {"force", "Write the run-2 order although run 2 has started in the class (run2)."},
        {"method", "given (by bib), random, or seeded by points (draw).", "method", "random"},
        {"seed", "The draw's seed, to repeat a draw (draw; default: a new one).", "number"},
        {"seeded", "How many of the best by points are drawn first (draw).", "n", "15"},
        {"first-bib", "Bibs in start order from B, or next after the classes before (draw).", "B"},
        {"bib", "Bib (withdraw, entry).", "bib"},
        {"undo", "Reinstate (withdraw)."},
        {"title", "Competition title (create).", "text"},
        {"venue", "Venue (create).", "text"},
        {"discipline", "GS, SL, SG, DH or AC (create).", "code"},
        {"runs", "Number of runs, 1 or 2 (create).", "n", "2"},
        {"date", "Date, YYYY-MM-DD (create).", "date"},
        {"category", "Category (create).", "text"},
        {"sex", "Sex (create, entry).", "text"},
        {"team", "Club or team (entry).", "text"},
        {"kana", "Name in kana (entry).", "text"},
        {"birth-year", "Birth year (entry).", "year"},
        {"nation", "Nation or prefecture (entry).", "text"},
        {"licence", "Licence or FIS code (entry).", "code"},
        {"points", "Points (entry).", "points"},
    });
    parser.process(application);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const Call call{parser, out, err};
    // Each command with the options it cannot do without.
    const QList<std::tuple<QString, QStringList, std::function<int()>>> commands{
        {"create", {"code"}, [&] { return create(call); }},
        {"class", {"number", "name"}, [&] { return classDef(call); }},
        {"racedata", {"code"}, [&] { return raceData(call); }},
        {"check", {"file"}, [&] { return entries(call, false); }},
        {"import", {"code", "file"}, [&] { return entries(call, true); }},
        {"entry", {"code", "name", "class"}, [&] { return entry(call); }},
        {"points", {"code", "file"}, [&] { return points(call); }},
        {"withdraw", {"code", "bib"}, [&] { return withdraw(call); }},
        {"draw", {"code", "class"}, [&] { return draw(call); }},
        {"run2", {"code"}, [&] { return run2(call); }},
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
