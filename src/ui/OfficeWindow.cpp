#include "OfficeWindow.h"

#include "EntryForm.h"
#include "MessageBoxDialog.h"
#include "RaceDataPage.h"
#include "data/DbError.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"
#include "office/Competition.h"
#include "office/EntryImport.h"
#include "office/OfficeBatch.h"
#include "office/Run2Order.h"
#include "office/StartDraw.h"
#include "office/Withdrawal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <memory>
#include <optional>
#include <stdexcept>

namespace pistel {

OfficeWindow::OfficeWindow(TDM1& dm, OperatorDialog& dialog, QWidget* parent)
    : QDialog(parent), dm_(dm), dialog_(dialog) {
    setWindowTitle(QStringLiteral("大会準備"));
    resize(760, 560);
    auto* v = new QVBoxLayout(this);
    tabs = new QTabWidget(this);
    tabs->addTab(competitionPage(), QStringLiteral("大会"));
    raceData = new RaceDataPage;
    connect(raceData, &RaceDataPage::saveRequested, this, &OfficeWindow::saveRaceData);
    tabs->addTab(raceData, QStringLiteral("大会データ"));
    tabs->addTab(entriesPage(), QStringLiteral("エントリー"));
    tabs->addTab(orderPage(), QStringLiteral("スタート順"));
    v->addWidget(tabs);
    status = new QLabel(this);
    status->setWordWrap(true);
    v->addWidget(status);
    showClasses();
}

QWidget* OfficeWindow::competitionPage() {
    auto* page = new QWidget;
    auto* f = new QFormLayout(page);
    code = new QLineEdit(page);
    title = new QLineEdit(page);
    venue = new QLineEdit(page);
    discipline = new QComboBox(page);
    discipline->addItems(kDisciplines);
    runs = new QSpinBox(page);
    runs->setRange(1, 2);
    runs->setValue(2);
    date = new QDateEdit(QDate::currentDate(), page);
    date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    category = new QLineEdit(page);
    sex = new QLineEdit(page);
    classes = new QLineEdit(page);
    classes->setPlaceholderText(
        QStringLiteral("例: 男子=2 女子=1（番号の大きいクラスから滑ります）"));
    f->addRow(QStringLiteral("大会コード"), code);
    f->addRow(QStringLiteral("大会名"), title);
    f->addRow(QStringLiteral("会場"), venue);
    f->addRow(QStringLiteral("種目"), discipline);
    f->addRow(QStringLiteral("本数"), runs);
    f->addRow(QStringLiteral("日付"), date);
    f->addRow(QStringLiteral("カテゴリー"), category);
    f->addRow(QStringLiteral("性別"), sex);
    f->addRow(QStringLiteral("クラス"), classes);
    auto* save = new QPushButton(QStringLiteral("保存"), page);
    connect(save, &QPushButton::clicked, this, &OfficeWindow::saveCompetition);
    connect(code, &QLineEdit::editingFinished, this, [this] { showCompetition(code->text()); });
    f->addRow(save);
    return page;
}

QWidget* OfficeWindow::entriesPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* choose = new QPushButton(QStringLiteral("エントリーファイルを開く…"), page);
    connect(choose, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(
            this, QStringLiteral("エントリーファイル"), {},
            QStringLiteral("CSV / TSV (*.csv *.tsv *.txt);;すべて (*)"));
        if (!path.isEmpty())
            previewEntries(path);
    });
    v->addWidget(choose, 0, Qt::AlignLeft);
    preview = new QPlainTextEdit(page);
    preview->setReadOnly(true);
    v->addWidget(preview);
    importButton = new QPushButton(QStringLiteral("取り込む"), page);
    importButton->setEnabled(false);
    connect(importButton, &QPushButton::clicked, this, &OfficeWindow::importEntries);
    v->addWidget(importButton, 0, Qt::AlignRight);
    entryForm = new EntryForm(page);
    connect(entryForm, &EntryForm::bibChosen, this, &OfficeWindow::showEntry);
    connect(entryForm, &EntryForm::saveRequested, this, &OfficeWindow::saveEntry);
    connect(entryForm, &EntryForm::withdrawRequested, this, &OfficeWindow::withdraw);
    v->addWidget(entryForm);
    return page;
}

