#include "QueryModel.h"

#include <QSize>

namespace pistel {

QueryModel::QueryModel(Query& query, QList<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), mirror_(query), columns_(std::move(columns)) {
    connect(&mirror_, &QueryMirror::aboutToReset, this, [this] { beginResetModel(); });
    connect(&mirror_, &QueryMirror::reset, this, [this] {
        fieldColumns_.clear();
        endResetModel();
    });
    // A merge is passed on row by row, so that a view lays out those rows only.
    connect(&mirror_, &QueryMirror::rowAboutToBeRemoved, this, [this](int row) {
        merging_ = true;
        beginRemoveRows({}, row, row);
    });
    connect(&mirror_, &QueryMirror::rowRemoved, this, [this] { endRemoveRows(); });
    connect(&mirror_, &QueryMirror::rowAboutToBeInserted, this, [this](int row) {
        merging_ = true;
        beginInsertRows({}, row, row);
    });
    connect(&mirror_, &QueryMirror::rowInserted, this, [this] { endInsertRows(); });
    connect(&mirror_, &QueryMirror::rowsChanged, this, [this] { merging_ = false; });
    connect(&mirror_, &QueryMirror::currentRowChanged, this,
            [this] { emit currentRowChanged(mirror_.currentRow()); });
}

int QueryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : mirror_.recordCount();
}

int QueryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

int QueryModel::fieldColumn(int column) const {
    if (fieldColumns_.isEmpty()) {
        for (const GridColumn& c : columns_)
            fieldColumns_.append(c.field.isEmpty() ? -1 : mirror_.rows().columnIndex(c.field));
    }
    return fieldColumns_.value(column, -1);
}

QVariant QueryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= mirror_.recordCount() ||
        index.column() >= columns_.size())
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const int c = fieldColumn(index.column());
        const QString text = c < 0 ? QString() : mirror_.text(index.row(), c);
        return shown ? shown(index.row(), columns_[index.column()].field, text) : text;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_[index.column()].alignment);
    case MarkedRole:
        return rowMarked && rowMarked(index.row());
    case Qt::ToolTipRole: {
        if (rowMarked && rowMarked(index.row()))
            return rowTip ? rowTip(index.row()) : markedTip;
        const int c = fieldColumn(index.column());
        if (c < 0 || !columns_[index.column()].toolTip)
            return {};
        return mirror_.text(index.row(), c);
    }
    default:
        return {};
    }
}

QVariant QueryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const GridColumn& c = columns_[section];
    switch (role) {
    case Qt::DisplayRole:
        return c.title;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(c.titleAlignment);
    case Qt::SizeHintRole:
        return QSize(c.width, 22);
    default:
        return {};
    }
}

int QueryModel::currentRow() const {
    return mirror_.currentRow();
}

void QueryModel::setCurrentRow(int row) {
    if (mirror_.isOpen())
        mirror_.moveTo(row);
}

} // namespace pistel
