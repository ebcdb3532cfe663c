#pragma once

#include "LiveStore.h"

#include <QJsonObject>

namespace pistel::live {

// What the page shows for the race the workstation chose (until it chooses one, the class
// racing now): title, class, message, the rankings (equal results share a rank) with the gap
// to the leader, the latest finisher, on course, next to start and the statuses.
QJsonObject pageData(const LiveStore& store, qint64 nowMs);
// The same for a chosen competition and class.
QJsonObject pageData(const LiveStore& store, const RaceKey& race, qint64 nowMs);
// Every competition the server knows with its classes, for the page's choice.
QJsonArray raceList(const LiveStore& store);

} // namespace pistel::live
