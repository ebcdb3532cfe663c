#pragma once

#include <QWidget>
#include <functional>

class QLineEdit;
class QRadioButton;
class QLabel;

namespace pistel {

class RunControl;
class RunPage;
class StationView;
class TimingStation;
class Grid;
class TCuteButton;

// One run page: start side, finish side and results, showing the run's RunPage through
// the station's view and sending the operator's commands to the station.
class RunPageWidget : public QWidget {
    Q_OBJECT
public:
    RunPageWidget(TimingStation& station, const StationView& view, RunPage& page,
                  QWidget* parent = nullptr);

    QLineEdit* startBox = nullptr;  // EdStnm / EdStnm2
    QLineEdit* finishBox = nullptr; // EdFinnm / EdFinnm2
    QRadioButton* startAuto = nullptr;
    QRadioButton* startManual = nullptr;
    QRadioButton* finishAuto = nullptr;
    QRadioButton* finishManual = nullptr;
    TCuteButton* startNext = nullptr;
    TCuteButton* startPrevious = nullptr;
    TCuteButton* finishNext = nullptr;
    TCuteButton* finishPrevious = nullptr;
    Grid* startList = nullptr;     // DBGrid1 / DBGrid6
    Grid* startPulses = nullptr;   // DBGrid4 / DBGrid7
    Grid* finishList = nullptr;    // DBGrid2 / DBGrid8
    Grid* finishPulses = nullptr;  // DBGrid5 / DBGrid9
    Grid* results = nullptr;       // DBGrid3 / DBGrid10
    QLineEdit* edit5 = nullptr;    // run 2 only
    QLabel* timerStatus = nullptr; // the timer line's health, next to the run's title
    QLabel* dataStatus = nullptr;  // the database's and the journal's
    TCuteButton* reset = nullptr;  // CuteButton1 / CuteButton2

private:
    QWidget* side(bool start);

    // Runs a command of this page on the station's thread.
    void command(std::function<void(RunControl&, RunPage&)> work);

    TimingStation& station_;
    const StationView& view_;
    RunPage& page_; // its lists and signals only: the page lives with the station
};

} // namespace pistel
