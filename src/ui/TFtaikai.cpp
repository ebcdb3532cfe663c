#include "TFtaikai.h"

#include "BackupWindow.h"
#include "DocumentDialog.h"
#include "HistoryView.h"
#include "MessageBoxDialog.h"
#include "RankingView.h"
#include "RunPageWidget.h"
#include "RunSettingsPage.h"
#include "TCuteButton.h"
#include "capture/DataHealth.h"
#include "capture/ImpulseJournal.h"
#include "comm/TimerHealth.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pistel {

const char* const kCloseWhileTiming =
    "計測中です。ウィンドウを閉じるとタイマーの受信が止まります。閉じてもよろしいですか？";

TFtaikai::TFtaikai(AppState& app, TDM1& dm, OperatorDialog& dialog, ImpulseJournal* journal,
                   TCustomCommX::PortResolver resolver, QWidget* parent)
    : QDialog(parent), stationThread(app, dm, dialog, journal, std::move(resolver)),
      station(stationThread.station()), app_(app),
      dialog_(dialog), context_{station, view, dm, app, dialog} {
    setWindowTitle(QStringLiteral("大会実行"));
    resize(1020, 730);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(218, 241, 254));
    setPalette(p);
    setAutoFillBackground(true);
    connect(&view, &StationView::timerHealthChanged, this, &TFtaikai::showTimerHealth);
    connect(&view, &StationView::dataHealthChanged, this, &TFtaikai::showDataHealth);
    for (auto changed :
         {&StationView::timerHealthChanged, &StationView::portsChanged, &StationView::marksChanged})
        connect(&view, changed, this, &TFtaikai::keepStationState);
    // A command the station could not carry out is told once, calmly when the connection
    // was lost; the timer's lines keep being received meanwhile.
    connect(&station, &TimingStation::commandFailed, this,
            [this](const QString& m, bool lost, bool maybeDone) {
                dialog_.showMessage(errorForOperator(m, lost, maybeDone));
            });

    TabSheet1 = new RunPageWidget(station, view, station.control.page1);
    TabSheet3 = new RunPageWidget(station, view, station.control.page2);
    TabSheet2 = new RunSettingsPage(station, view, app_);
    // The classes whose race the live results page can show.
    connect(&station, &TimingStation::classNamesRead, TabSheet2->cbclass,
            [box = TabSheet2->cbclass](const QStringList& names) { box->addItems(names); });
    TabSheet4 = firstPage();

    showTimerHealth();
    showDataHealth();
    tabs = new QTabWidget;
    tabs->addTab(TabSheet1, QStringLiteral("１本目処理"));
    tabs->addTab(TabSheet3, QStringLiteral("２本目処理"));
    tabs->addTab(TabSheet2, QStringLiteral("設定"));
    tabs->tabBar()->setMinimumWidth(360);
    pages = new QStackedWidget(this);
    pages->addWidget(TabSheet4);
    pages->addWidget(tabs);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The menus sit beside the tabs, so the pages keep their height.
    buildMenus();
    tabs->setCornerWidget(menus, Qt::TopRightCorner);
    layout->addWidget(pages);
    // Showing a run page selects its run; the settings page leaves the run as it is.
    connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index <= 1) // the settings page leaves the run as it is
            station.post([s = &station, index] { s->selectRun(index + 1); });
    });
}

void TFtaikai::keepStationState() {
    const AppState& s = view.app();
    app_.currentRun = s.currentRun;
    app_.timerPortNo = s.timerPortNo;
    app_.boardPortNo = s.boardPortNo;
    app_.timerPortOpen = s.timerPortOpen;
}

TFtaikai::~TFtaikai() = default;

void TFtaikai::buildMenus() {
    menus = new QMenuBar(this);
    QMenu* output = menus->addMenu(QStringLiteral("出力/印刷(&P)"));
    documentsAction = output->addAction(QStringLiteral("スタートリスト・成績の保存と印刷…"), this,
                                        [this] { openDocuments(); });
    documentsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    QMenu* show = menus->addMenu(QStringLiteral("表示(&V)"));
    rankingAction = show->addAction(QStringLiteral("順位…"), this, [this] { openRanking(); });
    rankingAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    historyAction = show->addAction(QStringLiteral("変更履歴…"), this, [this] { openHistory(); });
    historyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    QMenu* status = menus->addMenu(QStringLiteral("状態(&S)"));
    for (int run = 1; run <= 2; ++run)
        endRunAction[run - 1] = status->addAction(
            QStringLiteral("%1本目の終了（欠場・途中棄権の確認）…").arg(run), this, [this, run] {
                station.post([s = &station, run] { s->control.statusControl.offerEndOfRun(run); });
            });
    QMenu* backup = menus->addMenu(QStringLiteral("予備計時(&B)"));
    backupAction = backup->addAction(QStringLiteral("手動計時・システムB・代替時刻…"), this,
                                     [this] { openBackup(); });
    connect(&station.control, &RunControl::timeForStatus, this, &TFtaikai::askAboutStatus);
}

