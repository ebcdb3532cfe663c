#include "EntryForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pistel {

EntryForm::EntryForm(QWidget* parent) : QWidget(parent) {
    auto* g = new QGridLayout(this);
    g->setContentsMargins(0, 0, 0, 0);
    const auto field = [&](QLineEdit*& edit, const QString& caption, int row, int col) {
        edit = new QLineEdit(this);
        g->addWidget(new QLabel(caption, this), row, col * 2);
        g->addWidget(edit, row, col * 2 + 1);
    };
    field(bib, QStringLiteral("ビブ"), 0, 0);
    field(name, QStringLiteral("氏名"), 0, 1);
    field(kana, QStringLiteral("よみ"), 0, 2);
    field(team, QStringLiteral("所属"), 1, 0);
    className = new QComboBox(this);
    g->addWidget(new QLabel(QStringLiteral("クラス"), this), 1, 2);
    g->addWidget(className, 1, 3);
    field(sex, QStringLiteral("性別"), 1, 2);
    field(birthYear, QStringLiteral("生年"), 2, 0);
    field(nation, QStringLiteral("都道府県・国"), 2, 1);
    field(licence, QStringLiteral("登録番号"), 2, 2);
    field(points, QStringLiteral("ポイント"), 3, 0);
    bib->setPlaceholderText(QStringLiteral("空: 次の番号"));
    connect(bib, &QLineEdit::editingFinished, this, [this] { emit bibChosen(bib->text()); });
    auto* save = new QPushButton(QStringLiteral("登録・変更"), this);
    auto* out = new QPushButton(QStringLiteral("出走取消"), this);
    auto* back = new QPushButton(QStringLiteral("出走に戻す"), this);
    connect(save, &QPushButton::clicked, this, &EntryForm::saveRequested);
    connect(out, &QPushButton::clicked, this, [this] { emit withdrawRequested(true); });
    connect(back, &QPushButton::clicked, this, [this] { emit withdrawRequested(false); });
    g->addWidget(save, 3, 3);
    g->addWidget(out, 3, 4);
    g->addWidget(back, 3, 5);
}

void EntryForm::setClasses(const QStringList& names) {
    className->clear();
    className->addItems(names);
}

void EntryForm::showEntry(const Entry& e) {
    name->setText(e.name);
    kana->setText(e.kana);
    team->setText(e.team);
    className->setCurrentText(e.className);
    sex->setText(e.sex);
    birthYear->setText(e.birthYear);
    nation->setText(e.nation);
    licence->setText(e.licence);
    points->setText(e.points);
}

Entry EntryForm::entry() const {
    return {0,
            bib->text().trimmed(),
            name->text().trimmed(),
            kana->text().trimmed(),
            team->text().trimmed(),
            className->currentText(),
            sex->text().trimmed(),
            birthYear->text().trimmed(),
            nation->text().trimmed(),
            licence->text().trimmed(),
            points->text().trimmed()};
}

} // namespace pistel
