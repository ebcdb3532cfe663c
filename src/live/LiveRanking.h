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

// Hundredths of a result HH:MM:SS.ff, or -1 when it is none.
qint64 resultHundredths(const QString& timeod);
// A run time as the page shows it ("1:05.12", "59.50") in hundredths; -1 when it is none.
qint64 shownHundredths(const QString& shown);
// A gap in hundredths as "+1.23" or "+1:02.34".
QString gapText(qint64 hundredths);

} // namespace pistel::live
