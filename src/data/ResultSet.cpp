#include "ResultSet.h"

#include "SjisText.h"

namespace pistel {

void ResultSet::setColumns(const QStringList& names, const std::vector<bool>& numeric) {
    clear();
    columns_ = names;
    numeric_ = numeric;
    for (int i = 0; i < names.size(); ++i) {
        const QString key = names[i].toUpper();
        if (!index_.contains(key)) // of two equal names the first wins
            index_.insert(key, i);
    }
}

void ResultSet::insertRow(int before, const ResultSet& other, int row) {
    std::vector<Cell> added;
    for (int c = 0; c < columnCount(); ++c) {
        const Cell& from = other.cells_[other.cell(row, c)];
        added.push_back({static_cast<qsizetype>(bytes_.size()), from.length});
        if (from.length > 0)
            bytes_.insert(bytes_.end(), other.bytes_.begin() + from.offset,
                          other.bytes_.begin() + from.offset + from.length);
    }
    cells_.insert(cells_.begin() + static_cast<std::ptrdiff_t>(cell(before, 0)), added.begin(),
                  added.end());
}

ResultSet ResultSet::rowCopy(int row) const {
    ResultSet copy;
    copy.setColumns(columns_, numeric_);
    copy.insertRow(0, *this, row);
    return copy;
}

void ResultSet::removeRow(int row) {
    // The row's bytes stay unused until the set is read again; only its cells go.
    const auto first = cells_.begin() + static_cast<std::ptrdiff_t>(cell(row, 0));
    cells_.erase(first, first + columnCount());
}

void ResultSet::reserve(qsizetype rows, qsizetype bytes) {
    cells_.reserve(static_cast<size_t>(rows) * columns_.size());
    bytes_.reserve(static_cast<size_t>(bytes));
}

void ResultSet::clear() {
    columns_.clear();
    index_.clear();
    bytes_.clear();
    cells_.clear();
}

int ResultSet::columnIndex(QStringView name) const {
    return index_.value(name.toString().toUpper(), -1);
}

QByteArrayView ResultSet::raw(int row, int column) const {
    const Cell& c = cells_[cell(row, column)];
    if (c.length <= 0)
        return {};
    return QByteArrayView(bytes_.data() + c.offset, c.length);
}

QString ResultSet::text(int row, int column) const {
    return fromSjis(raw(row, column));
}

} // namespace pistel
