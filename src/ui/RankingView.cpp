#include "RankingView.h"

#include "DocumentTable.h"
#include "MessageBoxDialog.h"
#include "RunWindowContext.h"
#include "data/AppState.h"
#include "data/TDM1.h"
#include "data/odbc/OdbcConnection.h"
#include "results/Publication.h"
#include "results/Race.h"
#include "station/StationView.h"
#include "station/TimingStation.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>
#include <utility>

namespace pistel {

RankingView::RankingView(const RunWindowContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
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
    auto* bottom = new QHBoxLayout;
    officialState = new QLabel(this);
    officialState->setWordWrap(true);
    publishButton = new QPushButton(QStringLiteral("公式発表"), this);
    unpublishButton = new QPushButton(QStringLiteral("発表の取り消し"), this);
    connect(publishButton, &QPushButton::clicked, this, [this] { publish(); });
    connect(unpublishButton, &QPushButton::clicked, this, [this] { publish(true); });
    bottom->addWidget(officialState, 1);
    bottom->addWidget(publishButton);
    bottom->addWidget(unpublishButton);
    v->addLayout(bottom);
    resize(760, 600);

    rankingChoice->setCurrentIndex(context_.view.app().isRun1() ? 0 : 1);
    connect(classChoice, &QComboBox::currentIndexChanged, this, &RankingView::refresh);
    connect(rankingChoice, &QComboBox::currentIndexChanged, this, &RankingView::refresh);
    connect(again, &QPushButton::clicked, this, &RankingView::refresh);
    connect(&context_.view, &StationView::marksChanged, this, &RankingView::refresh);
    refresh(); // the classes come with the first read
}

void RankingView::showClasses(const Race& race) {
    const QSignalBlocker block(classChoice); // shown below, not read again
    for (int cls : race.classes())
        classChoice->addItem(race.className(cls), cls);
    const int shown = classChoice->findData(context_.view.marks().resultsGridClass);
    if (shown >= 0)
        classChoice->setCurrentIndex(shown);
}

void RankingView::refresh() {
    if (reader_.busy()) {
        reader_.readAgainAfter([this] { refresh(); });
        return;
    }
    // The reader keeps a connection of its own, opened like the window's: a server away now
    // is told by the read's failure, and the next change reads again.
    const odbc::Connection& db = context_.dm.Db1;
    if (!db.wasOpened()) {
        officialState->setText(
            QStringLiteral("データベースに接続できません。接続が戻ると表示します。"));
        return;
    }
    auto race = std::make_shared<Race>();
    reader_.read(
        db,
        [race, code = context_.app.competitionCode](odbc::Connection& c) {
            readRace(c, code, *race);
        },
        [this, race](const QString& error, bool lost) {
            if (!error.isEmpty()) {
                officialState->setText(QStringLiteral("順位を読めません。") +
                                       errorForOperator(error, lost));
                return;
            }
            if (classChoice->count() == 0)
                showClasses(*race);
            if (classChoice->currentIndex() >= 0)
                showRanking(*race);
        });
}

void RankingView::showRanking(const Race& race) {
    const Document doc = buildDocument(
        race, rankingChoice->currentIndex() == 0 ? DocumentKind::Results1 : DocumentKind::Results,
        classChoice->currentData().toInt());
    showDocument(table, doc);
    officialState->setText(
        doc.officialSince
            ? QStringLiteral("公式（発表 %1）")
                  .arg(doc.officialSince->toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            : QStringLiteral("非公式（公式発表の後に変わった成績も非公式に戻ります）"));
    unpublishButton->setEnabled(doc.officialSince.has_value());
}

void RankingView::publish(bool undo) {
    // Written off the window thread like the reads, after the read under way.
    if (reader_.busy()) {
        reader_.readAgainAfter([this, undo] { publish(undo); });
        return;
    }
    reader_.read(
        context_.dm.Db1,
        [code = context_.app.competitionCode,
         scope = rankingChoice->currentIndex() == 0 ? PublishScope::Run1 : PublishScope::Race,
         undo](odbc::Connection& c) { publishResults(c, code, scope, undo); },
        [this](const QString& error, bool lost) {
            if (!error.isEmpty()) {
                // A publication lost on its way may have been written: the next read says.
                officialState->setText(QStringLiteral("公式発表できません: ") +
                                       errorForOperator(error, lost, lost));
                return;
            }
            refresh();
            // The history shows the publication.
            context_.station.post([s = &context_.station] { s->control.historyChanged(); });
        });
}

} // namespace pistel
