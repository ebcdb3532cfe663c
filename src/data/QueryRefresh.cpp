// Bringing a dataset up to date by what changed instead of reading it whole: the statement
// itself, narrowed to the changed rows, stays the source of truth for what the rows hold and
// whether they belong; the "order by" of the statement says where they go.
#include "DbError.h"
#include "Query.h"
#include "SjisText.h"
#include "SqlValue.h"
#include "odbc/OdbcConnection.h"

#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace pistel {
namespace {

// The statement split where its "order by" begins, and the keys after it.
struct OrderBy {
    QString head;                     // everything before "order by"
    QString tail;                     // "order by ..." to the end
    QList<QPair<QString, bool>> keys; // column name, descending
};

std::optional<OrderBy> splitOrderBy(const QString& statement) {
    static const QRegularExpression re(QStringLiteral(R"(\border\s+by\b)"),
                                       QRegularExpression::CaseInsensitiveOption);
    qsizetype at = -1;
    for (auto it = re.globalMatch(statement); it.hasNext();)
        at = it.next().capturedStart();
    if (at < 0)
        return std::nullopt;
    OrderBy o{statement.left(at), statement.mid(at), {}};
    const QString list =
        o.tail.mid(o.tail.indexOf(QLatin1String("by"), 0, Qt::CaseInsensitive) + 2);
    for (const QString& part : list.split(QLatin1Char(','))) {
        const QStringList words = part.simplified().split(QLatin1Char(' '));
        if (words.isEmpty() || words[0].isEmpty() || words.size() > 2)
            return std::nullopt; // an expression: not a plain column list
        const bool desc =
            words.size() == 2 && words[1].compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
        if (words.size() == 2 && !desc &&
            words[1].compare(QLatin1String("asc"), Qt::CaseInsensitive) != 0)
            return std::nullopt;
        o.keys.append({words[0], desc});
    }
    return o;
}

// How the server orders two cells of one column: numbers as numbers, text as the server's
// case-insensitive collation with trailing blanks ignored; null first.
int compareCells(const ResultSet& a, int ra, const ResultSet& b, int rb, int column) {
    const bool nullA = a.isNull(ra, column), nullB = b.isNull(rb, column);
    if (nullA || nullB)
        return nullA == nullB ? 0 : (nullA ? -1 : 1);
    const QString x = a.text(ra, column), y = b.text(rb, column);
    if (a.isNumeric(column)) {
        const double dx = x.toDouble(), dy = y.toDouble();
        return dx < dy ? -1 : (dx > dy ? 1 : 0);
    }
    auto untilTrailingBlanks = [](const QString& t) {
        qsizetype e = t.size();
        while (e > 0 && t[e - 1] == QLatin1Char(' '))
            --e;
        return QStringView(t).left(e);
    };
    return untilTrailingBlanks(x).compare(untilTrailingBlanks(y), Qt::CaseInsensitive);
}

} // namespace

void Query::refreshKeys(QStringView field, const QStringList& values) {
    if (values.isEmpty())
        return;
    QStringList quoted;
    for (const QString& value : values)
        quoted << QLatin1Char('\'') + sqlValue(value) + QLatin1Char('\'');
    const QString condition = values.size() == 1
                                  ? field.toString() + QStringLiteral(" = ") + quoted.first()
                                  : field.toString() + QStringLiteral(" in (") +
                                        quoted.join(QLatin1Char(',')) + QLatin1Char(')');
    if (!open_ || !incremental_ || !mergeRows(condition, field, values))
        reread();
}

void Query::appendNewer(QStringView field) {
    const int column = open_ ? rows_.columnIndex(field) : -1;
    if (column < 0 || !incremental_) {
        reread();
        return;
    }
    // The newest key is looked for once per read of the dataset, not on every line.
    auto newestOf = [](const ResultSet& rows, int c, long long start) {
        for (int r = 0; r < rows.rowCount(); ++r)
            start = std::max(start, rows.text(r, c).toLongLong());
        return start;
    };
    if (newest_ < 0)
        newest_ = newestOf(rows_, column, 0);
    ResultSet added;
    if (!mergeRows(field.toString() + QStringLiteral(" > '") + QString::number(newest_) +
                       QLatin1Char('\''),
                   {}, {}, &added)) {
        reread();
        return;
    }
    newest_ = newestOf(added, column, newest_);
}

