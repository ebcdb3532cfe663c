#include "RunSettingsPage.h"

#include "TCuteButton.h"
#include "data/AppState.h"
#include "station/StationView.h"
#include "station/TimingStation.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pistel {

namespace {
const int kBauds[] = {1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
} // namespace

RunSettingsPage::RunSettingsPage(TimingStation& timing, const StationView& view, AppState& app,
                                 QWidget* parent)
    : QWidget(parent), station(timing), view_(view), app_(app) {
    auto* g = new QGridLayout(this);
    Cbxcomm1 = new QComboBox(this);
    Cbxcomm1->setEditable(true);
    Cbxcomm1->setInsertPolicy(QComboBox::NoInsert); // typed ports are not added to the list
    Cbxcomm2 = new QComboBox(this);
    Cbxcomm2->setEditable(true);
    Cbxcomm2->setInsertPolicy(QComboBox::NoInsert);
    // The line settings of each port, under it: a new choice reopens an open port with it.
    timerLineChoices = lineChoices(this, app_.timerLine, [this] {
        station.post([s = &station, line = app_.timerLine] {
            s->control.app.timerLine = line;
            if (s->control.app.timerPortNo > 0)
                s->ports.openport1(s->control.app.timerPortNo);
        });
    });
    boardLineChoices = lineChoices(this, app_.boardLine, [this] {
        station.post([s = &station, line = app_.boardLine] {
            s->control.app.boardLine = line;
            if (s->control.app.boardPortNo > 0)
                s->ports.openport2(s->control.app.boardPortNo);
        });
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
    CuteButton122 = new TCuteButton(QStringLiteral("ポートの更新"), this);
    CuteButton122->setFixedSize(120, 30);
    CuteButton122->OnClick = [this] {
        station.post([s = &station] { s->ports.refreshPortLists(); });
    };
    g->addWidget(CuteButton122, 4, 1);
    g->addWidget(new QLabel(QStringLiteral("入力データ")), 5, 0);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    g->addWidget(Memo1, 6, 0, 1, 2);
    g->setRowStretch(6, 1);
    connect(&station.receiver, &ReceiveHandler::traceChanged, Memo1, &QPlainTextEdit::setPlainText);

    auto* boardBox = new QGroupBox(QStringLiteral("表示ボード"), this);
    auto* bv = new QGridLayout(boardBox);
    bv->setVerticalSpacing(2);
    auto button = [&](const char* caption, int c, void (BoardTests::*click)()) {
        auto* b = new TCuteButton(QString::fromUtf8(caption), boardBox);
        b->setFixedSize(100, 28);
        b->OnClick = [this, click] {
            station.post([s = &station, click] { (s->board.*click)(); });
        };
        bv->addWidget(b, 0, c);
        return b;
    };
    CuteButton28 = button("All Null", 0, &BoardTests::sendAllNull);
    CuteButton29 = button("All 8", 1, &BoardTests::sendAllEight);
    CuteButton58 = button("1 to 0", 2, &BoardTests::sendOneToZero);
    CuteButton61 = button("All 1 to 0", 3, &BoardTests::sendAllOneToZero);
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

    connect(&view_, &StationView::portsChanged, this, &RunSettingsPage::showPorts);
    connect(Cbxcomm1, &QComboBox::activated, this, [this](int index) {
        station.post([s = &station, index, text = Cbxcomm1->itemText(index)] {
            s->ports.setCbxcomm1(index, text);
        });
    });
    // A port typed in (a COM number that is not listed yet) counts once typing is done.
    connect(Cbxcomm1->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const QString typed = Cbxcomm1->currentText().trimmed().toUpper();
        if (typed == view_.ports().text1)
            return;
        station.post([s = &station, typed] {
            s->ports.setCbxcomm1(static_cast<int>(s->ports.items().indexOf(typed)), typed);
        });
    });
    connect(Cbxcomm2, &QComboBox::activated, this, [this](int index) {
        station.post([s = &station, index, text = Cbxcomm2->itemText(index)] {
            s->ports.setCbxcomm2(index, text);
        });
    });
}

LineChoices RunSettingsPage::lineChoices(QWidget* parent, SerialLine& line,
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
                static_cast<TCommParityBits>(c.parity->currentIndex()),
                static_cast<TCommStopBits>(c.stopBits->currentIndex())};
        changed();
    };
    for (QComboBox* box : {c.baud, c.dataBits, c.parity, c.stopBits})
        connect(box, &QComboBox::activated, this, pick);
    return c;
}

QWidget* RunSettingsPage::backupPortGroup() {
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
    // The ports are listed once the station says which there are (showPorts).
    if (app_.backupPortNo > 0)
        Cbxcomm3->setEditText(QStringLiteral("COM%1").arg(app_.backupPortNo));
    h->addWidget(Cbxcomm3, 1);
    auto choose = [this] {
        const QString chosen = Cbxcomm3->currentText().trimmed().toUpper();
        app_.backupPortNo = chosen.startsWith(u"COM") ? chosen.mid(3).toInt() : 0;
        station.post([s = &station, n = app_.backupPortNo] {
            s->control.app.backupPortNo = n;
            s->openBackupPort();
        });
    };
    connect(Cbxcomm3->lineEdit(), &QLineEdit::editingFinished, this, choose);
    connect(Cbxcomm3, &QComboBox::activated, this, choose);
    return row;
}

