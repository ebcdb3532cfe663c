#pragma once

#include "ResultSet.h"

#include <QObject>
#include <memory>

namespace pistel {

class Query;

// A copy of a dataset's rows for a view, kept in step with the dataset row by row. The
// dataset may live on another thread (a timing station's): each change is taken as a value
// where it happens and applied here in the order it happened, so a view never reads rows
// that are being changed. On the dataset's own thread the copy follows at once.
class QueryMirror : public QObject {
    Q_OBJECT
public:
    explicit QueryMirror(Query& source, QObject* parent = nullptr);
    ~QueryMirror() override;

    bool isOpen() const { return open_; }
    int recordCount() const { return open_ ? rows_.rowCount() : 0; }
    int currentRow() const { return current_; }
    QString text(int row, int column) const { return rows_.text(row, column); }
    const ResultSet& rows() const { return rows_; }
    // A field of the current row, empty when there is none or no such column.
    QString currentText(QStringView field) const;

    // The operator chose a row: the dataset moves to it on its own thread. A choice made
    // on rows the dataset has changed since is dropped (the view then shows the dataset's
    // own current row again), so it never lands on another competitor's row.
    void moveTo(int row);

signals:
    // The same reports as the dataset's, for the copy.
    void currentRowChanged();
    void aboutToReset();
    void reset();
    void rowAboutToBeRemoved(int row);
    void rowRemoved();
    void rowAboutToBeInserted(int row);
    void rowInserted();
    void rowsChanged();

private:
    struct Link;
    void followSource(Query& source);

    std::shared_ptr<Link> link_;
    ResultSet rows_;
    bool open_ = false;
    int current_ = -1;
    quint64 version_ = 0; // the dataset's count of changes that the rows here hold
    bool synced_ = false; // the rows to start from arrived
};

} // namespace pistel