bool Query::sortKeysOf(const QString& statement, std::vector<SortKey>& keys, QString* head,
                       QString* tail) const {
    const std::optional<OrderBy> order = splitOrderBy(statement);
    if (!order || !order->head.contains(QLatin1String(" where "), Qt::CaseInsensitive))
        return false;
    for (const auto& [name, desc] : order->keys) {
        const int column = rows_.columnIndex(name);
        if (column < 0)
            return false; // ordered by a column the dataset does not hold
        keys.push_back({column, desc});
    }
    if (head)
        *head = order->head;
    if (tail)
        *tail = order->tail;
    return true;
}

bool Query::mergeRows(const QString& condition, QStringView field, const QStringList& values,
                      ResultSet* merged) {
    std::vector<Query::SortKey> keys;
    QString head, tail;
    if (!sortKeysOf(statementText(), keys, &head, &tail))
        return false;
    const QString text = head + QStringLiteral(" and ") + condition + QLatin1Char('\n') + tail;
    ResultSet changed;
    db_.execute(toSjis(text), text, &changed);
    if (changed.columnCount() != rows_.columnCount())
        return false;
    mergeIn(std::move(keys), field, values, changed);
    if (merged)
        *merged = std::move(changed);
    return true;
}

bool Query::putRow(QStringView field, const QString& value, const QHash<QString, QString>& values,
                   bool belongs) {
    std::vector<Query::SortKey> keys;
    if (!open_ || !incremental_ || !sortKeysOf(statementText(), keys, nullptr, nullptr))
        return false;
    ResultSet row;
    QStringList names;
    std::vector<bool> numeric;
    for (int c = 0; c < rows_.columnCount(); ++c) {
        names << rows_.columnName(c);
        numeric.push_back(rows_.isNumeric(c));
    }
    row.setColumns(names, numeric);
    if (belongs) {
        for (const QString& name : names) {
            const auto it = values.constFind(name.toUpper());
            if (it == values.constEnd())
                return false; // a column the writer does not know: read it instead
            const QByteArray bytes = toSjis(*it);
            row.appendCell(bytes.constData(), bytes.size());
        }
    }
    mergeIn(std::move(keys), field, {value}, row);
    return true;
}

void Query::mergeIn(std::vector<SortKey> keys, QStringView field, const QStringList& values,
                    const ResultSet& changed) {
    if (!field.isEmpty()) {
        const int column = rows_.columnIndex(field);
        std::vector<QByteArray> keysOut; // compared as stored, without decoding each row
        for (const QString& value : values)
            keysOut.push_back(toSjis(value));
        for (int r = rows_.rowCount() - 1; r >= 0; --r) {
            const QByteArrayView key = rows_.raw(r, column);
            if (std::none_of(keysOut.begin(), keysOut.end(),
                             [key](const QByteArray& out) { return key == out; }))
                continue;
            emit rowAboutToBeRemoved(r);
            rows_.removeRow(r);
            emit rowRemoved();
        }
    }
    sortKeys_ = std::move(keys);
    for (int r = 0; r < changed.rowCount(); ++r) {
        const int at = insertionPoint(changed, r);
        emit rowAboutToBeInserted(at);
        rows_.insertRow(at, changed, r);
        emit rowInserted();
    }
    // As after reread: the first row is current.
    current_ = rows_.rowCount() > 0 ? 0 : -1;
    bof_ = true;
    eof_ = rows_.rowCount() == 0;
    emit rowsChanged();
    emit currentRowChanged();
}

int Query::insertionPoint(const ResultSet& other, int row) const {
    // After every row that sorts before it or equal (the order is total, so no equal rows
    // remain but the one replaced).
    int low = 0, high = rows_.rowCount();
    while (low < high) {
        const int mid = (low + high) / 2;
        int c = 0;
        for (const auto& k : sortKeys_) {
            c = compareCells(rows_, mid, other, row, k.column);
            if (k.descending)
                c = -c;
            if (c != 0)
                break;
        }
        if (c <= 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

} // namespace pistel