QButtonGroup* RunSettingsPage::targetSelector(QWidget* box, TimingStation& station) {
    auto* v = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    const char* items[] = {"アップしない", "Web"};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(items[i]), box);
        group->addButton(b, i);
        v->addWidget(b);
    }
    group->button(WebChoices().uploadTarget)->setChecked(true); // until the station says
    connect(group, &QButtonGroup::idClicked, box, [&station](int id) {
        station.post([s = &station, id] { s->web.chooseUploadTarget(id); });
    });
    return group;
}

QWidget* RunSettingsPage::webGroup() {
    auto* box = new QGroupBox(QStringLiteral("Web 速報"));
    auto* g = new QGridLayout(box);
    auto* target = new QGroupBox(QStringLiteral("アップロード先"), box);
    RGweb2 = targetSelector(target, station);
    g->addWidget(target, 0, 0, 2, 1);
    CkBweb2 = new QCheckBox(QStringLiteral("Web にリアルタイムでアップロードする"), box);
    connect(CkBweb2, &QCheckBox::clicked, this, [this](bool on) {
        station.post([s = &station, on] { s->web.setRealTimeUpload(on); });
    });
    g->addWidget(CkBweb2, 0, 1, 1, 2);
    webBase = new QLineEdit(app_.webBaseUrl, box);
    connect(webBase, &QLineEdit::textEdited, this, [this](const QString& url) {
        station.post([s = &station, url] { s->web.baseUrl = url; });
        app_.webBaseUrl = url; // kept in the settings file
    });
    g->addWidget(webBase, 1, 1);
    webKey = new QLineEdit(app_.webKey, box);
    webKey->setPlaceholderText(QStringLiteral("書き込みの鍵"));
    webKey->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    connect(webKey, &QLineEdit::textEdited, this, [this](const QString& key) {
        station.post([s = &station, key] { s->webClient.key = key; });
        app_.webKey = key; // kept in the settings file
    });
    g->addWidget(webKey, 1, 2);
    g->addWidget(new QLabel(QStringLiteral("速報画面へのメッセージ表示"), box), 2, 0);
    Memo10 = new QPlainTextEdit(box);
    Memo10->setMaximumHeight(60);
    connect(Memo10, &QPlainTextEdit::textChanged, this, [this] {
        station.post([s = &station, t = Memo10->toPlainText()] { s->web.memo10 = t; });
    });
    g->addWidget(Memo10, 3, 0, 1, 3);
    auto button = [&](const char* caption, int r, int c, void (WebCommands::*click)()) {
        auto* b = new TCuteButton(QString::fromUtf8(caption), box);
        b->setMinimumSize(
            std::max(150, b->fontMetrics().horizontalAdvance(QString::fromUtf8(caption)) + 20), 26);
        b->OnClick = [this, click] { station.post([s = &station, click] { (s->web.*click)(); }); };
        g->addWidget(b, r, c);
        return b;
    };
    CuteButton86 = button("上記メッセージを送信", 4, 0, &WebCommands::sendMessage);
    CuteButton87 = button("Webに表示中のメッセージを消去", 4, 1, &WebCommands::eraseMessage);
    Edit37 = new QLineEdit(WebChoices().edit37, box);
    Edit37->setMaximumWidth(60);
    connect(Edit37, &QLineEdit::textEdited, this,
            [this](const QString& t) { station.post([s = &station, t] { s->web.edit37 = t; }); });
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
    connect(cbclass, &QComboBox::currentTextChanged, this, [this](const QString& name) {
        station.post([s = &station, name] { s->web.cbclass = name; });
    });
    g->addWidget(cbclass, 8, 0);
    CuteButton103 =
        button("現在のレースをＷｅｂ速報画面に指定", 8, 1, &WebCommands::selectRaceOfClass);
    Web = new QTextBrowser(box);
    Web->setMinimumSize(300, 80);
    connect(&station.webClient, &WebClient::pageShown, Web, &QTextBrowser::setPlainText);
    connect(&station.liveSync, &LiveSync::healthChanged, Web, &QTextBrowser::setPlainText);
    g->addWidget(Web, 9, 0, 1, 3);
    connect(&view_, &StationView::webChanged, this, &RunSettingsPage::showWeb);
    return box;
}

void RunSettingsPage::showWeb() {
    const WebChoices& web = view_.web();
    RGweb2->button(web.uploadTarget)->setChecked(true);
    CkBweb2->setChecked(web.realTime == 1);
    if (Memo10->toPlainText() != web.memo10)
        Memo10->setPlainText(web.memo10);
}

void RunSettingsPage::showPorts() {
    const PortChoices& ports = view_.ports();
    for (auto [box, index, text] : {std::tuple{Cbxcomm1, ports.index1, ports.text1},
                                    std::tuple{Cbxcomm2, ports.index2, ports.text2}}) {
        const QSignalBlocker block(box);
        if (box->count() != ports.items.size() ||
            box->itemText(box->count() - 1) != ports.items.last()) {
            box->clear();
            box->addItems(ports.items);
        }
        box->setCurrentIndex(index);
        box->setEditText(text);
    }
    // The second timer's list: "なし", then the same ports; what it shows stays.
    const QSignalBlocker block(Cbxcomm3);
    const QString shown = Cbxcomm3->currentText();
    Cbxcomm3->clear();
    Cbxcomm3->addItem(QStringLiteral("なし"));
    Cbxcomm3->addItems(ports.items);
    Cbxcomm3->setEditText(shown);
}

} // namespace pistel