QWidget* OfficeWindow::orderPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("クラス"), page));
    orderClass = new QComboBox(page);
    row->addWidget(orderClass, 1);
    v->addLayout(row);

    auto* run1 = new QHBoxLayout;
    drawMethod = new QComboBox(page);
    drawMethod->addItems(
        {QStringLiteral("ビブ順"), QStringLiteral("抽選"), QStringLiteral("ポイントシード＋抽選")});
    drawMethod->setCurrentIndex(1);
    seeded = new QSpinBox(page);
    seeded->setRange(0, 999);
    seeded->setValue(15);
    seeded->setPrefix(QStringLiteral("シード "));
    auto* drawButton = new QPushButton(QStringLiteral("１本目スタート順を作る"), page);
    connect(drawButton, &QPushButton::clicked, this, &OfficeWindow::drawRun1);
    firstBib = new QSpinBox(page);
    firstBib->setRange(0, 9999);
    firstBib->setSpecialValueText(QStringLiteral("ビブはそのまま"));
    firstBib->setPrefix(QStringLiteral("最初のビブ "));
    continueBibs = new QCheckBox(QStringLiteral("前のクラスから続ける"), page);
    connect(continueBibs, &QCheckBox::toggled, firstBib, &QSpinBox::setDisabled);
    run1->addWidget(drawMethod);
    run1->addWidget(seeded);
    run1->addWidget(firstBib);
    run1->addWidget(continueBibs);
    run1->addStretch();
    v->addLayout(run1);
    v->addWidget(drawButton, 0, Qt::AlignLeft);

    auto* run2 = new QHBoxLayout;
    reversed = new QSpinBox(page);
    reversed->setRange(0, 999);
    reversed->setValue(30);
    reversed->setPrefix(QStringLiteral("反転 "));
    reversed->setSuffix(QStringLiteral(" 名"));
    auto* previewButton = new QPushButton(QStringLiteral("２本目スタート順を見る"), page);
    connect(previewButton, &QPushButton::clicked, this, &OfficeWindow::previewRun2);
    confirmButton = new QPushButton(QStringLiteral("２本目スタート順を確定"), page);
    confirmButton->setEnabled(false);
    connect(confirmButton, &QPushButton::clicked, this, &OfficeWindow::confirmRun2);
    higherBibFirst = new QCheckBox(QStringLiteral("同タイムは大きいビブが先"), page);
    othersAfter = new QCheckBox(QStringLiteral("１本目の記録なしも後から出走"), page);
    run2->addWidget(reversed);
    run2->addWidget(higherBibFirst);
    run2->addWidget(othersAfter);
    run2->addStretch();
    v->addLayout(run2);
    auto* run2Buttons = new QHBoxLayout;
    run2Buttons->addWidget(previewButton);
    run2Buttons->addWidget(confirmButton);
    run2Buttons->addStretch();
    v->addLayout(run2Buttons);
    connect(orderClass, &QComboBox::currentIndexChanged, this, &OfficeWindow::showRun2Rules);

    order = new QPlainTextEdit(page);
    order->setReadOnly(true);
    v->addWidget(order);
    return page;
}

void OfficeWindow::run(BackgroundReader::Work work, std::function<void()> shown, bool writes) {
    // A refusal by the office's rules is told as it is; only a database error is prefixed.
    auto refusal = std::make_shared<QString>();
    queue_.run(
        dm_.Db1,
        [work = std::move(work), refusal](odbc::Connection& c) {
            try {
                work(c);
            } catch (const std::invalid_argument& e) {
                *refusal = QString::fromUtf8(e.what());
            }
        },
        [this, refusal, shown = std::move(shown), writes](const QString& error, bool lost) {
            if (lost) // a write lost on its way may have been done
                say(errorForOperator(error, true, writes), true);
            else if (!error.isEmpty())
                say(QStringLiteral("データベースのエラー: ") + error, true);
            else if (!refusal->isEmpty())
                say(*refusal, true);
            else if (shown)
                shown();
        });
}

