#include "TFtaikai.h"

#include "BackupWindow.h"
#include "DocumentDialog.h"
#include "HistoryView.h"
#include "RankingView.h"
#include "RunPageWidget.h"
#include "TCuteButton.h"
#include "capture/DataHealth.h"
#include "capture/ImpulseJournal.h"
#include "comm/TimerHealth.h"
#include "data/AppState.h"
#include "data/DbError.h"
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
    : QDialog(parent), CommX1(resolver), CommBoard(resolver), control(app, dm, &dialog),
      receiver(app, dm, timerBytes, journal), CommB(resolver),
      backupJournal(journal ? std::make_unique<ImpulseJournal>(ImpulseJournal::defaultFolder() +
                                                               QStringLiteral("/system-b"))
                            : nullptr),
      backupReceiver(app, dm, backupBytes, backupJournal.get()),
      ports(CommX1, CommBoard, app.timerPortNo, app.boardPortNo, app.timerPortOpen),
      web(app, dm, dialog, webClient), liveSync(app, dm, web, webClient), app_(app),
      dialog_(dialog) {
    web.baseUrl = app.webBaseUrl;
    webClient.key = app.webKey;
    setWindowTitle(QStringLiteral("大会実行"));
    resize(1020, 730);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(218, 241, 254));
    setPalette(p);
    setAutoFillBackground(true);

    // The operator's line settings go on each port as it opens.
    ports.prepareTimer = [this](TCustomCommX& port) { applyLine(port, app_.timerLine); };
    ports.prepareBoard = [this](TCustomCommX& port) { applyLine(port, app_.boardLine); };
    CommX1.OnReceive = [this](TCustomCommX*, int n) {
        // A line the server refuses is shown in the status line, not in a box per line; it
        // is kept in the journal and the pending file.
        try {
            receiver.CommX1Receive(n);
            return;
        } catch (const DbError& e) {
            lineError_ = e.message();
        } catch (const std::exception& e) {
            lineError_ = QString::fromStdString(e.what());
        }
        showDataHealth();
    };
    // What the timer sent while no window listened is read, journaled and logged (never
    // assigned), not thrown away.
    CommX1.purgeReceiveOnOpen = false;
    backupReceiver.setImpulseLog(kSecondTimerLog);
    backupReceiver.setKeeper(&keeper);
    CommB.purgeReceiveOnOpen = false;
    CommB.OnReceive = [this](TCustomCommX*, int n) {
        try {
            backupReceiver.CommX1Receive(n);
            return;
        } catch (const DbError& e) {
            lineError_ = QStringLiteral("予備計時: ") + e.message();
        } catch (const std::exception& e) {
            lineError_ = QStringLiteral("予備計時: ") + QString::fromStdString(e.what());
        }
        showDataHealth();
    };
    // A timer device that goes away (an adapter pulled out) is shown in red on the run
    // pages and opened again as soon as it is back; lines then resume by themselves.
    CommX1.OnLost = [this](TCustomCommX*, const QString&) {
        app_.timerPortOpen = false;
        timerLost_ = true;
        receiver.startFreshLine();
        reopenTimer_.start();
        showTimerHealth();
    };
    reopenTimer_.setInterval(kReopenIntervalMs);
    connect(&reopenTimer_, &QTimer::timeout, this, [this] {
        if (ports.reopenTimer()) {
            timerLost_ = false;
            reopenTimer_.stop();
            showTimerHealth();
        }
    });
    connect(&ports, &PortSettings::timerOpened, this,
            [this] { receiver.startFreshLine(CommX1.InQueCount()); });
    connect(&ports, &PortSettings::timerOpened, this, &TFtaikai::showTimerHealth);
    // The live results follow the race while real-time upload is on.
    liveSync.databaseUp = [this] { return !keeper.isDown(); };
    connect(&receiver, &ReceiveHandler::lineHandled, &liveSync, &LiveSync::changed);
    connect(&control, &RunControl::statusesChanged, &liveSync, &LiveSync::changed);
    connect(&control, &RunControl::unassignedChanged, &liveSync, &LiveSync::changed);
    connect(&receiver, &ReceiveHandler::lineHandled, this, [this] {
        lastLine_ = QDateTime::currentDateTime();
        ++linesReceived_;
        showTimerHealth();
    });
    healthClock_.setInterval(1000);
    connect(&healthClock_, &QTimer::timeout, this, [this] {
        // A statement anywhere (a correction, a web command) may have found the connection
        // lost; the keeper brings it back.
        if (!keeper.isDown() && control.dm.Db1.wasOpened() && !control.dm.Db1.isOpen())
            keeper.connectionLost();
        // Lines a full disk kept out of the journal go in once it takes writes again.
        receiver.retryJournal();
        backupReceiver.retryJournal();
        followOutsideChanges();
        showTimerHealth();
    });
    healthClock_.start();
    receiver.setRunControl(&control);
    // The database and the journal report through the status line, never a box per line.
    receiver.setKeeper(&keeper);
    keeper.afterReconnect = [this] {
        // The lists as the server has them first, then the waiting lines through the
        // capture in their order, as if it had been up.
        if (!app_.currentRun.isEmpty())
            control.rereadCurrentPage();
        receiver.flushPending();
        receiver.recoverPending();
        backupReceiver.flushPending();
        backupReceiver.recoverPending();
        lineError_.clear();
    };
    connect(&control, &RunControl::impulsesDeleted, &receiver, &ReceiveHandler::dropPending);
    connect(&control, &RunControl::unassignedChanged, this, [this] {
        // An error of the capture is seen to once every impulse it left is dealt with.
        if (control.unassigned().isEmpty())
            receiver.acknowledgeCaptureError();
        showDataHealth();
    });
    connect(&keeper, &ConnectionKeeper::stateChanged, this, &TFtaikai::showDataHealth);
    connect(&receiver, &ReceiveHandler::statusChanged, this, &TFtaikai::showDataHealth);
    ports.showMessage = [this](const QString& m) { dialog_.showMessage(m); };

    TabSheet1 = new RunPageWidget(control, control.page1);
    TabSheet3 = new RunPageWidget(control, control.page2);
    TabSheet2 = settingsPage();
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
        if (index == 0)
            control.selectRun1();
        else if (index == 1)
            control.selectRun2();
        else
            return;
        // What the lists were read from is what later changes are measured against.
        outsideChanges_.forget();
        followOutsideChanges();
    });
}

