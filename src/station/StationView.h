#pragma once

#include "capture/DataHealth.h"
#include "capture/RunMarks.h"
#include "comm/PortSettings.h"
#include "comm/TimerHealth.h"
#include "data/AppState.h"
#include "web/WebCommands.h"

#include <QObject>
#include <memory>

namespace pistel {

class Mailbox;
class TimingStation;

// What a window shows of a timing station, as copies: the station may run on a thread of
// its own. Each copy is taken on the station's thread when the station says it changed and
// applied here in the order taken, so the window reads no state that is being changed and
// never waits for the station.
class StationView : public QObject {
    Q_OBJECT
public:
    explicit StationView(TimingStation& station, QObject* parent = nullptr);
    ~StationView() override;

    const RunMarks& marks() const { return marks_; }
    const DataHealth& dataHealth() const { return dataHealth_; }
    const TimerHealth& timerHealth() const { return timerHealth_; }
    // The timer port is open and lines came in.
    bool timing() const { return timing_; }
    const PortChoices& ports() const { return ports_; }
    const WebChoices& web() const { return web_; }
    // The station's state (the current run, its ports and their lines).
    const AppState& app() const { return app_; }

signals:
    void marksChanged();
    void timerHealthChanged();
    void dataHealthChanged();
    void portsChanged();
    void webChanged();

private:
    std::shared_ptr<Mailbox> mailbox_;
    RunMarks marks_;
    DataHealth dataHealth_;
    TimerHealth timerHealth_;
    bool timing_ = false;
    PortChoices ports_;
    WebChoices web_;
    AppState app_;
};

} // namespace pistel