void OfficeWindow::done(int result) {
    if (busy()) {
        say(QStringLiteral("処理中です。終わってから閉じてください。"), true);
        return;
    }
    QDialog::done(result);
}

void OfficeWindow::say(const QString& text, bool alarm) {
    status->setText(text);
    status->setStyleSheet(alarm ? QStringLiteral("color: #c00000;") : QString());
}

void OfficeWindow::showClasses() {
    auto numbers = std::make_shared<QHash<QString, int>>();
    run([numbers](odbc::Connection& c) { *numbers = readClassNumbers(c); },
        [this, numbers] {
            classNumbers_ = *numbers;
            orderClass->clear();
            QList<std::pair<int, QString>> sorted;
            for (auto it = classNumbers_.cbegin(); it != classNumbers_.cend(); ++it)
                sorted.append({it.value(), it.key()});
            std::sort(sorted.begin(), sorted.end(), std::greater<>());
            QStringList names;
            for (const auto& [number, name] : sorted) {
                orderClass->addItem(name, number);
                names << name;
            }
            entryForm->setClasses(names);
        });
}

void OfficeWindow::showCompetition(const QString& wanted) {
    auto found = std::make_shared<std::optional<Competition>>();
    auto items = std::make_shared<QMap<QString, QString>>();
    run(
        [found, items, wanted](odbc::Connection& c) {
            *found = readCompetition(c, wanted);
            if (*found)
                *items = readRaceData(c, (*found)->code);
        },
        [this, found, items] {
            if (!*found)
                return;
            const Competition& c = **found;
            title->setText(c.title);
            venue->setText(c.venue);
            discipline->setCurrentText(c.discipline);
            runs->setValue(c.runs);
            date->setDate(c.date);
            category->setText(c.category);
            sex->setText(c.sex);
            raceData->showData(*items);
        });
}

void OfficeWindow::saveRaceData() {
    run(
        [competition = code->text().trimmed(), byRun = raceData->data()](odbc::Connection& c) {
            if (!readCompetition(c, competition))
                throw std::invalid_argument(
                    QStringLiteral("先に大会を保存してください").toStdString());
            for (auto it = byRun.cbegin(); it != byRun.cend(); ++it)
                setRaceData(c, competition, it.key(), it.value());
        },
        [this] { say(QStringLiteral("大会データを保存しました")); }, true);
}

void OfficeWindow::showEntry(const QString& bib) {
    bool numeric = false;
    const int number = bib.trimmed().toInt(&numeric);
    if (!numeric)
        return;
    auto entry = std::make_shared<std::optional<Entry>>();
    run([entry, competition = code->text().trimmed(),
         zek = bibText(number)](odbc::Connection& c) { *entry = readEntry(c, competition, zek); },
        [this, entry] {
            if (*entry)
                entryForm->showEntry(**entry);
        });
}

void OfficeWindow::saveEntry() {
    const EntryFile one = checkedEntry(entryForm->entry(), classColumnValues(classNumbers_));
    if (!one.problems.isEmpty()) {
        say(one.problems.first().text, true);
        return;
    }
    auto said = std::make_shared<QString>();
    run(
        [said, one, competition = code->text().trimmed(),
         numbers = classNumbers_](odbc::Connection& c) {
            const ImportPlan plan = planImport(c, competition, one, numbers, EntryMatch::Bib);
            writeImport(c, plan);
            *said =
                plan.changes.isEmpty() ? QStringLiteral("変更はありません") : plan.changes.first();
        },
        [this, said] { say(*said); }, true);
}

void OfficeWindow::withdraw(bool withdrawn) {
    const QString zek = bibText(entryForm->bib->text().trimmed().toInt());
    run([competition = code->text().trimmed(), zek,
         withdrawn](odbc::Connection& c) { setWithdrawn(c, competition, zek, withdrawn); },
        [this, zek, withdrawn] {
            say(withdrawn ? QStringLiteral("ビブ %1 を出走取消にしました").arg(zek)
                          : QStringLiteral("ビブ %1 を出走に戻しました").arg(zek));
        },
        true);
}