TFtaikai::~TFtaikai() = default;

void TFtaikai::buildMenus() {
    menus = new QMenuBar(this);
    QMenu* output = menus->addMenu(QStringLiteral("出力/印刷(&P)"));
    documentsAction = output->addAction(QStringLiteral("スタートリスト・成績の保存と印刷…"), this,
                                        [this] { openDocuments(); });
    documentsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    QMenu* view = menus->addMenu(QStringLiteral("表示(&V)"));
    rankingAction = view->addAction(QStringLiteral("順位…"), this, [this] { openRanking(); });
    rankingAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    historyAction = view->addAction(QStringLiteral("変更履歴…"), this, [this] { openHistory(); });
    historyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    QMenu* status = menus->addMenu(QStringLiteral("状態(&S)"));
    for (int run = 1; run <= 2; ++run)
        endRunAction[run - 1] =
            status->addAction(QStringLiteral("%1本目の終了（欠場・途中棄権の確認）…").arg(run),
                              this, [this, run] { control.offerEndOfRun(run); });
    QMenu* backup = menus->addMenu(QStringLiteral("予備計時(&B)"));
    backupAction = backup->addAction(QStringLiteral("手動計時・システムB・代替時刻…"), this,
                                     [this] { openBackup(); });
    connect(&control, &RunControl::timeForStatus, this, &TFtaikai::askAboutStatus);
}

namespace {
// One window of each kind beside the run window, shown again when asked for again.
template <typename Window>
Window* showOnce(QPointer<Window>& window, RunControl& control, QWidget* parent) {
    if (!window) {
        window = new Window(control, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    return window;
}
} // namespace

BackupWindow* TFtaikai::openBackup() {
    return showOnce(backup_, control, this);
}

RankingView* TFtaikai::openRanking() {
    return showOnce(ranking_, control, this);
}

HistoryView* TFtaikai::openHistory() {
    return showOnce(history_, control, this);
}

DocumentDialog* TFtaikai::openDocuments() {
    auto* documents = new DocumentDialog(control, this);
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
        if (answer == QMessageBox::Yes && control.statuses(run).value(bib).code == code)
            control.setStatus(bib, run, {});
    });
    box->open();
}

