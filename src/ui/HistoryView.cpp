#include "HistoryView.h"

#include "RunWindowContext.h"
#include "data/AppState.h"
#include "data/BibText.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"
#include "data/odbc/OdbcConnection.h"
#include "station/StationView.h"
#include "station/TimingStation.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <utility>

namespace pistel {

HistoryView::HistoryView(const RunWindowContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
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
    connect(&context_.view, &StationView::marksChanged, this, &HistoryView::refresh);
    refresh();
}

void HistoryView::refresh() {
    QString bib = bibFilter->text().trimmed();
    bool number = false;
    const int n = bib.toInt(&number);
    if (number)
        bib = bibText(n);
    if (reader_.busy()) {
        reader_.readAgainAfter([this] { refresh(); });
        return;
    }
    const odbc::Connection& db = context_.dm.Db1;
    if (!db.wasOpened())
        return; // never connected: nothing to read like
    auto read = std::make_shared<std::vector<HistoryEntry>>();
    reader_.read(
        db,
        [read, code = context_.app.competitionCode, bib](odbc::Connection& c) {
            *read = readHistory(c, code, bib);
        },
        [this, read](const QString& error, bool) {
            if (error.isEmpty())
                showEntries(std::move(*read));
        });
}

void HistoryView::showEntries(std::vector<HistoryEntry> entries) {
    // New entries come in at the top while the view is open: the operator's choice stays on
    // the same entry, found again by its id.
    const long long chosen = chosenId();
    entries_ = std::move(entries);
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
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]); // the whole text of a cut-off cell
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    for (int c : {6, 7}) // before and after: wide texts are cut, the tooltip has them whole
        table->setColumnWidth(c, std::min(table->columnWidth(c), 320));
    table->clearSelection();
    table->setCurrentItem(nullptr);
    for (int r = 0; r < table->rowCount(); ++r)
        if (entries_[static_cast<size_t>(r)].id == chosen)
            table->selectRow(r);
}

long long HistoryView::chosenId() const {
    const QList<QTableWidgetItem*> selected = table->selectedItems();
    const int r = selected.isEmpty() ? -1 : selected.first()->row();
    if (r < 0 || r >= static_cast<int>(entries_.size()))
        return 0;
    return entries_[static_cast<size_t>(r)].id;
}

void HistoryView::revertChosen() {
    const long long id = chosenId();
    if (id == 0)
        return;
    const auto e = std::find_if(entries_.begin(), entries_.end(),
                                [id](const HistoryEntry& h) { return h.id == id; });
    if (e == entries_.end())
        return;
    // What will change, before it changes.
    const QString what =
        QStringLiteral("ビブ %1　%2　%3\n変更前: %4\n変更後: %5\n\n"
                       "この変更を元に戻しますか？")
            .arg(e->zek, sourceCaption(e->source), e->what, e->beforeText, e->afterText);
    if (!context_.dialog.askYesNo(what, QStringLiteral("変更を元に戻す")))
        return;
    // The list follows once the station has taken the change back (its statuses change).
    context_.station.post([s = &context_.station, id] { s->control.corrections.revertChange(id); });
}

} // namespace pistel