void OfficeWindow::saveCompetition() {
    QList<ClassDef> defs;
    for (const QString& part : classes->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int number = part.section(QLatin1Char('='), 1).toInt(&ok);
        if (!part.contains(QLatin1Char('=')) || !ok || number < 1) {
            say(QStringLiteral("クラスは「名前=番号」で書いてください: ") + part, true);
            return;
        }
        defs.append({part.section(QLatin1Char('='), 0, 0), number});
    }
    const Competition competition{code->text().trimmed(),
                                  title->text().trimmed(),
                                  venue->text().trimmed(),
                                  discipline->currentText(),
                                  category->text().trimmed(),
                                  sex->text().trimmed(),
                                  runs->value(),
                                  date->date()};
    run(
        [competition, defs](odbc::Connection& c) {
            pistel::saveCompetition(c, competition);
            saveClasses(c, defs);
        },
        [this, shownCode = competition.code] {
            say(QStringLiteral("大会 %1 を保存しました").arg(shownCode));
            showClasses();
        },
        true);
}

void OfficeWindow::previewEntries(const QString& path) {
    importButton->setEnabled(false);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(QStringLiteral("ファイルを開けません: ") + file.errorString(), true);
        return;
    }
    entries_ = readEntryFile(file.readAll(), classColumnValues(classNumbers_));
    QStringList lines{QStringLiteral("%1、%2 名、問題 %3 件")
                          .arg(entries_.encoding)
                          .arg(entries_.entries.size())
                          .arg(entries_.problems.size())};
    for (const EntryProblem& p : entries_.problems)
        lines << QStringLiteral("%1行目: %2").arg(p.line).arg(p.text);
    if (entries_.problems.isEmpty())
        for (const Entry& e : entries_.entries)
            lines << QStringLiteral("%1  %2  %3  %4").arg(e.bib, e.name, e.team, e.className);
    preview->setPlainText(lines.join(QLatin1Char('\n')));
    importButton->setEnabled(entries_.problems.isEmpty() && !entries_.entries.isEmpty());
    say(entries_.problems.isEmpty()
            ? QStringLiteral("問題はありません。取り込めます。")
            : QStringLiteral("問題を直してから開き直してください。何も書き込んでいません。"),
        !entries_.problems.isEmpty());
}

void OfficeWindow::importEntries() {
    importButton->setEnabled(false); // once: a second click would wait behind the first
    auto count = std::make_shared<ImportCount>();
    run([count, competition = code->text().trimmed(), file = entries_, numbers = classNumbers_](
            odbc::Connection& c) { *count = pistel::importEntries(c, competition, file, numbers); },
        [this, count] {
            say(QStringLiteral("%1 名を追加、%2 名を更新しました（変更なし %3 名）")
                    .arg(count->added)
                    .arg(count->updated)
                    .arg(count->unchanged));
        },
        true);
}

void OfficeWindow::drawRun1() {
    const int cls = orderClass->currentData().toInt();
    const DrawMethod method = static_cast<DrawMethod>(drawMethod->currentIndex());
    const DrawSettings settings{method, newDrawSeed(), seeded->value(),
                                continueBibs->isChecked() ? -1 : firstBib->value()};
    auto bibs = std::make_shared<QStringList>();
    run(
        [bibs, competition = code->text().trimmed(), cls, settings](odbc::Connection& c) {
            const ClassDraw now = readClassDraw(c, competition, cls);
            if (!now.timed.isEmpty())
                throw std::invalid_argument(
                    QStringLiteral("１本目に時刻のある選手がいます（%1）。スタート順は変えません。")
                        .arg(now.timed.join(QLatin1Char(' ')))
                        .toStdString());
            const QStringList drawn =
                drawStartOrder(now.entries, settings.method, settings.seed, settings.seeded);
            *bibs = writeStartOrder(c, competition, cls, drawn, settings);
        },
        [this, bibs, seed = settings.seed] {
            order->setPlainText(QStringLiteral("１本目　シード値 %1\n").arg(seed) +
                                bibs->join(QLatin1Char('\n')));
            say(QStringLiteral("１本目のスタート順を保存しました（%1 名）").arg(bibs->size()));
        },
        true);
}