QWidget* TFtaikai::firstPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* target = new QGroupBox(QStringLiteral("アップロード先"), page);
    RGweb = targetSelector(target);
    v->addWidget(target);
    CkBweb = new QCheckBox(QStringLiteral("Web にリアルタイムでアップロードする"), page);
    connect(CkBweb, &QCheckBox::clicked, this, [this](bool on) { web.setRealTimeUpload(on); });
    v->addWidget(CkBweb);
    CuteButton3 = new TCuteButton(QStringLiteral("確認"), page);
    CuteButton3->setFixedSize(150, 35);
    CuteButton3->OnClick = [this] { CuteButton3Click(); };
    v->addWidget(CuteButton3, 0, Qt::AlignHCenter);
    v->addStretch();
    return page;
}

void TFtaikai::applyLine(TCustomCommX& port, const SerialLine& line) {
    port.setBitRate(line.baud);
    port.setCharSize(line.dataBits);
    port.setParityBit(static_cast<TCommParityBits>(line.parity));
    port.setStopBit(static_cast<TCommStopBits>(line.stopBits));
}

void TFtaikai::recoverPendingLines() {
    // Lines a previous run kept waiting for the database go to pulsedata before new ones.
    try {
        receiver.recoverPending();
        backupReceiver.recoverPending();
    } catch (const DbError& e) {
        if (!e.connectionLost())
            throw;
        keeper.connectionLost(); // written when it is back
    }
}

void TFtaikai::followOutsideChanges() {
    if (keeper.isDown() || !control.dm.Db1.isOpen() || app_.competitionCode.isEmpty())
        return;
    try {
        if (outsideChanges_.changedSinceLastLook(control.dm.Db1, app_.competitionCode))
            control.followOutsideChanges();
    } catch (const DbError& e) {
        // Shown once in the status line; the keeper takes over a lost connection.
        if (e.connectionLost())
            keeper.connectionLost();
        else
            lineError_ = e.message();
        showDataHealth();
    }
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
    DataHealth health;
    health.databaseDown = keeper.isDown();
    health.downSince = keeper.downSince();
    health.waiting = receiver.pendingCount();
    health.setAside = receiver.setAsideCount();
    health.journalProblem = receiver.journalProblem();
    health.lineError = lineError_;
    health.captureError = receiver.captureError();
    health.unassigned = static_cast<int>(control.unassigned().size());
    health.missingStarts = control.missingStarts();
    health.recovered = receiver.recoveredCount() + backupReceiver.recoveredCount();
    const DataHealthText status = describeDataHealth(health);
    showStatus(&RunPageWidget::dataStatus, status.text, status.alarm);
}

void TFtaikai::showTimerHealth() {
    const TimerHealthText status = describeTimerHealth(
        {app_.timerPortNo, CommX1.isOpen() && app_.timerPortOpen, timerLost_, lastLine_},
        QDateTime::currentDateTime());
    showStatus(&RunPageWidget::timerStatus, status.text, status.alarm);
}

