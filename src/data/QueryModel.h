#pragma once

#include "QueryMirror.h"

#include <QAbstractTableModel>
#include <QList>
#include <functional>

namespace pistel {

class Query;

struct GridColumn {
    QString field; // empty: a spacer column
    QString title;
    int width = 64;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool toolTip = false; // the cell's whole text shows when pointed at (long titles)
    QString sample;       // the widest text the column must show whole, if any
};

// A table model over a Query for the grids, showing the query's rows through a mirror, so
// the query may live on another thread. The view's selection and the query's current row
// are kept in step: setCurrentRow moves the query, currentRowChanged reports its moves.
class QueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    QueryModel(Query& query, QList<GridColumn> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Rows for which this is true read true for MarkedRole (the grid paints them) and show
    // markedTip.
    static constexpr int MarkedRole = Qt::UserRole + 1;
    std::function<bool(int row)> rowMarked;
    QString markedTip;
    std::function<QString(int row)> rowTip; // when set, a marked row's tip instead of markedTip
    // When set, what a cell shows: its text as read, changed (a mark added).
    std::function<QString(int row, const QString& field, const QString& text)> shown;

    const QList<GridColumn>& columns() const { return columns_; }
    const QueryMirror& rows() const { return mirror_; }
    int currentRow() const;
    // Rows are being taken out and put in: a view's own current row moves with them, which
    // is not the operator's choice.
    bool merging() const { return merging_; }

public slots:
    void setCurrentRow(int row);

signals:
    void currentRowChanged(int row);

private:
    int fieldColumn(int column) const;

    QueryMirror mirror_;
    QList<GridColumn> columns_;
    bool merging_ = false;
    mutable QList<int> fieldColumns_; // result column of each grid column, -1 unknown/spacer
};

} // namespace pistel