void OfficeWindow::previewRun2() {
    confirmButton->setEnabled(false);
    auto made = std::make_shared<QStringList>();
    run(
        [made, competition = code->text().trimmed(), cls = orderClass->currentData().toInt(),
         rules = run2Rules()](odbc::Connection& c) {
            *made = run2StartOrder(readClassRun2(c, competition, cls).standings, rules);
        },
        [this, made] {
            run2Order_ = *made;
            order->setPlainText(QStringLiteral("２本目（確定前）\n") +
                                run2Order_.join(QLatin1Char('\n')));
            confirmButton->setEnabled(!run2Order_.isEmpty());
            say(QStringLiteral("確かめてから「確定」を押してください"));
        });
}

void OfficeWindow::confirmRun2() {
    confirmRun2Knowing({});
}

void OfficeWindow::confirmRun2Knowing(const QStringList& startedSeen) {
    // Read, checked and written in one operation: the order is made again from run 1 as it
    // stands, and written only if it is the one shown and the competitors who have started
    // run 2 are the ones the operator was told of. Otherwise the window shows what changed
    // and asks again: nothing decided before a question is written after it unread.
    struct Outcome {
        QStringList fresh, started;
        bool written = false;
    };
    auto outcome = std::make_shared<Outcome>();
    const int cls = orderClass->currentData().toInt();
    run(
        [outcome, competition = code->text().trimmed(), cls, rules = run2Rules(),
         shown = run2Order_, startedSeen](odbc::Connection& c) {
            const ClassRun2 now = readClassRun2(c, competition, cls);
            outcome->fresh = run2StartOrder(now.standings, rules);
            outcome->started = now.started;
            if (outcome->fresh != shown || now.started != startedSeen)
                return;
            writeRun2Order(c, competition, cls, shown);
            saveRun2Rules(c, competition, cls, rules);
            outcome->written = true;
        },
        [this, outcome] {
            if (outcome->written) {
                confirmButton->setEnabled(false);
                say(QStringLiteral("２本目のスタート順を確定しました（%1 名）")
                        .arg(run2Order_.size()));
            } else if (outcome->fresh != run2Order_) {
                run2Order_ = outcome->fresh;
                order->setPlainText(QStringLiteral("２本目（確定前・１本目が変わりました）\n") +
                                    run2Order_.join(QLatin1Char('\n')));
                say(QStringLiteral("１本目の結果が変わったので順を作り直しました。確かめてからも"
                                   "う一度確定してください。"),
                    true);
            } else if (dialog_.askYesNo(
                           // Run 2 under way: only when the operator insists, knowing who.
                           QStringLiteral(
                               "２本目をスタートした選手がいます（%1）。スタート順を変えますか？")
                               .arg(outcome->started.join(QLatin1Char(' '))),
                           QStringLiteral("確認"))) {
                confirmRun2Knowing(outcome->started);
            }
        },
        true);
}

Run2Rules OfficeWindow::run2Rules() const {
    return {reversed->value(), !higherBibFirst->isChecked(), othersAfter->isChecked()};
}

void OfficeWindow::showRun2Rules() {
    const int cls = orderClass->currentData().toInt();
    if (cls == 0 || code->text().trimmed().isEmpty())
        return;
    auto rules = std::make_shared<Run2Rules>();
    run([rules, competition = code->text().trimmed(),
         cls](odbc::Connection& c) { *rules = readRun2Rules(c, competition, cls); },
        [this, rules] {
            reversed->setValue(rules->reversed);
            higherBibFirst->setChecked(!rules->lowerBibFirst);
            othersAfter->setChecked(rules->othersAfter);
        });
}

} // namespace pistel
