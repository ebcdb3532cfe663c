#pragma once

#include <QDialog>

class QComboBox;
class QTableWidget;

namespace pistel {

class RunControl;

// The rankings of a class: run 1 (by the run-1 time) or final (by the two-run total), with
// the non-finishers after the ranked rows; follows every status change.
class RankingView : public QDialog {
    Q_OBJECT
public:
    RankingView(RunControl& control, QWidget* parent = nullptr);

    QComboBox* classChoice = nullptr;
    QComboBox* rankingChoice = nullptr; // 0 run 1, 1 final
    QTableWidget* table = nullptr;

    // Reads the competition again and shows the chosen ranking.
    void refresh();

private:
    RunControl& control_;
};

} // namespace pistel
