#include "TFmain.h"

#include "SettingsFile.h"
#include "data/AppState.h"
#include "data/DbError.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"
#include "ui/TCuteButton.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>

namespace pistel {
namespace {

QPixmap artwork(QSize size, const QString& text, int pointSize) {
    QPixmap pm(size);
    pm.fill(QColor(32, 96, 96));
    QPainter p(&pm);
    p.setPen(QColor(255, 255, 255));
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    QFont f = p.font();
    f.setPointSize(pointSize);
    f.setBold(true);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, text);
    return pm;
}

QLabel* footLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: white; background: black; padding: 1px 4px;"));
    l->adjustSize();
    return l;
}

} // namespace

TFmain::TFmain(AppState& app, TDM1& dm, OperatorDialog& dialog, QString settingsPath,
               const QStringList& arguments, const QString& programFile, QWidget* parent)
    : QWidget(parent), profiles(app, dm, dialog, view), app_(app), dm_(dm), dialog_(dialog),
      settingsPath_(std::move(settingsPath)) {
    // FormCreate: settings file, terminal-mode argument, build date.
    const Settings s = readSettings(settingsPath_);
    app_.terminalMode = terminalModeOf(arguments);
    app_.timerPortNo = s.port1;
    app_.boardPortNo = s.port2;
    app_.timerLine = s.line1;
    app_.boardLine = s.line2;
    app_.backupPortNo = s.port3;
    app_.backupLine = s.line3;
    app_.dbType = s.dbType;
    app_.connectedProfile = s.dbIndex;
    app_.chosenProfile = s.dbMode;
    app_.webBaseUrl = s.webBaseUrl;
    app_.webKey = s.webKey;
    app_.dbTimeout = s.dbTimeout;
    dm_.Db1.timeoutSeconds = s.dbTimeout;
    savedProfile_ = s.dbIndex;

    setWindowTitle(QStringLiteral("Pistel Auto"));
    resize(758, 519);
    setAutoFillBackground(true);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    Image1 = new QLabel(this);
    Image1->setPixmap(artwork({329, 116}, QStringLiteral("PISTEL AUTO"), 26));
    Image1->setGeometry(214, 24, 329, 116);
    Image3 = new QLabel(this);
    Image3->setPixmap(artwork({105, 57}, QStringLiteral("TIMING"), 11));
    Image3->setGeometry(640, 420, 105, 57);

    auto* group = new QGroupBox(QStringLiteral("データベース"), this);
    group->setGeometry(40, 170, 160, 150);
    const char* items[] = {"Local", "Test", "Server", "Release"};
    for (int i = 0; i < 4; ++i) {
        rgdb_[i] = new QRadioButton(QLatin1String(items[i]), group);
        rgdb_[i]->setGeometry(16, 24 + 28 * i, 130, 24);
        connect(rgdb_[i], &QRadioButton::clicked, this, [this, i] { profiles.select(i); });
    }

    Label16 = new QLabel(this);
    QFont big = font();
    big.setPixelSize(20);
    big.setBold(true);
    Label16->setFont(big);
    Label16->setAlignment(Qt::AlignCenter);
    Label16->setGeometry(180, 140, 400, 28);

    bTaikai = new TCuteButton(QStringLiteral("大会処理"), this);
    bTaikai->setColor(QColor(128, 255, 0));
    QFont bold = font();
    bold.setPixelSize(16);
    bold.setBold(true);
    bTaikai->setFont(bold);
    bTaikai->setBevelWidth(3);
    bTaikai->setBorderSingle(true);
    bTaikai->setGeometry(304, 220, 150, 35);
    bTaikai->OnClick = [this] { bTaikaiClick(); };

    bOffice = new TCuteButton(QStringLiteral("大会準備"), this);
    bOffice->setColor(QColor(255, 214, 102));
    QPalette darkText = bOffice->palette();
    darkText.setColor(QPalette::WindowText, Qt::black);
    bOffice->setPalette(darkText);
    bOffice->setFont(bold);
    bOffice->setBevelWidth(3);
    bOffice->setBorderSingle(true);
    bOffice->setGeometry(470, 220, 150, 35);
    bOffice->OnClick = [this] {
        if (openOffice)
            openOffice();
    };

    CuteButton3 = new TCuteButton(QStringLiteral("終了"), this);
    CuteButton3->setGeometry(304, 290, 150, 35);
    // Dark text on the light face: the window's white text would hardly show on it.
    QPalette dark = CuteButton3->palette();
    dark.setColor(QPalette::WindowText, Qt::black);
    CuteButton3->setPalette(dark);
    CuteButton3->OnClick = [this] { CuteButton3Click(); };

    Ladbname = footLabel(QString(), this);
    Ladbname->move(4, 494);
    Label2 = footLabel(QStringLiteral("V β1.01"), this);
    Label2->move(680, 474);
    Lbdate = footLabel(buildDateLabel(QFileInfo(programFile).lastModified()), this);
    Lbdate->move(680, 496);

    connect(&view, &ConnectionView::changed, this, &TFmain::showConnection);
    showConnection();
}

void TFmain::showConnection() {
    for (int i = 0; i < 4; ++i)
        rgdb_[i]->setChecked(i == view.profileIndex());
    Label16->setText(view.serverLabel());
    Ladbname->setText(view.databaseName());
    Ladbname->adjustSize();
    QPalette p = palette();
    p.setColor(QPalette::Window, view.terminalLook() ? QColor(0, 0, 128) : QColor(64, 128, 128));
    p.setColor(QPalette::WindowText, Qt::white);
    setPalette(p);
    Image1->setVisible(!view.terminalLook());
}

void TFmain::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TFmain::FormShow() {
    resize(770, 550);
    profiles.select(savedProfile_);
}

void TFmain::bTaikaiClick() {
    // The selection and the run window read on connections of their own, opened like this
    // window's: nothing here waits for the server.
    if (openCompetitionSelection)
        openCompetitionSelection();
    else
        dialog_.showMessage(QStringLiteral("大会選択画面はこの版ではまだ使えません。"));
}

void TFmain::closeEvent(QCloseEvent* e) {
    profiles.releaseLock();
    try {
        writeSettings(settingsPath_, {.port1 = app_.timerPortNo,
                                      .port2 = app_.boardPortNo,
                                      .line1 = app_.timerLine,
                                      .line2 = app_.boardLine,
                                      .port3 = app_.backupPortNo,
                                      .line3 = app_.backupLine,
                                      .dbType = app_.dbType,
                                      .dbIndex = app_.connectedProfile,
                                      .dbMode = app_.chosenProfile,
                                      .webBaseUrl = app_.webBaseUrl,
                                      .dbTimeout = app_.dbTimeout,
                                      .webKey = app_.webKey});
    } catch (const std::exception& error) {
        dialog_.showMessage(QStringLiteral("設定ファイルを保存できませんでした。\n") +
                            QString::fromStdString(error.what()));
    }
    e->accept();
}

} // namespace pistel