namespace {
const int kBauds[] = {1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
} // namespace

LineChoices TFtaikai::lineChoices(QWidget* parent, SerialLine& line,
                                  std::function<void()> changed) {
    LineChoices c;
    c.baud = new QComboBox(parent);
    for (int b : kBauds)
        c.baud->addItem(QString::number(b), b);
    c.dataBits = new QComboBox(parent);
    c.dataBits->addItem(QStringLiteral("8ビット"), 8);
    c.dataBits->addItem(QStringLiteral("7ビット"), 7);
    c.parity = new QComboBox(parent);
    c.parity->addItems({QStringLiteral("パリティなし"), QStringLiteral("奇数パリティ"),
                        QStringLiteral("偶数パリティ")});
    c.stopBits = new QComboBox(parent);
    c.stopBits->addItems(
        {QStringLiteral("ストップ1"), QStringLiteral("ストップ1.5"), QStringLiteral("ストップ2")});
    c.baud->setCurrentIndex(std::max(0, c.baud->findData(line.baud)));
    c.dataBits->setCurrentIndex(std::max(0, c.dataBits->findData(line.dataBits)));
    c.parity->setCurrentIndex(line.parity);
    c.stopBits->setCurrentIndex(line.stopBits);
    auto pick = [&line, c, changed] {
        line = {c.baud->currentData().toInt(), c.dataBits->currentData().toInt(),
                c.parity->currentIndex(), c.stopBits->currentIndex()};
        changed();
    };
    for (QComboBox* box : {c.baud, c.dataBits, c.parity, c.stopBits})
        connect(box, &QComboBox::activated, this, pick);
    return c;
}

QWidget* TFtaikai::settingsPage() {
    auto* page = new QWidget;
    auto* g = new QGridLayout(page);
    Cbxcomm1 = new QComboBox(page);
    Cbxcomm1->setEditable(true);
    Cbxcomm1->setInsertPolicy(QComboBox::NoInsert); // typed ports are not added to the list
    Cbxcomm2 = new QComboBox(page);
    Cbxcomm2->setEditable(true);
    Cbxcomm2->setInsertPolicy(QComboBox::NoInsert);
    // The line settings of each port, under it: a new choice reopens an open port with it.
    timerLineChoices = lineChoices(page, app_.timerLine, [this] {
        if (app_.timerPortNo > 0)
            ports.openport1(app_.timerPortNo);
    });
    boardLineChoices = lineChoices(page, app_.boardLine, [this] {
        if (app_.boardPortNo > 0)
            ports.openport2(app_.boardPortNo);
    });
    int row = 0;
    for (auto [caption, box, choices] :
         {std::tuple{"データ取込ポート", Cbxcomm1, timerLineChoices},
          std::tuple{"表示ボード用ポート", Cbxcomm2, boardLineChoices}}) {
        g->addWidget(new QLabel(QString::fromUtf8(caption)), row, 0);
        g->addWidget(box, row++, 1);
        auto* line = new QHBoxLayout;
        for (QComboBox* c : {choices.baud, choices.dataBits, choices.parity, choices.stopBits})
            line->addWidget(c);
        g->addLayout(line, row++, 0, 1, 2);
    }
    CuteButton122 = new TCuteButton(QStringLiteral("ポートの更新"), page);
    CuteButton122->setFixedSize(120, 30);
    CuteButton122->OnClick = [this] { ports.CuteButton122Click(); };
    g->addWidget(CuteButton122, 4, 1);
    g->addWidget(new QLabel(QStringLiteral("入力データ")), 5, 0);
    Memo1 = new QPlainTextEdit(page);
    Memo1->setReadOnly(true);
    g->addWidget(Memo1, 6, 0, 1, 2);
    g->setRowStretch(6, 1);
    connect(&receiver, &ReceiveHandler::traceChanged, Memo1, &QPlainTextEdit::setPlainText);

    auto* boardBox = new QGroupBox(QStringLiteral("表示ボード"), page);
    auto* bv = new QGridLayout(boardBox);
    bv->setVerticalSpacing(2);
    auto button = [&](const char* caption, int c, void (BoardTests::*click)()) {
        auto* b = new TCuteButton(QString::fromUtf8(caption), boardBox);
        b->setFixedSize(100, 28);
        b->OnClick = [this, click] { (board.*click)(); };
        bv->addWidget(b, 0, c);
        return b;
    };
    CuteButton28 = button("All Null", 0, &BoardTests::CuteButton28Click);
    CuteButton29 = button("All 8", 1, &BoardTests::CuteButton29Click);
    CuteButton58 = button("1 to 0", 2, &BoardTests::CuteButton58Click);
    CuteButton61 = button("All 1 to 0", 3, &BoardTests::CuteButton61Click);
    // The board's own choices: shown with their defaults; no test line depends on them.
    auto choice = [&](const char* caption, std::initializer_list<const char*> items, int chosen,
                      int r) {
        bv->addWidget(new QLabel(QString::fromUtf8(caption), boardBox), r, 0);
        auto* h = new QHBoxLayout;
        auto* group = new QButtonGroup(boardBox);
        int id = 0;
        for (const char* item : items) {
            auto* b = new QRadioButton(QString::fromUtf8(item), boardBox);
            group->addButton(b, id);
            b->setChecked(id++ == chosen);
            h->addWidget(b);
        }
        h->addStretch();
        bv->addLayout(h, r, 1, 1, 3);
        return group;
    };
    RGdpmcrank = choice("Rank表示機", {"VORN", "SEIKO"}, 1, 1);
    RGNow = choice("Now表示枚数", {"１枚", "２枚", "３枚"}, 1, 2);
    RGdpclas = choice("ﾗﾝｸ表示", {"クラス分け", "一括"}, 0, 3);
    CKBrank = new QCheckBox(QStringLiteral("Rank 表示"), boardBox);
    bv->addWidget(CKBrank, 4, 1, 1, 3);
    g->addWidget(boardBox, 0, 2, 5, 1);

    g->addWidget(webGroup(), 5, 2, 2, 1);
    g->addWidget(backupPortGroup(), 4, 0);

    connect(&ports, &PortSettings::listsChanged, this, &TFtaikai::showPorts);
    connect(&ports, &PortSettings::cbxcomm1Changed, this, &TFtaikai::showPorts);
    connect(&ports, &PortSettings::cbxcomm2Changed, this, &TFtaikai::showPorts);
    connect(Cbxcomm1, &QComboBox::activated, this,
            [this](int index) { ports.setCbxcomm1(index, Cbxcomm1->itemText(index)); });
    // A port typed in (a COM number that is not listed yet) counts once typing is done.
    connect(Cbxcomm1->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const QString typed = Cbxcomm1->currentText().trimmed().toUpper();
        if (typed == ports.cbxcomm1Text())
            return;
        ports.setCbxcomm1(static_cast<int>(ports.items().indexOf(typed)), typed);
    });
    connect(Cbxcomm2, &QComboBox::activated, this,
            [this](int index) { ports.setCbxcomm2(index, Cbxcomm2->itemText(index)); });
    return page;
}

