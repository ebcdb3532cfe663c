#pragma once

#include "backup/BackupRun.h"
#include "data/BackgroundQueue.h"
#include "data/BackgroundReader.h"
#include "results/Race.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QPlainTextEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace pistel {

struct RunWindowContext;

// 予備計時: the hand times of a run and channel (imported from a file or typed as a stopwatch
// sheet), how they and the second timer's impulses match the competitors, and the replacement
// times the federation's rule gives for missed impulses, with their references; applied one
// by one or all, and the run's report.
class BackupWindow : public QDialog {
    Q_OBJECT
public:
    BackupWindow(const RunWindowContext& context, QWidget* parent = nullptr);

    QComboBox* runChoice = nullptr;     // 1本目 / 2本目
    QComboBox* channelChoice = nullptr; // スタート / フィニッシュ
    QDoubleSpinBox* tolerance = nullptr;
    QPlainTextEdit* sheet = nullptr; // a stopwatch sheet typed by hand
    QLabel* matchNote = nullptr;     // why the sheet's times cannot be matched, if they cannot
    // Gives the second-timer lines that arrived with no run selected the run shown (shown
    // only when there are such lines).
    QPushButton* giveRun = nullptr;
    QTableWidget* matches = nullptr;
    QTableWidget* proposals = nullptr;
    QTableWidget* references = nullptr;

    // Reads the run again off the window thread, then shows its matches and proposals.
    void refresh();
    // The run is being read or written (what is shown is the last read).
    bool reading() const { return reader_.busy() || writes_.busy(); }
    // Stores hand times (a file's text or the typed sheet) as the chosen run and channel's
    // sheet, off the window thread; false, with the line named to the operator, when a line
    // is not a time (then nothing is stored).
    bool storeSheet(const QString& text);
    void importFile(); // asks for the file
    // Applies the chosen proposal, or all, off the window thread; returns how many are being
    // applied. What was stored is told once it is.
    int applyChosen();
    int applyAll();
    // Writes the report of the run shown; false when it cannot be written (the operator is
    // told).
    bool saveReport(const QString& path);
    const std::vector<Proposal>& shownProposals() const { return proposals_; }

private:
    int run() const;
    Channel channel() const;
    TimeUnits toleranceUnits() const;
    // Writes off the window thread, one at a time and between the reads, with the window's
    // data source; `written` runs once the write succeeded; then the run is read again.
    void write(BackgroundReader::Work work, std::function<void()> written = {});
    void apply(std::vector<Proposal> chosen);
    void showRun();
    void showReferences();

    const RunWindowContext& context_;
    std::optional<BackupRun> data_; // the run shown, as last read
    RaceInfo info_;
    BackgroundReader reader_;
    BackgroundQueue writes_{reader_}; // between the reads; the window is read again after
    std::vector<Proposal> proposals_;
};

} // namespace pistel
