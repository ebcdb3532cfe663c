#include "TFselecttaikai.h"

#include "Grid.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/Query.h"
#include "data/TDM1.h"

#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>
#include <memory>

namespace pistel {
namespace {
constexpr int kTitleColumn = 1;
constexpr int kPlaceColumn = 2;
const char* const kCannotConnect =
    "データベースに接続できません。データベースが立ち上がっているか確認してください。";
} // namespace

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
                        {"TPLACE", "開催地", 150, left, left, true},
                        {"GAME", "種目", 34, Qt::AlignCenter, Qt::AlignCenter},
                        {"HON", "本数", 34, Qt::AlignCenter, Qt::AlignCenter},
                        {"TDATE", "開催日", 80, Qt::AlignCenter, Qt::AlignCenter},
                        {"TCLASS", "カテゴリ", 60, Qt::AlignCenter, Qt::AlignCenter},
                        {"SEX", "性別", 40, Qt::AlignCenter, Qt::AlignCenter}},
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
    readCompetitions();
}

void TFselecttaikai::readCompetitions() {
    if (reader_.busy()) {
        reader_.readAgainAfter([this] { readCompetitions(); });
        return;
    }
    const QStringList sql{QStringLiteral("select * from taikai order by tdate desc")};
    auto read = std::make_shared<ResultSet>();
    reader_.read(
        dm_.Db1,
        [sql, read](odbc::Connection& c) {
            Query list(c, QStringLiteral("taikai"), sql);
            list.open();
            *read = list.rows();
        },
        [this, sql, read](const QString& error, bool lost) {
            if (!error.isEmpty()) {
                dialog_.showMessage(lost ? QString::fromUtf8(kCannotConnect) : error);
                return;
            }
            dm_.Qtaikai.setSql(sql);
            dm_.Qtaikai.showRead(std::move(*read));
            showWholeTexts();
        });
}

void TFselecttaikai::showWholeTexts() {
    // Titles and venues as long as the competitions have them: the columns grow to their
    // text and the window with them, as far as the screen allows; beyond that the title and
    // venue share what is left and show their whole text when pointed at.
    QueryModel& model = DBGrid1->model();
    int total = 0;
    for (int c = 0; c < model.columnCount(); ++c) {
        DBGrid1->resizeColumnToContents(c);
        DBGrid1->setColumnWidth(c, std::max(model.columns()[c].width, DBGrid1->columnWidth(c)));
        total += DBGrid1->columnWidth(c);
    }
    const int frame = width() - DBGrid1->viewport()->width();
    const int room = screen() ? screen()->availableGeometry().width() - frame : total;
    if (total > room) {
        const int title = DBGrid1->columnWidth(kTitleColumn);
        const int place = DBGrid1->columnWidth(kPlaceColumn);
        const int rest = total - title - place, shared = std::max(0, room - rest);
        DBGrid1->setColumnWidth(kTitleColumn, shared * title / (title + place));
        DBGrid1->setColumnWidth(kPlaceColumn, shared - shared * title / (title + place));
        total = room;
    }
    resize(std::max(width(), total + frame), height());
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
        dialog_.showMessage(QString::fromUtf8(kCannotConnect));
        close();
    }
}

} // namespace pistel
