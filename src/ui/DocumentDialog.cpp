#include "DocumentDialog.h"

#include "Japanese.h"
#include "MessageBoxDialog.h"
#include "RunWindowContext.h"
#include "data/AppState.h"
#include "data/OperatorDialog.h"
#include "data/TDM1.h"
#include "results/CsvExport.h"
#include "results/DocumentPdf.h"
#include "results/Race.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <memory>

namespace pistel {

DocumentDialog::DocumentDialog(const RunWindowContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
    setWindowTitle(QStringLiteral("出力/印刷"));
    auto* form = new QFormLayout(this);
    kindChoice = new QComboBox(this);
    for (DocumentKind k : {DocumentKind::StartList1, DocumentKind::StartList2,
                           DocumentKind::Results1, DocumentKind::Results})
        kindChoice->addItem(documentTitle(k), static_cast<int>(k));
    classChoice = new QComboBox(this);
    classChoice->addItem(QStringLiteral("全クラス"), -1);
    encodingChoice = new QComboBox(this);
    encodingChoice->addItems({QStringLiteral("UTF-8 (BOM付き)"), QStringLiteral("Shift-JIS")});
    form->addRow(QStringLiteral("帳票"), kindChoice);
    form->addRow(QStringLiteral("クラス"), classChoice);
    form->addRow(QStringLiteral("CSVの文字コード"), encodingChoice);
    auto* buttons = new QHBoxLayout;
    auto* saveButton = new QPushButton(QStringLiteral("保存…"), this);
    auto* printButton = new QPushButton(QStringLiteral("印刷…"), this);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    buttons_ = {saveButton, printButton};
    buttons->addWidget(saveButton);
    buttons->addWidget(printButton);
    buttons->addWidget(close);
    form->addRow(buttons);
    connect(saveButton, &QPushButton::clicked, this, &DocumentDialog::save);
    connect(printButton, &QPushButton::clicked, this, &DocumentDialog::print);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    withRace([](const Race*) {}); // the classes to choose from
}

void DocumentDialog::withRace(std::function<void(const Race*)> use) {
    auto race = std::make_shared<Race>();
    const bool started = reader_.read(
        context_.dm.Db1,
        [race, code = context_.app.competitionCode](odbc::Connection& db) {
            readRace(db, code, *race);
        },
        [this, race, use](const QString& error, bool lost) {
            for (QPushButton* b : buttons_)
                b->setEnabled(true);
            if (!error.isEmpty())
                tell(QStringLiteral("大会のデータを読めません。\n") +
                     errorForOperator(error, lost));
            else if (classChoice->count() == 1) // only 全クラス: not read yet
                showClasses(*race);
            use(error.isEmpty() ? race.get() : nullptr);
        });
    if (!started) {
        reader_.readAgainAfter([this, use] { withRace(use); });
        return;
    }
    for (QPushButton* b : buttons_)
        b->setEnabled(false);
}

void DocumentDialog::showClasses(const Race& race) {
    for (int cls : race.classes())
        classChoice->addItem(race.className(cls), cls);
}

namespace {
Document chosenDocument(const Race& race, const QComboBox* kind, const QComboBox* cls) {
    const int k = cls->currentData().toInt();
    return buildDocument(race, static_cast<DocumentKind>(kind->currentData().toInt()),
                         k < 0 ? std::nullopt : std::optional<int>(k));
}
} // namespace

void DocumentDialog::saveTo(const QString& path) {
    withRace([this, path](const Race* race) { emit saved(path, race && write(*race, path)); });
}

bool DocumentDialog::write(const Race& race, const QString& path) {
    const Document doc = chosenDocument(race, kindChoice, classChoice);
    QString error;
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) {
        QSaveFile file(path);
        const QByteArray bytes =
            documentCsv(doc, encodingChoice->currentIndex() == 1 ? CsvEncoding::ShiftJis
                                                                 : CsvEncoding::Utf8Bom);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return true;
        error = QStringLiteral("%1 に書き込めません: %2").arg(path, file.errorString());
    } else if (writeDocumentPdf(doc, path, QDateTime::currentDateTime(), &error)) {
        return true;
    }
    tell(error);
    return false;
}

void DocumentDialog::tell(const QString& text) {
    context_.dialog.showMessage(text);
}

void DocumentDialog::save() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("保存"),
        documentsPath(kindChoice->currentText() + QStringLiteral(".pdf")),
        QStringLiteral("PDF (*.pdf);;CSV (*.csv)"));
    if (!path.isEmpty())
        saveTo(path);
}

void DocumentDialog::print() {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    withRace([this, printer](const Race* race) {
        if (race)
            paintDocument(chosenDocument(*race, kindChoice, classChoice), *printer,
                          QDateTime::currentDateTime());
    });
}

} // namespace pistel
