#pragma once

#include "Query.h"
#include "odbc/OdbcConnection.h"

#include <QObject>

namespace pistel {

// Connection string of a data source name with the workstation's user and password.
// CHARSET=sjis makes the driver pass Shift-JIS bytes through unchanged.
QString connectionString(const QString& dsn, const QString& user = QStringLiteral("root"),
                         const QString& password = QStringLiteral("lumor"));

// The data module: the connection Db1 and every query, each with a fixed role.
class TDM1 : public QObject {
    Q_OBJECT
public:
    explicit TDM1(QObject* parent = nullptr);

    // Sets up the session as the competition button does after every (re)connection: Shift-JIS
    // names. The driver refuses a plain SET NAMES; the versioned comment reaches the server.
    void useSjisNames();

    odbc::Connection Db1;

    Query Qtaikai;    // competition list
    Query Qtemp;      // scratch: lock, capture searches, class lookup, upload reads
    Query Qtemp2;     // run time computation
    Query Qedit;      // impulse insert and manual corrections
    Query Query2;     // resets
    Query Query4;     // single-competitor lookup of the web commands
    Query Qstnm;      // bib lookup from the start box
    Query Qftnm;      // bib lookup from the finish box
    Query Qdpst;      // run 1 start list
    Query Qdpfn;      // run 1 finish list
    Query QPulseSt;   // run 1 start impulse list
    Query QPulseFn;   // run 1 finish impulse list
    Query QresultBib; // run 1 results list
    Query Qdpst2;
    Query Qdpfn2;
    Query QPulseSt2;
    Query QPulseFn2;
    Query QresultBib2;
};

} // namespace pistel
