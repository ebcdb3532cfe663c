#include "BackupWindow.h"

#include "Japanese.h"
#include "MessageBoxDialog.h"
#include "RunWindowContext.h"
#include "backup/ReplacementReport.h"
#include "capture/ReplacementTimes.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"
#include "results/DocumentPdf.h"
#include "results/Race.h"
#include "station/StationView.h"
#include "station/TimingStation.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

namespace pistel {

namespace {
QTableWidget* table(QWidget* parent, const QStringList& titles) {
    auto* t = new QTableWidget(0, static_cast<int>(titles.size()), parent);
    t->setHorizontalHeaderLabels(titles);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void fill(QTableWidget* t, const QList<QStringList>& rows) {
    t->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            t->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    t->resizeColumnsToContents();
}

} // namespace

BackupWindow::BackupWindow(const RunWindowContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setWindowTitle(QStringLiteral("予備計時"));
    writes_.drained = [this] { refresh(); };
    auto* g = new QGridLayout(this);
    auto* top = new QHBoxLayout;
    runChoice = new QComboBox(this);
    runChoice->addItems({QStringLiteral("１本目"), QStringLiteral("２本目")});
    runChoice->setCurrentIndex(context_.view.app().isRun1() ? 0 : 1);
    channelChoice = new QComboBox(this);
    channelChoice->addItems({QStringLiteral("スタート"), QStringLiteral("フィニッシュ")});
    tolerance = new QDoubleSpinBox(this);
    tolerance->setRange(0.01, 5);
    tolerance->setSingleStep(0.1);
    tolerance->setValue(0.5);
    tolerance->setSuffix(QStringLiteral(" 秒"));
    auto* importButton = new QPushButton(QStringLiteral("手動計時ファイルの取り込み…"), this);
    auto* reportButton = new QPushButton(QStringLiteral("報告書（PDF）…"), this);
    giveRun = new QPushButton(this);
    top->addWidget(runChoice);
    top->addWidget(channelChoice);
    top->addWidget(new QLabel(QStringLiteral("許容差"), this));
    top->addWidget(tolerance);
    top->addStretch(1);
    top->addWidget(giveRun);
    top->addWidget(importButton);
    top->addWidget(reportButton);
    g->addLayout(top, 0, 0, 1, 3);

    sheet = new QPlainTextEdit(this);
    sheet->setPlaceholderText(
        QStringLiteral("手動計時（1 行 1 時刻、例 10:01:02,34 または 12 10:01:02,34）"));
    auto* storeButton = new QPushButton(QStringLiteral("入力した時刻を保存"), this);
    g->addWidget(new QLabel(QStringLiteral("ストップウォッチ記録"), this), 1, 0);
    g->addWidget(sheet, 2, 0);
    g->addWidget(storeButton, 3, 0);
    matches = table(this, {QStringLiteral("手動計時"), QStringLiteral("ビブ"),
                           QStringLiteral("システムA"), QStringLiteral("差 (A−手動)"),
                           QStringLiteral("対応しない理由")});
    matchNote = new QLabel(this);
    matchNote->setWordWrap(true);
    matchNote->setStyleSheet(QStringLiteral("color: #a00000"));
    g->addWidget(new QLabel(QStringLiteral("選手との対応"), this), 1, 1);
    auto* matchColumn = new QVBoxLayout;
    matchColumn->addWidget(matchNote);
    matchColumn->addWidget(matches, 1);
    g->addLayout(matchColumn, 2, 1, 2, 1);
    proposals = table(this, {QStringLiteral("ビブ"), QStringLiteral("氏名"), QStringLiteral("予備"),
                             QStringLiteral("予備時刻"), QStringLiteral("補正"),
                             QStringLiteral("代替時刻"), QStringLiteral("走行タイム")});
    references = table(this, {QStringLiteral("基準ビブ"), QStringLiteral("システムA"),
                              QStringLiteral("予備時刻"), QStringLiteral("差")});
    auto* applyOne = new QPushButton(QStringLiteral("選択した代替時刻を適用"), this);
    auto* applyEvery = new QPushButton(QStringLiteral("すべて適用"), this);
    g->addWidget(new QLabel(QStringLiteral("代替時刻の提案"), this), 1, 2);
    g->addWidget(proposals, 2, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(applyOne);
    buttons->addWidget(applyEvery);
    g->addLayout(buttons, 3, 2);
    g->addWidget(references, 4, 2);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(2, 1);
    resize(1100, 640);

    connect(runChoice, &QComboBox::currentIndexChanged, this, &BackupWindow::refresh);
    // The run's data hold both channels; the tolerance only changes the matching.
    connect(channelChoice, &QComboBox::currentIndexChanged, this, &BackupWindow::showRun);
    connect(tolerance, &QDoubleSpinBox::valueChanged, this, &BackupWindow::showRun);
    connect(importButton, &QPushButton::clicked, this, &BackupWindow::importFile);
    connect(giveRun, &QPushButton::clicked, this, [this] {
        write([code = context_.app.competitionCode, run = run()](odbc::Connection& c) {
            giveSecondTimerLinesARun(c, code, run);
        });
    });
    connect(storeButton, &QPushButton::clicked, this, [this] { storeSheet(sheet->toPlainText()); });
    connect(reportButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, QStringLiteral("報告書"), documentsPath(QStringLiteral("代替時刻報告書.pdf")),
            QStringLiteral("PDF (*.pdf)"));
        if (!path.isEmpty())
            saveReport(path);
    });
    connect(proposals, &QTableWidget::currentCellChanged, this, &BackupWindow::showReferences);
    connect(applyOne, &QPushButton::clicked, this, &BackupWindow::applyChosen);
    connect(applyEvery, &QPushButton::clicked, this, &BackupWindow::applyAll);
    refresh();
}

int BackupWindow::run() const {
    return runChoice->currentIndex() + 1;
}

Channel BackupWindow::channel() const {
    return channelChoice->currentIndex() == 0 ? Channel::Start : Channel::Finish;
}

TimeUnits BackupWindow::toleranceUnits() const {
    return static_cast<TimeUnits>(tolerance->value() * 10000 + 0.5);
}

void BackupWindow::refresh() {
    if (reader_.busy()) {
        reader_.readAgainAfter([this] { refresh(); });
        return;
    }
    auto read = std::make_shared<std::pair<BackupRun, RaceInfo>>();
    reader_.read(
        context_.dm.Db1,
        [read, code = context_.app.competitionCode, run = run()](odbc::Connection& c) {
            read->first = BackupRun::read(c, code, run);
            readRaceInfo(c, code, read->second);
        },
        [this, read](const QString& error, bool lost) {
            if (!error.isEmpty()) {
                matchNote->setText(QStringLiteral("予備計時のデータを読めません。\n") +
                                   errorForOperator(error, lost));
                matchNote->setVisible(true);
                return;
            }
            data_ = std::move(read->first);
            info_ = std::move(read->second);
            showRun();
        });
}

void BackupWindow::showRun() {
    // A run chosen while another was read is shown once it is read.
    if (!data_ || data_->run() != run())
        return;
    QList<QStringList> rows;
    const MatchResult m = data_->match(channel(), data_->handTimes(channel()), toleranceUnits());
    for (const MatchRow& row : m.rows)
        rows << QStringList{
            timeOfDayText(row.hand.time), row.bib.isEmpty() ? QStringLiteral("－") : row.bib,
            row.a ? timeOfDayText(*row.a) : QString(),
            row.a ? secondsText(dayDifference(*row.a, row.hand.time), true) : QString(),
            row.unmatched};
    fill(matches, rows);
    // The second timer's lines are matched as the sheet is: either may be refused.
    QStringList refused;
    if (!m.refused.isEmpty())
        refused << QStringLiteral("手動計時: ") + m.refused;
    if (const QString b =
            data_->refusal(channel(), data_->secondTimer(channel()), toleranceUnits());
        !b.isEmpty())
        refused << QStringLiteral("システムB: ") + b;
    matchNote->setText(refused.join(QLatin1Char('\n')));
    const int withoutRun = data_->secondTimerLinesWithoutRun();
    giveRun->setText(
        QStringLiteral("本目の分からないシステムBの時刻 %1 件をこの本目にする").arg(withoutRun));
    giveRun->setVisible(withoutRun > 0);
    matchNote->setVisible(!refused.isEmpty());
    // What was applied is no longer a proposal; the report still lists it.
    proposals_ = data_->propose(channel(), toleranceUnits());
    std::erase_if(proposals_, [this](const Proposal& p) { return data_->alreadyReplaced(p); });
    rows.clear();
    for (const Proposal& p : proposals_)
        rows << QStringList{p.replacement.zek,
                            p.name,
                            p.source == u"B" ? QStringLiteral("システムB")
                                             : QStringLiteral("手動計時"),
                            timeOfDayText(p.replacement.backup),
                            correctionText(p.replacement.correction, true),
                            timeOfDayText(p.replacement.time),
                            p.runTime ? timeOfDayText(*p.runTime).mid(3, 8) : QString()};
    fill(proposals, rows);
    showReferences();
}

void BackupWindow::showReferences() {
    QList<QStringList> rows;
    const int chosen = proposals->currentRow();
    if (chosen >= 0 && chosen < static_cast<int>(proposals_.size()))
        for (const Reference& ref : proposals_[static_cast<size_t>(chosen)].replacement.references)
            rows << QStringList{ref.zek, timeOfDayText(ref.a), timeOfDayText(ref.backup),
                                secondsText(ref.difference(), true)};
    fill(references, rows);
}

bool BackupWindow::storeSheet(const QString& text) {
    std::vector<HandTime> times;
    QString error;
    if (!parseHandTimes(text, times, &error)) {
        context_.dialog.showMessage(error);
        return false;
    }
    write([code = context_.app.competitionCode, run = run(), channel = channel(),
           times](odbc::Connection& c) { storeHandTimes(c, code, run, channel, times); });
    return true;
}

void BackupWindow::importFile() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("手動計時ファイル"), documentsPath());
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        context_.dialog.showMessage(path + QStringLiteral(" を読めません: ") + file.errorString());
        return;
    }
    storeSheet(QString::fromUtf8(file.readAll()));
}

