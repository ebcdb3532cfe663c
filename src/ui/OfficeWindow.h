#pragma once

#include "data/BackgroundQueue.h"
#include "data/BackgroundReader.h"
#include "office/EntryFile.h"
#include "office/Run2Order.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace pistel {

class TDM1;
class EntryForm;
class RaceDataPage;
class OperatorDialog;

// 「大会準備」: the race office's window. A competition and its classes, the entry file with
// every problem by line before anything is written, the run-1 draw and the run-2 start order
// of a class, the race data the documents print, one competitor added or edited by hand.
// Everything it does is done by the office library, on a connection and a thread of their own,
// so the window never waits for the server; the window shows and asks.
class OfficeWindow : public QDialog {
    Q_OBJECT
public:
    OfficeWindow(TDM1& dm, OperatorDialog& dialog, QWidget* parent = nullptr);

    // The competition page: shows competition `code` when it exists.
    void showCompetition(const QString& code);
    void saveCompetition();
    // The entries page: reads `path` and shows what an import would write, or why not.
    void previewEntries(const QString& path);
    void importEntries();
    // The race data page: every cell written (an emptied one removed), with its history.
    void saveRaceData();
    // One competitor: the bib's entry shown, the form's written (added or edited), withdrawn.
    void showEntry(const QString& bib);
    void saveEntry();
    void withdraw(bool withdrawn);
    // The start order page, for the class chosen.
    void drawRun1();
    void previewRun2();
    void confirmRun2();
    // An operation is under way or waiting (they run one after another, in the order asked).
    bool busy() const { return queue_.busy(); }
    // The window stays until what the operator asked for has been done (or has failed).
    void done(int result) override;

    QTabWidget* tabs = nullptr;
    RaceDataPage* raceData = nullptr;
    EntryForm* entryForm = nullptr;
    QLineEdit* code = nullptr;
    QLineEdit* title = nullptr;
    QLineEdit* venue = nullptr;
    QComboBox* discipline = nullptr;
    QSpinBox* runs = nullptr;
    QDateEdit* date = nullptr;
    QLineEdit* category = nullptr;
    QLineEdit* sex = nullptr;
    QLineEdit* classes = nullptr; // "男子=2 女子=1"
    QPlainTextEdit* preview = nullptr;
    QPushButton* importButton = nullptr;
    QComboBox* orderClass = nullptr;
    QComboBox* drawMethod = nullptr;
    QSpinBox* seeded = nullptr;
    QSpinBox* firstBib = nullptr;      // 0: bibs stay
    QCheckBox* continueBibs = nullptr; // bibs from one after the other classes'
    QSpinBox* reversed = nullptr;
    QCheckBox* higherBibFirst = nullptr;
    QCheckBox* othersAfter = nullptr;
    QPlainTextEdit* order = nullptr;
    QPushButton* confirmButton = nullptr;
    QLabel* status = nullptr;

private:
    QWidget* competitionPage();
    QWidget* entriesPage();
    QWidget* orderPage();
    void showClasses();
    // The run-2 rules as set on the page, and the class's stored ones shown there.
    Run2Rules run2Rules() const;
    void showRun2Rules();
    // Confirms the order shown if the competitors who have started run 2 are `startedSeen`.
    void confirmRun2Knowing(const QStringList& startedSeen);
    // Queues `work` (values only: it runs off the window thread); `shown` then shows what it
    // found. A database error or a refusal (std::invalid_argument) is shown in the status
    // line instead; `writes`: a lost connection may have left it done.
    void run(BackgroundReader::Work work, std::function<void()> shown, bool writes = false);
    void say(const QString& text, bool alarm = false);

    TDM1& dm_;
    OperatorDialog& dialog_;
    EntryFile entries_;
    QHash<QString, int> classNumbers_;
    QStringList run2Order_;
    BackgroundReader worker_;
    BackgroundQueue queue_{worker_};
};

} // namespace pistel
