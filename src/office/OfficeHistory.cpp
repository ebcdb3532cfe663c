#include "OfficeHistory.h"

#include "results/ChangeHistory.h"

namespace pistel {

QStringList officeHistory(const QString& code, const std::vector<OfficeChange>& changes) {
    std::vector<HistoryEntry> entries;
    const QDateTime at = QDateTime::currentDateTime();
    for (const OfficeChange& c : changes) {
        HistoryEntry e;
        e.at = at;
        e.host = workstationName();
        e.zek = c.bib;
        e.run = c.run;
        e.source = QString::fromLatin1(source::kOffice);
        e.what = c.what;
        e.beforeText = c.before;
        e.afterText = c.after;
        entries.push_back(std::move(e));
    }
    return historyInsert(code, entries);
}

} // namespace pistel
