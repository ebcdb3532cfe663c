#include "RankingView.h"

#include "DocumentTable.h"
#include "capture/RunControl.h"
#include "data/AppState.h"
#include "data/TDM1.h"
#include "results/Race.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pistel {

RankingView::RankingView(RunControl& control, QWidget* parent)
    : QDialog(parent), control_(control) {
    setWindowTitle(QStringLiteral("順位"));
    auto* v = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    classChoice = new QComboBox(this);
    rankingChoice = new QComboBox(this);
    rankingChoice->addItems({QStringLiteral("１本目の順位"), QStringLiteral("最終順位（合計）")});
    auto* again = new QPushButton(QStringLiteral("再表示"), this);
    top->addWidget(classChoice, 1);
    top->addWidget(rankingChoice, 1);
    top->addWidget(again);
    v->addLayout(top);
    table = new QTableWidget(this);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    v->addWidget(table, 1);
    resize(760, 600);

    Race race;
    readRace(control_.dm.Db1, control_.app.competitionCode, race);
    for (int cls : race.classes())
        classChoice->addItem(race.className(cls), cls);
    const int shown = classChoice->findData(control_.resultsGridClass);
    if (shown >= 0)
        classChoice->setCurrentIndex(shown);
    rankingChoice->setCurrentIndex(control_.isRun1() ? 0 : 1);
    connect(classChoice, &QComboBox::currentIndexChanged, this, &RankingView::refresh);
    connect(rankingChoice, &QComboBox::currentIndexChanged, this, &RankingView::refresh);
    connect(again, &QPushButton::clicked, this, &RankingView::refresh);
    connect(&control_, &RunControl::statusesChanged, this, &RankingView::refresh);
    refresh();
}

void RankingView::refresh() {
    if (classChoice->currentIndex() < 0)
        return;
    Race race;
    readRace(control_.dm.Db1, control_.app.competitionCode, race);
    showDocument(table, buildDocument(race,
                                      rankingChoice->currentIndex() == 0 ? DocumentKind::Results1
                                                                         : DocumentKind::Results,
                                      classChoice->currentData().toInt()));
}

} // namespace pistel
