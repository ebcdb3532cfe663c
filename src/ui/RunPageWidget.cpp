#include "RunPageWidget.h"

#include "Grid.h"
#include "StatusCommands.h"
#include "TCuteButton.h"
#include "station/StationView.h"
#include "station/TimingStation.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pistel {
namespace {

const auto kCentre = Qt::AlignCenter;
const auto kLeft = Qt::AlignLeft | Qt::AlignVCenter;
const auto kRight = Qt::AlignRight | Qt::AlignVCenter;
const QString kRunTime = QStringLiteral("00:00:00.00*"); // the widest run time shown, marked

// A popup menu with one command. What the command acts on (an impulse id, a bib) is taken
// when the menu opens, from the row the operator right-clicked; lines that arrive while the
// menu is open re-read the lists but cannot change it.
const char kDismissImpulse[] = "選択した時刻を割り当てない（未割当の表示を消す）";

using MenuCommand = std::function<void(const QString&)>;

void withMenu(Grid* grid, std::function<QString()> chosen,
              QList<std::pair<QString, MenuCommand>> items) {
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(grid, &QWidget::customContextMenuRequested, grid,
                     [grid, chosen, items](const QPoint& at) {
                         grid->pickRowAt(at);
                         const QString target = chosen();
                         QMenu menu;
                         for (const auto& [caption, command] : items)
                             menu.addAction(caption, [command, target] { command(target); });
                         menu.exec(grid->viewport()->mapToGlobal(at));
                     });
}

// Impulses that nobody got stand out in their list until assigned or dismissed.
void markUnassigned(Grid* pulses, const StationView& view) {
    QueryModel& model = pulses->model();
    model.markedTip = QStringLiteral("未割当の時刻");
    model.rowMarked = [&view, &model](int row) {
        const int id = model.rows().rows().columnIndex(QStringLiteral("id"));
        return id >= 0 && view.marks().unassigned.contains(model.rows().text(row, id));
    };
    QObject::connect(&view, &StationView::marksChanged, pulses->viewport(),
                     [pulses] { pulses->viewport()->update(); });
}

} // namespace

RunPageWidget::RunPageWidget(TimingStation& station, const StationView& view, RunPage& page,
                             QWidget* parent)
    : QWidget(parent), station_(station), view_(view), page_(page) {
    const bool run1 = page.run() == 1;
    auto* row = new QHBoxLayout(this);
    row->addWidget(side(true));
    row->addWidget(side(false));

    auto* right = new QVBoxLayout;
    if (!run1) {
        edit5 = new QLineEdit(this);
        edit5->setReadOnly(true);
        connect(&page_, &RunPage::edit5Changed, edit5, &QLineEdit::setText);
        right->addWidget(edit5);
    }
    auto* label = new QLabel(
        run1 ? QStringLiteral("１本目オート処理中") : QStringLiteral("２本目オート処理中"), this);
    QFont big = label->font();
    big.setPixelSize(32);
    label->setFont(big);
    label->setStyleSheet(run1 ? QStringLiteral("color: blue; background: yellow;")
                              : QStringLiteral("color: blue; background: red;"));
    right->addWidget(label);
    timerStatus = new QLabel(this);
    QFont status = timerStatus->font();
    status.setPixelSize(14);
    timerStatus->setFont(status);
    right->addWidget(timerStatus);
    dataStatus = new QLabel(this);
    dataStatus->setFont(status);
    dataStatus->setWordWrap(true);
    right->addWidget(dataStatus);
    if (run1) {
        results = new Grid(page.results,
                           {{"ZEK", "ZEK", 54, kCentre, kCentre},
                            {"", "", 15},
                            {"TTIME", "TTIME", 78, kRight, kRight, false, kRunTime}},
                           13, this);
    } else {
        results = new Grid(page.results,
                           {{"ZEK", "ZEK", 54, kCentre, kCentre},
                            {"", "", 8},
                            {"TTIME", "TTIME", 66, kRight, kRight, false, kRunTime},
                            {"", "", 8},
                            {"TTIME2", "TTIME2", 66, kRight, kRight, false, kRunTime},
                            {"", "", 8},
                            {"TOTALTIME", "TOTALTIME", 66, kRight, kRight, false, kRunTime}},
                           13, this);
    }
    // The results mark run times resting on a time set by hand, and competitors with a status.
    results->model().shown = [this](int r, const QString& field, const QString& text) {
        if (text.isEmpty() || !field.startsWith(u"T"))
            return text;
        const QueryMirror& rows = results->model().rows();
        const int zek = rows.rows().columnIndex(QStringLiteral("zek"));
        const int run = field == u"TTIME" ? 1 : field == u"TTIME2" ? 2 : 0;
        return view_.marks().manualRunTime(rows.text(r, zek), run) ? text + QLatin1Char('*') : text;
    };
    const auto resultsBib = [this] { return results->model().rows().currentText(u"zek"); };
    withMenu(results, resultsBib, statusCommands(station_, page_.run(), this));
    addStatusKeys(results, station_, page_.run(), resultsBib);
    markStatuses(results, view_, page_.run());
    right->addWidget(results, 1);
    reset = new TCuteButton(
        run1 ? QStringLiteral("全データ削除") : QStringLiteral("２本目データ削除"), this);
    reset->setColor(Qt::blue);
    QPalette white = reset->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    reset->setPalette(white);
    reset->setFixedHeight(30);
    reset->OnClick = [this] { command([](RunControl& c, RunPage&) { c.resets.resetRunData(); }); };
    right->addWidget(reset);
    row->addLayout(right, 1);
}