QWidget* TFtaikai::backupPortGroup() {
    // One row beside the port list's update button; its line settings are those of the
    // settings file (Baud3, DataBits3, Parity3, StopBits3).
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(new QLabel(QStringLiteral("予備計時ポート"), row));
    Cbxcomm3 = new QComboBox(row);
    Cbxcomm3->setEditable(true);
    Cbxcomm3->setInsertPolicy(QComboBox::NoInsert);
    Cbxcomm3->addItem(QStringLiteral("なし"));
    Cbxcomm3->addItems(ports.items());
    if (app_.backupPortNo > 0)
        Cbxcomm3->setEditText(QStringLiteral("COM%1").arg(app_.backupPortNo));
    h->addWidget(Cbxcomm3, 1);
    auto choose = [this] {
        const QString chosen = Cbxcomm3->currentText().trimmed().toUpper();
        app_.backupPortNo = chosen.startsWith(u"COM") ? chosen.mid(3).toInt() : 0;
        openBackupPort();
    };
    connect(Cbxcomm3->lineEdit(), &QLineEdit::editingFinished, this, choose);
    connect(Cbxcomm3, &QComboBox::activated, this, choose);
    return row;
}

bool TFtaikai::openBackupPort() {
    CommB.Close();
    if (app_.backupPortNo <= 0)
        return false;
    CommB.setPortNo(app_.backupPortNo);
    applyLine(CommB, app_.backupLine);
    try {
        CommB.Open();
    } catch (const ECommError& e) {
        dialog_.showMessage(
            QStringLiteral("予備計時のポート COM%1 を開けません。\n").arg(app_.backupPortNo) +
            e.message());
        return false;
    }
    backupReceiver.startFreshLine(CommB.InQueCount());
    return true;
}

QButtonGroup* TFtaikai::targetSelector(QWidget* box) {
    auto* v = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    const char* items[] = {"アップしない", "Web"};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(items[i]), box);
        group->addButton(b, i);
        v->addWidget(b);
    }
    group->button(web.uploadTarget)->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { web.chooseUploadTarget(id); });
    return group;
}

