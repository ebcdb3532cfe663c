#pragma once

#include "data/BackgroundReader.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace pistel {

struct Race;
struct RunWindowContext;

// The rankings of a class: run 1 (by the run-1 time) or final (by the two-run total), with
// the non-finishers after the ranked rows, the race points and the penalty; follows every
// status change. The chosen ranking's results are published as official from here.
class RankingView : public QDialog {
    Q_OBJECT
public:
    RankingView(const RunWindowContext& context, QWidget* parent = nullptr);

    QComboBox* classChoice = nullptr;
    QComboBox* rankingChoice = nullptr; // 0 run 1, 1 final
    QTableWidget* table = nullptr;
    QLabel* officialState = nullptr; // 公式 (since when) or 非公式
    QPushButton* publishButton = nullptr;
    QPushButton* unpublishButton = nullptr;

    // Reads the competition again, off the window thread, and shows the chosen ranking once
    // read; asked again while reading, it reads once more afterwards.
    void refresh();
    bool reading() const { return reader_.busy(); }
    // Publishes the chosen ranking's results (run 1, or the race) as official as they stand
    // now, or takes the publication back, off the window thread; recorded in the history.
    void publish(bool undo = false);

private:
    void showClasses(const Race& race);
    void showRanking(const Race& race);

    const RunWindowContext& context_;
    BackgroundReader reader_;
};

} // namespace pistel