void RunPageWidget::command(std::function<void(RunControl&, RunPage&)> work) {
    // Not `this`: a window may close while a command waits for the station.
    station_.post([&control = station_.control, &page = page_, work = std::move(work)] {
        work(control, page);
    });
}

QWidget* RunPageWidget::side(bool start) {
    const bool run1 = page_.run() == 1;
    auto* panel = new QWidget(this);
    // Narrow enough that the results on the right show every column whole.
    panel->setMaximumWidth(300);
    panel->setAutoFillBackground(true);
    QPalette colours = panel->palette();
    colours.setColor(QPalette::Window, start ? QColor(180, 254, 171) : QColor(254, 188, 197));
    panel->setPalette(colours);
    auto* v = new QVBoxLayout(panel);

    auto* modes = new QGroupBox(panel);
    auto* modeRow = new QHBoxLayout(modes);
    auto* autoButton = new QRadioButton(QStringLiteral("オート"), modes);
    auto* manualButton = new QRadioButton(QStringLiteral("手動"), modes);
    autoButton->setChecked(true);
    modeRow->addWidget(autoButton);
    modeRow->addWidget(manualButton);
    auto* group = new QButtonGroup(modes);
    group->addButton(autoButton, RunPage::Auto);
    group->addButton(manualButton, RunPage::Manual);
    connect(group, &QButtonGroup::idClicked, this, [this, start](int id) {
        command([start, id](RunControl&, RunPage& p) {
            start ? p.setStartMode(id) : p.setFinishMode(id);
        });
    });
    v->addWidget(modes);

    auto* boxRow = new QHBoxLayout;
    auto* box = new QLineEdit(panel);
    QFont f = box->font();
    f.setPixelSize(32);
    box->setFont(f);
    box->setAlignment(Qt::AlignCenter);
    auto* next = new TCuteButton(QStringLiteral("次"), panel);
    auto* previous = new TCuteButton(QStringLiteral("前"), panel);
    next->setFixedSize(40, 40);
    previous->setFixedSize(40, 40);
    boxRow->addWidget(box, 1);
    boxRow->addWidget(next);
    boxRow->addWidget(previous);
    v->addLayout(boxRow);

    // The box shows the page's bib; typing changes it, Enter looks the bib up.
    connect(&page_, start ? &RunPage::startBoxChanged : &RunPage::finishBoxChanged, box,
            [box](const QString& bib) {
                if (box->text() != bib)
                    box->setText(bib);
            });
    connect(box, &QLineEdit::textEdited, this, [this, start](const QString& text) {
        command([start, text](RunControl&, RunPage& p) {
            start ? p.setStartBox(text) : p.setFinishBox(text);
        });
    });
    // A bib that is not found leaves the box showing the page's own bib again.
    connect(box, &QLineEdit::returnPressed, this, [this, start, box] {
        command([start, typed = box->text()](RunControl& c, RunPage& p) {
            const bool ok =
                start ? c.selection.findStartBib(p, typed) : c.selection.findFinishBib(p, typed);
            if (!ok)
                emit(start ? p.startBoxChanged(p.startBox()) : p.finishBoxChanged(p.finishBox()));
        });
    });

    Grid* list;
    Grid* pulses;
    if (start) {
        list = new Grid(page_.startList,
                        {{"ZEK", "ビブ", 72, kCentre, kCentre},
                         {run1 ? "STTIME" : "STTIME2", "スタート時刻", 144, kCentre, kCentre}},
                        16, panel);
        pulses = new Grid(page_.startPulses,
                          {{"STAT", "ST", 28, kCentre, kCentre},
                           {"BIB", "ビブ", 60, kCentre, kCentre},
                           {"DTIME", "スタート時刻", run1 ? 126 : 132, kCentre, kCentre}},
                          16, panel);
        startBox = box;
        startAuto = autoButton;
        startManual = manualButton;
        startNext = next;
        startPrevious = previous;
        startList = list;
        startPulses = pulses;
    } else {
        list = new Grid(page_.finishList,
                        {{"ZEK", "ビブ", 72, kCentre, kCentre},
                         {run1 ? "ALTIME" : "ALTIME2", "フィニッシュ時刻", 144, kCentre, kCentre}},
                        16, panel);
        pulses = new Grid(page_.finishPulses,
                          {{"STAT", "", 28, kLeft, kLeft},
                           {"BIB", "ビブ", run1 ? 60 : 63, kCentre, kCentre},
                           {"DTIME", "フィニッシュ時刻", run1 ? 126 : 123, kCentre, kCentre}},
                          16, panel);
        finishBox = box;
        finishAuto = autoButton;
        finishManual = manualButton;
        finishNext = next;
        finishPrevious = previous;
        finishList = list;
        finishPulses = pulses;
    }
    // A list's menu acts on the row right-clicked, an impulse list's on the impulse; the keys
    // on the bib in the box.
    withMenu(
        list, [list] { return list->model().rows().currentText(u"zek"); },
        QList<std::pair<QString, MenuCommand>>{
            {start ? QStringLiteral("選択したビブのスタート時刻を取り消す")
                   : QStringLiteral("選択したビブのフィニッシュ時刻を取り消す"),
             [this, start](const QString& b) {
                 command([b, start](RunControl& c, RunPage&) {
                     start ? c.corrections.cancelStartTime(b) : c.corrections.cancelFinishTime(b);
                 });
             }}} +
            statusCommands(station_, page_.run(), this));
    addStatusKeys(list, station_, page_.run(), [box] { return box->text(); });
    markStatuses(list, view_, page_.run());
    withMenu(pulses, [pulses] { return pulses->model().rows().currentText(u"id"); },
             {{start ? QStringLiteral("選択した時刻を上記ビブのスタート時刻にする")
                     : QStringLiteral("選択した時刻を上記ビブのフィニッシュ時刻にする"),
               [this, start](const QString& id) {
                   command([id, start](RunControl& c, RunPage&) {
                       start ? c.corrections.assignStartImpulse(id)
                             : c.corrections.assignFinishImpulse(id);
                   });
               }},
              {QString::fromUtf8(kDismissImpulse), [this](const QString& id) {
                   command([id](RunControl& c, RunPage&) { c.corrections.dismissImpulse(id); });
               }}});
    markUnassigned(pulses, view_);
    // The box's navigation and the list's row choice, on this page's lists.
    const RunSelection::BoxKind kind =
        start ? RunSelection::BoxKind::Start : RunSelection::BoxKind::Finish;
    next->OnClick = [this, kind] {
        command([kind](RunControl& c, RunPage& p) { c.selection.moveBoxToNext(p, kind); });
    };
    previous->OnClick = [this, kind] {
        command([kind](RunControl& c, RunPage& p) { c.selection.moveBoxToPrevious(p, kind); });
    };
    connect(list, &Grid::cellClicked, this, [this, kind] {
        command([kind](RunControl& c, RunPage& p) { c.selection.boxToChosenRow(p, kind); });
    });
    v->addWidget(list, 3);
    v->addWidget(pulses, 2);
    return panel;
}

} // namespace pistel
