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

void ResultSet::appendCell(const char* data, qsizetype length) {
    offsets_.push_back(static_cast<qsizetype>(bytes_.size()));
    lengths_.push_back(length);
    if (length > 0)
        bytes_.insert(bytes_.end(), data, data + length);
}

void ResultSet::clear() {
    columns_.clear();
    index_.clear();
    bytes_.clear();
    offsets_.clear();
    lengths_.clear();
}

int ResultSet::columnIndex(QStringView name) const {
    return index_.value(name.toString().toUpper(), -1);
}

QByteArrayView ResultSet::raw(int row, int column) const {
    const size_t i = cell(row, column);
    if (lengths_[i] <= 0)
        return {};
    return QByteArrayView(bytes_.data() + offsets_[i], lengths_[i]);
}

QString ResultSet::text(int row, int column) const {
    return fromSjis(raw(row, column));
}

} // namespace pistel
