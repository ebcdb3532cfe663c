#include "DocumentTable.h"

#include <QHeaderView>
#include <QTableWidget>

namespace pistel {

void showDocument(QTableWidget* table, const Document& doc) {
    table->clear();
    table->clearSpans();
    QStringList titles;
    for (const DocumentColumn& c : doc.columns)
        titles << c.title;
    table->setColumnCount(static_cast<int>(titles.size()));
    table->setHorizontalHeaderLabels(titles);
    int rows = 0;
    for (const ClassDocument& part : doc.classes)
        for (const DocumentSection& s : part.sections)
            rows += static_cast<int>(s.rows.size() + s.lines.size()) + (s.title.isEmpty() ? 0 : 1);
    table->setRowCount(rows);
    int r = 0;
    for (const ClassDocument& part : doc.classes)
        for (const DocumentSection& s : part.sections) {
            if (!s.title.isEmpty()) {
                auto* item = new QTableWidgetItem(s.heading());
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                table->setItem(r, 0, item);
                table->setSpan(r, 0, 1, table->columnCount());
                ++r;
            }
            for (const QString& line : s.lines) {
                QString text = line;
                table->setItem(r, 0,
                               new QTableWidgetItem(
                                   text.replace(QStringLiteral("　　"), QStringLiteral("　"))));
                table->setSpan(r, 0, 1, table->columnCount());
                ++r;
            }
            for (const DocumentRow& row : s.rows) {
                for (int c = 0; c < row.cells.size() && c < table->columnCount(); ++c) {
                    auto* item = new QTableWidgetItem(row.cells[c]);
                    if (doc.columns[c].alignRight)
                        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                    table->setItem(r, c, item);
                }
                ++r;
            }
        }
    table->resizeColumnsToContents();
    // The last column takes the rest of the width: the text blocks' lines span it.
    if (table->columnCount() > 0)
        table->horizontalHeader()->setSectionResizeMode(table->columnCount() - 1,
                                                        QHeaderView::Stretch);
}

} // namespace pistel
