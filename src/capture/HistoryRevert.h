#pragma once

#include "results/ChangeHistory.h"

#include <QString>

namespace pistel {

namespace odbc {
class Connection;
}
class OperatorDialog;

// Takes back one entry of the change history: puts a competitor back as they were before it
// (exactly, when nothing changed since; otherwise, after asking, the entry's times and
// statuses with the run times that follow), or backup timing data exactly or not at all.
// The reversion is a change of its own, in one transaction with its history row; a line
// captured while the operator is asked stops it.
class HistoryRevert {
public:
    HistoryRevert(odbc::Connection& db, const QString& code, OperatorDialog* dialog)
        : db_(db), code_(code), dialog_(dialog) {}

    struct Outcome {
        bool reverted = false;
        QString bib; // the competitor put back; empty for backup timing data
    };
    // Throws DbError.
    Outcome revert(long long id);

private:
    bool revertBackupData(const RowSnapshot& was, const RowSnapshot& became);
    // The row the entry's times and statuses go back to, when the competitor changed since.
    static RowSnapshot partlyBack(const RowSnapshot& now, const RowSnapshot& was,
                                  const RowSnapshot& became);
    bool confirm(const QString& text);
    void tell(const QString& text);
    void exec(const QStringList& statement);

    odbc::Connection& db_;
    QString code_;
    OperatorDialog* dialog_;
};

} // namespace pistel