namespace {
// One window of each kind beside the run window, shown again when asked for again.
template <typename Window>
Window* showOnce(QPointer<Window>& window, const RunWindowContext& context, QWidget* parent) {
    if (!window) {
        window = new Window(context, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    return window;
}
} // namespace

BackupWindow* TFtaikai::openBackup() {
    return showOnce(backup_, context_, this);
}

RankingView* TFtaikai::openRanking() {
    return showOnce(ranking_, context_, this);
}

HistoryView* TFtaikai::openHistory() {
    return showOnce(history_, context_, this);
}

DocumentDialog* TFtaikai::openDocuments() {
    auto* documents = new DocumentDialog(context_, this);
    documents->setAttribute(Qt::WA_DeleteOnClose);
    documents->open();
    return documents;
}

void TFtaikai::askAboutStatus(const QString& bib, int run, const QString& code) {
    // Not a modal question: the timer's lines keep being captured meanwhile.
    auto* box =
        new QMessageBox(QMessageBox::Question, QStringLiteral("確認"),
                        QString::fromUtf8(kTimeForStatus).arg(bib, QString::number(run), code),
                        QMessageBox::Yes | QMessageBox::No, this);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, bib, run, code](int answer) {
        if (answer != QMessageBox::Yes)
            return;
        // Cleared only if it is still the status asked about, as the station has it now.
        station.post([s = &station, bib, run, code] {
            if (s->control.statuses(run).value(bib).code == code)
                s->control.statusControl.setStatus(bib, run, {});
        });
    });
    box->open();
}

QWidget* TFtaikai::firstPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* target = new QGroupBox(QStringLiteral("アップロード先"), page);
    RGweb = RunSettingsPage::targetSelector(target, station);
    v->addWidget(target);
    CkBweb = new QCheckBox(QStringLiteral("Web にリアルタイムでアップロードする"), page);
    connect(CkBweb, &QCheckBox::clicked, this, [this](bool on) {
        station.post([s = &station, on] { s->web.setRealTimeUpload(on); });
    });
    v->addWidget(CkBweb);
    CuteButton3 = new TCuteButton(QStringLiteral("確認"), page);
    CuteButton3->setFixedSize(150, 35);
    CuteButton3->OnClick = [this] { CuteButton3Click(); };
    v->addWidget(CuteButton3, 0, Qt::AlignHCenter);
    v->addStretch();
    connect(&view, &StationView::webChanged, this, &TFtaikai::showWeb);
    return page;
}

void TFtaikai::showWeb() {
    const WebChoices& web = view.web();
    RGweb->button(web.uploadTarget)->setChecked(true);
    CkBweb->setVisible(web.uploadTarget != 0);
    CkBweb->setChecked(web.realTime == 1);
}

void TFtaikai::showStatus(QLabel* RunPageWidget::*label, const QString& text, bool alarm) {
    // Called for every timer line: a label is touched only when what it shows changes.
    const QString style = alarm ? QStringLiteral("color: white; background: #c00000;")
                                : QStringLiteral("color: #004000;");
    for (RunPageWidget* page : {TabSheet1, TabSheet3}) {
        if (!page)
            continue;
        QLabel* l = page->*label;
        if (l->text() != text)
            l->setText(text);
        if (l->styleSheet() != style)
            l->setStyleSheet(style);
    }
}

void TFtaikai::showDataHealth() {
    const DataHealthText status = describeDataHealth(view.dataHealth());
    showStatus(&RunPageWidget::dataStatus, status.text, status.alarm);
}

void TFtaikai::showTimerHealth() {
    const TimerHealthText status =
        describeTimerHealth(view.timerHealth(), QDateTime::currentDateTime());
    showStatus(&RunPageWidget::timerStatus, status.text, status.alarm);
}

void TFtaikai::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!shown_) {
        shown_ = true;
        station.post([s = &station] {
            s->start();
            s->readClassNames();
        });
    }
}

void TFtaikai::closeEvent(QCloseEvent* e) {
    // The close button ends in done() as well, which asks first.
    e->ignore();
    done(QDialog::Rejected);
}

void TFtaikai::done(int result) {
    // Closing stops reception: during a race the operator confirms it first (Esc too).
    if (timing() && !dialog_.askYesNo(QString::fromUtf8(kCloseWhileTiming), QStringLiteral("確認")))
        return;
    // Esc (reject) hides a dialog without a close event: the ports close here too, so a
    // hidden window never keeps the timer port.
    station.post([s = &station] { s->stop(); });
    QDialog::done(result);
}

void TFtaikai::CuteButton3Click() {
    const QSignalBlocker block(tabs); // the settings page comes first; no run is selected
    pages->setCurrentWidget(tabs);
    tabs->setCurrentWidget(TabSheet2);
}

bool TFtaikai::tabsShown() const {
    return pages->currentWidget() == tabs;
}

void TFtaikai::showPage(int index) {
    tabs->setCurrentIndex(index);
}

} // namespace pistel
