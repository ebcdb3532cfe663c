#pragma once

#include "ChangeWatch.h"
#include "CommByteSource.h"
#include "board/BoardTestLines.h"
#include "capture/DataHealth.h"
#include "capture/ReceiveHandler.h"
#include "capture/RunControl.h"
#include "comm/PortSettings.h"
#include "comm/TCommX.h"
#include "comm/TimerHealth.h"
#include "data/ConnectionKeeper.h"
#include "web/LiveSync.h"
#include "web/WebClient.h"
#include "web/WebCommands.h"

#include <QDateTime>
#include <QTimer>
#include <memory>
#include <optional>

namespace pistel {

struct AppState;
class TDM1;
class OperatorDialog;
class ImpulseJournal;

// One race day's timing session without a window: the timer, board and second-timer ports,
// the receive handlers that journal and log their lines, the capture into the current run,
// the connection keeper, the live results and the clocks that reopen a lost timer port and
// look after health. A window binds its pages to a station and shows what it says; tests and
// tools run the same session with no window at all.
class TimingStation : public QObject {
    Q_OBJECT
public:
    // `timerSource`: where the timer's bytes are read when not from the timer port (a test's
    // queue); the port is still opened and closed as the operator chooses.
    TimingStation(AppState& app, TDM1& dm, OperatorDialog& dialog, ImpulseJournal* journal,
                  TCustomCommX::PortResolver ports, ByteSource* timerSource = nullptr,
                  QObject* parent = nullptr);
    ~TimingStation() override;

    // Starts the day: lines kept waiting by an earlier run of the program are written, the
    // timer and board ports and the second timer's port are opened.
    void start();
    // Ends it: every port closed, no reopening.
    void stop();
    // Makes run 1 or 2 current; what its lists were read from is what later changes made
    // elsewhere are measured against.
    void selectRun(int run);
    // Opens the second timer's port (app.backupPortNo; 0 closes it); false when it cannot.
    bool openBackupPort();
    // The timer port is open and lines came in: stopping would end a race's reception.
    bool timing() const { return CommX1.isOpen() && linesReceived_ > 0; }
    // Reads the names of the competition's classes, highest number first, and tells them by
    // classNamesRead.
    void readClassNames();

    // Runs `work` on the station's thread, after what was posted before it (at once when
    // called there): the window's commands. A failure is reported by commandFailed, never
    // thrown into the event loop.
    void post(std::function<void()> work);

    DataHealth dataHealth() const;
    TimerHealth timerHealth() const;

    static constexpr int kReopenIntervalMs = 3000; // retries of a timer port that went away
    static constexpr int kFailedLooksShown = 3;    // looks for outside changes failing in a row

    TCommX CommX1;
    TCommX CommBoard;
    // The second timer (system B): its lines are received, journaled (in a folder of their
    // own) and logged like the timer's, in a table of their own; never captured.
    TCommX CommB;
    CommByteSource timerBytes{CommX1};
    CommByteSource backupBytes{CommB};
    RunControl control;
    ConnectionKeeper keeper;
    ReceiveHandler receiver;
    std::unique_ptr<ImpulseJournal> backupJournal;
    ReceiveHandler backupReceiver;
    PortSettings ports;
    BoardTests board{CommBoard};
    WebClient webClient;
    WebCommands web;
    LiveSync liveSync;

signals:
    // What timerHealth or dataHealth says may have changed.
    void timerHealthChanged();
    void dataHealthChanged();
    void classNamesRead(const QStringList& names);
    // A run was made current.
    void runSelected(int run);
    // A posted command failed (`lost`: the connection was lost; `maybeDone`: lost while a
    // write was on its way, so the server may have done it).
    void commandFailed(const QString& message, bool lost, bool maybeDone);

private:
    // One delivery of a port's bytes; a line the server refuses is shown in the status line
    // (prefixed with `what`), not in a box per line: it is kept in the journal and the
    // pending file.
    void receive(ReceiveHandler& handler, int bytes, const QString& what);
    void timerLost();
    void tryReopenTimer();
    void lineHandled();
    void healthTick();
    // After a reconnect: the lists as the server has them first, then the waiting lines
    // through the capture in their order, as if it had been up.
    void afterReconnect();
    void recoverPendingLines();
    // Another program may have changed the competition: a look off the window thread (on the
    // health clock); when it did, the lists follow.
    void lookForOutsideChanges();
    void followOutsideChanges(const OutsideChange& change);
    void outsideLookFailed(const QString& message, bool lost);

    AppState& app_;
    bool timerLost_ = false;
    QString lineError_; // why the last timer line could not be written
    int linesReceived_ = 0;
    std::optional<QDateTime> lastLine_;
    QTimer reopenTimer_;
    QTimer healthClock_;
    ChangeWatch changeWatch_;
    int failedLooks_ = 0; // in a row
    QString watchError_;  // shown once looks keep failing
};

} // namespace pistel
