#pragma once

#include "data/BackgroundReader.h"
#include "results/ChangeHistory.h"

#include <QDialog>
#include <vector>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pistel {

struct RunWindowContext;

// The change history of the competition, newest first, filtered by bib; the chosen change can
// be reverted (which is a change of its own).
class HistoryView : public QDialog {
    Q_OBJECT
public:
    HistoryView(const RunWindowContext& context, QWidget* parent = nullptr);

    QLineEdit* bibFilter = nullptr;
    QTableWidget* table = nullptr;
    QPushButton* revert = nullptr;

    // Reads the history again, off the window thread, and shows it once read; asked again
    // while reading, it reads once more afterwards.
    void refresh();
    bool reading() const { return reader_.busy(); }
    // Reverts the change the operator selected, after showing what it will change.
    void revertChosen();
    // The id of the selected entry; 0 when none.
    long long chosenId() const;
    const std::vector<HistoryEntry>& entries() const { return entries_; }

private:
    void showEntries(std::vector<HistoryEntry> entries);

    const RunWindowContext& context_;
    std::vector<HistoryEntry> entries_;
    BackgroundReader reader_;
};

} // namespace pistel
