#pragma once

#include "Race.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace pistel {

namespace odbc {
class Connection;
}

// What the operator publishes as official: the results of a run or of the race.
enum class PublishScope { Run1, Run2, Race };
// "1", "2", "race" (the command line's and the table's names).
std::optional<PublishScope> publishScopeNamed(const QString& name);
QString publishScopeName(PublishScope scope);

// A digest of the results `scope` covers (times, states, statuses, marks of every competitor
// on the lists): equal digests, the same results.
QString resultsDigest(const Race& race, PublishScope scope);

// When the results of `scope` were published and are still as published; nothing when they
// are unofficial (never published, or changed since).
std::optional<QDateTime> officialSince(const Race& race, PublishScope scope);

// Publishes the results of `scope` as they stand (or, `undo`, takes the publication back),
// with its change-history row. Throws DbError; std::invalid_argument when the competition
// does not exist.
QDateTime publishResults(odbc::Connection& db, const QString& code, PublishScope scope,
                         bool undo = false);

} // namespace pistel
