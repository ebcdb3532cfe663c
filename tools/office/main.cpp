// pistel-office: the race office on the command line. `check` reads an entry file and lists
// every problem by line, writing nothing; `import` writes a clean file into a competition,
// all or nothing.
#include "data/CheckoutDataSources.h"
#include "data/DbError.h"
#include "data/TDM1.h"
#include "office/EntryImport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <stdexcept>

using namespace pistel;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pistel-office"));
    useCheckoutDataSources(QCoreApplication::applicationFilePath());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The race office.\n"
        "  check  --dsn D --file F           lists the entry file's problems by line\n"
        "  import --dsn D --code C --file F  writes a clean entry file into competition C"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("check or import"));
    parser.addOptions({
        {"dsn", "ODBC data source.", "name", "PistelLocal"},
        {"code", "Competition code.", "code"},
        {"file", "Entry file (CSV or TSV, Shift-JIS or UTF-8).", "path"},
    });
    parser.process(application);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString command = parser.positionalArguments().value(0);
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
