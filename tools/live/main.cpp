// The live results server: serves the page spectators open and takes the workstation's
// live results requests.
//   pistel-live [--listen ADDR] [--port N] [--db FILE] [--key KEY]
//   pistel-live import --dsn NAME --code TCODE [--db FILE]
#include "data/DbError.h"
#include "data/Query.h"
#include "data/SqlValue.h"
#include "data/TDM1.h"
#include "live/LiveServer.h"
#include "live/LiveStore.h"
#include "web/LiveResults.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

using namespace pistel;

namespace {

QString defaultDatabase() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/pistel/live.sqlite");
}

// Competitors, title and class names of one competition, from the competition database.
int import(live::LiveStore& store, const QString& dsn, const QString& code) {
    TDM1 dm;
    dm.Db1.open(connectionString(dsn));
    Query q(dm.Db1, QStringLiteral("import"));
    q.setSql({"select tname from taikai where tcode = '" + sqlValue(code) + "'"});
    q.open();
    if (q.recordCount() > 0)
        store.setTitle(code, q.text(0, 0));
    q.setSql({QStringLiteral("select ccode, cname from cs_master")});
    q.open();
    for (int r = 0; r < q.recordCount(); ++r)
        store.setClassName(classCode3(q.text(r, 0)), q.text(r, 1));
    q.setSql({"select zek, name, team, class1 from result where tcode = '" + sqlValue(code) +
              "' and dropm <> '9'"});
    q.open();
    QList<live::StartListEntry> entries;
    for (int r = 0; r < q.recordCount(); ++r)
        entries.append(
            {webBib(q.text(r, 0)), q.text(r, 1), q.text(r, 2), classCode3(q.text(r, 3))});
    store.setStartList(code, entries);
    return static_cast<int>(entries.size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pistel-live"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Live results server for the workstation."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("listen"), QStringLiteral("Address to listen on (default: all)."),
         QStringLiteral("address"), QStringLiteral("0.0.0.0")},
        {QStringLiteral("port"), QStringLiteral("Port (default 8080; 0: any free one)."),
         QStringLiteral("n"), QStringLiteral("8080")},
        {QStringLiteral("db"), QStringLiteral("Database file of the server."),
         QStringLiteral("file"), defaultDatabase()},
        {QStringLiteral("key"),
         QStringLiteral("Write key the workstation sends (default $PISTEL_LIVE_KEY; none: "
                        "writes from this machine only)."),
         QStringLiteral("key"), qEnvironmentVariable("PISTEL_LIVE_KEY")},
        {QStringLiteral("dsn"), QStringLiteral("import: ODBC data source."), QStringLiteral("name"),
         QStringLiteral("PistelLocal")},
        {QStringLiteral("code"), QStringLiteral("import: competition code."),
         QStringLiteral("tcode")},
    });
    parser.addPositionalArgument(QStringLiteral("import"),
                                 QStringLiteral("Read a competition's start list, then end."));
    parser.process(application);
    QTextStream out(stdout), err(stderr);

    QDir().mkpath(QFileInfo(parser.value(QStringLiteral("db"))).absolutePath());
    try {
        live::LiveStore store(parser.value(QStringLiteral("db")));
        if (parser.positionalArguments() == QStringList{QStringLiteral("import")}) {
            if (!parser.isSet(QStringLiteral("code"))) {
                err << "import needs --code\n";
                return 2;
            }
            const int n = import(store, parser.value(QStringLiteral("dsn")),
                                 parser.value(QStringLiteral("code")));
            out << n << " competitors of " << parser.value(QStringLiteral("code")) << " imported\n";
            return 0;
        }
        if (!parser.positionalArguments().isEmpty()) {
            err << parser.helpText();
            return 2;
        }
        live::LiveServer server(store, parser.value(QStringLiteral("key")));
        const quint16 port = server.listen(QHostAddress(parser.value(QStringLiteral("listen"))),
                                           parser.value(QStringLiteral("port")).toUShort());
        if (port == 0) {
            err << "cannot listen on port " << parser.value(QStringLiteral("port")) << "\n";
            return 1;
        }
        // The base URL for the workstation's settings page.
        out << "live results on port " << port << ": base URL http://<this host>:" << port << "/\n"
            << Qt::flush;
        return QCoreApplication::exec();
    } catch (const DbError& e) {
        err << e.message() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
}
