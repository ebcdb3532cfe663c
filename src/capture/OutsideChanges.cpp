#include "OutsideChanges.h"

#include "data/Query.h"
#include "data/SqlValue.h"

namespace pistel {
namespace {
// A competitor's entry, and what the timing writes.
const QString kEntryColumns = QStringLiteral("zek,dropm,class1,st1,st2,name,team");
const QString kTimeColumns =
    QStringLiteral("sttime,altime,sttime2,altime2,ttime,ttime2,totaltime,FL,FL2");

QString rowSum(const QString& columns) {
    return "crc32(concat_ws('|'," + columns + "))";
}

// One row, a few ms on a competition of a thousand: order-independent sums of row checksums.
QStringList digestStatement(const QString& code) {
    const QString tcode = "tcode = '" + sqlValue(code) + "'";
    return {"select concat_ws('/',",
            "(select concat(count(*),':',coalesce(sum(" + rowSum(kEntryColumns) +
                "),0),':',"
                "coalesce(sum(" +
                rowSum(kTimeColumns) + "),0)) from result where " + tcode + "),",
            "(select concat(count(*),':',coalesce(sum(crc32(concat_ws('|',zek,run,code,gate,"
            "reason))),0)) from run_status where " +
                tcode + "),",
            "(select coalesce(max(id),0) from change_history where " + tcode + "),",
            "(select count(*) from pulse_unassigned where " + tcode + ")) as digest"};
}

enum Part { kRows, kStatuses, kHistory, kUnassigned };
} // namespace

QHash<QString, OutsideChanges::RowSums> OutsideChanges::readRowSums(odbc::Connection& db,
                                                                    const QString& code) {
    Query q(db, QStringLiteral("row sums"),
            {"select zek," + rowSum(kEntryColumns) + "," + rowSum(kTimeColumns) +
             " from result where tcode = '" + sqlValue(code) + "'"});
    q.open();
    QHash<QString, RowSums> rows;
    rows.reserve(q.recordCount());
    for (int r = 0; r < q.recordCount(); ++r)
        rows.insert(q.text(r, 0), {q.text(r, 1).toUInt(), q.text(r, 2).toUInt()});
    return rows;
}

void OutsideChanges::forget() {
    parts_.clear();
    rows_.clear();
}

OutsideChange OutsideChanges::changedSinceLastLook(odbc::Connection& db, const QString& code) {
    Query q(db, QStringLiteral("outside changes"), digestStatement(code));
    q.open();
    const QStringList parts = q.fieldByName(u"digest").asString().split(QLatin1Char('/'));
    OutsideChange change;
    if (code != code_ || parts_.size() != parts.size()) { // the starting point
        code_ = code;
        parts_ = parts;
        rows_ = readRowSums(db, code);
        return change;
    }
    change.statuses = parts[kStatuses] != parts_[kStatuses];
    change.history = parts[kHistory] != parts_[kHistory];
    change.unassigned = parts[kUnassigned] != parts_[kUnassigned];
    if (parts[kRows] != parts_[kRows]) {
        // Read after the digest: a change between the two shows here, and the next look
        // finds no row different for it.
        const QHash<QString, RowSums> rows = readRowSums(db, code);
        for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
            const auto was = rows_.constFind(it.key());
            const bool entryChanged = was == rows_.cend() || was->entry != it->entry;
            if (entryChanged || was->times != it->times)
                change.bibs << it.key();
            change.entries = change.entries || entryChanged;
        }
        for (auto it = rows_.cbegin(); it != rows_.cend(); ++it)
            if (!rows.contains(it.key())) {
                change.bibs << it.key();
                change.entries = true;
            }
        rows_ = rows;
        change.everything = change.bibs.size() > kMostRowsOneByOne;
    }
    parts_ = parts;
    return change;
}

} // namespace pistel
