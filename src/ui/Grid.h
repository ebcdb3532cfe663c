#pragma once

#include "data/QueryModel.h"

#include <QTableView>

namespace pistel {

// A grid bound to a query: columns as configured, the current row of the query selected,
// and a click making the clicked row the query's current row.
class Grid : public QTableView {
    Q_OBJECT
public:
    Grid(Query& query, QList<GridColumn> columns, int fontPixels, QWidget* parent = nullptr);
    QueryModel& model() { return model_; }
    // The row under a point of the viewport becomes the query's current row, as a click
    // does (a right-click before its menu).
    void pickRowAt(const QPoint& at);

signals:
    // A row was clicked, right-clicked or reached with the keyboard; the query already
    // stands on it.
    void cellClicked();

private:
    QueryModel model_;
};

} // namespace pistel