QWidget* TFtaikai::webGroup() {
    auto* box = new QGroupBox(QStringLiteral("Web 速報"));
    auto* g = new QGridLayout(box);
    auto* target = new QGroupBox(QStringLiteral("アップロード先"), box);
    RGweb2 = targetSelector(target);
    g->addWidget(target, 0, 0, 2, 1);
    CkBweb2 = new QCheckBox(QStringLiteral("Web にリアルタイムでアップロードする"), box);
    connect(CkBweb2, &QCheckBox::clicked, this, [this](bool on) { web.setRealTimeUpload(on); });
    g->addWidget(CkBweb2, 0, 1, 1, 2);
    webBase = new QLineEdit(web.baseUrl, box);
    connect(webBase, &QLineEdit::textEdited, this, [this](const QString& url) {
        web.baseUrl = url;
        app_.webBaseUrl = url; // kept in the settings file
    });
    g->addWidget(webBase, 1, 1);
    webKey = new QLineEdit(app_.webKey, box);
    webKey->setPlaceholderText(QStringLiteral("書き込みの鍵"));
    webKey->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    connect(webKey, &QLineEdit::textEdited, this, [this](const QString& key) {
        webClient.key = key;
        app_.webKey = key; // kept in the settings file
    });
    g->addWidget(webKey, 1, 2);
    g->addWidget(new QLabel(QStringLiteral("速報画面へのメッセージ表示"), box), 2, 0);
    Memo10 = new QPlainTextEdit(box);
    Memo10->setMaximumHeight(60);
    connect(Memo10, &QPlainTextEdit::textChanged, this,
            [this] { web.memo10 = Memo10->toPlainText(); });
    g->addWidget(Memo10, 3, 0, 1, 3);
    auto button = [&](const char* caption, int r, int c, void (WebCommands::*click)()) {
        auto* b = new TCuteButton(QString::fromUtf8(caption), box);
        b->setMinimumSize(
            std::max(150, b->fontMetrics().horizontalAdvance(QString::fromUtf8(caption)) + 20), 26);
        b->OnClick = [this, click] { (web.*click)(); };
        g->addWidget(b, r, c);
        return b;
    };
    CuteButton86 = button("上記メッセージを送信", 4, 0, &WebCommands::sendMessage);
    CuteButton87 = button("Webに表示中のメッセージを消去", 4, 1, &WebCommands::eraseMessage);
    Edit37 = new QLineEdit(web.edit37, box);
    Edit37->setMaximumWidth(60);
    connect(Edit37, &QLineEdit::textEdited, this, [this](const QString& t) { web.edit37 = t; });
    g->addWidget(Edit37, 5, 0);
    g->addWidget(new QLabel(QStringLiteral("番の"), box), 5, 1);
    CuteButton88 = button("速報データをアップする", 6, 0, &WebCommands::uploadCompetitor);
    CuteButton97 = button("速報データを削除する", 6, 1, &WebCommands::clearCompetitor);
    for (TCuteButton* b : {CuteButton88, CuteButton97}) { // the focus goes back to the bib
        auto command = b->OnClick;
        b->OnClick = [this, command] {
            command();
            Edit37->setFocus();
        };
    }
    CuteButton98 = button("総ての速報データをアップする", 7, 0, &WebCommands::uploadAllResults);
    CuteButton96 = button("Ｗｅｂ速報画面の初期化", 7, 1, &WebCommands::initialiseWebPage);
    cbclass = new QComboBox(box);
    connect(cbclass, &QComboBox::currentTextChanged, this,
            [this](const QString& name) { web.cbclass = name; });
    g->addWidget(cbclass, 8, 0);
    CuteButton103 =
        button("現在のレースをＷｅｂ速報画面に指定", 8, 1, &WebCommands::selectRaceOfClass);
    Web = new QTextBrowser(box);
    Web->setMinimumSize(300, 80);
    connect(&webClient, &WebClient::pageShown, Web, &QTextBrowser::setPlainText);
    connect(&liveSync, &LiveSync::healthChanged, Web, &QTextBrowser::setPlainText);
    g->addWidget(Web, 9, 0, 1, 3);
    connect(&web, &WebCommands::changed, this, &TFtaikai::showWeb);
    return box;
}

void TFtaikai::showWeb() {
    for (QButtonGroup* group : {RGweb, RGweb2})
        group->button(web.uploadTarget)->setChecked(true);
    CkBweb->setVisible(web.uploadTarget != 0);
    for (QCheckBox* box : {CkBweb, CkBweb2})
        box->setChecked(web.realTime == 1);
    if (Memo10->toPlainText() != web.memo10)
        Memo10->setPlainText(web.memo10);
}

void TFtaikai::showPorts() {
    for (auto [box, index, text] :
         {std::tuple{Cbxcomm1, ports.cbxcomm1Index(), ports.cbxcomm1Text()},
          std::tuple{Cbxcomm2, ports.cbxcomm2Index(), ports.cbxcomm2Text()}}) {
        const QSignalBlocker block(box);
        if (box->count() != ports.items().size() ||
            box->itemText(box->count() - 1) != ports.items().last()) {
            box->clear();
            box->addItems(ports.items());
        }
        box->setCurrentIndex(index);
        box->setEditText(text);
    }
}

void TFtaikai::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!shown_) {
        shown_ = true;
        recoverPendingLines();
        ports.windowShown();
        openBackupPort();
        showTimerHealth();
        // The classes whose race the live results page can show.
        Query& q = control.dm.Qtemp;
        q.setSql({QStringLiteral("select cname from cs_master order by ccode desc")});
        q.open();
        for (int r = 0; r < q.recordCount(); ++r)
            cbclass->addItem(q.text(r, 0));
        q.close();
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
    ports.windowClosed();
    CommB.Close();
    reopenTimer_.stop();
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