void BackupWindow::write(BackgroundReader::Work work, std::function<void()> written) {
    writes_.run(context_.dm.Db1, std::move(work),
                [this, written = std::move(written)](const QString& error, bool lost) {
                    if (!error.isEmpty()) // a write lost on its way may have been done
                        context_.dialog.showMessage(errorForOperator(error, lost, lost));
                    else if (written)
                        written();
                });
}

void BackupWindow::apply(std::vector<Proposal> chosen) {
    auto outcomes = std::make_shared<std::vector<ReplacementOutcome>>();
    const int runNo = run();
    write(
        [code = context_.app.competitionCode, runNo, chosen, outcomes](odbc::Connection& c) {
            for (const Proposal& p : chosen)
                outcomes->push_back(storeReplacementTime(c, code, p.replacement.zek, runNo,
                                                         p.channel == Channel::Start,
                                                         timeOfDayText(p.replacement.time)));
        },
        [this, runNo, chosen, outcomes] {
            // What was stored is said once for the whole command; the station's lists and
            // marks follow each time stored.
            QStringList said;
            for (size_t i = 0; i < chosen.size() && i < outcomes->size(); ++i) {
                const Proposal& p = chosen[i];
                const bool start = p.channel == Channel::Start;
                const ReplacementOutcome outcome = (*outcomes)[i];
                if (outcome == ReplacementOutcome::Stored)
                    context_.station.post(
                        [s = &context_.station, bib = p.replacement.zek, runNo, start] {
                            s->control.corrections.followReplacement(bib, runNo, start);
                        });
                const bool stored = outcome == ReplacementOutcome::Stored ||
                                    outcome == ReplacementOutcome::AlreadySo;
                said << QStringLiteral("ビブ %1　%2本目%3　%4: %5")
                            .arg(p.replacement.zek)
                            .arg(runNo)
                            .arg(start ? QStringLiteral("スタート")
                                       : QStringLiteral("フィニッシュ"),
                                 timeOfDayText(p.replacement.time),
                                 stored
                                     ? QStringLiteral("保存しました")
                                     : QStringLiteral("計時器の時刻があるため保存しませんでした"));
            }
            if (!said.isEmpty())
                context_.dialog.showMessage(said.join(QLatin1Char('\n')));
        });
}

int BackupWindow::applyChosen() {
    const int chosen = proposals->currentRow();
    if (chosen < 0 || chosen >= static_cast<int>(proposals_.size()))
        return 0;
    apply({proposals_[static_cast<size_t>(chosen)]});
    return 1;
}

int BackupWindow::applyAll() {
    apply(proposals_);
    return static_cast<int>(proposals_.size());
}

bool BackupWindow::saveReport(const QString& path) {
    QString error;
    if (!data_ || data_->run() != run())
        error =
            QStringLiteral("予備計時のデータをまだ読んでいます。読み終えてからもう一度どうぞ。");
    else if (writeDocumentPdf(replacementReport(*data_, info_, toleranceUnits()), path,
                              QDateTime::currentDateTime(), &error))
        return true;
    context_.dialog.showMessage(error);
    return false;
}

} // namespace pistel
