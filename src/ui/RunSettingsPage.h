#pragma once

#include <QWidget>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTextBrowser;

namespace pistel {

struct AppState;
struct SerialLine;
class StationView;
class TimingStation;
class TCuteButton;

// The four line settings of one port on the settings page.
struct LineChoices {
    QComboBox* baud = nullptr;
    QComboBox* dataBits = nullptr;
    QComboBox* parity = nullptr;
    QComboBox* stopBits = nullptr;
};

// The run window's settings page: the timer, board and second-timer ports with their line
// settings, the timer's trace, the display board's tests and the live results commands.
class RunSettingsPage : public QWidget {
    Q_OBJECT
public:
    // `app`: the window's own state, kept in the settings file; what the station needs of a
    // change is sent to it.
    RunSettingsPage(TimingStation& station, const StationView& view, AppState& app,
                    QWidget* parent = nullptr);

    // The upload target's radio buttons in `box`, sending the choice to the station's live
    // results (this page and the first).
    static QButtonGroup* targetSelector(QWidget* box, TimingStation& station);

    QComboBox* Cbxcomm1 = nullptr;
    QComboBox* Cbxcomm2 = nullptr;
    QComboBox* Cbxcomm3 = nullptr;
    LineChoices timerLineChoices;
    LineChoices boardLineChoices;
    QPlainTextEdit* Memo1 = nullptr;
    TCuteButton* CuteButton122 = nullptr;
    TCuteButton* CuteButton28 = nullptr;
    TCuteButton* CuteButton29 = nullptr;
    TCuteButton* CuteButton58 = nullptr;
    TCuteButton* CuteButton61 = nullptr;
    QButtonGroup* RGdpmcrank = nullptr; // board brand: "VORN", "SEIKO"
    QButtonGroup* RGNow = nullptr;      // number of Now boards
    QButtonGroup* RGdpclas = nullptr;   // rank display by class or all together
    QCheckBox* CKBrank = nullptr;
    QButtonGroup* RGweb2 = nullptr;
    QCheckBox* CkBweb2 = nullptr;
    QPlainTextEdit* Memo10 = nullptr;
    QLineEdit* Edit37 = nullptr;
    QLineEdit* webBase = nullptr;
    QLineEdit* webKey = nullptr; // the live results server's write key
    QComboBox* cbclass = nullptr;
    QTextBrowser* Web = nullptr;
    TCuteButton* CuteButton86 = nullptr;
    TCuteButton* CuteButton87 = nullptr;
    TCuteButton* CuteButton88 = nullptr;
    TCuteButton* CuteButton96 = nullptr;
    TCuteButton* CuteButton97 = nullptr;
    TCuteButton* CuteButton98 = nullptr;
    TCuteButton* CuteButton103 = nullptr;

private:
    QWidget* webGroup();
    QWidget* backupPortGroup();
    void showPorts();
    void showWeb();
    LineChoices lineChoices(QWidget* parent, SerialLine& line, std::function<void()> changed);

    TimingStation& station;
    const StationView& view_;
    AppState& app_;
};

} // namespace pistel
