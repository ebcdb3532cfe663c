#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTableView>
#include <QWidget>

namespace pistel::test {

// Every text a window shows that does not fit where it is drawn, at the window's current
// size, by the font metrics of the widget: labels, buttons, check and radio boxes, group
// titles, tab captions, and the titles and cells of grids (a cell whose full text is its
// tooltip may be cut). One entry per problem, naming widget and text.
inline QStringList textThatDoesNotFit(QWidget* window) {
    QStringList problems;
    auto report = [&](const QWidget* w, const QString& text, int need, int have) {
        problems << QStringLiteral("%1 \"%2\": needs %3 px, has %4")
                        .arg(QString::fromLatin1(w->metaObject()->className()), text)
                        .arg(need)
                        .arg(have);
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window))
            continue;
        const QFontMetrics fm = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty() || label->wordWrap() || !label->pixmap().isNull())
                continue;
            const int need = fm.horizontalAdvance(label->text());
            if (need > label->contentsRect().width())
                report(w, label->text(), need, label->contentsRect().width());
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            const int need = fm.horizontalAdvance(box->title());
            if (need > box->width())
                report(w, box->title(), need, box->width());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (button->text().isEmpty())
                continue;
            // The style's own size for the text with its indicator or frame.
            const int need = button->sizeHint().width();
            if (need > button->width())
                report(w, button->text(), need, button->width());
        } else if (const QVariant caption = w->property("caption"); caption.isValid()) {
            // The custom push button draws its caption inside its bevel.
            const QString text = caption.toString();
            const int need = fm.horizontalAdvance(text) + 8;
            if (!text.isEmpty() && need > w->width())
                report(w, text, need, w->width());
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                const int need = fm.horizontalAdvance(tabs->tabText(i));
                if (need > tabs->tabRect(i).width())
                    report(w, tabs->tabText(i), need, tabs->tabRect(i).width());
            }
        } else if (auto* grid = qobject_cast<QTableView*>(w)) {
            const QAbstractItemModel* m = grid->model();
            const QFontMetrics titleFm(grid->horizontalHeader()->font());
            for (int c = 0; c < m->columnCount(); ++c) {
                if (grid->isColumnHidden(c))
                    continue;
                const int have = grid->columnWidth(c);
                const QString title = m->headerData(c, Qt::Horizontal).toString();
                if (titleFm.horizontalAdvance(title) + 6 > have)
                    report(w, title, titleFm.horizontalAdvance(title) + 6, have);
                for (int r = 0; r < m->rowCount(); ++r) {
                    const QModelIndex i = m->index(r, c);
                    const QString text = m->data(i).toString();
                    if (!text.isEmpty() && m->data(i, Qt::ToolTipRole).toString() == text)
                        continue; // shown whole when pointed at

                    const int need = fm.horizontalAdvance(text) + 6;
                    if (need > have)
                        report(w, text, need, have);
                }
            }
            // Nothing may need scrolling sideways.
            int total = 0;
            for (int c = 0; c < m->columnCount(); ++c)
                total += grid->isColumnHidden(c) ? 0 : grid->columnWidth(c);
            if (total > grid->viewport()->width()) {
                QStringList widths;
                for (int c = 0; c < m->columnCount(); ++c)
                    widths << QString::number(grid->columnWidth(c));
                report(w, QStringLiteral("(all columns: %1)").arg(widths.join(QLatin1Char(' '))),
                       total, grid->viewport()->width());
            }
        }
    }
    return problems;
}

} // namespace pistel::test
