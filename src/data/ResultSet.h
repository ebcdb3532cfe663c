#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace pistel {

// Rows of one select, held as the raw bytes the driver returned (Shift-JIS text);
// decoding happens only for the cells that are read.
class ResultSet {
public:
    // `numeric`: per column, whether the database compares it as a number (may be empty).
    void setColumns(const QStringList& names, const std::vector<bool>& numeric = {});
    bool isNumeric(int column) const {
        return column < static_cast<int>(numeric_.size()) && numeric_[column];
    }
    // Moves row `row` of `other` (same columns) in before row `before`.
    void insertRow(int before, const ResultSet& other, int row);
    void removeRow(int row);
    // A set of the same columns holding a copy of row `row` only.
    ResultSet rowCopy(int row) const;
    void reserve(qsizetype rows, qsizetype bytes);
    void appendCell(const char* data, qsizetype length) { // length < 0: null
        cells_.push_back({static_cast<qsizetype>(bytes_.size()), length});
        if (length > 0)
            bytes_.insert(bytes_.end(), data, data + length);
    }
    void clear();

    int columnCount() const { return static_cast<int>(columns_.size()); }
    int rowCount() const {
        return columnCount() == 0 ? 0 : static_cast<int>(cells_.size()) / columnCount();
    }
    const QString& columnName(int column) const { return columns_.at(column); }
    // Column names are case-insensitive, as in the database; -1 when there is none.
    int columnIndex(QStringView name) const;

    bool isNull(int row, int column) const { return cells_[cell(row, column)].length < 0; }
    QByteArrayView raw(int row, int column) const;
    QString text(int row, int column) const;

private:
    size_t cell(int row, int column) const {
        return static_cast<size_t>(row) * columns_.size() + column;
    }

    QStringList columns_;
    std::vector<bool> numeric_;
    QHash<QString, int> index_; // upper-case name -> column
    struct Cell {
        qsizetype offset;
        qsizetype length; // < 0: null
    };
    std::vector<char> bytes_;
    std::vector<Cell> cells_;
};

} // namespace pistel
