#include "StatusCommands.h"

#include "Grid.h"
#include "data/QueryModel.h"
#include "station/StationView.h"
#include "station/TimingStation.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QShortcut>

namespace pistel {

namespace {
void apply(TimingStation& station, int run, const QString& bib, const QString& code,
           QWidget* parent) {
    if (bib.isEmpty())
        return;
    RunStatus status{code, {}, {}};
    if (code == u"DSQ" && !askDisqualification(parent, bib, run, status))
        return;
    station.post([&station, bib, run, status] {
        station.control.statusControl.setStatus(bib, run, status);
    });
}
} // namespace

QList<std::pair<QString, BibCommand>> statusCommands(TimingStation& station, int run,
                                                     QWidget* parent) {
    auto command = [&station, run, parent](const char* code) {
        return [&station, run, parent, code = QString::fromLatin1(code)](const QString& bib) {
            apply(station, run, bib, code, parent);
        };
    };
    return {{QStringLiteral("選択したビブを欠場(DNS)にする　Ctrl+1"), command("DNS")},
            {QStringLiteral("選択したビブを途中棄権(DNF)にする　Ctrl+2"), command("DNF")},
            {QStringLiteral("選択したビブを失格(DSQ)にする…　Ctrl+3"), command("DSQ")},
            {QStringLiteral("選択したビブの状態を取り消す　Ctrl+0"), command("")}};
}

void addStatusKeys(Grid* grid, TimingStation& station, int run, std::function<QString()> bib) {
    const std::pair<Qt::Key, const char*> keys[] = {
        {Qt::Key_1, "DNS"}, {Qt::Key_2, "DNF"}, {Qt::Key_3, "DSQ"}, {Qt::Key_0, ""}};
    for (const auto& [key, code] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), grid);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(shortcut, &QShortcut::activated, grid,
                         [&station, run, bib, grid, code = QString::fromLatin1(code)] {
                             apply(station, run, bib(), code, grid);
                         });
    }
}

void markStatuses(Grid* grid, const StationView& view, int run) {
    QueryModel& model = grid->model();
    model.rowMarked = [&view, &model, run](int row) {
        const int zek = model.rows().rows().columnIndex(QStringLiteral("zek"));
        return zek >= 0 && view.marks().statusesOf(run).contains(model.rows().text(row, zek));
    };
    // The status as text in the run's time columns, in place of the times: a DSQ's times are
    // not a result, and the list says so without relying on the colour.
    const QString n = run == 2 ? QStringLiteral("2") : QString();
    const QStringList runColumns{"STTIME" + n, "ALTIME" + n, "TTIME" + n, "TOTALTIME"};
    model.shown = [&view, &model, run, runColumns,
                   before = model.shown](int row, const QString& field, const QString& text) {
        const int zek = model.rows().rows().columnIndex(QStringLiteral("zek"));
        const RunStatus s =
            zek < 0 ? RunStatus{} : view.marks().statusesOf(run).value(model.rows().text(row, zek));
        if (s.isSet() && runColumns.contains(field.toUpper()))
            return s.code + (s.gate.isEmpty() ? QString() : u' ' + s.gate);
        return before ? before(row, field, text) : text;
    };
    model.rowTip = [&view, &model, run](int row) {
        const int zek = model.rows().rows().columnIndex(QStringLiteral("zek"));
        const RunStatus s =
            zek < 0 ? RunStatus{} : view.marks().statusesOf(run).value(model.rows().text(row, zek));
        return s.isSet() ? statusText(s) : QString();
    };
    QObject::connect(&view, &StationView::marksChanged, grid->viewport(),
                     [grid] { grid->viewport()->update(); });
}

bool askDisqualification(QWidget* parent, const QString& bib, int run, RunStatus& status) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("失格(DSQ)　ビブ %1　%2本目").arg(bib).arg(run));
    auto* form = new QFormLayout(&dialog);
    auto* gate = new QLineEdit(&dialog);
    gate->setObjectName(QStringLiteral("gate"));
    gate->setMaxLength(10);
    auto* reason = new QLineEdit(&dialog);
    reason->setObjectName(QStringLiteral("reason"));
    reason->setMaxLength(100);
    form->addRow(QStringLiteral("旗門"), gate);
    form->addRow(QStringLiteral("理由"), reason);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    status = {QStringLiteral("DSQ"), gate->text().trimmed(), reason->text().trimmed()};
    return true;
}

} // namespace pistel
