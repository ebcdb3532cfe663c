#include "TFselecttaikai.h"

#include "Grid.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"

#include <QMenuBar>
#include <QVBoxLayout>

namespace pistel {

QString runWindowCaption(const QString& title) {
    return QStringLiteral("大会実行") + QString(7, QLatin1Char(' ')) + title +
           QString(8, QLatin1Char(' ')) + QStringLiteral(" で実行中");
}

TFselecttaikai::TFselecttaikai(AppState& app, TDM1& dm, OperatorDialog& dialog, QWidget* parent)
    : QDialog(parent), app_(app), dm_(dm), dialog_(dialog) {
    setWindowTitle(QStringLiteral("大会選択"));
    resize(755, 472);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(189, 196, 251));
    p.setColor(QPalette::Base, QColor(189, 196, 251));
    p.setColor(QPalette::Text, QColor(0, 0, 160));
    setPalette(p);
    setAutoFillBackground(true);

    auto* menu = new QMenuBar(this);
    QMenu* file = menu->addMenu(QStringLiteral("ファイル"));
    file->addAction(QStringLiteral("閉じる"), this, [this] { N9Click(); });
    menu->addAction(QStringLiteral("    選択"), this, [this] { N2Click(); });

    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    DBGrid1 = new Grid(dm_.Qtaikai,
                       {{"TCODE", "TCODE", 66, left, left},
                        {"TNAME", "タイトル", 210, left, left, true},
                        {"TPLACE", "開催地", 180, left, left, true},
                        {"GAME", "種目", 34, Qt::AlignCenter, Qt::AlignCenter},
                        {"HON", "本数", 34, Qt::AlignCenter, Qt::AlignCenter},
                        {"TDATE", "開催日", 80, Qt::AlignCenter, Qt::AlignCenter},
                        {"TCLASS", "カテゴリ", 60, Qt::AlignCenter, Qt::AlignCenter},
                        {"SEX", "性別", 28, left, left}},
                       12, this);
    DBGrid1->setPalette(p);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { DBGrid1DblClick(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(menu);
    layout->addWidget(DBGrid1);
}

void TFselecttaikai::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    dm_.Qtaikai.setSql({QStringLiteral("select * from taikai order by tdate desc")});
    dm_.Qtaikai.open();
}

void TFselecttaikai::choose() {
    app_.competitionCode = dm_.Qtaikai.fieldByName(u"tcode").asString();
    const QString title = dm_.Qtaikai.fieldByName(u"tname").asString();
    app_.currentRun.clear();
    if (openRunWindow)
        openRunWindow(title);
}

void TFselecttaikai::N2Click() {
    try {
        choose();
    } catch (const std::exception&) {
        dialog_.showMessage(QStringLiteral("データベースに接続できません。データベースが立ち上"
                                           "がっているか確認してください。"));
        close();
    }
}

} // namespace pistel
