#pragma once

#include "results/RunStatus.h"

#include <QList>
#include <QString>
#include <functional>
#include <utility>

class QWidget;

namespace pistel {

class Grid;
class TimingStation;
class StationView;

using BibCommand = std::function<void(const QString& bib)>;

// The status commands of a run page's competitor lists (start, finish, results): menu items,
// and the same on keys of the list (Ctrl+1 DNS, Ctrl+2 DNF, Ctrl+3 DSQ, Ctrl+0 clear).
QList<std::pair<QString, BibCommand>> statusCommands(TimingStation& station, int run,
                                                     QWidget* parent);
void addStatusKeys(Grid* grid, TimingStation& station, int run, std::function<QString()> bib);
// Rows of competitors with a status in the run stand out, with the status as their tip.
void markStatuses(Grid* grid, const StationView& view, int run);

// Asks the gate and the reason of a disqualification; false when the operator cancels.
bool askDisqualification(QWidget* parent, const QString& bib, int run, RunStatus& status);

} // namespace pistel
