#include "Grid.h"

#include "data/Query.h"

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace pistel {

namespace {
// Paints rows the model marks on a warm background (an impulse that nobody got).
class MarkedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(QueryModel::MarkedRole).toBool())
            option->backgroundBrush = QColor(255, 200, 120);
    }
};
} // namespace

Grid::Grid(Query& query, QList<GridColumn> columns, int fontPixels, QWidget* parent)
    : QTableView(parent), model_(query, std::move(columns)) {
    setModel(&model_);
    setItemDelegate(new MarkedRowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setVisible(false);
    QFont f = font();
    f.setPixelSize(fontPixels);
    setFont(f);
    verticalHeader()->setDefaultSectionSize(fontPixels + 8);
    QFont title = horizontalHeader()->font();
    title.setPixelSize(11);
    horizontalHeader()->setFont(title);
    // A column is at least as wide as its title and its widest expected text need, in the
    // fonts actually used.
    const QFontMetrics cells(f), titles(title);
    horizontalHeader()->setMinimumSectionSize(0); // spacer columns keep their few pixels
    for (int c = 0; c < model_.columns().size(); ++c) {
        const GridColumn& col = model_.columns()[c];
        int width = std::max(col.width, titles.horizontalAdvance(col.title) + 8);
        if (!col.sample.isEmpty())
            width = std::max(width, cells.horizontalAdvance(col.sample) + 10);
        setColumnWidth(c, width);
    }
    auto showCurrent = [this] {
        const int row = model_.currentRow();
        if (row >= 0)
            selectRow(row);
        else
            clearSelection();
    };
    connect(&model_, &QueryModel::currentRowChanged, this, showCurrent);
    connect(&model_, &QAbstractItemModel::modelReset, this, showCurrent);
    connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
        model_.setCurrentRow(index.row());
        emit cellClicked();
    });
    // Arrow keys move the highlight; the query's row (and so a box) goes with it.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid() || current.row() == model_.currentRow() || !hasFocus() ||
                    model_.merging())
                    return;
                model_.setCurrentRow(current.row());
                emit cellClicked();
            });
}

void Grid::pickRowAt(const QPoint& at) {
    const QModelIndex index = indexAt(at);
    if (!index.isValid())
        return;
    setCurrentIndex(index);
    if (index.row() != model_.currentRow()) {
        model_.setCurrentRow(index.row());
        emit cellClicked();
    }
}

} // namespace pistel
