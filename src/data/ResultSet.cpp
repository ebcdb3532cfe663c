#include "ResultSet.h"

#include "SjisText.h"

namespace pistel {

void ResultSet::setColumns(const QStringList& names) {
    clear();
    columns_ = names;
    for (int i = 0; i < names.size(); ++i) {
        const QString key = names[i].toUpper();
        if (!index_.contains(key)) // of two equal names the first wins
            index_.insert(key, i);
    }
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
