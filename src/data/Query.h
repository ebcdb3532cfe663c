#pragma once

#include "ResultSet.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <vector>

namespace pistel {

namespace odbc {
class Connection;
}

class Query;

// One field of the current row, read by name. With no current row every field reads as
// empty text (and as null).
class Field {
public:
    Field(const Query& query, int column) : query_(query), column_(column) {}
    QString asString() const;
    // Empty text and null read as 0; any other text that is not a whole number is an error.
    int asInteger() const;
    bool isNull() const;

private:
    const Query& query_;
    int column_;
};

// An in-memory dataset over one statement: the SQL is a list of lines sent joined by line
// breaks; open reads every row of a select, execSql runs a statement without rows.
// currentRowChanged fires whenever the current row changes: open (the first row becomes
// current), scrolling to another row, first, last and a successful locate (these three
// even when the row stays the same).
class Query : public QObject {
    Q_OBJECT
public:
    Query(odbc::Connection& db, const QString& name, const QStringList& initialSql = {},
          QObject* parent = nullptr);

    const QString& name() const { return name_; }
    const QStringList& sql() const { return sql_; }
    odbc::Connection& connection() const { return db_; }
    // Changing the statement closes the dataset, so rows of an old statement are never read.
    void setSql(const QStringList& lines);
    void clearSql() { setSql({}); }
    void addSql(const QString& line);
    QString statementText() const { return sql_.join(QLatin1Char('\n')); }

    void open();
    // Shows `read`, the rows of this statement read on another connection (off this
    // thread), as open() shows what it reads.
    void showRead(ResultSet read);
    void close();
    // Runs the statement; returns the affected row count (-1 when unknown).
    long long execSql();
    // Close and open again with the same SQL.
    void reread();
    // Brings an open dataset up to date after the rows whose `field` equals `value` changed,
    // without reading it whole: the statement is run for those rows only and they are put
    // where the statement's "order by" puts them (the order must be total). Afterwards the
    // dataset reads and notifies exactly as after reread. A closed dataset is re-read.
    void refreshKey(QStringView field, const QString& value) { refreshKeys(field, {value}); }
    // The same for the rows whose `field` is any of `values`, in one statement.
    void refreshKeys(QStringView field, const QStringList& values);
    // The same without a statement, for a writer that knows the row it wrote: `values` holds
    // every column of the dataset (upper-case names) as the database gives it back, and
    // `belongs` whether the statement selects the row. False when the dataset cannot take it
    // so (then nothing changed).
    bool putRow(QStringView field, const QString& value, const QHash<QString, QString>& values,
                bool belongs);
    // The same for rows added since the dataset was read: those whose numeric `field` is
    // greater than any it holds (an auto-increment id).
    void appendNewer(QStringView field);
    // Off: refreshKey and appendNewer re-read the whole dataset (for comparisons).
    void setIncremental(bool on) { incremental_ = on; }
    bool isOpen() const { return open_; }

    int recordCount() const { return open_ ? rows_.rowCount() : 0; }
    int currentRow() const { return current_; } // -1 when there is no row
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);

    // Exact, case-sensitive search on one field from the first row; the found row becomes
    // current. Returns false and leaves the current row as it is when nothing matches.
    bool locate(QStringView field, const QString& value);

    Field fieldByName(QStringView field) const;
    // The same, read from any row (for grids).
    QString text(int row, int column) const { return rows_.text(row, column); }
    const ResultSet& rows() const { return rows_; }

signals:
    void currentRowChanged();
    void aboutToReset(); // rows are about to be replaced or dropped (open, close)
    void reset();        // rows were replaced or dropped
    // A merge (refreshKey, putRow, appendNewer) takes out or puts in one row at `row`, so
    // that a view lays out only that row, however long the list.
    void rowAboutToBeRemoved(int row);
    void rowRemoved();
    void rowAboutToBeInserted(int row);
    void rowInserted();
    // The rows changed, by a read or a merge.
    void rowsChanged();

private:
    struct SortKey {
        int column;
        bool descending;
    };
    friend class Field;
    void requireOpen(const char* what) const;
    void setCurrent(int row, bool notifyAlways = false);
    // Runs the statement narrowed by `condition` and merges its rows in; false when the
    // statement has no form that allows it (then nothing changed).
    bool mergeRows(const QString& condition, QStringView field, const QStringList& values,
                   ResultSet* merged = nullptr);
    // The order keys of `statement` as columns of the dataset; false when it has no form that
    // allows merging rows in.
    bool sortKeysOf(const QString& statement, std::vector<SortKey>& keys, QString* head,
                    QString* tail) const;
    // Replaces the rows whose `field` is one of `values` by those of `changed`, in order.
    void mergeIn(std::vector<SortKey> keys, QStringView field, const QStringList& values,
                 const ResultSet& changed);
    // Row position at which a row of `other` belongs by the statement's order.
    int insertionPoint(const ResultSet& other, int row) const;

    odbc::Connection& db_;
    QString name_;
    QStringList sql_;
    ResultSet rows_;
    bool open_ = false;
    bool incremental_ = true;
    long long newest_ = -1;         // appendNewer's largest key so far; -1: not looked for yet
    std::vector<SortKey> sortKeys_; // of the last merge
    int current_ = -1;
    bool bof_ = true;
    bool eof_ = true;
};

} // namespace pistel
