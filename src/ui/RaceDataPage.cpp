#include "RaceDataPage.h"

#include "office/Competition.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pistel {

RaceDataPage::RaceDataPage(QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    table = new QTableWidget(static_cast<int>(kRaceDataItems.size()), 3, this);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("大会"), QStringLiteral("１本目"), QStringLiteral("２本目")});
    QStringList captions;
    for (const QString& item : kRaceDataItems)
        captions << raceDataCaption(item);
    table->setVerticalHeaderLabels(captions);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    v->addWidget(table);
    auto* save = new QPushButton(QStringLiteral("大会データを保存"), this);
    connect(save, &QPushButton::clicked, this, &RaceDataPage::saveRequested);
    v->addWidget(save, 0, Qt::AlignRight);
}

void RaceDataPage::showData(const QMap<QString, QString>& data) {
    for (int row = 0; row < kRaceDataItems.size(); ++row)
        for (int run = 0; run < 3; ++run)
            table->setItem(row, run,
                           new QTableWidgetItem(
                               data.value(QString::number(run) + u'|' + kRaceDataItems[row])));
}

QMap<int, QMap<QString, QString>> RaceDataPage::data() const {
    QMap<int, QMap<QString, QString>> byRun;
    for (int row = 0; row < kRaceDataItems.size(); ++row)
        for (int run = 0; run < 3; ++run) {
            const QTableWidgetItem* cell = table->item(row, run);
            byRun[run].insert(kRaceDataItems[row], cell ? cell->text().trimmed() : QString());
        }
    return byRun;
}

} // namespace pistel
