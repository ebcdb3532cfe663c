#include "HistoryView.h"

#include "capture/RunControl.h"
#include "data/AppState.h"
#include "data/TDM1.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pistel {

HistoryView::HistoryView(RunControl& control, QWidget* parent)
    : QDialog(parent), control_(control) {
    setWindowTitle(QStringLiteral("変更履歴"));
    auto* v = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("ビブ"), this));
    bibFilter = new QLineEdit(this);
    bibFilter->setPlaceholderText(QStringLiteral("すべて"));
    bibFilter->setMaximumWidth(120);
    top->addWidget(bibFilter);
    top->addStretch(1);
    revert = new QPushButton(QStringLiteral("選択した変更を元に戻す"), this);
    top->addWidget(revert);
    v->addLayout(top);
    table = new QTableWidget(this);
    table->setColumnCount(8);
    table->setHorizontalHeaderLabels({QStringLiteral("日時"), QStringLiteral("端末"),
                                      QStringLiteral("ビブ"), QStringLiteral("本目"),
                                      QStringLiteral("種類"), QStringLiteral("変更"),
                                      QStringLiteral("変更前"), QStringLiteral("変更後")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(table, 1);
    resize(980, 560);
    connect(bibFilter, &QLineEdit::textChanged, this, &HistoryView::refresh);
    connect(revert, &QPushButton::clicked, this, &HistoryView::revertChosen);
    connect(&control_, &RunControl::statusesChanged, this, &HistoryView::refresh);
    refresh();
}

void HistoryView::refresh() {
    QString bib = bibFilter->text().trimmed();
    bool number = false;
    const int n = bib.toInt(&number);
    if (number)
        bib = QString::asprintf("%.4d", n);
    entries_ = readHistory(control_.dm.Db1, control_.app.competitionCode, bib);
    table->setRowCount(static_cast<int>(entries_.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        const HistoryEntry& e = entries_[static_cast<size_t>(r)];
        const QStringList cells{e.at.toString(QStringLiteral("MM-dd HH:mm:ss")),
                                e.host,
                                e.zek,
                                e.run ? QString::number(e.run) : QString(),
                                sourceCaption(e.source),
                                e.what,
                                e.beforeText,
                                e.afterText};
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    table->resizeColumnsToContents();
}

void HistoryView::revertChosen() {
    const int r = table->currentRow();
    if (r < 0 || r >= static_cast<int>(entries_.size()))
        return;
    control_.revertChange(entries_[static_cast<size_t>(r)].id);
    refresh();
}

} // namespace pistel
